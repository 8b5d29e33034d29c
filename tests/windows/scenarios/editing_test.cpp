// Tab clicks while Excel edits text: the focus is recorded by the add-in's
// CBT hook on this thread, and the switch goes through Excel's Window menu
// or its window-list dialog, which the hook answers through accessibility.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"

namespace scen {
namespace {

class Editing : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterAddin(), 0u); }

    static std::vector<std::wstring> WindowCommands(const fakexl::FakeExcel& x) {
        std::vector<std::wstring> found;
        for (const auto& c : x.Commands()) {
            if (c.rfind(L"window:", 0) == 0 || c == L"more-windows") found.push_back(c);
        }
        return found;
    }

    // The window of a workbook, where the focus goes when editing ends.
    static HWND BookWindow(const fakexl::FakeExcel& x, const std::wstring& name) {
        for (const auto& b : x.Workbooks()) {
            if (b.name == name && !b.windows.empty()) return b.windows[0].window;
        }
        return nullptr;
    }
};

TEST_F(Editing, TheFocusedWindowDecidesHowATabClickSwitches) {
    enum class Focus { FormulaBar, InCell, EditBox, Workbook };
    struct Case {
        const char* what;
        Focus focus;
        std::vector<std::wstring> commands;
    };
    const Case cases[] = {
        {"formula bar", Focus::FormulaBar, {L"window:&1 Book1"}},
        {"in-cell editing", Focus::InCell, {L"window:&1 Book1"}},
        {"an edit box", Focus::EditBox, {L"window:&1 Book1"}},
        {"a workbook window", Focus::Workbook, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = 3});
        s.excel.ActivateWorkbook(L"Book3");
        ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
        switch (c.focus) {
            case Focus::FormulaBar: s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar); break;
            case Focus::InCell: s.excel.FocusEditWindow(fakexl::EditWindow::InCell); break;
            case Focus::EditBox: s.excel.FocusWindow(s.excel.CreateEditBox()); break;
            case Focus::Workbook: s.excel.FocusWindow(BookWindow(s.excel, L"Book3")); break;
        }
        s.excel.ClearEvents();
        s.ClickTab(L"Book1");
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == L"Book1"; }, 2000));
        EXPECT_EQ(WindowCommands(s.excel), c.commands);
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book1"));

        SCOPED_TRACE("editing ends: the strip stays as it is");
        const HWND form = s.Form();
        s.excel.FocusWindow(BookWindow(s.excel, L"Book1"));
        s.Pump(150);
        EXPECT_EQ(s.Form(), form);
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book1"));
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
    }
}

TEST_F(Editing, AWorkbookBeyondTheWindowMenuIsChosenInTheWindowListDialog) {
    struct Case {
        const char* what;
        std::wstring dialogTitle;
        std::vector<std::wstring> opened;  // after Book1..Book3
        std::wstring target;
    };
    const Case cases[] = {
        {"激活", L"激活", {L"C:\\d\\alpha.xls", L"C:\\d\\beta.xls"}, L"beta.xls"},
        {"活动文档", L"活动文档", {L"C:\\d\\alpha.xls", L"C:\\d\\beta.xls"}, L"alpha.xls"},
        // "#" is a digit in a pattern: the name must still pick its own entry.
        {"a name with #", L"激活", {L"C:\\d\\Q11.xls", L"C:\\d\\Q#1.xls"}, L"Q#1.xls"},
        {"a name with [", L"激活", {L"C:\\d\\[a].xls", L"C:\\d\\a.xls"}, L"[a].xls"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = 3, .activateDialogTitle = c.dialogTitle, .windowMenuLimit = 3});
        for (const auto& path : c.opened) s.excel.OpenWorkbook(path);
        // Not the dialog's first entry: confirming that one by mistake shows.
        s.excel.ActivateWorkbook(L"Book2");
        std::vector<std::wstring> names{L"Book1", L"Book2", L"Book3"};
        for (const auto& path : c.opened) names.push_back(path.substr(path.find_last_of(L'\\') + 1));
        ASSERT_TRUE(s.WaitForStrip(names, L"Book2"));

        s.excel.ClearEvents();
        s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar);
        s.ClickTab(c.target);
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == c.target; }, 3000));
        // Answered by the add-in as soon as it was activated: a dialog left
        // open would be cancelled by the host and reported as unexpected.
        const auto events = s.excel.Events();
        EXPECT_NE(std::find(events.begin(), events.end(), L"Dialog:" + c.dialogTitle), events.end());
        EXPECT_NE(std::find(events.begin(), events.end(), L"DialogClosed:" + c.dialogTitle), events.end());
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
        EXPECT_EQ(WindowCommands(s.excel), std::vector<std::wstring>{L"more-windows"});
        // The selection handler activates the clicked workbook after the
        // dialog anyway, so a wrong entry shows only as an activation between.
        for (const auto& e : events) {
            if (e.rfind(L"WorkbookActivate:", 0) == 0) {
                EXPECT_EQ(e, L"WorkbookActivate:" + c.target) << "the dialog chose another entry";
            }
        }

        s.excel.FocusWindow(BookWindow(s.excel, c.target));
        EXPECT_TRUE(s.WaitForStrip(names, c.target));
        s.Pump(100);
        EXPECT_EQ(s.excel.ActiveWorkbook(), c.target);
        EXPECT_TRUE(s.WaitForStrip(names, c.target));
    }
}

// Once Excel is on the clicked workbook the switch is over, though Excel is
// still editing: a right click opens the tab's menu again.
TEST_F(Editing, ARightClickOpensTheMenuOnceTheSwitchIsDone) {
    Session s({.initialWorkbooks = 3});
    s.excel.ActivateWorkbook(L"Book3");
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
    s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar);
    s.ClickTab(L"Book2");
    ASSERT_EQ(s.excel.ActiveWorkbook(), L"Book2");
    // The add-in hands the focus back to Excel's window after the click;
    // Excel, still editing, keeps it in the formula bar.
    s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar);
    s.Pump(100);
    s.ClickTab(L"Book2", Button::Right);
    EXPECT_EQ(s.excel.Popups().size(), 1u);
    EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book2");
}

// Look-alike and ampersand names while editing, in each order Office may
// list its Window menu: the click ends on the clicked workbook.
TEST_F(Editing, LookAlikeAndAmpersandNamesEndOnTheClickedWorkbook) {
    const fakexl::WindowMenuOrder orders[] = {fakexl::WindowMenuOrder::Workbooks, fakexl::WindowMenuOrder::Reverse,
                                              fakexl::WindowMenuOrder::Alphabetical};
    for (const fakexl::WindowMenuOrder order : orders) {
        SCOPED_TRACE(static_cast<int>(order));
        Session s({.initialWorkbooks = 0, .hideExtensions = true, .windowMenuOrder = order});
        for (const wchar_t* file : {L"C:\\d\\a.xls", L"C:\\d\\a.csv", L"C:\\d\\R&D.xls"}) s.excel.OpenWorkbook(file);
        ASSERT_TRUE(s.WaitForStrip({L"a.xls", L"a.csv", L"R&D.xls"}, L"R&D.xls"));
        for (const wchar_t* target : {L"a.xls", L"a.csv", L"R&D.xls", L"a.xls"}) {
            SCOPED_TRACE(target);
            s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar);
            s.ClickTab(target);
            EXPECT_EQ(s.excel.ActiveWorkbook(), target);
            EXPECT_TRUE(s.WaitForStrip({L"a.xls", L"a.csv", L"R&D.xls"}, target));
        }
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
    }
}

}  // namespace
}  // namespace scen
