// AddinState: the add-in's one global record, one per thread that uses the
// library (in Excel, its user-interface thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interop/excel.h"
#include "interop/platform.h"
#include "interop/platform_types.h"

namespace tarnwick {

class Form_Tab;

// What the unsaved-mark poll last saw of one tab.
struct UnsavedMarkSeen {
    std::wstring caption;
    std::shared_ptr<excel::Workbook> workbook;  // nothing until found again
    bool unsaved = false;
};

// What Win32 tells about Excel's windows without a call into Excel: enough
// to see that nothing changed since the last tick that found the strip true.
struct WorkbookWindowSeen {
    WindowHandle hwnd = 0;
    uint32_t style = 0;  // 0 once the window is gone
    uint64_t captionHash = 0;
    friend bool operator==(const WorkbookWindowSeen&, const WorkbookWindowSeen&) = default;
};

struct ExcelWindowsSeen {
    uint32_t excelStyle = 0;
    int32_t excelWidth = 0;
    WindowHandle form = 0;
    WindowHandle formParent = 0;
    WindowHandle hostBar = 0;
    uint32_t hostBarStyle = 0;
    WindowHandle desk = 0;
    WindowHandle deskParent = 0;
    std::vector<WorkbookWindowSeen> workbookWindows;  // children of the desk, in z-order
    friend bool operator==(const ExcelWindowsSeen&, const ExcelWindowsSeen&) = default;
};

// The timer's cadence and its "nothing changed" test (tracking/idle_watch).
struct IdleWatchState {
    uint32_t PeriodMs = 0;        // period of the running timer
    uint32_t FastUntil = 0;       // tick count up to which ticks stay at 10 ms
    uint32_t LastFullTick = 0;    // the safety net counts from here
    bool Agreed = false;          // the last full tick found the strip true and saw Seen
    bool SeenValid = false;       // Seen holds what some agreeing full tick saw
    bool NowComplete = false;     // Now holds this tick's look
    bool NamesCheckDue = false;   // compare every tab's caption with Excel's workbooks
    bool WindowListStale = true;  // list the desk's children again before trusting Seen
    WindowHandle ExcelHwnd = 0;   // Application.Hwnd, read once per timer start
    ExcelWindowsSeen Seen;
    ExcelWindowsSeen Now;
};

struct AddinState {
    // The platform this thread's add-in talks to; set before the first entry
    // point runs (by the COM server on Windows, by the simulator in tests).
    Platform* platform = nullptr;

    std::shared_ptr<excel::Application> ExcelApp;
    std::shared_ptr<Form_Tab> TabStripForm;
    std::wstring ThemeSetting;
    // The about dialog's two switches beside "Theme"; on unless stored off.
    bool CloseButtonsSetting = true;
    bool UnsavedMarksSetting = true;
    std::shared_ptr<excel::CommandBar> TabBarPopup;
    std::shared_ptr<excel::CommandBar> TabBarIIPopup;

    // A pending flag absorbs only the activation of the workbook it names:
    // an activation of any other workbook is the user's, clears the flag and
    // is handled as such. So a flag whose activation never came (a click on
    // the selected tab, a workbook opened hidden) cannot swallow the next one.
    bool TabClickPending = false;
    std::wstring TabClickWorkbook;
    // Raised by one batch command at a time: one chosen during another's
    // prompt or wait is refused, so the outer one's protection holds.
    bool BatchCommandRunning = false;
    bool NewWorkbookPending = false;
    std::wstring NewWorkbookName;
    // The click handler is executing Window-menu entries and checks where
    // each one lands; the activations they raise are its own.
    bool WindowMenuSwitchRunning = false;
    // The click handler is executing the Window menu's "more windows" entry:
    // a dialog of Excel's activated now is its window list, whatever its title.
    bool MoreWindowsRunning = false;
    // Nesting depth of the add-in's own pumped waits (the control repair's
    // wait for regsvr32): ticks, handlers and strip creation inside stand back.
    int32_t PumpedWaitDepth = 0;

    std::uintptr_t SyncTimerId = 0;
    IdleWatchState IdleWatch;
    Rect ExcelWindowRect{};
    int32_t DockedExcelWidth = 0;
    WindowHandle TabBarHostWindow = 0;

    bool WindowMenuSwitchPending = false;
    std::wstring DialogItemPattern;
    // The same without the extension, which the list drops when Windows hides them.
    std::wstring DialogItemBasePattern;
    int32_t DialogItemOccurrence = 0;

    std::wstring FocusClassName;
    WindowHandle LastEditBoxWindow = 0;
    WindowHandle LastEditBoxParent = 0;
    bool EditBoxSwitched = false;

    // The tab control for the life of the process: the module it is created
    // from without registration (empty: through COM), whether its one repair
    // was tried, and whether it cannot be created at all, in which case no
    // strip is docked and the timer stays idle until Excel starts again.
    std::wstring TabControlModule;
    bool TabControlRepairTried = false;
    bool TabControlUnavailable = false;

    HookHandle DialogHookHandle = 0;
    uint32_t HookThreadId = 0;
    std::wstring ActivatedTitle;
    int32_t AccessibleMatchCounter = 0;

    // The unsaved-mark poll (tracking/unsaved_marks): when it last ran, and
    // the workbook behind each tab caption, held so that a poll costs one
    // call into Excel per tab. Released at disconnection.
    bool UnsavedMarksPolled = false;
    uint32_t UnsavedMarksPolledAt = 0;
    WindowHandle UnsavedMarksExcelHwnd = 0;
    std::vector<UnsavedMarkSeen> UnsavedMarksSeen;
};

// This thread's record.
AddinState& State();

// Shorthand for State().platform, which must be set.
Platform& Plat();

// Back to the zeroed record of a freshly loaded library; keeps the platform.
void ResetAddinState();

// The registry location of the add-in's one setting.
inline constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\Microsoft\\Shared Tools\\Tarnwick\\Excel";
inline constexpr const wchar_t* kThemeValue = L"Theme";
inline constexpr const wchar_t* kCloseButtonsValue = L"CloseButtons";
inline constexpr const wchar_t* kUnsavedMarksValue = L"UnsavedMarks";

// Window classes of Excel's edit windows: a focus there means Excel is
// editing a cell, the formula bar or one of its edit boxes.
inline constexpr const wchar_t* kEditClassInCell = L"EXCEL<";
inline constexpr const wchar_t* kEditClassFormulaBar = L"EXCEL6";
inline constexpr const wchar_t* kEditClassEditBox = L"EDTBX";
bool IsEditWindowClass(const std::wstring& className);

// The temporary command bar whose row in Excel's top dock hosts the strip.
inline constexpr const wchar_t* kHostBarName = L"VodevIzuzod";

}  // namespace tarnwick
