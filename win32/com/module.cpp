// The core's headers name constants after Windows macros: they come first.
#include "interop/addin_state.h"
#include "support/deployment.h"

#include "com/module.h"

#include <atomic>
#include <map>
#include <memory>

#include "platform/win32_platform.h"
#include "support/critical_section.h"
#include "support/object_count.h"

namespace tarnwick::win32::module {

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_locks{0};

// Platforms live in a module-wide table rather than in thread_local storage:
// the DLL may be unloaded while Excel's thread goes on, and thread-exit
// destructors of an unloaded module must not run.
CriticalSection g_threadsLock;
struct ThreadRecord {
    std::unique_ptr<Win32Platform> platform;
    bool deployed = false;
};
std::map<DWORD, ThreadRecord> g_threads;

// This thread's platform, made current; true the first time `deploy` asks.
bool AttachPlatform(bool deploy) {
    Locked lock(g_threadsLock);
    ThreadRecord& record = g_threads[::GetCurrentThreadId()];
    if (!record.platform) record.platform = std::make_unique<Win32Platform>(g_instance);
    if (!State().platform) State().platform = record.platform.get();
    if (!deploy || record.deployed) return false;
    record.deployed = true;
    return true;
}

}  // namespace

HINSTANCE Instance() { return g_instance; }
void SetInstance(HINSTANCE instance) { g_instance = instance; }

void AddObject() { win32::AddObject(); }
void ReleaseObject() { win32::ReleaseObject(); }
void Lock() { ++g_locks; }
void Unlock() { --g_locks; }
bool CanUnload() { return win32::LiveObjects() == 0 && g_locks == 0; }

void StartThread() noexcept {
    try {
        if (AttachPlatform(true)) DeployTabControl();
    } catch (...) {
    }
}

void RemoveDeployedControl() noexcept {
    try {
        AttachPlatform(false);
        RemoveDeployedTabControl();
    } catch (...) {
    }
}

void Shutdown() noexcept {
    try {
        Locked lock(g_threadsLock);
        g_threads.clear();
    } catch (...) {
    }
}

}  // namespace tarnwick::win32::module
