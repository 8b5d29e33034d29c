// The two popup menus and the one click subscription behind all their entries.
#include <gtest/gtest.h>

#include "commands/workbook_commands.h"
#include "commands_world.h"

namespace tarnwick::testing {
namespace {

struct Entry {
    const wchar_t* bar;
    const wchar_t* caption;
    const wchar_t* parameter;
};

const Entry kMenuLayout[] = {
    {kTabBar, caption::Close, cmd::Close},
    {kTabBar, caption::Save, cmd::Save},
    {kTabBar, caption::SaveAll, cmd::SaveAll},
    {kTabBar, caption::SaveAs, cmd::SaveAs},
    {kTabBar, caption::CloseOther, cmd::CloseOther},
    {kTabBar, caption::CloseAll, cmd::CloseAll},
    {kTabBar, caption::OpenDir, cmd::OpenDir},
    {kTabBar, caption::About, cmd::About},
    {kTabBarII, caption::New, cmd::New},
    {kTabBarII, caption::SaveAll, cmd::SaveAll},
    {kTabBarII, caption::CloseAll, cmd::CloseAll},
    {kTabBarII, caption::About, cmd::About},
};

void ExpectMenusAsDesigned(const sim::World& world) {
    for (const wchar_t* name : {kTabBar, kTabBarII}) {
        SCOPED_TRACE(Utf8(name));
        const auto bar = world.FindBar(name);
        ASSERT_TRUE(bar.has_value());
        EXPECT_EQ(bar->position, excel::msoBarPopup);
        EXPECT_TRUE(bar->temporary);
        EXPECT_FALSE(bar->menuBar);
        EXPECT_TRUE(bar->enabled);
        EXPECT_TRUE(bar->visible);

        std::vector<Entry> expected;
        for (const Entry& e : kMenuLayout) {
            if (std::wstring(e.bar) == name) expected.push_back(e);
        }
        ASSERT_EQ(bar->controls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "entry " << i + 1);
            const sim::ControlInfo& c = bar->controls[i];
            EXPECT_EQ(c.type, excel::msoControlButton);
            EXPECT_EQ(c.caption, expected[i].caption);
            EXPECT_EQ(c.tag, kButtonTag);
            EXPECT_EQ(c.parameter, expected[i].parameter);
            EXPECT_TRUE(c.enabled);
        }
    }
}

int CountBars(const sim::World& world, const std::wstring& name) {
    int count = 0;
    for (const auto& bar : world.Bars()) count += bar.name == name ? 1 : 0;
    return count;
}

TEST(PopupMenus, HoldTheirEntriesInOrderWithOneSharedTag) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    ExpectMenusAsDesigned(session->world());
    EXPECT_NE(State().TabBarPopup, nullptr);
    EXPECT_NE(State().TabBarIIPopup, nullptr);
    EXPECT_EQ(session->world().ClickSubscriptions(), 1);
}

TEST(PopupMenus, AreReplacedNotDuplicatedWhenTheAddinConnectsAgain) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    SCOPED_TRACE("disconnecting leaves the temporary menus to Excel");
    session->Disconnect();
    EXPECT_EQ(CountBars(session->world(), kTabBar), 1);
    EXPECT_EQ(session->world().ClickSubscriptions(), 0);

    SCOPED_TRACE("the next connection in the same Excel builds them anew");
    session->Connect();
    EXPECT_EQ(CountBars(session->world(), kTabBar), 1);
    EXPECT_EQ(CountBars(session->world(), kTabBarII), 1);
    ExpectMenusAsDesigned(session->world());
    EXPECT_EQ(session->world().ClickSubscriptions(), 1);
}

