// When the synchronisation tick runs in full.
//
// The tick runs every 10 ms while something goes on (an application event,
// a focus or activation change, input on the strip, a Window-menu switch,
// within the last second) and every 100 ms when Excel is idle. Before each
// tick a look at Excel's windows through Win32 alone tells whether anything
// the tick checks may have changed since the last tick that found the strip
// true; an idle tick with nothing changed is left out, up to a safety net
// that runs the full tick at least once a second for what Win32 cannot see.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class Form_Tab;
namespace tab {
class TabControl;
}

inline constexpr uint32_t kIdleTickPeriodMs = 100;
// How long ticks stay at 10 ms after the last sign of activity.
inline constexpr uint32_t kFastCadenceHoldMs = 1000;
// The longest time between two full ticks.
inline constexpr uint32_t kFullTickSafetyNetMs = 1000;

// Something happened that the strip may have to follow: back to 10 ms ticks
// at once. Called by the event handlers, the hook and the strip's events;
// never throws.
void NoteActivity() noexcept;

// A timer was just started at 10 ms: nothing seen so far counts.
void ResetIdleWatch();

// Before a tick: whether it must run in full.
bool FullTickNeeded() noexcept;

// The tick found docking, tab count and selection true. When the names are
// due for a check and a tab names no open workbook (a workbook saved under a
// new name while another was active), the strip is rebuilt with `selectName`
// selected; otherwise what this tick saw becomes the state to compare with.
void StripAgrees(Form_Tab& form, tab::TabControl& tabs, int32_t itemCount, const std::wstring& selectName);

// After a tick: the timer's period follows activity.
void AdjustCadence() noexcept;

// True, and `lastRun` moved to now, once `intervalMs` have passed since
// `lastRun`: periodic work at a low rate that does not depend on the cadence.
bool DueEvery(uint32_t& lastRun, uint32_t intervalMs, uint32_t now);

}  // namespace tarnwick
