// Excel runs its prompts and dialogs (save changes?, Save As, our about
// dialog) as modal loops in which our timer and Excel's events still fire;
// a modal dialog disables its owner, Excel's main window, for its lifetime.
// Activating a workbook behind such a dialog would let its answer act on the
// wrong workbook, so nothing acts on Excel while the window is disabled.
#include "tracking/excel_busy.h"

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"

namespace tarnwick {

namespace {

bool Blocked(const std::optional<WindowHandle>& excelHwnd) {
    if (State().PumpedWaitDepth > 0 || !excelHwnd) return true;
    bool enabled = false;
    assign(enabled, [&] { return Plat().IsWindowEnabled(*excelHwnd); });
    return !enabled;
}

std::optional<WindowHandle> ExcelHwnd() {
    std::optional<WindowHandle> hwnd;
    assign(hwnd, [] { return std::optional<WindowHandle>(Required(State().ExcelApp).Hwnd()); });
    return hwnd;
}

}  // namespace

bool ExcelBlocked() {
    return Blocked(ExcelHwnd());
}

bool ExcelBusy(std::optional<WindowHandle> excelHwnd) {
    return State().BatchCommandRunning || Blocked(excelHwnd);
}

bool ExcelBusy() {
    return State().BatchCommandRunning || ExcelBlocked();
}

PumpedWait::PumpedWait() {
    ++State().PumpedWaitDepth;
}

PumpedWait::~PumpedWait() {
    --State().PumpedWaitDepth;
}

}  // namespace tarnwick
