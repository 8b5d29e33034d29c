#include "forms/about_form_window.h"

#include <array>

#include "resource_ids.h"
#include "forms/window_class.h"
#include "support/ports.h"
#include "support/about_dialog.h"
#include "support/com.h"
#include "support/handles.h"

namespace tarnwick::win32 {
namespace {

constexpr int kClientWidthTwips = 6480;
constexpr int kClientHeightTwips = 6075;
constexpr int kFrameLeft = 480, kFrameTop = 3720;    // the option buttons sit inside Frame1
constexpr int kFrame2Left = 480, kFrame2Top = 4560;  // the check boxes inside Frame2, in the same columns

constexpr wchar_t kFontFace[] = L"微软雅黑";
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
constexpr COLORREF kGreyLine = RGB(128, 128, 128);
constexpr COLORREF kWhiteLine = RGB(255, 255, 255);

enum class FontKind { Normal, Note, Title, Link };

struct ControlDesign {
    int id;
    const wchar_t* windowClass;
    DWORD style;
    int left, top, width, height;  // twips, relative to the form's client area
    FontKind font;
};

// In the form's stored order, which is also the tab order: cmdOK first.
// Texts are filled in from the id when the control is created.
constexpr std::array<ControlDesign, 16> kDesign{{
    {kIdCmdOK, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 5040, 5400, 1020, 345, FontKind::Normal},
    {kIdFrame1, L"BUTTON", BS_GROUPBOX | WS_GROUP, kFrameLeft, kFrameTop, 5535, 735, FontKind::Normal},
    {kIdOption2, L"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, kFrameLeft + 3600, kFrameTop + 240, 1455, 375,
     FontKind::Normal},
    {kIdOption1, L"BUTTON", BS_AUTORADIOBUTTON, kFrameLeft + 720, kFrameTop + 240, 1455, 375, FontKind::Normal},
    {kIdFrame2, L"BUTTON", BS_GROUPBOX | WS_GROUP, kFrame2Left, kFrame2Top, 5535, 735, FontKind::Normal},
    {kIdChkCloseButtons, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, kFrame2Left + 720, kFrame2Top + 240, 2175,
     375, FontKind::Normal},
    {kIdChkUnsavedMarks, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kFrame2Left + 3600, kFrame2Top + 240, 1815, 375,
     FontKind::Normal},
    {kIdLabelblog, L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX | WS_GROUP, 1800, 3000, 2655, 615, FontKind::Link},
    {kIdLabel9, L"STATIC", SS_LEFT | SS_NOPREFIX, 480, 3000, 855, 255, FontKind::Normal},
    {kIdLabel8, L"STATIC", SS_LEFT | SS_NOPREFIX, 480, 1800, 4815, 375, FontKind::Normal},
    {kIdLabel7, L"STATIC", SS_LEFT | SS_NOPREFIX, 360, 960, 5895, 615, FontKind::Note},
    {kIdLabel6, L"STATIC", SS_LEFT | SS_NOPREFIX, 1800, 2640, 4215, 255, FontKind::Normal},
    {kIdLabel5, L"STATIC", SS_LEFT | SS_NOPREFIX, 1800, 2400, 4215, 255, FontKind::Normal},
    {kIdLabel4, L"STATIC", SS_LEFT | SS_NOPREFIX, 1800, 2160, 4215, 255, FontKind::Normal},
    {kIdLabel3, L"STATIC", SS_LEFT | SS_NOPREFIX, 480, 2160, 1215, 255, FontKind::Normal},
    {kIdLabel2, L"STATIC", SS_LEFT | SS_NOPREFIX, 840, 240, 4755, 465, FontKind::Title},
}};

std::wstring CaptionOf(int id, const wchar_t* webAddress) {
    switch (id) {
    case kIdCmdOK: return L"确定";
    case kIdFrame1: return L"风格选择";
    case kIdOption2: return L"豪华风格";
    case kIdOption1: return L"简洁风格";
    case kIdFrame2: return L"标签选项";
    case kIdChkCloseButtons: return L"显示关闭按钮";
    case kIdChkUnsavedMarks: return L"显示未保存标记";
    case kIdLabelblog: return webAddress;
    case kIdLabel9: return L"我的博客:";
    case kIdLabel8: return about_text::kCredit;
    case kIdLabel7: return about_text::kNote;
    case kIdLabel6: return about_text::kContact3;
    case kIdLabel5: return about_text::kContact2;
    case kIdLabel4: return about_text::kContact1;
    case kIdLabel3: return L"联系方式：";
    case kIdLabel2: return about_text::kTitle;
    default: return {};
    }
}

struct Dpi {
    int x = 96, y = 96;
    Dpi() {
        WindowDC screen(nullptr);
        if (screen.get()) {
            x = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
            y = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
        }
        if (x <= 0) x = 96;
        if (y <= 0) y = 96;
    }
    // Same integer twips-per-pixel as the platform's TwipsPerPixelX/Y.
    int X(int twips) const { return twips / (1440 / x); }
    int Y(int twips) const { return twips / (1440 / y); }
};

HFONT MakeFont(int tenthsOfPoint, bool underline, int dpiY) {
    return ::CreateFontW(-::MulDiv(tenthsOfPoint, dpiY, 720), 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE,
                         GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, kFontFace);
}

// The link's pointer is the form's own icon, turned into a cursor with its
// hot spot in the middle.
HCURSOR CursorFromIcon(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return nullptr;
    Bitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    ::GetObjectW(info.hbmMask, sizeof(bm), &bm);
    info.fIcon = FALSE;
    info.xHotspot = static_cast<DWORD>(bm.bmWidth / 2);
    info.yHotspot = static_cast<DWORD>((info.hbmColor ? bm.bmHeight : bm.bmHeight / 2) / 2);
    return static_cast<HCURSOR>(::CreateIconIndirect(&info));
}

}  // namespace

// Everything the window procedure touches. Shared, so that the core can drop
// the window object from inside one of its own events (Unload during
// cmdOK_Click) while the procedure and the modal loop still run.
struct AboutWindowState : std::enable_shared_from_this<AboutWindowState> {
    AboutWindowState(HINSTANCE m, AboutFormEvents& e) : module(m), events(&e) {}
    ~AboutWindowState() {
        if (cursor) ::DestroyCursor(cursor);
        if (bigIcon) ::DestroyIcon(bigIcon);
        if (smallIcon) ::DestroyIcon(smallIcon);
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    void DrawLines(HDC dc);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void CreateControls(const wchar_t* webAddress);
    void ReenableOwner() {
        if (disabledOwner) ::EnableWindow(disabledOwner, TRUE);
        disabledOwner = nullptr;
    }
    HWND Control(int id) const { return hwnd ? ::GetDlgItem(hwnd, id) : nullptr; }

    HINSTANCE module;
    AboutFormEvents* events;
    HWND hwnd = nullptr;
    bool destroyed = false;
    HWND disabledOwner = nullptr;
    HWND lastFocus = nullptr;
    Dpi dpi;
    Font normalFont, noteFont, titleFont, linkFont;
    HICON bigIcon = nullptr, smallIcon = nullptr;
    HCURSOR cursor = nullptr;
};

LRESULT CALLBACK AboutWindowState::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<AboutWindowState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* raw = reinterpret_cast<AboutWindowState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (raw) {
            std::shared_ptr<AboutWindowState> keep = raw->weak_from_this().lock();
            if (keep) return keep->OnMessage(message, wParam, lParam);
        }
    } catch (...) {
        // Nothing may unwind into user32.
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT AboutWindowState::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = hwnd;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        // Our class is not the dialog class: IsDialogMessage asks us which
        // button Enter presses.
        return MAKELRESULT(kIdCmdOK, DC_HASDEFID);
    case WM_CLOSE:
        // The core unloads the form; the window must not close by itself.
        if (events) events->Form_CloseRequested();
        return 0;
    case WM_PAINT: {
        PaintScope paint(hwnd);
        DrawLines(paint.dc());
        return 0;
    }
    case WM_PRINTCLIENT: {
        // PrintWindow and other captures.
        RECT client{};
        ::GetClientRect(hwnd, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
        DrawLines(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Control(kIdLabelblog) && cursor) {
            ::SetCursor(cursor);
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // A plain window does not keep its focused control across
        // activations as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd, focus)) lastFocus = focus;
        } else {
            HWND target = lastFocus && ::IsWindowEnabled(lastFocus) ? lastFocus : Control(kIdCmdOK);
            if (!target || !::IsWindowEnabled(target)) target = hwnd;
            ::SetFocus(target);
        }
        return 0;
    case WM_DESTROY:
        destroyed = true;
        ReenableOwner();
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd = nullptr;
        break;
    default:
        break;
    }
    return ::DefWindowProcW(self, message, wParam, lParam);
}

void AboutWindowState::OnCommand(int id, int notification) {
    if (!events) return;
    switch (id) {
    case IDOK:
    case IDCANCEL:
        // cmdOK is both the default and the cancel button; a disabled cmdOK
        // answers neither Enter nor Esc.
        if (notification == BN_CLICKED && ::IsWindowEnabled(Control(kIdCmdOK))) events->cmdOK_Click();
        break;
    case kIdLabelblog:
        if (notification == STN_CLICKED) events->Labelblog_Click();
        break;
    default:
        break;
    }
}

void AboutWindowState::DrawLines(HDC dc) {
    Pen grey(::CreatePen(PS_SOLID, 1, kGreyLine)), white(::CreatePen(PS_SOLID, 1, kWhiteLine));
    {
        SelectScope pen(dc, grey.get());
        ::MoveToEx(dc, dpi.X(0), dpi.Y(840), nullptr);
        ::LineTo(dc, dpi.X(6720), dpi.Y(840));
    }
    {
        SelectScope pen(dc, white.get());
        ::MoveToEx(dc, dpi.X(105), dpi.Y(1860), nullptr);
        ::LineTo(dc, dpi.X(5654), dpi.Y(1860));
    }
}

LRESULT AboutWindowState::OnCtlColorStatic(HDC dc, HWND control) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, control == Control(kIdLabelblog) ? kLinkColor : ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void AboutWindowState::CreateControls(const wchar_t* webAddress) {
    normalFont.Reset(MakeFont(90, false, dpi.y));
    noteFont.Reset(MakeFont(105, false, dpi.y));
    titleFont.Reset(MakeFont(180, false, dpi.y));
    linkFont.Reset(MakeFont(90, true, dpi.y));
    for (const ControlDesign& c : kDesign) {
        std::wstring text = CaptionOf(c.id, webAddress);
        HWND control = ::CreateWindowExW(0, c.windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | c.style,
                                         dpi.X(c.left), dpi.Y(c.top), dpi.X(c.width), dpi.Y(c.height), hwnd,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, nullptr);
        if (!control) ThrowLastError();
        HFONT font = c.font == FontKind::Note    ? noteFont.get()
                     : c.font == FontKind::Title ? titleFont.get()
                     : c.font == FontKind::Link  ? linkFont.get()
                                                 : normalFont.get();
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

Win32AboutFormWindow::Win32AboutFormWindow(HINSTANCE module, AboutFormEvents& events, const wchar_t* webAddress)
    : state_(std::make_shared<AboutWindowState>(module, events)) {
    AboutWindowState& s = *state_;
    s.bigIcon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_ABOUT), IMAGE_ICON, 32, 32, 0));
    s.smallIcon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_ABOUT), IMAGE_ICON, 16, 16, 0));
    s.cursor = CursorFromIcon(s.bigIcon);
    if (!s.cursor) s.cursor = static_cast<HCURSOR>(::CopyImage(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)),
                                                               IMAGE_CURSOR, 0, 0, 0));  // IDC_HAND

    RegisterWindowClass(module, kAboutFormClass, &AboutWindowState::WindowProc, nullptr);
    // No WS_CLIPCHILDREN: the group box paints only its frame, and the form
    // must paint the area inside it.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, s.dpi.X(kClientWidthTwips), s.dpi.Y(kClientHeightTwips)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    std::wstring caption = std::wstring(L"关于 ") + about_text::kTitle;
    HWND hwnd = ::CreateWindowExW(exStyle, kAboutFormClass, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, module,
                                  state_.get());
    if (!hwnd) ThrowLastError();
    if (s.bigIcon) ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(s.bigIcon));
    if (s.smallIcon) ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(s.smallIcon));
    try {
        s.CreateControls(webAddress ? webAddress : kAboutWebAddress);
    } catch (...) {
        ::DestroyWindow(hwnd);
        throw;
    }
}

