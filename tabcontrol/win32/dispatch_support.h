// Hand-written IDispatch for the control's objects: a name table per
// dispinterface for GetIDsOfNames, and typed access to the arguments of an
// Invoke. Invoke itself switches on the DISPID and calls typed members.
//
// Failures are returned as Invoke's own HRESULTs (DISP_E_BADINDEX for an
// index out of range, DISP_E_TYPEMISMATCH with *puArgErr, ...), never as
// DISP_E_EXCEPTION, so a late-bound caller sees the cause directly.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <span>
#include <new>
#include <string>
#include <utility>

#include "com_support.h"

namespace corvane::win {

struct DispatchMember {
    const wchar_t* name;
    DISPID id;
};

// Case-insensitive, as Automation names are. Extra names (parameter names)
// are not supported: they get DISPID_UNKNOWN and the call DISP_E_UNKNOWNNAME.
HRESULT LookupDispatchNames(std::span<const DispatchMember> members, LPOLESTR* names, UINT count, DISPID* ids);

// The GetTypeInfo of a dispinterface described in the module's type library.
HRESULT ModuleTypeInfo(REFGUID guid, ITypeInfo** out);

// One Invoke call. Positional arguments are numbered in declaration order;
// DISPPARAMS stores them in reverse order (the last argument first), and a
// property put passes its value as the named argument DISPID_PROPERTYPUT.
class DispatchCall {
public:
    DispatchCall(WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr);

    bool IsGet() const { return (flags_ & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0 && !IsPut(); }
    bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    bool IsMethod() const { return (flags_ & DISPATCH_METHOD) != 0; }

    // Number of positional arguments (the put value not included).
    UINT Count() const { return positional_; }
    HRESULT ExpectCount(UINT min, UINT max) const;
    bool Present(UINT index) const;  // given and not a missing optional

    HRESULT Long(UINT index, LONG& out) const;
    HRESULT Bool(UINT index, bool& out) const;
    HRESULT String(UINT index, std::wstring& out) const;
    // The argument itself, by-reference indirections removed.
    HRESULT Raw(UINT index, VARIANT& out) const;  // out must be initialised; caller clears

    HRESULT PutLong(LONG& out) const;
    HRESULT PutBool(bool& out) const;
    HRESULT PutString(std::wstring& out) const;

    // Results; each is a no-op when the caller wants none.
    HRESULT ReturnLong(LONG value) const;
    HRESULT ReturnBool(bool value) const;
    HRESULT ReturnString(const std::wstring& value) const;
    HRESULT ReturnObject(IDispatch* value) const;  // AddRefs; null is Nothing
    HRESULT ReturnEmpty() const;

private:
    const VARIANT* Arg(UINT index) const;
    const VARIANT* PutValue() const;
    HRESULT Coerce(const VARIANT* in, VARTYPE vt, VARIANT& out, UINT argIndex) const;

    WORD flags_;
    DISPPARAMS* params_;
    VARIANT* result_;
    UINT* argErr_;
    UINT positional_ = 0;
    bool hasPutValue_ = false;
};

// Runs an Invoke body, mapping any C++ exception to an HRESULT; nothing may
// unwind into the caller's frames.
template <class Body>
HRESULT GuardedInvoke(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace corvane::win

namespace corvane::win {

// Property bodies for Invoke: a get returns get(); a put passes the value to
// set(value), which returns an HRESULT. Properties take no index arguments.
template <class Get, class Set>
HRESULT LongProperty(const DispatchCall& call, Get get, Set set) {
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
    if (!call.IsPut()) return call.ReturnLong(get());
    LONG value = 0;
    CORVANE_RETURN_IF_FAILED(call.PutLong(value));
    return set(value);
}

template <class Get, class Set>
HRESULT BoolProperty(const DispatchCall& call, Get get, Set set) {
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
    if (!call.IsPut()) return call.ReturnBool(get());
    bool value = false;
    CORVANE_RETURN_IF_FAILED(call.PutBool(value));
    return set(value);
}

template <class Get, class Set>
HRESULT StringProperty(const DispatchCall& call, Get get, Set set) {
    CORVANE_RETURN_IF_FAILED(call.ExpectCount(0, 0));
    if (!call.IsPut()) return call.ReturnString(get());
    std::wstring value;
    CORVANE_RETURN_IF_FAILED(call.PutString(value));
    return set(std::move(value));
}

// A read-only property: a put fails as Automation says it should.
inline HRESULT RefusePut(const DispatchCall& call) {
    return call.IsPut() ? DISP_E_MEMBERNOTFOUND : S_OK;
}

}  // namespace corvane::win
