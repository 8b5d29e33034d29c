// oBtnExcel_Click: the commands of both popup menus. Whatever saves, closes or
// creates a workbook goes through Excel's own built-in controls so that Excel
// asks its usual questions (save changes?, save as).
#include "commands/workbook_commands.h"

#include <cstdint>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "support/about_dialog.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_busy.h"
#include "tracking/excel_windows.h"
#include "tracking/window_menu.h"

namespace tarnwick {
namespace {

// How long "CloseOther" pumps messages for the switch away from the kept
// workbook. The switch normally happens synchronously while the tab is
// selected; it can stall for good when no tab carries the name or a switch
// through the Window menu holds the selection handling back.
constexpr uint32_t kSwitchWaitMs = 3000;
// GetTickCount moves every 10-16 ms on Windows, so this many passes without
// it moving means the clock is not moving at all.
constexpr int kFrozenClockPasses = 100000;

// Lowers the batch flag and turns screen updating back on exactly once: at
// the end of the command, or while an unexpected exception leaves it.
class BatchEnd {
public:
    explicit BatchEnd(const std::shared_ptr<excel::Application>& app) : app_(app) {}
    BatchEnd(const BatchEnd&) = delete;
    BatchEnd& operator=(const BatchEnd&) = delete;
    ~BatchEnd() {
        try {
            Run();
        } catch (...) {
        }
    }
    void Run() {
        if (done_) return;
        done_ = true;
        State().BatchCommandRunning = false;
        step([&] { Required(app_).ScreenUpdating(true); });
    }

private:
    std::shared_ptr<excel::Application> app_;
    bool done_ = false;
};

// The workbooks as they are now: closing one may reorder Excel's collection,
// and a loop over the live collection could then skip or revisit workbooks.
std::vector<std::shared_ptr<excel::Workbook>> SnapshotWorkbooks(excel::Application& app) {
    std::vector<std::shared_ptr<excel::Workbook>> snapshot;
    step([&] {
        const auto workbooks = app.Workbooks();
        const auto enumerator = Required(workbooks).Enumerate();
        while (auto wb = Required(enumerator).Next()) snapshot.push_back(std::move(wb));
    });
    return snapshot;
}

// The name of a visited workbook, or nothing when it has gone meanwhile (a
// closed workbook's proxy fails): such a workbook is skipped, not touched.
bool ReadName(excel::Workbook& wb, std::wstring& name) {
    try {
        name = wb.Name();
        return true;
    } catch (const HostError&) {
        return false;
    }
}

// Pumps messages until Excel reports `name` as its active workbook, for a few
// seconds at most; a failed read of the active workbook counts as not yet.
void WaitUntilActive(const std::shared_ptr<excel::Application>& oApp, const std::wstring& name) {
    uint32_t start = 0;
    assign(start, [] { return Plat().GetTickCount(); });
    uint32_t lastTick = start;
    int frozenPasses = 0;
    while (holds([&] { return Required(Required(oApp).ActiveWorkbook()).Name() != name; })) {
        step([] { Plat().DoEvents(); });
        uint32_t now = lastTick;
        assign(now, [] { return Plat().GetTickCount(); });
        if (now - start >= kSwitchWaitMs) break;  // unsigned difference: right across the wrap
        frozenPasses = (now == lastTick) ? frozenPasses + 1 : 0;
        if (frozenPasses >= kFrozenClockPasses) break;
        lastTick = now;
    }
}

bool ChangesWorkbooks(const std::wstring& parameter) {
    return parameter != cmd::OpenDir && parameter != cmd::About;
}

}  // namespace

bool IsFilePath(const std::wstring& fullName) {
    const bool drive = fullName.size() >= 3 && fullName[1] == L':' && fullName[2] == L'\\' &&
                       ((fullName[0] >= L'A' && fullName[0] <= L'Z') || (fullName[0] >= L'a' && fullName[0] <= L'z'));
    const bool unc = fullName.size() >= 3 && fullName[0] == L'\\' && fullName[1] == L'\\' && fullName[2] != L'\\';
    return drive || unc;
}

void WorkbookCommands::SetButton(const std::shared_ptr<excel::CommandBarControl>& button) {
    std::unique_ptr<excel::Subscription> subscription;
    if (button) subscription = button->SubscribeClick(*this);
    clickSubscription_ = std::move(subscription);
    oBtnExcel_ = button;
}

void WorkbookCommands::Release() {
    clickSubscription_.reset();
    oBtnExcel_.reset();
    oEventAppExcel_.reset();
    workbookCursor_.reset();
}

bool WorkbookCommands::HoldsHostReferences() const {
    return oBtnExcel_ || clickSubscription_ || oEventAppExcel_ || workbookCursor_;
}

void WorkbookCommands::oBtnExcel_Click(const std::shared_ptr<excel::CommandBarControl>& Ctrl, bool& /*CancelDefault*/) {
    try {
        std::wstring parameter;
        assign(parameter, [&] { return Required(Ctrl).Parameter(); });

        // Chosen during another command's prompt or wait, or behind one of
        // Excel's dialogs: refused, so the running command keeps its
        // protection and nothing acts behind the dialog.
        if (ExcelBusy()) return;
        // Whatever changes workbooks needs Excel out of its cell edit, or
        // Excel refuses some calls and the command ends half done.
        if (ChangesWorkbooks(parameter) && !EndExcelEdit(oEventAppExcel_.get())) return;

        if (parameter == cmd::Close) {
            ExecuteBuiltIn(excel::ids::Close);
        } else if (parameter == cmd::Save) {
            ExecuteBuiltIn(excel::ids::Save);
        } else if (parameter == cmd::SaveAll) {
            SaveAllWorkbooks();
        } else if (parameter == cmd::SaveAs) {
            ExecuteBuiltIn(excel::ids::SaveAs);
        } else if (parameter == cmd::CloseOther) {
            CloseOtherWorkbooks();
        } else if (parameter == cmd::CloseAll) {
            CloseAllWorkbooks();
        } else if (parameter == cmd::OpenDir) {
            OpenContainingFolder();
        } else if (parameter == cmd::About) {
            ShowAbout();
        } else if (parameter == cmd::New) {
            ExecuteBuiltIn(excel::ids::NewWorkbook);
        }
    } catch (...) {
        // A click handler called by Office: nothing may leave it.
    }
}

void WorkbookCommands::ExecuteBuiltIn(int32_t id) {
    step([&] { Required(Required(Required(oEventAppExcel_).CommandBars()).FindControl(std::nullopt, id)).Execute(); });
}

void WorkbookCommands::SaveAllWorkbooks() {
    std::wstring sActiveName;
    assign(sActiveName, [&] { return Required(Required(oEventAppExcel_).ActiveWorkbook()).Name(); });
    State().BatchCommandRunning = true;
    BatchEnd batchEnd(oEventAppExcel_);
    step([&] { Required(oEventAppExcel_).ScreenUpdating(false); });

    std::vector<std::shared_ptr<excel::Workbook>> workbooks;
    if (oEventAppExcel_) workbooks = SnapshotWorkbooks(*oEventAppExcel_);
    for (const auto& wb : workbooks) {
        workbookCursor_ = wb;
        std::wstring name;
        if (!ReadName(*workbookCursor_, name)) continue;
        if (holds([&] { return IsWorkbookVisible(name); })) {
            step([&] { workbookCursor_->Activate(); });
            // Save acts on the active workbook: after a refused activation
            // it would save the previous one again and this one never. An
            // active workbook that cannot be read is not known to be this one.
            bool active = false;
            step([&] { active = Required(Required(oEventAppExcel_).ActiveWorkbook()).Name() == name; });
            if (!active) continue;
            if (name == sActiveName) {
                ExecuteBuiltIn(excel::ids::Save);
                // A first save renames the workbook; the final selection must find it.
                assign(sActiveName, [&] { return workbookCursor_->Name(); });
            } else {
                ExecuteBuiltIn(excel::ids::Save);
            }
        }
    }
    workbookCursor_.reset();

    step([&] { Required(State().TabStripForm).UpdateMenu(sActiveName); });
    batchEnd.Run();
}

void WorkbookCommands::CloseOtherWorkbooks() {
    State().BatchCommandRunning = true;
    std::shared_ptr<excel::Application> oApp = oEventAppExcel_;
    BatchEnd batchEnd(oApp);
    std::wstring sActiveName;
    assign(sActiveName, [&] { return Required(Required(oApp).ActiveWorkbook()).Name(); });
    step([&] { Required(oApp).ScreenUpdating(false); });

    std::vector<std::shared_ptr<excel::Workbook>> workbooks;
    if (oApp) workbooks = SnapshotWorkbooks(*oApp);

    // First pass: move away from the kept workbook through its tab, so that
    // the strip and Excel agree before the others close.
    for (const auto& wb : workbooks) {
        workbookCursor_ = wb;
        std::wstring name;
        if (!ReadName(*workbookCursor_, name)) continue;
        if (!holds([&] { return IsWorkbookVisible(name) && name != sActiveName; })) continue;

        int32_t count = 0;
        step([&] { count = Required(State().TabStripForm).TabSeclect()->ItemCount(); });
        for (int32_t i = 0; i < count; ++i) {
            std::shared_ptr<tab::TabItem> item;
            step([&] { item = Required(State().TabStripForm).TabSeclect()->Item(i); });
            if (holds([&] { return Required(item).Caption() == name; })) {
                step([&] { Required(item).Selected(true); });
                break;
            }
        }

        WaitUntilActive(oApp, name);
        break;  // only the first such workbook
    }

    // Second pass: close every other visible workbook, each visited once.
    CloseVisibleWorkbooks(workbooks, sActiveName);

    batchEnd.Run();
    oApp.reset();
}

void WorkbookCommands::CloseAllWorkbooks() {
    State().BatchCommandRunning = true;
    BatchEnd batchEnd(oEventAppExcel_);
    step([&] { Required(oEventAppExcel_).ScreenUpdating(false); });

    std::vector<std::shared_ptr<excel::Workbook>> workbooks;
    if (oEventAppExcel_) workbooks = SnapshotWorkbooks(*oEventAppExcel_);
    CloseVisibleWorkbooks(workbooks, std::nullopt);

    batchEnd.Run();
}

void WorkbookCommands::CloseVisibleWorkbooks(const std::vector<std::shared_ptr<excel::Workbook>>& workbooks,
                                             const std::optional<std::wstring>& kept) {
    for (const auto& wb : workbooks) {
        workbookCursor_ = wb;
        std::wstring name;
        if (!ReadName(*workbookCursor_, name)) continue;
        if (holds([&] { return IsWorkbookVisible(name) && name != kept; })) {
            step([&] { workbookCursor_->Activate(); });
            // Close acts on the active workbook: when the activation was
            // refused (Excel is editing a cell) it would close another one,
            // perhaps the one to keep.
            bool active = false;
            step([&] { active = Required(Required(oEventAppExcel_).ActiveWorkbook()).Name() == name; });
            if (active) ExecuteBuiltIn(excel::ids::Close);
        }
    }
    workbookCursor_.reset();
}

void WorkbookCommands::OpenContainingFolder() {
    // The explorer by its full path: a search would also look in the current
    // directory, often the workbook's own folder. The path is quoted so that
    // blanks and commas in it stay part of the one argument of /select.
    // GetWindowsDirectory names a folder of the user's own on a terminal
    // server; the explorer lives in the machine's.
    step([&] {
        const std::wstring fullName = Required(Required(oEventAppExcel_).ActiveWorkbook()).FullName();
        // A workbook opened from a web address has no folder to show.
        if (!IsFilePath(fullName)) return;
        const std::wstring explorer = Plat().GetSystemWindowsDirectoryW() + L"\\explorer.exe";
        const std::wstring commandLine = L"\"" + explorer + L"\" /select,\"" + fullName + L"\"";
        Plat().StartProcess(explorer, commandLine, win::SW_SHOWNORMAL, 0);
    });
}

void WorkbookCommands::ShowAbout() {
    frmAbout about;
    step([&] { about.GanttApp(Required(oEventAppExcel_).GetApplication()); });
    step([&] { about.SetOwnerWindow(Required(oEventAppExcel_).Hwnd()); });
    step([&] { about.ShowModal(); });
}

}  // namespace tarnwick
