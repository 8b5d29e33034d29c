// Internal model of the fake host: the objects of Excel's and Office's
// object model and the state they share.
#pragma once

#include "dispatch.h"
#include "fake_excel.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fakexl {

class WorkbookObject;
class WindowObject;
class CommandBarObject;
class ControlObject;
class ControlsObject;

// The IConnectionPointContainer half of an object with one outgoing interface.
class EventSource : public IConnectionPointContainer {
 public:
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

 protected:
  EventSource() = default;
  virtual ConnectionPoint* Point(REFIID riid) = 0;
  virtual Host* SourceHost() = 0;  // null once the host is gone
};

class AppObject : public DispObject, public EventSource {
 public:
  explicit AppObject(Host* host);
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return DispObject::QueryInterface(riid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefTracked(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseTracked(); }
  ConnectionPoint* events = nullptr;

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
  void* ExtraInterface(REFIID riid) override;
  ConnectionPoint* Point(REFIID riid) override;
  Host* SourceHost() override { return host_; }
};

class WorkbooksObject : public DispObject {
 public:
  explicit WorkbooksObject(Host* host);

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class WindowsObject : public DispObject {
 public:
  WindowsObject(Host* host, WorkbookObject* book);
  WorkbookObject* book;

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class WorkbookObject : public DispObject {
 public:
  WorkbookObject(Host* host, std::wstring name, std::wstring path);
  std::wstring name;      // "Book1" or "a.xls"
  std::wstring path;      // folder; empty while never saved
  bool dirty = false;
  std::vector<WindowObject*> windows;
  WindowsObject* windowsColl = nullptr;
  std::wstring FullName() const { return path.empty() ? name : path + L"\\" + name; }
  bool AnyVisible() const;

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class WindowObject : public DispObject {
 public:
  WindowObject(Host* host, WorkbookObject* book);
  WorkbookObject* book;
  bool visible = true;
  HWND hwnd = nullptr;
  int Number() const;
  std::wstring Caption() const;      // as Explorer's extension setting shows it
  std::wstring FullCaption() const;  // with the extension always

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class CommandBarsObject : public DispObject {
 public:
  explicit CommandBarsObject(Host* host);

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class ControlsObject : public DispObject {
 public:
  ControlsObject(Host* host, std::wstring label, ControlObject* popup);
  std::vector<ControlObject*> items;
  ControlObject* popup;  // the popup control owning it; null for a bar

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

class CommandBarObject : public DispObject {
 public:
  CommandBarObject(Host* host, std::wstring name);
  std::wstring name;
  int position = kBarFloating;
  int protection = 0;
  bool visible = false, enabled = true, temporary = false, builtIn = false, menuBar = false;
  HWND hwnd = nullptr;
  ControlsObject* controls = nullptr;

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
};

enum class ControlKind { Custom, BuiltIn, WindowEntry, MoreWindows, Other };

class ControlObject : public DispObject, public EventSource {
 public:
  ControlObject(Host* host, int type, int id);
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return DispObject::QueryInterface(riid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefTracked(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseTracked(); }

  int type, id;
  std::wstring caption, tag, parameter;
  bool enabled = true, visible = true;
  int width = 24;
  ControlKind kind = ControlKind::Custom;
  WindowObject* target = nullptr;     // for a Window menu entry
  ControlsObject* children = nullptr; // popups only
  ConnectionPoint* events = nullptr;  // buttons only

  ControlInfo Info() const;
  std::wstring Describe() const override { return L"Control \"" + caption + L"\""; }

 protected:
  const std::vector<Member>& Members() const override;
  HRESULT Call(Request& r) override;
  void* ExtraInterface(REFIID riid) override;
  ConnectionPoint* Point(REFIID riid) override;
  Host* SourceHost() override { return host_; }
};

struct Failure {
  HRESULT hr;
  int times;  // < 0: always
};

struct Host {
  Host(FakeExcel* owner, Options options);
  ~Host();

  FakeExcel* owner;
  Options opt;
  bool ownsOle = false;

  // Windows.
  HWND main = nullptr, desk = nullptr, formulaBar = nullptr, inCell = nullptr;
  HWND docks[4] = {};  // Dock order: top, bottom, left, right
  std::vector<HWND> editBoxes;
  void CreateWindows();
  void Layout();
  void SyncBarWindow(CommandBarObject* bar);
  void SyncWorkbookWindows();
  void UpdateCaption();
  std::optional<int> RunActivateDialog(const std::vector<std::wstring>& items);

  // Objects.
  std::vector<std::unique_ptr<Tracked>> owned;
  std::vector<Tracked*> live;
  template <class T, class... A>
  T* Make(A&&... args) {
    auto p = std::make_unique<T>(this, std::forward<A>(args)...);
    T* raw = p.get();
    owned.push_back(std::move(p));
    return raw;
  }
  AppObject* app = nullptr;
  WorkbooksObject* workbooksColl = nullptr;
  CommandBarsObject* barsColl = nullptr;
  std::vector<WorkbookObject*> books;
  std::vector<WindowObject*> zorder;  // most recently active first
  std::vector<CommandBarObject*> bars;
  ControlObject* windowMenu = nullptr;
  int booksCreated = 0;
  bool screenUpdating = true;
  std::vector<bool> screenUpdatingHistory;

  WorkbookObject* FindBook(const std::wstring& name) const;
  CommandBarObject* FindBar(const std::wstring& name) const;
  WindowObject* ActiveWindow() const;
  WorkbookObject* ActiveBook() const;
  WorkbookObject* AddBook(const std::wstring& name, const std::wstring& path, bool visible);
  WindowObject* AddWindowTo(WorkbookObject* book);
  void ActivateWindow(WindowObject* w);
  void SetWindowVisible(WindowObject* w, bool visible);
  void RaiseApp(DISPID id, const wchar_t* name, WorkbookObject* book, VARIANT_BOOL* cancel = nullptr);
  std::wstring NextBookName();
  WorkbookObject* NewBook();
  void Open(const std::wstring& fullName, bool hidden);
  bool Close(WorkbookObject* book);
  bool Save(WorkbookObject* book, bool saveAs);
  HRESULT Execute(ControlObject* c, std::wstring* error);
  HRESULT RunBuiltIn(int id, std::wstring* error);
  void RaiseClick(ControlObject* clicked);
  void ShowPopup(CommandBarObject* bar);
  void RefreshWindowMenu();
  std::vector<WindowObject*> VisibleWindowsInOrder() const;
  void DeleteBar(CommandBarObject* bar);
  void ForEachControl(const std::function<bool(ControlObject*, CommandBarObject*)>& f) const;
  ControlObject* NewControl(int type, int id);
  BarInfo Info(const CommandBarObject* bar) const;

  // Prompts.
  std::deque<SaveAnswer> savePrompts;
  std::optional<SaveAnswer> defaultSavePrompt;
  std::deque<std::optional<std::wstring>> saveAsAnswers;
  std::optional<std::wstring> defaultSaveAs;
  bool hasDefaultSaveAs = false;
  std::map<int, long> dialogItemStates;
  std::vector<std::wstring> dialogOmitted;
  std::function<void(HWND)> dialogScript;
  std::function<void(FakeExcel&, const PopupRecord&)> popupScript;

  // Records.
  std::vector<std::wstring> unexpected, events, commands, sinkFailures;
  std::vector<PopupRecord> popups;
  long invokes = 0, idsOfNames = 0;
  std::map<std::pair<const wchar_t*, const Member*>, long> memberCalls;
  std::map<std::wstring, Failure> failures;  // key upper-cased
  int failNext = 0;
  HRESULT failNextHr = S_OK;
  bool ShouldFail(const std::wstring& member, HRESULT* hr);
  bool Editing() const;  // Excel is editing: refuses writes and methods
  bool FocusInEditWindow(bool cellWindows) const;

  // Excel's own edit state (Options::editingIsExcelState).
  bool editing = false;
  HWND editWindow = nullptr;
  bool editCommitFails = false;
  void BeginEdit(HWND window);
  void EndEditAt(WindowObject* w);  // the focus goes to w's window

  // Modal prompts: the innermost one's record while it runs.
  std::vector<ModalRecord> modalPrompts;
  ModalRecord* currentModal = nullptr;
  std::function<void(FakeExcel&, const ModalRecord&)> modalScript;
  void RunModalPrompt(const std::wstring& kind, WorkbookObject* book);
  void Unexpected(const std::wstring& what) { unexpected.push_back(what); }
};

// Destroys a top-level window without first hiding it (see windows.cpp).
void DestroyTopLevel(HWND hwnd);

struct Sizes {
  static constexpr int kBarRow = 26;
  static constexpr int kFormulaBar = 20;
};

}  // namespace fakexl

namespace fakexl {
struct FakeExcel::Impl : Host {
  using Host::Host;
};
}  // namespace fakexl
