// The platform's kernel32, advapi32 and user32 services as the core sees
// them: wide strings in, ANSI "A" calls underneath, Windows' results out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32_platform.h"
#include "test_support.h"

namespace tarnwick::win32 {
namespace {

const RegKey kHkcu = reinterpret_cast<RegKey>(HKEY_CURRENT_USER);

std::wstring TempDir() {
    wchar_t buffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

class PlatformServices : public ::testing::Test {
protected:
    Win32Platform platform_{test::ThisModule()};
};

// --- registry

class PlatformRegistry : public PlatformServices {
protected:
    static constexpr const wchar_t* kKey = L"Software\\TarnwickPlatformTest\\设置";
    void SetUp() override {
        ASSERT_EQ(platform_.RegCreateKeyA(kHkcu, kKey, &key_), 0);
        ASSERT_NE(key_, 0u);
    }
    void TearDown() override {
        platform_.RegCloseKey(key_);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TarnwickPlatformTest");
    }
    RegKey key_ = 0;
};

TEST_F(PlatformRegistry, ValuesRoundTripThroughTheAnsiFunctions) {
    const std::string chinese = platform_.WideToAnsi(L"简洁风格");
    const uint32_t dword = 0x01020304;
    struct Case {
        const wchar_t* name;
        uint32_t type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {L"Theme", REG_SZ, {'1', 0}},
        {L"风格", REG_SZ, std::vector<uint8_t>(chinese.c_str(), chinese.c_str() + chinese.size() + 1)},
        {L"Blob", REG_BINARY, {0, 1, 2, 0xFF}},
        {L"Count", REG_DWORD, std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&dword),
                                                   reinterpret_cast<const uint8_t*>(&dword) + 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "value type " << c.type);
        ASSERT_EQ(platform_.RegSetValueExA(key_, c.name, c.type, c.bytes.data(), static_cast<uint32_t>(c.bytes.size())), 0);

        // Size and type first, as the settings store asks.
        uint32_t type = 0, size = 0;
        ASSERT_EQ(platform_.RegQueryValueExA(key_, c.name, &type, nullptr, &size), 0);
        EXPECT_EQ(type, c.type);
        ASSERT_EQ(size, c.bytes.size());

        std::vector<uint8_t> data(size);
        ASSERT_EQ(platform_.RegQueryValueExA(key_, c.name, &type, data.data(), &size), 0);
        EXPECT_EQ(data, c.bytes);
    }
    // The ANSI bytes are the code page's: the wide API reads the same text back.
    wchar_t wide[32] = {};
    DWORD wideSize = sizeof(wide);
    ASSERT_EQ(::RegQueryValueExW(reinterpret_cast<HKEY>(key_), L"风格", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(wide), &wideSize),
              ERROR_SUCCESS);
    EXPECT_STREQ(wide, L"简洁风格");
}

TEST_F(PlatformRegistry, ReturnCodesPassThrough) {
    RegKey missing = 123;
    EXPECT_EQ(platform_.RegOpenKeyA(kHkcu, L"Software\\TarnwickPlatformTest\\没有", &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, 0u);

    uint32_t type = 0, size = 0;
    EXPECT_EQ(platform_.RegQueryValueExA(key_, L"Absent", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    const uint8_t text[] = "long enough";
    ASSERT_EQ(platform_.RegSetValueExA(key_, L"Text", REG_SZ, text, sizeof(text)), 0);
    uint8_t small[4] = {};
    size = sizeof(small);
    EXPECT_EQ(platform_.RegQueryValueExA(key_, L"Text", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof(text));

    RegKey opened = 0;
    ASSERT_EQ(platform_.RegOpenKeyA(kHkcu, kKey, &opened), 0);
    EXPECT_EQ(platform_.RegCloseKey(opened), 0);
}

// --- files

TEST_F(PlatformServices, FindOrdinaryFileAcceptsOnlyPlainFiles) {
    const std::wstring dir = TempDir() + L"tarnwick-find\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    struct Case {
        const wchar_t* name;
        DWORD attributes;  // 0: a directory
        bool expected;
    } cases[] = {
        {L"plain.ocx", FILE_ATTRIBUTE_NORMAL, true},
        {L"readonly.ocx", FILE_ATTRIBUTE_READONLY, true},
        {L"hidden.ocx", FILE_ATTRIBUTE_HIDDEN, false},
        {L"system.ocx", FILE_ATTRIBUTE_SYSTEM, false},
        {L"folder.ocx", 0, false},
    };
    for (const Case& c : cases) {
        const std::wstring path = dir + c.name;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.attributes == 0) {
            ::CreateDirectoryW(path.c_str(), nullptr);
        } else {
            try {
                platform_.WriteBinaryFile(path, {1, 2, 3});
            } catch (const HostError& e) {
                FAIL() << "case " << (&c - cases) << " error " << e.code();
            }
            ::SetFileAttributesW(path.c_str(), c.attributes);
        }
        EXPECT_EQ(platform_.FindOrdinaryFile(path), c.expected) << "case " << (&c - cases);
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        ::RemoveDirectoryW(path.c_str());
    }
    EXPECT_FALSE(platform_.FindOrdinaryFile(dir + L"missing.ocx"));
    ::RemoveDirectoryW(dir.c_str());
}

TEST_F(PlatformServices, WriteBinaryFileReplacesTheWholeFile) {
    const std::wstring path = TempDir() + L"tarnwick-write.bin";
    std::vector<uint8_t> first(70000);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7);
    platform_.WriteBinaryFile(path, first);
    platform_.WriteBinaryFile(path, {9, 8, 7});

    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    uint8_t buffer[16] = {};
    DWORD read = 0;
    ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
    ::CloseHandle(file);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + read), (std::vector<uint8_t>{9, 8, 7}));
}

TEST_F(PlatformServices, WriteBinaryFileFailureCarriesTheWin32Error) {
    try {
        platform_.WriteBinaryFile(TempDir() + L"no-such-folder\\x.bin", {1});
        FAIL() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.code(), ERROR_PATH_NOT_FOUND);
    }
}

