// Form_Tab's window: created as a form is, hosting the tab control and
// translating the control's events into the core's, in the control's order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "forms/tab_control_adapter.h"
#include "forms/tab_form_window.h"
#include "platform/win32_platform.h"
#include "support/dispatch.h"
#include "test_support.h"

namespace tarnwick::win32 {
namespace {

class RecordingFormEvents : public TabFormEvents {
public:
    std::vector<std::wstring> log;
    void Form_Resize() override { log.push_back(L"Resize"); }
    void TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>& item, bool& cancel) override {
        log.push_back(L"BeforeItemClick " + (item ? item->Caption() : L"-") + (cancel ? L" cancel" : L""));
    }
    void TabSeclect_SelectedChanged(const std::shared_ptr<tab::TabItem>& item) override {
        log.push_back(L"SelectedChanged " + (item ? item->Caption() : L"-"));
        if (throwOnSelectedChanged) throw HostError(E_FAIL);
    }
    void TabSeclect_MouseUp(int16_t button, int16_t, float x, float) override {
        log.push_back(L"MouseUp " + std::to_wstring(button));
        lastX = x;
    }
    void TabSeclect_CloseButtonClick(const std::shared_ptr<tab::TabItem>& item) override {
        log.push_back(L"CloseButtonClick " + (item ? item->Caption() : L"-"));
    }
    bool throwOnSelectedChanged = false;
    float lastX = -1;
};

class ComScope {
public:
    ComScope() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() { ::CoUninitialize(); }
};

TEST(TabFormWindow, IsCreatedHiddenWithACaptionAsAFormIs) {
    ComScope com;
    RecordingFormEvents events;
    Win32TabFormWindow form(test::ThisModule(), events, L"Tarnwick.NoSuchControl");
    HWND hwnd = reinterpret_cast<HWND>(form.hWnd());
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(test::TextOf(hwnd), L"Form_Tab");
    const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_CHILD, 0);
    EXPECT_NE(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(::GetParent(hwnd), nullptr);
}

TEST(TabFormWindow, WithoutTheControlTheWindowStillWorksAndTabSeclectThrows) {
    ComScope com;
    RecordingFormEvents events;
    Win32TabFormWindow form(test::ThisModule(), events, L"Tarnwick.NoSuchControl");
    EXPECT_THROW(form.TabSeclect(), HostError);

    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(form.ImageList1());
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 1);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST(TabFormWindow, WidthIsInTwipsAndResizingReachesTheCore) {
    ComScope com;
    RecordingFormEvents events;
    Win32TabFormWindow form(test::ThisModule(), events, L"Tarnwick.NoSuchControl");
    HWND hwnd = reinterpret_cast<HWND>(form.hWnd());
    EXPECT_TRUE(events.log.empty()) << "no resize event while the form is being built";

    ::SetWindowPos(hwnd, nullptr, 0, 0, 400, 60, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(form.Width(), 400 * Win32Platform(test::ThisModule()).TwipsPerPixelX());
    ASSERT_FALSE(events.log.empty());
    EXPECT_EQ(events.log.back(), L"Resize");
}

TEST(TabFormWindow, DestructionDestroysTheWindowEvenAfterTheCoreRestyledIt) {
    ComScope com;
    RecordingFormEvents events;
    HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 300, 40, nullptr, nullptr,
                                  test::ThisModule(), nullptr);
    HWND hwnd = nullptr;
    {
        Win32TabFormWindow form(test::ThisModule(), events, L"Tarnwick.NoSuchControl");
        hwnd = reinterpret_cast<HWND>(form.hWnd());
        // What the core's load handler does: child style first, then the parent.
        ::SetWindowLongA(hwnd, GWL_STYLE, (::GetWindowLongA(hwnd, GWL_STYLE) & 0xFF3FFFFF) | WS_CHILD);
        ::SetParent(hwnd, host);
        ::ShowWindow(hwnd, SW_SHOWMAXIMIZED);
        form.Show();
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        EXPECT_TRUE(::IsZoomed(hwnd)) << "Show keeps the maximised state";
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    ::DestroyWindow(host);
}

#ifdef TARNWICK_CORVANE_PATH
std::wstring WinePath(const char* unixPath) {
    std::string path = unixPath;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return std::wstring(path.begin(), path.end());
}

class TabFormWithControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        HMODULE module = ::LoadLibraryW(WinePath(TARNWICK_CORVANE_PATH).c_str());
        ASSERT_NE(module, nullptr) << "Corvane.ocx could not be loaded";
        auto doRegister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(::GetProcAddress(module, "DllRegisterServer"));
        ASSERT_NE(doRegister, nullptr);
        ASSERT_EQ(doRegister(), S_OK);
    }
    void SetUp() override {
        form_ = std::make_unique<Win32TabFormWindow>(test::ThisModule(), events_);
        ASSERT_NE(form_->control(), nullptr)
            << "Corvane.TabControl was not created: 0x" << std::hex << form_->controlError();
        HWND hwnd = reinterpret_cast<HWND>(form_->hWnd());
        ::SetWindowPos(hwnd, nullptr, 0, 0, 500, 80, SWP_NOZORDER | SWP_NOACTIVATE);
        ::ShowWindow(hwnd, SW_SHOW);
        events_.log.clear();
    }
    void TearDown() override { form_.reset(); }

