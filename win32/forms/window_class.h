// Registration of the forms' window classes.
#pragma once

#include <windows.h>

#include "support/com.h"

namespace tarnwick::win32 {

// Registers `name` for `module`. A class left behind by an earlier load of
// the DLL at another address would point at a stale procedure, so one with
// a different procedure is replaced.
inline void RegisterWindowClass(HINSTANCE module, const wchar_t* name, WNDPROC proc, HICON icon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(module, name, &existing)) {
        if (existing.lpfnWndProc == proc) return;
        ::UnregisterClassW(name, module);
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = module;
    wc.hIcon = icon;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) ThrowLastError();
}

}  // namespace tarnwick::win32
