// Workbooks, activation, built-in commands and command-bar behaviour of the
// fake host, with Excel's event order.
#include "host.h"

#include <algorithm>

namespace fakexl {

namespace d = dispid;

const IID DIID_AppEvents = {0x00024413, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID DIID_CommandBarButtonEvents = {0x000C0351, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {
struct BuiltIn {
  int id;
  const wchar_t* caption;
};
constexpr BuiltIn kBuiltIns[] = {
    {kCmdNew, L"新建(&N)..."},
    {kCmdClose, L"关闭(&C)"},
    {kCmdSave, L"保存(&S)"},
    {kCmdSaveAs, L"另存为(&A)..."},
};
const wchar_t* BuiltInCaption(int id) {
  for (const BuiltIn& b : kBuiltIns) {
    if (b.id == id) return b.caption;
  }
  return nullptr;
}
constexpr const wchar_t* kWindowMenuFixed[] = {L"新建窗口(&N)", L"重排窗口(&A)...", L"隐藏(&H)", L"取消隐藏(&U)..."};

void SplitFullName(const std::wstring& fullName, std::wstring* path, std::wstring* name) {
  size_t slash = fullName.find_last_of(L"\\/");
  if (slash == std::wstring::npos) {
    path->clear();
    *name = fullName;
  } else {
    *path = fullName.substr(0, slash);
    *name = fullName.substr(slash + 1);
  }
}

std::wstring Upper(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// Excel's "cannot do this while editing" error, as the object model reports it.
constexpr HRESULT kRefusedWhileEditing = static_cast<HRESULT>(0x800A03EC);
}  // namespace

Host::Host(FakeExcel* o, Options options) : owner(o), opt(std::move(options)) {
  HRESULT hr = OleInitialize(nullptr);
  ownsOle = SUCCEEDED(hr);
  app = Make<AppObject>();
  workbooksColl = Make<WorkbooksObject>();
  barsColl = Make<CommandBarsObject>();
  CreateWindows();

  auto* menu = Make<CommandBarObject>(L"Worksheet Menu Bar");
  menu->builtIn = true;
  menu->menuBar = true;
  menu->position = kBarTop;
  menu->visible = true;
  bars.push_back(menu);
  ControlObject* file = NewControl(10, 30002);
  file->caption = L"文件(&F)";
  file->kind = ControlKind::BuiltIn;
  for (const BuiltIn& b : kBuiltIns) file->children->items.push_back(NewControl(1, b.id));
  menu->controls->items.push_back(file);
  windowMenu = NewControl(10, kWindowMenu);
  windowMenu->caption = L"窗口(&W)";
  windowMenu->kind = ControlKind::BuiltIn;
  for (const wchar_t* caption : kWindowMenuFixed) {
    ControlObject* c = NewControl(1, 1);
    c->caption = caption;
    c->kind = ControlKind::Other;
    windowMenu->children->items.push_back(c);
  }
  menu->controls->items.push_back(windowMenu);

  for (int i = 0; i < opt.initialWorkbooks; ++i) {
    WorkbookObject* b = AddBook(NextBookName(), L"", true);
    zorder.insert(zorder.begin(), b->windows[0]);
  }
  SyncBarWindow(menu);
  SyncWorkbookWindows();
  if (opt.visible) ShowWindow(main, SW_SHOW);
}

Host::~Host() {
  for (HWND w : editBoxes) {
    if (IsWindow(w)) DestroyWindow(w);
  }
  DestroyTopLevel(main);
  // Objects a client still holds outlive the host (the client would crash
  // releasing freed memory otherwise); OutstandingReferences reports them.
  for (Tracked* t : live) {
    if (t->refs() > 0) t->Orphan();
  }
  for (auto& p : owned) {
    if (p->orphaned()) p.release();
  }
  // Objects unregister from `live` as they go, so clear them while it exists.
  owned.clear();
  if (ownsOle) OleUninitialize();
}

bool Host::ShouldFail(const std::wstring& member, HRESULT* hr) {
  if (failNext > 0) {
    --failNext;
    *hr = failNextHr;
    return true;
  }
  auto it = failures.find(Upper(member));
  if (it == failures.end() || it->second.times == 0) return false;
  if (it->second.times > 0) --it->second.times;
  *hr = it->second.hr;
  return true;
}

// ---------------------------------------------------------------- workbooks

WorkbookObject* Host::FindBook(const std::wstring& name) const {
  for (WorkbookObject* b : books) {
    if (SameText(b->name, name)) return b;
  }
  return nullptr;
}

CommandBarObject* Host::FindBar(const std::wstring& name) const {
  for (CommandBarObject* b : bars) {
    if (SameText(b->name, name)) return b;
  }
  return nullptr;
}

WindowObject* Host::ActiveWindow() const {
  for (WindowObject* w : zorder) {
    if (w->visible) return w;
  }
  return nullptr;
}

WorkbookObject* Host::ActiveBook() const {
  WindowObject* w = ActiveWindow();
  return w ? w->book : nullptr;
}

std::wstring Host::NextBookName() { return L"Book" + std::to_wstring(++booksCreated); }

WorkbookObject* Host::AddBook(const std::wstring& name, const std::wstring& path, bool visible) {
  auto* b = Make<WorkbookObject>(name, path);
  books.push_back(b);
  WindowObject* w = AddWindowTo(b);
  w->visible = visible;
  return b;
}

WindowObject* Host::AddWindowTo(WorkbookObject* book) {
  auto* w = Make<WindowObject>(book);
  book->windows.push_back(w);
  w->set_label(L"Window of " + book->name);
  return w;
}

void Host::RaiseApp(DISPID id, const wchar_t* name, WorkbookObject* book, VARIANT_BOOL* cancel) {
  events.push_back(std::wstring(name) + L":" + book->name);
  // DISPPARAMS carry the last argument first.
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  UINT count = 1;
  VARIANT* wb = &args[0];
  if (cancel) {
    V_VT(&args[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&args[0]) = cancel;
    wb = &args[1];
    count = 2;
  }
  V_VT(wb) = VT_DISPATCH;
  V_DISPATCH(wb) = static_cast<IDispatch*>(book);
  app->events->Raise(id, args, count, std::wstring(name) + L"(" + book->name + L")");
}

// Makes `w` the active window; `previous` is what was active before the
// caller changed anything. Excel reports a change of workbook only.
static void SwitchTo(Host* h, WindowObject* w, WindowObject* previous) {
  auto& z = h->zorder;
  z.erase(std::remove(z.begin(), z.end(), w), z.end());
  z.insert(z.begin(), w);
  h->SyncWorkbookWindows();
  if (previous && previous->book == w->book) return;
  if (previous) h->RaiseApp(d::kWorkbookDeactivateEvent, L"WorkbookDeactivate", previous->book);
  h->RaiseApp(d::kWorkbookActivateEvent, L"WorkbookActivate", w->book);
}

void Host::ActivateWindow(WindowObject* w) {
  if (!w->visible) return;
  SwitchTo(this, w, ActiveWindow());
}

void Host::SetWindowVisible(WindowObject* w, bool visible) {
  if (w->visible == visible) return;
  WindowObject* before = ActiveWindow();
  w->visible = visible;
  if (!visible) {
    // A hidden window drops behind the others, so showing it again does not
    // silently make it the active one.
    zorder.erase(std::remove(zorder.begin(), zorder.end(), w), zorder.end());
    zorder.push_back(w);
    SyncWorkbookWindows();
    if (before != w) return;
    WindowObject* next = ActiveWindow();
    if (next && next->book == w->book) return;
    RaiseApp(d::kWorkbookDeactivateEvent, L"WorkbookDeactivate", w->book);
    if (next) RaiseApp(d::kWorkbookActivateEvent, L"WorkbookActivate", next->book);
    return;
  }
  if (!before) {
    SwitchTo(this, w, nullptr);
  } else {
    SyncWorkbookWindows();
  }
}

// A new or opened workbook is active before Excel reports it, and its
// activation is reported once, after NewWorkbook or WorkbookOpen: a sink
// that activates it meanwhile changes nothing.
static void ReportNewActive(Host* h, WindowObject* w, WindowObject* before) {
  if (h->ActiveWindow() != w) return;
  if (before) h->RaiseApp(d::kWorkbookDeactivateEvent, L"WorkbookDeactivate", before->book);
  h->RaiseApp(d::kWorkbookActivateEvent, L"WorkbookActivate", w->book);
}

WorkbookObject* Host::NewBook() {
  WindowObject* before = ActiveWindow();
  WorkbookObject* b = AddBook(NextBookName(), L"", true);
  zorder.insert(zorder.begin(), b->windows[0]);
  SyncWorkbookWindows();
  RaiseApp(d::kNewWorkbookEvent, L"NewWorkbook", b);
  ReportNewActive(this, b->windows[0], before);
  return b;
}

void Host::Open(const std::wstring& fullName, bool hidden) {
  std::wstring path, name;
  SplitFullName(fullName, &path, &name);
  if (FindBook(name)) {
    Unexpected(L"open of " + fullName + L": a workbook with that name is open");
    return;
  }
  WindowObject* before = ActiveWindow();
  WorkbookObject* b = AddBook(name, path, !hidden);
  if (hidden) {
    zorder.push_back(b->windows[0]);
  } else {
    zorder.insert(zorder.begin(), b->windows[0]);
  }
  SyncWorkbookWindows();
  RaiseApp(d::kWorkbookOpenEvent, L"WorkbookOpen", b);
  if (!hidden) ReportNewActive(this, b->windows[0], before);
}

bool Host::Save(WorkbookObject* book, bool saveAs) {
  if (saveAs || book->path.empty()) {
    RunModalPrompt(L"SaveAs", book);
    std::optional<std::wstring> answer;
    if (!saveAsAnswers.empty()) {
      answer = saveAsAnswers.front();
      saveAsAnswers.pop_front();
    } else if (hasDefaultSaveAs) {
      answer = defaultSaveAs;
    } else {
      Unexpected(L"save-as dialog for " + book->name + L" with no answer prepared");
    }
    events.push_back(L"SaveAsDialog:" + book->name);
    if (!answer) return false;
    owner->RenameWorkbook(book->name, *answer);
  }
  book->dirty = false;
  events.push_back(L"Saved:" + book->name);
  return true;
}

bool Host::Close(WorkbookObject* book) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  RaiseApp(d::kWorkbookBeforeCloseEvent, L"WorkbookBeforeClose", book, &cancel);
  if (cancel != VARIANT_FALSE) return false;
  if (book->dirty) {
    RunModalPrompt(L"SavePrompt", book);
    SaveAnswer answer = SaveAnswer::Cancel;
    if (!savePrompts.empty()) {
      answer = savePrompts.front();
      savePrompts.pop_front();
    } else if (defaultSavePrompt) {
      answer = *defaultSavePrompt;
    } else {
      Unexpected(L"save prompt for " + book->name + L" with no answer prepared");
    }
    events.push_back(L"SavePrompt:" + book->name);
    if (answer == SaveAnswer::Cancel) return false;
    if (answer == SaveAnswer::Save && !Save(book, false)) return false;
  }
  bool wasActive = ActiveBook() == book;
  if (wasActive) RaiseApp(d::kWorkbookDeactivateEvent, L"WorkbookDeactivate", book);
  books.erase(std::remove(books.begin(), books.end(), book), books.end());
  for (WindowObject* w : book->windows) {
    zorder.erase(std::remove(zorder.begin(), zorder.end(), w), zorder.end());
    if (w->hwnd) DestroyWindow(w->hwnd);
    w->hwnd = nullptr;
    w->zombie = true;
  }
  book->zombie = true;
  book->windowsColl->zombie = true;
  SyncWorkbookWindows();
  if (wasActive) {
    if (WindowObject* next = ActiveWindow()) {
      RaiseApp(d::kWorkbookActivateEvent, L"WorkbookActivate", next->book);
    }
  }
  return true;
}

std::vector<WindowObject*> Host::VisibleWindowsInOrder() const {
  std::vector<WindowObject*> out;
  for (WorkbookObject* b : books) {
    for (WindowObject* w : b->windows) {
      if (w->visible) out.push_back(w);
    }
  }
  return out;
}

// ---------------------------------------------------------------- commands

ControlObject* Host::NewControl(int type, int id) {
  auto* c = Make<ControlObject>(type, id);
  if (const wchar_t* caption = BuiltInCaption(id)) {
    c->caption = caption;
    c->kind = ControlKind::BuiltIn;
  } else if (type == 1) {
    c->id = 1;  // Office reports every custom button as Id 1
  }
  return c;
}

HRESULT Host::RunBuiltIn(int id, std::wstring* error) {
  WorkbookObject* active = ActiveBook();
  if (id != kCmdNew && !active) {
    *error = L"The command is not available: no workbook is active";
    return DISP_E_EXCEPTION;
  }
  if (opt.refuseBuiltInsWhileEditing && Editing()) {
    commands.push_back(L"refused:" + std::to_wstring(id));
    *error = L"The command is not available while a cell is edited";
    return kRefusedWhileEditing;
  }
  commands.push_back(std::to_wstring(id));
  switch (id) {
    case kCmdNew:
      NewBook();
      return S_OK;
    case kCmdClose:
      Close(active);
      return S_OK;
    case kCmdSave:
      Save(active, false);
      return S_OK;
    case kCmdSaveAs:
      Save(active, true);
      return S_OK;
  }
  return S_OK;
}

HRESULT Host::Execute(ControlObject* c, std::wstring* error) {
  if (!c->enabled) {
    *error = L"Method 'Execute' of object 'CommandBarControl' failed";
    return DISP_E_EXCEPTION;
  }
  switch (c->kind) {
    case ControlKind::BuiltIn:
      if (c->type == 10) return S_OK;
      return RunBuiltIn(c->id, error);
    case ControlKind::WindowEntry:
      commands.push_back(L"window:" + c->caption);
      if (editing && editCommitFails) return S_OK;
      if (c->target && !c->target->zombie) {
        ActivateWindow(c->target);
        // Choosing a window ends Excel's edit there.
        if (editing) EndEditAt(c->target);
      }
      return S_OK;
    case ControlKind::MoreWindows: {
      commands.push_back(L"more-windows");
      std::vector<WindowObject*> windows = VisibleWindowsInOrder();
      std::vector<std::wstring> captions;
      std::vector<WindowObject*> listed;
      for (WindowObject* w : windows) {
        std::wstring caption = opt.dialogListsMenuCaptions ? w->Caption() : w->FullCaption();
        if (std::find(dialogOmitted.begin(), dialogOmitted.end(), caption) != dialogOmitted.end()) continue;
        captions.push_back(caption);
        listed.push_back(w);
      }
      std::optional<int> chosen = RunActivateDialog(captions);
      if (editing && editCommitFails) chosen.reset();
      if (chosen && *chosen >= 0 && static_cast<size_t>(*chosen) < listed.size()) {
        WindowObject* w = listed[*chosen];
        if (!w->zombie) {
          ActivateWindow(w);
          if (editing) EndEditAt(w);
        }
      }
      return S_OK;
    }
    case ControlKind::Other:
      commands.push_back(L"other:" + c->caption);
      return S_OK;
    case ControlKind::Custom:
      if (c->type == 1) RaiseClick(c);
      return S_OK;
  }
  return S_OK;
}

void Host::ForEachControl(const std::function<bool(ControlObject*, CommandBarObject*)>& f) const {
  std::function<bool(ControlsObject*, CommandBarObject*)> walk = [&](ControlsObject* list, CommandBarObject* bar) {
    for (ControlObject* c : list->items) {
      if (!f(c, bar)) return false;
      if (c->children && !walk(c->children, bar)) return false;
    }
    return true;
  };
  for (CommandBarObject* bar : bars) {
    if (!walk(bar->controls, bar)) return;
  }
}

void Host::RaiseClick(ControlObject* clicked) {
  events.push_back(L"Click:" + clicked->caption);
  VARIANT_BOOL cancelDefault = VARIANT_FALSE;
  VARIANT args[2];
  V_VT(&args[0]) = VT_BOOL | VT_BYREF;
  V_BOOLREF(&args[0]) = &cancelDefault;
  V_VT(&args[1]) = VT_DISPATCH;
  V_DISPATCH(&args[1]) = static_cast<IDispatch*>(clicked);
  // Office raises Click on every subscribed button sharing the Tag, always
  // passing the control that was clicked.
  std::vector<ControlObject*> targets;
  ForEachControl([&](ControlObject* c, CommandBarObject*) {
    if (c->events && c->events->sinks() > 0 &&
        (c == clicked || (!clicked->tag.empty() && c->tag == clicked->tag))) {
      targets.push_back(c);
    }
    return true;
  });
  if (std::find(targets.begin(), targets.end(), clicked) == targets.end() && clicked->events &&
      clicked->events->sinks() > 0) {
    targets.push_back(clicked);  // a detached button still reports its own clicks
  }
  for (ControlObject* c : targets) c->events->Raise(d::kClickEvent, args, 2, L"Click(" + clicked->caption + L")");
  if (clicked->kind == ControlKind::BuiltIn && cancelDefault == VARIANT_FALSE) {
    std::wstring error;
    RunBuiltIn(clicked->id, &error);
  }
}

void Host::ShowPopup(CommandBarObject* bar) {
  PopupRecord rec;
  rec.bar = bar->name;
  for (ControlObject* c : bar->controls->items) rec.controls.push_back(c->Info());
  popups.push_back(rec);
  events.push_back(L"ShowPopup:" + bar->name);
  if (popupScript) popupScript(*owner, rec);
}

bool Host::Editing() const {
  return opt.editingIsExcelState ? editing || FocusInEditWindow(false) : FocusInEditWindow(true);
}

void Host::BeginEdit(HWND window) {
  if (!opt.editingIsExcelState) return;
  editing = true;
  editWindow = window;
  events.push_back(L"EditBegun");
}

void Host::EndEditAt(WindowObject* w) {
  editing = false;
  editWindow = nullptr;
  events.push_back(L"EditEnded");
  if (w && w->hwnd) SetFocus(w->hwnd);
}

// An "EDTBX" is a dialog's edit box: editing there lasts while it has the focus.
bool Host::FocusInEditWindow(bool cellWindows) const {
  wchar_t cls[32] = {};
  HWND focus = GetFocus();
  if (!focus || !GetClassNameW(focus, cls, 32)) return false;
  if (wcscmp(cls, L"EDTBX") == 0) return true;
  return cellWindows && (wcscmp(cls, L"EXCEL<") == 0 || wcscmp(cls, L"EXCEL6") == 0);
}

void Host::RefreshWindowMenu() {
  if (!windowMenu) return;
  struct Entry {
    std::wstring caption;
    WindowObject* target;
  };
  std::vector<WindowObject*> windows = VisibleWindowsInOrder();
  if (opt.windowMenuOrder == WindowMenuOrder::Reverse) std::reverse(windows.begin(), windows.end());
  if (opt.windowMenuOrder == WindowMenuOrder::Alphabetical) {
    // Look-alike captions ("a" for a.xls and a.csv) keep the order of their names.
    std::stable_sort(windows.begin(), windows.end(), [](WindowObject* a, WindowObject* b) {
      return std::make_pair(a->Caption(), a->FullCaption()) < std::make_pair(b->Caption(), b->FullCaption());
    });
  }
  std::vector<Entry> want;
  size_t listed = std::min<size_t>(windows.size(), static_cast<size_t>(std::max(0, std::min(opt.windowMenuLimit, 9))));
  for (size_t i = 0; i < listed; ++i) {
    std::wstring shown;
    for (wchar_t ch : windows[i]->Caption()) shown += ch == L'&' ? std::wstring(L"&&") : std::wstring(1, ch);
    want.push_back({L"&" + std::to_wstring(i + 1) + L" " + shown, windows[i]});
  }
  if (windows.size() > listed) want.push_back({opt.moreWindowsCaption, nullptr});

  auto& items = windowMenu->children->items;
  const size_t fixed = std::size(kWindowMenuFixed);
  bool same = items.size() == fixed + want.size();
  for (size_t i = 0; same && i < want.size(); ++i) {
    same = items[fixed + i]->caption == want[i].caption && items[fixed + i]->target == want[i].target;
  }
  // Entries survive as objects while the list is unchanged, so a client can
  // enumerate and then execute one; replaced ones are gone.
  if (same) return;
  for (size_t i = fixed; i < items.size(); ++i) items[i]->zombie = true;
  items.resize(fixed);
  for (const Entry& e : want) {
    ControlObject* c = NewControl(1, 1);
    c->caption = e.caption;
    c->target = e.target;
    c->kind = e.target ? ControlKind::WindowEntry : ControlKind::MoreWindows;
    items.push_back(c);
  }
}

void Host::DeleteBar(CommandBarObject* bar) {
  bars.erase(std::remove(bars.begin(), bars.end(), bar), bars.end());
  bar->visible = false;
  SyncBarWindow(bar);
  bar->zombie = true;
  bar->controls->zombie = true;
  for (ControlObject* c : bar->controls->items) c->zombie = true;
  Layout();
}

BarInfo Host::Info(const CommandBarObject* bar) const {
  BarInfo i;
  i.name = bar->name;
  i.position = bar->position;
  i.protection = bar->protection;
  i.visible = bar->visible;
  i.enabled = bar->enabled;
  i.temporary = bar->temporary;
  i.builtIn = bar->builtIn;
  i.menuBar = bar->menuBar;
  i.window = bar->hwnd;
  for (ControlObject* c : bar->controls->items) i.controls.push_back(c->Info());
  return i;
}

}  // namespace fakexl