// Only one button is subscribed; Office raises its click for any entry with
// the same tag, and the handler must act on the entry actually clicked.
TEST(PopupMenus, EveryEntryRunsItsOwnCommand) {
    struct Case {
        const wchar_t* bar;
        const wchar_t* caption;
        std::vector<std::wstring> commands;  // built-in commands Excel ran
        size_t processes;
        size_t aboutDialogs;
    };
    const Case cases[] = {
        {kTabBar, caption::Close, {L"Close"}, 0, 0},
        {kTabBar, caption::Save, {L"Save"}, 0, 0},
        {kTabBar, caption::SaveAll, {L"Save", L"Save"}, 0, 0},
        {kTabBar, caption::SaveAs, {L"SaveAs"}, 0, 0},
        {kTabBar, caption::CloseOther, {L"Close"}, 0, 0},
        {kTabBar, caption::CloseAll, {L"Close", L"Close"}, 0, 0},
        {kTabBar, caption::OpenDir, {}, 1, 0},
        {kTabBar, caption::About, {}, 0, 1},
        {kTabBarII, caption::New, {L"New"}, 0, 0},
        {kTabBarII, caption::SaveAll, {L"Save", L"Save"}, 0, 0},
        {kTabBarII, caption::CloseAll, {L"Close", L"Close"}, 0, 0},
        {kTabBarII, caption::About, {}, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(std::wstring(c.bar) + L" / " + c.caption));
        auto session = ConnectedWith({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
        sim::World& world = session->world();
        world.QueueSaveAsCancel();

        ASSERT_TRUE(world.ClickControl(c.bar, c.caption));

        EXPECT_EQ(CommandKinds(world), c.commands);
        EXPECT_EQ(world.ProcessStarts().size(), c.processes);
        EXPECT_EQ(world.AboutDialogsShown().size(), c.aboutDialogs);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(PopupMenus, AnEntryWithAnUnknownCommandDoesNothing) {
    auto session = ConnectedWith({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    sim::World& world = session->world();
    for (const wchar_t* parameter : {L"close", L"CLOSEALL", L"", L"Close "}) {
        SCOPED_TRACE(Utf8(std::wstring(L"Parameter \"") + parameter + L"\""));
        const std::wstring entry = std::wstring(L"entry ") + parameter + L"|";
        {
            auto bar = world.Application()->CommandBars()->Item(kTabBar);
            auto control = bar->Controls()->Add();
            control->Caption(entry);
            control->Tag(kButtonTag);
            control->Parameter(parameter);
        }
        ASSERT_TRUE(world.ClickControl(kTabBar, entry));
        EXPECT_TRUE(world.ExecutedCommands().empty());
        EXPECT_EQ(world.VisibleWorkbookNames().size(), 2u);
    }
}

}  // namespace
}  // namespace tarnwick::testing

namespace tarnwick::testing {
namespace {

// One failed add for the last entry must not leave the other eleven
// without a click subscription: the last entry actually made is subscribed.
TEST(PopupMenus, AFailedLastEntryLeavesTheOthersSubscribed) {
    // The call that adds TabBarII's last entry (the twelfth add; the host
    // bar's buttons come later), counted on a clean run.
    int64_t lastAdd = -1;
    int adds = 0;
    {
        sim::World probe;
        probe.OpenWorkbook(L"C:\\data\\a.xls");
        probe.EnableCallLog(true);
        ZereZovaveAddin addin;
        addin.AddinInstance_OnConnection(probe.Application(), ext_cm_AfterStartup);
        for (size_t i = 0; i < probe.CallLogSize(); ++i)
            if (std::string(probe.CallAt(i)) == "CommandBarControls.Add" && ++adds == 12)
                lastAdd = static_cast<int64_t>(i);
        addin.AddinInstance_OnDisconnection();
    }
    ASSERT_GE(lastAdd, 0);

    auto session = std::make_unique<Session>();
    sim::World& world = session->world();
    world.OpenWorkbook(L"C:\\data\\a.xls");
    world.FailNthCall(lastAdd + 1);
    session->Connect();
    world.ClearFaults();
    EXPECT_EQ(world.FindBar(kTabBarII)->controls.size(), 3u);
    EXPECT_EQ(world.ClickSubscriptions(), 1);
    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::New));
    EXPECT_EQ(world.WorkbookNames().size(), 2u) << "the entries still run their commands";
}

}  // namespace
}  // namespace tarnwick::testing
