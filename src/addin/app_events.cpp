// Excel's application events: keep the strip in line with new, opened,
// activated and closing workbooks.
//
// Two pending flags absorb the one activation that follows the add-in's own
// change (a tab click, a tab just added), so the strip is not rebuilt twice;
// the batch flag silences the handlers while a batch command runs, and that
// command rebuilds the strip itself when it ends.
#include <memory>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_windows.h"

namespace tarnwick {

namespace {

// While Excel is hidden (automation) the handlers do nothing; a Visible that
// cannot be read counts as hidden.
bool ExcelShown(const std::shared_ptr<excel::Application>& app) {
    bool visible = false;
    assign(visible, [&] { return Required(app).Visible(); });
    return visible;
}

}  // namespace

void ZereZovaveAddin::oEventAppExcel_NewWorkbook(const std::shared_ptr<excel::Workbook>& Wb) {
    try {
        AddinState& s = State();
        if (!ExcelShown(oEventAppExcel_)) return;
        s.NewWorkbookPending = true;
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
        AddinState& s = State();
        if (!ExcelShown(oEventAppExcel_)) return;
        s.NewWorkbookPending = true;
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
        AddinState& s = State();
        if (!ExcelShown(oEventAppExcel_)) return;
        // A pending tab click is consumed before a pending new workbook.
        if (s.TabClickPending) {
            s.TabClickPending = false;
            return;
        }
        if (s.BatchCommandRunning) return;
        if (s.NewWorkbookPending) {
            s.NewWorkbookPending = false;
            return;
        }
        step([&] { Required(s.TabStripForm).UpdateMenu(Required(Wb).Name()); });
    } catch (...) {
    }
}

// Traps nothing: the first failure becomes the result of Excel's event call.
// The workbook is still open here; the timer drops its tab once it is gone.
void ZereZovaveAddin::oEventAppExcel_WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& /*Wb*/,
                                                         bool& /*Cancel*/) {
    const bool visible = Required(oEventAppExcel_).Visible();
    if (visible && !State().BatchCommandRunning) {
        Required(State().TabStripForm).UpdateMenu(L"");
    }
}

}  // namespace tarnwick
