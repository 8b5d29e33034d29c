// A stand-in for Excel 2002/2003 as the add-in sees it: an STA host on the
// test's thread with real windows of Excel's classes, the object model as
// hand-written IDispatch objects, application and button events through
// connection points, and Excel's built-in workbook commands.
//
// Everything runs on the thread that created the FakeExcel; COM calls made
// by the add-in are counted and checked, and anything the host does not
// know (a member name, a DISPID, a put on a read-only property) is recorded
// in UnexpectedCalls() instead of being silently accepted.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fakexl {

// DISPIDs the host answers. The add-in reaches most members by name; these
// are exposed so tests can call by DISPID too. Window.Visible and
// Windows.Count are fixed by Excel, the rest are Excel's own where known.
namespace dispid {
constexpr DISPID kValue = 0;           // DISPID_VALUE: Item on collections
constexpr DISPID kNewEnum = -4;        // DISPID_NEWENUM
constexpr DISPID kApplication = 0x94;
constexpr DISPID kName = 0x6E;
constexpr DISPID kCount = 0x76;        // Windows.Count is called by this id
constexpr DISPID kItem = 0xAA;
constexpr DISPID kVersion = 0x188;
constexpr DISPID kVisible = 0x22E;     // Window.Visible is called by this id
constexpr DISPID kHwnd = 0x7E1;
constexpr DISPID kHinstance = 0x7E2;
constexpr DISPID kWorkbooks = 0x23C;
constexpr DISPID kActiveWorkbook = 0x134;
constexpr DISPID kCommandBars = 0x59F;
constexpr DISPID kScreenUpdating = 0x17E;
constexpr DISPID kFullName = 0x121;
constexpr DISPID kActivate = 0x130;
constexpr DISPID kWindows = 0x1AE;
constexpr DISPID kSaved = 0x12A;
constexpr DISPID kCaption = 0x8B;
constexpr DISPID kWindowNumber = 0x45F;
// Office command bars.
constexpr DISPID kAdd = 0x60030003;
constexpr DISPID kFindControl = 0x60030007;
constexpr DISPID kControls = 0x60030005;
constexpr DISPID kDelete = 0x60030006;
constexpr DISPID kEnabled = 0x60030008;
constexpr DISPID kPosition = 0x60030009;
constexpr DISPID kProtection = 0x6003000A;
constexpr DISPID kShowPopup = 0x6003000B;
constexpr DISPID kTag = 0x6003000C;
constexpr DISPID kParameter = 0x6003000D;
constexpr DISPID kWidth = 0x6003000E;
constexpr DISPID kId = 0x6003000F;
constexpr DISPID kExecute = 0x60030010;
constexpr DISPID kType = 0x60030011;
constexpr DISPID kBuiltIn = 0x60030012;
constexpr DISPID kIndex = 0x60030013;
constexpr DISPID kBarVisible = 0x60030014;  // CommandBar/Control.Visible
// Event DISPIDs the host raises.
constexpr DISPID kNewWorkbookEvent = 0x61D;
constexpr DISPID kWorkbookOpenEvent = 0x61F;
constexpr DISPID kWorkbookActivateEvent = 0x620;
constexpr DISPID kWorkbookDeactivateEvent = 0x621;
constexpr DISPID kWorkbookBeforeCloseEvent = 0x622;
constexpr DISPID kClickEvent = 1;
}  // namespace dispid

// {00024413-0000-0000-C000-000000000046}
extern const IID DIID_AppEvents;
// {000C0351-0000-0000-C000-000000000046}
extern const IID DIID_CommandBarButtonEvents;

// Built-in control ids.
constexpr int kCmdSave = 3;
constexpr int kCmdClose = 106;
constexpr int kCmdSaveAs = 748;
constexpr int kCmdNew = 2520;
constexpr int kWindowMenu = 30009;

// Office bar positions.
enum BarPosition { kBarLeft = 0, kBarTop = 1, kBarRight = 2, kBarBottom = 3, kBarFloating = 4, kBarPopup = 5 };

enum class SaveAnswer { Save, DontSave, Cancel };
enum class Dock { Top, Bottom, Left, Right };
enum class EditWindow { FormulaBar, InCell };  // "EXCEL6", "EXCEL<"
// The order of the Window menu's numbered entries, which is Office's and not
// the strip's: the Workbooks collection's, its reverse, or by caption.
enum class WindowMenuOrder { Workbooks, Reverse, Alphabetical };

