// frmAbout's window: its controls and fonts from the design, ownership,
// and the keys and clicks that reach the core while the modal loop runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "forms/about_form_window.h"
#include "platform/win32_platform.h"
#include "test_support.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kAddress[] = L"http://tarnwick.example.com/";

// Unloads as the core does: cmdOK and closing destroy the window.
class RecordingAboutEvents : public AboutFormEvents {
public:
    AboutFormWindow* window = nullptr;
    std::vector<std::string> log;
    bool ownerEnabledDuringClick = true;
    HWND owner = nullptr;
    void cmdOK_Click() override {
        log.push_back("cmdOK");
        if (owner) ownerEnabledDuringClick = ::IsWindowEnabled(owner) != FALSE;
        window->Destroy();
    }
    void Labelblog_Click() override { log.push_back("Labelblog"); }
    void Form_CloseRequested() override {
        log.push_back("Close");
        window->Destroy();
    }
};

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterPlainClass(L"XLMAIN");
        owner_ = ::CreateWindowExW(0, L"XLMAIN", L"Excel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                                   nullptr, nullptr, test::ThisModule(), nullptr);
        window_ = std::make_unique<Win32AboutFormWindow>(test::ThisModule(), events_, kAddress);
        events_.window = window_.get();
        events_.owner = owner_;
        hwnd_ = reinterpret_cast<HWND>(window_->hWnd());
        ASSERT_TRUE(::IsWindow(hwnd_));
    }
    void TearDown() override {
        window_.reset();
        ::DestroyWindow(owner_);
    }
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
    void OwnByExcel() { ::SetWindowLongA(hwnd_, GWL_HWNDPARENT, static_cast<LONG>(reinterpret_cast<INT_PTR>(owner_))); }

    // Runs the modal loop with `post` queued; a safety timer ends a loop
    // that the test's input failed to end.
    void RunModal(const std::function<void()>& post) {
        post();
        s_dialog = hwnd_;
        UINT_PTR guard = ::SetTimer(nullptr, 0, 8000, &EndStuckLoop);
        window_->ShowModal();
        ::KillTimer(nullptr, guard);
    }

    static void CALLBACK EndStuckLoop(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        ADD_FAILURE() << "the modal loop did not end by itself";
        ::DestroyWindow(s_dialog);
    }
    static inline HWND s_dialog = nullptr;

    HWND owner_ = nullptr;
    RecordingAboutEvents events_;
    std::unique_ptr<Win32AboutFormWindow> window_;
    HWND hwnd_ = nullptr;
};

TEST_F(AboutWindow, ControlsCarryTheirCaptionsAtTheirDesignPositions) {
    const int tppX = Win32Platform(test::ThisModule()).TwipsPerPixelX();
    const int tppY = Win32Platform(test::ThisModule()).TwipsPerPixelY();
    struct Case {
        int id;
        std::wstring text;
        int left, top, width, height;  // twips
    } cases[] = {
        {kIdCmdOK, L"确定", 5040, 5400, 1020, 345},
        {kIdFrame1, L"风格选择", 480, 3720, 5535, 735},
        {kIdOption2, L"豪华风格", 480 + 3600, 3720 + 240, 1455, 375},
        {kIdOption1, L"简洁风格", 480 + 720, 3720 + 240, 1455, 375},
        {kIdFrame2, L"标签选项", 480, 4560, 5535, 735},
        {kIdChkCloseButtons, L"显示关闭按钮", 480 + 720, 4560 + 240, 2175, 375},
        {kIdChkUnsavedMarks, L"显示未保存标记", 480 + 3600, 4560 + 240, 1815, 375},
        {kIdLabelblog, kAddress, 1800, 3000, 2655, 615},
        {kIdLabel9, L"我的博客:", 480, 3000, 855, 255},
        {kIdLabel8, about_text::kCredit, 480, 1800, 4815, 375},
        {kIdLabel7, about_text::kNote, 360, 960, 5895, 615},
        {kIdLabel4, about_text::kContact1, 1800, 2160, 4215, 255},
        {kIdLabel5, about_text::kContact2, 1800, 2400, 4215, 255},
        {kIdLabel6, about_text::kContact3, 1800, 2640, 4215, 255},
        {kIdLabel3, L"联系方式：", 480, 2160, 1215, 255},
        {kIdLabel2, about_text::kTitle, 840, 240, 4755, 465},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "control id " << c.id);
        HWND control = Item(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(test::TextOf(control), c.text);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, c.left / tppX);
        EXPECT_EQ(r.top, c.top / tppY);
        EXPECT_EQ(r.right - r.left, c.width / tppX);
        EXPECT_EQ(r.bottom - r.top, c.height / tppY);
    }
    EXPECT_EQ(test::TextOf(hwnd_), std::wstring(L"关于 ") + about_text::kTitle);
    EXPECT_FALSE(::IsWindowVisible(hwnd_)) << "created hidden";
}

TEST_F(AboutWindow, FontsAreYaHeiGb2312AtTheirPointSizes) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    struct Case {
        int id;
        int tenthsOfPoint;
        bool underline;
    } cases[] = {
        {kIdCmdOK, 90, false}, {kIdOption1, 90, false}, {kIdLabel3, 90, false},
        {kIdLabel7, 105, false}, {kIdLabel2, 180, false}, {kIdLabelblog, 90, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "control id " << c.id);
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Item(c.id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW lf{};
        ::GetObjectW(font, sizeof(lf), &lf);
        EXPECT_STREQ(lf.lfFaceName, L"微软雅黑");
        EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
        EXPECT_EQ(lf.lfHeight, -::MulDiv(c.tenthsOfPoint, dpi, 720));
        EXPECT_EQ(lf.lfUnderline != 0, c.underline);
    }
}

