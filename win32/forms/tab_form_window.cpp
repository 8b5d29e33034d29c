#include "forms/tab_form_window.h"

#include <olectl.h>

#include <atomic>
#include <map>
#include <string>

#include "resource_ids.h"
#include "forms/tab_control_adapter.h"
#include "forms/window_class.h"
#include "support/dispatch.h"
#include "support/critical_section.h"
#include "support/handles.h"
#include "support/object_count.h"

namespace tarnwick::win32 {
namespace {

// DIID of the control's source dispinterface _DCorvaneTabEvents.
constexpr GUID kDiidTabEvents = {0x455D7109, 0xD1AB, 0x4E9A, {0xB4, 0x65, 0x5A, 0x36, 0x47, 0x31, 0xAA, 0x99}};
// CLSID of Corvane.TabControl, for creating it from an unregistered module.
constexpr GUID kClsidTabControl = {0x07C96505, 0x90BE, 0x43ED, {0x95, 0x6A, 0xC7, 0x48, 0xBF, 0xE9, 0xA9, 0x51}};

// The control's module loaded by path, as COM would load a registered one.
// It stays loaded for the life of the process: objects it handed out may
// outlive any form, and COM will never ask it whether it can unload.
HRESULT CreateFromModule(const std::wstring& path, IDispatch** out) {
    static CriticalSection lock;
    static std::map<std::wstring, HMODULE> loaded;
    HMODULE module = nullptr;
    {
        Locked guard(lock);
        HMODULE& entry = loaded[path];
        if (!entry) entry = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        module = entry;
    }
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(::GetProcAddress(module, "DllGetClassObject"));
    if (!getClassObject) return CO_E_ERRORINDLL;
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(kClsidTabControl, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(out));
}

constexpr int kDesignClientWidthTwips = 4560;
constexpr int kDesignClientHeightTwips = 915;
constexpr COLORREF kImageMask = RGB(192, 192, 192);

int TwipsPerPixel(int index) {
    WindowDC screen(nullptr);
    int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), index) : 96;
    return 1440 / (dpi > 0 ? dpi : 96);
}

// Reads argument `index` (natural order) of an event; DISPPARAMS hold them last first.
const VARIANT& EventArg(const DISPPARAMS* params, UINT index) {
    if (!params || index >= params->cArgs) ThrowHr(DISP_E_BADPARAMCOUNT);
    return params->rgvarg[params->cArgs - 1 - index];
}

template <class T>
T Coerce(const VARIANT& value, VARTYPE type, T VARIANT::*field) {
    Variant out;
    CheckHr(::VariantChangeType(out.get(), const_cast<VARIANT*>(&value), 0, type));
    return out.get()->*field;
}

ComPtr<IDispatch> DispatchArg(const VARIANT& v) {
    Variant copy;
    CheckHr(::VariantCopyInd(copy.get(), const_cast<VARIANT*>(&v)));
    return copy.ToDispatch();
}

}  // namespace

// The control's event sink: translates each event into one call on the
// core's TabControlEvents and answers S_OK whatever the core does.
class TabEventSink final : public IDispatch {
public:
    explicit TabEventSink(TabFormEvents& events) : events_(&events) {}

    void Disconnect() { events_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDiidTabEvents) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result) ::VariantInit(result);
        // The core may unload the form from inside an event: stay alive until we return.
        ComPtr<TabEventSink> keep = ComPtr<TabEventSink>::CopyFrom(this);
        try {
            if (!events_) return S_OK;
            switch (id) {
            case corvane_id::kEventBeforeItemClick: OnBeforeItemClick(params); break;
            case corvane_id::kEventSelectedChanged: OnSelectedChanged(params); break;
            case corvane_id::kEventMouseUp: OnMouseUp(params); break;
            case corvane_id::kEventCloseButtonClick:
                events_->TabSeclect_CloseButtonClick(MakeTabItem(DispatchArg(EventArg(params, 0))));
                break;
            default: break;
            }
        } catch (...) {
            // An event handler's failure is the core's business, never the control's.
        }
        return S_OK;
    }

