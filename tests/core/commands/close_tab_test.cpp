// The close button, the middle button and the list of every tab: each acts
// on the workbook of the tab it was used on, look-alike names included, also
// while a cell is being edited, and closes through Excel's own Close.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "commands_world.h"

namespace tarnwick::testing {
namespace {

// Names that differ only by a suffix or an extension; a.csv active.
const std::vector<std::wstring> kLookAlikes = {L"C:\\data\\Book1", L"C:\\data\\Book11", L"C:\\data\\a.xls",
                                               L"C:\\data\\a.csv"};

using Names = std::vector<std::wstring>;

Names Without(Names names, const std::wstring& gone) {
    names.erase(std::remove(names.begin(), names.end(), gone), names.end());
    return names;
}

TEST(CloseTab, TheCloseButtonTheMiddleButtonAndTheListActOnTheirOwnTab) {
    enum How { CloseButton, Middle, List };
    const struct Case {
        const char* what;
        How how;
        int32_t tab;
    } cases[] = {
        {"close button of the selected tab", CloseButton, 3},
        {"close button of a look-alike by extension", CloseButton, 2},
        {"close button of a look-alike by suffix", CloseButton, 0},
        {"middle click on a look-alike by suffix", Middle, 1},
        {"middle click on the selected tab", Middle, 3},
        {"list choice of a look-alike by extension", List, 2},
        {"list choice of a look-alike by suffix", List, 0},
    };
    const Names all = {L"Book1", L"Book11", L"a.xls", L"a.csv"};
    for (const Case& c : cases) {
        for (const bool editing : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (editing ? ", while editing" : ""));
            auto session = ConnectedWith(kLookAlikes);
            sim::World& world = session->world();
            world.Tick();
            const std::wstring target = all[static_cast<size_t>(c.tab)];
            if (editing) {
                world.SetEditModeIsExcelsState(true);
                world.FocusWindow(world.CellEditWindow());
                ASSERT_TRUE(world.Editing());
            }

            switch (c.how) {
                case CloseButton:
                    world.Tabs()->ClickCloseButton(c.tab);
                    break;
                case Middle:
                    world.Tabs()->MiddleClickTab(c.tab);
                    break;
                case List:
                    world.Tabs()->ChooseFromList(c.tab);
                    break;
            }
            for (int i = 0; i < 5; ++i) world.Tick();

            if (c.how == List) {
                EXPECT_EQ(world.WorkbookNames(), all);
                EXPECT_EQ(world.ActiveWorkbookName(), target);
                EXPECT_FALSE(Contains(CommandKinds(world), L"Close"));
            } else {
                EXPECT_EQ(world.WorkbookNames(), Without(all, target));
                Names closes;
                for (const auto& command : world.ExecutedCommands())
                    if (command.rfind(L"Close(", 0) == 0) closes.push_back(command);
                EXPECT_EQ(closes, (Names{L"Close(" + target + L")"}));
            }
            EXPECT_EQ(world.TabCaptions(), world.VisibleWorkbookNames());
            EXPECT_EQ(world.TabCaptions().at(static_cast<size_t>(world.SelectedTab())), world.ActiveWorkbookName());
            EXPECT_TRUE(world.EscapedExceptions().empty());
        }
    }
}

TEST(CloseTab, ExcelAsksAboutUnsavedChangesAndNothingElseClosesOnCancel) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    world.SetDirty(L"a.xls");
    world.SetSaveAnswer(sim::SaveAnswer::Cancel);
    world.Tabs()->ClickCloseButton(0);
    for (int i = 0; i < 5; ++i) world.Tick();
    EXPECT_EQ(world.SavePrompts(), (Names{L"a.xls"}));
    EXPECT_EQ(world.WorkbookNames(), (Names{L"a.xls", L"b.xls", L"c.xls"}));
    EXPECT_EQ(world.TabCaptions().at(static_cast<size_t>(world.SelectedTab())), world.ActiveWorkbookName());
}

TEST(CloseTab, NothingClosesOnTheEmptyStripBehindAPromptOrWhenTheEditCannotEnd) {
    const struct Case {
        const char* what;
        std::function<void(sim::World&)> act;
        Names open;
    } cases[] = {
        {"middle click on the empty strip", [](sim::World& w) { w.ClickEmpty(4); }, {L"a.xls", L"b.xls", L"c.xls"}},
        {"clicks behind the save prompt of another close",
         [](sim::World& w) {
             w.SetDirty(L"a.xls");
             w.SetModalPromptTime(100);
             w.OnModal([&w](const std::wstring&) {
                 w.Tabs()->MiddleClickTab(1);
                 w.Tabs()->ClickCloseButton(2);
             });
             w.Tabs()->ClickCloseButton(0);
         },
         {L"b.xls", L"c.xls"}},
        {"an edit the Window menu cannot end",
         [](sim::World& w) {
             w.SetEditModeIsExcelsState(true);
             w.FocusWindow(w.CellEditWindow());
             w.FailCall("CommandBarControl.Execute");
             w.Tabs()->ClickCloseButton(0);
             w.ClearFaults();
         },
         {L"a.xls", L"b.xls", L"c.xls"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        c.act(world);
        world.Tick();
        EXPECT_EQ(world.WorkbookNames(), c.open);
        const Names kinds = CommandKinds(world);
        EXPECT_EQ(static_cast<size_t>(std::count(kinds.begin(), kinds.end(), L"Close")), 3 - c.open.size());
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

}  // namespace
}  // namespace tarnwick::testing
