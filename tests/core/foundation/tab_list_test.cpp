// The tab list: rebuild, append, remove and select tabs by workbook name.
#include <gtest/gtest.h>

#include "foundation_world.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::testing {
namespace {

// The strip alone, docked into a simulated Excel without a connection, so
// that Excel's events do not touch the tabs behind the test's back.
struct Strip {
    std::unique_ptr<sim::World> world;
    std::shared_ptr<Form_Tab> form;
};

Strip MakeStrip(const std::vector<std::wstring>& workbooks) {
    Strip strip{MakeExcel(workbooks), std::make_shared<Form_Tab>()};
    State().ExcelApp = strip.world->Application();
    strip.form->SetExcelApp(State().ExcelApp);
    strip.form->Show();
    return strip;
}

using Names = std::vector<std::wstring>;

TEST(TabList, RebuildListsVisibleWorkbooksInExcelsOrder) {
    auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"});
    sim::World& world = *strip.world;
    world.AddHiddenWorkbook(L"C:\\addins\\helper.xla");
    world.OpenWorkbook(L"C:\\data\\d.xls");

    SCOPED_TRACE("b keeps its tab with one visible window among hidden ones; c's only window is hidden");
    world.AddWindow(L"b.xls");
    world.AddWindow(L"b.xls");
    world.SetWindowVisible(L"b.xls", 1, false);
    world.SetWindowVisible(L"b.xls", 3, false);
    world.SetWindowVisible(L"c.xls", 1, false);
    strip.form->UpdateMenu(L"");

    EXPECT_EQ(world.TabCaptions(), (Names{L"a.xls", L"b.xls", L"d.xls"}));
    EXPECT_EQ(world.TabToolTips(), (Names{L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\d.xls"}));
    EXPECT_EQ(world.Tabs()->Images(), (std::vector<int32_t>{0, 0, 0}));
}

TEST(TabList, UpdateMenuSelectsTheNamedOrTheActiveWorkbook) {
    struct Case {
        const wchar_t* name;
        int32_t selected;
    };
    const Case cases[] = {
        {L"", 2},  // the active workbook, c.xls
        {L"a.xls", 0},
        {L"B.XLS", -1},   // captions compare case-sensitively
        {L"zz.xls", -1},  // no tab of that name: nothing selected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("UpdateMenu(\"" + Narrow(c.name) + "\")");
        auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"});
        strip.form->UpdateMenu(c.name);
        EXPECT_EQ(strip.world->TabCaptions(), (Names{L"a.xls", L"b.xls", L"c.xls"}));
        EXPECT_EQ(strip.world->SelectedTab(), c.selected);
    }
}

TEST(TabList, RebuildWithoutVisibleWorkbookLeavesAnEmptyStrip) {
    auto strip = MakeStrip({L"C:\\data\\a.xls"});
    strip.world->SetWindowVisible(L"a.xls", 1, false);
    strip.form->UpdateMenu(L"");
    EXPECT_TRUE(strip.world->TabCaptions().empty());
    EXPECT_EQ(strip.world->SelectedTab(), -1);
}

TEST(TabList, AddMenuAppendsAndSelectsUntilTheNextRebuild) {
    auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"});
    sim::World& world = *strip.world;
    world.SetWindowVisible(L"b.xls", 1, false);
    strip.form->UpdateMenu(L"a.xls");
    ASSERT_EQ(world.TabCaptions(), (Names{L"a.xls", L"c.xls"}));

    world.SetWindowVisible(L"b.xls", 1, true);
    strip.form->AddMenu(L"b.xls");
    EXPECT_EQ(world.TabCaptions(), (Names{L"a.xls", L"c.xls", L"b.xls"}));
    EXPECT_EQ(world.TabToolTips().back(), L"C:\\data\\b.xls");
    EXPECT_EQ(world.SelectedTab(), 2);

    SCOPED_TRACE("the rebuild restores Excel's order");
    strip.form->UpdateMenu(L"b.xls");
    EXPECT_EQ(world.TabCaptions(), (Names{L"a.xls", L"b.xls", L"c.xls"}));
    EXPECT_EQ(world.SelectedTab(), 1);
}

TEST(TabList, AddMenuOfAnExistingCaptionChangesNothing) {
    auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    sim::World& world = *strip.world;
    strip.form->UpdateMenu(L"b.xls");

    strip.form->AddMenu(L"a.xls");
    EXPECT_EQ(world.TabCaptions(), (Names{L"a.xls", L"b.xls"}));
    EXPECT_EQ(world.SelectedTab(), 1) << "the existing tab is not selected";

    SCOPED_TRACE("a name differing in case is another tab");
    strip.form->AddMenu(L"A.xls");
    EXPECT_EQ(world.TabCaptions(), (Names{L"a.xls", L"b.xls", L"A.xls"}));
}

TEST(TabList, AddMenuOfAnUnknownWorkbookStillAddsASelectedTab) {
    auto strip = MakeStrip({L"C:\\data\\a.xls"});
    strip.form->AddMenu(L"ghost.xls");
    EXPECT_EQ(strip.world->TabCaptions(), (Names{L"a.xls", L"ghost.xls"}));
    EXPECT_EQ(strip.world->TabToolTips().back(), L"");
    EXPECT_EQ(strip.world->SelectedTab(), 1);
}

TEST(TabList, DelMenuRemovesEveryTabOfThatName) {
    auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    sim::TabControlSim& tabs = *strip.world->Tabs();
    // Duplicates next to each other and apart: [a, a, b, a]
    tabs.Insert(1, L"a.xls", 0);
    tabs.Insert(3, L"a.xls", 0);
    ASSERT_EQ(strip.world->TabCaptions(), (Names{L"a.xls", L"a.xls", L"b.xls", L"a.xls"}));

    strip.form->DelMenu(L"A.XLS");
    EXPECT_EQ(strip.world->TabCaptions().size(), 4u) << "case-sensitive";

    strip.form->DelMenu(L"a.xls");
    EXPECT_EQ(strip.world->TabCaptions(), (Names{L"b.xls"}));
}

TEST(TabList, ActiveMenuSelectsAndPassesItsFailureOn) {
    auto strip = MakeStrip({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    sim::World& world = *strip.world;

    strip.form->ActiveMenu(L"a.xls");
    EXPECT_EQ(world.SelectedTab(), 0);

    world.FailCall("TabItem.Caption");
    EXPECT_THROW(strip.form->ActiveMenu(L"b.xls"), HostError);
    SCOPED_TRACE("the routines under resume-next swallow the same failure");
    EXPECT_NO_THROW(strip.form->UpdateMenu(L"b.xls"));
    EXPECT_NO_THROW(strip.form->AddMenu(L"b.xls"));
    EXPECT_NO_THROW(strip.form->DelMenu(L"b.xls"));
    world.ClearFaults();

    SCOPED_TRACE("an unloaded form has no tabs to select");
    strip.form->Unload();
    EXPECT_THROW(strip.form->ActiveMenu(L"a.xls"), HostError);
    EXPECT_NO_THROW(strip.form->UpdateMenu(L"a.xls"));
}

}  // namespace
}  // namespace tarnwick::testing
