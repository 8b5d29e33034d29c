// The object model members: each Call decodes one member and hands the work
// to the host, which owns the state shared between objects.
#include "host.h"

#include <olectl.h>

namespace fakexl {

namespace d = dispid;

namespace {
// Excel's "Subscript out of range" and Office's "Invalid procedure call".
constexpr HRESULT kSubscript = 0x800A0009;
constexpr HRESULT kInvalidCall = 0x800A0005;

IDispatch* AsDispatch(DispObject* o) { return o; }

template <class T>
HRESULT NewEnum(Host* host, Request& r, const std::wstring& label, const std::vector<T*>& items) {
  std::vector<IDispatch*> list;
  for (T* item : items) list.push_back(AsDispatch(item));
  auto* e = new Enumerator(host, label + L" enumerator", std::move(list));
  return r.ReturnUnknown(static_cast<IEnumVARIANT*>(e));
}

// Item(index): a 1-based position or a name compared without case.
template <class T, class NameOf>
HRESULT ItemOf(Request& r, const std::vector<T*>& items, NameOf nameOf) {
  if (r.Missing(0)) return DISP_E_PARAMNOTOPTIONAL;
  if (r.IsString(0)) {
    std::wstring key;
    r.String(0, &key);
    for (T* item : items) {
      if (SameText(nameOf(item), key)) return r.ReturnObject(item);
    }
    return r.Error(kSubscript, L"Subscript out of range");
  }
  long index = 0;
  HRESULT hr = r.Long(0, &index);
  if (FAILED(hr)) return hr;
  if (index < 1 || static_cast<size_t>(index) > items.size()) return r.Error(kSubscript, L"Subscript out of range");
  return r.ReturnObject(items[index - 1]);
}
}  // namespace

// ---------------------------------------------------------------- EventSource

STDMETHODIMP EventSource::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out) *out = nullptr;
  if (Host* h = SourceHost()) h->Unexpected(L"EnumConnectionPoints");
  return E_NOTIMPL;
}

STDMETHODIMP EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!SourceHost()) return RPC_E_DISCONNECTED;
  ConnectionPoint* cp = Point(riid);
  if (!cp) return CONNECT_E_NOCONNECTION;
  cp->AddRef();
  *out = cp;
  return S_OK;
}

// ---------------------------------------------------------------- Application

AppObject::AppObject(Host* host) : DispObject(host, L"Application", L"Application") {
  events = host->Make<ConnectionPoint>(L"AppEvents connection point", DIID_AppEvents,
                                       static_cast<IConnectionPointContainer*>(this));
}

const std::vector<Member>& AppObject::Members() const {
  static const std::vector<Member> m = {
      {L"Version", d::kVersion, false, {}},
      {L"Visible", d::kVisible, true, {}},
      {L"Hwnd", d::kHwnd, false, {}},
      {L"Hinstance", d::kHinstance, false, {}},
      {L"Workbooks", d::kWorkbooks, false, {}},
      {L"ActiveWorkbook", d::kActiveWorkbook, false, {}},
      {L"CommandBars", d::kCommandBars, false, {}},
      {L"ScreenUpdating", d::kScreenUpdating, true, {}},
      {L"Application", d::kApplication, false, {}},
      {L"Name", d::kName, false, {}},
  };
  return m;
}

void* AppObject::ExtraInterface(REFIID riid) {
  return riid == IID_IConnectionPointContainer ? static_cast<IConnectionPointContainer*>(this) : nullptr;
}

ConnectionPoint* AppObject::Point(REFIID riid) { return riid == DIID_AppEvents ? events : nullptr; }

