// The DLL's module object: its instance handle, the counts DllCanUnloadNow
// answers from, and the per-thread start-up that runs before the first
// object of the DLL is created on a thread.
#pragma once

#include <windows.h>

namespace tarnwick::win32::module {

HINSTANCE Instance();
void SetInstance(HINSTANCE instance);

// Live COM objects (class objects handed out included) and IClassFactory::LockServer locks.
void AddObject();
void ReleaseObject();
void Lock();
void Unlock();
bool CanUnload();

// Creates this thread's platform and deploys the tab control module, once
// per thread. Never throws: a failed deployment leaves the strip without
// its control, which the core copes with.
void StartThread() noexcept;

// Removes the tab control module the add-in deployed (unregistration), on
// this thread's platform, which it creates without deploying. Never throws.
void RemoveDeployedControl() noexcept;

// Drops every thread's platform (DLL unload).
void Shutdown() noexcept;

}  // namespace tarnwick::win32::module
