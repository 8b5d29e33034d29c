// A small OLE container for Corvane.ocx, as the tab strip form hosts it: a
// top-level window, a client site with IOleInPlaceSite, and an event sink
// that writes every event down. Strict: an event the sink does not know
// fails the test.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleacc.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "com_support.h"

namespace tabtest {

using corvane::win::Bstr;
using corvane::win::ComObject;
using corvane::win::ComPtr;
using corvane::win::Variant;

std::wstring ModuleDirectory();
std::wstring OcxPath();
std::wstring SystemDirectory();
// Starts a command line (application named by its full path), waits, and
// returns its exit code; -1 when it could not be started.
int RunProcess(const std::wstring& application, const std::wstring& commandLine);
void PumpMessages();
std::string Narrow(const std::wstring& s);
std::string HresultText(HRESULT hr);
// Objects of this test program that are still alive (sinks, sites).
long LiveTestObjects();

// --- late-bound calls by DISPID. Arguments are given in declaration order.

inline VARIANT V(int32_t v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_I4;
    V_I4(&r) = v;
    return r;
}
inline VARIANT V(int16_t v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_I2;
    V_I2(&r) = v;
    return r;
}
inline VARIANT V(float v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_R4;
    V_R4(&r) = v;
    return r;
}
inline VARIANT V(bool v) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_BOOL;
    V_BOOL(&r) = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
inline VARIANT V(const wchar_t* s) {
    VARIANT r;
    VariantInit(&r);
    V_VT(&r) = VT_BSTR;
    V_BSTR(&r) = SysAllocString(s);
    return r;
}
inline VARIANT V(const VARIANT& v) {
    VARIANT r;
    VariantInit(&r);
    VariantCopy(&r, const_cast<VARIANT*>(&v));
    return r;
}

// An accessible child id.
inline VARIANT Child(long id) { return V(static_cast<int32_t>(id)); }

// The strip's client object, as a screen reader asks for it.
inline ComPtr<IAccessible> AccessibleOf(HWND strip) {
    ComPtr<IAccessible> acc;
    const HRESULT hr =
        AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void());
    EXPECT_EQ(hr, S_OK) << HresultText(hr);
    return acc;
}

// DISPPARAMS hold the arguments in reverse order; a property put passes
// its value, the last argument here, as the named DISPID_PROPERTYPUT.
template <class... A>
HRESULT InvokeArgs(IDispatch* d, DISPID id, WORD flags, VARIANT* result, const A&... args) {
    std::vector<VARIANT> argv{V(args)...};
    std::reverse(argv.begin(), argv.end());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    const HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    for (VARIANT& v : argv) VariantClear(&v);
    return hr;
}

template <class... A>
HRESULT Get(IDispatch* d, DISPID id, VARIANT* result, const A&... args) {
    return InvokeArgs(d, id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, result, args...);
}
template <class... A>
HRESULT Call(IDispatch* d, DISPID id, const A&... args) {
    Variant ignored;
    return InvokeArgs(d, id, DISPATCH_METHOD, ignored.get(), args...);
}
template <class T>
HRESULT Put(IDispatch* d, DISPID id, const T& value) {
    return InvokeArgs(d, id, DISPATCH_PROPERTYPUT, nullptr, value);
}

// Typed reads that report a failed call and return a neutral value.
int32_t GetLong(IDispatch* d, DISPID id);
bool GetBool(IDispatch* d, DISPID id);
std::wstring GetString(IDispatch* d, DISPID id);
ComPtr<IDispatch> GetObject(IDispatch* d, DISPID id);
ComPtr<IDispatch> ItemAt(IDispatch* control, int32_t index);  // Item(index)
std::wstring Caption(IDispatch* item);

// --- the event sink

class EventRecorder final : public ComObject<IDispatch> {
public:
    std::vector<std::wstring> log;
    POINT lastMouseUp{-1, -1};
    bool cancelClicks = false;
    std::function<void(IDispatch* item)> onBeforeItemClick;
    std::function<void(IDispatch* item)> onSelectedChanged;
    std::function<void()> onMouseUp;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
};

// --- the site, recording the container calls it receives

class TestSite final : public ComObject<IOleClientSite, IOleInPlaceSite> {
public:
    TestSite(HWND window, RECT position) : window_(window), position_(position) {}
    std::vector<std::string> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;
    // IOleWindow / IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override;

private:
    HWND window_;
    RECT position_;
};

// --- a hosted control: the form window, the site, the control and its sink

struct HostedControl {
    HWND form = nullptr;
    HWND edit = nullptr;  // a child of the form that can hold the focus
    ComPtr<TestSite> site;
    ComPtr<IDispatch> control;
    ComPtr<IOleObject> ole;
    ComPtr<EventRecorder> events;
    DWORD cookie = 0;

    HostedControl() = default;
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;
    ~HostedControl();

    HWND Strip() const;  // the control's window (IOleWindow::GetWindow)
    void Close();        // Unadvise, Close, SetClientSite(nullptr), release
};

// Creates the control by its ProgID and sites it in the form window (one
// for the whole run) at position, in client pixels of the form. The ASSERTs of the caller decide.
std::unique_ptr<HostedControl> HostControl(RECT position = RECT{0, 0, 400, 25});

void AddTabs(IDispatch* control, std::initializer_list<const wchar_t*> captions);
// The centre of tab index in the strip's client coordinates, from its
// accessible location.
POINT TabCentre(HWND strip, int32_t index);
void Click(HWND strip, POINT at, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP, WPARAM keys = MK_LBUTTON);

using Log = std::vector<std::wstring>;

}  // namespace tabtest
