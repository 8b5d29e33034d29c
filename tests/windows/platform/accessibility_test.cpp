// The oleacc adapter against a window that answers WM_GETOBJECT with its
// own small accessible tree.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

#include "platform/win32_platform.h"
#include "test_support.h"

namespace tarnwick::win32 {
namespace {

struct Entry {
    std::wstring name;
    long role = 0;
    long state = 0;
    bool fails = false;  // every call about this child fails
};

// An IAccessible whose children are given as VARIANTs (objects, child ids
// or anything else); it enumerates them through IEnumVARIANT.
class TestAccessible final : public IAccessible, public IEnumVARIANT {
public:
    std::map<long, Entry> entries;  // by child id; 0 is the object itself
    std::vector<VARIANT> children;
    std::vector<long> defaultActions;

    ~TestAccessible() {
        for (auto& v : children) ::VariantClear(&v);
    }
    void AddObject(TestAccessible* child) {
        VARIANT v;
        v.vt = VT_DISPATCH;
        v.pdispVal = static_cast<IAccessible*>(child);  // takes the caller's reference
        children.push_back(v);
    }
    void AddChildId(long id, Entry e) {
        entries[id] = std::move(e);
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = id;
        children.push_back(v);
    }
    void AddOther() {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(L"not a child");
        children.push_back(v);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible)
            *out = static_cast<IAccessible*>(this);
        else if (iid == IID_IEnumVARIANT)
            *out = static_cast<IEnumVARIANT*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { *p = nullptr; return S_FALSE; }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
        *n = static_cast<long>(children.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** p) override { *p = nullptr; return S_FALSE; }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        const Entry* e = Find(id);
        if (!e) return E_INVALIDARG;
        *name = ::SysAllocString(e->name.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        const Entry* e = Find(id);
        if (!e) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = e->role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        const Entry* e = Find(id);
        if (!e) return E_INVALIDARG;
        state->vt = VT_I4;
        state->lVal = e->state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR*, VARIANT, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(long*, long*, long*, long*, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accHitTest(long, long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        if (!Find(id)) return E_INVALIDARG;
        defaultActions.push_back(id.lVal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
    // IEnumVARIANT
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && cursor_ < children.size(); ++n, ++cursor_) {
            ::VariantInit(&out[n]);
            ::VariantCopy(&out[n], &children[cursor_]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        cursor_ += count;
        return cursor_ <= children.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        cursor_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

private:
    const Entry* Find(const VARIANT& id) const {
        if (id.vt != VT_I4) return nullptr;
        auto it = entries.find(id.lVal);
        return it == entries.end() || it->second.fails ? nullptr : &it->second;
    }
    ULONG refs_ = 1;
    size_t cursor_ = 0;
};

TestAccessible* g_root = nullptr;

LRESULT CALLBACK AccessibleWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETOBJECT && static_cast<long>(lParam) == OBJID_WINDOW && g_root)
        return ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(g_root));
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

class PlatformAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // LresultFromObject marshals
        g_root = new TestAccessible;
        g_root->entries[0] = {L"激活", 18 /* dialog */, 0};
        button_ = new TestAccessible;
        button_->entries[0] = {L"确定", ROLE_SYSTEM_PUSHBUTTON, 0};
        button_->AddRef();  // kept for inspection
        g_root->AddObject(button_);
        g_root->AddChildId(1, {L"Book1.xls", ROLE_SYSTEM_LISTITEM, 0x00100084});
        g_root->AddOther();
        g_root->AddChildId(2, {L"broken", 0, 0, true});

        WNDCLASSW wc{};
        wc.lpfnWndProc = &AccessibleWindowProc;
        wc.hInstance = test::ThisModule();
        wc.lpszClassName = L"TarnwickAccessibleWindow";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, L"TarnwickAccessibleWindow", L"激活", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, test::ThisModule(), nullptr);
        ASSERT_NE(hwnd_, nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(hwnd_);
        button_->Release();
        g_root->Release();
        g_root = nullptr;
        ::CoUninitialize();
    }

    Win32Platform platform_{test::ThisModule()};
    HWND hwnd_ = nullptr;
    TestAccessible* button_ = nullptr;
};

TEST_F(PlatformAccessibility, ObjectFromWindowReadsNameRoleAndState) {
    auto root = platform_.AccessibleObjectFromWindow(reinterpret_cast<WindowHandle>(hwnd_), OBJID_WINDOW);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->accName(CHILDID_SELF), L"激活");
    EXPECT_EQ(root->accChildCount(), 4);
    EXPECT_EQ(root->accName(1), L"Book1.xls");
    EXPECT_EQ(root->accRole(1), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(root->accState(1), 0x00100084u);
    root->accDoDefaultAction(1);
    EXPECT_EQ(g_root->defaultActions, std::vector<long>{1});
}

TEST_F(PlatformAccessibility, FailingCallsBecomeHostErrors) {
    auto root = platform_.AccessibleObjectFromWindow(reinterpret_cast<WindowHandle>(hwnd_), OBJID_WINDOW);
    ASSERT_TRUE(root);
    EXPECT_THROW(root->accName(2), HostError);
    EXPECT_THROW(root->accRole(2), HostError);
    EXPECT_THROW(root->accState(2), HostError);
    EXPECT_THROW(root->accDoDefaultAction(2), HostError);
    EXPECT_THROW(root->accName(99), HostError);
}

TEST_F(PlatformAccessibility, ChildrenAreClassifiedAsObjectsChildIdsOrOther) {
    auto root = platform_.AccessibleObjectFromWindow(reinterpret_cast<WindowHandle>(hwnd_), OBJID_WINDOW);
    ASSERT_TRUE(root);
    acc::AccessibleChildrenResult result = platform_.AccessibleChildren(*root, 0, 4);
    EXPECT_EQ(result.hresult, S_OK);
    ASSERT_EQ(result.children.size(), 4u);
    using Kind = acc::AccessibleChild::Kind;
    EXPECT_EQ(result.children[0].kind, Kind::Object);
    EXPECT_EQ(result.children[1].kind, Kind::ChildId);
    EXPECT_EQ(result.children[1].childId, 1);
    EXPECT_EQ(result.children[2].kind, Kind::Other);
    EXPECT_EQ(result.children[3].kind, Kind::ChildId);
    EXPECT_EQ(result.children[3].childId, 2);

    // The object child is a live adapter of its own.
    ASSERT_TRUE(result.children[0].object);
    EXPECT_EQ(result.children[0].object->accName(CHILDID_SELF), L"确定");
    EXPECT_EQ(result.children[0].object->accRole(CHILDID_SELF), ROLE_SYSTEM_PUSHBUTTON);
    result.children[0].object->accDoDefaultAction(CHILDID_SELF);
    EXPECT_EQ(button_->defaultActions, std::vector<long>{0});
}

TEST_F(PlatformAccessibility, AskingForMoreChildrenThanExistIsSFalse) {
    auto root = platform_.AccessibleObjectFromWindow(reinterpret_cast<WindowHandle>(hwnd_), OBJID_WINDOW);
    ASSERT_TRUE(root);
    acc::AccessibleChildrenResult result = platform_.AccessibleChildren(*root, 0, 6);
    EXPECT_EQ(result.hresult, S_FALSE);
    EXPECT_EQ(result.children.size(), 4u);
}

}  // namespace
}  // namespace tarnwick::win32
