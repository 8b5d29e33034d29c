#include "host.h"

#include <atomic>
#include <cstdio>

#include "corvane/ids.h"

// ComObject counts live objects through these; in the test program they
// count the test's own sinks and sites, so a test can see them released.
namespace corvane::win {
namespace {
std::atomic<long> g_testObjects{0};
}
void ModuleLock() {
    ++g_testObjects;
}
void ModuleUnlock() {
    --g_testObjects;
}
bool ModuleInUse() {
    return g_testObjects.load() != 0;
}
HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}
std::wstring ModulePath() {
    return tabtest::OcxPath();
}
}  // namespace corvane::win

namespace tabtest {

namespace ev = corvane::dispid::events;
namespace item_id = corvane::dispid::item;

long LiveTestObjects() {
    return corvane::win::g_testObjects.load();
}

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

std::wstring OcxPath() {
    return ModuleDirectory() + L"\\Corvane.ocx";
}

std::wstring SystemDirectory() {
    wchar_t path[MAX_PATH] = L"";
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

int RunProcess(const std::wstring& application, const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return -1;
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string Narrow(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string HresultText(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

int32_t GetLong(IDispatch* d, DISPID id) {
    Variant v;
    const HRESULT hr = Get(d, id, v.get());
    EXPECT_EQ(hr, S_OK) << "get of DISPID " << id << ": " << HresultText(hr);
    EXPECT_EQ(V_VT(v.get()), VT_I4) << "DISPID " << id;
    return V_VT(v.get()) == VT_I4 ? V_I4(v.get()) : 0;
}

bool GetBool(IDispatch* d, DISPID id) {
    Variant v;
    const HRESULT hr = Get(d, id, v.get());
    EXPECT_EQ(hr, S_OK) << "get of DISPID " << id << ": " << HresultText(hr);
    EXPECT_EQ(V_VT(v.get()), VT_BOOL) << "DISPID " << id;
    return V_VT(v.get()) == VT_BOOL && V_BOOL(v.get()) != VARIANT_FALSE;
}

std::wstring GetString(IDispatch* d, DISPID id) {
    Variant v;
    const HRESULT hr = Get(d, id, v.get());
    EXPECT_EQ(hr, S_OK) << "get of DISPID " << id << ": " << HresultText(hr);
    EXPECT_EQ(V_VT(v.get()), VT_BSTR) << "DISPID " << id;
    if (V_VT(v.get()) != VT_BSTR || !V_BSTR(v.get())) return std::wstring();
    return std::wstring(V_BSTR(v.get()), SysStringLen(V_BSTR(v.get())));
}

ComPtr<IDispatch> GetObject(IDispatch* d, DISPID id) {
    Variant v;
    const HRESULT hr = Get(d, id, v.get());
    EXPECT_EQ(hr, S_OK) << "get of DISPID " << id << ": " << HresultText(hr);
    if (V_VT(v.get()) != VT_DISPATCH) return nullptr;
    return ComPtr<IDispatch>(V_DISPATCH(v.get()));
}

ComPtr<IDispatch> ItemAt(IDispatch* control, int32_t index) {
    Variant v;
    const HRESULT hr = Get(control, corvane::dispid::control::Item, v.get(), index);
    EXPECT_EQ(hr, S_OK) << "Item(" << index << "): " << HresultText(hr);
    if (V_VT(v.get()) != VT_DISPATCH) return nullptr;
    return ComPtr<IDispatch>(V_DISPATCH(v.get()));
}

std::wstring Caption(IDispatch* item) {
    return item ? GetString(item, item_id::Caption) : L"<nothing>";
}

// --- EventRecorder

HRESULT EventRecorder::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IID events{};
    IIDFromString(corvane::guid_text::kDiidTabControlEvents, &events);
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events) {
        AddRef();
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT EventRecorder::GetTypeInfoCount(UINT* n) {
    *n = 0;
    return S_OK;
}
HRESULT EventRecorder::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    *out = nullptr;
    return E_NOTIMPL;
}
HRESULT EventRecorder::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT EventRecorder::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    EXPECT_EQ(flags, DISPATCH_METHOD);
    // Arguments arrive in reverse order.
    auto arg = [&](UINT i) -> VARIANT& { return params->rgvarg[params->cArgs - 1 - i]; };
    switch (id) {
        case ev::MouseDown:
        case ev::MouseUp: {
            EXPECT_EQ(params->cArgs, 4u);
            EXPECT_EQ(V_VT(&arg(0)), VT_I2) << "Button is 16-bit";
            EXPECT_EQ(V_VT(&arg(1)), VT_I2) << "Shift is 16-bit";
            EXPECT_EQ(V_VT(&arg(2)), VT_R4) << "x is single";
            EXPECT_EQ(V_VT(&arg(3)), VT_R4) << "y is single";
            const float x = V_R4(&arg(2));
            const float y = V_R4(&arg(3));
            log.push_back(std::wstring(id == ev::MouseDown ? L"MouseDown " : L"MouseUp ") +
                          std::to_wstring(V_I2(&arg(0))) + L" " + std::to_wstring(V_I2(&arg(1))));
            if (id == ev::MouseUp) {
                lastMouseUp = POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
                if (onMouseUp) onMouseUp();
            }
            return S_OK;
        }
        case ev::BeforeItemClick: {
            EXPECT_EQ(params->cArgs, 2u);
            EXPECT_EQ(V_VT(&arg(0)), VT_DISPATCH);
            EXPECT_EQ(V_VT(&arg(1)), VT_BOOL | VT_BYREF) << "Cancel is a Boolean by reference";
            IDispatch* item = V_DISPATCH(&arg(0));
            log.push_back(L"BeforeItemClick " + Caption(item));
            if (onBeforeItemClick) onBeforeItemClick(item);
            if (cancelClicks) *V_BOOLREF(&arg(1)) = VARIANT_TRUE;
            return S_OK;
        }
        case ev::SelectedChanged: {
            EXPECT_EQ(params->cArgs, 1u);
            EXPECT_EQ(V_VT(&arg(0)), VT_DISPATCH);
            IDispatch* item = V_DISPATCH(&arg(0));
            log.push_back(L"SelectedChanged " + Caption(item));
            if (onSelectedChanged) onSelectedChanged(item);
            return S_OK;
        }
        case ev::CloseButtonClick: {
            EXPECT_EQ(params->cArgs, 1u);
            EXPECT_EQ(V_VT(&arg(0)), VT_DISPATCH);
            log.push_back(L"CloseButtonClick " + Caption(V_DISPATCH(&arg(0))));
            return S_OK;
        }
        default:
            ADD_FAILURE() << "unexpected event, DISPID " << id;
            return S_OK;
    }
}

// --- TestSite

HRESULT TestSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
        *ppv = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
        *ppv = static_cast<IOleInPlaceSite*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT TestSite::SaveObject() {
    calls.push_back("SaveObject");
    return S_OK;
}
HRESULT TestSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    *ppmk = nullptr;
    return E_NOTIMPL;
}
HRESULT TestSite::GetContainer(IOleContainer** ppContainer) {
    *ppContainer = nullptr;
    return E_NOINTERFACE;
}
HRESULT TestSite::ShowObject() {
    calls.push_back("ShowObject");
    return S_OK;
}
HRESULT TestSite::OnShowWindow(BOOL) {
    return S_OK;
}
HRESULT TestSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}
HRESULT TestSite::GetWindow(HWND* phwnd) {
    *phwnd = window_;
    return S_OK;
}
HRESULT TestSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
HRESULT TestSite::CanInPlaceActivate() {
    calls.push_back("CanInPlaceActivate");
    return S_OK;
}
HRESULT TestSite::OnInPlaceActivate() {
    calls.push_back("OnInPlaceActivate");
    return S_OK;
}
HRESULT TestSite::OnUIActivate() {
    calls.push_back("OnUIActivate");
    return S_OK;
}
HRESULT TestSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                   LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    calls.push_back("GetWindowContext");
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    *lprcPosRect = position_;
    *lprcClipRect = position_;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = window_;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}
