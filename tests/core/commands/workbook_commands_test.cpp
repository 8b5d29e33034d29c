// The workbook commands of the popup menus, as Excel sees them.
#include <gtest/gtest.h>

#include "commands/workbook_commands.h"
#include "commands_world.h"

namespace tarnwick::testing {
namespace {

// Excel's own enumerator walks its collection by position, so a workbook
// closed during the walk makes the next one slip past. The simulator hands
// out snapshots; this application wraps it with such a live walk.
class LiveWorkbooks : public excel::Workbooks {
public:
    explicit LiveWorkbooks(std::shared_ptr<excel::Application> app) : app_(std::move(app)) {}
    std::unique_ptr<excel::Enumerator<excel::Workbook>> Enumerate() override {
        struct ByPosition : excel::Enumerator<excel::Workbook> {
            std::shared_ptr<excel::Application> app;
            size_t next = 0;
            std::shared_ptr<excel::Workbook> Next() override {
                auto all = app->Workbooks()->Enumerate();
                std::shared_ptr<excel::Workbook> wb;
                for (size_t i = 0; i <= next; ++i) {
                    wb = all->Next();
                    if (!wb) return nullptr;
                }
                ++next;
                return wb;
            }
        };
        auto e = std::make_unique<ByPosition>();
        e->app = app_;
        return e;
    }
    std::shared_ptr<excel::Workbook> Item(const std::wstring& name) override { return app_->Workbooks()->Item(name); }
    int32_t Count() override { return app_->Workbooks()->Count(); }

private:
    std::shared_ptr<excel::Application> app_;
};

class LiveWalkApplication : public excel::Application {
public:
    explicit LiveWalkApplication(std::shared_ptr<excel::Application> app) : app_(std::move(app)) {}
    std::wstring Version() override { return app_->Version(); }
    bool Visible() override { return app_->Visible(); }
    WindowHandle Hwnd() override { return app_->Hwnd(); }
    ModuleHandle Hinstance() override { return app_->Hinstance(); }
    std::shared_ptr<excel::Workbooks> Workbooks() override { return std::make_shared<LiveWorkbooks>(app_); }
    std::shared_ptr<excel::Workbook> ActiveWorkbook() override { return app_->ActiveWorkbook(); }
    std::shared_ptr<excel::CommandBars> CommandBars() override { return app_->CommandBars(); }
    void ScreenUpdating(bool value) override { app_->ScreenUpdating(value); }
    std::shared_ptr<excel::Application> GetApplication() override { return app_->GetApplication(); }
    std::unique_ptr<excel::Subscription> SubscribeEvents(excel::AppEventSink& sink) override {
        return app_->SubscribeEvents(sink);
    }

private:
    std::shared_ptr<excel::Application> app_;
};

void ExpectBatchOver(const sim::World& world) {
    EXPECT_FALSE(State().BatchCommandRunning);
    EXPECT_TRUE(world.ScreenUpdating());
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

TEST(SaveAll, SavesVisibleWorkbooksAndReselectsTheActiveOneUnderItsNewName) {
    auto session = std::make_unique<Session>();
    sim::World& world = session->world();
    world.OpenWorkbook(L"C:\\data\\a.xls");
    const std::wstring book = world.NewWorkbook();
    world.OpenWorkbook(L"C:\\data\\c.xls");
    world.AddHiddenWorkbook(L"C:\\addins\\helper.xla");
    world.ActivateByUser(book);
    session->Connect();
    world.QueueSaveAsName(L"C:\\data\\Report.xls");

    SCOPED_TRACE("the never-saved active workbook gets Excel's save-as dialog");
    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::SaveAll));
    EXPECT_EQ(world.SaveAsDialogs(), std::vector<std::wstring>{book});
    EXPECT_EQ(world.SavedWorkbooks(), (std::vector<std::wstring>{L"a.xls", L"Report.xls", L"c.xls"}));

