// The add-in created by its ProgID and connected to the fake Excel: version
// gate, docking, disconnection, references, faults.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "addin_harness.h"
#include "fake_excel.h"

namespace addintest {
namespace {

using tarnwick::win32::ComPtr;

constexpr const wchar_t* kHostBar = L"VodevIzuzod";
constexpr int kAfterStartup = 0;

class Connection : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(false), 0u); }

    ComPtr<IDTExtensibility2> Connect(fakexl::FakeExcel& excel) {
        auto addin = CreateAddin();
        EXPECT_TRUE(addin);
        if (addin) {
            EXPECT_EQ(addin->OnConnection(excel.Application(), kAfterStartup, nullptr, nullptr), S_OK);
        }
        return addin;
    }

    static std::optional<std::vector<Tab>> WaitForTabs(fakexl::FakeExcel& excel, size_t count) {
        std::optional<std::vector<Tab>> tabs;
        excel.PumpUntil(
            [&] {
                tabs = ReadTabs(excel.BarWindow(kHostBar));
                return tabs && tabs->size() == count;
            },
            5000);
        return tabs;
    }

    static std::vector<std::wstring> BarNames(const fakexl::FakeExcel& excel) {
        std::vector<std::wstring> names;
        for (const auto& bar : excel.Bars()) names.push_back(bar.name);
        return names;
    }
};

TEST_F(Connection, OtherVersionsOrAnUnreadableVersionLeaveExcelUntouched) {
    struct Case {
        const wchar_t* version;
        bool versionFails;
    };
    for (const Case& c : {Case{L"9.0", false}, Case{L"12.0", false}, Case{L"11.0", true}}) {
        SCOPED_TRACE(testing::Message() << "version " << std::string(c.version, c.version + wcslen(c.version))
                                        << (c.versionFails ? " (read fails)" : ""));
        fakexl::FakeExcel excel({.version = c.version, .versionFails = c.versionFails, .initialWorkbooks = 3});
        const auto barsBefore = BarNames(excel);
        auto addin = Connect(excel);
        excel.PumpFor(200);

        EXPECT_EQ(BarNames(excel), barsBefore);
        EXPECT_EQ(excel.AppEventSinks(), 0);
        EXPECT_EQ(excel.ButtonEventSinks(), 0);
        EXPECT_EQ(excel.OutstandingReferences(), 0);
        EXPECT_EQ(addin->OnStartupComplete(nullptr), S_OK);
        EXPECT_EQ(addin->OnDisconnection(1, nullptr), S_OK);
        EXPECT_TRUE(excel.UnexpectedCalls().empty());
    }
}

TEST_F(Connection, Excel2003WithThreeWorkbooksDocksTheStripWithOneTabEach) {
    fakexl::FakeExcel excel({.initialWorkbooks = 3});
    auto addin = Connect(excel);
    auto tabs = WaitForTabs(excel, 3);

    SCOPED_TRACE("the host bar: a visible protected top bar of four disabled 600-wide buttons");
    auto bar = excel.Bar(kHostBar);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->visible);
    EXPECT_EQ(bar->position, fakexl::kBarTop);
    EXPECT_EQ(bar->protection, 31);
    ASSERT_EQ(bar->controls.size(), 4u);
    for (const auto& control : bar->controls) {
        EXPECT_FALSE(control.enabled);
        EXPECT_EQ(control.width, 600);
    }

    SCOPED_TRACE("the form is the bar window's child and fills it");
    HWND barWindow = excel.BarWindow(kHostBar);
    ASSERT_TRUE(barWindow);
    EXPECT_EQ(std::wstring(L"MsoCommandBar"), [&] {
        wchar_t cls[64] = {};
        ::GetClassNameW(barWindow, cls, 64);
        return std::wstring(cls);
    }());
    HWND form = FirstChild(barWindow);
    ASSERT_TRUE(form);
    EXPECT_EQ(::GetParent(form), barWindow);
    RECT barClient{}, formRect{};
    ::GetClientRect(barWindow, &barClient);
    ::GetWindowRect(form, &formRect);
    ::MapWindowPoints(nullptr, barWindow, reinterpret_cast<POINT*>(&formRect), 2);
    EXPECT_EQ(formRect.left, barClient.left);
    EXPECT_EQ(formRect.top, barClient.top);
    EXPECT_EQ(formRect.right, barClient.right);
    EXPECT_EQ(formRect.bottom, barClient.bottom);

    SCOPED_TRACE("one tab per workbook, the active one selected");
    ASSERT_TRUE(tabs);
    ASSERT_EQ(tabs->size(), 3u);
    const auto books = excel.Workbooks();
    for (size_t i = 0; i < tabs->size(); ++i) {
        EXPECT_EQ((*tabs)[i].name, books[i].name);
        EXPECT_EQ((*tabs)[i].selected, books[i].name == excel.ActiveWorkbook());
    }
    EXPECT_EQ(addin->OnDisconnection(1, nullptr), S_OK);
}

