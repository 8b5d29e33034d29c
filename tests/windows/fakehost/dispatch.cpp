#include "dispatch.h"

#include "host.h"

#include <olectl.h>

#include <algorithm>

namespace fakexl {

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

// ---------------------------------------------------------------- Tracked

Tracked::Tracked(Host* host, std::wstring label, bool hostOwned)
    : host_(host), label_(std::move(label)), hostOwned_(hostOwned) {
  host_->live.push_back(this);
}

Tracked::~Tracked() {
  if (!host_) return;
  auto& live = host_->live;
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

ULONG Tracked::AddRefTracked() { return static_cast<ULONG>(++refs_); }

ULONG Tracked::ReleaseTracked() {
  if (refs_ <= 0) {
    // A client releasing what it never got: the real object would be freed
    // under the host's feet.
    if (host_) host_->Unexpected(L"over-release of " + label_);
    return 0;
  }
  long left = --refs_;
  if (left == 0 && !hostOwned_) delete this;
  return static_cast<ULONG>(left);
}

namespace {
// Puts and methods of Excel's own objects; Office's command bars still work.
bool RefusedWhileEditing(const wchar_t* typeName, const Member& m, bool put) {
  static const wchar_t* const kExcelTypes[] = {L"Application", L"Workbooks", L"Workbook", L"Windows", L"Window"};
  bool excel = false;
  for (const wchar_t* t : kExcelTypes) excel = excel || wcscmp(t, typeName) == 0;
  return excel && (put || wcscmp(m.name, L"Activate") == 0);
}

// Methods that change Excel or Office, recorded while a modal prompt runs.
bool ActsOnExcel(const Member& m) {
  static const wchar_t* const kActions[] = {L"Activate", L"Execute", L"Delete", L"Add", L"ShowPopup"};
  for (const wchar_t* a : kActions) {
    if (wcscmp(a, m.name) == 0) return true;
  }
  return false;
}
}  // namespace

// ---------------------------------------------------------------- Request

Request::Request(const Member& m, DISPPARAMS* params, WORD flags, VARIANT* result, EXCEPINFO* ei)
    : member(m), params_(params), result_(result), ei_(ei),
      put_((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
  slots_.assign(m.params.size(), nullptr);
  if (!params) return;
  UINT named = params->cNamedArgs;
  UINT positional = params->cArgs - named;
  for (UINT k = 0; k < named; ++k) {
    DISPID id = params->rgdispidNamedArgs[k];
    if (id == DISPID_PROPERTYPUT) {
      putValue_ = &params->rgvarg[k];
    } else if (id >= 0 && static_cast<size_t>(id) < slots_.size()) {
      slots_[id] = &params->rgvarg[k];
    } else {
      badNamed_ = true;
    }
  }
  // Positional arguments arrive last first.
  for (UINT i = 0; i < positional; ++i) {
    VARIANT* v = &params->rgvarg[params->cArgs - 1 - i];
    if (put_ && !putValue_ && i == positional - 1) {
      putValue_ = v;  // a put without the named DISPID_PROPERTYPUT
    } else if (i < slots_.size()) {
      if (slots_[i]) badNamed_ = true;
      slots_[i] = v;
    } else {
      badNamed_ = true;
    }
  }
}

HRESULT Request::Validate(std::wstring* problem) const {
  if (badNamed_) {
    *problem = L"too many or unknown arguments";
    return DISP_E_BADPARAMCOUNT;
  }
  if (put_ && !member.writable) {
    *problem = L"put on a read-only member";
    return DISP_E_MEMBERNOTFOUND;
  }
  if (put_ && !putValue_) {
    *problem = L"put without a value";
    return DISP_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

VARIANT* Request::Slot(size_t i) const {
  if (i >= slots_.size() || !slots_[i]) return nullptr;
  VARIANT* v = slots_[i];
  while (V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
  return v;
}

bool Request::Missing(size_t i) const {
  VARIANT* v = Slot(i);
  if (!v) return true;
  if (V_VT(v) == VT_ERROR) return V_ERROR(v) == DISP_E_PARAMNOTFOUND;
  if (V_VT(v) == (VT_ERROR | VT_BYREF)) return *V_ERRORREF(v) == DISP_E_PARAMNOTFOUND;
  return false;
}

namespace {
HRESULT Coerce(const VARIANT* in, VARTYPE vt, VARIANT* out) {
  VARIANT direct;
  VariantInit(&direct);
  HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(in));
  if (FAILED(hr)) return hr;
  VariantInit(out);
  hr = VariantChangeType(out, &direct, 0, vt);
  VariantClear(&direct);
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT ToLong(const VARIANT* v, long* out) {
  VARIANT c;
  HRESULT hr = Coerce(v, VT_I4, &c);
  if (SUCCEEDED(hr)) *out = V_I4(&c);
  return hr;
}

HRESULT ToBool(const VARIANT* v, bool* out) {
  VARIANT c;
  HRESULT hr = Coerce(v, VT_BOOL, &c);
  if (SUCCEEDED(hr)) *out = V_BOOL(&c) != VARIANT_FALSE;
  return hr;
}

HRESULT ToString(const VARIANT* v, std::wstring* out) {
  VARIANT c;
  HRESULT hr = Coerce(v, VT_BSTR, &c);
  if (FAILED(hr)) return hr;
  *out = V_BSTR(&c) ? std::wstring(V_BSTR(&c), SysStringLen(V_BSTR(&c))) : std::wstring();
  VariantClear(&c);
  return S_OK;
}
}  // namespace

HRESULT Request::Long(size_t i, long* out) const {
  if (Missing(i)) return DISP_E_PARAMNOTOPTIONAL;
  return ToLong(Slot(i), out);
}

HRESULT Request::Bool(size_t i, bool* out) const {
  if (Missing(i)) return DISP_E_PARAMNOTOPTIONAL;
  return ToBool(Slot(i), out);
}

HRESULT Request::String(size_t i, std::wstring* out) const {
  if (Missing(i)) return DISP_E_PARAMNOTOPTIONAL;
  return ToString(Slot(i), out);
}

bool Request::IsString(size_t i) const {
  VARIANT* v = Slot(i);
  if (!v || Missing(i)) return false;
  return (V_VT(v) & ~VT_BYREF) == VT_BSTR;
}

long Request::LongOr(size_t i, long fallback, HRESULT* hr) const {
  if (Missing(i)) return fallback;
  long v = fallback;
  HRESULT r = ToLong(Slot(i), &v);
  if (FAILED(r)) *hr = r;
  return v;
}

HRESULT Request::PutLong(long* out) const { return ToLong(putValue_, out); }
HRESULT Request::PutBool(bool* out) const { return ToBool(putValue_, out); }
HRESULT Request::PutString(std::wstring* out) const { return ToString(putValue_, out); }

HRESULT Request::ReturnLong(long v) {
  if (result_) {
    V_VT(result_) = VT_I4;
    V_I4(result_) = v;
  }
  return S_OK;
}

HRESULT Request::ReturnBool(bool v) {
  if (result_) {
    V_VT(result_) = VT_BOOL;
    V_BOOL(result_) = v ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return S_OK;
}

HRESULT Request::ReturnString(const std::wstring& v) {
  if (result_) {
    V_VT(result_) = VT_BSTR;
    V_BSTR(result_) = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
  }
  return S_OK;
}

HRESULT Request::ReturnObject(IDispatch* d) {
  if (result_) {
    V_VT(result_) = VT_DISPATCH;
    V_DISPATCH(result_) = d;
    if (d) d->AddRef();
  }
  return S_OK;
}

HRESULT Request::ReturnUnknown(IUnknown* u) {
  if (result_) {
    V_VT(result_) = VT_UNKNOWN;
    V_UNKNOWN(result_) = u;
    if (u) u->AddRef();
  }
  return S_OK;
}

HRESULT Request::Error(HRESULT scode, const wchar_t* description) {
  if (ei_) {
    ZeroMemory(ei_, sizeof(*ei_));
    ei_->bstrSource = SysAllocString(L"Microsoft Excel");
    ei_->bstrDescription = SysAllocString(description);
    ei_->scode = scode;
  }
  return DISP_E_EXCEPTION;
}

// ---------------------------------------------------------------- DispObject

DispObject::DispObject(Host* host, const wchar_t* typeName, std::wstring label)
    : Tracked(host, std::move(label), true), typeName_(typeName) {}

STDMETHODIMP DispObject::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (void* extra = ExtraInterface(riid)) {
    *out = extra;
  } else {
    return E_NOINTERFACE;
  }
  AddRefTracked();
  return S_OK;
}

STDMETHODIMP DispObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP DispObject::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP DispObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (orphaned()) return RPC_E_DISCONNECTED;
  ++host_->idsOfNames;
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* found = nullptr;
  for (const Member& m : Members()) {
    if (SameText(m.name, names[0])) {
      found = &m;
      break;
    }
  }
  if (!found) {
    host_->Unexpected(std::wstring(typeName_) + L": unknown member name " + names[0]);
    return DISP_E_UNKNOWNNAME;
  }
  ids[0] = found->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    for (size_t p = 0; p < found->params.size(); ++p) {
      if (SameText(found->params[p], names[i])) ids[i] = static_cast<DISPID>(p);
    }
    if (ids[i] == DISPID_UNKNOWN) {
      host_->Unexpected(std::wstring(typeName_) + L"." + found->name + L": unknown argument name " + names[i]);
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

const Member* DispObject::Find(DISPID id) const {
  for (const Member& m : Members()) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

STDMETHODIMP DispObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* ei, UINT* argErr) {
  try {
    if (argErr) *argErr = 0;
    if (result) VariantInit(result);
    if (orphaned()) return RPC_E_DISCONNECTED;
    ++host_->invokes;
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const Member* m = Find(id);
    if (!m) {
      host_->Unexpected(std::wstring(typeName_) + L": unknown DISPID " + std::to_wstring(id));
      return DISP_E_MEMBERNOTFOUND;
    }
    // Counted without building strings: the add-in's idle tick is measured
    // through this path.
    ++host_->memberCalls[{typeName_, m}];
    auto fullName = [&] {
      // Item reached as the default member is still Item for faults and counts.
      return std::wstring(typeName_) + L"." + (id == DISPID_VALUE ? L"Item" : m->name);
    };
    Request r(*m, params, flags, result, ei);
    std::wstring problem;
    HRESULT hr = r.Validate(&problem);
    if (FAILED(hr)) {
      host_->Unexpected(fullName() + L": " + problem);
      return hr;
    }
    if (host_->currentModal && (r.put() || ActsOnExcel(*m))) {
      host_->currentModal->calls.push_back((r.put() ? L"put " : L"") + fullName());
    }
    if (zombie) return r.Error(0x800A01A8, L"Object required");
    if (host_->opt.editModeRefusal && RefusedWhileEditing(typeName_, *m, r.put()) && host_->Editing()) {
      return r.Error(0x800A03EC, L"Excel is editing a cell");
    }
    if (host_->failNext > 0 || !host_->failures.empty()) {
      if (host_->ShouldFail(fullName(), &hr)) {
        return hr == DISP_E_EXCEPTION ? r.Error(E_FAIL, L"Injected failure") : hr;
      }
    }
    VARIANT scratch;
    VariantInit(&scratch);
    if (!result) {
      Request rr(*m, params, flags, &scratch, ei);
      hr = Call(rr);
      VariantClear(&scratch);
    } else {
      hr = Call(r);
    }
    return hr;
  } catch (...) {
    host_->Unexpected(std::wstring(typeName_) + L": exception inside Invoke");
    return E_UNEXPECTED;
  }
}

// ---------------------------------------------------------------- Enumerator

Enumerator::Enumerator(Host* host, std::wstring label, std::vector<IDispatch*> items, size_t pos)
    : Tracked(host, std::move(label), false), items_(std::move(items)), pos_(pos) {}

STDMETHODIMP Enumerator::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid != IID_IUnknown && riid != IID_IEnumVARIANT) return E_NOINTERFACE;
  *out = static_cast<IEnumVARIANT*>(this);
  AddRefTracked();
  return S_OK;
}

STDMETHODIMP Enumerator::Next(ULONG count, VARIANT* out, ULONG* fetched) {
  if (!out) return E_POINTER;
  ULONG n = 0;
  for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
    VariantInit(&out[n]);
    V_VT(&out[n]) = VT_DISPATCH;
    V_DISPATCH(&out[n]) = items_[pos_];
    items_[pos_]->AddRef();
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP Enumerator::Skip(ULONG count) {
  pos_ = std::min<size_t>(items_.size(), pos_ + count);
  return pos_ < items_.size() ? S_OK : S_FALSE;
}

STDMETHODIMP Enumerator::Reset() {
  pos_ = 0;
  return S_OK;
}

STDMETHODIMP Enumerator::Clone(IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (orphaned()) return RPC_E_DISCONNECTED;
  auto* e = new Enumerator(host_, label(), items_, pos_);
  e->AddRefTracked();
  *out = e;
  return S_OK;
}

// ---------------------------------------------------------------- ConnectionPoint

ConnectionPoint::ConnectionPoint(Host* host, std::wstring label, REFIID iid, IConnectionPointContainer* owner)
    : Tracked(host, std::move(label), true), iid_(iid), owner_(owner) {}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRefTracked();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* out) {
  if (!out) return E_POINTER;
  *out = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (orphaned()) return RPC_E_DISCONNECTED;  // the container may be gone
  *out = owner_;
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie) *cookie = 0;
  if (!sink || !cookie) return E_POINTER;
  if (orphaned()) return RPC_E_DISCONNECTED;
  void* p = nullptr;
  if (FAILED(sink->QueryInterface(iid_, &p)) || !p) {
    host_->Unexpected(L"Advise on " + label() + L": the sink does not answer the event interface");
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.push_back({*cookie, static_cast<IDispatch*>(p)});
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == cookie) {
      IDispatch* s = it->sink;
      sinks_.erase(it);
      s->Release();
      return S_OK;
    }
  }
  if (host_) host_->Unexpected(L"Unadvise on " + label() + L" with an unknown cookie");
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  if (host_) host_->Unexpected(L"EnumConnections on " + label());
  return E_NOTIMPL;
}

int ConnectionPoint::Raise(DISPID id, VARIANT* argsReversed, UINT count, const std::wstring& what) {
  // A sink may unadvise while it is being called: work on a snapshot.
  std::vector<Sink> snapshot = sinks_;
  for (Sink& s : snapshot) s.sink->AddRef();
  int called = 0;
  for (Sink& s : snapshot) {
    DISPPARAMS dp = {argsReversed, nullptr, count, 0};
    HRESULT hr = s.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
    ++called;
    if (FAILED(hr)) {
      // Excel ignores a failing sink; tests can see it.
      wchar_t buf[16];
      wsprintfW(buf, L"%08lX", static_cast<unsigned long>(hr));
      host_->sinkFailures.push_back(what + L" -> 0x" + buf);
    }
  }
  for (Sink& s : snapshot) s.sink->Release();
  return called;
}

}  // namespace fakexl
