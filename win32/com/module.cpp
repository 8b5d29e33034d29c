// The core's headers name constants after Windows macros: they come first.
#include "interop/addin_state.h"
#include "support/deployment.h"

#include "com/module.h"

#include <atomic>
#include <map>
#include <memory>

#include "platform/win32_platform.h"
#include "support/critical_section.h"

namespace tarnwick::win32::module {

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// Platforms live in a module-wide table rather than in thread_local storage:
// the DLL may be unloaded while Excel's thread goes on, and thread-exit
// destructors of an unloaded module must not run.
CriticalSection g_threadsLock;
std::map<DWORD, std::unique_ptr<Win32Platform>> g_threads;

}  // namespace

HINSTANCE Instance() { return g_instance; }
void SetInstance(HINSTANCE instance) { g_instance = instance; }

void AddObject() { ++g_objects; }
void ReleaseObject() { --g_objects; }
void Lock() { ++g_locks; }
void Unlock() { --g_locks; }
bool CanUnload() { return g_objects == 0 && g_locks == 0; }

void StartThread() noexcept {
    try {
        const DWORD thread = ::GetCurrentThreadId();
        bool firstOnThread = false;
        {
            Locked lock(g_threadsLock);
            auto& platform = g_threads[thread];
            if (!platform) {
                platform = std::make_unique<Win32Platform>(g_instance);
                firstOnThread = true;
            }
            if (!State().platform) State().platform = platform.get();
        }
        if (firstOnThread) DeployTabControl();
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
