// Deployment of the tab control module on the first start of the add-in.
#include <gtest/gtest.h>

#include <windows.h>

#include <type_traits>

#include "addin_harness.h"
#include "fake_excel.h"

namespace addintest {
namespace {

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Deployment runs once per thread, before the thread's first object: each
// start is played on a fresh apartment thread.
template <class F>
DWORD WINAPI RunOnApartment(void* context) {
    ::OleInitialize(nullptr);
    (*static_cast<F*>(context))();
    ::OleUninitialize();
    return 0;
}

template <class F>
void OnNewThread(F&& body) {
    using Body = std::remove_reference_t<F>;
    HANDLE thread = ::CreateThread(nullptr, 0, &RunOnApartment<Body>, &body, 0, nullptr);
    ASSERT_TRUE(thread);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
}

constexpr wchar_t kControlVersionKey[] = L"CLSID\\{07C96505-90BE-43ED-956A-C748BFE9A951}\\Version";

// What the two starts left behind, recorded before any other test can load
// the control module in this process (a loaded module cannot be deleted).
struct Starts {
    bool prefixCleared = false;
    DWORD registered = ~0u;
    bool firstCreated = false;
    std::vector<BYTE> fileAfterFirst;
    bool controlRegisteredAfterFirst = false;
    std::optional<std::vector<Tab>> tabsOnFirst;
    std::optional<FILETIME> writtenByFirst, writtenAfterSecond;
    HRESULT secondCreated = E_FAIL;
    bool registrationCameBack = false;
};
Starts g_starts;

class Environment : public testing::Environment {
public:
    void SetUp() override {
        // The test thread keeps one apartment for the whole run, so that the
        // DLL stays loaded between tests as it does in Excel.
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        // Loaded first by the main thread, as in Excel: the thread that loads
        // the DLL is its longest-lived user (the static runtime's thread-exit
        // handling hangs under Wine when that thread ends first).
        ASSERT_TRUE(::LoadLibraryW(AddinDllPath().c_str()));
        Starts& s = g_starts;

        ::DeleteFileW(ControlModulePath().c_str());
        ForgetTabControl();
        s.prefixCleared = !FileWriteTime(ControlModulePath());
        s.registered = Regsvr32(false).value_or(~0u);

        OnNewThread([&] {
            fakexl::FakeExcel excel({.initialWorkbooks = 3});
            auto addin = CreateAddin();
            s.firstCreated = static_cast<bool>(addin);
            if (!addin) return;
            s.fileAfterFirst = ReadFileBytes(ControlModulePath());
            s.controlRegisteredAfterFirst = TabControlRegistered();
            addin->OnConnection(excel.Application(), 0, nullptr, nullptr);
            excel.PumpUntil([&] { return (s.tabsOnFirst = ReadTabs(excel.BarWindow(L"VodevIzuzod"))).has_value(); },
                            5000);
            addin->OnDisconnection(1, nullptr);
        });
        s.writtenByFirst = FileWriteTime(ControlModulePath());

        // A registration on the second start would bring this key back; the
        // control is creatable without it.
        RegDeleteTree(HKEY_CLASSES_ROOT, kControlVersionKey);
        OnNewThread([&] { CreateAddin(&s.secondCreated); });
        ::Sleep(2000);  // time for a registration tool to run, were one started
        s.writtenAfterSecond = FileWriteTime(ControlModulePath());
        s.registrationCameBack = RegKeyExists(HKEY_CLASSES_ROOT, kControlVersionKey);
        RunAndWait(L"\"" + SystemDir() + L"\\regsvr32.exe\" /s \"" + ControlModulePath() + L"\"");
    }
    void TearDown() override { ::OleUninitialize(); }

};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new Environment);

TEST(Deployment, FirstStartWritesTheModuleRegistersItAndTheStripAppears) {
    const Starts& s = g_starts;
    ASSERT_TRUE(s.prefixCleared) << "the prefix still had the module";
    ASSERT_EQ(s.registered, 0u);
    ASSERT_TRUE(s.firstCreated);

    SCOPED_TRACE("the module is on disk, identical to the embedded one, and registered");
    const std::vector<BYTE> embedded = EmbeddedControlModule();
    ASSERT_FALSE(embedded.empty());
    EXPECT_EQ(s.fileAfterFirst, embedded);
    EXPECT_TRUE(s.controlRegisteredAfterFirst);

    SCOPED_TRACE("the strip appeared on that same start");
    ASSERT_TRUE(s.tabsOnFirst);
    EXPECT_EQ(s.tabsOnFirst->size(), 3u);
}

TEST(Deployment, LaterStartFindsTheControlRegisteredAndWritesAndRegistersNothing) {
    const Starts& s = g_starts;
    EXPECT_EQ(s.secondCreated, S_OK);
    ASSERT_TRUE(s.writtenByFirst);
    ASSERT_TRUE(s.writtenAfterSecond);
    EXPECT_TRUE(SameTime(*s.writtenByFirst, *s.writtenAfterSecond));
    EXPECT_FALSE(s.registrationCameBack);
}

}  // namespace
}  // namespace addintest
