// The simulated world behind all four ports: Excel and Office, the tab
// control, Windows, and accessibility. One World per test: constructing it
// resets AddinState and installs the world's platform there; destroying it
// clears both.
//
// Every member call on a port object the world hands out is counted by name
// ("Application.Visible", "Platform.SetTimer", "TabItem.Selected", ...) and
// can be made to fail. Test drivers (OpenWorkbook, ClickTab, Advance, ...)
// are the user and the clock; they are not counted.
//
// A new world is Excel 2003 ("11.0"), visible, main window 1024 x 768, with
// its built-in bars ("Worksheet Menu Bar", "Standard", "Formatting", "Cell")
// and no workbook. A test plays the user and the clock:
//
//     World world;
//     world.OpenWorkbook(L"C:\\a.xls");          // WorkbookOpen, WorkbookActivate
//     addin.OnConnection(world.Application(), ...);
//     world.ClickTab(1);                          // BeforeItemClick, SelectedChanged, MouseUp
//     world.Tick();                               // 10 ms: the timers that are due fire
//     EXPECT_TRUE(world.EscapedExceptions().empty());
//
// Exceptions the core lets out where nothing may escape (timer and hook
// procs, event sinks, form and control events) are caught and listed in
// EscapedExceptions(), as is a modal dialog that would never return. Misuse
// by a test (unknown workbook name, focusing a destroyed window) throws
// std::logic_error.
//
// The sim's "ANSI code page" is UTF-8: WideToAnsi and AnsiToWide round-trip
// Chinese text, as code page 936 does on a Chinese Windows; the "A" text
// functions cut at 254 bytes, never inside a character.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "interop/accessibility.h"
#include "interop/excel.h"
#include "interop/forms.h"
#include "interop/platform.h"
#include "sim/accessible_sim.h"
#include "sim/link.h"
#include "sim/model.h"
#include "sim/platform_sim.h"
#include "sim/tab_control_sim.h"

namespace tarnwick::sim {

enum class SaveAnswer { Save, DontSave, Cancel };

struct ControlInfo {
    int32_t type = 0;
    int32_t id = 0;
    std::wstring caption;
    std::wstring tag;
    std::wstring parameter;
    bool enabled = true;
    int32_t width = 0;
    bool temporary = false;
};

struct BarInfo {
    std::wstring name;
    int32_t position = 0;
    bool visible = false;
    bool enabled = true;
    bool menuBar = false;
    bool temporary = false;
    bool builtIn = false;
    int32_t protection = 0;
    WindowHandle window = 0;  // its "MsoCommandBar" window, 0 while not shown
    std::vector<ControlInfo> controls;
};

struct PopupShown {
    std::wstring bar;
    std::vector<std::pair<std::wstring, bool>> entries;  // caption, enabled
};

struct ProcessStart {
    std::wstring application;
    std::wstring commandLine;
    int32_t showWindow = 0;
    uint32_t waitMilliseconds = 0;
};

struct ShellExecuteCall {
    WindowHandle hwnd = 0;
    std::optional<std::wstring> verb;
    std::wstring file;
    std::optional<std::wstring> parameters;
    std::optional<std::wstring> directory;
    int32_t showCmd = 0;
};

struct NextHookCall {
    HookHandle hook = 0;
    int32_t code = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct LockCall {
    WindowHandle hwnd = 0;
    bool succeeded = false;
};

struct RegValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

namespace file_attr = win::file_attribute;

// The about dialog as a script sees it while it is shown modally.
class AboutDialogSim {
public:
    virtual ~AboutDialogSim() = default;
    virtual WindowHandle hWnd() = 0;
    virtual bool OptionValue(AboutOption option) = 0;
    virtual bool CheckValue(AboutCheck check) = 0;
    virtual bool Enabled(AboutControl control) = 0;
    virtual bool IsOpen() = 0;
    // The user's actions; a disabled control ignores them.
    virtual void ChooseOption1() = 0;
    virtual void ChooseOption2() = 0;
    virtual void ToggleCheck(AboutCheck check) = 0;
    virtual void PressOK() = 0;    // cmdOK_Click
    virtual void PressEsc() = 0;   // cmdOK is the cancel button: the same
    virtual void ClickLink() = 0;  // Labelblog_Click
    virtual void CloseBox() = 0;   // Form_CloseRequested
};

// The about dialog's state when it became visible.
struct AboutShown {
    bool option1 = false;
    bool option2 = false;
    bool option1Enabled = true;
    bool option2Enabled = true;
    bool okEnabled = true;
    WindowHandle owner = 0;
    bool closeButtons = false;
    bool unsavedMarks = false;
    bool checksEnabled = true;
};

// One opening of Excel's window-list dialog.
struct WindowListDialogRecord {
    WindowHandle hwnd = 0;
    std::vector<std::wstring> items;  // window captions as listed
    bool open = true;
    bool confirmed = false;  // closed by "确定"
    std::wstring activated;  // workbook activated by "确定", "" none
};

class PlatformSim;

// The order of the Window menu's numbered entries, which is Office's and not
// the strip's: the Workbooks collection's, its reverse, or by caption.
enum class WindowMenuOrder { Workbooks, Reverse, Alphabetical };

class World {
public:
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // ================= Excel: the application
    std::shared_ptr<excel::Application> Application();  // a fresh port object
    Platform& platform();
    WindowHandle MainWindow() const { return mainWindow_; }              // "XLMAIN"
    WindowHandle DockWindow(int32_t position = excel::msoBarTop) const;  // "EXCEL2" (0 left,1 top,2 right,3 bottom)
    WindowHandle DeskWindow() const { return deskWindow_; }              // "XLDESK"
    WindowHandle FormulaBarWindow() const { return formulaBar_; }        // "EXCEL6"
    WindowHandle CellEditWindow() const { return cellEdit_; }            // "EXCEL<"
    ModuleHandle ExcelInstance() const { return 0x30000000u; }
    uint32_t ExcelThreadId() const { return excelThreadId_; }
    void SetExcelThreadId(uint32_t id) { excelThreadId_ = id; }

