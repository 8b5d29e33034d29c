// The thread-local CBT hook: the focus record and the answer to Excel's
// window-list dialog during a Window-menu switch.
#pragma once

#include <cstdint>

#include "interop/platform_types.h"

namespace tarnwick {

void InstallDialogHook();  // passes a failed ExcelApp.Hinstance read on
void RemoveDialogHook();
std::intptr_t DialogHookProc(int32_t code, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace tarnwick
