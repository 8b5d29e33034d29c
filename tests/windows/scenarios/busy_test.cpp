// Excel busy: a cell being edited, a save prompt or Save As dialog up, a
// batch command half-way. Against a host whose edit mode is its own state
// and whose prompts are modal loops with the main window disabled, every
// command ends all done or not done at all, and nothing is switched behind
// a dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "harness.h"

namespace scen {
namespace {

using Names = std::vector<std::wstring>;

fakexl::Options BusyExcel(int books = 0) {
    fakexl::Options o;
    o.initialWorkbooks = books;
    o.editingIsExcelState = true;
    o.refuseBuiltInsWhileEditing = true;
    o.modalPromptMs = 400;
    o.dialogTimeoutMs = 1500;
    return o;
}

class Busy : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterAddin(), 0u); }


    static Names OpenNames(const fakexl::FakeExcel& x) {
        Names names;
        for (const auto& b : x.Workbooks()) names.push_back(b.name);
        return names;
    }

    static Names Dirty(const fakexl::FakeExcel& x) {
        Names names;
        for (const auto& b : x.Workbooks()) {
            if (b.dirty) names.push_back(b.name);
        }
        return names;
    }

    static int Count(const std::vector<std::wstring>& list, const std::wstring& item) {
        return static_cast<int>(std::count(list.begin(), list.end(), item));
    }

    // Built-in workbook commands Excel actually ran.
    static Names BuiltInsRun(const fakexl::FakeExcel& x) {
        Names run;
        for (const auto& c : x.Commands()) {
            if (c == L"3" || c == L"106" || c == L"748" || c == L"2520") run.push_back(c);
        }
        return run;
    }

    // The add-in's focus record outlives a session: the next one must not
    // start with the add-in believing Excel edits.
    static void LeaveEdit(Session& s) {
        s.excel.SetEditCommitFails(false);
        s.excel.EndEdit();
        s.Pump(30);
    }

    // The strip settles on Excel's active workbook, or is gone with the last one.
    static void ExpectStripFollowsExcel(Session& s) {
        if (s.excel.Workbooks().empty()) {
            EXPECT_TRUE(s.WaitForNoStrip());
            return;
        }
        const auto active = s.excel.ActiveWorkbook();
        ASSERT_TRUE(active);
        EXPECT_TRUE(s.WaitForStrip(OpenNames(s.excel), *active)) << "the strip does not show Excel's active workbook";
    }
};