// --- processes

TEST_F(PlatformServices, StartProcessRunsAFullPathAndWaits) {
    const std::wstring marker = TempDir() + L"tarnwick-started.txt";
    ::DeleteFileW(marker.c_str());
    const std::wstring cmd = platform_.GetSystemDirectoryA() + L"\\cmd.exe";
    ASSERT_TRUE(platform_.StartProcess(cmd, L"cmd.exe /c echo started>\"" + marker + L"\"", SW_HIDE, 10000));
    // The wait covered the whole run: the file is there on return.
    EXPECT_TRUE(platform_.FindOrdinaryFile(marker));
    ::DeleteFileW(marker.c_str());
}

int g_ticksDuringWait = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticksDuringWait; }

TEST_F(PlatformServices, AWaitForAProcessKeepsTheThreadsMessagesFlowingAndEndsInTime) {
    g_ticksDuringWait = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CountTick);
    ASSERT_NE(timer, 0u);
    const std::wstring cmd = platform_.GetSystemDirectoryA() + L"\\cmd.exe";
    const DWORD started = ::GetTickCount();
    // Runs for seconds: longer than the wait.
    ASSERT_TRUE(platform_.StartProcess(cmd, L"cmd.exe /c ping -n 6 127.0.0.1 >nul", SW_HIDE, 1500));
    const DWORD waited = ::GetTickCount() - started;
    ::KillTimer(nullptr, timer);
    EXPECT_GE(waited, 1400u);
    EXPECT_LT(waited, 3000u) << "bounded by the wait, not by the process";
    EXPECT_GE(g_ticksDuringWait, 10) << "timer messages were dispatched while waiting";
}

