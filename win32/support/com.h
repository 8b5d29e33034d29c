// Move-only owners for COM values: interface pointers, BSTRs and VARIANTs,
// plus the HRESULT -> HostError bridge and the ANSI code page conversions
// used at every "A" call. Header-only so every Windows target can use it.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string>
#include <utility>

#include "support/ports.h"

namespace tarnwick::win32 {

[[noreturn]] inline void ThrowHr(HRESULT hr) { throw HostError(static_cast<int32_t>(hr)); }

inline void CheckHr(HRESULT hr) {
    if (FAILED(hr)) ThrowHr(hr);
}

// Win32 error codes travel as HostError too (the platform port's convention).
[[noreturn]] inline void ThrowLastError() {
    DWORD error = ::GetLastError();
    throw HostError(static_cast<int32_t>(error != 0 ? error : ERROR_GEN_FAILURE));
}

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(other.Detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }

    // Takes a new reference; the caller keeps its own.
    static ComPtr CopyFrom(T* p) noexcept {
        ComPtr result;
        if (p) p->AddRef();
        result.p_ = p;
        return result;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For out-parameters: drops what is held first so nothing leaks.
    T** put() noexcept {
        Reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Takes over a reference the caller owns.
    void Attach(T* p) noexcept {
        T* old = p_;
        p_ = p;
        if (old) old->Release();
    }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Reset() noexcept { Attach(nullptr); }

    // An AddRef'd copy for handing out through an out-parameter.
    T* CopyOut() const noexcept {
        if (p_) p_->AddRef();
        return p_;
    }

    template <class U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> result;
        if (p_) CheckHr(p_->QueryInterface(iid, result.put_void()));
        return result;
    }
    template <class U>
    ComPtr<U> TryAs(REFIID iid) const noexcept {
        ComPtr<U> result;
        if (p_ && FAILED(p_->QueryInterface(iid, result.put_void()))) result.Reset();
        return result;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(const wchar_t* text) : b_(text ? ::SysAllocString(text) : nullptr) {
        if (text && !b_) ThrowHr(E_OUTOFMEMORY);
    }
    explicit Bstr(const std::wstring& text)
        : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!b_) ThrowHr(E_OUTOFMEMORY);
    }
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        Attach(nullptr);
        return &b_;
    }
    void Attach(BSTR b) noexcept {
        if (b_ != b) ::SysFreeString(b_);
        b_ = b;
    }
    BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
    // A null BSTR is the empty string; embedded NULs are kept.
    std::wstring str() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept {
        v_ = other.v_;
        ::VariantInit(&other.v_);
    }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&v_);
            v_ = other.v_;
            ::VariantInit(&other.v_);
        }
        return *this;
    }

    static Variant FromInt(int32_t value) noexcept {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = value;
        return v;
    }
    static Variant FromBool(bool value) noexcept {
        Variant v;
        v.v_.vt = VT_BOOL;
        v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant FromString(const std::wstring& value) {
        Variant v;
        v.v_.bstrVal = Bstr(value).Detach();
        v.v_.vt = VT_BSTR;
        return v;
    }
    // Takes a new reference on `value`.
    static Variant FromDispatch(IDispatch* value) noexcept {
        Variant v;
        if (value) value->AddRef();
        v.v_.vt = VT_DISPATCH;
        v.v_.pdispVal = value;
        return v;
    }
    static Variant Missing() noexcept {
        Variant v;
        v.v_.vt = VT_ERROR;
        v.v_.scode = DISP_E_PARAMNOTFOUND;
        return v;
    }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }
    VARTYPE vt() const noexcept { return v_.vt; }
    VARIANT Detach() noexcept {
        VARIANT out = v_;
        ::VariantInit(&v_);
        return out;
    }

    // Conversions as VB would coerce; a failed coercion throws HostError.
    int32_t ToInt() const { return Coerced(VT_I4).v_.lVal; }
    bool ToBool() const { return Coerced(VT_BOOL).v_.boolVal != VARIANT_FALSE; }
    double ToDouble() const { return Coerced(VT_R8).v_.dblVal; }
    std::wstring ToString() const {
        Variant s = Coerced(VT_BSTR);
        return s.v_.bstrVal ? std::wstring(s.v_.bstrVal, ::SysStringLen(s.v_.bstrVal)) : std::wstring();
    }
    // An AddRef'd IDispatch; empty for VT_EMPTY/VT_NULL/Nothing, throws
    // "object required" for values that are not objects.
    ComPtr<IDispatch> ToDispatch() const {
        const VARIANT* v = &v_;
        if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
        switch (v->vt) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_DISPATCH:
            return ComPtr<IDispatch>::CopyFrom(v->pdispVal);
        case VT_DISPATCH | VT_BYREF:
            return ComPtr<IDispatch>::CopyFrom(v->ppdispVal ? *v->ppdispVal : nullptr);
        case VT_UNKNOWN: {
            ComPtr<IDispatch> d;
            if (v->punkVal) CheckHr(v->punkVal->QueryInterface(IID_IDispatch, d.put_void()));
            return d;
        }
        default:
            throw HostError(hr::OBJECT_REQUIRED_);
        }
    }

private:
    Variant Coerced(VARTYPE type) const {
        Variant out;
        CheckHr(::VariantChangeType(&out.v_, const_cast<VARIANT*>(&v_), 0, type));
        return out;
    }

    VARIANT v_;
};

// The "A" functions speak the ANSI code page (936 on a Chinese system).
inline std::string WideToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) ThrowLastError();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) ThrowLastError();
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

}  // namespace tarnwick::win32
