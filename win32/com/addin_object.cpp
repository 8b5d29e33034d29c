// The core's headers name constants after Windows macros: they come first.
#include "addin/zere_zovave_addin.h"

#include "com/addin_object.h"

#include <atomic>
#include <cwchar>

#include "com/module.h"
#include "excel/excel_objects.h"
#include "support/com.h"

namespace tarnwick::win32 {

const IID IID_IDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
const IID IID__ZereZovaveAddin = {0x15AF10A4, 0xBDD4, 0x470B, {0x9E, 0xD5, 0x49, 0x70, 0x82, 0xF3, 0x8B, 0x61}};
const CLSID CLSID_ZereZovaveAddin = {0x157952BC, 0x9669, 0x489A, {0xA9, 0x48, 0xDB, 0xB1, 0x3B, 0xB9, 0x83, 0xA6}};
const GUID LIBID_TarnwickAddin = {0x1D1D3C5B, 0x2FBC, 0x46A6, {0xA3, 0x6F, 0x43, 0x6F, 0x84, 0x9D, 0x4D, 0x35}};

namespace {

struct NamedDispId {
    const wchar_t* name;
    DISPID id;
};

const NamedDispId kMethods[] = {
    {L"OnConnection", ext_dispid::OnConnection},
    {L"OnDisconnection", ext_dispid::OnDisconnection},
    {L"OnAddInsUpdate", ext_dispid::OnAddInsUpdate},
    {L"OnStartupComplete", ext_dispid::OnStartupComplete},
    {L"OnBeginShutdown", ext_dispid::OnBeginShutdown},
};

// One object answers for IDTExtensibility2, the empty default interface
// _ZereZovaveAddin and IDispatch: _ZereZovaveAddin adds nothing to
// IDispatch, so the IDTExtensibility2 vtable is a valid one for it, and a
// caller going through IDispatch reaches the connection methods by DISPID.
class ZereZovaveAddinObject final : public IDTExtensibility2 {
public:
    ZereZovaveAddinObject() { module::AddObject(); }
    ~ZereZovaveAddinObject() {
        // A host that lets go without disconnecting must not leave our timer,
        // hook and windows calling into objects that are about to go.
        if (connected_) OnDisconnection(ext_dm_HostShutdown, nullptr);
        module::ReleaseObject();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IDTExtensibility2 ||
            iid == IID__ZereZovaveAddin) {
            *out = static_cast<IDTExtensibility2*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            try {
                delete this;
            } catch (...) {
            }
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (count == 0) return S_OK;
        for (const NamedDispId& method : kMethods) {
            if (names[0] && _wcsicmp(names[0], method.name) == 0) {
                ids[0] = method.id;
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // named arguments are not supported
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result) ::VariantInit(result);
        try {
            DISPPARAMS none{};
            if (!params) params = &none;
            switch (id) {
            case ext_dispid::OnConnection: {
                ComPtr<IDispatch> application = Argument(*params, 0).ToDispatch();
                int32_t mode = params->cArgs > 1 ? Argument(*params, 1).ToInt() : ext_cm_AfterStartup;
                return OnConnection(application.get(), static_cast<ext_ConnectMode>(mode), nullptr, nullptr);
            }
            case ext_dispid::OnDisconnection:
                return OnDisconnection(ext_dm_HostShutdown, nullptr);
            case ext_dispid::OnAddInsUpdate:
                return OnAddInsUpdate(nullptr);
            case ext_dispid::OnStartupComplete:
                return OnStartupComplete(nullptr);
            case ext_dispid::OnBeginShutdown:
                return OnBeginShutdown(nullptr);
            default:
                return DISP_E_MEMBERNOTFOUND;
            }
        } catch (...) {
            // Every connection method answers success, whatever its arguments.
            return S_OK;
        }
    }

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch*,
                                           SAFEARRAY**) override {
        try {
            connected_ = true;
            addin_.AddinInstance_OnConnection(WrapApplication(application), static_cast<int32_t>(mode));
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode, SAFEARRAY**) override {
        try {
            connected_ = false;
            addin_.AddinInstance_OnDisconnection();
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override {
        try {
            addin_.AddinInstance_OnAddInsUpdate();
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override {
        try {
            addin_.AddinInstance_OnStartupComplete();
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override {
        try {
            addin_.AddinInstance_OnBeginShutdown();
        } catch (...) {
        }
        return S_OK;
    }

private:
    // Argument `index` in natural order: DISPPARAMS holds them last first.
    static Variant Argument(const DISPPARAMS& params, UINT index) {
        if (index >= params.cArgs) ThrowHr(DISP_E_BADPARAMCOUNT);
        Variant value;
        CheckHr(::VariantCopyInd(value.put(), &params.rgvarg[params.cArgs - 1 - index]));
        return value;
    }

    std::atomic<ULONG> refs_{1};
    bool connected_ = false;
    ZereZovaveAddin addin_;
};

}  // namespace

HRESULT CreateZereZovaveAddin(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new ZereZovaveAddinObject();
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace tarnwick::win32