    HWND ControlWindow() {
        return reinterpret_cast<HWND>(
            static_cast<INT_PTR>(InvokeId(form_->control(), corvane_id::kHwnd, DISPATCH_PROPERTYGET).ToInt()));
    }

    ComScope com_;
    RecordingFormEvents events_;
    std::unique_ptr<Win32TabFormWindow> form_;
};

TEST_F(TabFormWithControl, TheControlIsAChildAtItsDesignGeometry) {
    HWND control = ControlWindow();
    ASSERT_TRUE(::IsWindow(control));
    EXPECT_EQ(::GetParent(control), reinterpret_cast<HWND>(form_->hWnd()));
    auto tabs = form_->TabSeclect();
    EXPECT_EQ(tabs->Left(), kTabLeftTwips);
    EXPECT_EQ(tabs->Width(), kTabWidthTwips);
    EXPECT_EQ(InvokeId(form_->control(), corvane_id::kHeight, DISPATCH_PROPERTYGET).ToInt(), kTabHeightTwips);
}

TEST_F(TabFormWithControl, TheAdapterDrivesItemsAndThePaintManager) {
    auto tabs = form_->TabSeclect();
    tabs->RemoveAll();
    tabs->SetImageList(form_->ImageList1());
    tabs->ItemCount(2);
    tabs->Item(0)->Caption(L"预算2024.xls");
    tabs->Item(1)->Caption(L"Book2");
    tabs->Item(1)->ToolTip(L"C:\\数据\\Book2.xls");
    tabs->InsertItem(2, L"Book3", 0, 0);
    EXPECT_EQ(tabs->ItemCount(), 3);
    EXPECT_EQ(tabs->Item(0)->Caption(), L"预算2024.xls");
    EXPECT_EQ(tabs->Item(1)->ToolTip(), L"C:\\数据\\Book2.xls");
    EXPECT_EQ(tabs->Item(2)->Index(), 2);
    EXPECT_THROW(tabs->Item(7), HostError);

    auto pm = tabs->PaintManager();
    pm->BoldSelected(true);
    pm->Appearance(tab::xtpTabAppearanceExcel);
    pm->ColorSet()->ButtonNormal(0x00CDCDCD);
    EXPECT_TRUE(pm->BoldSelected());
    EXPECT_EQ(pm->Appearance(), tab::xtpTabAppearanceExcel);
    EXPECT_EQ(pm->ColorSet()->ButtonNormal(), 0x00CDCDCDu);

    tabs->RemoveItem(0);
    EXPECT_EQ(tabs->Item(0)->Caption(), L"Book2");
}

