// The synchronisation tick: checks docking, tab count and selection and
// repairs the first difference it finds. When it runs in full is decided by
// the idle watch (tracking/idle_watch.h).
//
// The tick runs up to a hundred times a second while Excel is in use, so the path
// with nothing to repair reads each host value once: the visible-workbook
// count, Excel's window handle, the host bar and the active workbook's name
// cannot change between the checks that use them, because every check that
// changes something ends the tick.
//
// While TabBarHostWindow is 0 (the host bar's window was not found at the
// last docking) the form's parent cannot be compared with the host, and
// reloading on every tick would rebuild the strip a hundred times a second:
// each tick repeats only the window search, and docks the form once Office
// has created the bar's window.
#include "tracking/sync_timer.h"

#include <memory>
#include <optional>
#include <string>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_busy.h"
#include "tracking/excel_windows.h"
#include "tracking/idle_watch.h"
#include "tracking/unsaved_marks.h"

namespace tarnwick {

namespace {

// Built once: the bar is looked up by name on every tick.
const std::wstring kHostBarNameText{kHostBarName};

void ReloadForm(Form_Tab& form) {
    step([&] { form.Unload(); });
    step([&] { form.Show(); });
}

// The first tab (lowest index) whose caption is the given name is selected.
void SelectFirstTabNamed(tab::TabControl& tabs, int32_t itemCount, const std::wstring& name) {
    for (int32_t i = 0; i < itemCount; ++i) {
        std::shared_ptr<tab::TabItem> item;
        assign(item, [&] { return tabs.Item(i); });
        if (holds([&] { return Required(item).Caption() == name; })) {
            step([&] { Required(item).Selected(true); });
            return;
        }
    }
}

// The first selected tab's caption is the active workbook's name.
bool SelectionAgrees(Form_Tab& form, excel::Application& app) {
    bool agree = false;
    step([&] {
        const std::shared_ptr<tab::TabControl> tabs = form.TabSeclect();
        const int32_t count = Required(tabs).ItemCount();
        for (int32_t i = 0; i < count; ++i) {
            const std::shared_ptr<tab::TabItem> item = tabs->Item(i);
            if (!Required(item).Selected()) continue;
            agree = item->Caption() == Required(app.ActiveWorkbook()).Name();
            return;
        }
    });
    return agree;
}

void Tick() {
    AddinState& s = State();
    const std::shared_ptr<excel::Application> app = s.ExcelApp;
    const std::shared_ptr<Form_Tab> form = s.TabStripForm;
    if (!app || !form) return;
    Platform& plat = Plat();

    // 1. Visibility guard; an unreadable Visible counts as hidden.
    bool excelVisible = false;
    assign(excelVisible, [&] { return app->Visible(); });
    if (!excelVisible) return;

    // Without a tab control there is no strip to keep true.
    if (s.TabControlUnavailable) return;

    // Excel is busy: a batch command visiting other workbooks, our own
    // pumped wait, or a prompt or dialog that has disabled Excel's window.
    // Step 11 would activate the selected tab's workbook behind it; the
    // first tick afterwards catches up.
    // Excel's main window does not change while Excel runs: one read serves the tick.
    std::optional<WindowHandle> excelHwnd;
    step([&] { excelHwnd = app->Hwnd(); });
    if (ExcelBusy(excelHwnd)) return;

    // 2. Edit guard: a Window-menu switch is still waiting for Excel. Once
    //    Excel and the strip agree it is over, or the next editing session
    //    would find it still pending (no popup on a right click).
    if (s.WindowMenuSwitchRunning) return;
    if (s.WindowMenuSwitchPending &&
        (s.FocusClassName == kEditClassInCell || s.FocusClassName == kEditClassFormulaBar ||
         (s.FocusClassName == kEditClassEditBox && !s.EditBoxSwitched))) {
        if (SelectionAgrees(*form, *app)) s.WindowMenuSwitchPending = false;
        return;
    }

    const int32_t visibleCount = CountVisibleWorkbooks();

    // 3. Width check.
    if (visibleCount > 0) {
        if (excelHwnd) step([&] { plat.GetWindowRect(*excelHwnd, s.ExcelWindowRect); });
        if (s.ExcelWindowRect.right - s.ExcelWindowRect.left != s.DockedExcelWidth) {
            if (excelHwnd) step([&] { plat.LockWindowUpdate(*excelHwnd); });
            ReloadForm(*form);
            step([&] { plat.LockWindowUpdate(0); });
            return;
        }
    }

    // 4. Host bar visibility; an unreadable bar counts as hidden.
    std::shared_ptr<excel::CommandBar> hostBar;
    step([&] { hostBar = Required(app->CommandBars()).Item(kHostBarNameText); });
    bool hostBarVisible = false;
    step([&] { hostBarVisible = Required(hostBar).Visible(); });
    if (visibleCount > 0 && !hostBarVisible) {
        ReloadForm(*form);
        return;
    }

    // 5. Host bar existence.
    if (!hostBar) return;

    // 6. Last workbook gone: the strip goes, and with it the timer.
    if (visibleCount < 1) {
        step([&] { hostBar->Delete(); });
        step([&] { form->Unload(); });
        return;
    }

    // 7. Parenting; an undocked form is docked once its host has a window.
    if (s.TabBarHostWindow == 0) {
        bool docked = false;
        step([&] { docked = form->IsLoaded() && form->DockIntoHostBar(); });
        if (docked) {
            step([&] { form->Show(); });
            return;
        }
    } else if (holds([&] {
                   const WindowHandle formHwnd = form->hWnd();
                   return plat.GetParent(formHwnd) != s.TabBarHostWindow;
               })) {
        ReloadForm(*form);
        return;
    }

    // 8. Tab count.
    std::shared_ptr<tab::TabControl> tabs;
    step([&] { tabs = form->TabSeclect(); });
    if (holds([&] { return Required(tabs).ItemCount() != visibleCount; })) {
        step([&] { form->UpdateMenu(Required(app->ActiveWorkbook()).Name()); });
        return;
    }
    // From here on the control holds exactly visibleCount items.

    // 9. The selected tab.
    int32_t selectedIndex = -1;
    std::wstring selectedName;
    for (int32_t i = 0; i < visibleCount; ++i) {
        std::shared_ptr<tab::TabItem> item;
        assign(item, [&] { return tabs->Item(i); });
        if (holds([&] { return Required(item).Selected(); })) {
            selectedIndex = i;
            step([&] { selectedName = Required(item).Caption(); });
            break;
        }
    }

    // 10. Nothing selected, or Excel agrees; an unreadable active name ends the tick too.
    if (selectedName.empty()) {
        StripAgrees(*form, *tabs, visibleCount, L"");
        return;
    }
    std::wstring activeName;
    bool agree = false;
    if (holds([&] {
            activeName = Required(app->ActiveWorkbook()).Name();
            agree = selectedName == activeName;
            return agree;
        })) {
        if (agree) s.WindowMenuSwitchPending = false;
        if (agree) StripAgrees(*form, *tabs, visibleCount, activeName);
        return;
    }

    // 11. The selection and Excel disagree.
    if (s.WindowMenuSwitchPending && s.EditBoxSwitched) {
        s.EditBoxSwitched = false;
        SelectFirstTabNamed(*tabs, visibleCount, activeName);
    } else if (s.WindowMenuSwitchPending) {
        s.WindowMenuSwitchPending = false;
        SelectFirstTabNamed(*tabs, visibleCount, activeName);
    } else {
        std::shared_ptr<excel::Workbook> selectedBook;
        step([&] { selectedBook = Required(app->Workbooks()).Item(selectedName); });
        // Activate re-enters the activation handler, which may rebuild the
        // strip: the selected tab is looked up again by index afterwards.
        if (selectedBook) {
            step([&] { selectedBook->Activate(); });
            step([&] { Required(tabs->Item(selectedIndex)).Caption(selectedBook->Name()); });
            step([&] { Required(tabs->Item(selectedIndex)).ToolTip(selectedBook->FullName()); });
        } else {
            // Saved under another name: the tab follows the active workbook.
            step([&] { Required(tabs->Item(selectedIndex)).Caption(activeName); });
            step([&] { Required(tabs->Item(selectedIndex)).ToolTip(Required(app->ActiveWorkbook()).FullName()); });
        }
    }
}

}  // namespace

void SyncTimerProc(WindowHandle, uint32_t, std::uintptr_t, uint32_t) {
    try {
        if (FullTickNeeded()) Tick();
    } catch (...) {
    }
    AdjustCadence();
    // Outside the full-tick gate, so that the marks follow Excel also while
    // idle; after the cadence, whose next tick the poll plans for.
    RefreshUnsavedMarks();
}

void StartSyncTimerIfStopped() {
    AddinState& s = State();
    if (s.SyncTimerId == 0) {
        assign(s.SyncTimerId, [&] { return Plat().SetTimer(0, 0, kSyncTimerPeriodMs, SyncTimerProc); });
        if (s.SyncTimerId != 0) ResetIdleWatch();
    }
}

void StopSyncTimer() {
    AddinState& s = State();
    if (s.SyncTimerId == 0) return;
    try {
        Plat().KillTimer(0, s.SyncTimerId);
    } catch (const HostError&) {
        // The timer may still run: keeping its id keeps it the only one,
        // and the next stop tries again.
        return;
    }
    s.SyncTimerId = 0;
}

}  // namespace tarnwick
