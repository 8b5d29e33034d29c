#include "tab_view.h"

#include <windowsx.h>
#include <oleacc.h>

#include <algorithm>

#include "com_support.h"
#include "tab_accessible.h"
#include "tab_painter.h"

namespace corvane::win {
namespace {

constexpr wchar_t kClassName[] = L"CorvaneTabStrip";
constexpr UINT WM_CORVANE_DEFAULT_ACTION = WM_APP + 1;
constexpr UINT WM_CORVANE_CLOSE_ACTION = WM_APP + 2;
constexpr UINT WM_CORVANE_LIST_ACTION = WM_APP + 3;
constexpr int kMaxTipWidth = 600;  // full paths wrap instead of running off the screen

// Tooltip tool ids: tab i is i + 1; its close button and the list button
// have ids of their own, above any tab count.
constexpr UINT_PTR kCloseToolBase = 0x40000000;
constexpr UINT_PTR kListToolId = 0x7FFFFFFF;

int16_t ShiftState(WPARAM keys) {
    int16_t shift = 0;
    if (keys & MK_SHIFT) shift |= kShiftMask;
    if (keys & MK_CONTROL) shift |= kCtrlMask;
    if (GetKeyState(VK_MENU) < 0) shift |= kAltMask;
    return shift;
}

Point PointFrom(LPARAM lParam) {
    return Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

RECT ToRect(const Rect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

int32_t ScreenDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

// The user's message font (on a Chinese system, the CJK UI font).
LOGFONTW MessageFont() {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return ncm.lfMessageFont;
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    return lf;
}

}  // namespace

SystemColors CurrentSystemColors() {
    SystemColors c;
    c.face = GetSysColor(COLOR_BTNFACE);
    c.window = GetSysColor(COLOR_WINDOW);
    c.windowText = GetSysColor(COLOR_WINDOWTEXT);
    c.shadow = GetSysColor(COLOR_BTNSHADOW);
    c.darkShadow = GetSysColor(COLOR_3DDKSHADOW);
    c.highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    c.grayText = GetSysColor(COLOR_GRAYTEXT);
    c.selection = GetSysColor(COLOR_HIGHLIGHT);
    c.selectionText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    return c;
}

void RegisterTabViewClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;  // no CS_DBLCLKS, see tab_view.h
    wc.lpfnWndProc = &TabView::WndProc;  // friend access through the static member
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // ERROR_CLASS_ALREADY_EXISTS is fine
}

void UnregisterTabViewClass() {
    UnregisterClassW(kClassName, ModuleInstance());
}

TabView::TabView(TabViewHost& host) : host_(&host) {}

TabView::~TabView() {
    if (!hwnd_) return;
    // The window outlives the object by a few messages: let them go to
    // DefWindowProc rather than to a half-destroyed view.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

std::shared_ptr<TabView> TabView::Create(TabViewHost& host, HWND parent, const RECT& position) {
    static const bool controlsReady = [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)controlsReady;

    std::shared_ptr<TabView> view(new TabView(host));
    const HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left,
                                      position.top, position.right - position.left, position.bottom - position.top,
                                      parent, nullptr, ModuleInstance(), view.get());
    if (!hwnd) return nullptr;
    return view;
}

void TabView::Detach() {
    host_ = nullptr;
    if (hwnd_) DestroyWindow(hwnd_);
}

void TabView::Move(const RECT& position) {
    if (!hwnd_) return;
    SetWindowPos(hwnd_, nullptr, position.left, position.top, position.right - position.left,
                 position.bottom - position.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TabView::Show(bool visible) {
    if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TabView::ModelChanged() {
    InvalidateLayout();
    hot_ = -1;
    closeHot_ = -1;
    if (hwnd_) NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

void TabView::StyleChanged() {
    RefreshStyle();
    InvalidateLayout();
}

void TabView::SelectionChanged() {
    if (!Alive()) return;
    EnsureLayout();
    const int32_t selected = host_->ViewModel().SelectedIndex();
    const int32_t first = ScrollToShow(measures_, metrics_, layout_.client, firstVisible_, selected);
    if (first != firstVisible_) firstVisible_ = first;
    InvalidateLayout();
    if (selected >= 0) NotifyWinEvent(EVENT_OBJECT_SELECTION, hwnd_, OBJID_CLIENT, selected + 1);
}

void TabView::MarkChanged(const ItemRef& item) {
    if (!Alive() || !Features().unsavedMarks) return;
    InvalidateLayout();  // the mark takes room in the tab
    const int32_t index = host_->ViewModel().IndexOf(item.get());
    if (index >= 0) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd_, OBJID_CLIENT, index + 1);
}

void TabView::InvalidateLayout() {
    layoutValid_ = false;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

const TabLayout& TabView::Layout() {
    EnsureLayout();
    return layout_;
}

void TabView::EnsureLayout() {
    if (layoutValid_ || !Alive()) return;
    const TabModel& model = host_->ViewModel();
    const HIMAGELIST images = style_.showIcons ? host_->ViewImageList() : nullptr;
    const int imageCount = images ? ImageList_GetImageCount(images) : 0;

    const TabFeatures features = host_->ViewFeatures();
    metrics_ = MetricsFor(style_.shape, dpi_, features);
    int iconWidth = 0;
    int iconHeight = 0;
    if (images && ImageList_GetIconSize(images, &iconWidth, &iconHeight)) metrics_.iconSize = iconWidth;

    // Measure in the widest font a tab can be drawn in, so that selecting a
    // tab never moves the others.
    measures_.clear();
    {
        WindowDc dc(hwnd_);
        const HFONT measureFont = style_.boldSelected && boldFont_ ? boldFont_.get() : font_.get();
        SelectScope font(dc.get(), measureFont ? static_cast<HGDIOBJ>(measureFont) : GetStockObject(DEFAULT_GUI_FONT));
        for (const ItemRef& item : model.Items()) {
            TabMeasure m;
            if (!item->caption.empty()) {
                SIZE extent{};
                GetTextExtentPoint32W(dc.get(), item->caption.c_str(), static_cast<int>(item->caption.size()), &extent);
                m.textWidth = extent.cx;
            }
            m.hasIcon = item->image >= 0 && item->image < imageCount;
            m.marked = item->unsaved;
            measures_.push_back(m);
        }
    }

    RECT client{};
    GetClientRect(hwnd_, &client);
    layout_ = ComputeTabLayout(measures_, metrics_, Size{client.right, client.bottom}, firstVisible_);
    firstVisible_ = layout_.firstVisible;
    if (hot_ >= static_cast<int32_t>(layout_.tabs.size())) hot_ = -1;
    if (closeHot_ >= static_cast<int32_t>(layout_.tabs.size())) closeHot_ = -1;
    layoutValid_ = true;
    RebuildTooltips();
}

void TabView::RebuildTooltips() {
    if (!tooltip_) return;
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // comctl32 5.x, as loaded without a manifest
    ti.hwnd = hwnd_;
    for (int32_t i = 0; i < toolCount_; ++i) {
        ti.uId = static_cast<UINT_PTR>(i + 1);
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ti.uId = kCloseToolBase + static_cast<UINT_PTR>(i);
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    ti.uId = kListToolId;
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    toolCount_ = static_cast<int32_t>(layout_.tabs.size());
    // The tooltip control shows the first tool that holds the pointer, so
    // the buttons inside the tabs come before the tabs.
    ti.uFlags = TTF_SUBCLASS;
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    if (layout_.overflow && !layout_.listButton.Empty()) {
        ti.uId = kListToolId;
        ti.rect = ToRect(layout_.listButton);
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    for (int32_t i = 0; i < toolCount_; ++i) {
        const Rect shown = Intersect(layout_.tabs[static_cast<size_t>(i)].close, layout_.tabArea);
        if (shown.Empty()) continue;
        ti.uId = kCloseToolBase + static_cast<UINT_PTR>(i);
        ti.rect = ToRect(shown);
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    for (int32_t i = 0; i < toolCount_; ++i) {
        const TabBox& box = layout_.tabs[static_cast<size_t>(i)];
        ti.uFlags = TTF_SUBCLASS;
        ti.uId = static_cast<UINT_PTR>(i + 1);
        ti.rect = ToRect(box.hitArea);  // empty for hidden tabs: never shown
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void TabView::RefreshStyle() {
    if (!host_) return;
    style_ = ResolveTabStyle(host_->ViewPaint(), CurrentSystemColors());
}

ItemRef TabView::HitTestItem(Point at) {
    if (!Alive()) return nullptr;
    EnsureLayout();
    const HitResult hit = HitTestLayout(layout_, at);
    if (hit.kind != HitKind::Tab && hit.kind != HitKind::CloseButton) return nullptr;
    return host_->ViewModel().At(hit.index);
}

std::optional<RECT> TabView::ItemScreenRect(int32_t index) {
    if (!Alive()) return std::nullopt;
    EnsureLayout();
    if (index < 0 || index >= static_cast<int32_t>(layout_.tabs.size())) return std::nullopt;
    const TabBox& box = layout_.tabs[static_cast<size_t>(index)];
    if (!box.visible) return std::nullopt;  // scrolled out of the strip
    RECT r = ToRect(Intersect(box.bounds, layout_.tabArea));
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::optional<RECT> TabView::ScreenRect(const Rect& client) {
    const Rect shown = Intersect(client, Rect{0, 0, layout_.client.width, layout_.client.height});
    if (shown.Empty()) return std::nullopt;
    RECT r = ToRect(shown);
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool TabView::HasCloseButton(int32_t index) {
    if (!Alive() || !Features().closeButtons) return false;
    EnsureLayout();
    if (index < 0 || index >= static_cast<int32_t>(layout_.tabs.size())) return false;
    return !layout_.tabs[static_cast<size_t>(index)].close.Empty();
}

bool TabView::CloseButtonShown(int32_t index) {
    if (!HasCloseButton(index)) return false;
    const TabBox& box = layout_.tabs[static_cast<size_t>(index)];
    if (Intersect(box.close, layout_.tabArea).Empty()) return false;
    return index == hot_ || index == host_->ViewModel().SelectedIndex();
}

std::optional<RECT> TabView::CloseButtonScreenRect(int32_t index) {
    if (!HasCloseButton(index)) return std::nullopt;
    return ScreenRect(Intersect(layout_.tabs[static_cast<size_t>(index)].close, layout_.tabArea));
}

bool TabView::HasListButton() {
    if (!Alive()) return false;
    EnsureLayout();
    return layout_.overflow && !layout_.listButton.Empty();
}

std::optional<RECT> TabView::ListButtonScreenRect() {
    if (!HasListButton()) return std::nullopt;
    return ScreenRect(layout_.listButton);
}

void TabView::PostCloseAction(const ItemRef& item) {
    if (!hwnd_) return;
    pendingCloses_.push_back(item);
    PostMessageW(hwnd_, WM_CORVANE_CLOSE_ACTION, 0, 0);
}

void TabView::PostListAction() {
    if (hwnd_) PostMessageW(hwnd_, WM_CORVANE_LIST_ACTION, 0, 0);
}

void TabView::PostDefaultAction(const ItemRef& item) {
    if (!hwnd_) return;
    pendingClicks_.push_back(item);
    PostMessageW(hwnd_, WM_CORVANE_DEFAULT_ACTION, 0, 0);
}

void TabView::SelectFromAccessibility(const ItemRef& item) {
    if (!Alive()) return;
    std::shared_ptr<TabView> self = shared_from_this();
    host_->ViewSelectItem(item);
}

void TabView::PaintTo(HDC dc) {
    if (!Alive()) return;
    EnsureLayout();
    PaintRequest request{layout_,
                         metrics_,
                         style_,
                         host_->ViewModel(),
                         font_.get(),
                         boldFont_.get(),
                         style_.showIcons ? host_->ViewImageList() : nullptr,
                         style_.hotTracking ? hot_ : -1,
                         hot_,
                         closeHot_,
                         closePress_ >= 0 && closePress_ == closeHot_,
                         listOpen_};
    PaintTabStrip(dc, request);
}

void TabView::SetHot(int32_t index) {
    if (index == hot_) return;
    hot_ = index;
    // The tab under the pointer shows its close button, hot tracking or not.
    if ((style_.hotTracking || Features().closeButtons) && hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CALLBACK TabView::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            auto* view = static_cast<TabView*>(create->lpCreateParams);
            view->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        }
        auto* view = reinterpret_cast<TabView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        // Keep the view alive while a handler runs: an event raised from here
        // may deactivate the control, which drops its pointer to the view.
        std::shared_ptr<TabView> keep = view ? view->weak_from_this().lock() : nullptr;
        if (!keep) return DefWindowProcW(hwnd, msg, wParam, lParam);
        return keep->Handle(msg, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into user32's frames.
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT TabView::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = hwnd_;
    switch (msg) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_NCDESTROY:
            OnNcDestroy();
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SIZE:
            OnSize();
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(kLeftButton, wParam, PointFrom(lParam));
            return 0;
        case WM_RBUTTONDOWN:
            OnButtonDown(kRightButton, wParam, PointFrom(lParam));
            return 0;
        case WM_MBUTTONDOWN:
            OnButtonDown(kMiddleButton, wParam, PointFrom(lParam));
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(kLeftButton, wParam, PointFrom(lParam));
            return 0;
        case WM_RBUTTONUP:
            OnButtonUp(kRightButton, wParam, PointFrom(lParam));
            return 0;
        case WM_MBUTTONUP:
            OnButtonUp(kMiddleButton, wParam, PointFrom(lParam));
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(PointFrom(lParam));
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged();
            return 0;
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lParam));
        case WM_GETOBJECT:
            return OnGetObject(wParam, lParam);
        case WM_SYSCOLORCHANGE:
            StyleChanged();
            return 0;
        case WM_CORVANE_DEFAULT_ACTION:
            OnDefaultAction();
            return 0;
        case WM_CORVANE_CLOSE_ACTION:
            OnCloseAction();
            return 0;
        case WM_CORVANE_LIST_ACTION:
            ShowTabList();
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void TabView::OnCreate() {
    dpi_ = ScreenDpi();
    LOGFONTW lf = MessageFont();
    font_ = Font(CreateFontIndirectW(&lf));
    lf.lfWeight = FW_BOLD;
    boldFont_ = Font(CreateFontIndirectW(&lf));
    RefreshStyle();

    // TTS_ALWAYSTIP: Excel's window need not be the active one.
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, ModuleInstance(), nullptr);
    if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
}

void TabView::OnNcDestroy() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    if (tooltip_) DestroyWindow(tooltip_);  // owned popups go with their owner anyway
    tooltip_ = nullptr;
    toolCount_ = 0;
    hwnd_ = nullptr;
    layoutValid_ = false;
}

void TabView::OnPaint() {
    PaintScope paint(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    // Paint into a bitmap first: no flicker while the strip is redrawn.
    MemoryDc memory(paint.dc());
    Bitmap bitmap(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
    if (!memory.get() || !bitmap) {
        PaintTo(paint.dc());
        return;
    }
    {
        SelectScope select(memory.get(), bitmap.get());
        PaintTo(memory.get());
        BitBlt(paint.dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
}

void TabView::OnSize() {
    InvalidateLayout();
}

void TabView::OnButtonDown(int16_t button, WPARAM keys, Point at) {
    if (!Alive()) return;
    if (buttonsDown_ == 0) {
        SetCapture(hwnd_);
        EnsureLayout();
        const HitResult hit = HitTestLayout(layout_, at);
        // A left press on a close button is the button's own; other
        // buttons press the tab under it.
        const bool onClose = hit.kind == HitKind::CloseButton && button == kLeftButton;
        navPress_ =
            hit.kind == HitKind::NavPrev || hit.kind == HitKind::NavNext || hit.kind == HitKind::ListButton || onClose;
        if (navPress_) {
            buttonsDown_ |= static_cast<UINT>(button);
            if (button != kLeftButton) return;
            if (onClose) {
                closePress_ = hit.index;
                closeHot_ = hit.index;
                InvalidateRect(hwnd_, nullptr, FALSE);
            } else if (hit.kind == HitKind::ListButton) {
                // Opened once the press is handled: the menu's loop then
                // takes the mouse, and the release never reaches the strip.
                PostListAction();
            } else {
                firstVisible_ += hit.kind == HitKind::NavPrev ? -1 : 1;
                InvalidateLayout();
            }
            return;
        }
    } else if (navPress_) {
        buttonsDown_ |= static_cast<UINT>(button);
        return;
    }
    buttonsDown_ |= static_cast<UINT>(button);
    const ItemRef hit = HitTestItem(at);
    host_->ViewButtonDown(button, ShiftState(keys), at, hit);
}

void TabView::OnButtonUp(int16_t button, WPARAM keys, Point at) {
    if (!Alive()) return;
    const bool fromNav = navPress_ && (buttonsDown_ & static_cast<UINT>(button)) != 0;
    buttonsDown_ &= ~static_cast<UINT>(button);
    int32_t closed = -1;
    if (button == kLeftButton && closePress_ >= 0) {
        EnsureLayout();
        const HitResult hit = HitTestLayout(layout_, at);
        if (hit.kind == HitKind::CloseButton && hit.index == closePress_) closed = closePress_;
        closePress_ = -1;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    if (buttonsDown_ == 0) {
        navPress_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
    }
    if (closed >= 0) {
        // Released where it was pressed: a click on the button, and nothing else.
        if (const ItemRef item = host_->ViewModel().At(closed)) host_->ViewCloseItem(item);
        return;
    }
    if (fromNav) return;
    // A release over the strip reports MouseUp even when the press began
    // elsewhere, as Windows delivers it.
    host_->ViewButtonUp(button, ShiftState(keys), at);
}

void TabView::OnMouseMove(Point at) {
    if (!Alive()) return;
    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
        trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
    }
    UpdatePointer(at);
}

void TabView::UpdatePointer(Point at) {
    EnsureLayout();
    const HitResult hit = HitTestLayout(layout_, at);
    const int32_t closeHot = hit.kind == HitKind::CloseButton ? hit.index : -1;
    if (closeHot != closeHot_) {
        closeHot_ = closeHot;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    SetHot(hit.kind == HitKind::Tab || hit.kind == HitKind::CloseButton ? hit.index : -1);
}

void TabView::OnMouseLeave() {
    trackingLeave_ = false;
    if (closeHot_ >= 0 && hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    closeHot_ = -1;
    SetHot(-1);
}

void TabView::OnCaptureChanged() {
    // Capture taken away (a menu or dialog opened from a handler): the
    // presses under way are over without a release.
    if (buttonsDown_ != 0 && GetCapture() != hwnd_) {
        buttonsDown_ = 0;
        navPress_ = false;
        if (closePress_ >= 0 && hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
        closePress_ = -1;
    }
}

LRESULT TabView::OnNotify(NMHDR* header) {
    if (!header || header->hwndFrom != tooltip_ || header->code != TTN_GETDISPINFOW || !Alive()) return 0;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    if (header->idFrom == kListToolId) {
        tipText_ = kListButtonName;
    } else if (header->idFrom >= kCloseToolBase) {
        tipText_ = kCloseButtonName;
    } else {
        const ItemRef item = host_->ViewModel().At(static_cast<int32_t>(header->idFrom) - 1);
        tipText_ = item ? item->toolTip : std::wstring();
    }
    info->lpszText = tipText_.data();
    info->szText[0] = L'\0';
    info->hinst = nullptr;
    return 0;
}

LRESULT TabView::OnGetObject(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !Alive())
        return DefWindowProcW(hwnd_, WM_GETOBJECT, wParam, lParam);
    ComPtr<IAccessible> accessible = ComPtr<IAccessible>::Adopt(CreateTabAccessible(weak_from_this()));
    if (!accessible) return 0;
    return LresultFromObject(IID_IAccessible, wParam, accessible.get());
}

void TabView::OnCloseAction() {
    std::vector<std::weak_ptr<TabItemState>> closes;
    closes.swap(pendingCloses_);
    for (const auto& weak : closes) {
        if (!Alive()) return;
        if (ItemRef item = weak.lock()) host_->ViewCloseItem(item);
    }
}

void TabView::ShowTabList() {
    if (!Alive() || listOpen_) return;
    std::shared_ptr<TabView> self = shared_from_this();
    EnsureLayout();
    if (!layout_.overflow) return;
    const TabModel& model = host_->ViewModel();
    // The entries hold their tabs weakly: a handler may rebuild the list
    // while the menu is open.
    std::vector<std::weak_ptr<TabItemState>> entries;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    const int32_t selected = model.SelectedIndex();
    for (int32_t i = 0; i < model.Count(); ++i) {
        const ItemRef item = model.At(i);
        const std::wstring text = MenuText(item->caption);
        UINT flags = MF_STRING;
        if (i == selected) flags |= MF_CHECKED;
        AppendMenuW(menu, flags, static_cast<UINT_PTR>(i + 1), text.c_str());
        entries.push_back(item);
    }
    RECT button = ToRect(layout_.listButton);
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    listOpen_ = true;
    InvalidateRect(hwnd_, nullptr, FALSE);
    // TPM_NONOTIFY: the strip has no menu handlers, and nothing reaches the
    // parent. The menu loop never moves the keyboard focus.
    const UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON;
    const auto chosen =
        static_cast<UINT_PTR>(TrackPopupMenu(menu, flags, button.right, button.bottom, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    listOpen_ = false;
    if (!Alive()) return;
    InvalidateRect(hwnd_, nullptr, FALSE);
    if (chosen == 0 || chosen > entries.size()) return;
    const ItemRef item = entries[chosen - 1].lock();
    const int32_t index = item ? model.IndexOf(item.get()) : -1;
    if (index < 0) return;
    EnsureLayout();
    const int32_t first = ScrollToShow(measures_, metrics_, layout_.client, firstVisible_, index);
    if (first != firstVisible_) {
        firstVisible_ = first;
        InvalidateLayout();
    }
    host_->ViewClickItem(item);
}

void TabView::OnDefaultAction() {
    std::vector<std::weak_ptr<TabItemState>> clicks;
    clicks.swap(pendingClicks_);
    for (const auto& weak : clicks) {
        if (!Alive()) return;
        if (ItemRef item = weak.lock()) host_->ViewClickItem(item);
    }
}

}  // namespace corvane::win