HRESULT AppObject::Call(Request& r) {
  Host* h = host_;
  switch (r.member.id) {
    case d::kVersion:
      if (h->opt.versionFails) return r.Error(E_FAIL, L"Version unavailable");
      return r.ReturnString(h->opt.version);
    case d::kVisible:
      if (r.put()) {
        bool v = false;
        HRESULT hr = r.PutBool(&v);
        if (SUCCEEDED(hr)) h->owner->SetVisible(v);
        return hr;
      }
      return r.ReturnBool(IsWindowVisible(h->main) != FALSE);
    case d::kHwnd:
      return r.ReturnLong(static_cast<long>(reinterpret_cast<LONG_PTR>(h->main)));
    case d::kHinstance:
      return r.ReturnLong(static_cast<long>(reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr))));
    case d::kWorkbooks:
      return r.ReturnObject(h->workbooksColl);
    case d::kActiveWorkbook: {
      WorkbookObject* b = h->ActiveBook();
      if (!b) return r.Error(0x800A005B, L"Object variable not set");
      return r.ReturnObject(b);
    }
    case d::kCommandBars:
      return r.ReturnObject(h->barsColl);
    case d::kScreenUpdating:
      if (r.put()) {
        bool v = true;
        HRESULT hr = r.PutBool(&v);
        if (FAILED(hr)) return hr;
        h->screenUpdating = v;
        h->screenUpdatingHistory.push_back(v);
        return S_OK;
      }
      return r.ReturnBool(h->screenUpdating);
    case d::kApplication:
      return r.ReturnObject(this);
    case d::kName:
      return r.ReturnString(L"Microsoft Excel");
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Workbooks

WorkbooksObject::WorkbooksObject(Host* host) : DispObject(host, L"Workbooks", L"Workbooks") {}

const std::vector<Member>& WorkbooksObject::Members() const {
  static const std::vector<Member> m = {
      {L"Item", d::kItem, false, {L"Index"}},
      {L"_Default", d::kValue, false, {L"Index"}},
      {L"Count", d::kCount, false, {}},
      {L"_NewEnum", d::kNewEnum, false, {}},
      {L"Application", d::kApplication, false, {}},
  };
  return m;
}