    void SetVersion(const std::wstring& text) { version_ = text; }
    void SetVersionUnreadable(bool unreadable = true) { versionUnreadable_ = unreadable; }
    void SetExcelVisible(bool visible);
    bool ExcelVisible() const { return excelVisible_; }
    void ResizeMainWindow(int32_t width, int32_t height);
    void MoveMainWindow(int32_t x, int32_t y);
    void SetDoubleClickTime(uint32_t ms) { doubleClickTime_ = ms; }
    // While a cell, the formula bar or an edit box is being edited (the focus
    // is in an "EXCEL<", "EXCEL6" or "EDTBX" window), Excel refuses writes and
    // methods of its object model with 0x800A03EC; reads still work. On by
    // default; Office's command bars are not affected.
    void SetEditModeRefusal(bool on) { editModeRefusal_ = on; }
    bool Editing() const;
    // As in Excel, the edit is Excel's own state: it starts when the focus
    // enters an edit window and ends only by Excel's own actions (Enter, Esc,
    // a Window-menu entry, the window list's "确定"), not by a focus change.
    // Off: the edit lasts while the focus is in an edit window.
    void SetEditModeIsExcelsState(bool on) {
        editStateSticky_ = on;
        editing_ = false;
    }
    // Enter or Esc in the edit: it ends, the focus goes to the workbook's window.
    void PressEnter() { EndEdit(); }
    // Built-in Save, Save As, Close and New are refused while editing too;
    // on by default, as in Excel.
    void SetBuiltInsRefusedWhileEditing(bool on) { builtInRefusal_ = on; }
    // The save prompt and the Save As dialog run as modal loops for this
    // long: Excel's main window is disabled and the clock, with its timers,
    // moves on inside them. 0 (default): answered at once.
    void SetModalPromptTime(uint32_t ms) { modalPromptMs_ = ms; }
    struct ModalRecord {
        std::wstring what;  // "SavePrompt(a.xls)", "SaveAs(Book1)"
        std::wstring activeBefore, activeAfter;
        int32_t activateCalls = 0;  // Workbook.Activate calls inside the loop
    };
    const std::vector<ModalRecord>& ModalLoops() const { return modalLoops_; }
    // Runs inside each modal loop, e.g. the user's click on the strip.
    void OnModal(std::function<void(const std::wstring& what)> script) { onModal_ = std::move(script); }
    bool ScreenUpdating() const { return screenUpdating_; }

