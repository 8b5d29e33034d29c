// Shows the strip in the three looks the add-in picks, each with five
// workbooks, one selected, one unsaved and one under the pointer with its
// close button hot, and saves each as a BMP in the current directory
// (tabcontrol-<look>.bmp) for the screenshot script; then each look again,
// too narrow for its tabs, with the list of every tab open
// (tabcontrol-<look>-list.bmp). Not a test: it loads Corvane.ocx from beside itself without
// registering it.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "com_support.h"
#include "corvane/ids.h"
#include "guids.h"

namespace {

using corvane::win::ComPtr;
using corvane::win::Variant;
namespace ctl = corvane::dispid::control;
namespace pm = corvane::dispid::paint_manager;
namespace cs = corvane::dispid::color_set;

constexpr int kStripWidth = 640;  // pixels
constexpr int kStripHeight = 25;  // the form's 375 twips at 96 DPI
constexpr int kMargin = 6;
constexpr int kSelectedTab = 1;
constexpr int kHotTab = 3;
constexpr int kUnsavedTab = 2;
constexpr int kListStripWidth = 330;
constexpr int kMenuRoom = 150;  // below the strip, where the open list shows

// Sizes above are in pixels at 96 DPI (15 twips each); the form grows with
// the screen's DPI as the control does.
int g_dpi = 96;
int Px(int pixelsAt96) {
    return MulDiv(pixelsAt96, g_dpi, 96);
}

struct Look {
    const char* name;
    void (*apply)(IDispatch* control, IDispatch* paintManager);
    COLORREF formColor;  // what the form around the strip is painted with
};

VARIANT Long(LONG v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_I4;
    V_I4(&r) = v;
    return r;
}

VARIANT Bool(bool v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_BOOL;
    V_BOOL(&r) = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

// args in natural order; DISPPARAMS wants them reversed.
HRESULT Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    const HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    for (VARIANT& v : reversed) VariantClear(&v);
    if (FAILED(hr)) std::fprintf(stderr, "DISPID %ld failed: 0x%08lx\n", id, static_cast<unsigned long>(hr));
    return hr;
}

void Put(IDispatch* d, DISPID id, VARIANT value) {
    Invoke(d, id, DISPATCH_PROPERTYPUT, {value});
}

ComPtr<IDispatch> GetObject(IDispatch* d, DISPID id) {
    Variant v;
    if (FAILED(Invoke(d, id, DISPATCH_PROPERTYGET, {}, v.get())) || V_VT(v.get()) != VT_DISPATCH) return nullptr;
    return ComPtr<IDispatch>(V_DISPATCH(v.get()));
}

const Look kLooks[] = {
    {"deluxe", [](IDispatch*, IDispatch*) {}, RGB(221, 236, 254)},
    {"excel2003",
     [](IDispatch* control, IDispatch* manager) {
         Put(control, ctl::Appearance, Long(corvane::kAppearanceExcel));
         Put(manager, pm::Appearance, Long(corvane::kAppearanceExcel));
         Put(manager, pm::Color, Long(corvane::kColorOffice2003));
         ComPtr<IDispatch> colors = GetObject(manager, pm::ColorSet);
         if (colors) {
             Put(colors.get(), cs::ButtonSelected, Long(RGB(255, 255, 255)));
             Put(colors.get(), cs::ButtonNormal, Long(RGB(205, 205, 205)));
         }
         Put(control, ctl::Left, Long(-70));
     },
     RGB(221, 236, 254)},
    {"excel2002",
     [](IDispatch* control, IDispatch* manager) {
         Put(control, ctl::Appearance, Long(corvane::kAppearanceExcel));
         Put(manager, pm::DisableLunaColors, Bool(true));
     },
     GetSysColor(COLOR_BTNFACE)},
};

// A 16 x 16 workbook: a white sheet with a green band and grid lines.
HIMAGELIST MakeImages() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1);
    if (!list) return nullptr;
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF transparent = RGB(255, 0, 255);
    const auto fill = [&](int l, int t, int r, int b, COLORREF c) {
        SetBkColor(dc, c);
        const RECT rc{l, t, r, b};
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    };
    fill(0, 0, 16, 16, transparent);
    fill(1, 1, 15, 15, RGB(30, 113, 69));    // frame
    fill(2, 2, 14, 5, RGB(52, 160, 95));     // title band
    fill(2, 5, 14, 14, RGB(255, 255, 255));  // sheet
    for (int y = 7; y < 14; y += 3) fill(2, y, 14, y + 1, RGB(170, 205, 180));
    for (int x = 6; x < 14; x += 4) fill(x, 5, x + 1, 14, RGB(170, 205, 180));
    SelectObject(dc, old);
    ImageList_AddMasked(list, bitmap, transparent);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return list;
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(hwnd, &r);
        const auto color = static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        SetBkColor(reinterpret_cast<HDC>(wParam), color);
        ExtTextOutW(reinterpret_cast<HDC>(wParam), 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

// What the screen shows in r, as the user sees it.
bool SaveScreenBitmap(RECT r, const std::string& path) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    const HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HDC dc = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(dc, dib);
    BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out);
    std::fwrite(bits, size, 1, out);
    std::fclose(out);
    DeleteObject(dib);
    return true;
}

