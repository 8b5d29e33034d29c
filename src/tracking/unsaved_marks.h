// The unsaved mark: a tab whose workbook has changes since its last save
// (Workbook.Saved False) shows it. Excel tells no event for every change,
// so the marks are polled, at a cost bounded per tab and time.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

inline constexpr uint32_t kUnsavedMarksPeriodMs = 500;

// Called on every timer tick, busy or idle. Once per period (on the last
// tick before a period has passed, so that a change shows within it) it reads
// Saved of each tab's workbook (one call into Excel per tab) and sets
// the tab's Unsaved where it differs. Nothing while the marks are switched
// off, without a strip, or while Excel is busy.
void RefreshUnsavedMarks();

// The mark the last poll saw for a tab of this caption, so that a rebuilt
// strip shows it at once instead of after the next poll.
bool KnownUnsaved(const std::wstring& caption);

// Releases the workbooks the poll holds (disconnection).
void ForgetUnsavedMarks();

}  // namespace tarnwick
