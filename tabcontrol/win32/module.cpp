// Entry points of Corvane.ocx: the class object table, one generic class
// factory, and the module count behind DllCanUnloadNow.
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <new>

#include "com_support.h"
#include "guids.h"
#include "module.h"
#include "tab_control.h"
#include "tab_view.h"

namespace corvane::win {
namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_locks{0};

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

constexpr ClassEntry kClasses[] = {
    {&kClsidTabControl, &TabControl::CreateInstance},
};

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) return HandOut(this, ppv);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        try {
            return create_(outer, riid, ppv);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ModuleLock();
        } else {
            ModuleUnlock();
        }
        return S_OK;
    }

private:
    CreateFunction create_;
};

}  // namespace

void ModuleLock() {
    ++g_locks;
}
void ModuleUnlock() {
    --g_locks;
}
bool ModuleInUse() {
    return g_locks.load() != 0;
}
HINSTANCE ModuleInstance() {
    return g_instance;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace corvane::win

using namespace corvane::win;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            g_instance = instance;
            DisableThreadLibraryCalls(instance);
            RegisterTabViewClass();
            break;
        case DLL_PROCESS_DETACH:
            // A DLL's window classes outlive it unless it unregisters them; a
            // later load at another address would find a stale window procedure.
            // At process exit (reserved != null) there is nothing left to protect.
            if (!reserved) UnregisterTabViewClass();
            break;
        default:
            break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& entry : kClasses) {
        if (rclsid != *entry.clsid) continue;
        auto* factory = new (std::nothrow) ClassFactory(entry.create);
        if (!factory) return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    try {
        return RegisterServer();
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return UnregisterServer();
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