    SCOPED_TRACE("the strip selects it again, found under its new name");
    EXPECT_EQ(world.ActiveWorkbookName(), L"Report.xls");
    ASSERT_GE(world.SelectedTab(), 0);
    EXPECT_EQ(world.TabCaptions()[world.SelectedTab()], L"Report.xls");
    ExpectBatchOver(world);
}

TEST(CloseOther, ClosesEveryOtherVisibleWorkbookOnce) {
    struct Case {
        const char* name;
        std::vector<std::wstring> open;
        std::wstring kept;
        std::vector<std::wstring> closed;
    };
    const Case cases[] = {
        {"three workbooks, the middle one kept", kThreeBooks, L"b.xls", {L"a.xls", L"c.xls"}},
        {"five workbooks, the first one kept",
         {L"C:\\d\\a.xls", L"C:\\d\\b.xls", L"C:\\d\\c.xls", L"C:\\d\\d.xls", L"C:\\d\\e.xls"},
         L"a.xls",
         {L"b.xls", L"c.xls", L"d.xls", L"e.xls"}},
        {"a single visible workbook", {L"C:\\data\\a.xls"}, L"a.xls", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = ConnectedWith(c.open);
        sim::World& world = session->world();
        world.AddHiddenWorkbook(L"C:\\addins\\helper.xla");
        world.ActivateByUser(c.kept);

        ASSERT_TRUE(world.ClickControl(kTabBar, caption::CloseOther));

        std::vector<std::wstring> expectedCommands;
        for (const auto& name : c.closed) expectedCommands.push_back(L"Close(" + name + L")");
        EXPECT_EQ(world.ExecutedCommands(), expectedCommands);
        EXPECT_EQ(world.WorkbookNames(), (std::vector<std::wstring>{c.kept, L"helper.xla"}));
        EXPECT_EQ(world.ActiveWorkbookName(), c.kept);
        ExpectBatchOver(world);
    }
}

// When Excel refuses every activation, the switch the first pass waits for
// never comes: the wait ends by the clock (or a clock that does not move),
// and nothing is closed that could not be made active, least of all the
// workbook to keep.
TEST(CloseOther, GivesUpWaitingForASwitchThatNeverComes) {
    struct Case {
        const char* name;
        uint32_t startTick;
        bool clockMoves;
    };
    const Case cases[] = {
        {"the clock runs", 1000000, true},
        {"the clock runs across the tick counter's wrap", 0xFFFFF000u, true},
        {"the clock is frozen", 1000000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        world.SetTickCount(c.startTick);
        world.FailCall("Workbook.Activate");

        bool batchSeenDuringWait = false;
        world.QueueOnDoEvents([&] {
            batchSeenDuringWait = State().BatchCommandRunning;
            if (c.clockMoves) world.Advance(5000);
        });
        ASSERT_TRUE(world.ClickControl(kTabBar, caption::CloseOther));

        EXPECT_TRUE(batchSeenDuringWait);
        if (c.clockMoves) {
            EXPECT_LE(world.DoEventsCalls(), 3);
        } else {
            EXPECT_LE(world.DoEventsCalls(), 100001);
        }
        EXPECT_EQ(world.WorkbookNames(), (std::vector<std::wstring>{L"a.xls", L"b.xls", L"c.xls"}));
        EXPECT_EQ(world.ActiveWorkbookName(), L"c.xls");
        ExpectBatchOver(world);
    }
}

TEST(BatchCommands, VisitEveryWorkbookOnceThoughClosingShiftsTheCollection) {
    struct Case {
        const char* name;
        const wchar_t* command;
        std::vector<std::wstring> left;
    };
    const Case cases[] = {
        {"close all", cmd::CloseAll, {}},
        {"close the others", cmd::CloseOther, {L"b.xls"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = ConnectedWith({L"C:\\d\\a.xls", L"C:\\d\\b.xls", L"C:\\d\\c.xls", L"C:\\d\\d.xls"});
        sim::World& world = session->world();
        world.ActivateByUser(L"b.xls");
        WorkbookCommands commands;
        commands.SetApplication(std::make_shared<LiveWalkApplication>(world.Application()));
        auto entry = world.Application()->CommandBars()->Item(kTabBar)->Controls()->Add();
        entry->Parameter(c.command);
        bool cancelDefault = false;

        commands.oBtnExcel_Click(entry, cancelDefault);

        EXPECT_EQ(world.VisibleWorkbookNames(), c.left);
        EXPECT_FALSE(cancelDefault);
        ExpectBatchOver(world);
    }
}

TEST(CloseAll, ClosesTheLastVisibleWorkbookTooAndLeavesHiddenOnes) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    world.AddHiddenWorkbook(L"C:\\addins\\helper.xla");

    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::CloseAll));

    EXPECT_EQ(world.ExecutedCommands(),
              (std::vector<std::wstring>{L"Close(a.xls)", L"Close(b.xls)", L"Close(c.xls)"}));
    EXPECT_EQ(world.WorkbookNames(), std::vector<std::wstring>{L"helper.xla"});
    EXPECT_EQ(world.ActiveWorkbookName(), L"");
    ExpectBatchOver(world);
}

TEST(CloseAll, KeepsAWorkbookWhoseSavePromptWasCancelledAndGoesOn) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    world.SetDirty(L"a.xls");
    world.SetSaveAnswer(sim::SaveAnswer::Cancel);

    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::CloseAll));

    EXPECT_EQ(world.SavePrompts(), std::vector<std::wstring>{L"a.xls"});
    EXPECT_EQ(world.WorkbookNames(), std::vector<std::wstring>{L"a.xls"});
    ExpectBatchOver(world);
}