    // ================= Excel: workbooks (the user's actions)
    // Name = the file part; WorkbookOpen, then activation (WorkbookActivate).
    void OpenWorkbook(const std::wstring& fullName);
    // "BookN" (never saved, FullName = Name); NewWorkbook, then WorkbookActivate.
    std::wstring NewWorkbook();
    // Opened with its only window hidden (an add-in workbook); not activated, no events.
    void AddHiddenWorkbook(const std::wstring& fullName);
    // Opened hidden by a macro: WorkbookOpen, and no activation follows.
    void OpenHiddenWorkbook(const std::wstring& fullName);
    void ActivateByUser(const std::wstring& name);
    // The window's close box: WorkbookBeforeClose (Cancel honoured), save
    // prompt when dirty, close, activation of the next visible workbook.
    // True when the workbook was closed.
    bool CloseByUser(const std::wstring& name);
    void SetWindowVisible(const std::wstring& name, int32_t windowIndex, bool visible);  // 1-based
    void AddWindow(const std::wstring& name);  // captions become "a.xls:1", "a.xls:2"
    void RenameWorkbook(const std::wstring& oldName, const std::wstring& newFullName);  // as save-as does
    void SetDirty(const std::wstring& name, bool dirty = true);

    std::wstring ActiveWorkbookName() const;          // "" when none is active
    std::vector<std::wstring> WorkbookNames() const;  // collection order, hidden ones included
    std::vector<std::wstring> VisibleWorkbookNames() const;
    std::wstring FullNameOf(const std::wstring& name) const;
    bool IsDirty(const std::wstring& name) const;
    std::vector<std::wstring> WindowCaptions(const std::wstring& name) const;
    WindowHandle WorkbookWindowHandle(const std::wstring& name, int32_t windowIndex = 1) const;

    // Excel's prompts during built-in commands.
    void SetSaveAnswer(SaveAnswer answer) { saveAnswer_ = answer; }
    void QueueSaveAsName(const std::wstring& fullName) { saveAsQueue_.push_back(fullName); }
    void QueueSaveAsCancel() { saveAsQueue_.push_back(std::nullopt); }
    const std::vector<std::wstring>& SavePrompts() const { return savePrompts_; }      // workbook names asked about
    const std::vector<std::wstring>& SaveAsDialogs() const { return saveAsDialogs_; }  // workbook names
    const std::vector<std::wstring>& SavedWorkbooks() const { return saved_; }         // names as saved

    // ================= Excel: events
    int32_t AppEventSubscriptions() const { return static_cast<int32_t>(appSinks_.size()); }
    int32_t ClickSubscriptions() const;
    // What the last sink that threw during an event threw ("" none).
    const std::string& LastEventError() const { return lastEventError_; }
    // Event names as raised: "NewWorkbook(Book1)", "WorkbookActivate(a.xls)", ...
    const std::vector<std::wstring>& RaisedEvents() const { return raisedEvents_; }

    // ================= Office: command bars
    std::vector<BarInfo> Bars() const;
    std::optional<BarInfo> FindBar(const std::wstring& name) const;
    // The user clicks the control captioned `caption` on bar `barName`: Click
    // on every subscribed button with its Tag. Returns false when absent.
    bool ClickControl(const std::wstring& barName, const std::wstring& caption);
    // Runs while ShowPopup shows a bar, e.g. to click one of its entries.
    void OnPopup(std::function<void(const std::wstring& bar)> script) { onPopup_ = std::move(script); }
    const std::vector<PopupShown>& PopupsShown() const { return popups_; }
    // Commands as executed: "Close(a.xls)", "Save(Book1)", "SaveAs(Book1)",
    // "New(Book2)", "WindowMenu(&2 a.xls)", "MoreWindows", "NewWindow", "Hide",
    // and "Click(caption)" for a custom button run by Execute.
    const std::vector<std::wstring>& ExecutedCommands() const { return executed_; }