// Book1 never saved and changed, a.xls changed, b.xls saved; a.xls active
// and a cell of it being edited when the command is chosen.
TEST_F(Busy, ACommandChosenWhileEditingEndsTheEditAndRunsCompletelyOrNotAtAll) {
    struct Case {
        const char* what;
        std::wstring target, entry;  // target empty: the empty strip; entry empty: a double click there
        std::function<void(fakexl::FakeExcel&)> answers;
        Names open, dirty;
        std::wstring active;
    };
    const Case cases[] = {
        {"save all",
         L"",
         L"保存所有工作簿(&Y)",
         [](auto& x) { x.QueueSaveAsAnswer(std::wstring(L"C:\\d\\c.xls")); },
         {L"c.xls", L"a.xls", L"b.xls"},
         {},
         L"a.xls"},
        {"close all",
         L"",
         L"关闭所有工作簿(&L)",
         [](auto& x) {
             x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave);
             x.QueueSavePromptAnswer(fakexl::SaveAnswer::Save);
         },
         {},
         {},
         L""},
        {"close others",
         L"a.xls",
         L"关闭其它工作簿(&O)",
         [](auto& x) { x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave); },
         {L"a.xls"},
         {L"a.xls"},
         L"a.xls"},
        {"close",
         L"a.xls",
         L"关闭工作簿(&C)",
         [](auto& x) { x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave); },
         {L"Book1", L"b.xls"},
         {L"Book1"},
         L""},
        {"save", L"a.xls", L"保存工作簿(&S)", nullptr, {L"Book1", L"a.xls", L"b.xls"}, {L"Book1"}, L"a.xls"},
        {"save as",
         L"a.xls",
         L"另存为(&A)",
         [](auto& x) { x.QueueSaveAsAnswer(std::wstring(L"C:\\d\\a2.xls")); },
         {L"Book1", L"a2.xls", L"b.xls"},
         {L"Book1"},
         L"a2.xls"},
        {"new, by a double click on the empty strip",
         L"",
         L"",
         nullptr,
         {L"Book1", L"a.xls", L"b.xls", L"Book2"},
         {L"Book1", L"a.xls"},
         L"Book2"},
    };
    for (const bool editEnds : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (editEnds ? "" : ", the edit cannot be ended"));
            Session s(BusyExcel(1));
            s.excel.OpenWorkbook(L"C:\\d\\a.xls");
            s.excel.OpenWorkbook(L"C:\\d\\b.xls");
            s.excel.SetDirty(L"Book1", true);
            s.excel.SetDirty(L"a.xls", true);
            s.excel.ActivateWorkbook(L"a.xls");
            const Names before{L"Book1", L"a.xls", L"b.xls"};
            ASSERT_TRUE(s.WaitForStrip(before, L"a.xls"));
            s.excel.SetDefaultSaveAsAnswer(std::nullopt);
            if (editEnds && c.answers) c.answers(s.excel);
            s.excel.SetEditCommitFails(!editEnds);
            s.excel.FocusEditWindow(fakexl::EditWindow::InCell);
            s.excel.ClearEvents();

            if (c.entry.empty()) {
                s.Click(s.EmptyStripPoint());
                s.Click(s.EmptyStripPoint());
            } else {
                ChooseFromPopup(s, c.target, c.entry);
            }
            s.Pump(100);

            const auto events = s.excel.Events();
            if (editEnds) {
                EXPECT_FALSE(s.excel.Editing());
                EXPECT_EQ(OpenNames(s.excel), c.open);
                EXPECT_EQ(Dirty(s.excel), c.dirty);
                if (!c.active.empty()) {
                    EXPECT_EQ(s.excel.ActiveWorkbook(), c.active);
                }
                for (const auto& name : OpenNames(s.excel)) {
                    EXPECT_LE(Count(events, L"Saved:" + name), 1) << "saved twice: " << testing::PrintToString(name);
                }
            } else {
                EXPECT_TRUE(s.excel.Editing());
                EXPECT_EQ(OpenNames(s.excel), before);
                EXPECT_EQ(Dirty(s.excel), (Names{L"Book1", L"a.xls"}));
                EXPECT_EQ(s.excel.ActiveWorkbook(), L"a.xls");
                EXPECT_EQ(BuiltInsRun(s.excel), Names{}) << "a command ran in part";
            }
            ExpectStripFollowsExcel(s);
            EXPECT_TRUE(s.excel.ScreenUpdating());
            EXPECT_TRUE(s.excel.UnexpectedCalls().empty()) << testing::PrintToString(s.excel.UnexpectedCalls());
            LeaveEdit(s);
        }
    }
}