TEST_F(AboutWindow, OptionsAreExclusiveAndControlsCanBeDisabled) {
    window_->OptionValue(AboutOption::Option1, true);
    EXPECT_TRUE(window_->OptionValue(AboutOption::Option1));
    EXPECT_FALSE(window_->OptionValue(AboutOption::Option2));
    window_->OptionValue(AboutOption::Option2, true);
    EXPECT_FALSE(window_->OptionValue(AboutOption::Option1));
    EXPECT_TRUE(window_->OptionValue(AboutOption::Option2));

    window_->CheckValue(AboutCheck::chkUnsavedMarks, true);
    EXPECT_TRUE(window_->CheckValue(AboutCheck::chkUnsavedMarks));
    EXPECT_FALSE(window_->CheckValue(AboutCheck::chkCloseButtons)) << "check boxes are independent";

    window_->Enabled(AboutControl::Option1, false);
    window_->Enabled(AboutControl::cmdOK, false);
    window_->Enabled(AboutControl::chkCloseButtons, false);
    EXPECT_FALSE(::IsWindowEnabled(Item(kIdChkCloseButtons)));
    EXPECT_TRUE(::IsWindowEnabled(Item(kIdChkUnsavedMarks)));
    EXPECT_FALSE(::IsWindowEnabled(Item(kIdOption1)));
    EXPECT_TRUE(::IsWindowEnabled(Item(kIdOption2)));
    EXPECT_FALSE(::IsWindowEnabled(Item(kIdCmdOK)));
}

TEST_F(AboutWindow, EscAndEnterPressOkWhileTheOwnerIsDisabled) {
    OwnByExcel();
    EXPECT_EQ(::GetWindow(hwnd_, GW_OWNER), owner_);
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        SCOPED_TRACE(testing::Message() << "key " << key);
        if (!::IsWindow(hwnd_)) {
            window_ = std::make_unique<Win32AboutFormWindow>(test::ThisModule(), events_, kAddress);
            events_.window = window_.get();
            hwnd_ = reinterpret_cast<HWND>(window_->hWnd());
            OwnByExcel();
        }
        events_.log.clear();
        RunModal([&] {
            ::PostMessageW(Item(kIdCmdOK), WM_KEYDOWN, key, 0);
            ::PostMessageW(Item(kIdCmdOK), WM_KEYUP, key, 0);
        });
        EXPECT_EQ(events_.log, std::vector<std::string>{"cmdOK"});
        EXPECT_FALSE(events_.ownerEnabledDuringClick) << "the owner is disabled while the dialog runs";
        EXPECT_TRUE(::IsWindowEnabled(owner_)) << "and enabled again afterwards";
        EXPECT_FALSE(::IsWindow(hwnd_));
    }
}

TEST_F(AboutWindow, DisabledOkIgnoresEscAndClosingAsksTheCore) {
    OwnByExcel();
    window_->Enabled(AboutControl::cmdOK, false);
    RunModal([&] {
        ::PostMessageW(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(events_.log, std::vector<std::string>{"Close"});
    EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(AboutWindow, ClickingTheLinkReachesTheCore) {
    HWND link = Item(kIdLabelblog);
    RunModal([&] {
        ::PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        ::PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(events_.log, (std::vector<std::string>{"Labelblog", "Close"}));
}

TEST_F(AboutWindow, DestroyingTheObjectInsideItsOwnEventIsSafe) {
    // The core may drop the window object from inside cmdOK_Click.
    struct Dropping : RecordingAboutEvents {
        std::unique_ptr<Win32AboutFormWindow>* holder = nullptr;
        void cmdOK_Click() override {
            log.push_back("cmdOK");
            holder->reset();
        }
    } events;
    auto window = std::make_unique<Win32AboutFormWindow>(test::ThisModule(), events, kAddress);
    events.holder = &window;
    HWND hwnd = reinterpret_cast<HWND>(window->hWnd());
    HWND ok = ::GetDlgItem(hwnd, kIdCmdOK);
    ::PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 0);
    window->ShowModal();
    EXPECT_EQ(events.log, std::vector<std::string>{"cmdOK"});
    EXPECT_FALSE(window);
    EXPECT_FALSE(::IsWindow(hwnd));
}

void CALLBACK Close(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::PostMessageW(::FindWindowW(kAboutFormClass, nullptr), WM_CLOSE, 0, 0);
}

void CALLBACK CaptureAndClose(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND dialog = ::FindWindowW(kAboutFormClass, nullptr);
    test::SaveBitmap(dialog, std::string(std::getenv("TARNWICK_SCREENSHOT_DIR")) + "/about-dialog.bmp");
    // Left on screen a while longer for a capture of the whole display.
    ::SetTimer(nullptr, 0, 3000, &Close);
}

TEST_F(AboutWindow, Screenshot) {
    const char* dir = std::getenv("TARNWICK_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "TARNWICK_SCREENSHOT_DIR not set";
    OwnByExcel();
    window_->OptionValue(AboutOption::Option2, true);
    window_->CheckValue(AboutCheck::chkCloseButtons, true);
    window_->CheckValue(AboutCheck::chkUnsavedMarks, true);
    RunModal([&] { ::SetTimer(nullptr, 0, 800, &CaptureAndClose); });
}

}  // namespace
}  // namespace tarnwick::win32