HRESULT TestSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
HRESULT TestSite::OnUIDeactivate(BOOL) {
    calls.push_back("OnUIDeactivate");
    return S_OK;
}
HRESULT TestSite::OnInPlaceDeactivate() {
    calls.push_back("OnInPlaceDeactivate");
    return S_OK;
}
HRESULT TestSite::DiscardUndoState() {
    return E_NOTIMPL;
}
HRESULT TestSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}
HRESULT TestSite::OnPosRectChange(LPCRECT) {
    return S_OK;
}

// --- HostedControl

namespace {

const wchar_t kFormClass[] = L"TabControlTestForm";

void RegisterFormClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kFormClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

// One form for the whole run: Wine waits for the X server each time a
// visible top-level window is mapped or destroyed, about a second apiece.
struct SharedForm {
    HWND form = nullptr;
    HWND edit = nullptr;
};

const SharedForm& Form() {
    static const SharedForm shared = [] {
        RegisterFormClass();
        SharedForm f;
        f.form = CreateWindowExW(0, kFormClass, L"Form_Tab", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50, 700, 160,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        f.edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 60, 200, 24, f.form, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ShowWindow(f.form, SW_SHOW);
        return f;
    }();
    return shared;
}

}  // namespace

std::unique_ptr<HostedControl> HostControl(RECT position) {
    auto host = std::make_unique<HostedControl>();
    host->form = Form().form;
    host->edit = Form().edit;
    EXPECT_NE(host->form, nullptr);

    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(corvane::kProgId, &clsid);
    EXPECT_EQ(hr, S_OK) << "ProgID lookup: " << HresultText(hr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, host->ole.put_void());
    EXPECT_EQ(hr, S_OK) << "CoCreateInstance: " << HresultText(hr);
    if (!host->ole) return host;

    host->site = ComPtr<TestSite>::Adopt(new TestSite(host->form, position));
    EXPECT_EQ(host->ole->SetClientSite(host->site.get()), S_OK);
    ComPtr<IPersistStreamInit> persist;
    EXPECT_EQ(host->ole.As(IID_IPersistStreamInit, persist), S_OK);
    if (persist) {
        EXPECT_EQ(persist->InitNew(), S_OK);
    }
    EXPECT_EQ(host->ole.As(IID_IDispatch, host->control), S_OK);

    host->events = ComPtr<EventRecorder>::Adopt(new EventRecorder());
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(host->ole.As(IID_IConnectionPointContainer, cpc), S_OK);
    IID eventsIid{};
    IIDFromString(corvane::guid_text::kDiidTabControlEvents, &eventsIid);
    ComPtr<IConnectionPoint> cp;
    if (cpc) {
        EXPECT_EQ(cpc->FindConnectionPoint(eventsIid, cp.put()), S_OK);
    }
    if (cp) {
        EXPECT_EQ(cp->Advise(static_cast<IDispatch*>(host->events.get()), &host->cookie), S_OK);
    }

    hr = host->ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, host->site.get(), 0, host->form, &position);
    EXPECT_EQ(hr, S_OK) << "DoVerb: " << HresultText(hr);
    UpdateWindow(host->form);
    PumpMessages();
    return host;
}