// The starting workbook's tab stays selected while a batch command visits
// the others; a tick inside the prompt must not bring it back behind it.
TEST_F(Busy, ATickDuringAModalPromptOfABatchCommandChangesNothingInExcel) {
    struct Case {
        const char* what;
        std::wstring entry;
        std::function<void(fakexl::FakeExcel&)> prepare;
        std::wstring asked;  // the workbook each record must be about
        Names open;
        bool nested = false;  // another command is chosen inside the prompt
    };
    const Case cases[] = {
        {"the save prompt of close all",
         L"关闭所有工作簿(&L)",
         [](auto& x) {
             x.SetDirty(L"Book1.xls", true);
             x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave);
         },
         L"Book1.xls",
         {}},
        {"the Save As dialog of save all for a never-saved workbook",
         L"保存所有工作簿(&Y)",
         [](auto& x) { x.QueueSaveAsAnswer(std::wstring(L"C:\\d\\Book3.xls")); },
         L"Book3",
         {L"Book1.xls", L"Book2.xls", L"Book3.xls"}},
        {"save all chosen again inside the save prompt of close all",
         L"关闭所有工作簿(&L)",
         [](auto& x) {
             x.SetDirty(L"Book1.xls", true);
             x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave);
         },
         L"Book1.xls",
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s(BusyExcel(3));
        s.excel.RenameWorkbook(L"Book1", L"C:\\d\\Book1.xls");
        s.excel.RenameWorkbook(L"Book2", L"C:\\d\\Book2.xls");
        s.excel.ActivateWorkbook(L"Book2.xls");
        ASSERT_TRUE(s.WaitForStrip({L"Book1.xls", L"Book2.xls", L"Book3"}, L"Book2.xls"));
        s.excel.SetDefaultSaveAsAnswer(std::nullopt);
        c.prepare(s.excel);
        if (c.nested) {
            s.excel.SetModalPromptScript([chosen = false](fakexl::FakeExcel& x, const fakexl::ModalRecord&) mutable {
                if (!std::exchange(chosen, true)) {
                    EXPECT_TRUE(x.ClickControl(L"TabBarII", L"保存所有工作簿(&Y)"));
                }
            });
        }
        ChooseFromPopup(s, L"", c.entry);
        s.excel.SetModalPromptScript(nullptr);

        const auto prompts = s.excel.ModalPrompts();
        ASSERT_EQ(prompts.size(), 1u);
        const fakexl::ModalRecord& p = prompts[0];
        EXPECT_EQ(p.workbook, c.asked);
        EXPECT_TRUE(p.mainDisabled);
        EXPECT_GT(p.timerTicks, 10) << "no tick ran inside the prompt";
        EXPECT_EQ(p.calls, Names{}) << "the add-in acted on Excel behind the prompt";
        EXPECT_EQ(p.activeBefore, c.asked);
        EXPECT_EQ(p.activeAfter, c.asked);
        EXPECT_EQ(OpenNames(s.excel), c.open);
        EXPECT_EQ(Dirty(s.excel), Names{});
        if (!c.open.empty()) {
            EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book2.xls");
        }
        ExpectStripFollowsExcel(s);
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty()) << testing::PrintToString(s.excel.UnexpectedCalls());
    }
}

// What happened to Excel while one of its windows was modal.
struct Behind {
    fakexl::FakeExcel* excel = nullptr;
    bool seen = false;
    long activations = 0;
    std::optional<std::wstring> activeAfter;
};
Behind g_behind;

long Activations(const fakexl::FakeExcel& x) {
    return x.MemberCalls(L"Workbook.Activate") + x.MemberCalls(L"Window.Activate");
}

// Inside the about dialog: another program activates Book1, ticks run, the
// dialog is closed.
void CALLBACK DuringAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    for (HWND w : ThreadWindows()) {
        if (ClassOf(w) == kAboutClass && ::IsWindowVisible(w)) dialog = w;
    }
    if (!dialog || g_behind.seen) return;
    ::KillTimer(nullptr, timer);
    g_behind.seen = true;
    fakexl::FakeExcel& x = *g_behind.excel;
    const long before = Activations(x);
    x.ActivateWorkbook(L"Book1");
    x.PumpFor(200);
    g_behind.activations = Activations(x) - before;
    g_behind.activeAfter = x.ActiveWorkbook();
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// Excel's window disabled by a dialog of its own or by the about dialog:
// another program switches workbooks meanwhile. Nothing switches back, then
// or when the window is enabled again, and the strip catches up.
TEST_F(Busy, WhileExcelsWindowIsDisabledTheAddinLeavesExcelAloneAndCatchesUpAfterwards) {
    for (const bool about : {false, true}) {
        SCOPED_TRACE(about ? "the about dialog" : "a dialog of Excel's");
        Session s(BusyExcel(3));
        s.excel.ActivateWorkbook(L"Book3");
        ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
        g_behind = Behind{};
        g_behind.excel = &s.excel;
        if (about) {
            const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, DuringAbout);
            ChooseFromPopup(s, L"", L"关于此切换插件(&Y)");
            ::KillTimer(nullptr, timer);
            ASSERT_TRUE(g_behind.seen) << "no about dialog seen";
        } else {
            ::EnableWindow(s.excel.MainWindow(), FALSE);
            const long before = Activations(s.excel);
            s.excel.ActivateWorkbook(L"Book1");
            s.Pump(200);
            g_behind.activations = Activations(s.excel) - before;
            g_behind.activeAfter = s.excel.ActiveWorkbook();
            ::EnableWindow(s.excel.MainWindow(), TRUE);
        }
        EXPECT_EQ(g_behind.activations, 0);
        EXPECT_EQ(g_behind.activeAfter, L"Book1");
        s.Pump(200);
        EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book1");
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book1"));
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty()) << testing::PrintToString(s.excel.UnexpectedCalls());
    }
}

