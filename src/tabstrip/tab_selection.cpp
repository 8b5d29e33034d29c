// A newly selected tab activates its workbook through the object model,
// unless a switch through Excel's Window menu is already making it while
// Excel edits text.
#include <memory>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_busy.h"
#include "tracking/idle_watch.h"

namespace tarnwick {

void Form_Tab::TabSeclect_SelectedChanged(const std::shared_ptr<tab::TabItem>& Item) {
    try {
        NoteActivity();
        const AddinState& s = State();
        if (IsEditWindowClass(s.FocusClassName) && s.WindowMenuSwitchPending) return;
        // Not behind a dialog of Excel's or inside our own pumped wait; the
        // timer brings the two together afterwards.
        if (ExcelBlocked()) return;
        step([&] { Required(Required(Required(oHostApp_).Workbooks()).Item(Required(Item).Caption())).Activate(); });
    } catch (...) {
    }
}

}  // namespace tarnwick