struct Options {
  std::wstring version = L"11.0";
  bool versionFails = false;         // reading Application.Version fails
  bool visible = true;
  int left = 0, top = 0, width = 800, height = 600;
  int initialWorkbooks = 1;          // "Book1".. open before anyone connects
  std::wstring activateDialogTitle = L"激活";  // or L"活动文档"
  int windowMenuLimit = 9;           // numbered entries listed in the Window menu
  bool hideExtensions = false;       // captions without ".xls", as with Explorer's setting
  WindowMenuOrder windowMenuOrder = WindowMenuOrder::Workbooks;
  // While the focus is in an edit window ("EXCEL<", "EXCEL6", "EDTBX"),
  // Excel refuses puts and methods of its object model with 0x800A03EC;
  // reads work, and Office's command bars are not affected.
  bool editModeRefusal = true;
  DWORD dialogTimeoutMs = 5000;      // a modal dialog nobody answers is cancelled
  // Excel's save prompt (built-in Close of a changed workbook) and Save As
  // dialog (Save of a never-saved workbook, Save As) are modal: for this
  // long a message loop runs with the main window disabled, then the
  // prepared answer is taken. 0: answered at once.
  DWORD modalPromptMs = 0;
  // Editing is Excel's own state: begun by FocusEditWindow, ended only by
  // Excel's actions (EndEdit, a Window-menu entry, the window-list dialog's
  // 确定); moving the focus elsewhere does not end it, and focusing the
  // main window puts the focus back into the edit. Off: editing is wherever
  // the focus is.
  bool editingIsExcelState = false;
  // While editing, built-in Save, Close, Save As and New refuse to run
  // (Execute fails with 0x800A03EC), as Excel greys them.
  bool refuseBuiltInsWhileEditing = true;
  // The window-list dialog shows captions as the Window menu does, without
  // extensions when they are hidden. Off: always with extensions.
  bool dialogListsMenuCaptions = false;
  std::wstring moreWindowsCaption = L"其他窗口(&M)...";
};

// One of Excel's modal prompts as it ran: what was active around it, and
// what the add-in did to Excel's object model while it was up.
struct ModalRecord {
  std::wstring kind;      // L"SavePrompt" or L"SaveAs"
  std::wstring workbook;  // the workbook asked about
  std::wstring activeBefore, activeAfter;
  bool mainDisabled = false;        // Excel's window was disabled inside
  int timerTicks = 0;               // thread-timer messages dispatched inside
  std::vector<std::wstring> calls;  // "Workbook.Activate", "put Application.ScreenUpdating", ...
};

struct ControlInfo {
  std::wstring caption, tag, parameter;
  int id = 0, type = 1, width = 0;
  bool enabled = true, visible = true, builtIn = false;
};

struct BarInfo {
  std::wstring name;
  int position = kBarFloating, protection = 0;
  bool visible = false, enabled = true, temporary = false, builtIn = false, menuBar = false;
  HWND window = nullptr;
  std::vector<ControlInfo> controls;
};

struct WindowInfo {
  std::wstring caption;
  bool visible = true;
  HWND window = nullptr;  // its "EXCEL7" window while visible
};

struct WorkbookInfo {
  std::wstring name, fullName;
  bool dirty = false;
  std::vector<WindowInfo> windows;
};

struct PopupRecord {
  std::wstring bar;
  std::vector<ControlInfo> controls;  // caption and enabled as shown
};

struct LiveObject {
  std::wstring object;
  long refs;
};

class FakeExcel {
 public:
  explicit FakeExcel(Options options = {});
  ~FakeExcel();
  FakeExcel(const FakeExcel&) = delete;
  FakeExcel& operator=(const FakeExcel&) = delete;

  // The Application object, borrowed: not AddRef'd and not counted.
  IDispatch* Application();

  // Message pumping on the host thread.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
  void PumpFor(DWORD ms);

  // Windows.
  HWND MainWindow() const;
  HWND DockWindow(Dock dock) const;
  HWND DeskWindow() const;
  HWND BarWindow(const std::wstring& bar) const;  // null when it has none
  HWND FocusEditWindow(EditWindow which);         // SetFocus on it; returns it
  HWND CreateEditBox(HWND parent = nullptr);      // an "EDTBX", not focused
  void FocusWindow(HWND window);
  // The user presses Enter or Esc: the edit ends and the focus goes to the
  // active workbook's window.
  void EndEdit();
  // The edit holds an entry Excel will not take (a formula with an error):
  // a Window-menu entry or the dialog's 确定 then leaves it going and
  // switches nothing.
  void SetEditCommitFails(bool fails);
  bool Editing() const;  // as Excel's object model sees it now
  void ResizeMainWindow(int width, int height);
  void MoveMainWindow(int left, int top);
  void SetVisible(bool visible);                  // as Application.Visible

