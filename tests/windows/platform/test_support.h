// Small helpers shared by the platform suites.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tarnwick::win32::test {

// Pumps this thread's messages until `done` holds or `timeoutMs` passed.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

inline std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

// A window class with the given name whose windows do nothing.
inline void RegisterPlainClass(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);
}

inline HINSTANCE ThisModule() { return ::GetModuleHandleW(nullptr); }

}  // namespace tarnwick::win32::test