HWND HostedControl::Strip() const {
    ComPtr<IOleWindow> window;
    HWND hwnd = nullptr;
    if (ole && SUCCEEDED(ole.As(IID_IOleWindow, window))) window->GetWindow(&hwnd);
    return hwnd;
}

void HostedControl::Close() {
    if (!ole) return;
    if (cookie) {
        ComPtr<IConnectionPointContainer> cpc;
        ComPtr<IConnectionPoint> cp;
        IID eventsIid{};
        IIDFromString(corvane::guid_text::kDiidTabControlEvents, &eventsIid);
        if (SUCCEEDED(ole.As(IID_IConnectionPointContainer, cpc)) &&
            SUCCEEDED(cpc->FindConnectionPoint(eventsIid, cp.put()))) {
            cp->Unadvise(cookie);
        }
        cookie = 0;
    }
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
    control.reset();
    ole.reset();
}

HostedControl::~HostedControl() {
    Close();
    PumpMessages();
}

void AddTabs(IDispatch* control, std::initializer_list<const wchar_t*> captions) {
    for (const wchar_t* caption : captions) {
        Variant count;
        ASSERT_EQ(Get(control, corvane::dispid::control::ItemCount, count.get()), S_OK);
        Variant item;
        const HRESULT hr = InvokeArgs(control, corvane::dispid::control::InsertItem, DISPATCH_METHOD, item.get(),
                                      static_cast<int32_t>(V_I4(count.get())), caption, int32_t{-1}, int32_t{0});
        ASSERT_EQ(hr, S_OK) << "InsertItem: " << HresultText(hr);
    }
}

POINT TabCentre(HWND strip, int32_t index) {
    ComPtr<IAccessible> acc;
    const HRESULT hr =
        AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void());
    EXPECT_EQ(hr, S_OK) << "AccessibleObjectFromWindow: " << HresultText(hr);
    if (!acc) return POINT{-1, -1};
    VARIANT child;
    VariantInit(&child);
    V_VT(&child) = VT_I4;
    V_I4(&child) = index + 1;
    long x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(acc->accLocation(&x, &y, &w, &h, child), S_OK) << "tab " << index;
    POINT p{x + w / 2, y + h / 2};
    ScreenToClient(strip, &p);
    return p;
}

void Click(HWND strip, POINT at, UINT down, UINT up, WPARAM keys) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    SendMessageW(strip, down, keys, where);
    SendMessageW(strip, up, 0, where);
}

}  // namespace tabtest
