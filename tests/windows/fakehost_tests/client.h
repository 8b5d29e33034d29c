// A late-bound client, as the add-in talks to Excel: GetIDsOfNames then
// Invoke, arguments reversed into DISPPARAMS, and event sinks that record.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace client {

template <class T>
class Ptr {
 public:
  Ptr() = default;
  explicit Ptr(T* adopted) : p_(adopted) {}
  Ptr(const Ptr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ptr& operator=(Ptr o) {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ptr() { reset(); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() {
    reset();
    return &p_;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

using Disp = Ptr<IDispatch>;

// An argument; Missing() is how VB passes an omitted optional argument.
struct Arg {
  VARIANT v;
  Arg(long x) { VariantInit(&v); V_VT(&v) = VT_I4; V_I4(&v) = x; }
  Arg(int x) : Arg(static_cast<long>(x)) {}
  Arg(const wchar_t* s) { VariantInit(&v); V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(s); }
  Arg(const std::wstring& s) : Arg(s.c_str()) {}
  static Arg Bool(bool b) { Arg a(0L); V_VT(&a.v) = VT_BOOL; V_BOOL(&a.v) = b ? VARIANT_TRUE : VARIANT_FALSE; return a; }
  static Arg I2(short s) { Arg a(0L); V_VT(&a.v) = VT_I2; V_I2(&a.v) = s; return a; }
  static Arg Missing() { Arg a(0L); V_VT(&a.v) = VT_ERROR; V_ERROR(&a.v) = DISP_E_PARAMNOTFOUND; return a; }
  static Arg Ref(VARIANT* target) { Arg a(0L); V_VT(&a.v) = VT_VARIANT | VT_BYREF; V_VARIANTREF(&a.v) = target; return a; }
  Arg(const Arg& o) { VariantInit(&v); VariantCopy(&v, const_cast<VARIANT*>(&o.v)); }
  ~Arg() { VariantClear(&v); }
};

DISPID IdOf(IDispatch* obj, const wchar_t* name, HRESULT* hr = nullptr);
HRESULT InvokeId(IDispatch* obj, DISPID id, WORD flags, const std::vector<Arg>& args, VARIANT* result,
                 EXCEPINFO* ei = nullptr);
HRESULT Invoke(IDispatch* obj, const wchar_t* name, WORD flags, const std::vector<Arg>& args, VARIANT* result,
               EXCEPINFO* ei = nullptr);

// Property gets / method calls that a test expects to succeed.
Disp Obj(IDispatch* obj, const wchar_t* name, const std::vector<Arg>& args = {});
std::wstring Str(IDispatch* obj, const wchar_t* name);
long Long(IDispatch* obj, const wchar_t* name);
bool Bool(IDispatch* obj, const wchar_t* name);
HRESULT Put(IDispatch* obj, const wchar_t* name, const Arg& value);
HRESULT Call(IDispatch* obj, const wchar_t* name, const std::vector<Arg>& args = {});
std::vector<Disp> Enumerate(IDispatch* collection);

// Records every call as "<dispid>:<Name of the first object argument>".
class Sink : public IDispatch {
 public:
  explicit Sink(const IID& iid) : iid_(iid) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

  HRESULT Connect(IDispatch* source);
  HRESULT Disconnect();

  std::vector<std::wstring> calls;
  std::vector<IDispatch*> objects;  // first object argument of each call, not AddRef'd
  bool setByRefFlag = false;        // set Cancel / CancelDefault to True
  HRESULT answer = S_OK;
  std::function<void()> onCall;
  ULONG refs = 0;

 private:
  IID iid_;
  Ptr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace client