    // The Window menu: numbered entries "&1 a.xls" for visible windows, at most
    // `limit`, then "其他窗口(&M)..." when windows are left out. A literal '&'
    // shows doubled ("&1 R&&D.xls"). The window-list dialog lists full captions.
    void SetWindowMenuLimit(int32_t limit) { windowMenuLimit_ = limit; }
    void SetWindowMenuOrder(WindowMenuOrder order) { windowMenuOrder_ = order; }
    void SetShowExtensions(bool show) { showExtensions_ = show; }  // false: captions without extension
    std::vector<std::wstring> WindowMenuCaptions();

    // The window-list dialog opened by "其他窗口(&M)...".
    void SetWindowListTitle(const std::wstring& title) { windowListTitle_ = title; }  // "激活" or "活动文档"
    // Excel in another language: the Window menu's "more windows" entry.
    void SetMoreWindowsCaption(const std::wstring& caption) { moreWindowsCaption_ = caption; }
    // The list shows the captions as the Window menu does (no extensions
    // where Windows hides them) instead of full names.
    void SetWindowListLikeMenu(bool on) { windowListLikeMenu_ = on; }
    // The workbook's windows are left out of the list.
    void LeaveOutOfWindowList(const std::wstring& name) { leftOutOfWindowList_.insert(name); }
    void SetWindowListItemState(const std::wstring& caption, uint32_t state) { itemStates_[caption] = state; }
    // Runs after the dialog's activation when it is still open (the user's turn).
    void OnWindowListDialog(std::function<void(WindowHandle dialog)> script) { onWindowList_ = std::move(script); }
    WindowHandle OpenWindowListDialog() const;  // 0 when none is open
    void CloseWindowListDialog(bool ok);        // the user presses "确定" or "取消"
    const std::vector<WindowListDialogRecord>& WindowListDialogs() const { return windowLists_; }
    std::shared_ptr<AccessibleSim> WindowListAccessible() const { return windowListTree_; }

    // While on, Office creates no window for a bar it shows (the add-in's own
    // bars only); turning it off creates the windows it held back.
    void SetBarWindowsLate(bool late);

    // ================= calls and faults
    int32_t CallCount(const std::string& member) const;
    int64_t TotalCalls() const { return totalCalls_; }
    void ResetCallCounts();
    void EnableCallLog(bool on) { callLogOn_ = on; }
    const std::vector<std::string>& CallLog() const;
    // The same without building strings, for sweeps over long logs.
    size_t CallLogSize() const { return rawLog_.size(); }
    const char* CallAt(size_t index) const { return rawLog_.at(index); }
    void ClearCallLog() {
        rawLog_.clear();
        callLog_.clear();
    }
    void FailCall(const std::string& member) { failing_.insert(member); }
    void FailNthCall(int64_t n) { failAt_ = totalCalls_ + n; }  // 1 = the next call
    void ClearFaults();
    int64_t InjectedFaults() const { return injectedFaults_; }
    const char* LastFaultMember() const { return lastFault_; }  // "" before the first
    // Excel and Office port objects alive now (the test's own included).
    int64_t LiveHostReferences() const { return link_->liveHostProxies; }

    // ================= windows
    WindowHandle CreateWindow(const std::wstring& className, const std::wstring& title, WindowHandle parent,
                              uint32_t style = 0, bool visible = true);
    void DestroyWindow(WindowHandle hwnd);  // children too
    bool IsWindow(WindowHandle hwnd) const;
    const WindowModel* Window(WindowHandle hwnd) const;             // nullptr when destroyed or unknown
    std::vector<WindowHandle> Children(WindowHandle parent) const;  // 0 = top-level
    void FocusWindow(WindowHandle hwnd);                            // HCBT_SETFOCUS to the hooks, then focus
    WindowHandle FocusedWindow() const { return focus_; }
    void ActivateWindow(WindowHandle hwnd);  // HCBT_ACTIVATE to the hooks, then active
    WindowHandle ActiveWindow() const { return active_; }
    void AttachAccessible(WindowHandle hwnd, std::shared_ptr<AccessibleSim> tree);
    WindowHandle LockedWindow() const { return locked_; }
    const std::vector<LockCall>& LockHistory() const { return lockHistory_; }

