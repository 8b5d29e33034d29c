// Excel's window-list dialog ("其他窗口(&M)..."): a modal window owned by the
// main window that answers WM_GETOBJECT with its own accessibility tree,
// because Wine's standard proxies expose no list items or default actions.
//
//   dialog (role 18) -> list (role 33) -> items as child ids (role 34)
//                    -> push button "确定" (role 43), push button "取消"
#include "host.h"

#include <oleacc.h>

namespace fakexl {

namespace {

constexpr long kItemState = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;

struct DialogState {
  Host* host = nullptr;
  HWND hwnd = nullptr;
  std::wstring title;
  std::vector<std::wstring> items;
  int selected = 0;
  bool ended = false;
  bool closed = false;  // the window is gone: the tree answers nothing
  std::wstring button;  // pressed to end it; empty for a close
  std::optional<int> result;
  IAccessible* root = nullptr;

  void End(std::optional<int> chosen) {
    if (ended) return;
    ended = true;
    result = chosen;
    // Wake the modal loop, which may be waiting for input.
    PostMessageW(hwnd, WM_NULL, 0, 0);
  }
};

enum class Node { Root, List, Ok, Cancel };

class AccNode final : public IAccessible {
 public:
  AccNode(std::shared_ptr<DialogState> state, Node node, IAccessible* parent)
      : state_(std::move(state)), node_(node), parent_(parent) {
    if (parent_) parent_->AddRef();
  }