// The centre of an accessible child of the strip (child 0 of an object
// child: the child itself), in the strip's client coordinates.
POINT AccessibleCentre(HWND strip, long child, long inner) {
    ComPtr<IAccessible> acc;
    AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void());
    if (!acc) return POINT{-1, -1};
    VARIANT id;
    VariantInit(&id);
    V_VT(&id) = VT_I4;
    V_I4(&id) = child;
    if (inner > 0) {
        ComPtr<IDispatch> object;
        acc->get_accChild(id, object.put());
        ComPtr<IAccessible> tab;
        if (!object || FAILED(object->QueryInterface(IID_IAccessible, tab.put_void()))) return POINT{-1, -1};
        acc = tab;
        V_I4(&id) = inner;
    }
    long x = 0, y = 0, w = 0, h = 0;
    acc->accLocation(&x, &y, &w, &h, id);
    POINT p{x + w / 2, y + h / 2};
    ScreenToClient(strip, &p);
    return p;
}

// Takes the picture while the list's menu loop runs, then closes the menu.
struct ListShot {
    RECT area;
    std::string path;
    bool saved = false;
};
ListShot* g_listShot = nullptr;

void CALLBACK ShootOpenList(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (!g_listShot || !menu || !IsWindowVisible(menu)) return;
    KillTimer(nullptr, timer);
    RedrawWindow(menu, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(100);
    g_listShot->saved = SaveScreenBitmap(g_listShot->area, g_listShot->path);
    EndMenu();
}

ComPtr<IDispatch> CreateControl(HMODULE module) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    if (!get || FAILED(get(corvane::win::kClsidTabControl, IID_IClassFactory, factory.put_void()))) return nullptr;
    ComPtr<IDispatch> control;
    factory->CreateInstance(nullptr, IID_IDispatch, control.put_void());
    return control;
}