// Eleven workbooks, w05.xls active and a cell being edited: a click on the
// tab of w11.xls, beyond the Window menu's nine entries, goes through the
// window-list dialog.
TEST_F(Busy, TheWindowListDialogChoosesTheClickedWorkbookOrNone) {
    struct Case {
        const char* what;
        bool hideExtensions;
        std::wstring title, moreWindows;
        bool entryMissing;
    };
    const Case cases[] = {
        {"captions with extensions", false, L"激活", L"其他窗口(&M)...", false},
        {"captions without extensions, in the menu and the dialog", true, L"激活", L"其他窗口(&M)...", false},
        {"a dialog and entry in another language", false, L"Activate", L"&More Windows...", false},
        {"the clicked workbook missing from the list", false, L"激活", L"其他窗口(&M)...", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fakexl::Options o = BusyExcel();
        o.width = 1200;
        o.hideExtensions = c.hideExtensions;
        o.dialogListsMenuCaptions = true;
        o.activateDialogTitle = c.title;
        o.moreWindowsCaption = c.moreWindows;
        Session s(o);
        Names names;
        for (int i = 1; i <= 11; ++i) {
            const std::wstring name = (i < 10 ? L"w0" : L"w") + std::to_wstring(i) + L".xls";
            s.excel.OpenWorkbook(L"C:\\d\\" + name);
            names.push_back(name);
        }
        s.excel.ActivateWorkbook(L"w05.xls");
        ASSERT_TRUE(s.WaitForStrip(names, L"w05.xls"));
        if (c.entryMissing) s.excel.OmitActivateDialogItem(L"w11.xls");
        s.excel.FocusEditWindow(fakexl::EditWindow::FormulaBar);
        s.excel.ClearEvents();

        s.ClickTab(L"w11.xls");
        const std::wstring expected = c.entryMissing ? L"w05.xls" : L"w11.xls";
        s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == expected && !s.excel.Editing(); }, 2000);
        s.Pump(100);
        const auto events = s.excel.Events();
        EXPECT_EQ(Count(events, L"Dialog:" + c.title), 1);
        EXPECT_EQ(Count(events, L"DialogButton:" + std::wstring(c.entryMissing ? L"取消" : L"确定")), 1);
        for (const auto& e : events) {
            if (e.rfind(L"WorkbookActivate:", 0) == 0) {
                EXPECT_EQ(e, L"WorkbookActivate:w11.xls") << "the dialog chose another entry";
            }
        }
        EXPECT_EQ(s.excel.ActiveWorkbook(), expected);
        EXPECT_EQ(s.excel.Editing(), c.entryMissing);
        EXPECT_TRUE(s.WaitForStrip(names, expected));
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty()) << testing::PrintToString(s.excel.UnexpectedCalls());
        LeaveEdit(s);
    }
}

}  // namespace
}  // namespace scen