    // ================= clock, timers, message pump
    uint32_t Now() const { return static_cast<uint32_t>(clock_) + tickOffset_; }  // GetTickCount
    void SetTickCount(uint32_t tick) { tickOffset_ = tick - static_cast<uint32_t>(clock_); }
    void Advance(uint32_t ms);  // fires due timers in order of due time
    void Tick() { Advance(10); }
    std::vector<std::uintptr_t> LiveTimers() const;
    // Timer procedures called so far: the thread's wake-ups for timers.
    int64_t TimerFirings() const { return timerFirings_; }
    void QueueOnDoEvents(std::function<void()> action) { doEventsQueue_.push_back(std::move(action)); }
    int32_t DoEventsCalls() const { return doEventsCalls_; }
    // Exceptions that reached the world from a timer proc, hook proc, event
    // sink or form event, where nothing may escape; also an about dialog whose
    // window was never destroyed (its modal loop would not return). Must stay empty.
    const std::vector<std::string>& EscapedExceptions() const { return escaped_; }

    // ================= hooks
    std::vector<HookModel> InstalledHooks() const { return hooks_; }
    const std::vector<NextHookCall>& NextHookCalls() const { return nextHookCalls_; }
    void SetNextHookResult(std::intptr_t result) { nextHookResult_ = result; }
    // When on (default), SetWindowsHookExA fails for a thread other than Excel's.
    void SetHookThreadCheck(bool on) { hookThreadCheck_ = on; }

    // ================= registry (HKEY_CURRENT_USER; paths without the root)
    void SetRegistryValue(const std::wstring& path, const std::wstring& name, uint32_t type,
                          const std::vector<uint8_t>& data);
    void SetRegistryString(const std::wstring& path, const std::wstring& name,
                           const std::wstring& text);  // REG_SZ with NUL
    std::optional<RegValue> RegistryValue(const std::wstring& path, const std::wstring& name) const;
    void CreateRegistryKey(const std::wstring& path);
    void DeleteRegistryKey(const std::wstring& path);
    bool KeyExists(const std::wstring& path) const;
    int32_t OpenRegistryKeys() const { return static_cast<int32_t>(regHandles_.size()); }

    // ================= files, resources, processes, shell
    void SetSystemDirectory(const std::wstring& dir) { systemDir_ = dir; }
    void SetWindowsDirectory(const std::wstring& dir) { windowsDir_ = dir; }
    // The machine's; GetWindowsDirectory's differs on a terminal server.
    void SetSystemWindowsDirectory(const std::wstring& dir) { systemWindowsDir_ = dir; }
    const std::wstring& SystemDirectory() const { return systemDir_; }
    void SetFile(const std::wstring& path, std::vector<uint8_t> bytes, uint32_t attributes = file_attr::Normal);
    // Nothing below this folder can be written, as the system directory for
    // a user without administrator rights.
    void ProtectFolder(const std::wstring& dir) { protectedFolders_.push_back(dir); }
    bool Writable(const std::wstring& path) const;
    void SetAppDataDirectory(const std::wstring& dir) { appDataDir_ = dir; }
    const std::wstring& AppDataDirectory() const { return appDataDir_; }
    std::optional<std::vector<uint8_t>> FileBytes(const std::wstring& path) const;
    std::optional<uint32_t> FileAttributes(const std::wstring& path) const;
    int32_t FileWrites() const { return fileWrites_; }
    void SetResource(const std::wstring& type, int32_t id, std::vector<uint8_t> bytes);
    const std::vector<ProcessStart>& ProcessStarts() const { return processes_; }
    // The started process's effect; returns false to make the start fail.
    void OnStartProcess(std::function<bool(const ProcessStart&)> effect) { onStartProcess_ = std::move(effect); }
    const std::vector<ShellExecuteCall>& ShellExecutes() const { return shellExecutes_; }
    void SetTwipsPerPixel(int32_t x, int32_t y) {
        twipsX_ = x;
        twipsY_ = y;
    }

    // ================= accessibility
    std::shared_ptr<AccessibleSim> MakeAccessible(const std::wstring& name, int32_t role, uint32_t state = 0);