bool ShowLook(HMODULE module, HIMAGELIST images, const Look& look, int y, bool withList) {
    const int stripWidth = withList ? kListStripWidth : kStripWidth;
    const int formWidth = Px(stripWidth + 2 * kMargin);
    const int formHeight = Px(kStripHeight + 2 * kMargin);
    HWND form = CreateWindowExW(WS_EX_TOOLWINDOW, L"CorvaneShowcaseForm", L"", WS_POPUP | WS_VISIBLE, 40, y, formWidth,
                                formHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!form) return false;
    SetWindowLongPtrW(form, GWLP_USERDATA, static_cast<LONG_PTR>(look.formColor));

    ComPtr<IDispatch> control = CreateControl(module);
    if (!control) return false;
    ComPtr<IDispatch> manager = GetObject(control.get(), ctl::PaintManager);
    if (!manager) return false;
    // What the add-in sets whatever the look.
    Put(manager.get(), pm::BoldSelected, Bool(true));
    Put(manager.get(), pm::HotTracking, Bool(true));
    Put(manager.get(), pm::ShowIcons, Bool(true));
    Put(control.get(), ctl::ShowCloseButtons, Bool(true));
    Put(control.get(), ctl::ShowUnsavedMarks, Bool(true));
    look.apply(control.get(), manager.get());

    Invoke(control.get(), ctl::AttachTo, DISPATCH_METHOD, {Long(static_cast<LONG>(reinterpret_cast<LONG_PTR>(form)))});
    // Twips at 96 DPI: 15 per pixel. The 2003 look's Left of -70 twips is
    // where the add-in puts it; the margin keeps it inside the form here.
    Variant left;
    Invoke(control.get(), ctl::Left, DISPATCH_PROPERTYGET, {}, left.get());
    Put(control.get(), ctl::Left, Long(V_I4(left.get()) + kMargin * 15));
    Put(control.get(), ctl::Top, Long(kMargin * 15));
    Put(control.get(), ctl::Width, Long(stripWidth * 15));
    Put(control.get(), ctl::Height, Long(kStripHeight * 15));
    Invoke(control.get(), ctl::SetImageList, DISPATCH_METHOD,
           {Long(static_cast<LONG>(reinterpret_cast<LONG_PTR>(images)))});

    const wchar_t* captions[] = {L"Book1", L"预算2024.xls", L"Quarterly Report.xls", L"销售数据.xls", L"人员名单.xls"};
    for (int i = 0; i < 5; ++i) {
        VARIANT caption;
        VariantInit(&caption);
        V_VT(&caption) = VT_BSTR;
        V_BSTR(&caption) = SysAllocString(captions[i]);
        VARIANT missing;
        VariantInit(&missing);
        V_VT(&missing) = VT_ERROR;
        V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
        Variant item;
        Invoke(control.get(), ctl::InsertItem, DISPATCH_METHOD, {Long(i), caption, missing, Long(0)}, item.get());
        if (i == kUnsavedTab && V_VT(item.get()) == VT_DISPATCH)
            Put(V_DISPATCH(item.get()), corvane::dispid::item::Unsaved, Bool(true));
    }
    Put(control.get(), ctl::SelectedItem, Long(kSelectedTab));

    Variant hwndValue;
    Invoke(control.get(), ctl::hWnd, DISPATCH_PROPERTYGET, {}, hwndValue.get());
    const HWND strip = reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(hwndValue.get())));
    UpdateWindow(form);
    Pump(200);

    if (withList) {
        // Press the list button; the picture is taken from inside the menu loop.
        const POINT button = AccessibleCentre(strip, 6, 0);
        RECT area;
        GetWindowRect(form, &area);
        area.left = std::max<LONG>(0, area.left - Px(kMenuRoom));  // a capture off the screen comes out black
        area.bottom += Px(kMenuRoom);
        ListShot shot{area, std::string("tabcontrol-") + look.name + "-list.bmp"};
        g_listShot = &shot;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, ShootOpenList);
        SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.x, button.y));
        SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(button.x, button.y));
        Pump(1500);
        KillTimer(nullptr, timer);
        g_listShot = nullptr;
        Invoke(control.get(), ctl::AttachTo, DISPATCH_METHOD, {Long(0)});
        control.reset();
        DestroyWindow(form);
        Pump(50);
        return shot.saved;
    }

    // The pointer goes over the hot tab's close button for real, so that
    // the strip's leave tracking finds it there.
    POINT hot = AccessibleCentre(strip, kHotTab + 1, 1);
    POINT screenHot = hot;
    ClientToScreen(strip, &screenHot);
    SetCursorPos(screenHot.x, screenHot.y);
    SendMessageW(strip, WM_MOUSEMOVE, 0, MAKELPARAM(hot.x, hot.y));
    Pump(300);

    RECT area;
    GetWindowRect(form, &area);
    const bool saved = SaveScreenBitmap(area, std::string("tabcontrol-") + look.name + ".bmp");
    Invoke(control.get(), ctl::AttachTo, DISPATCH_METHOD, {Long(0)});
    control.reset();
    DestroyWindow(form);
    Pump(50);
    return saved;
}

}  // namespace

int main() {
    if (FAILED(OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"CorvaneShowcaseForm";
    RegisterClassW(&wc);

    const HMODULE module = LoadLibraryW(L"Corvane.ocx");
    if (!module) {
        std::fprintf(stderr, "Corvane.ocx not found beside the showcase\n");
        return 1;
    }
    const HDC screen = GetDC(nullptr);
    g_dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HIMAGELIST images = MakeImages();
    int failures = 0;
    int y = 40;
    for (bool withList : {false, true}) {
        for (const Look& look : kLooks) {
            if (!ShowLook(module, images, look, withList ? Px(300) : y, withList)) {
                std::fprintf(stderr, "look %s%s failed\n", look.name, withList ? " with its list" : "");
                ++failures;
            }
            y += Px(60);
        }
    }
    ImageList_Destroy(images);
    OleUninitialize();
    return failures == 0 ? 0 : 1;
}