private:
    void OnBeforeItemClick(DISPPARAMS* params) {
        auto item = MakeTabItem(DispatchArg(EventArg(params, 0)));
        const VARIANT& cancelArg = EventArg(params, 1);
        VARIANT_BOOL* cancelRef = cancelArg.vt == (VT_BOOL | VT_BYREF) ? cancelArg.pboolVal : nullptr;
        bool cancel = cancelRef ? *cancelRef != VARIANT_FALSE : false;
        events_->TabSeclect_BeforeItemClick(item, cancel);
        if (cancelRef) *cancelRef = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void OnSelectedChanged(DISPPARAMS* params) {
        events_->TabSeclect_SelectedChanged(MakeTabItem(DispatchArg(EventArg(params, 0))));
    }
    void OnMouseUp(DISPPARAMS* params) {
        auto button = Coerce(EventArg(params, 0), VT_I2, &VARIANT::iVal);
        auto shift = Coerce(EventArg(params, 1), VT_I2, &VARIANT::iVal);
        auto x = Coerce(EventArg(params, 2), VT_R4, &VARIANT::fltVal);
        auto y = Coerce(EventArg(params, 3), VT_R4, &VARIANT::fltVal);
        events_->TabSeclect_MouseUp(button, shift, x, y);
    }

    std::atomic<ULONG> refs_{1};
    CountedObject counted_;
    TabFormEvents* events_;
};

Win32TabFormWindow::Win32TabFormWindow(HINSTANCE module, TabFormEvents& events, const wchar_t* progId,
                                       const std::wstring& controlModule)
    : module_(module), events_(events) {
    RegisterWindowClass(module_, kTabFormClass, &WindowProc, nullptr);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_BORDER | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, kDesignClientWidthTwips / TwipsPerPixel(LOGPIXELSX),
               kDesignClientHeightTwips / TwipsPerPixel(LOGPIXELSY)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    hwnd_ = ::CreateWindowExW(exStyle, kTabFormClass, L"Form_Tab", style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, module_, this);
    if (!hwnd_) ThrowLastError();
    CreateImageList();
    CreateControl(progId, controlModule);
    ready_ = true;
}

Win32TabFormWindow::~Win32TabFormWindow() {
    ready_ = false;
    if (sink_) sink_->Disconnect();
    if (connectionPoint_ && cookie_) connectionPoint_->Unadvise(cookie_);
    connectionPoint_.Reset();
    sink_.Reset();
    control_.Reset();
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    if (imageList_) ::ImageList_Destroy(imageList_);
}

void Win32TabFormWindow::CreateControl(const wchar_t* progId, const std::wstring& controlModule) {
    ComPtr<IDispatch> control;
    if (!controlModule.empty()) {
        controlError_ = CreateFromModule(controlModule, control.put());
    } else {
        CLSID clsid{};
        controlError_ = ::CLSIDFromProgID(progId, &clsid);
        if (FAILED(controlError_)) return;
        controlError_ = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.put_void());
    }
    if (FAILED(controlError_) || !control) return;
    try {
        InvokeId(control.get(), corvane_id::kAttachTo, DISPATCH_METHOD,
                 {static_cast<int32_t>(reinterpret_cast<INT_PTR>(hwnd_))});
        InvokeId(control.get(), corvane_id::kLeft, DISPATCH_PROPERTYPUT, {kTabLeftTwips});
        InvokeId(control.get(), corvane_id::kTop, DISPATCH_PROPERTYPUT, {kTabTopTwips});
        InvokeId(control.get(), corvane_id::kWidth, DISPATCH_PROPERTYPUT, {kTabWidthTwips});
        InvokeId(control.get(), corvane_id::kHeight, DISPATCH_PROPERTYPUT, {kTabHeightTwips});
    } catch (const HostError& e) {
        controlError_ = e.code();
        return;
    }
    control_ = std::move(control);

    // Without events the strip still shows; clicks then do nothing.
    auto container = control_.TryAs<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!container) return;
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(kDiidTabEvents, point.put()))) return;
    ComPtr<TabEventSink> sink;
    sink.Attach(new TabEventSink(events_));
    DWORD cookie = 0;
    if (FAILED(point->Advise(sink.get(), &cookie))) {
        sink->Disconnect();
        return;
    }
    connectionPoint_ = std::move(point);
    sink_ = std::move(sink);
    cookie_ = cookie;
}