// The explorer is named by its full path, never searched for (a planted
// explorer.exe beside the workbook must not run), and the path is quoted so
// that blanks and commas stay part of the selected file's name.
TEST(OpenDir, StartsTheExplorerByFullPathWithTheWorkbookQuoted) {
    struct Case {
        std::wstring windowsDirectory;
        std::wstring workbook;
        std::wstring application;
        std::wstring commandLine;
    };
    const Case cases[] = {
        {L"C:\\WINDOWS", L"C:\\Data\\Book.xls", L"C:\\WINDOWS\\explorer.exe",
         L"\"C:\\WINDOWS\\explorer.exe\" /select,\"C:\\Data\\Book.xls\""},
        {L"C:\\WINDOWS", L"C:\\Data\\My Book, v2.xls", L"C:\\WINDOWS\\explorer.exe",
         L"\"C:\\WINDOWS\\explorer.exe\" /select,\"C:\\Data\\My Book, v2.xls\""},
        {L"D:\\WinNT", L"\\\\server\\share\\年度 报表.xls", L"D:\\WinNT\\explorer.exe",
         L"\"D:\\WinNT\\explorer.exe\" /select,\"\\\\server\\share\\年度 报表.xls\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.workbook));
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        world.SetSystemWindowsDirectory(c.windowsDirectory);
        world.SetWindowsDirectory(L"H:\\TS\\user\\WINDOWS");  // per user on a terminal server
        world.OpenWorkbook(c.workbook);
        session->Connect();

        ASSERT_TRUE(world.ClickControl(kTabBar, caption::OpenDir));

        ASSERT_EQ(world.ProcessStarts().size(), 1u);
        const sim::ProcessStart& started = world.ProcessStarts()[0];
        EXPECT_EQ(started.application, c.application);
        EXPECT_EQ(started.commandLine, c.commandLine);
        EXPECT_EQ(started.showWindow, 1);
        EXPECT_EQ(started.waitMilliseconds, 0u);
    }
}

// Opened from a web address, a workbook has no folder: the entry is grey
// and the command starts nothing.
TEST(OpenDir, OffersNothingForAWorkbookFromTheWeb) {
    auto session = ConnectedWith({L"C:\\data\\a.xls", L"http://intranet/reports/q1.xls"});
    sim::World& world = session->world();
    world.ClickTab(1, 2);
    ASSERT_FALSE(world.PopupsShown().empty());
    const auto& entries = world.PopupsShown().back().entries;
    EXPECT_EQ(entries[6], (std::pair<std::wstring, bool>{caption::OpenDir, false}));
    world.ClickControl(kTabBar, caption::OpenDir);
    EXPECT_TRUE(world.ProcessStarts().empty());
}

TEST(OpenDir, StartsNothingWithoutAnActiveWorkbook) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    sim::World& world = session->world();
    ASSERT_TRUE(world.CloseByUser(L"a.xls"));

    ASSERT_TRUE(world.ClickControl(kTabBar, caption::OpenDir));

    EXPECT_TRUE(world.ProcessStarts().empty());
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

}  // namespace
}  // namespace tarnwick::testing
