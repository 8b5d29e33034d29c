// The IDispatch plumbing shared by every object of the fake host: member
// tables, argument decoding, reference counting that tells external
// references apart, enumerators and connection points.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace fakexl {

struct Host;

// Anything whose references the host counts. Host-owned objects live until
// the host dies, so their count is purely the external references; the
// others (enumerators) delete themselves when the count drops to zero.
class Tracked {
 public:
  Tracked(Host* host, std::wstring label, bool hostOwned);
  virtual ~Tracked();
  ULONG AddRefTracked();
  ULONG ReleaseTracked();
  long refs() const { return refs_; }
  // The host is going away while a client still holds this object: leave it
  // alive, answering nothing, until the client lets go.
  void Orphan() {
    host_ = nullptr;
    hostOwned_ = false;
  }
  bool orphaned() const { return host_ == nullptr; }
  const std::wstring& label() const { return label_; }
  // How reference reports name the object; controls add their caption.
  virtual std::wstring Describe() const { return label_; }
  void set_label(std::wstring label) { label_ = std::move(label); }

 protected:
  Host* host_;

 private:
  std::wstring label_;
  bool hostOwned_;
  long refs_ = 0;
};

struct Member {
  const wchar_t* name;
  DISPID id;
  bool writable;                      // accepts DISPATCH_PROPERTYPUT
  std::vector<const wchar_t*> params; // for named arguments and the count check
};

// One decoded Invoke. Positional arguments come reversed in DISPPARAMS;
// Arg(i) hides that and the named ones.
class Request {
 public:
  Request(const Member& m, DISPPARAMS* params, WORD flags, VARIANT* result, EXCEPINFO* ei);
  HRESULT Validate(std::wstring* problem) const;

  bool put() const { return put_; }
  bool Missing(size_t i) const;
  HRESULT Long(size_t i, long* out) const;
  HRESULT Bool(size_t i, bool* out) const;
  HRESULT String(size_t i, std::wstring* out) const;
  bool IsString(size_t i) const;
  long LongOr(size_t i, long fallback, HRESULT* hr) const;
  HRESULT PutLong(long* out) const;
  HRESULT PutBool(bool* out) const;
  HRESULT PutString(std::wstring* out) const;

  HRESULT ReturnLong(long v);
  HRESULT ReturnBool(bool v);
  HRESULT ReturnString(const std::wstring& v);
  HRESULT ReturnObject(IDispatch* d);  // AddRef'd; null gives Nothing
  HRESULT ReturnUnknown(IUnknown* u);  // for _NewEnum
  // An Excel/Office run-time error: DISP_E_EXCEPTION with EXCEPINFO.
  HRESULT Error(HRESULT scode, const wchar_t* description);

  const Member& member;

 private:
  VARIANT* Slot(size_t i) const;
  DISPPARAMS* params_;
  VARIANT* result_;
  EXCEPINFO* ei_;
  bool put_;
  VARIANT* putValue_ = nullptr;
  std::vector<VARIANT*> slots_;
  bool badNamed_ = false;
};

class DispObject : public IDispatch, public Tracked {
 public:
  DispObject(Host* host, const wchar_t* typeName, std::wstring label);

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefTracked(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseTracked(); }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* ei, UINT* argErr) override;

  const wchar_t* typeName() const { return typeName_; }
  // A closed workbook, a deleted bar or control: every call fails.
  bool zombie = false;

 protected:
  virtual const std::vector<Member>& Members() const = 0;
  virtual HRESULT Call(Request& r) = 0;
  virtual void* ExtraInterface(REFIID) { return nullptr; }

 private:
  const Member* Find(DISPID id) const;
  const wchar_t* typeName_;
};

class Enumerator : public IEnumVARIANT, public Tracked {
 public:
  Enumerator(Host* host, std::wstring label, std::vector<IDispatch*> items, size_t pos = 0);
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefTracked(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseTracked(); }
  STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumVARIANT** out) override;

 private:
  std::vector<IDispatch*> items_;  // host-owned; stay alive as long as the host
  size_t pos_;
};

// One outgoing interface. Sinks are asked for the DIID itself, as Office
// does; a sink that does not answer it cannot connect.
class ConnectionPoint : public IConnectionPoint, public Tracked {
 public:
  ConnectionPoint(Host* host, std::wstring label, REFIID iid, IConnectionPointContainer* owner);
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefTracked(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseTracked(); }
  STDMETHODIMP GetConnectionInterface(IID* out) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

  // Calls every sink; returns how many were called. Failures are recorded.
  int Raise(DISPID id, VARIANT* argsReversed, UINT count, const std::wstring& what);
  size_t sinks() const { return sinks_.size(); }
  IDispatch* firstSink() const { return sinks_.empty() ? nullptr : sinks_.front().sink; }

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* sink;
  };
  IID iid_;
  IConnectionPointContainer* owner_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

bool SameText(const std::wstring& a, const std::wstring& b);  // case-insensitive

}  // namespace fakexl
