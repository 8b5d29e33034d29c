#include "support/dispatch.h"

#include <atomic>
#include <map>
#include <utility>
#include <vector>

#include "support/critical_section.h"

namespace tarnwick::win32 {

Arg::Arg() { ::VariantInit(&v_); }

Arg::Arg(int32_t value) : Arg() {
    v_.vt = VT_I4;
    v_.lVal = value;
}

Arg::Arg(bool value) : Arg() {
    v_.vt = VT_BOOL;
    v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Arg::Arg(double value) : Arg() {
    v_.vt = VT_R8;
    v_.dblVal = value;
}

Arg::Arg(const wchar_t* value) : Arg() {
    v_.bstrVal = Bstr(value ? value : L"").Detach();
    v_.vt = VT_BSTR;
}

Arg::Arg(const std::wstring& value) : Arg() {
    v_.bstrVal = Bstr(value).Detach();
    v_.vt = VT_BSTR;
}

Arg::Arg(IDispatch* value) : Arg() {
    if (value) value->AddRef();
    v_.vt = VT_DISPATCH;
    v_.pdispVal = value;
}

Arg::Arg(VARIANT_BOOL* byRef) : Arg() {
    v_.vt = VT_BOOL | VT_BYREF;
    v_.pboolVal = byRef;
}

Arg::Arg(const VARIANT& value) : Arg() { CheckHr(::VariantCopy(&v_, const_cast<VARIANT*>(&value))); }

Arg::Arg(const std::optional<int32_t>& value) : Arg(value ? Arg(*value) : Missing()) {}
Arg::Arg(const std::optional<bool>& value) : Arg(value ? Arg(*value) : Missing()) {}
Arg::Arg(const std::optional<std::wstring>& value) : Arg(value ? Arg(*value) : Missing()) {}

Arg::Arg(const Arg& other) : Arg() {
    // VariantCopy would not copy a by-ref pointer target, which is what we want:
    // both copies point at the caller's flag.
    CheckHr(::VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)));
}

Arg::~Arg() { ::VariantClear(&v_); }

Arg Arg::Missing() {
    Arg a;
    a.v_.vt = VT_ERROR;
    a.v_.scode = DISP_E_PARAMNOTFOUND;
    return a;
}

namespace {

std::atomic<long> g_nameLookups{0};

// The identity of an object's type for the DISPID cache: the GUID of its
// type info when it has one, otherwise its vtable pointer.
struct TypeKey {
    GUID guid{};
    const void* vtable = nullptr;
    bool operator<(const TypeKey& o) const {
        if (int c = memcmp(&guid, &o.guid, sizeof guid)) return c < 0;
        return vtable < o.vtable;
    }
};

TypeKey KeyOf(IDispatch* object) {
    TypeKey key;
    UINT count = 0;
    if (SUCCEEDED(object->GetTypeInfoCount(&count)) && count > 0) {
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) && info) {
            TYPEATTR* attr = nullptr;
            if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr) {
                key.guid = attr->guid;
                info->ReleaseTypeAttr(attr);
                if (key.guid != GUID_NULL) return key;
            }
        }
    }
    key.vtable = *reinterpret_cast<void* const*>(object);
    return key;
}

CriticalSection g_cacheLock;
std::map<std::pair<TypeKey, std::wstring>, DISPID> g_cache;

DISPID LookUp(IDispatch* object, const wchar_t* name) {
    ++g_nameLookups;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    CheckHr(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

// A callee that failed with DISP_E_EXCEPTION reports its own code in EXCEPINFO.
HRESULT ErrorOf(HRESULT hr, EXCEPINFO& info) {
    if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    HRESULT code = hr;
    if (hr == DISP_E_EXCEPTION) {
        if (FAILED(info.scode)) code = info.scode;
        else if (info.wCode) code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    }
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
    return code;
}

HRESULT RawInvoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Arg> args, Variant& result,
                  EXCEPINFO& info) {
    // IDispatch::Invoke takes its arguments in reverse order: rgvarg[0] is
    // the LAST argument. VARIANTs are copied shallowly; the Args own them.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) reversed.push_back(it->value());

    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    // A property put names its value argument (rgvarg[0]) DISPID_PROPERTYPUT.
    DISPID putId = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }
    UINT badArg = 0;
    bool wantsResult = !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF));
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, wantsResult ? result.put() : nullptr,
                          &info, &badArg);
}

}  // namespace

Variant InvokeId(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Arg> args) {
    if (!object) ThrowHr(static_cast<HRESULT>(hr::OBJECT_REQUIRED_));
    Variant result;
    EXCEPINFO info{};
    HRESULT hr = RawInvoke(object, id, flags, args, result, info);
    if (FAILED(hr)) ThrowHr(ErrorOf(hr, info));
    return result;
}

Variant Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<Arg> args) {
    if (!object) ThrowHr(static_cast<HRESULT>(hr::OBJECT_REQUIRED_));
    auto key = std::make_pair(KeyOf(object), std::wstring(name));
    std::optional<DISPID> cached;
    {
        Locked lock(g_cacheLock);
        if (auto it = g_cache.find(key); it != g_cache.end()) cached = it->second;
    }
    DISPID id = cached ? *cached : LookUp(object, name);

    Variant result;
    EXCEPINFO info{};
    HRESULT hr = RawInvoke(object, id, flags, args, result, info);
    if (hr == DISP_E_MEMBERNOTFOUND && cached) {
        // A vtable shared by different types can hand us another type's DISPID.
        ErrorOf(hr, info);
        DISPID fresh = LookUp(object, name);
        if (fresh != id) {
            id = fresh;
            hr = RawInvoke(object, id, flags, args, result, info);
        }
    }
    if (FAILED(hr)) ThrowHr(ErrorOf(hr, info));
    {
        Locked lock(g_cacheLock);
        g_cache[key] = id;
    }
    return result;
}

long NameLookupCount() { return g_nameLookups.load(); }
void ResetNameLookupCount() { g_nameLookups = 0; }

void ClearDispIdCache() {
    Locked lock(g_cacheLock);
    g_cache.clear();
}

}  // namespace tarnwick::win32