  // Workbooks, as the user (or another program) changes them. These raise
  // the application events Excel raises for the same action.
  void OpenWorkbook(const std::wstring& fullName, bool hidden = false);
  std::wstring CreateWorkbook();                  // like New: returns "BookN"
  bool CloseWorkbook(const std::wstring& name);   // false when cancelled
  void ActivateWorkbook(const std::wstring& name, int window = 1);
  void HideWorkbook(const std::wstring& name);    // all its windows
  void ShowWorkbook(const std::wstring& name, bool activate = true);
  void SetWindowVisible(const std::wstring& name, int window, bool visible);
  void RenameWorkbook(const std::wstring& name, const std::wstring& newFullName);
  void AddWindow(const std::wstring& name);       // "New Window": Book1:1, Book1:2
  void SetDirty(const std::wstring& name, bool dirty);
  bool RunCommand(int id);                        // a built-in control, as clicked

  // Command bars as the user changes them.
  void HideBar(const std::wstring& name);
  void ShowBar(const std::wstring& name);
  void DeleteBar(const std::wstring& name);
  // Clicks the first control with this caption on the bar (raises Click on
  // every subscribed button sharing its Tag). False when there is none.
  bool ClickControl(const std::wstring& bar, const std::wstring& caption);

  // Answers to Excel's prompts, consumed in order; when the queue is empty
  // the default is used, and with no default the prompt is cancelled and
  // recorded as unexpected.
  void QueueSavePromptAnswer(SaveAnswer answer);
  void SetDefaultSavePromptAnswer(std::optional<SaveAnswer> answer);
  void QueueSaveAsAnswer(std::optional<std::wstring> fullName);  // nullopt = cancel
  void SetDefaultSaveAsAnswer(std::optional<std::wstring> fullName);
  // The Window menu is a snapshot taken whenever Excel's windows change, as
  // Office refreshes it; a literal '&' shows doubled ("&1 R&&D.xls"). The
  // "激活" dialog lists full captions.
  void SetWindowMenuLimit(int entries);
  void SetWindowMenuOrder(WindowMenuOrder order);
  void SetHideExtensions(bool hide);
  void SetActivateDialogTitle(const std::wstring& title);
  // Fixed accessible state for item `index` (0-based) of the "激活" dialog.
  void SetActivateDialogItemState(int index, long state);
  // Entries left out of the dialog's list (by the caption it would show).
  void OmitActivateDialogItem(const std::wstring& caption);
  // Called with the dialog window once its modal loop runs.
  void SetActivateDialogScript(std::function<void(HWND)> script);
  // Called once inside each modal prompt's loop.
  void SetModalPromptScript(std::function<void(FakeExcel&, const ModalRecord&)> script);
  // Called while a popup is "open", after it has been recorded.
  void SetPopupScript(std::function<void(FakeExcel&, const PopupRecord&)> script);

  // Faults. Names are "Type.Member" as in "Workbooks.Item" or "Window.Visible"
  // (case-insensitive); times < 0 means every call.
  void FailMember(const std::wstring& name, HRESULT hr = DISP_E_EXCEPTION, int times = -1);
  void FailNextCalls(int count, HRESULT hr = DISP_E_EXCEPTION);
  void ClearFailures();

  // Inspection.
  std::optional<std::wstring> ActiveWorkbook() const;
  std::vector<WorkbookInfo> Workbooks() const;
  std::vector<BarInfo> Bars() const;
  std::optional<BarInfo> Bar(const std::wstring& name) const;
  // Built-in commands run, in order: L"106", L"3", L"748", L"2520",
  // L"window:&1 Book1" for a Window menu entry, L"more-windows".
  // A built-in refused while editing shows as L"refused:3".
  std::vector<std::wstring> Commands() const;
  std::vector<ModalRecord> ModalPrompts() const;
  // Application events and clicks raised, in order, as L"WorkbookActivate:Book2"
  // or L"Click:<caption>"; the window-list dialog adds L"DialogButton:确定"
  // (or 取消, or nothing for a close) before L"DialogClosed:<title>".
  std::vector<std::wstring> Events() const;
  void ClearEvents();
  std::vector<PopupRecord> Popups() const;
  std::vector<bool> ScreenUpdatingHistory() const;  // values put, in order
  bool ScreenUpdating() const;
  std::vector<std::wstring> UnexpectedCalls() const;
  std::vector<std::wstring> SinkFailures() const;   // failing event HRESULTs
  int AppEventSinks() const;
  // The first application event sink, AddRef'd: a client may hold one longer than the add-in does.
  IDispatch* HoldAppEventSink() const;
  int ButtonEventSinks() const;

  // References held outside the host on objects it handed out.
  long OutstandingReferences() const;
  std::vector<LiveObject> LiveObjects() const;  // those with refs > 0

  long InvokeCount() const;
  long GetIDsOfNamesCount() const;
  long MemberCalls(const std::wstring& name) const;  // "Type.Member"
  void ResetCallCounts();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace fakexl
