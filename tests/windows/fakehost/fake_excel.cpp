// The test-facing API: scripting the user's actions and reading the host.
#include "fake_excel.h"

#include "host.h"

namespace fakexl {

namespace {
std::wstring Upper(std::wstring s) {
  CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}
}  // namespace

FakeExcel::FakeExcel(Options options) : impl_(std::make_unique<Impl>(this, std::move(options))) {}

FakeExcel::~FakeExcel() = default;

IDispatch* FakeExcel::Application() { return impl_->app; }

bool FakeExcel::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done && done()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 5), QS_ALLINPUT);
  }
}

void FakeExcel::PumpFor(DWORD ms) { PumpUntil(nullptr, ms); }

HWND FakeExcel::MainWindow() const { return impl_->main; }
HWND FakeExcel::DockWindow(Dock dock) const { return impl_->docks[static_cast<int>(dock)]; }
HWND FakeExcel::DeskWindow() const { return impl_->desk; }

HWND FakeExcel::BarWindow(const std::wstring& bar) const {
  CommandBarObject* b = impl_->FindBar(bar);
  return b ? b->hwnd : nullptr;
}

HWND FakeExcel::FocusEditWindow(EditWindow which) {
  Host& h = *impl_;
  HWND target = h.formulaBar;
  if (which == EditWindow::InCell) {
    if (!h.inCell || !IsWindow(h.inCell)) {
      WindowObject* w = h.ActiveWindow();
      HWND parent = w && w->hwnd ? w->hwnd : h.desk;
      h.inCell = CreateWindowExW(0, L"EXCEL<", L"", WS_CHILD | WS_VISIBLE, 40, 20, 80, 18, parent, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    target = h.inCell;
  }
  SetFocus(target);
  h.BeginEdit(target);
  return target;
}

HWND FakeExcel::CreateEditBox(HWND parent) {
  HWND box = CreateWindowExW(0, L"EDTBX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10,
                             10 + 22 * static_cast<int>(impl_->editBoxes.size() % 8), 120, 20,
                             parent ? parent : impl_->main, nullptr, GetModuleHandleW(nullptr), nullptr);
  impl_->editBoxes.push_back(box);
  return box;
}

void FakeExcel::FocusWindow(HWND window) { SetFocus(window); }

void FakeExcel::EndEdit() {
  Host& h = *impl_;
  WindowObject* w = h.ActiveWindow();
  if (h.editing) {
    h.EndEditAt(w);
  } else if (w && w->hwnd) {
    SetFocus(w->hwnd);
  }
}

void FakeExcel::SetEditCommitFails(bool fails) { impl_->editCommitFails = fails; }

bool FakeExcel::Editing() const { return impl_->Editing(); }

void FakeExcel::ResizeMainWindow(int width, int height) {
  SetWindowPos(impl_->main, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FakeExcel::MoveMainWindow(int left, int top) {
  SetWindowPos(impl_->main, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FakeExcel::SetVisible(bool visible) { ShowWindow(impl_->main, visible ? SW_SHOW : SW_HIDE); }

// ---------------------------------------------------------------- workbooks

namespace {
WorkbookObject* Need(Host& h, const std::wstring& name) {
  WorkbookObject* b = h.FindBook(name);
  if (!b) h.Unexpected(L"test script names an unknown workbook " + name);
  return b;
}
}  // namespace

void FakeExcel::OpenWorkbook(const std::wstring& fullName, bool hidden) { impl_->Open(fullName, hidden); }

std::wstring FakeExcel::CreateWorkbook() { return impl_->NewBook()->name; }

bool FakeExcel::CloseWorkbook(const std::wstring& name) {
  WorkbookObject* b = Need(*impl_, name);
  return b && impl_->Close(b);
}

void FakeExcel::ActivateWorkbook(const std::wstring& name, int window) {
  WorkbookObject* b = Need(*impl_, name);
  if (!b || window < 1 || static_cast<size_t>(window) > b->windows.size()) return;
  impl_->ActivateWindow(b->windows[window - 1]);
}

void FakeExcel::HideWorkbook(const std::wstring& name) {
  if (WorkbookObject* b = Need(*impl_, name)) {
    for (WindowObject* w : b->windows) impl_->SetWindowVisible(w, false);
  }
}

void FakeExcel::ShowWorkbook(const std::wstring& name, bool activate) {
  WorkbookObject* b = Need(*impl_, name);
  if (!b) return;
  for (WindowObject* w : b->windows) impl_->SetWindowVisible(w, true);
  if (activate && !b->windows.empty()) impl_->ActivateWindow(b->windows[0]);
}

void FakeExcel::SetWindowVisible(const std::wstring& name, int window, bool visible) {
  WorkbookObject* b = Need(*impl_, name);
  if (!b || window < 1 || static_cast<size_t>(window) > b->windows.size()) return;
  impl_->SetWindowVisible(b->windows[window - 1], visible);
}

void FakeExcel::RenameWorkbook(const std::wstring& name, const std::wstring& newFullName) {
  WorkbookObject* b = Need(*impl_, name);
  if (!b) return;
  size_t slash = newFullName.find_last_of(L"\\/");
  b->path = slash == std::wstring::npos ? std::wstring() : newFullName.substr(0, slash);
  b->name = slash == std::wstring::npos ? newFullName : newFullName.substr(slash + 1);
  b->set_label(L"Workbook " + b->name);
  impl_->SyncWorkbookWindows();
}

void FakeExcel::AddWindow(const std::wstring& name) {
  WorkbookObject* b = Need(*impl_, name);
  if (!b) return;
  // Excel's New Window opens the new window in front, on the same workbook.
  WindowObject* w = impl_->AddWindowTo(b);
  impl_->zorder.push_back(w);
  impl_->ActivateWindow(w);
}

void FakeExcel::SetDirty(const std::wstring& name, bool dirty) {
  if (WorkbookObject* b = Need(*impl_, name)) b->dirty = dirty;
}

bool FakeExcel::RunCommand(int id) {
  std::wstring error;
  return SUCCEEDED(impl_->RunBuiltIn(id, &error));
}

// ---------------------------------------------------------------- bars

void FakeExcel::HideBar(const std::wstring& name) {
  if (CommandBarObject* b = impl_->FindBar(name)) {
    b->visible = false;
    impl_->SyncBarWindow(b);
  }
}

void FakeExcel::ShowBar(const std::wstring& name) {
  if (CommandBarObject* b = impl_->FindBar(name)) {
    b->visible = true;
    impl_->SyncBarWindow(b);
  }
}

void FakeExcel::DeleteBar(const std::wstring& name) {
  if (CommandBarObject* b = impl_->FindBar(name)) impl_->DeleteBar(b);
}

bool FakeExcel::ClickControl(const std::wstring& bar, const std::wstring& caption) {
  CommandBarObject* b = impl_->FindBar(bar);
  if (!b) return false;
  ControlObject* hit = nullptr;
  std::function<void(ControlsObject*)> find = [&](ControlsObject* list) {
    for (ControlObject* c : list->items) {
      if (hit) return;
      if (c->caption == caption) hit = c;
      if (!hit && c->children) find(c->children);
    }
  };
  find(b->controls);
  if (!hit || !hit->enabled || !hit->visible) return false;
  if (hit->kind == ControlKind::Custom || hit->kind == ControlKind::BuiltIn) {
    if (hit->type == 1) impl_->RaiseClick(hit);
    return true;
  }
  std::wstring error;
  return SUCCEEDED(impl_->Execute(hit, &error));
}

// ---------------------------------------------------------------- prompts

void FakeExcel::QueueSavePromptAnswer(SaveAnswer answer) { impl_->savePrompts.push_back(answer); }
void FakeExcel::SetDefaultSavePromptAnswer(std::optional<SaveAnswer> answer) { impl_->defaultSavePrompt = answer; }
void FakeExcel::QueueSaveAsAnswer(std::optional<std::wstring> fullName) { impl_->saveAsAnswers.push_back(fullName); }
void FakeExcel::SetDefaultSaveAsAnswer(std::optional<std::wstring> fullName) {
  impl_->defaultSaveAs = fullName;
  impl_->hasDefaultSaveAs = true;
}
void FakeExcel::SetWindowMenuLimit(int entries) {
  impl_->opt.windowMenuLimit = entries;
  impl_->RefreshWindowMenu();
}
void FakeExcel::SetWindowMenuOrder(WindowMenuOrder order) {
  impl_->opt.windowMenuOrder = order;
  impl_->RefreshWindowMenu();
}
void FakeExcel::SetHideExtensions(bool hide) {
  impl_->opt.hideExtensions = hide;
  impl_->SyncWorkbookWindows();
}
void FakeExcel::SetActivateDialogTitle(const std::wstring& title) { impl_->opt.activateDialogTitle = title; }
void FakeExcel::SetActivateDialogItemState(int index, long state) { impl_->dialogItemStates[index] = state; }
void FakeExcel::OmitActivateDialogItem(const std::wstring& caption) { impl_->dialogOmitted.push_back(caption); }
void FakeExcel::SetActivateDialogScript(std::function<void(HWND)> script) { impl_->dialogScript = std::move(script); }
void FakeExcel::SetModalPromptScript(std::function<void(FakeExcel&, const ModalRecord&)> script) {
  impl_->modalScript = std::move(script);
}
void FakeExcel::SetPopupScript(std::function<void(FakeExcel&, const PopupRecord&)> script) {
  impl_->popupScript = std::move(script);
}

// ---------------------------------------------------------------- faults

void FakeExcel::FailMember(const std::wstring& name, HRESULT hr, int times) {
  impl_->failures[Upper(name)] = {hr, times};
}

void FakeExcel::FailNextCalls(int count, HRESULT hr) {
  impl_->failNext = count;
  impl_->failNextHr = hr;
}

void FakeExcel::ClearFailures() {
  impl_->failures.clear();
  impl_->failNext = 0;
}

// ---------------------------------------------------------------- inspection

std::optional<std::wstring> FakeExcel::ActiveWorkbook() const {
  WorkbookObject* b = impl_->ActiveBook();
  if (!b) return std::nullopt;
  return b->name;
}

std::vector<WorkbookInfo> FakeExcel::Workbooks() const {
  std::vector<WorkbookInfo> out;
  for (WorkbookObject* b : impl_->books) {
    WorkbookInfo i;
    i.name = b->name;
    i.fullName = b->FullName();
    i.dirty = b->dirty;
    for (WindowObject* w : b->windows) i.windows.push_back({w->Caption(), w->visible, w->hwnd});
    out.push_back(i);
  }
  return out;
}

std::vector<BarInfo> FakeExcel::Bars() const {
  std::vector<BarInfo> out;
  for (CommandBarObject* b : impl_->bars) out.push_back(impl_->Info(b));
  return out;
}

std::optional<BarInfo> FakeExcel::Bar(const std::wstring& name) const {
  CommandBarObject* b = impl_->FindBar(name);
  if (!b) return std::nullopt;
  return impl_->Info(b);
}

std::vector<std::wstring> FakeExcel::Commands() const { return impl_->commands; }
std::vector<ModalRecord> FakeExcel::ModalPrompts() const { return impl_->modalPrompts; }
std::vector<std::wstring> FakeExcel::Events() const { return impl_->events; }
void FakeExcel::ClearEvents() { impl_->events.clear(); }
std::vector<PopupRecord> FakeExcel::Popups() const { return impl_->popups; }
std::vector<bool> FakeExcel::ScreenUpdatingHistory() const { return impl_->screenUpdatingHistory; }
bool FakeExcel::ScreenUpdating() const { return impl_->screenUpdating; }
std::vector<std::wstring> FakeExcel::UnexpectedCalls() const { return impl_->unexpected; }
std::vector<std::wstring> FakeExcel::SinkFailures() const { return impl_->sinkFailures; }

int FakeExcel::AppEventSinks() const { return static_cast<int>(impl_->app->events->sinks()); }

IDispatch* FakeExcel::HoldAppEventSink() const {
  IDispatch* sink = impl_->app->events->firstSink();
  if (sink) sink->AddRef();
  return sink;
}

int FakeExcel::ButtonEventSinks() const {
  int n = 0;
  for (Tracked* t : impl_->live) {
    if (auto* c = dynamic_cast<ControlObject*>(t)) {
      if (c->events) n += static_cast<int>(c->events->sinks());
    }
  }
  return n;
}

long FakeExcel::OutstandingReferences() const {
  long n = 0;
  for (Tracked* t : impl_->live) n += t->refs();
  return n;
}

std::vector<LiveObject> FakeExcel::LiveObjects() const {
  std::vector<LiveObject> out;
  for (Tracked* t : impl_->live) {
    if (t->refs() > 0) out.push_back({t->Describe(), t->refs()});
  }
  return out;
}

long FakeExcel::InvokeCount() const { return impl_->invokes; }
long FakeExcel::GetIDsOfNamesCount() const { return impl_->idsOfNames; }

long FakeExcel::MemberCalls(const std::wstring& name) const {
  long n = 0;
  for (const auto& [key, count] : impl_->memberCalls) {
    const Member* m = key.second;
    std::wstring full = std::wstring(key.first) + L"." + (m->id == DISPID_VALUE ? L"Item" : m->name);
    if (SameText(full, name)) n += count;
  }
  return n;
}

void FakeExcel::ResetCallCounts() {
  impl_->invokes = 0;
  impl_->idsOfNames = 0;
  impl_->memberCalls.clear();
}

}  // namespace fakexl