HRESULT WorkbooksObject::Call(Request& r) {
  Host* h = host_;
  switch (r.member.id) {
    case d::kItem:
    case d::kValue:
      return ItemOf(r, h->books, [](WorkbookObject* b) { return b->name; });
    case d::kCount:
      return r.ReturnLong(static_cast<long>(h->books.size()));
    case d::kNewEnum:
      return NewEnum(h, r, L"Workbooks", h->books);
    case d::kApplication:
      return r.ReturnObject(h->app);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Workbook

WorkbookObject::WorkbookObject(Host* host, std::wstring n, std::wstring p)
    : DispObject(host, L"Workbook", L"Workbook " + n), name(std::move(n)), path(std::move(p)) {
  windowsColl = host->Make<WindowsObject>(this);
}

bool WorkbookObject::AnyVisible() const {
  for (WindowObject* w : windows) {
    if (w->visible) return true;
  }
  return false;
}

const std::vector<Member>& WorkbookObject::Members() const {
  static const std::vector<Member> m = {
      {L"Name", d::kName, false, {}},
      {L"FullName", d::kFullName, false, {}},
      {L"Activate", d::kActivate, false, {}},
      {L"Windows", d::kWindows, false, {}},
      {L"Saved", d::kSaved, true, {}},
      {L"Application", d::kApplication, false, {}},
  };
  return m;
}

HRESULT WorkbookObject::Call(Request& r) {
  Host* h = host_;
  switch (r.member.id) {
    case d::kName:
      return r.ReturnString(name);
    case d::kFullName:
      return r.ReturnString(FullName());
    case d::kActivate: {
      // Excel activates the workbook's first visible window; a workbook
      // without one cannot be activated.
      for (WindowObject* w : windows) {
        if (w->visible) {
          h->ActivateWindow(w);
          return S_OK;
        }
      }
      return r.Error(kInvalidCall, L"Activate method of Workbook class failed");
    }
    case d::kWindows:
      return r.ReturnObject(windowsColl);
    case d::kSaved:
      if (r.put()) {
        bool v = false;
        HRESULT hr = r.PutBool(&v);
        if (SUCCEEDED(hr)) dirty = !v;
        return hr;
      }
      return r.ReturnBool(!dirty);
    case d::kApplication:
      return r.ReturnObject(h->app);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Windows

WindowsObject::WindowsObject(Host* host, WorkbookObject* b)
    : DispObject(host, L"Windows", L"Windows of " + b->name), book(b) {}

const std::vector<Member>& WindowsObject::Members() const {
  static const std::vector<Member> m = {
      {L"Item", d::kItem, false, {L"Index"}},
      {L"_Default", d::kValue, false, {L"Index"}},
      {L"Count", d::kCount, false, {}},
      {L"_NewEnum", d::kNewEnum, false, {}},
  };
  return m;
}

HRESULT WindowsObject::Call(Request& r) {
  switch (r.member.id) {
    case d::kItem:
    case d::kValue:
      return ItemOf(r, book->windows, [](WindowObject* w) { return w->Caption(); });
    case d::kCount:
      return r.ReturnLong(static_cast<long>(book->windows.size()));
    case d::kNewEnum:
      return NewEnum(host_, r, label(), book->windows);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Window

WindowObject::WindowObject(Host* host, WorkbookObject* b) : DispObject(host, L"Window", L"Window"), book(b) {}

int WindowObject::Number() const {
  for (size_t i = 0; i < book->windows.size(); ++i) {
    if (book->windows[i] == this) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::wstring WindowObject::Caption() const {
  std::wstring shown = book->name;
  if (host_->opt.hideExtensions) {
    size_t dot = shown.rfind(L'.');
    if (dot != std::wstring::npos) shown.resize(dot);
  }
  if (book->windows.size() > 1) shown += L":" + std::to_wstring(Number());
  return shown;
}

std::wstring WindowObject::FullCaption() const {
  std::wstring shown = book->name;
  if (book->windows.size() > 1) shown += L":" + std::to_wstring(Number());
  return shown;
}

const std::vector<Member>& WindowObject::Members() const {
  static const std::vector<Member> m = {
      {L"Visible", d::kVisible, true, {}},
      {L"Caption", d::kCaption, false, {}},
      {L"WindowNumber", d::kWindowNumber, false, {}},
      {L"Activate", d::kActivate, false, {}},
  };
  return m;
}

HRESULT WindowObject::Call(Request& r) {
  switch (r.member.id) {
    case d::kVisible:
      if (r.put()) {
        bool v = false;
        HRESULT hr = r.PutBool(&v);
        if (SUCCEEDED(hr)) host_->SetWindowVisible(this, v);
        return hr;
      }
      return r.ReturnBool(visible);
    case d::kCaption:
      return r.ReturnString(Caption());
    case d::kWindowNumber:
      return r.ReturnLong(Number());
    case d::kActivate:
      if (!visible) return r.Error(kInvalidCall, L"Activate method of Window class failed");
      host_->ActivateWindow(this);
      return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- CommandBars

CommandBarsObject::CommandBarsObject(Host* host) : DispObject(host, L"CommandBars", L"CommandBars") {}

const std::vector<Member>& CommandBarsObject::Members() const {
  static const std::vector<Member> m = {
      {L"Item", d::kItem, false, {L"Index"}},
      {L"_Default", d::kValue, false, {L"Index"}},
      {L"Count", d::kCount, false, {}},
      {L"_NewEnum", d::kNewEnum, false, {}},
      {L"Add", d::kAdd, false, {L"Name", L"Position", L"MenuBar", L"Temporary"}},
      {L"FindControl", d::kFindControl, false, {L"Type", L"Id", L"Tag", L"Visible"}},
  };
  return m;
}

HRESULT CommandBarsObject::Call(Request& r) {
  Host* h = host_;
  switch (r.member.id) {
    case d::kItem:
    case d::kValue:
      return ItemOf(r, h->bars, [](CommandBarObject* b) { return b->name; });
    case d::kCount:
      return r.ReturnLong(static_cast<long>(h->bars.size()));
    case d::kNewEnum:
      return NewEnum(h, r, L"CommandBars", h->bars);
    case d::kAdd: {
      HRESULT hr = S_OK;
      std::wstring name;
      if (!r.Missing(0)) hr = r.String(0, &name);
      long position = r.LongOr(1, kBarFloating, &hr);
      bool menuBar = false, temporary = false;
      if (!r.Missing(2)) hr = FAILED(hr) ? hr : r.Bool(2, &menuBar);
      if (!r.Missing(3)) hr = FAILED(hr) ? hr : r.Bool(3, &temporary);
      if (FAILED(hr)) return hr;
      if (name.empty()) name = L"Custom " + std::to_wstring(h->bars.size() + 1);
      if (h->FindBar(name)) return r.Error(kInvalidCall, L"Invalid procedure call or argument");
      if (position < kBarLeft || position > kBarPopup) return r.Error(kInvalidCall, L"Invalid procedure call or argument");
      auto* bar = h->Make<CommandBarObject>(name);
      bar->position = position;
      bar->menuBar = menuBar;
      bar->temporary = temporary;
      h->bars.push_back(bar);
      return r.ReturnObject(bar);
    }
    case d::kFindControl: {
      HRESULT hr = S_OK;
      bool anyType = r.Missing(0), anyId = r.Missing(1), anyTag = r.Missing(2);
      long type = r.LongOr(0, 0, &hr);
      long id = r.LongOr(1, 0, &hr);
      std::wstring tag;
      if (!anyTag) hr = FAILED(hr) ? hr : r.String(2, &tag);
      bool visibleOnly = false;
      if (!r.Missing(3)) hr = FAILED(hr) ? hr : r.Bool(3, &visibleOnly);
      if (FAILED(hr)) return hr;
      ControlObject* found = nullptr;
      h->ForEachControl([&](ControlObject* c, CommandBarObject* bar) {
        if (visibleOnly && !(bar->visible && c->visible)) return true;
        if (!anyType && c->type != type) return true;
        if (!anyId && c->id != id) return true;
        if (!anyTag && c->tag != tag) return true;
        found = c;
        return false;
      });
      // Office answers Nothing, not an error, when nothing matches.
      return r.ReturnObject(found);
    }
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- CommandBar

CommandBarObject::CommandBarObject(Host* host, std::wstring n)
    : DispObject(host, L"CommandBar", L"CommandBar " + n), name(std::move(n)) {
  controls = host->Make<ControlsObject>(L"Controls of " + name, nullptr);
}

const std::vector<Member>& CommandBarObject::Members() const {
  static const std::vector<Member> m = {
      {L"Name", d::kName, true, {}},
      {L"Controls", d::kControls, false, {}},
      {L"Delete", d::kDelete, false, {}},
      {L"Enabled", d::kEnabled, true, {}},
      {L"Visible", d::kBarVisible, true, {}},
      {L"Position", d::kPosition, true, {}},
      {L"Protection", d::kProtection, true, {}},
      {L"ShowPopup", d::kShowPopup, false, {L"x", L"y"}},
      {L"BuiltIn", d::kBuiltIn, false, {}},
      {L"Type", d::kType, false, {}},
  };
  return m;
}

HRESULT CommandBarObject::Call(Request& r) {
  Host* h = host_;
  HRESULT hr = S_OK;
  switch (r.member.id) {
    case d::kName:
      if (r.put()) {
        std::wstring v;
        hr = r.PutString(&v);
        if (FAILED(hr)) return hr;
        if (builtIn) return r.Error(kInvalidCall, L"Cannot rename a built-in bar");
        name = v;
        set_label(L"CommandBar " + name);
        if (hwnd) SetWindowTextW(hwnd, name.c_str());
        return S_OK;
      }
      return r.ReturnString(name);
    case d::kControls:
      return r.ReturnObject(controls);
    case d::kDelete:
      if (builtIn) return r.Error(kInvalidCall, L"Method 'Delete' of object 'CommandBar' failed");
      h->DeleteBar(this);
      return S_OK;
    case d::kEnabled:
      if (r.put()) {
        hr = r.PutBool(&enabled);
        h->SyncBarWindow(this);
        return hr;
      }
      return r.ReturnBool(enabled);
    case d::kBarVisible:
      if (r.put()) {
        hr = r.PutBool(&visible);
        h->SyncBarWindow(this);
        return hr;
      }
      return r.ReturnBool(visible);
    case d::kPosition:
      if (r.put()) {
        long v = 0;
        hr = r.PutLong(&v);
        if (FAILED(hr)) return hr;
        // A popup stays a popup and a toolbar never becomes one.
        if (v < kBarLeft || v > kBarPopup || (position == kBarPopup) != (v == kBarPopup)) {
          return r.Error(kInvalidCall, L"Method 'Position' of object 'CommandBar' failed");
        }
        position = v;
        h->SyncBarWindow(this);
        return S_OK;
      }
      return r.ReturnLong(position);
    case d::kProtection:
      if (r.put()) {
        long v = 0;
        hr = r.PutLong(&v);
        if (SUCCEEDED(hr)) protection = v;
        return hr;
      }
      return r.ReturnLong(protection);
    case d::kShowPopup:
      if (position != kBarPopup) return r.Error(kInvalidCall, L"Method 'ShowPopup' of object 'CommandBar' failed");
      if (!r.Missing(0)) r.LongOr(0, 0, &hr);
      if (!r.Missing(1)) r.LongOr(1, 0, &hr);
      if (FAILED(hr)) return hr;
      h->ShowPopup(this);
      return S_OK;
    case d::kBuiltIn:
      return r.ReturnBool(builtIn);
    case d::kType:
      return r.ReturnLong(position == kBarPopup ? 2 : (menuBar ? 1 : 0));
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Controls

ControlsObject::ControlsObject(Host* host, std::wstring label, ControlObject* p)
    : DispObject(host, L"CommandBarControls", std::move(label)), popup(p) {}

const std::vector<Member>& ControlsObject::Members() const {
  static const std::vector<Member> m = {
      {L"Item", d::kItem, false, {L"Index"}},
      {L"_Default", d::kValue, false, {L"Index"}},
      {L"Count", d::kCount, false, {}},
      {L"_NewEnum", d::kNewEnum, false, {}},
      {L"Add", d::kAdd, false, {L"Type", L"Id", L"Parameter", L"Before", L"Temporary"}},
  };
  return m;
}

HRESULT ControlsObject::Call(Request& r) {
  Host* h = host_;
  switch (r.member.id) {
    case d::kItem:
    case d::kValue:
      return ItemOf(r, items, [](ControlObject* c) { return c->caption; });
    case d::kCount:
      return r.ReturnLong(static_cast<long>(items.size()));
    case d::kNewEnum:
      return NewEnum(h, r, label(), items);
    case d::kAdd: {
      HRESULT hr = S_OK;
      long type = r.LongOr(0, 1, &hr);
      long id = r.LongOr(1, 1, &hr);
      std::wstring parameter;
      if (!r.Missing(2)) hr = FAILED(hr) ? hr : r.String(2, &parameter);
      long before = r.LongOr(3, 0, &hr);
      bool temporary = false;
      if (!r.Missing(4)) hr = FAILED(hr) ? hr : r.Bool(4, &temporary);
      if (FAILED(hr)) return hr;
      if (type != 1 && type != 10) return r.Error(kInvalidCall, L"Invalid procedure call or argument");
      if (before < 0 || static_cast<size_t>(before) > items.size() + 1) {
        return r.Error(kInvalidCall, L"Invalid procedure call or argument");
      }
      ControlObject* c = h->NewControl(type, id);
      c->parameter = parameter;
      if (before == 0) {
        items.push_back(c);
      } else {
        items.insert(items.begin() + (before - 1), c);
      }
      return r.ReturnObject(c);
    }
  }
  return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------- Control

ControlObject::ControlObject(Host* host, int t, int i)
    : DispObject(host, L"CommandBarControl", L"Control"), type(t), id(i) {
  if (type == 1) {
    events = host->Make<ConnectionPoint>(L"_CommandBarButtonEvents connection point", DIID_CommandBarButtonEvents,
                                         static_cast<IConnectionPointContainer*>(this));
  } else {
    children = host->Make<ControlsObject>(L"Controls of a popup", this);
  }
}

ControlInfo ControlObject::Info() const {
  ControlInfo i;
  i.caption = caption;
  i.tag = tag;
  i.parameter = parameter;
  i.id = id;
  i.type = type;
  i.width = width;
  i.enabled = enabled;
  i.visible = visible;
  i.builtIn = kind == ControlKind::BuiltIn;
  return i;
}

const std::vector<Member>& ControlObject::Members() const {
  static const std::vector<Member> m = {
      {L"Caption", d::kCaption, true, {}},
      {L"Tag", d::kTag, true, {}},
      {L"Parameter", d::kParameter, true, {}},
      {L"Enabled", d::kEnabled, true, {}},
      {L"Visible", d::kBarVisible, true, {}},
      {L"Width", d::kWidth, true, {}},
      {L"Id", d::kId, false, {}},
      {L"Type", d::kType, false, {}},
      {L"BuiltIn", d::kBuiltIn, false, {}},
      {L"Index", d::kIndex, false, {}},
      {L"Execute", d::kExecute, false, {}},
      {L"Delete", d::kDelete, false, {L"Temporary"}},
      {L"Controls", d::kControls, false, {}},
  };
  return m;
}

void* ControlObject::ExtraInterface(REFIID riid) {
  return riid == IID_IConnectionPointContainer ? static_cast<IConnectionPointContainer*>(this) : nullptr;
}

ConnectionPoint* ControlObject::Point(REFIID riid) {
  return riid == DIID_CommandBarButtonEvents ? events : nullptr;
}

HRESULT ControlObject::Call(Request& r) {
  Host* h = host_;
  HRESULT hr = S_OK;
  auto text = [&](std::wstring& field) {
    if (!r.put()) return r.ReturnString(field);
    return r.PutString(&field);
  };
  switch (r.member.id) {
    case d::kCaption:
      return text(caption);
    case d::kTag:
      return text(tag);
    case d::kParameter:
      return text(parameter);
    case d::kEnabled:
      if (r.put()) return r.PutBool(&enabled);
      return r.ReturnBool(enabled);
    case d::kBarVisible:
      if (r.put()) return r.PutBool(&visible);
      return r.ReturnBool(visible);
    case d::kWidth:
      if (r.put()) {
        long v = 0;
        hr = r.PutLong(&v);
        if (SUCCEEDED(hr)) width = v;
        return hr;
      }
      return r.ReturnLong(width);
    case d::kId:
      return r.ReturnLong(id);
    case d::kType:
      return r.ReturnLong(type);
    case d::kBuiltIn:
      return r.ReturnBool(kind == ControlKind::BuiltIn);
    case d::kIndex: {
      long index = 0;
      std::function<void(ControlsObject*)> look = [&](ControlsObject* list) {
        for (size_t i = 0; i < list->items.size(); ++i) {
          if (list->items[i] == this) index = static_cast<long>(i) + 1;
          if (list->items[i]->children) look(list->items[i]->children);
        }
      };
      for (CommandBarObject* bar : h->bars) look(bar->controls);
      return r.ReturnLong(index);
    }
    case d::kExecute: {
      std::wstring error;
      hr = h->Execute(this, &error);
      if (hr == DISP_E_EXCEPTION) return r.Error(kInvalidCall, error.c_str());
      if (FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL) return r.Error(hr, error.c_str());
      return hr;
    }
    case d::kDelete: {
      std::function<bool(ControlsObject*)> drop = [&](ControlsObject* list) {
        for (auto it = list->items.begin(); it != list->items.end(); ++it) {
          if (*it == this) {
            list->items.erase(it);
            return true;
          }
          if ((*it)->children && drop((*it)->children)) return true;
        }
        return false;
      };
      for (CommandBarObject* bar : h->bars) {
        if (drop(bar->controls)) break;
      }
      zombie = true;
      return S_OK;
    }
    case d::kControls:
      if (!children) return r.Error(0x800A01B6, L"Object doesn't support this property or method");
      return r.ReturnObject(children);
  }
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace fakexl
