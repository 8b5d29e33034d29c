#include "client.h"

#include <gtest/gtest.h>

namespace client {

DISPID IdOf(IDispatch* obj, const wchar_t* name, HRESULT* hr) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  HRESULT r = obj->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (hr) *hr = r;
  return id;
}

HRESULT InvokeId(IDispatch* obj, DISPID id, WORD flags, const std::vector<Arg>& args, VARIANT* result,
                 EXCEPINFO* ei) {
  // DISPPARAMS take the last argument first.
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->v);
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS dp = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    dp.rgdispidNamedArgs = &putId;
    dp.cNamedArgs = 1;
  }
  UINT argErr = 0;
  return obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, ei, &argErr);
}

HRESULT Invoke(IDispatch* obj, const wchar_t* name, WORD flags, const std::vector<Arg>& args, VARIANT* result,
               EXCEPINFO* ei) {
  HRESULT hr = S_OK;
  DISPID id = IdOf(obj, name, &hr);
  if (FAILED(hr)) return hr;
  return InvokeId(obj, id, flags, args, result, ei);
}

Disp Obj(IDispatch* obj, const wchar_t* name, const std::vector<Arg>& args) {
  VARIANT r;
  VariantInit(&r);
  HRESULT hr = Invoke(obj, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, &r);
  EXPECT_EQ(S_OK, hr) << "getting " << std::string(name, name + wcslen(name));
  if (FAILED(hr) || V_VT(&r) != VT_DISPATCH) {
    VariantClear(&r);
    return Disp();
  }
  return Disp(V_DISPATCH(&r));  // adopts the reference
}

std::wstring Str(IDispatch* obj, const wchar_t* name) {
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(S_OK, Invoke(obj, name, DISPATCH_PROPERTYGET, {}, &r));
  std::wstring s = V_VT(&r) == VT_BSTR && V_BSTR(&r) ? V_BSTR(&r) : L"";
  VariantClear(&r);
  return s;
}

long Long(IDispatch* obj, const wchar_t* name) {
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(S_OK, Invoke(obj, name, DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(VT_I4, V_VT(&r));
  return V_VT(&r) == VT_I4 ? V_I4(&r) : -1;
}

bool Bool(IDispatch* obj, const wchar_t* name) {
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(S_OK, Invoke(obj, name, DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(VT_BOOL, V_VT(&r));
  return V_VT(&r) == VT_BOOL && V_BOOL(&r) != VARIANT_FALSE;
}

HRESULT Put(IDispatch* obj, const wchar_t* name, const Arg& value) {
  return Invoke(obj, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

HRESULT Call(IDispatch* obj, const wchar_t* name, const std::vector<Arg>& args) {
  VARIANT r;
  VariantInit(&r);
  HRESULT hr = Invoke(obj, name, DISPATCH_METHOD, args, &r);
  VariantClear(&r);
  return hr;
}

std::vector<Disp> Enumerate(IDispatch* collection) {
  std::vector<Disp> out;
  VARIANT r;
  VariantInit(&r);
  HRESULT hr = InvokeId(collection, DISPID_NEWENUM, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &r);
  EXPECT_EQ(S_OK, hr);
  if (FAILED(hr) || V_VT(&r) != VT_UNKNOWN) return out;
  Ptr<IEnumVARIANT> e;
  V_UNKNOWN(&r)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.out()));
  VariantClear(&r);
  VARIANT item;
  ULONG got = 0;
  while (e && e->Next(1, &item, &got) == S_OK && got == 1) {
    if (V_VT(&item) == VT_DISPATCH) {
      out.push_back(Disp(V_DISPATCH(&item)));
    } else {
      VariantClear(&item);
    }
  }
  return out;
}

STDMETHODIMP Sink::QueryInterface(REFIID riid, void** out) {
  *out = nullptr;
  if (riid != IID_IUnknown && riid != IID_IDispatch && riid != iid_) return E_NOINTERFACE;
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP Sink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  std::wstring entry = std::to_wstring(id);
  IDispatch* first = nullptr;
  for (UINT i = params->cArgs; i-- > 0;) {  // natural order
    VARIANT& v = params->rgvarg[i];
    if (V_VT(&v) == VT_DISPATCH && !first) first = V_DISPATCH(&v);
    if (V_VT(&v) == (VT_BOOL | VT_BYREF) && setByRefFlag) *V_BOOLREF(&v) = VARIANT_TRUE;
  }
  if (first) {
    VARIANT r;
    VariantInit(&r);
    LPOLESTR n = const_cast<LPOLESTR>(L"Name");
    DISPID nameId = DISPID_UNKNOWN;
    // Buttons have no Name: fall back to their Caption.
    if (FAILED(first->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &nameId))) {
      n = const_cast<LPOLESTR>(L"Caption");
      first->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &nameId);
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    first->Invoke(nameId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr);
    if (V_VT(&r) == VT_BSTR) entry += std::wstring(L":") + V_BSTR(&r);
    VariantClear(&r);
  }
  calls.push_back(entry);
  objects.push_back(first);
  if (onCall) onCall();
  return answer;
}

HRESULT Sink::Connect(IDispatch* source) {
  Ptr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.out()));
  if (FAILED(hr)) return hr;
  hr = container->FindConnectionPoint(iid_, point_.out());
  if (FAILED(hr)) return hr;
  return point_->Advise(static_cast<IDispatch*>(this), &cookie_);
}

HRESULT Sink::Disconnect() {
  if (!point_) return S_FALSE;
  HRESULT hr = point_->Unadvise(cookie_);
  point_.reset();
  return hr;
}

}  // namespace client