    // ================= forms
    // False: the tab control cannot be created through its COM registration
    // (TabSeclect() throws). A module file named by the add-in is loaded
    // without registration when it exists and `loadable` says so.
    void SetTabControlCreatable(bool creatable) { tabControlCreatable_ = creatable; }
    void SetControlModuleLoadable(std::function<bool(const std::vector<uint8_t>&)> loadable) {
        controlModuleLoadable_ = std::move(loadable);
    }
    bool TabControlCreatable() const { return tabControlCreatable_; }
    // The module file the last tab form's control was created from ("" through COM).
    const std::wstring& LastControlModule() const { return lastControlModule_; }
    int32_t LiveFormWindows() const { return liveForms_; }
    int32_t TabFormsCreated() const { return tabFormsCreated_; }
    // The control of the most recently created tab form that is still alive.
    TabControlSim* Tabs() const;
    WindowHandle TabFormWindow() const;  // 0 when none is alive

    // Shortcuts to Tabs(). The user cannot click what is not shown: they do
    // nothing and answer false when there is no strip or no such tab.
    bool ClickTab(int32_t index, int16_t button = 1);
    bool ClickEmpty(int16_t button = 1);
    bool DoubleClickTab(int32_t index, uint32_t interval = 100);
    std::vector<std::wstring> TabCaptions() const;
    std::vector<std::wstring> TabToolTips() const;
    int32_t SelectedTab() const;  // -1 none

    void OnAboutDialog(std::function<void(AboutDialogSim&)> script) { onAbout_ = std::move(script); }
    const std::vector<AboutShown>& AboutDialogsShown() const { return aboutShown_; }

    // ================= internal: used by the port objects
    void Touch(const char* member);
    const Link& link() const { return link_; }
    void RecordEscaped(const std::string& where);

private:
    friend class PlatformSim;
    friend class ApplicationPort;
    friend class WorkbooksPort;
    friend class WorkbookPort;
    friend class CommandBarsPort;
    friend class CommandBarPort;
    friend class CommandBarControlsPort;
    friend class CommandBarControlPort;
    friend class AppEventSubscription;
    friend class ClickSubscription;
    friend class TabFormWindowSim;
    friend class AboutFormWindowSim;

    // --- Excel internals (excel_sim.cpp)
    struct AppSinkEntry {
        excel::AppEventSink* sink;
        int64_t id;
    };
    struct ClickSinkEntry {
        excel::ButtonClickSink* sink;
        std::shared_ptr<ControlModel> control;
        int64_t id;
    };
    void BuildExcel();
    std::wstring NextBookName();
    std::shared_ptr<WorkbookModel> FindWorkbook(const std::wstring& name) const;
    std::shared_ptr<WorkbookModel> RequireWorkbook(const std::wstring& name) const;  // test misuse: logic_error
    std::shared_ptr<WorkbookModel> AddWorkbook(const std::wstring& fullName, bool everSaved, bool visible);
    void Activate(std::shared_ptr<WorkbookModel> wb, bool raise);
    void ActivateNextVisible();
    bool CloseWorkbook(const std::shared_ptr<WorkbookModel>& wb);
    bool SaveWorkbook(const std::shared_ptr<WorkbookModel>& wb, bool forceDialog);
    void Rename(const std::shared_ptr<WorkbookModel>& wb, const std::wstring& newFullName);
    void SyncWorkbookWindows(const std::shared_ptr<WorkbookModel>& wb);
    std::wstring CaptionOf(const WorkbookModel& wb, size_t windowIndex, bool fullName = false) const;
    void RefuseWhileEditing() const;
    void EndEdit();
    void NoteFocus(WindowHandle hwnd);
    void RunModal(const std::wstring& what);
    std::shared_ptr<WorkbookModel> ActiveWorkbook() const;
    void RaiseNewWorkbook(const std::shared_ptr<WorkbookModel>& wb);
    void RaiseWorkbookOpen(const std::shared_ptr<WorkbookModel>& wb);
    void RaiseWorkbookActivate(const std::shared_ptr<WorkbookModel>& wb);
    bool RaiseBeforeClose(const std::shared_ptr<WorkbookModel>& wb);  // true = cancelled
    void RefreshWindowMenu();
    void OpenWindowList();
    void FinishWindowList(bool ok);
    void LayoutExcel();
    std::shared_ptr<excel::Workbook> WorkbookPortFor(const std::shared_ptr<WorkbookModel>& wb);
    std::shared_ptr<excel::CommandBarControl> ControlPortFor(const std::shared_ptr<ControlModel>& c);
    std::shared_ptr<excel::CommandBar> BarPortFor(const std::shared_ptr<BarModel>& b);
    std::shared_ptr<BarModel> FindBarModel(const std::wstring& name) const;
    void UpdateBarWindow(const std::shared_ptr<BarModel>& bar);
    void DeleteBar(const std::shared_ptr<BarModel>& bar);
    std::shared_ptr<ControlModel> FindControlModel(std::optional<int32_t> type, std::optional<int32_t> id,
                                                   std::optional<std::wstring> tag) const;
    void ExecuteControl(const std::shared_ptr<ControlModel>& c);
    bool RaiseClick(const std::shared_ptr<ControlModel>& clicked);  // true = CancelDefault
    void ShowPopup(const std::shared_ptr<BarModel>& bar);

