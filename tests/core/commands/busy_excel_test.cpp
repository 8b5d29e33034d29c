// Commands, ticks and clicks while Excel is busy: a cell edited (Excel's own
// state, which only Excel's actions end), a prompt or dialog running its
// modal loop, another command half-way. Each command does all or nothing.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "commands/workbook_commands.h"
#include "commands_world.h"

namespace tarnwick::testing {
namespace {

// a.xls and b.xls changed, Book3 never saved, b.xls active; the user types
// into a cell of b.xls.
std::unique_ptr<Session> EditingWithUnsavedWork() {
    auto session = ConnectedWith({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    sim::World& world = session->world();
    const std::wstring book = world.NewWorkbook();
    world.ActivateByUser(L"b.xls");
    for (const auto& name : {L"a.xls", L"b.xls", book.c_str()}) world.SetDirty(name);
    world.SetEditModeIsExcelsState(true);
    world.SetSaveAnswer(sim::SaveAnswer::Save);
    world.QueueSaveAsName(L"C:\\data\\three.xls");
    world.FocusWindow(world.CellEditWindow());
    return session;
}

std::vector<std::wstring> Dirty(sim::World& world) {
    std::vector<std::wstring> dirty;
    for (const auto& name : world.WorkbookNames())
        if (world.IsDirty(name)) dirty.push_back(name);
    return dirty;
}

using Names = std::vector<std::wstring>;

struct CommandCase {
    const char* what;
    std::function<void(sim::World&)> choose;
    Names open;   // afterwards, in Excel's order
    Names dirty;  // afterwards
    std::wstring active;
};

void Popup(sim::World& world, int32_t tab, const wchar_t* bar, const wchar_t* entry) {
    world.OnPopup([&world, bar, entry](const std::wstring& shown) {
        if (shown == bar) world.ClickControl(bar, entry);
    });
    if (tab < 0) {
        world.ClickEmpty(2);
    } else {
        world.ClickTab(tab, 2);
    }
}

// The edit is ended first, the way the Window menu ends it, and the command
// then runs completely: every workbook saved once, closed, or created.
TEST(BusyExcel, EveryCommandChosenWhileEditingRunsCompletely) {
    const CommandCase cases[] = {
        {"save all, empty strip",
         [](sim::World& w) { Popup(w, -1, kTabBarII, caption::SaveAll); },
         {L"a.xls", L"b.xls", L"three.xls"},
         {},
         L"b.xls"},
        {"save all, tab",
         [](sim::World& w) { Popup(w, 1, kTabBar, caption::SaveAll); },
         {L"a.xls", L"b.xls", L"three.xls"},
         {},
         L"b.xls"},
        {"close all, empty strip", [](sim::World& w) { Popup(w, -1, kTabBarII, caption::CloseAll); }, {}, {}, L""},
        {"close the others",
         [](sim::World& w) { Popup(w, 1, kTabBar, caption::CloseOther); },
         {L"b.xls"},
         {L"b.xls"},
         L"b.xls"},
        {"close",
         [](sim::World& w) { Popup(w, 1, kTabBar, caption::Close); },
         {L"a.xls", L"Book1"},
         {L"a.xls", L"Book1"},
         L"Book1"},
        {"save",
         [](sim::World& w) { Popup(w, 1, kTabBar, caption::Save); },
         {L"a.xls", L"b.xls", L"Book1"},
         {L"a.xls", L"Book1"},
         L"b.xls"},
        {"new, empty strip",
         [](sim::World& w) { Popup(w, -1, kTabBarII, caption::New); },
         {L"a.xls", L"b.xls", L"Book1", L"Book2"},
         {L"a.xls", L"b.xls", L"Book1"},
         L"Book2"},
        {"new, double click on the empty strip",
         [](sim::World& w) {
             w.ClickEmpty();
             w.ClickEmpty();
         },
         {L"a.xls", L"b.xls", L"Book1", L"Book2"},
         {L"a.xls", L"b.xls", L"Book1"},
         L"Book2"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = EditingWithUnsavedWork();
        sim::World& world = session->world();

        c.choose(world);
        EXPECT_EQ(world.WorkbookNames(), c.open);
        EXPECT_EQ(Dirty(world), c.dirty);
        EXPECT_EQ(world.ActiveWorkbookName(), c.active);
        EXPECT_FALSE(world.Editing());
        const Names saved = world.SavedWorkbooks();
        EXPECT_EQ(std::set<std::wstring>(saved.begin(), saved.end()).size(), saved.size()) << "saved twice";
        for (int i = 0; i < 3; ++i) world.Tick();
        EXPECT_EQ(world.TabCaptions(), world.VisibleWorkbookNames());
        if (!c.active.empty()) {
            ASSERT_GE(world.SelectedTab(), 0);
            EXPECT_EQ(world.TabCaptions()[world.SelectedTab()], c.active);
        }
        EXPECT_FALSE(State().BatchCommandRunning);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

// Where the edit cannot be ended (no Window-menu entry can be executed),
// the command does nothing at all and Excel is left as it was.
TEST(BusyExcel, ACommandWhoseEditCannotBeEndedDoesNothing) {
    for (const wchar_t* entry : {caption::SaveAll, caption::CloseAll, caption::New}) {
        SCOPED_TRACE(Utf8(entry));
        auto session = EditingWithUnsavedWork();
        sim::World& world = session->world();
        world.FailCall("CommandBarControl.Execute");

        Popup(world, -1, kTabBarII, entry);
        world.ClearFaults();
        EXPECT_EQ(world.WorkbookNames(), (Names{L"a.xls", L"b.xls", L"Book1"}));
        EXPECT_EQ(Dirty(world).size(), 3u);
        EXPECT_TRUE(world.SavedWorkbooks().empty());
        EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls");
        EXPECT_TRUE(world.Editing());
        EXPECT_FALSE(State().BatchCommandRunning);
    }
}

// Prompts and dialogs run modal loops in which the timer goes on firing;
// inside a batch command the starting workbook's tab stays selected while
// another workbook is active, and a tick would activate it behind the prompt.
TEST(BusyExcel, NothingActsOnExcelDuringItsPromptsAndDialogs) {
    struct Case {
        const char* what;
        const wchar_t* entry;
        size_t loops;
    };
    const Case cases[] = {
        {"save prompts of close all", caption::CloseAll, 4},
        {"save as dialog of save all", caption::SaveAll, 1},
        {"the about dialog", caption::About, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = EditingWithUnsavedWork();
        sim::World& world = session->world();
        world.PressEnter();
        world.SetModalPromptTime(400);
        int32_t activationsInAbout = -1;
        world.OnAboutDialog([&](sim::AboutDialogSim& about) {
            const int32_t before = world.CallCount("Workbook.Activate");
            world.ActivateByUser(L"a.xls");  // the handlers follow; nothing is activated back
            world.Advance(400);
            activationsInAbout = world.CallCount("Workbook.Activate") - before;
            about.PressOK();
        });

        Popup(world, -1, kTabBarII, c.entry);
        ASSERT_EQ(world.ModalLoops().size(), c.loops);
        for (const auto& loop : world.ModalLoops()) {
            SCOPED_TRACE(Utf8(loop.what));
            EXPECT_EQ(loop.activateCalls, 0);
            EXPECT_EQ(loop.activeAfter, loop.activeBefore);
        }
        if (c.loops == 0) {
            EXPECT_EQ(activationsInAbout, 0);
        }
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

// A command chosen during another's prompt is refused: the outer one keeps
// its protection to its end, and nothing is done twice.
TEST(BusyExcel, ACommandChosenDuringAnothersPromptIsRefused) {
    auto session = EditingWithUnsavedWork();
    sim::World& world = session->world();
    world.PressEnter();
    world.SetModalPromptTime(100);
    std::vector<bool> batchDuringPrompts;
    world.OnModal([&](const std::wstring&) {
        world.ClickControl(kTabBarII, caption::SaveAll);
        batchDuringPrompts.push_back(State().BatchCommandRunning);
    });

    Popup(world, -1, kTabBarII, caption::CloseAll);
    EXPECT_TRUE(world.WorkbookNames().empty());
    EXPECT_EQ(batchDuringPrompts, (std::vector<bool>(4, true)));
    EXPECT_EQ(world.SaveAsDialogs().size(), 1u) << "only close all's own save of Book1";
    EXPECT_FALSE(State().BatchCommandRunning);
}

// More windows than the Window menu lists: a click on the eleventh tab while
// editing goes through the window-list dialog, which is answered only with
// the clicked workbook's own entry, in any language.
TEST(BusyExcel, TheWindowListIsAnsweredOnlyWithTheClickedWorkbook) {
    struct Case {
        const char* what;
        std::function<void(sim::World&)> arrange;
        bool lands;
    };
    const Case cases[] = {
        {"full names listed", [](sim::World&) {}, true},
        {"extensions hidden in menu and list",
         [](sim::World& w) {
             w.SetShowExtensions(false);
             w.SetWindowListLikeMenu(true);
         },
         true},
        {"an Excel in English",
         [](sim::World& w) {
             w.SetWindowListTitle(L"Activate");
             w.SetMoreWindowsCaption(L"&More Windows...");
         },
         true},
        {"the clicked workbook not listed", [](sim::World& w) { w.LeaveOutOfWindowList(L"w11.xls"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        for (int i = 1; i <= 11; ++i) world.OpenWorkbook(L"C:\\data\\w" + std::to_wstring(i) + L".xls");
        world.ActivateByUser(L"w5.xls");
        session->Connect();
        c.arrange(world);
        world.SetEditModeIsExcelsState(true);
        world.FocusWindow(world.CellEditWindow());

        world.ClickTab(10);
        for (int i = 0; i < 3; ++i) world.Tick();
        const std::wstring expected = c.lands ? L"w11.xls" : L"w5.xls";
        EXPECT_EQ(world.ActiveWorkbookName(), expected);
        ASSERT_GE(world.SelectedTab(), 0);
        EXPECT_EQ(world.TabCaptions()[world.SelectedTab()], expected) << "the strip shows where Excel is";
        ASSERT_FALSE(world.WindowListDialogs().empty());
        EXPECT_FALSE(world.WindowListDialogs().back().open);
        EXPECT_EQ(world.WindowListDialogs().back().confirmed, c.lands);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

}  // namespace
}  // namespace tarnwick::testing

namespace tarnwick::testing {
namespace {

// A session that ended during an edit leaves no belief of editing behind:
// the next session's commands run as soon as Excel is at rest.
TEST(BusyExcel, AReconnectionStartsWithoutTheOldFocusRecord) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    world.FocusWindow(world.CellEditWindow());
    session->Disconnect();
    world.FocusWindow(world.DeskWindow());
    world.SetBuiltInsRefusedWhileEditing(false);
    world.FailCall("CommandBarControl.Execute");  // no Window-menu entry could end an edit
    session->Connect();
    world.ClearFaults();

    EXPECT_TRUE(State().FocusClassName.empty());
    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::New));
    EXPECT_EQ(world.WorkbookNames().size(), 4u);
}

}  // namespace
}  // namespace tarnwick::testing
