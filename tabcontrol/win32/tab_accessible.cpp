#include "tab_accessible.h"

#include <new>
#include <string>

#include "com_support.h"
#include "tab_view.h"

namespace corvane::win {
namespace {

constexpr wchar_t kDefaultAction[] = L"切换";  // "Switch", as Windows names it for page tabs
constexpr wchar_t kPressAction[] = L"按下";    // "Press", as Windows names it for push buttons
constexpr wchar_t kUnsavedValue[] = L"未保存";

VARIANT ChildVariant(LONG child) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = child;
    return v;
}

void ReturnLocation(const RECT& r, long* x, long* y, long* w, long* h) {
    *x = r.left;
    *y = r.top;
    *w = r.right - r.left;
    *h = r.bottom - r.top;
}

IDispatch* CreateTabPageAccessible(IAccessible* list, std::weak_ptr<TabView> view, std::weak_ptr<TabItemState> item);

HRESULT ReturnString(const std::wstring& s, BSTR* out) {
    if (s.empty()) return S_FALSE;
    *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// What both accessible objects answer alike: IAccessible and its IDispatch,
// which clients of IAccessible never call through Invoke (they use the vtable).
class AccessibleBase : public ComObject<IAccessible> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) return HandOut(this, ppv);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

class TabAccessible final : public AccessibleBase {
public:
    explicit TabAccessible(std::weak_ptr<TabView> view) : view_(std::move(view)) {}

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override {
        if (!ppdispParent) return E_POINTER;
        *ppdispParent = nullptr;
        auto view = view_.lock();
        if (!view || !view->Alive()) return RPC_E_DISCONNECTED;
        return AccessibleObjectFromWindow(view->hwnd(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(ppdispParent));
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override {
        if (!pcountChildren) return E_POINTER;
        *pcountChildren = 0;
        return Guard([&](TabView& view, const TabModel& model) {
            *pcountChildren = ChildCount(view, model);
            return S_OK;
        });
    }

    // The tabs are simple elements, except those with a close button: they
    // are objects whose one child is the button. The list button is simple.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override {
        if (!ppdispChild) return E_POINTER;
        *ppdispChild = nullptr;
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) -> HRESULT {
            if (child == CHILDID_SELF || IsListChild(model, child) || !view.HasCloseButton(child - 1)) return S_FALSE;
            *ppdispChild = CreateTabPageAccessible(this, view_, model.At(child - 1));
            return *ppdispChild ? S_OK : E_OUTOFMEMORY;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override {
        if (!pszName) return E_POINTER;
        *pszName = nullptr;
        return WithChild(varChild, [&](TabView&, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF) return S_FALSE;
            if (IsListChild(model, child)) return ReturnString(kListButtonName, pszName);
            return ReturnString(model.At(child - 1)->caption, pszName);
        });
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override {
        if (!pszValue) return E_POINTER;
        *pszValue = nullptr;
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF || IsListChild(model, child)) return S_FALSE;
            if (!view.Features().unsavedMarks || !model.At(child - 1)->unsaved) return S_FALSE;
            return ReturnString(kUnsavedValue, pszValue);
        });
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override {
        if (!pszDescription) return E_POINTER;
        *pszDescription = nullptr;
        return WithChild(varChild, [&](TabView&, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF || IsListChild(model, child)) return S_FALSE;
            return ReturnString(model.At(child - 1)->toolTip, pszDescription);
        });
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override {
        if (!pvarRole) return E_POINTER;
        VariantInit(pvarRole);
        return WithChild(varChild, [&](TabView&, const TabModel& model, int32_t child) {
            V_VT(pvarRole) = VT_I4;
            V_I4(pvarRole) = child == CHILDID_SELF       ? ROLE_SYSTEM_PAGETABLIST
                             : IsListChild(model, child) ? ROLE_SYSTEM_PUSHBUTTON
                                                         : ROLE_SYSTEM_PAGETAB;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override {
        if (!pvarState) return E_POINTER;
        VariantInit(pvarState);
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) {
            LONG state = 0;
            if (child == CHILDID_SELF) {
                if (!IsWindowVisible(view.hwnd())) state |= STATE_SYSTEM_INVISIBLE;
            } else if (IsListChild(model, child)) {
                state = STATE_SYSTEM_HASPOPUP | (view.ListOpen() ? STATE_SYSTEM_PRESSED : 0);
            } else {
                const int32_t index = child - 1;
                state |= STATE_SYSTEM_SELECTABLE;
                if (model.SelectedIndex() == index) state |= STATE_SYSTEM_SELECTED;
                if (view.HotIndex() == index) state |= STATE_SYSTEM_HOTTRACKED;
                const TabLayout& layout = view.Layout();
                if (!layout.tabs[static_cast<size_t>(index)].visible)
                    state |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
            }
            V_VT(pvarState) = VT_I4;
            V_I4(pvarState) = state;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override {
        if (!pszHelp) return E_POINTER;
        *pszHelp = nullptr;
        return WithChild(varChild, [](TabView&, const TabModel&, int32_t) { return S_FALSE; });
    }

    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT, long* pidTopic) override {
        if (pszHelpFile) *pszHelpFile = nullptr;
        if (pidTopic) *pidTopic = 0;
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override {
        if (!pszKeyboardShortcut) return E_POINTER;
        *pszKeyboardShortcut = nullptr;
        return WithChild(varChild, [](TabView&, const TabModel&, int32_t) { return S_FALSE; });
    }

    // The strip never has the keyboard focus.
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override {
        if (!pvarChild) return E_POINTER;
        VariantInit(pvarChild);
        return Guard([](TabView&, const TabModel&) { return S_FALSE; });
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override {
        if (!pvarChildren) return E_POINTER;
        VariantInit(pvarChildren);
        return Guard([&](TabView&, const TabModel& model) {
            const int32_t selected = model.SelectedIndex();
            if (selected < 0) return S_FALSE;
            V_VT(pvarChildren) = VT_I4;
            V_I4(pvarChildren) = selected + 1;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override {
        if (!pszDefaultAction) return E_POINTER;
        *pszDefaultAction = nullptr;
        return WithChild(varChild, [&](TabView&, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF) return S_FALSE;
            return ReturnString(IsListChild(model, child) ? kPressAction : kDefaultAction, pszDefaultAction);
        });
    }

    HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override {
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF || IsListChild(model, child)) return E_INVALIDARG;
            if (flagsSelect & (SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION | SELFLAG_EXTENDSELECTION)) {
                return E_INVALIDARG;  // single selection only
            }
            if (flagsSelect & SELFLAG_TAKESELECTION) view.SelectFromAccessibility(model.At(child - 1));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                          VARIANT varChild) override {
        if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight) return E_POINTER;
        *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) {
            RECT r{};
            if (child == CHILDID_SELF) {
                GetClientRect(view.hwnd(), &r);
                MapWindowPoints(view.hwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
            } else {
                const auto rect =
                    IsListChild(model, child) ? view.ListButtonScreenRect() : view.ItemScreenRect(child - 1);
                if (!rect) return S_FALSE;
                r = *rect;
            }
            *pxLeft = r.left;
            *pyTop = r.top;
            *pcxWidth = r.right - r.left;
            *pcyHeight = r.bottom - r.top;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override {
        if (!pvarEndUpAt) return E_POINTER;
        VariantInit(pvarEndUpAt);
        return WithChild(varStart, [&](TabView& view, const TabModel& model, int32_t child) {
            const int32_t count = ChildCount(view, model);
            int32_t target = 0;
            switch (navDir) {
                case NAVDIR_FIRSTCHILD:
                    if (child != CHILDID_SELF) return E_INVALIDARG;
                    target = count > 0 ? 1 : 0;
                    break;
                case NAVDIR_LASTCHILD:
                    if (child != CHILDID_SELF) return E_INVALIDARG;
                    target = count;
                    break;
                case NAVDIR_NEXT:
                case NAVDIR_RIGHT:
                    if (child == CHILDID_SELF) return S_FALSE;  // siblings of the list are the window's business
                    target = child < count ? child + 1 : 0;
                    break;
                case NAVDIR_PREVIOUS:
                case NAVDIR_LEFT:
                    if (child == CHILDID_SELF) return S_FALSE;
                    target = child - 1;
                    break;
                default:
                    return S_FALSE;
            }
            if (target <= 0) return S_FALSE;
            V_VT(pvarEndUpAt) = VT_I4;
            V_I4(pvarEndUpAt) = target;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override {
        if (!pvarChild) return E_POINTER;
        VariantInit(pvarChild);
        return Guard([&](TabView& view, const TabModel& model) {
            POINT p{xLeft, yTop};
            ScreenToClient(view.hwnd(), &p);
            RECT client{};
            GetClientRect(view.hwnd(), &client);
            if (!PtInRect(&client, p)) return S_FALSE;
            const HitResult hit = HitTestLayout(view.Layout(), Point{p.x, p.y});
            V_VT(pvarChild) = VT_I4;
            V_I4(pvarChild) = CHILDID_SELF;
            if (hit.kind == HitKind::ListButton) V_I4(pvarChild) = model.Count() + 1;
            if (hit.kind == HitKind::Tab || hit.kind == HitKind::CloseButton) {
                const int32_t child = hit.index + 1;
                V_I4(pvarChild) = child;
                // A tab with a button is an object: the client asks it next.
                if (view.HasCloseButton(hit.index)) {
                    IDispatch* tab = CreateTabPageAccessible(this, view_, model.At(hit.index));
                    if (!tab) return E_OUTOFMEMORY;
                    V_VT(pvarChild) = VT_DISPATCH;
                    V_DISPATCH(pvarChild) = tab;
                }
            }
            return S_OK;
        });
    }

    // Posted, not performed here: the click may take long (Excel switches
    // workbooks) and a client must not be blocked by it.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override {
        return WithChild(varChild, [&](TabView& view, const TabModel& model, int32_t child) {
            if (child == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
            if (IsListChild(model, child)) {
                view.PostListAction();
                return S_OK;
            }
            view.PostDefaultAction(model.At(child - 1));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // Children 1..n are the tabs; n + 1 is the list button while it shows.
    static int32_t ChildCount(TabView& view, const TabModel& model) {
        return model.Count() + (view.HasListButton() ? 1 : 0);
    }
    static bool IsListChild(const TabModel& model, int32_t child) { return child == model.Count() + 1; }

    template <class Body>
    HRESULT Guard(Body&& body) {
        try {
            auto view = view_.lock();
            if (!view || !view->Alive() || !view->Model()) return RPC_E_DISCONNECTED;
            return body(*view, *view->Model());
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    // Runs body with a valid child id: CHILDID_SELF or 1..count.
    template <class Body>
    HRESULT WithChild(const VARIANT& varChild, Body&& body) {
        return Guard([&](TabView& view, const TabModel& model) -> HRESULT {
            Variant id;
            if (FAILED(VariantChangeType(id.get(), const_cast<VARIANT*>(&varChild), 0, VT_I4))) return E_INVALIDARG;
            const LONG child = V_I4(id.get());
            if (child < 0 || child > ChildCount(view, model)) return E_INVALIDARG;
            return body(view, model, static_cast<int32_t>(child));
        });
    }

    std::weak_ptr<TabView> view_;
};

// A tab with a close button, as an object of its own: CHILDID_SELF is the
// tab (every answer comes from the list, so tab and simple element agree)
// and child 1 is its close button, a push button. It holds its tab weakly
// and finds its position on every call: the list may change meanwhile.
class TabPageAccessible final : public AccessibleBase {
public:
    TabPageAccessible(IAccessible* list, std::weak_ptr<TabView> view, std::weak_ptr<TabItemState> item)
        : list_(list), view_(std::move(view)), item_(std::move(item)) {}

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override {
        if (!ppdispParent) return E_POINTER;
        *ppdispParent = nullptr;
        return Guard([&](TabView&, int32_t) {
            return list_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppdispParent));
        });
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* pcountChildren) override {
        if (!pcountChildren) return E_POINTER;
        *pcountChildren = 0;
        return Guard([&](TabView& view, int32_t index) {
            *pcountChildren = view.HasCloseButton(index) ? 1 : 0;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override {
        if (!ppdispChild) return E_POINTER;
        *ppdispChild = nullptr;
        return WithChild(varChild, [](TabView&, int32_t, bool) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override {
        if (!pszName) return E_POINTER;
        *pszName = nullptr;
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) {
            return button ? ReturnString(kCloseButtonName, pszName)
                          : list_->get_accName(ChildVariant(index + 1), pszName);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override {
        if (!pszValue) return E_POINTER;
        *pszValue = nullptr;
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) {
            return button ? S_FALSE : list_->get_accValue(ChildVariant(index + 1), pszValue);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override {
        if (!pszDescription) return E_POINTER;
        *pszDescription = nullptr;
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) {
            return button ? S_FALSE : list_->get_accDescription(ChildVariant(index + 1), pszDescription);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override {
        if (!pvarRole) return E_POINTER;
        VariantInit(pvarRole);
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) -> HRESULT {
            if (!button) return list_->get_accRole(ChildVariant(index + 1), pvarRole);
            V_VT(pvarRole) = VT_I4;
            V_I4(pvarRole) = ROLE_SYSTEM_PUSHBUTTON;
            return S_OK;
        });
    }
    // The button is drawn on the selected tab and the one under the
    // pointer; on the others it is there for a screen reader but invisible.
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override {
        if (!pvarState) return E_POINTER;
        VariantInit(pvarState);
        return WithChild(varChild, [&](TabView& view, int32_t index, bool button) -> HRESULT {
            if (!button) return list_->get_accState(ChildVariant(index + 1), pvarState);
            LONG state = 0;
            if (!view.CloseButtonShown(index)) state |= STATE_SYSTEM_INVISIBLE;
            if (!view.CloseButtonScreenRect(index)) state |= STATE_SYSTEM_OFFSCREEN;
            if (view.CloseButtonHot(index)) state |= STATE_SYSTEM_HOTTRACKED;
            if (view.CloseButtonPressed(index)) state |= STATE_SYSTEM_PRESSED;
            V_VT(pvarState) = VT_I4;
            V_I4(pvarState) = state;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override {
        if (!pszHelp) return E_POINTER;
        *pszHelp = nullptr;
        return WithChild(varChild, [](TabView&, int32_t, bool) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT, long* pidTopic) override {
        if (pszHelpFile) *pszHelpFile = nullptr;
        if (pidTopic) *pidTopic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override {
        if (!pszKeyboardShortcut) return E_POINTER;
        *pszKeyboardShortcut = nullptr;
        return WithChild(varChild, [](TabView&, int32_t, bool) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override {
        if (!pvarChild) return E_POINTER;
        VariantInit(pvarChild);
        return Guard([](TabView&, int32_t) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override {
        if (!pvarChildren) return E_POINTER;
        VariantInit(pvarChildren);
        return Guard([](TabView&, int32_t) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override {
        if (!pszDefaultAction) return E_POINTER;
        *pszDefaultAction = nullptr;
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) {
            return button ? ReturnString(kPressAction, pszDefaultAction)
                          : list_->get_accDefaultAction(ChildVariant(index + 1), pszDefaultAction);
        });
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flagsSelect, VARIANT varChild) override {
        return WithChild(varChild, [&](TabView&, int32_t index, bool button) {
            return button ? E_INVALIDARG : list_->accSelect(flagsSelect, ChildVariant(index + 1));
        });
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                          VARIANT varChild) override {
        if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight) return E_POINTER;
        *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
        return WithChild(varChild, [&](TabView& view, int32_t index, bool button) -> HRESULT {
            if (!button) return list_->accLocation(pxLeft, pyTop, pcxWidth, pcyHeight, ChildVariant(index + 1));
            const auto rect = view.CloseButtonScreenRect(index);
            if (!rect) return S_FALSE;
            ReturnLocation(*rect, pxLeft, pyTop, pcxWidth, pcyHeight);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override {
        if (!pvarEndUpAt) return E_POINTER;
        VariantInit(pvarEndUpAt);
        return WithChild(varStart, [&](TabView&, int32_t, bool button) -> HRESULT {
            if (button || (navDir != NAVDIR_FIRSTCHILD && navDir != NAVDIR_LASTCHILD)) return S_FALSE;
            V_VT(pvarEndUpAt) = VT_I4;
            V_I4(pvarEndUpAt) = 1;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override {
        if (!pvarChild) return E_POINTER;
        VariantInit(pvarChild);
        return Guard([&](TabView& view, int32_t index) -> HRESULT {
            const POINT p{xLeft, yTop};
            const auto button = view.CloseButtonScreenRect(index);
            const auto tab = view.ItemScreenRect(index);
            V_VT(pvarChild) = VT_I4;
            if (button && PtInRect(&*button, p)) {
                V_I4(pvarChild) = 1;
            } else if (tab && PtInRect(&*tab, p)) {
                V_I4(pvarChild) = CHILDID_SELF;
            } else {
                V_VT(pvarChild) = VT_EMPTY;
                return S_FALSE;
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override {
        return WithChild(varChild, [&](TabView& view, int32_t index, bool button) {
            if (!button) return list_->accDoDefaultAction(ChildVariant(index + 1));
            view.PostCloseAction(item_.lock());
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // A tab that left the list is as gone as a strip without a window.
    template <class Body>
    HRESULT Guard(Body&& body) {
        try {
            auto view = view_.lock();
            const ItemRef item = item_.lock();
            if (!view || !view->Alive() || !view->Model() || !item) return RPC_E_DISCONNECTED;
            const int32_t index = view->Model()->IndexOf(item.get());
            if (index < 0) return RPC_E_DISCONNECTED;
            return body(*view, index);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    // Runs body for CHILDID_SELF (button false) or the close button, child 1.
    template <class Body>
    HRESULT WithChild(const VARIANT& varChild, Body&& body) {
        return Guard([&](TabView& view, int32_t index) -> HRESULT {
            Variant id;
            if (FAILED(VariantChangeType(id.get(), const_cast<VARIANT*>(&varChild), 0, VT_I4))) return E_INVALIDARG;
            const LONG child = V_I4(id.get());
            if (child == CHILDID_SELF) return body(view, index, false);
            if (child == 1 && view.HasCloseButton(index)) return body(view, index, true);
            return E_INVALIDARG;
        });
    }

    ComPtr<IAccessible> list_;
    std::weak_ptr<TabView> view_;
    std::weak_ptr<TabItemState> item_;
};

IDispatch* CreateTabPageAccessible(IAccessible* list, std::weak_ptr<TabView> view, std::weak_ptr<TabItemState> item) {
    auto* page = new (std::nothrow) TabPageAccessible(list, std::move(view), std::move(item));
    return page ? static_cast<IDispatch*>(page) : nullptr;
}

}  // namespace

IAccessible* CreateTabAccessible(std::weak_ptr<TabView> view) {
    return new (std::nothrow) TabAccessible(std::move(view));
}

}  // namespace corvane::win