    // --- platform internals (platform_sim.cpp)
    WindowModel* Win(WindowHandle h);
    const WindowModel* Win(WindowHandle h) const;
    bool Visible(WindowHandle h) const;  // itself and every ancestor
    void RunCbtHooks(int32_t code, std::uintptr_t wParam);
    void Maximize(WindowModel& w);
    std::wstring RegPath(RegKey key, const std::wstring& subKey, bool& ok) const;

    Link link_;
    std::unique_ptr<PlatformSim> platform_;

    // call counting and faults
    std::map<std::string, int32_t> calls_;             // node-stable: slots_ points into it
    std::unordered_map<const char*, int32_t*> slots_;  // by literal address: no string per call
    int64_t totalCalls_ = 0;
    bool callLogOn_ = false;
    std::vector<const char*> rawLog_;           // cheap to append in long loops
    mutable std::vector<std::string> callLog_;  // rawLog_ as strings, filled on demand
    std::set<std::string> failing_;
    int64_t failAt_ = -1;
    int64_t injectedFaults_ = 0;
    const char* lastFault_ = "";

    // Excel
    std::wstring version_ = L"11.0";
    bool versionUnreadable_ = false;
    bool excelVisible_ = true;
    bool screenUpdating_ = true;
    uint32_t doubleClickTime_ = 500;
    uint32_t excelThreadId_ = 0x0F00;
    WindowHandle mainWindow_ = 0;
    WindowHandle docks_[4] = {0, 0, 0, 0};
    WindowHandle deskWindow_ = 0;
    WindowHandle formulaBar_ = 0;
    WindowHandle cellEdit_ = 0;
    std::vector<std::shared_ptr<WorkbookModel>> workbooks_;
    std::vector<std::shared_ptr<WorkbookModel>> mru_;  // most recently active first
    std::shared_ptr<WorkbookModel> active_wb_;
    int32_t nextBookNumber_ = 1;
    SaveAnswer saveAnswer_ = SaveAnswer::DontSave;
    std::deque<std::optional<std::wstring>> saveAsQueue_;
    std::vector<std::wstring> savePrompts_;
    std::vector<std::wstring> saveAsDialogs_;
    std::vector<std::wstring> saved_;
    std::vector<AppSinkEntry> appSinks_;
    std::vector<ClickSinkEntry> clickSinks_;
    int64_t nextSinkId_ = 1;
    std::string lastEventError_;
    std::vector<std::wstring> raisedEvents_;

