// Plain value types shared by the ports. Handles are opaque integers; the
// core never dereferences them.
#pragma once

#include <cstdint>

namespace tarnwick {

using WindowHandle = std::uintptr_t;    // HWND
using ModuleHandle = std::uintptr_t;    // HINSTANCE
using HookHandle = std::uintptr_t;      // HHOOK
using RegKey = std::uintptr_t;          // HKEY
using ImageListHandle = std::uintptr_t; // HIMAGELIST

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace tarnwick