Win32AboutFormWindow::~Win32AboutFormWindow() {
    std::shared_ptr<AboutWindowState> state = std::move(state_);
    state->events = nullptr;
    if (state->hwnd) {
        state->ReenableOwner();
        ::DestroyWindow(state->hwnd);
    }
}

WindowHandle Win32AboutFormWindow::hWnd() { return reinterpret_cast<WindowHandle>(state_->hwnd); }

bool Win32AboutFormWindow::OptionValue(AboutOption option) {
    HWND button = state_->Control(option == AboutOption::Option1 ? kIdOption1 : kIdOption2);
    if (!button) ThrowHr(E_HANDLE);
    return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32AboutFormWindow::OptionValue(AboutOption option, bool value) {
    HWND button = state_->Control(option == AboutOption::Option1 ? kIdOption1 : kIdOption2);
    HWND other = state_->Control(option == AboutOption::Option1 ? kIdOption2 : kIdOption1);
    if (!button) ThrowHr(E_HANDLE);
    // As with option buttons on a form, checking one clears the other.
    if (value && other) ::SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(button, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32AboutFormWindow::CheckValue(AboutCheck check) {
    HWND box = state_->Control(check == AboutCheck::chkCloseButtons ? kIdChkCloseButtons : kIdChkUnsavedMarks);
    if (!box) ThrowHr(E_HANDLE);
    return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32AboutFormWindow::CheckValue(AboutCheck check, bool value) {
    HWND box = state_->Control(check == AboutCheck::chkCloseButtons ? kIdChkCloseButtons : kIdChkUnsavedMarks);
    if (!box) ThrowHr(E_HANDLE);
    ::SendMessageW(box, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32AboutFormWindow::Enabled(AboutControl control, bool value) {
    int id = kIdCmdOK;
    switch (control) {
    case AboutControl::Option1: id = kIdOption1; break;
    case AboutControl::Option2: id = kIdOption2; break;
    case AboutControl::cmdOK: id = kIdCmdOK; break;
    case AboutControl::chkCloseButtons: id = kIdChkCloseButtons; break;
    case AboutControl::chkUnsavedMarks: id = kIdChkUnsavedMarks; break;
    }
    HWND window = state_->Control(id);
    if (!window) ThrowHr(E_HANDLE);
    ::EnableWindow(window, value ? TRUE : FALSE);
}

void Win32AboutFormWindow::ShowModal() {
    // Only locals from here on: the core may destroy this object from inside
    // the loop, through one of the dialog's events.
    std::shared_ptr<AboutWindowState> state = state_;
    HWND hwnd = state->hwnd;
    if (!hwnd || state->destroyed) return;

    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    RECT area{};
    if (!owner || !::GetWindowRect(owner, &area)) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own{};
    ::GetWindowRect(hwnd, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    ::SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        state->disabledOwner = owner;
    }
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);

    MSG msg;
    while (!state->destroyed) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the host's own loop
            break;
        }
        if (got < 0) break;
        if (!state->destroyed && state->hwnd && ::IsDialogMessageW(state->hwnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    state->ReenableOwner();
}

void Win32AboutFormWindow::Destroy() {
    // The owner is enabled before its owned window goes, or Windows would
    // activate some other application's window.
    state_->ReenableOwner();
    if (state_->hwnd) ::DestroyWindow(state_->hwnd);
}

}  // namespace tarnwick::win32