void Win32TabFormWindow::CreateImageList() {
    imageList_ = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (!imageList_) return;
    HICON icon = static_cast<HICON>(
        ::LoadImageW(module_, MAKEINTRESOURCEW(IDI_WORKBOOK), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (icon) {
        ::ImageList_AddIcon(imageList_, icon);
        ::DestroyIcon(icon);
        return;
    }
    // No icon resource (a test process without the DLL): draw a small sheet.
    WindowDC screen(nullptr);
    MemoryDC dc(screen.get());
    Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), 16, 16));
    {
        SelectScope selected(dc.get(), bitmap.get());
        RECT all{0, 0, 16, 16}, sheet{2, 1, 14, 15}, band{2, 1, 14, 4};
        Brush mask(::CreateSolidBrush(kImageMask)), white(::CreateSolidBrush(RGB(255, 255, 255))),
            green(::CreateSolidBrush(RGB(33, 115, 70)));
        ::FillRect(dc.get(), &all, mask.get());
        ::FillRect(dc.get(), &sheet, white.get());
        ::FillRect(dc.get(), &band, green.get());
        Pen grid(::CreatePen(PS_SOLID, 1, RGB(33, 115, 70)));
        SelectScope pen(dc.get(), grid.get());
        SelectScope hollow(dc.get(), ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc.get(), 2, 1, 14, 15);
        for (int y = 7; y < 15; y += 3) {
            ::MoveToEx(dc.get(), 2, y, nullptr);
            ::LineTo(dc.get(), 14, y);
        }
        ::MoveToEx(dc.get(), 7, 4, nullptr);
        ::LineTo(dc.get(), 7, 15);
    }
    ::ImageList_AddMasked(imageList_, bitmap.get(), kImageMask);
}

WindowHandle Win32TabFormWindow::hWnd() { return reinterpret_cast<WindowHandle>(hwnd_); }

int32_t Win32TabFormWindow::Width() {
    RECT r{};
    if (!::GetWindowRect(hwnd_, &r)) ThrowLastError();
    return (r.right - r.left) * TwipsPerPixel(LOGPIXELSX);
}

std::shared_ptr<tab::TabControl> Win32TabFormWindow::TabSeclect() {
    if (!control_) ThrowHr(FAILED(controlError_) ? controlError_ : E_FAIL);
    return MakeTabControl(ComPtr<IDispatch>::CopyFrom(control_.get()));
}

ImageListHandle Win32TabFormWindow::ImageList1() { return reinterpret_cast<ImageListHandle>(imageList_); }

void Win32TabFormWindow::Show() {
    // SW_SHOW keeps a maximised child maximised.
    ::ShowWindow(hwnd_, SW_SHOW);
}

LRESULT CALLBACK Win32TabFormWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            auto* self = static_cast<Win32TabFormWindow*>(create->lpCreateParams);
            self->hwnd_ = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<Win32TabFormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into user32.
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32TabFormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_ERASEBKGND:
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam))) return 1;
        break;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Win32TabFormWindow::OnSize() {
    if (!ready_) return;
    try {
        events_.Form_Resize();
    } catch (...) {
        // The core's resize handler runs under its own resume-next policy.
    }
}

bool Win32TabFormWindow::OnEraseBackground(HDC dc) {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

void Win32TabFormWindow::OnDestroy() {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

}  // namespace tarnwick::win32
