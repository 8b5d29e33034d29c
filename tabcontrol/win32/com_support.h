// Small COM helpers for Corvane.ocx: a reference-counting base, a COM
// pointer, and move-only BSTR / VARIANT owners. No ATL (MinGW has none).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstddef>
#include <string>
#include <utility>

namespace corvane::win {

// Early return on a failed HRESULT; keeps COM methods flat.
#define CORVANE_RETURN_IF_FAILED(expr)               \
    do {                                             \
        const HRESULT corvane_hr_ = (expr);          \
        if (FAILED(corvane_hr_)) return corvane_hr_; \
    } while (0)

// Live objects and LockServer locks, for DllCanUnloadNow.
void ModuleLock();
void ModuleUnlock();
bool ModuleInUse();
HINSTANCE ModuleInstance();
std::wstring ModulePath();

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // An AddRef'd copy for an out-parameter.
    T* copy() const {
        if (p_) p_->AddRef();
        return p_;
    }
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.put_void());
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(b_, other.b_);
        return *this;
    }
    ~Bstr() { SysFreeString(b_); }

    BSTR get() const { return b_; }
    BSTR* put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR detach() { return std::exchange(b_, nullptr); }
    std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    // Clears first, for use as an out-parameter.
    VARIANT* put() {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

// Reference counting for the concrete classes; each one supplies its own
// QueryInterface. One AddRef/Release here serves every interface base.
template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() { ModuleLock(); }
    virtual ~ComObject() { ModuleUnlock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    ULONG refs_ = 1;  // the creator's reference
};

// Hands out an interface of obj through an out-parameter, AddRef'd.
template <class I>
HRESULT HandOut(I* obj, void** out) {
    obj->AddRef();
    *out = obj;
    return S_OK;
}

}  // namespace corvane::win
