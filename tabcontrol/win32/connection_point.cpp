#include "connection_point.h"

#include <algorithm>
#include <new>

namespace corvane::win {

HRESULT EventConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) return HandOut(static_cast<IConnectionPoint*>(this), ppv);
    return E_NOINTERFACE;
}

HRESULT EventConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    return HandOut(&container_, reinterpret_cast<void**>(ppCPC));
}

HRESULT EventConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (!pdwCookie) return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink) return E_POINTER;
    try {
        // A sink answers for the event interface itself, or at least as an
        // IDispatch: the events are plain Invoke calls either way.
        ComPtr<IDispatch> sink;
        if (FAILED(pUnkSink->QueryInterface(iid_, sink.put_void())) &&
            FAILED(pUnkSink->QueryInterface(IID_IDispatch, sink.put_void()))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        connections_.push_back(Connection{nextCookie_, std::move(sink)});
        *pdwCookie = nextCookie_++;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT EventConnectionPoint::Unadvise(DWORD dwCookie) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [dwCookie](const Connection& c) { return c.cookie == dwCookie; });
    if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
    // Release the sink after the entry is gone: its Release may re-enter.
    ComPtr<IDispatch> released = std::move(it->sink);
    connections_.erase(it);
    return S_OK;
}

// Permitted by the contract of IConnectionPoint; no caller of ours needs it.
HRESULT EventConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

std::vector<ComPtr<IDispatch>> EventConnectionPoint::Sinks() const {
    std::vector<ComPtr<IDispatch>> sinks;
    sinks.reserve(connections_.size());
    for (const Connection& c : connections_) sinks.push_back(c.sink);
    return sinks;
}

namespace {

class SinglePointEnumerator final : public ComObject<IEnumConnectionPoints> {
public:
    SinglePointEnumerator(IConnectionPoint* point, ULONG position) : point_(point), position_(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) return HandOut(this, ppv);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, LPCONNECTIONPOINT* ppCP, ULONG* pcFetched) override {
        if (pcFetched) *pcFetched = 0;
        if (!ppCP) return E_POINTER;
        if (cConnections != 1 && !pcFetched) return E_INVALIDARG;
        ULONG fetched = 0;
        if (cConnections > 0 && position_ == 0) {
            ppCP[0] = point_.copy();
            position_ = 1;
            fetched = 1;
        }
        if (pcFetched) *pcFetched = fetched;
        return fetched == cConnections ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) override {
        if (cConnections == 0) return S_OK;
        const bool had = position_ == 0;
        position_ = 1;
        return (had && cConnections == 1) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = new (std::nothrow) SinglePointEnumerator(point_.get(), position_);
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    ComPtr<IConnectionPoint> point_;
    ULONG position_;
};

}  // namespace

HRESULT CreateSinglePointEnumerator(IConnectionPoint* point, IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) SinglePointEnumerator(point, 0);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace corvane::win