    // Office
    std::vector<std::shared_ptr<BarModel>> bars_;
    std::shared_ptr<ControlModel> windowMenu_;
    std::function<void(const std::wstring&)> onPopup_;
    std::vector<PopupShown> popups_;
    std::vector<std::wstring> executed_;
    int32_t windowMenuLimit_ = 9;
    WindowMenuOrder windowMenuOrder_ = WindowMenuOrder::Workbooks;
    std::vector<const WorkbookModel*> windowMenuBooks_;  // what the numbered entries stand for
    bool barWindowsLate_ = false;
    bool editModeRefusal_ = true;
    bool editStateSticky_ = false;
    bool editing_ = false;         // latched while editStateSticky_
    WindowHandle editWindow_ = 0;  // the window the edit runs in
    bool builtInRefusal_ = true;
    uint32_t modalPromptMs_ = 0;
    std::vector<ModalRecord> modalLoops_;
    bool showExtensions_ = true;
    std::wstring windowListTitle_ = L"激活";
    std::wstring moreWindowsCaption_ = L"其他窗口(&M)...";
    bool windowListLikeMenu_ = false;
    std::set<std::wstring> leftOutOfWindowList_;
    std::function<void(const std::wstring&)> onModal_;
    std::map<std::wstring, uint32_t> itemStates_;
    std::function<void(WindowHandle)> onWindowList_;
    std::vector<WindowListDialogRecord> windowLists_;
    std::shared_ptr<AccessibleSim> windowListTree_;
    std::vector<std::weak_ptr<WorkbookModel>> windowListBooks_;  // by child id - 1
    int32_t windowListChosen_ = 1;

    // windows
    std::map<WindowHandle, WindowModel> windows_;  // handle order = creation order
    WindowHandle nextWindow_ = 0x10010;
    WindowHandle focus_ = 0;
    WindowHandle active_ = 0;
    WindowHandle locked_ = 0;
    std::vector<LockCall> lockHistory_;

    // clock and timers
    uint64_t clock_ = 0;             // virtual milliseconds; never wraps
    uint32_t tickOffset_ = 1000000;  // GetTickCount = low 32 bits of clock_ + offset
    std::vector<TimerModel> timers_;
    std::uintptr_t nextTimerId_ = 0x7F01;
    int64_t timerFirings_ = 0;
    std::deque<std::function<void()>> doEventsQueue_;
    int32_t doEventsCalls_ = 0;
    std::vector<std::string> escaped_;

    // hooks
    std::vector<HookModel> hooks_;
    HookHandle nextHook_ = 0x00A10001;
    std::vector<NextHookCall> nextHookCalls_;
    std::intptr_t nextHookResult_ = 0;
    bool hookThreadCheck_ = true;

    // registry: lower-cased key path -> (lower-cased value name -> value)
    struct RegKeyModel {
        std::map<std::wstring, RegValue> values;
    };
    std::map<std::wstring, RegKeyModel> registry_;
    std::map<RegKey, std::wstring> regHandles_;
    RegKey nextRegHandle_ = 0x1000;

    // files and processes
    struct FileModel {
        std::vector<uint8_t> bytes;
        uint32_t attributes = file_attr::Normal;
    };
    std::map<std::wstring, FileModel> files_;  // lower-cased path
    int32_t fileWrites_ = 0;
    std::wstring systemDir_ = L"C:\\WINDOWS\\system32";
    std::wstring windowsDir_ = L"C:\\WINDOWS";
    std::wstring systemWindowsDir_ = L"C:\\WINDOWS";
    std::wstring appDataDir_ = L"C:\\Documents and Settings\\user\\Application Data";
    std::vector<std::wstring> protectedFolders_;
    std::map<std::pair<std::wstring, int32_t>, std::vector<uint8_t>> resources_;
    std::vector<ProcessStart> processes_;
    std::function<bool(const ProcessStart&)> onStartProcess_;
    std::vector<ShellExecuteCall> shellExecutes_;
    int32_t twipsX_ = 15;
    int32_t twipsY_ = 15;

    // forms
    bool tabControlCreatable_ = true;
    std::function<bool(const std::vector<uint8_t>&)> controlModuleLoadable_;
    std::wstring lastControlModule_;
    int32_t liveForms_ = 0;
    int32_t tabFormsCreated_ = 0;
    std::vector<std::pair<WindowHandle, std::shared_ptr<TabControlSim>>> tabForms_;
    std::function<void(AboutDialogSim&)> onAbout_;
    std::vector<AboutShown> aboutShown_;
};

}  // namespace tarnwick::sim