TEST_F(Connection, DisconnectionTakesEverythingDownAndAReconnectionWorksAgain) {
    fakexl::FakeExcel excel({.initialWorkbooks = 3});
    auto addin = Connect(excel);
    ASSERT_TRUE(WaitForTabs(excel, 3));
    HWND form = FirstChild(excel.BarWindow(kHostBar));
    ASSERT_TRUE(form);

    ASSERT_EQ(addin->OnDisconnection(1, nullptr), S_OK);
    EXPECT_FALSE(excel.Bar(kHostBar));
    EXPECT_FALSE(::IsWindow(form));
    EXPECT_EQ(excel.AppEventSinks(), 0);
    EXPECT_EQ(excel.ButtonEventSinks(), 0);
    EXPECT_EQ(excel.OutstandingReferences(), 0) << "references still held on the host's objects";

    SCOPED_TRACE("no timer runs: pumping makes no host call");
    excel.ResetCallCounts();
    excel.PumpFor(300);
    EXPECT_EQ(excel.InvokeCount(), 0);

    SCOPED_TRACE("connecting the same object again");
    ASSERT_EQ(addin->OnConnection(excel.Application(), kAfterStartup, nullptr, nullptr), S_OK);
    auto tabs = WaitForTabs(excel, 3);
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->size(), 3u);
    ASSERT_EQ(addin->OnDisconnection(1, nullptr), S_OK);
    EXPECT_EQ(excel.OutstandingReferences(), 0);
}

TEST_F(Connection, DllCanUnloadNowOnceTheAddinIsReleased) {
    auto addin = CreateAddin();
    ASSERT_TRUE(addin);
    HMODULE dll = ::GetModuleHandleW(L"TarnwickAddin.dll");
    ASSERT_TRUE(dll);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(::GetProcAddress(dll, "DllCanUnloadNow"));
    ASSERT_TRUE(canUnload);
    ::CoFreeUnusedLibraries();  // drops cached class objects
    EXPECT_EQ(canUnload(), S_FALSE);
    addin.Reset();
    EXPECT_EQ(canUnload(), S_OK);

    SCOPED_TRACE("an event sink still held by Excel keeps the DLL loaded");
    fakexl::FakeExcel excel({.initialWorkbooks = 1});
    addin = CreateAddin();
    ASSERT_TRUE(addin);
    addin->OnConnection(excel.Application(), kAfterStartup, nullptr, nullptr);
    IDispatch* sink = excel.HoldAppEventSink();
    ASSERT_TRUE(sink);
    addin->OnDisconnection(1, nullptr);
    addin.Reset();
    ::CoFreeUnusedLibraries();
    EXPECT_EQ(canUnload(), S_FALSE);
    sink->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Connection, ConnectionMethodsAlsoAnswerThroughIDispatch) {
    fakexl::FakeExcel excel({.initialWorkbooks = 2});
    auto addin = CreateAddin();
    ASSERT_TRUE(addin);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(addin->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);

    // OnConnection(Application, ConnectMode, AddInInst, custom): last argument first.
    VARIANT args[4] = {};
    SAFEARRAY* custom = nullptr;
    args[0].vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
    args[0].pparray = &custom;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = nullptr;
    args[2].vt = VT_I4;
    args[2].lVal = kAfterStartup;
    args[3].vt = VT_DISPATCH;
    args[3].pdispVal = excel.Application();
    DISPPARAMS params{args, nullptr, 4, 0};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_TRUE(WaitForTabs(excel, 2));

    DISPPARAMS twoArgs{args, nullptr, 2, 0};
    args[1].vt = VT_I4;
    args[1].lVal = 1;
    EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &twoArgs, nullptr, nullptr, nullptr), S_OK);
    EXPECT_FALSE(excel.Bar(kHostBar));

    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"OnStartupComplete");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 4);
}

TEST_F(Connection, NoFailureOfTheHostEscapesAnEntryPoint) {
    const wchar_t* failing[] = {L"Application.Visible", L"Application.CommandBars", L"CommandBars.Add",
                                L"CommandBars.Item", L"Workbooks.Item", L"Window.Visible", L"CommandBar.Delete",
                                L"Workbook.Name"};
    for (const wchar_t* member : failing) {
        SCOPED_TRACE(testing::Message() << "failing " << std::string(member, member + wcslen(member)));
        fakexl::FakeExcel excel({.initialWorkbooks = 3});
        excel.FailMember(member);
        auto addin = Connect(excel);
        excel.PumpFor(100);
        EXPECT_EQ(addin->OnStartupComplete(nullptr), S_OK);
        EXPECT_EQ(addin->OnAddInsUpdate(nullptr), S_OK);
        EXPECT_EQ(addin->OnBeginShutdown(nullptr), S_OK);
        EXPECT_EQ(addin->OnDisconnection(0, nullptr), S_OK);
        excel.ClearFailures();
    }
    SCOPED_TRACE("every call failing for a while");
    fakexl::FakeExcel excel({.initialWorkbooks = 3});
    excel.FailNextCalls(1000);
    auto addin = Connect(excel);
    excel.PumpFor(100);
    EXPECT_EQ(addin->OnDisconnection(0, nullptr), S_OK);
}

TEST_F(Connection, AFailingBeforeCloseHandlerBecomesTheEventsResult) {
    fakexl::FakeExcel excel({.initialWorkbooks = 3});
    auto addin = Connect(excel);
    ASSERT_TRUE(WaitForTabs(excel, 3));
    ASSERT_TRUE(excel.SinkFailures().empty());

    // The handler reads Application.Visible without trapping its failure.
    excel.FailMember(L"Application.Visible", E_ACCESSDENIED, 1);
    excel.CloseWorkbook(L"Book2");
    EXPECT_FALSE(excel.SinkFailures().empty());
    excel.ClearFailures();
    EXPECT_EQ(addin->OnDisconnection(1, nullptr), S_OK);
}

}  // namespace
}  // namespace addintest
