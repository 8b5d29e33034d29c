// The unsaved mark follows Workbook.Saved within half a second, through
// changes, saves, Save As and new workbooks, and costs one Saved call per
// tab and half second.
#include "tracking/unsaved_marks.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"

namespace tarnwick::testing {
namespace {

using Marks = std::vector<bool>;

struct Connected {
    sim::World world;
    ZereZovaveAddin addin;
    explicit Connected(const std::vector<std::wstring>& fullNames) {
        for (const auto& fullName : fullNames) world.OpenWorkbook(fullName);
        addin.AddinInstance_OnConnection(world.Application(), ext_cm_AfterStartup);
        world.Tick();
    }
    ~Connected() { addin.AddinInstance_OnDisconnection(); }
    void Within(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) world.Tick();
    }
};

TEST(UnsavedMarks, FollowSavedWithinHalfASecond) {
    const struct Step {
        const char* what;
        std::function<void(sim::World&)> act;
        std::vector<std::wstring> tabs;
        Marks marks;
        bool atOnce = false;  // shown before the next poll
    } steps[] = {
        {"a change", [](sim::World& w) { w.SetDirty(L"b.xls"); }, {L"a.xls", L"b.xls"}, {false, true}},
        {"a save", [](sim::World& w) { w.SetDirty(L"b.xls", false); }, {L"a.xls", L"b.xls"}, {false, false}},
        {"a never-saved new workbook, untouched",
         [](sim::World& w) { w.NewWorkbook(); },
         {L"a.xls", L"b.xls", L"Book1"},
         {false, false, false}},
        {"the new workbook changed",
         [](sim::World& w) { w.SetDirty(L"Book1"); },
         {L"a.xls", L"b.xls", L"Book1"},
         {false, false, true}},
        {"the new workbook saved under a name",
         [](sim::World& w) {
             w.ActivateByUser(L"Book1");
             w.QueueSaveAsName(L"C:\\data\\c.xls");
             w.ClickControl(L"TabBar", L"另存为(&A)");
         },
         {L"a.xls", L"b.xls", L"c.xls"},
         {false, false, false}},
        {"the renamed workbook changed again",
         [](sim::World& w) { w.SetDirty(L"c.xls"); },
         {L"a.xls", L"b.xls", L"c.xls"},
         {false, false, true}},
        {"a hidden workbook changed",
         [](sim::World& w) {
             w.AddHiddenWorkbook(L"C:\\addins\\tools.xla");
             w.SetDirty(L"tools.xla");
         },
         {L"a.xls", L"b.xls", L"c.xls"},
         {false, false, true}},
        {"a switch rebuilds the strip",
         [](sim::World& w) { w.ActivateByUser(L"a.xls"); },
         {L"a.xls", L"b.xls", L"c.xls"},
         {false, false, true},
         true},
    };
    Connected s({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    ASSERT_TRUE(s.world.Tabs()->ShowsUnsavedMarks()) << "on unless switched off";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(s.world);
        if (step.atOnce) {
            EXPECT_EQ(s.world.Tabs()->UnsavedFlags(), step.marks) << "a rebuilt strip keeps its marks";
        }
        s.Within(500);
        EXPECT_EQ(s.world.TabCaptions(), step.tabs);
        EXPECT_EQ(s.world.Tabs()->UnsavedFlags(), step.marks);
    }
    EXPECT_TRUE(s.world.EscapedExceptions().empty());
}

TEST(UnsavedMarks, CostOneSavedCallPerTabAndHalfSecond) {
    for (const int books : {1, 20}) {
        SCOPED_TRACE(std::to_string(books) + " workbooks");
        std::vector<std::wstring> names;
        for (int i = 0; i < books; ++i) names.push_back(L"C:\\data\\w" + std::to_wstring(i) + L".xls");
        Connected s(names);
        s.world.SetDirty(L"w0.xls");
        s.Within(1000);
        s.world.ResetCallCounts();
        constexpr int kSeconds = 5;
        s.Within(kSeconds * 1000);
        EXPECT_LE(s.world.CallCount("Workbook.Saved"), books * kSeconds * 2);
        EXPECT_GE(s.world.CallCount("Workbook.Saved"), books * (kSeconds * 2 - 1)) << "the poll runs";
        EXPECT_EQ(s.world.CallCount("Workbooks.Item"), 0) << "workbooks are found once, not on every poll";
        EXPECT_EQ(s.world.CallCount("TabItem.Unsaved"), s.world.CallCount("Workbook.Saved"))
            << "a mark that did not change is read, not set";
    }
}

TEST(UnsavedMarks, NothingIsPolledWhenSwitchedOffAndNothingIsHeldAfterDisconnection) {
    sim::World world;
    world.SetRegistryValue(kSettingsKey, kUnsavedMarksValue, win::REG_DWORD, {0, 0, 0, 0});
    world.OpenWorkbook(L"C:\\data\\a.xls");
    world.SetDirty(L"a.xls");
    ZereZovaveAddin addin;
    addin.AddinInstance_OnConnection(world.Application(), ext_cm_AfterStartup);
    for (int i = 0; i < 100; ++i) world.Tick();
    EXPECT_FALSE(world.Tabs()->ShowsUnsavedMarks());
    EXPECT_EQ(world.CallCount("Workbook.Saved"), 0);
    addin.AddinInstance_OnDisconnection();

    SCOPED_TRACE("switched on: the poll's workbooks go at disconnection");
    world.SetRegistryValue(kSettingsKey, kUnsavedMarksValue, win::REG_DWORD, {1, 0, 0, 0});
    addin.AddinInstance_OnConnection(world.Application(), ext_cm_AfterStartup);
    for (int i = 0; i < 100; ++i) world.Tick();
    EXPECT_EQ(world.Tabs()->UnsavedFlags(), Marks{true});
    addin.AddinInstance_OnDisconnection();
    EXPECT_FALSE(addin.HoldsHostReferences());
    EXPECT_EQ(world.LiveHostReferences(), 0);
}

}  // namespace
}  // namespace tarnwick::testing
