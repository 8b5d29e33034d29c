// Event sinks on connection points, and the handle that owns one.
//
// A sink is a small IDispatch whose Invoke switches on the DISPID and makes
// one typed call into the core; the handle returned by Connect() is the
// core's Subscription: destroying it detaches the sink from the core,
// Unadvises, and only then releases the connection point and the sink.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <memory>

#include "interop/excel.h"
#include "support/com.h"
#include "support/object_count.h"

namespace tarnwick::win32 {

// IUnknown/IDispatch plumbing of a sink; Derived supplies
// `HRESULT OnInvoke(DISPID, DISPPARAMS*, EXCEPINFO*)` and `void Detach()`.
template <class Derived>
class ConnectionSink : public IDispatch {
public:
    explicit ConnectionSink(const IID& events) : events_(events) {}
    virtual ~ConnectionSink() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excepInfo, UINT*) override {
        if (result) ::VariantInit(result);
        DISPPARAMS none{};
        return static_cast<Derived*>(this)->OnInvoke(id, params ? params : &none, excepInfo);
    }

    // Connects this sink to `source`'s connection point for its events.
    // Throws HostError when the source has no such connection point.
    static std::unique_ptr<excel::Subscription> Connect(IUnknown* source, ComPtr<Derived> sink);

private:
    IID events_;
    std::atomic<ULONG> refs_{1};
    CountedObject counted_;
};

template <class Derived>
class SinkSubscription final : public excel::Subscription {
public:
    SinkSubscription(ComPtr<IConnectionPoint> point, DWORD cookie, ComPtr<Derived> sink)
        : point_(std::move(point)), cookie_(cookie), sink_(std::move(sink)) {}
    ~SinkSubscription() override {
        // The host may still hold the sink for a while; it must not reach the
        // core any more once the core has dropped the subscription.
        sink_->Detach();
        point_->Unadvise(cookie_);
    }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_;
    ComPtr<Derived> sink_;
};

template <class Derived>
std::unique_ptr<excel::Subscription> ConnectionSink<Derived>::Connect(IUnknown* source, ComPtr<Derived> sink) {
    if (!source) throw HostError(hr::OBJECT_REQUIRED_);
    ComPtr<IConnectionPointContainer> container;
    CheckHr(source->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
    ComPtr<IConnectionPoint> point;
    CheckHr(container->FindConnectionPoint(sink->events_, point.put()));
    DWORD cookie = 0;
    CheckHr(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie));
    return std::make_unique<SinkSubscription<Derived>>(std::move(point), cookie, std::move(sink));
}

}  // namespace tarnwick::win32