  void SetChildren(std::vector<IAccessible*> children) { children_ = std::move(children); }
  void ReleaseChildren() {
    for (IAccessible* c : children_) c->Release();
    children_.clear();
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IAccessible) return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP get_accParent(IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = parent_;
    if (!parent_) return S_FALSE;
    parent_->AddRef();
    return S_OK;
  }
  STDMETHODIMP get_accChildCount(long* out) override {
    if (!out) return E_POINTER;
    *out = 0;
    if (state_->closed) return E_FAIL;
    if (node_ == Node::Root) *out = static_cast<long>(children_.size());
    if (node_ == Node::List) *out = static_cast<long>(state_->items.size());
    return S_OK;
  }
  STDMETHODIMP get_accChild(VARIANT id, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (state_->closed) return E_FAIL;
    long i = 0;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    if (node_ == Node::Root && i >= 1) {
      *out = children_[i - 1];
      (*out)->AddRef();
      return S_OK;
    }
    return S_FALSE;  // list items are simple elements
  }
  STDMETHODIMP get_accName(VARIANT id, BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    long i = 0;
    if (state_->closed) return E_FAIL;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    std::wstring name;
    if (i > 0) {
      name = state_->items[i - 1];
    } else {
      switch (node_) {
        case Node::Root:
          name = state_->title;
          break;
        case Node::List:
          name = L"窗口";
          break;
        case Node::Ok:
          name = L"确定";
          break;
        case Node::Cancel:
          name = L"取消";
          break;
      }
    }
    *out = SysAllocString(name.c_str());
    return S_OK;
  }
  STDMETHODIMP get_accValue(VARIANT, BSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accDescription(VARIANT, BSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accRole(VARIANT id, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    long i = 0;
    if (state_->closed) return E_FAIL;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    long role = ROLE_SYSTEM_LISTITEM;
    if (i == 0) {
      role = node_ == Node::Root ? ROLE_SYSTEM_DIALOG : node_ == Node::List ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_PUSHBUTTON;
    }
    V_VT(out) = VT_I4;
    V_I4(out) = role;
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT id, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    long i = 0;
    if (state_->closed) return E_FAIL;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    long state = STATE_SYSTEM_FOCUSABLE;
    if (i > 0) {
      auto fixed = state_->host->dialogItemStates.find(i - 1);
      if (fixed != state_->host->dialogItemStates.end()) {
        state = fixed->second;
      } else {
        state = kItemState | (i - 1 == state_->selected ? STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED : 0);
      }
    } else if (node_ == Node::Root) {
      state = STATE_SYSTEM_FOCUSED;
    }
    V_VT(out) = VT_I4;
    V_I4(out) = state;
    return S_OK;
  }
  STDMETHODIMP get_accHelp(VARIANT, BSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return S_FALSE;
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accFocus(VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    return S_FALSE;
  }
  STDMETHODIMP get_accSelection(VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    if (node_ != Node::List || state_->items.empty()) return S_FALSE;
    V_VT(out) = VT_I4;
    V_I4(out) = state_->selected + 1;
    return S_OK;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT id, BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    long i = 0;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    if (node_ == Node::List && i > 0) *out = SysAllocString(L"双击");
    if (node_ == Node::Ok || node_ == Node::Cancel) *out = SysAllocString(L"按");
    return *out ? S_OK : S_FALSE;
  }
  STDMETHODIMP accSelect(long flags, VARIANT id) override {
    long i = 0;
    if (state_->closed || state_->ended) return E_FAIL;
    if (!ChildId(id, &i) || node_ != Node::List || i == 0) return E_INVALIDARG;
    if (flags & (SELFLAG_TAKESELECTION | SELFLAG_TAKEFOCUS)) state_->selected = static_cast<int>(i - 1);
    return S_OK;
  }
  STDMETHODIMP accLocation(long* x, long* y, long* w, long* h, VARIANT id) override {
    if (!x || !y || !w || !h) return E_POINTER;
    long i = 0;
    if (state_->closed) return E_FAIL;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    RECT rc;
    GetWindowRect(state_->hwnd, &rc);
    *x = rc.left + 10;
    *y = rc.top + 30;
    *w = 200;
    *h = 18;
    if (node_ == Node::Root) {
      *x = rc.left;
      *y = rc.top;
      *w = rc.right - rc.left;
      *h = rc.bottom - rc.top;
    } else if (node_ == Node::List) {
      *y += i > 0 ? (i - 1) * 18 : 0;
      if (i == 0) *h = 150;
    } else {
      *x = rc.left + 220;
      *y = rc.top + (node_ == Node::Ok ? 30 : 60);
      *w = 75;
      *h = 23;
    }
    return S_OK;
  }
  STDMETHODIMP accNavigate(long, VARIANT, VARIANT* out) override {
    if (out) VariantInit(out);
    return S_FALSE;
  }
  STDMETHODIMP accHitTest(long, long, VARIANT* out) override {
    if (out) VariantInit(out);
    return S_FALSE;
  }
  STDMETHODIMP accDoDefaultAction(VARIANT id) override {
    long i = 0;
    if (state_->closed || state_->ended) return E_FAIL;
    if (!ChildId(id, &i)) return E_INVALIDARG;
    switch (node_) {
      case Node::List:
        if (i == 0) return DISP_E_MEMBERNOTFOUND;
        state_->selected = static_cast<int>(i - 1);  // the list only selects; "确定" confirms
        return S_OK;
      case Node::Ok:
        state_->button = L"确定";
        state_->End(state_->items.empty() ? std::nullopt : std::optional<int>(state_->selected));
        return S_OK;
      case Node::Cancel:
        state_->button = L"取消";
        state_->End(std::nullopt);
        return S_OK;
      case Node::Root:
        return DISP_E_MEMBERNOTFOUND;
    }
    return DISP_E_MEMBERNOTFOUND;
  }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~AccNode() {
    if (parent_) parent_->Release();
  }

  bool ChildId(const VARIANT& id, long* out) const {
    if (V_VT(&id) != VT_I4) return false;
    long i = V_I4(&id);
    long count = 0;
    if (node_ == Node::List) count = static_cast<long>(state_->items.size());
    if (node_ == Node::Root) count = static_cast<long>(children_.size());
    if (i < 0 || i > count) return false;
    *out = i;
    return true;
  }

  std::shared_ptr<DialogState> state_;
  Node node_;
  IAccessible* parent_;  // children keep their parent; the dialog breaks the cycle
  std::vector<IAccessible*> children_;
  ULONG refs_ = 1;
};

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
      case WM_GETOBJECT:
        if (state && state->root &&
            (static_cast<LONG>(lp) == OBJID_CLIENT || static_cast<LONG>(lp) == OBJID_WINDOW)) {
          return LresultFromObject(IID_IAccessible, wp, state->root);
        }
        break;
      case WM_CLOSE:
        if (state) state->End(std::nullopt);
        return 0;
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

std::optional<int> Host::RunActivateDialog(const std::vector<std::wstring>& items) {
  static bool registered = false;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = inst;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"bosa_sdm_XL9";  // Excel's own dialog class
    RegisterClassW(&wc);
    registered = true;
  }
  auto state = std::make_shared<DialogState>();
  state->host = this;
  state->title = opt.activateDialogTitle;
  state->items = items;
  auto* root = new AccNode(state, Node::Root, nullptr);
  auto* list = new AccNode(state, Node::List, root);
  root->SetChildren({list, new AccNode(state, Node::Ok, root), new AccNode(state, Node::Cancel, root)});
  state->root = root;

  RECT owner;
  GetWindowRect(main, &owner);
  // Created hidden with its title, so the activation that showing it causes
  // (seen by a WH_CBT hook as HCBT_ACTIVATE) already carries the title.
  state->hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, L"bosa_sdm_XL9", state->title.c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, owner.left + 100, owner.top + 100, 320, 240, main,
                                nullptr, inst, state.get());
  events.push_back(L"Dialog:" + state->title);
  EnableWindow(main, FALSE);
  ShowWindow(state->hwnd, SW_SHOW);
  if (!state->ended && GetActiveWindow() != state->hwnd) SetActiveWindow(state->hwnd);

  bool scripted = false;
  DWORD start = GetTickCount();
  while (!state->ended) {
    if (!scripted && dialogScript) {
      scripted = true;
      dialogScript(state->hwnd);
      continue;
    }
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    if (GetTickCount() - start > opt.dialogTimeoutMs) {
      Unexpected(L"the \"" + state->title + L"\" dialog was never answered");
      state->End(std::nullopt);
      break;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  EnableWindow(main, TRUE);
  DestroyTopLevel(state->hwnd);
  state->closed = true;
  SetActiveWindow(main);
  state->root = nullptr;
  root->ReleaseChildren();
  root->Release();
  if (!state->button.empty()) events.push_back(L"DialogButton:" + state->button);
  events.push_back(L"DialogClosed:" + state->title);
  return state->result;
}

}  // namespace fakexl
