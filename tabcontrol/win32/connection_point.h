// The control's one connection point, for the source dispinterface
// _DTabControlEvents. It lives inside the control and shares its reference
// count, so a sink's reference to the point keeps the control alive and the
// control needs no reference to itself.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "com_support.h"

namespace corvane::win {

class EventConnectionPoint final : public IConnectionPoint {
public:
    EventConnectionPoint(IConnectionPointContainer& container, REFIID eventsIid)
        : container_(container), iid_(eventsIid) {}
    EventConnectionPoint(const EventConnectionPoint&) = delete;
    EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;

    // IUnknown: lifetime is the container's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return container_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return container_.Release(); }

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

    // The sinks connected now. Firing walks a copy: a handler may unadvise.
    std::vector<ComPtr<IDispatch>> Sinks() const;
    void DisconnectAll() { connections_.clear(); }

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };
    IConnectionPointContainer& container_;
    IID iid_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

// IEnumConnectionPoints over the single point.
HRESULT CreateSinglePointEnumerator(IConnectionPoint* point, IEnumConnectionPoints** out);

}  // namespace corvane::win
