// Timers and the CBT hook reach the core through the platform's trampolines,
// and nothing the core throws escapes into user32.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32_platform.h"
#include "test_support.h"

namespace tarnwick::win32 {
namespace {

using test::PumpUntil;

int g_ticks = 0;
std::uintptr_t g_lastTimerId = 0;
void CountingTimer(WindowHandle, uint32_t, std::uintptr_t id, uint32_t) {
    ++g_ticks;
    g_lastTimerId = id;
}
void ThrowingTimer(WindowHandle, uint32_t, std::uintptr_t, uint32_t) {
    ++g_ticks;
    throw std::runtime_error("core failure");
}

TEST(PlatformTimer, ThreadTimerFiresUntilKilled) {
    Win32Platform platform(test::ThisModule());
    g_ticks = 0;
    std::uintptr_t id = platform.SetTimer(0, 0, 10, &CountingTimer);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(PumpUntil([] { return g_ticks >= 3; })) << "ticks: " << g_ticks;
    EXPECT_EQ(g_lastTimerId, id);

    EXPECT_TRUE(platform.KillTimer(0, id));
    int afterKill = g_ticks;
    test::PumpFor(100);
    EXPECT_EQ(g_ticks, afterKill);
}

TEST(PlatformTimer, ThrowingTimerProcDoesNotEscapeAndKeepsTicking) {
    Win32Platform platform(test::ThisModule());
    g_ticks = 0;
    std::uintptr_t id = platform.SetTimer(0, 0, 10, &ThrowingTimer);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(PumpUntil([] { return g_ticks >= 2; }));
    platform.KillTimer(0, id);
}

TEST(PlatformTimer, TwoTimersReachTheirOwnProcedures) {
    Win32Platform platform(test::ThisModule());
    g_ticks = 0;
    std::uintptr_t counting = platform.SetTimer(0, 0, 10, &CountingTimer);
    std::uintptr_t throwing = platform.SetTimer(0, 0, 10, &ThrowingTimer);
    ASSERT_NE(counting, throwing);
    EXPECT_TRUE(PumpUntil([] { return g_ticks >= 6; }));
    platform.KillTimer(0, throwing);
    g_lastTimerId = 0;
    EXPECT_TRUE(PumpUntil([] { return g_lastTimerId != 0; }));
    EXPECT_EQ(g_lastTimerId, counting);
    platform.KillTimer(0, counting);
}

// --- CBT hook

struct HookRecord {
    Win32Platform* platform = nullptr;
    HookHandle hook = 0;
    bool throwAfterRecording = false;
    std::vector<std::wstring> focusClasses;
    std::vector<std::wstring> activatedTitles;
};
HookRecord g_hook;

std::intptr_t RecordingHook(int32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
    if (code == HCBT_SETFOCUS && wParam)
        g_hook.focusClasses.push_back(g_hook.platform->GetClassNameA(wParam));
    if (code == HCBT_ACTIVATE) g_hook.activatedTitles.push_back(g_hook.platform->GetWindowTextA(wParam));
    if (g_hook.throwAfterRecording) throw std::runtime_error("core failure");
    return g_hook.platform->CallNextHookEx(g_hook.hook, code, wParam, lParam);
}

// A plain hook installed before ours: it runs only when ours passes the
// call down the chain.
int g_nextHookCalls = 0;
HHOOK g_nextHook = nullptr;
LRESULT CALLBACK NextHook(int code, WPARAM wParam, LPARAM lParam) {
    ++g_nextHookCalls;
    return ::CallNextHookEx(g_nextHook, code, wParam, lParam);
}

class PlatformHook : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterPlainClass(L"EXCEL6");
        test::RegisterPlainClass(L"EDTBX");
        test::RegisterPlainClass(L"TarnwickHookTop");
        g_hook = HookRecord{};
        g_hook.platform = &platform_;
        main_ = ::CreateWindowExW(0, L"TarnwickHookTop", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                  200, nullptr, nullptr, test::ThisModule(), nullptr);
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        if (g_hook.hook) platform_.UnhookWindowsHookEx(g_hook.hook);
        ::DestroyWindow(main_);
    }
    void Install() {
        // Excel's instance handle is what the add-in passes; here the test exe's.
        g_hook.hook = platform_.SetWindowsHookExA(WH_CBT, &RecordingHook,
                                                  reinterpret_cast<ModuleHandle>(test::ThisModule()),
                                                  ::GetCurrentThreadId());
        ASSERT_NE(g_hook.hook, 0u);
    }
    HWND Child(const wchar_t* cls) {
        return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, main_, nullptr,
                                 test::ThisModule(), nullptr);
    }

    Win32Platform platform_{test::ThisModule()};
    HWND main_ = nullptr;
};

TEST_F(PlatformHook, SetFocusReportsTheClassNameOfExcelEditWindows) {
    HWND formula = Child(L"EXCEL6");
    HWND editBox = Child(L"EDTBX");
    Install();
    ::SetFocus(formula);
    ::SetFocus(editBox);
    ASSERT_GE(g_hook.focusClasses.size(), 2u);
    EXPECT_EQ(g_hook.focusClasses[g_hook.focusClasses.size() - 2], L"EXCEL6");
    EXPECT_EQ(g_hook.focusClasses.back(), L"EDTBX");
}

TEST_F(PlatformHook, ActivationReportsAChineseTitleThroughTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 936u) << "the suite runs under a Chinese locale";
    Install();
    HWND dialog = ::CreateWindowExW(0, L"TarnwickHookTop", L"激活", WS_OVERLAPPEDWINDOW, 20, 20, 200, 100, nullptr,
                                    nullptr, test::ThisModule(), nullptr);
    ::ShowWindow(dialog, SW_SHOW);
    ::SetActiveWindow(dialog);
    EXPECT_NE(std::find(g_hook.activatedTitles.begin(), g_hook.activatedTitles.end(), L"激活"),
              g_hook.activatedTitles.end());
    ::DestroyWindow(dialog);
}

TEST_F(PlatformHook, ThrowingHookProcStillCallsTheNextHook) {
    HWND formula = Child(L"EXCEL6");
    g_nextHook = ::SetWindowsHookExW(WH_CBT, &NextHook, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(g_nextHook, nullptr);
    Install();  // later hooks run first
    g_hook.throwAfterRecording = true;
    g_nextHookCalls = 0;
    ::SetFocus(main_);
    ::SetFocus(formula);
    EXPECT_FALSE(g_hook.focusClasses.empty());
    EXPECT_GT(g_nextHookCalls, 0);
    ::UnhookWindowsHookEx(g_nextHook);
}

TEST_F(PlatformHook, OneCoreProcedurePerHookType) {
    Install();
    EXPECT_EQ(platform_.SetWindowsHookExA(WH_CBT, &RecordingHook, 0, ::GetCurrentThreadId()), 0u);
    ASSERT_TRUE(platform_.UnhookWindowsHookEx(g_hook.hook));
    g_hook.hook = 0;
    Install();  // the slot is free again
}

}  // namespace
}  // namespace tarnwick::win32