// Excel is closing while we wait: the wait ends at once, and the quit is
// left for Excel's own loop.
TEST_F(PlatformServices, AWaitForAProcessEndsAtOnceWhenTheThreadQuits) {
    const std::wstring cmd = platform_.GetSystemDirectoryA() + L"\\cmd.exe";
    ::PostQuitMessage(7);
    const DWORD started = ::GetTickCount();
    ASSERT_TRUE(platform_.StartProcess(cmd, L"cmd.exe /c ping -n 6 127.0.0.1 >nul", SW_HIDE, 4000));
    EXPECT_LT(::GetTickCount() - started, 1500u) << "the wait spun until its bound";
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(PlatformServices, StartProcessRefusesProgramsThatNeedASearch) {
    for (const wchar_t* program : {L"cmd.exe", L"system32\\cmd.exe", L"\\cmd.exe", L""}) {
        SCOPED_TRACE(std::string(program, program + std::wcslen(program)));
        EXPECT_FALSE(platform_.StartProcess(program, L"cmd.exe /c exit 3", SW_HIDE, 1000));
    }
    EXPECT_FALSE(platform_.StartProcess(platform_.GetSystemDirectoryA() + L"\\no-such-program.exe", L"x", SW_HIDE, 1000));
}

// --- kernel32 and user32 text

TEST_F(PlatformServices, DirectoriesMatchTheWideApiWithoutTrailingBackslash) {
    wchar_t system[MAX_PATH] = {}, windows[MAX_PATH] = {}, machine[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::GetSystemWindowsDirectoryW(machine, MAX_PATH);
    EXPECT_EQ(platform_.GetSystemDirectoryA(), system);
    EXPECT_EQ(platform_.GetWindowsDirectoryA(), windows);
    EXPECT_EQ(platform_.GetSystemWindowsDirectoryW(), machine);
    EXPECT_NE(platform_.GetSystemDirectoryA().back(), L'\\');
}

TEST_F(PlatformServices, WindowTextIsCutAtTheBufferAndConvertedFromTheCodePage) {
    test::RegisterPlainClass(L"TarnwickTextWindow");
    struct Case {
        std::wstring title;
        std::wstring expected;
    } cases[] = {
        {L"激活", L"激活"},
        {L"活动文档", L"活动文档"},
        {L"", L""},
        {std::wstring(300, L'x'), std::wstring(254, L'x')},  // 255-byte buffer, one for the NUL
    };
    for (const Case& c : cases) {
        HWND hwnd = ::CreateWindowExW(0, L"TarnwickTextWindow", c.title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, test::ThisModule(), nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(platform_.GetWindowTextA(reinterpret_cast<WindowHandle>(hwnd)), c.expected);
        EXPECT_EQ(platform_.GetClassNameA(reinterpret_cast<WindowHandle>(hwnd)), L"TarnwickTextWindow");
        ::DestroyWindow(hwnd);
    }
}

// The window list in any language, whatever the ANSI code page; its owner
// and whether a modal dialog has disabled Excel.
TEST_F(PlatformServices, WideTitlesOwnersAndEnabledState) {
    test::RegisterPlainClass(L"TarnwickTextWindow");
    HWND owner = ::CreateWindowExW(0, L"TarnwickTextWindow", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                   nullptr, test::ThisModule(), nullptr);
    HWND dialog = ::CreateWindowExW(0, L"TarnwickTextWindow", L"Активировать 激活", WS_OVERLAPPED, 0, 0, 10, 10,
                                    owner, nullptr, test::ThisModule(), nullptr);
    const auto o = reinterpret_cast<WindowHandle>(owner), d = reinterpret_cast<WindowHandle>(dialog);
    EXPECT_EQ(platform_.GetWindowTextW(d), L"Активировать 激活");
    EXPECT_EQ(platform_.GetWindow(d, win::get_window::Owner), o);
    EXPECT_TRUE(platform_.IsWindowEnabled(o));
    ::EnableWindow(owner, FALSE);
    EXPECT_FALSE(platform_.IsWindowEnabled(o));
    ::DestroyWindow(owner);
}

TEST_F(PlatformServices, FindWindowExFindsChineseTitlesAndTreatsNothingAsNull) {
    test::RegisterPlainClass(L"MsoCommandBar");
    HWND parent = ::CreateWindowExW(0, L"MsoCommandBar", L"parent", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    test::ThisModule(), nullptr);
    HWND bar = ::CreateWindowExW(0, L"MsoCommandBar", L"标签栏", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                 test::ThisModule(), nullptr);
    const auto p = reinterpret_cast<WindowHandle>(parent);
    EXPECT_EQ(platform_.FindWindowExA(p, 0, L"MsoCommandBar", L"标签栏"), reinterpret_cast<WindowHandle>(bar));
    EXPECT_EQ(platform_.FindWindowExA(p, 0, std::nullopt, std::nullopt), reinterpret_cast<WindowHandle>(bar));
    EXPECT_EQ(platform_.FindWindowExA(p, 0, L"MsoCommandBar", L"其他"), 0u);
    ::DestroyWindow(parent);
}

TEST_F(PlatformServices, TwipsPerPixelFollowsTheScreenDpi) {
    HDC screen = ::GetDC(nullptr);
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(platform_.TwipsPerPixelX(), 1440 / dpiX);
    EXPECT_EQ(platform_.TwipsPerPixelY(), 1440 / dpiY);
    if (dpiX == 96) {
        EXPECT_EQ(platform_.TwipsPerPixelX(), 15);
    }
}

TEST_F(PlatformServices, LoadModuleResourceReturnsTheBytesOrThrows) {
    const std::vector<uint8_t> bytes = platform_.LoadModuleResource(L"OFFICE", 101);
    const char expected[] = "TWK\0payload";
    EXPECT_EQ(bytes, std::vector<uint8_t>(expected, expected + sizeof(expected) - 1));
    EXPECT_THROW(platform_.LoadModuleResource(L"OFFICE", 102), HostError);
    EXPECT_THROW(platform_.LoadModuleResource(L"NOTHERE", 101), HostError);
}

TEST_F(PlatformServices, DoEventsDispatchesWhatIsQueuedAndLeavesQuitAlone) {
    test::RegisterPlainClass(L"TarnwickPumpWindow");
    static int seen = 0;
    seen = 0;
    struct Proc {
        static LRESULT CALLBACK Run(HWND h, UINT m, WPARAM w, LPARAM l) {
            if (m == WM_APP) ++seen;
            return ::DefWindowProcW(h, m, w, l);
        }
    };
    HWND hwnd = ::CreateWindowExW(0, L"TarnwickPumpWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  test::ThisModule(), nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc::Run));
    ::PostMessageW(hwnd, WM_APP, 0, 0);
    ::PostMessageW(hwnd, WM_APP, 0, 0);
    ::PostQuitMessage(7);
    platform_.DoEvents();
    EXPECT_EQ(seen, 2);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was swallowed";
    EXPECT_EQ(msg.wParam, 7u);
    ::DestroyWindow(hwnd);
}

}  // namespace
}  // namespace tarnwick::win32
