// The DLL's entry points. None lets an exception out: on i686 it could not
// unwind through the COM runtime's frames.
#include <windows.h>
#include <olectl.h>

#include "com/class_factory.h"
#include "com/module.h"
#include "com/registration.h"

using namespace tarnwick::win32;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        module::SetInstance(instance);
        ::DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other threads are gone and the
        // heap may be half torn down: leave the platforms alone then.
        if (!reserved) module::Shutdown();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    try {
        // Before the first object of the DLL is created on this thread.
        module::StartThread();
        return GetClassObject(clsid, iid, out);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return module::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterServer(module::Instance()); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    // What the add-in deployed of its own accord goes with it.
    module::RemoveDeployedControl();
    return UnregisterServer();
}
