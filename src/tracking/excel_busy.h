// Whether Excel can take the add-in's changes now.
#pragma once

#include <cstdint>
#include <optional>

#include "interop/platform_types.h"

namespace tarnwick {

// True while a batch command of ours runs, while one of our pumped waits
// runs, or while a modal dialog or prompt of Excel's (or our about dialog)
// has disabled Excel's main window. The tick and the handlers leave Excel
// alone then and catch up afterwards; an unreadable window counts as busy.
bool ExcelBusy();
// The same with Excel's main window read by the caller (nothing: unreadable).
bool ExcelBusy(std::optional<WindowHandle> excelHwnd);
// The same without the batch flag: the batch command's own steps may act.
bool ExcelBlocked();

// Marks one pumped wait of the add-in for its lifetime.
class PumpedWait {
public:
    PumpedWait();
    ~PumpedWait();
    PumpedWait(const PumpedWait&) = delete;
    PumpedWait& operator=(const PumpedWait&) = delete;
};

}  // namespace tarnwick
