#include "com/class_factory.h"

#include <atomic>
#include <iterator>

#include "com/addin_object.h"
#include "com/module.h"

namespace tarnwick::win32 {

namespace {

const ClassEntry kClasses[] = {
    {&CLSID_ZereZovaveAddin, &CreateZereZovaveAddin},
};

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) { module::AddObject(); }
    ~ClassFactory() { module::ReleaseObject(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            return create_(iid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) module::Lock();
        else module::Unlock();
        return S_OK;
    }

private:
    CreateInstanceFn create_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : kClasses) {
        if (clsid != *entry.clsid) continue;
        try {
            auto* factory = new ClassFactory(entry.create);
            HRESULT hr = factory->QueryInterface(iid, out);
            factory->Release();
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace tarnwick::win32
