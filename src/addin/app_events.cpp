// Excel's application events: keep the strip in line with new, opened,
// activated and closing workbooks.
//
// Two pending flags absorb the one activation that follows the add-in's own
// change (a tab click, a tab just added), so the strip is not rebuilt twice;
// each names its workbook, and an activation of another workbook clears it
// instead: a flag whose activation never came (a hidden workbook opened, a
// click on the selected tab) must not swallow the user's next switch, which
// the timer would then undo. The batch flag silences the handlers while a
// batch command runs, and that command rebuilds the strip itself when it ends.
#include <memory>
#include <optional>
#include <string>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_windows.h"
#include "tracking/idle_watch.h"

namespace tarnwick {

namespace {

// While Excel is hidden (automation) the handlers do nothing; a Visible that
// cannot be read counts as hidden.
bool ExcelShown(const std::shared_ptr<excel::Application>& app) {
    bool visible = false;
    assign(visible, [&] { return Required(app).Visible(); });
    return visible;
}

// Inside our own pumped wait (the control repair's) the strip is being made:
// an event changes nothing now, and the timer catches up afterwards.
bool InPumpedWait(const AddinState& s) {
    return s.PumpedWaitDepth > 0;
}

void MarkNewWorkbook(AddinState& s, const std::shared_ptr<excel::Workbook>& Wb) {
    s.NewWorkbookPending = true;
    s.NewWorkbookName.clear();
    assign(s.NewWorkbookName, [&] { return Required(Wb).Name(); });
}

// True when the pending flag stands for this activation: it names the
// activated workbook, or that workbook's name cannot be read. Either way the
// flag is spent: one activation, the expected one or the user's, ends it.
bool Consume(bool& pending, const std::wstring& expected, const std::optional<std::wstring>& activated) {
    if (!pending) return false;
    pending = false;
    return !activated || *activated == expected;
}

}  // namespace

void ZereZovaveAddin::oEventAppExcel_NewWorkbook(const std::shared_ptr<excel::Workbook>& Wb) {
    try {
        NoteActivity();
        AddinState& s = State();
        if (InPumpedWait(s) || !ExcelShown(oEventAppExcel_)) return;
        MarkNewWorkbook(s, Wb);
        // The only visible workbook: load the strip, which fills itself.
        if (holds([&] { return CountVisibleWorkbooks() < 2; })) {
            ReloadTabStripForm();
            return;
        }
        step([&] { Required(s.TabStripForm).AddMenu(Required(Wb).Name()); });
    } catch (...) {
    }
}

void ZereZovaveAddin::oEventAppExcel_WorkbookOpen(const std::shared_ptr<excel::Workbook>& Wb) {
    try {
        NoteActivity();
        AddinState& s = State();
        if (InPumpedWait(s) || !ExcelShown(oEventAppExcel_)) return;
        MarkNewWorkbook(s, Wb);
        if (holds([&] { return CountVisibleWorkbooks() < 2; })) {
            // Excel paints the opened file meanwhile; the lock hides the
            // strip appearing and docking.
            step([&] { Plat().LockWindowUpdate(Required(oEventAppExcel_).Hwnd()); });
            ReloadTabStripForm();
            step([&] { Plat().LockWindowUpdate(0); });
            return;
        }
        step([&] { Required(s.TabStripForm).AddMenu(Required(Wb).Name()); });
    } catch (...) {
    }
}

void ZereZovaveAddin::oEventAppExcel_WorkbookActivate(const std::shared_ptr<excel::Workbook>& Wb) {
    try {
        NoteActivity();
        AddinState& s = State();
        if (InPumpedWait(s) || !ExcelShown(oEventAppExcel_)) return;
        // The click handler tries Window-menu entries and sets the strip itself.
        if (s.WindowMenuSwitchRunning) return;
        std::optional<std::wstring> name;
        assign(name, [&] { return std::optional<std::wstring>(Required(Wb).Name()); });
        // A pending tab click is consumed before a pending new workbook.
        if (Consume(s.TabClickPending, s.TabClickWorkbook, name)) return;
        if (s.BatchCommandRunning) return;
        if (Consume(s.NewWorkbookPending, s.NewWorkbookName, name)) return;
        // No strip (its last workbook was hidden, then shown again): the
        // activation of a visible workbook brings it back.
        if (!Required(s.TabStripForm).IsLoaded()) {
            if (!holds([] { return CountVisibleWorkbooks() < 1; })) ReloadTabStripForm();
            return;
        }
        if (name) step([&] { Required(s.TabStripForm).UpdateMenu(*name); });
    } catch (...) {
    }
}

// Traps nothing: the first failure becomes the result of Excel's event call.
// The workbook is still open here; the timer drops its tab once it is gone.
void ZereZovaveAddin::oEventAppExcel_WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& /*Wb*/,
                                                         bool& /*Cancel*/) {
    NoteActivity();
    if (InPumpedWait(State())) return;
    const bool visible = Required(oEventAppExcel_).Visible();
    if (visible && !State().BatchCommandRunning) {
        Required(State().TabStripForm).UpdateMenu(L"");
    }
}

}  // namespace tarnwick
