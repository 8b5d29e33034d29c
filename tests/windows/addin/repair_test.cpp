// The strip on machines where the tab control did not deploy as planned: a
// system directory that cannot take the module, a module never registered,
// a leftover with protecting attributes. Each case runs in its own process
// (CTest passes a filter): a module once loaded stays loaded.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <chrono>
#include <iostream>

#include "addin_harness.h"
#include "fake_excel.h"

namespace addintest {
namespace {

std::wstring UserModulePath() {
    wchar_t folder[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\Tarnwick\\Corvane.ocx";
}

void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// A clean slate: no module anywhere, nothing registered.
void RemoveControl() {
    ::SetFileAttributesW(ControlModulePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(ControlModulePath().c_str());
    ::RemoveDirectoryW(ControlModulePath().c_str());
    ::DeleteFileW(UserModulePath().c_str());
    ForgetTabControl();
}

struct Outcome {
    std::optional<std::vector<Tab>> tabs;
    std::optional<std::wstring> activeBefore, activeAfterClick;
    double secondsToStrip = 0;
};

// Excel with three workbooks starts, loads the add-in, and the user clicks
// the first tab.
Outcome StartAndClickFirstTab() {
    Outcome out;
    fakexl::FakeExcel excel({.initialWorkbooks = 3});
    const auto started = std::chrono::steady_clock::now();
    auto addin = CreateAddin();
    if (!addin) return out;
    addin->OnConnection(excel.Application(), 1, nullptr, nullptr);
    addin->OnStartupComplete(nullptr);
    excel.PumpUntil([&] { return (out.tabs = ReadTabs(excel.BarWindow(L"VodevIzuzod"))).has_value(); }, 15000);
    out.secondsToStrip = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "first start to a docked strip: " << out.secondsToStrip << " s\n";
    out.activeBefore = excel.ActiveWorkbook();
    if (out.tabs && !out.tabs->empty()) {
        const RECT r = out.tabs->front().screen;
        ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        const std::wstring wanted = out.tabs->front().name;
        excel.PumpUntil([&] { return excel.ActiveWorkbook() == wanted; }, 5000);
    }
    out.activeAfterClick = excel.ActiveWorkbook();
    addin->OnDisconnection(1, nullptr);
    return out;
}

void ExpectAWorkingStrip(const Outcome& out) {
    ASSERT_TRUE(out.tabs) << "no strip docked";
    ASSERT_EQ(out.tabs->size(), 3u);
    EXPECT_NE(out.activeBefore, out.tabs->front().name);
    EXPECT_EQ(out.activeAfterClick, out.tabs->front().name) << "the click switched workbooks";
}

class Repair : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        ASSERT_TRUE(::LoadLibraryW(AddinDllPath().c_str()));
        ASSERT_EQ(Regsvr32(false), 0u);
        RemoveControl();
        embedded_ = EmbeddedControlModule();
        ASSERT_FALSE(embedded_.empty());
    }
    void TearDown() override {
        // The next suites find the module deployed and registered, as after a normal first start.
        ::RemoveDirectoryW(ControlModulePath().c_str());
        ::SetFileAttributesW(ControlModulePath().c_str(), FILE_ATTRIBUTE_NORMAL);
        if (ReadFileBytes(ControlModulePath()) != embedded_) WriteBytes(ControlModulePath(), embedded_);
        RunAndWait(L"\"" + SystemDir() + L"\\regsvr32.exe\" /s \"" + ControlModulePath() + L"\"");
        ::OleUninitialize();
    }
    std::vector<BYTE> embedded_;
};

TEST_F(Repair, ASystemDirectoryThatCannotTakeTheModule) {
    // A directory in the module's place: nothing can be written there.
    ASSERT_TRUE(::CreateDirectoryW(ControlModulePath().c_str(), nullptr));
    ExpectAWorkingStrip(StartAndClickFirstTab());
    EXPECT_EQ(ReadFileBytes(UserModulePath()), embedded_) << "the user's own copy";
    EXPECT_FALSE(TabControlRegistered()) << "created without any registration";
}

TEST_F(Repair, AModuleThatWasNeverRegistered) {
    WriteBytes(ControlModulePath(), embedded_);
    ExpectAWorkingStrip(StartAndClickFirstTab());
    EXPECT_TRUE(TabControlRegistered());
    EXPECT_EQ(::GetFileAttributesW(UserModulePath().c_str()), INVALID_FILE_ATTRIBUTES) << "no copy needed";
}

TEST_F(Repair, ALeftoverWithHiddenSystemAndReadOnlyAttributes) {
    WriteBytes(ControlModulePath(), {'M', 'Z', 0, 0});
    ASSERT_TRUE(::SetFileAttributesW(ControlModulePath().c_str(),
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
    ExpectAWorkingStrip(StartAndClickFirstTab());
    EXPECT_EQ(ReadFileBytes(ControlModulePath()), embedded_);
    EXPECT_EQ(::GetFileAttributesW(ControlModulePath().c_str()) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              0u);
    EXPECT_TRUE(TabControlRegistered());
}

TEST_F(Repair, AFirstStartOnACleanMachine) {
    ExpectAWorkingStrip(StartAndClickFirstTab());
    EXPECT_TRUE(TabControlRegistered());
}

}  // namespace
}  // namespace addintest
