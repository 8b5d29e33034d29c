// Asking Excel which workbooks are on screen, and the focus back to Excel.
#include "tracking/excel_windows.h"

#include <gtest/gtest.h>

#include "foundation_world.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"

namespace tarnwick::testing {
namespace {

std::unique_ptr<sim::World> MakeExcelForHelpers(const std::vector<std::wstring>& workbooks) {
    auto world = MakeExcel(workbooks);
    State().ExcelApp = world->Application();
    return world;
}

TEST(VisibleWorkbooks, CountEachWorkbookWithAVisibleWindowOnce) {
    auto world = MakeExcelForHelpers({});
    EXPECT_EQ(CountVisibleWorkbooks(), 0) << "no workbook";

    world->OpenWorkbook(L"C:\\data\\a.xls");
    world->AddWindow(L"a.xls");
    EXPECT_EQ(CountVisibleWorkbooks(), 1) << "two visible windows count once";

    world->AddHiddenWorkbook(L"C:\\addins\\helper.xla");
    EXPECT_EQ(CountVisibleWorkbooks(), 1) << "a hidden workbook does not count";
    EXPECT_FALSE(IsWorkbookVisible(L"helper.xla"));
    EXPECT_TRUE(IsWorkbookVisible(L"a.xls"));

    world->SetWindowVisible(L"a.xls", 1, false);
    EXPECT_EQ(CountVisibleWorkbooks(), 1) << "its second window is still visible";
    world->SetWindowVisible(L"a.xls", 2, false);
    EXPECT_EQ(CountVisibleWorkbooks(), 0);
    EXPECT_FALSE(IsWorkbookVisible(L"a.xls"));
}

TEST(VisibleWorkbooks, AnUnreadableAnswerCountsAsVisible) {
    struct Case {
        const char* failing;
        int32_t count;
        bool helperVisible;
    };
    const Case cases[] = {
        {"Window.Visible", 2, true},
        {"Workbook.Windows", 2, true},
        {"Application.Workbooks", 1, true},
        {"Workbooks.Item", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        auto world = MakeExcelForHelpers({L"C:\\data\\a.xls"});
        world->AddHiddenWorkbook(L"C:\\addins\\helper.xla");
        world->FailCall(c.failing);
        EXPECT_EQ(CountVisibleWorkbooks(), c.count);
        EXPECT_EQ(IsWorkbookVisible(L"helper.xla"), c.helperVisible);
    }

    SCOPED_TRACE("without an application");
    auto world = MakeExcel({L"C:\\data\\a.xls"});
    EXPECT_EQ(CountVisibleWorkbooks(), 1);
    EXPECT_TRUE(IsWorkbookVisible(L"a.xls"));
}

TEST(VisibleWorkbooks, AnUnknownNameCountsAsVisible) {
    auto world = MakeExcelForHelpers({L"C:\\data\\a.xls"});
    EXPECT_TRUE(IsWorkbookVisible(L"nowhere.xls"));
}

TEST(RestoreExcelFocus, GoesToTheLastEditBoxWhileItIsVisible) {
    auto world = MakeExcelForHelpers({L"C:\\data\\a.xls"});
    const WindowHandle editBox = world->CreateWindow(L"EDTBX", L"", world->MainWindow());

    SCOPED_TRACE("no edit box yet: Excel's main window");
    RestoreExcelFocus();
    EXPECT_EQ(world->FocusedWindow(), world->MainWindow());

    SCOPED_TRACE("the remembered edit box");
    State().LastEditBoxWindow = editBox;
    RestoreExcelFocus();
    EXPECT_EQ(world->FocusedWindow(), editBox);

    SCOPED_TRACE("destroyed since: Excel's main window again");
    world->FocusWindow(world->FormulaBarWindow());
    world->DestroyWindow(editBox);
    RestoreExcelFocus();
    EXPECT_EQ(world->FocusedWindow(), world->MainWindow());
}

TEST(RestoreExcelFocus, AHiddenEditBoxGivesWayToTheMainWindow) {
    auto world = MakeExcelForHelpers({L"C:\\data\\a.xls"});
    State().LastEditBoxWindow = world->CreateWindow(L"EDTBX", L"", world->MainWindow(), 0, false);
    RestoreExcelFocus();
    EXPECT_EQ(world->FocusedWindow(), world->MainWindow());
}

TEST(RestoreExcelFocus, PassesAnUnreadableMainWindowOn) {
    auto world = MakeExcelForHelpers({L"C:\\data\\a.xls"});
    world->FailCall("Application.Hwnd");
    EXPECT_THROW(RestoreExcelFocus(), HostError);
}

TEST(ExcelVersion, ReadsVersionTextsWhateverTheLocale) {
    const std::pair<const wchar_t*, double> numbers[] = {
        {L"11.0", 11.0}, {L"10", 10.0}, {L"10.5", 10.5}, {L"9.0", 9.0}, {L"12.0", 12.0}, {L" 11.0 ", 11.0},
    };
    for (const auto& [text, value] : numbers) {
        SCOPED_TRACE(Narrow(text));
        EXPECT_EQ(ExcelVersionValue(text), value);
    }
    for (const wchar_t* text : {L"", L"11,0", L"eleven", L"11.0a", L".", L"-11"}) {
        SCOPED_TRACE(Narrow(text));
        EXPECT_THROW(ExcelVersionValue(text), HostError);
    }
}

}  // namespace
}  // namespace tarnwick::testing
