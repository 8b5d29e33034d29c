// Late-bound calls over IDispatch.
//
// Name lookups are cached per (object type, member name): after the first
// call a member costs one Invoke. The object type is the GUID of the type
// info the object reports through IDispatch::GetTypeInfo; an object without
// type info is identified by its vtable pointer instead. Two kinds of object
// sharing one vtable without type info would share DISPIDs, so a cached
// DISPID the object rejects with DISP_E_MEMBERNOTFOUND is looked up again
// once before the call fails.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "support/com.h"

namespace tarnwick::win32 {

// One argument of a dispatch call. Holds its own VARIANT (strings are copied
// into a BSTR, objects AddRef'd) so that a braced list of temporaries stays
// valid for the duration of the call.
class Arg {
public:
    Arg(int32_t value);
    Arg(bool value);  // VARIANT_BOOL
    Arg(double value);
    Arg(const wchar_t* value);
    Arg(const std::wstring& value);
    Arg(IDispatch* value);          // VT_DISPATCH, may be null
    Arg(VARIANT_BOOL* byRef);       // VT_BOOL | VT_BYREF, the callee may write it
    Arg(const VARIANT& value);      // copied
    // An omitted optional argument when empty.
    Arg(const std::optional<int32_t>& value);
    Arg(const std::optional<bool>& value);
    Arg(const std::optional<std::wstring>& value);

    Arg(const Arg& other);
    Arg& operator=(const Arg&) = delete;
    ~Arg();

    static Arg Missing();  // VT_ERROR / DISP_E_PARAMNOTFOUND

    const VARIANT& value() const { return v_; }

private:
    Arg();
    VARIANT v_;
};

// Calls member `name` of `object` with `flags` (DISPATCH_METHOD,
// DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, ...). Arguments are given in
// their natural order; for a property put the last one is the new value.
// Throws HostError with the failing HRESULT (or the callee's EXCEPINFO code).
Variant Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<Arg> args = {});
// The same by a known DISPID: no lookup at all.
Variant InvokeId(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Arg> args = {});

// Shorthands for the common cases.
inline Variant Get(IDispatch* object, const wchar_t* name, std::initializer_list<Arg> args = {}) {
    return Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}
inline void Put(IDispatch* object, const wchar_t* name, const Arg& value) {
    Invoke(object, name, DISPATCH_PROPERTYPUT, {value});
}
inline Variant Call(IDispatch* object, const wchar_t* name, std::initializer_list<Arg> args = {}) {
    return Invoke(object, name, DISPATCH_METHOD, args);
}

// Number of GetIDsOfNames calls made by Invoke since the last reset; the
// benchmark and tests use it to prove the cache works.
long NameLookupCount();
void ResetNameLookupCount();
// Forgets every cached DISPID (tests).
void ClearDispIdCache();

}  // namespace tarnwick::win32
