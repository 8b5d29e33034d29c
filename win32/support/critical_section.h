// A Win32 critical section and its scope guard. The toolchain's runtime has
// no std::mutex (see cmake/mingw-i686.cmake).
#pragma once

#include <windows.h>

namespace tarnwick::win32 {

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() noexcept { ::EnterCriticalSection(&section_); }
    void unlock() noexcept { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Locked {
public:
    explicit Locked(CriticalSection& section) noexcept : section_(section) { section_.lock(); }
    ~Locked() { section_.unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace tarnwick::win32
