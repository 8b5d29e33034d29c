// The 10 ms synchronisation timer.
#pragma once

#include <cstdint>

#include "interop/platform_types.h"

namespace tarnwick {

inline constexpr uint32_t kSyncTimerPeriodMs = 10;

void SyncTimerProc(WindowHandle hwnd, uint32_t message, std::uintptr_t idEvent, uint32_t time);

// SetTimer(NULL, 0, 10, SyncTimerProc) when SyncTimerId is 0.
void StartSyncTimerIfStopped();
// KillTimer when SyncTimerId is not 0, then SyncTimerId = 0.
void StopSyncTimer();

}  // namespace tarnwick