TEST_F(TabFormWithControl, AClickOnATabRaisesTheCoreEventsInTheControlsOrder) {
    auto tabs = form_->TabSeclect();
    tabs->RemoveAll();
    tabs->ItemCount(2);
    tabs->Item(0)->Caption(L"Book1");
    tabs->Item(1)->Caption(L"预算");
    tabs->SelectedItem(0);
    events_.log.clear();

    HWND control = ControlWindow();
    RECT client{};
    ::GetClientRect(control, &client);
    const int y = client.bottom / 2;
    int x = -1;
    for (int probe = 0; probe < client.right && x < 0; probe += 4) {
        auto item = tabs->HitTest(probe, y);
        if (item && item->Index() == 1) x = probe + 4;
    }
    ASSERT_GE(x, 0) << "no point of the second tab found";

    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    ASSERT_TRUE(test::PumpUntil([&] { return events_.log.size() >= 3; }));
    const std::vector<std::wstring> expected{L"BeforeItemClick 预算", L"SelectedChanged 预算", L"MouseUp 1"};
    EXPECT_EQ(events_.log, expected);
    EXPECT_FLOAT_EQ(events_.lastX, static_cast<float>(x));
}

TEST_F(TabFormWithControl, TheCloseButtonAndTheUnsavedFlagReachTheControlAndBack) {
    auto tabs = form_->TabSeclect();
    tabs->RemoveAll();
    tabs->ItemCount(2);
    tabs->Item(0)->Caption(L"Book1");
    tabs->Item(1)->Caption(L"预算");
    tabs->ShowCloseButtons(true);
    tabs->ShowUnsavedMarks(true);
    tabs->Item(1)->Unsaved(true);
    EXPECT_TRUE(tabs->Item(1)->Unsaved());
    EXPECT_FALSE(tabs->Item(0)->Unsaved());
    tabs->SelectedItem(1);
    events_.log.clear();

    // The selected tab's close button, where the control's accessibility puts it.
    HWND control = ControlWindow();
    IAccessible* list = nullptr;
    ASSERT_EQ(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                           reinterpret_cast<void**>(&list)),
              S_OK);
    VARIANT child;
    ::VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = 2;
    IDispatch* tabObject = nullptr;
    ASSERT_EQ(list->get_accChild(child, &tabObject), S_OK);
    IAccessible* tab = nullptr;
    ASSERT_EQ(tabObject->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&tab)), S_OK);
    child.lVal = 1;
    long x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(tab->accLocation(&x, &y, &w, &h, child), S_OK);
    tab->Release();
    tabObject->Release();
    list->Release();
    POINT at{x + w / 2, y + h / 2};
    ::ScreenToClient(control, &at);

    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    ASSERT_TRUE(test::PumpUntil([&] { return !events_.log.empty(); }));
    test::PumpFor(100);
    EXPECT_EQ(events_.log, (std::vector<std::wstring>{L"CloseButtonClick 预算"}));
}

TEST_F(TabFormWithControl, ACoreFailureInsideAnEventStaysInTheSink) {
    auto tabs = form_->TabSeclect();
    tabs->RemoveAll();
    tabs->ItemCount(2);
    tabs->Item(0)->Caption(L"Book1");
    tabs->Item(1)->Caption(L"Book2");
    events_.throwOnSelectedChanged = true;
    events_.log.clear();
    tabs->Item(1)->Selected(true);  // raises SelectedChanged synchronously
    ASSERT_EQ(events_.log.size(), 1u);
    EXPECT_EQ(events_.log[0], L"SelectedChanged Book2");
    EXPECT_TRUE(tabs->Item(1)->Selected());
}
TEST_F(TabFormWithControl, Screenshot) {
    const char* dir = std::getenv("TARNWICK_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "TARNWICK_SCREENSHOT_DIR not set";
    auto tabs = form_->TabSeclect();
    tabs->RemoveAll();
    tabs->PaintManager()->ShowIcons(true);
    tabs->SetImageList(form_->ImageList1());
    tabs->ItemCount(3);
    const wchar_t* names[] = {L"Book1", L"预算2024.xls", L"客户名单.xls"};
    for (int i = 0; i < 3; ++i) {
        tabs->Item(i)->Caption(names[i]);
        tabs->Item(i)->Image(0);
    }
    tabs->PaintManager()->BoldSelected(true);
    tabs->SelectedItem(1);
    HWND hwnd = reinterpret_cast<HWND>(form_->hWnd());
    tabs->Width(form_->Width() - 20);
    test::PumpFor(500);
    test::SaveBitmap(hwnd, std::string(dir) + "/tab-form.bmp");
}
#endif

}  // namespace
}  // namespace tarnwick::win32
