#include "dispatch_support.h"

#include <cwchar>
#include <new>

#include "com_support.h"

namespace corvane::win {

HRESULT LookupDispatchNames(std::span<const DispatchMember> members, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    for (const DispatchMember& m : members) {
        if (names[0] && _wcsicmp(names[0], m.name) == 0) {
            ids[0] = m.id;
            break;
        }
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
    return hr;
}

HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> lib;
    CORVANE_RETURN_IF_FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, lib.put()));
    return lib->GetTypeInfoOfGuid(guid, out);
}

DispatchCall::DispatchCall(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr)
    : flags_(flags), params_(params), result_(result), argErr_(argErr) {
    if (!params_) return;
    hasPutValue_ = IsPut() && params_->cNamedArgs == 1 && params_->rgdispidNamedArgs &&
                   params_->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT && params_->cArgs >= 1;
    positional_ = params_->cArgs - (hasPutValue_ ? 1 : 0);
}

HRESULT DispatchCall::ExpectCount(UINT min, UINT max) const {
    if (!params_) return E_INVALIDARG;
    // Named arguments other than the put value are not supported.
    if (params_->cNamedArgs > (hasPutValue_ ? 1u : 0u)) return DISP_E_NONAMEDARGS;
    if (IsPut() && !hasPutValue_) return DISP_E_PARAMNOTOPTIONAL;
    if (positional_ < min || positional_ > max) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

const VARIANT* DispatchCall::Arg(UINT index) const {
    if (!params_ || index >= positional_) return nullptr;
    return &params_->rgvarg[params_->cArgs - 1 - index];
}

const VARIANT* DispatchCall::PutValue() const {
    return hasPutValue_ ? &params_->rgvarg[0] : nullptr;
}

bool DispatchCall::Present(UINT index) const {
    const VARIANT* v = Arg(index);
    if (!v) return false;
    const VARIANT* target = (V_VT(v) == (VT_VARIANT | VT_BYREF)) ? V_VARIANTREF(v) : v;
    return !(V_VT(target) == VT_ERROR && V_ERROR(target) == DISP_E_PARAMNOTFOUND);
}

HRESULT DispatchCall::Coerce(const VARIANT* in, VARTYPE vt, VARIANT& out, UINT argIndex) const {
    if (!in) return DISP_E_PARAMNOTOPTIONAL;
    Variant direct;
    HRESULT hr = VariantCopyInd(direct.get(), const_cast<VARIANT*>(in));
    if (SUCCEEDED(hr)) hr = VariantChangeType(&out, direct.get(), 0, vt);
    if (FAILED(hr)) {
        if (argErr_) *argErr_ = argIndex;
        return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// puArgErr counts like rgvarg: from the end of the argument list.
HRESULT DispatchCall::Long(UINT index, LONG& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(Arg(index), VT_I4, *v.get(), params_ ? params_->cArgs - 1 - index : 0));
    out = V_I4(v.get());
    return S_OK;
}

HRESULT DispatchCall::Bool(UINT index, bool& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(Arg(index), VT_BOOL, *v.get(), params_ ? params_->cArgs - 1 - index : 0));
    out = V_BOOL(v.get()) != VARIANT_FALSE;
    return S_OK;
}

HRESULT DispatchCall::String(UINT index, std::wstring& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(Arg(index), VT_BSTR, *v.get(), params_ ? params_->cArgs - 1 - index : 0));
    out.assign(V_BSTR(v.get()) ? V_BSTR(v.get()) : L"", SysStringLen(V_BSTR(v.get())));
    return S_OK;
}

HRESULT DispatchCall::Raw(UINT index, VARIANT& out) const {
    const VARIANT* v = Arg(index);
    if (!v) return DISP_E_PARAMNOTOPTIONAL;
    return VariantCopyInd(&out, const_cast<VARIANT*>(v));
}

HRESULT DispatchCall::PutLong(LONG& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(PutValue(), VT_I4, *v.get(), 0));
    out = V_I4(v.get());
    return S_OK;
}

HRESULT DispatchCall::PutBool(bool& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(PutValue(), VT_BOOL, *v.get(), 0));
    out = V_BOOL(v.get()) != VARIANT_FALSE;
    return S_OK;
}

HRESULT DispatchCall::PutString(std::wstring& out) const {
    Variant v;
    CORVANE_RETURN_IF_FAILED(Coerce(PutValue(), VT_BSTR, *v.get(), 0));
    out.assign(V_BSTR(v.get()) ? V_BSTR(v.get()) : L"", SysStringLen(V_BSTR(v.get())));
    return S_OK;
}

HRESULT DispatchCall::ReturnLong(LONG value) const {
    if (!result_) return S_OK;
    VariantClear(result_);
    V_VT(result_) = VT_I4;
    V_I4(result_) = value;
    return S_OK;
}

HRESULT DispatchCall::ReturnBool(bool value) const {
    if (!result_) return S_OK;
    VariantClear(result_);
    V_VT(result_) = VT_BOOL;
    V_BOOL(result_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT DispatchCall::ReturnString(const std::wstring& value) const {
    if (!result_) return S_OK;
    VariantClear(result_);
    BSTR b = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!b) return E_OUTOFMEMORY;
    V_VT(result_) = VT_BSTR;
    V_BSTR(result_) = b;
    return S_OK;
}

HRESULT DispatchCall::ReturnObject(IDispatch* value) const {
    if (!result_) return S_OK;
    VariantClear(result_);
    if (value) value->AddRef();
    V_VT(result_) = VT_DISPATCH;
    V_DISPATCH(result_) = value;
    return S_OK;
}

HRESULT DispatchCall::ReturnEmpty() const {
    if (result_) VariantClear(result_);
    return S_OK;
}

}  // namespace corvane::win
