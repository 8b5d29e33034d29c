// The CBT hook: the focus record, the answer to Excel's window-list dialog,
// and the accessibility search behind it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interop/host_error.h"
#include "tracking/accessible_search.h"
#include "tracking/dialog_hook.h"
#include "tracking_session.h"

namespace tarnwick::tracking_tests {
namespace {

constexpr int32_t kListItem = acc::ROLE_SYSTEM_LISTITEM;
constexpr int32_t kPushButton = acc::ROLE_SYSTEM_PUSHBUTTON;

// A world with the hook installed for Excel's thread, no add-in.
std::unique_ptr<sim::World> WorldWithHook() {
    auto world = std::make_unique<sim::World>();
    State().ExcelApp = world->Application();
    InstallDialogHook();
    return world;
}

// A dialog window with the window-list shape: a list of child-id items and
// the buttons "确定" and "取消".
struct Dialog {
    WindowHandle hwnd = 0;
    std::shared_ptr<sim::AccessibleSim> root;
    std::shared_ptr<sim::AccessibleSim> list;
    std::shared_ptr<sim::AccessibleSim> ok;
    std::shared_ptr<sim::AccessibleSim> cancel;
};

Dialog MakeDialog(sim::World& world, const std::wstring& title, const std::vector<std::wstring>& items) {
    Dialog d;
    d.hwnd = world.CreateWindow(L"bosa_sdm_XL9", title, 0);
    d.root = world.MakeAccessible(title, 18);
    d.list = world.MakeAccessible(L"", 33);
    for (const std::wstring& item : items) d.list->AddChildId(item, kListItem);
    d.ok = world.MakeAccessible(L"确定", kPushButton);
    d.cancel = world.MakeAccessible(L"取消", kPushButton);
    d.root->Add(d.list).Add(d.ok).Add(d.cancel);
    world.AttachAccessible(d.hwnd, d.root);
    return d;
}

void PendSwitch(const std::wstring& pattern, int32_t occurrence) {
    State().WindowMenuSwitchPending = true;
    State().DialogItemPattern = pattern;
    State().DialogItemOccurrence = occurrence;
}

TEST(DialogHook, InstallsOnceForExcelsThreadAndRemoves) {
    auto world = WorldWithHook();
    ASSERT_EQ(world->InstalledHooks().size(), 1u);
    EXPECT_EQ(world->InstalledHooks()[0].idHook, win::WH_CBT);
    EXPECT_EQ(world->InstalledHooks()[0].hmod, world->ExcelInstance());
    EXPECT_EQ(world->InstalledHooks()[0].threadId, world->ExcelThreadId());
    EXPECT_EQ(State().HookThreadId, world->ExcelThreadId());

    InstallDialogHook();
    EXPECT_EQ(world->InstalledHooks().size(), 1u);

    RemoveDialogHook();
    EXPECT_TRUE(world->InstalledHooks().empty());
    EXPECT_EQ(State().DialogHookHandle, 0u);
}

TEST(DialogHook, FocusRecordFollowsEditWindows) {
    auto world = WorldWithHook();
    const WindowHandle barA = world->CreateWindow(L"MsoCommandBar", L"Formatting", world->DockWindow());
    const WindowHandle barB = world->CreateWindow(L"MsoCommandBar", L"Standard", world->DockWindow());
    const WindowHandle box1 = world->CreateWindow(L"EDTBX", L"", barA);
    const WindowHandle box2 = world->CreateWindow(L"EDTBX", L"", barA);
    const WindowHandle box3 = world->CreateWindow(L"EDTBX", L"", barB);

    struct Step {
        const char* what;
        WindowHandle focus;
        std::wstring className;
        WindowHandle lastBox;
        WindowHandle lastParent;
        bool switched;
    };
    const std::vector<Step> steps = {
        {"formula bar: class only", world->FormulaBarWindow(), L"EXCEL6", 0, 0, false},
        {"first edit box", box1, L"EDTBX", box1, barA, false},
        {"the same edit box again", box1, L"EDTBX", box1, barA, false},
        {"another edit box under another parent", box3, L"EDTBX", box3, barB, false},
        {"back under the first parent", box1, L"EDTBX", box1, barA, false},
        {"a second edit box under the same parent", box2, L"EDTBX", box2, barA, true},
        {"the sheet: the record of the boxes stays", world->DeskWindow(), L"XLDESK", box2, barA, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        world->FocusWindow(step.focus);
        EXPECT_EQ(State().FocusClassName, step.className);
        EXPECT_EQ(State().LastEditBoxWindow, step.lastBox);
        EXPECT_EQ(State().LastEditBoxParent, step.lastParent);
        EXPECT_EQ(State().EditBoxSwitched, step.switched);
    }
}

TEST(DialogHook, WindowListDialogIsLeftAloneWithoutAPendingSwitch) {
    auto world = WorldWithHook();
    const Dialog d = MakeDialog(*world, L"激活", {L"a.xls", L"b.xls"});
    State().DialogItemPattern = L"a.xls";

    world->ActivateWindow(d.hwnd);
    EXPECT_EQ(State().ActivatedTitle, L"激活");
    EXPECT_EQ(d.list->DefaultActionCount(1), 0);
    EXPECT_EQ(d.ok->DefaultActionCount(), 0);
}

TEST(DialogHook, PendingSwitchChoosesTheItemOfThatOccurrenceOrCancels) {
    struct Case {
        const char* what;
        std::wstring title;
        std::vector<std::wstring> items;
        std::wstring pattern;
        int32_t occurrence;
        int32_t chosen;  // child id, 0 = none: "取消" instead of "确定"
    };
    const std::vector<Case> cases = {
        {"plain name, first match", L"激活", {L"b.xls", L"a.xls:1", L"a.xls", L"a.xls"}, L"a.xls", 0, 3},
        {"name with window number, second match", L"活动文档", {L"a.xls:1", L"b.xls", L"a.xls:2", L"a.xls:3"},
         L"a.xls:#*", 1, 3},
        {"fewer matches than the occurrence: none", L"激活", {L"a.xls", L"b.xls"}, L"a.xls", 1, 0},
        {"nothing matches", L"激活", {L"b.xls", L"c.xls"}, L"a.xls", 0, 0},
        {"escaped number sign", L"激活", {L"Q11.xls", L"Q#1.xls"}, L"Q[#]1.xls", 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto world = WorldWithHook();
        const Dialog d = MakeDialog(*world, c.title, c.items);
        PendSwitch(c.pattern, c.occurrence);

        world->ActivateWindow(d.hwnd);
        for (int32_t id = 1; id <= static_cast<int32_t>(c.items.size()); ++id) {
            EXPECT_EQ(d.list->DefaultActionCount(id), id == c.chosen ? 1 : 0) << "item " << id;
        }
        EXPECT_EQ(d.ok->DefaultActionCount(), c.chosen != 0 ? 1 : 0);
        EXPECT_EQ(d.cancel->DefaultActionCount(), c.chosen != 0 ? 0 : 1);
        EXPECT_EQ(world->FocusedWindow(), world->MainWindow());
        EXPECT_TRUE(State().WindowMenuSwitchPending) << "the hook leaves the flag to the timer";
    }
}

TEST(DialogHook, ItemAlreadyHotAndFocusedIsNotActedOnButOkIsPressed) {
    auto world = WorldWithHook();
    const Dialog d = MakeDialog(*world, L"激活", {L"a.xls", L"b.xls"});
    d.list->SetState(2, kSkipState);
    PendSwitch(L"b.xls", 0);

    world->ActivateWindow(d.hwnd);
    EXPECT_EQ(d.list->DefaultActionCount(2), 0);
    EXPECT_EQ(d.ok->DefaultActionCount(), 1);
}

TEST(DialogHook, NegativeCodeIsPassedOnUntouched) {
    auto world = WorldWithHook();
    State().FocusClassName = L"EXCEL6";
    world->SetNextHookResult(77);
    world->ResetCallCounts();

    EXPECT_EQ(DialogHookProc(-1, world->DeskWindow(), 0x1234), 77);
    ASSERT_FALSE(world->NextHookCalls().empty());
    const sim::NextHookCall& call = world->NextHookCalls().back();
    EXPECT_EQ(call.hook, State().DialogHookHandle);
    EXPECT_EQ(call.code, -1);
    EXPECT_EQ(call.wParam, world->DeskWindow());
    EXPECT_EQ(call.lParam, 0x1234);
    EXPECT_EQ(State().FocusClassName, L"EXCEL6");
    EXPECT_EQ(world->TotalCalls(), world->CallCount("Platform.CallNextHookEx"));
}

TEST(DialogHook, FailureInsideStillCallsTheNextHookWithTheArgumentsAsReceived) {
    auto world = WorldWithHook();
    const Dialog d = MakeDialog(*world, L"激活", {L"a.xls"});
    PendSwitch(L"a.xls", 0);
    world->FailCall("Application.Hwnd");
    world->FailCall("Platform.GetClassNameA");

    EXPECT_NO_THROW(DialogHookProc(win::HCBT_ACTIVATE, d.hwnd, 5));
    EXPECT_EQ(d.ok->DefaultActionCount(), 1) << "the dialog was answered before SetFocus failed";
    EXPECT_EQ(world->NextHookCalls().back().code, win::HCBT_ACTIVATE);
    EXPECT_EQ(world->NextHookCalls().back().wParam, d.hwnd);
    EXPECT_EQ(world->NextHookCalls().back().lParam, 5);

    EXPECT_NO_THROW(DialogHookProc(win::HCBT_SETFOCUS, world->FormulaBarWindow(), 6));
    EXPECT_EQ(world->NextHookCalls().back().lParam, 6);
    EXPECT_TRUE(world->EscapedExceptions().empty());
}

TEST(AccessibleSearch, FaultingChildIsSkippedNeitherTakenNorSearched) {
    sim::World world;
    auto root = world.MakeAccessible(L"dialog", 18);
    auto broken = world.MakeAccessible(L"a.xls", kListItem);
    broken->Fail("accName");
    auto brokenRole = world.MakeAccessible(L"a.xls", kListItem);
    brokenRole->Fail("accRole");
    auto good = world.MakeAccessible(L"a.xls", kListItem);
    root->Add(broken).Add(brokenRole).AddOther().Add(good);

    const AccessibleMatch match = FindAccessible(root, L"a.xls", 0, kListItem);
    EXPECT_EQ(match.Target, good);
    EXPECT_EQ(match.ChildId, acc::CHILDID_SELF);
    EXPECT_FALSE(match.IsHotFocused);
}

TEST(AccessibleSearch, UnreadableStateCountsAsHotFocused) {
    sim::World world;
    auto root = world.MakeAccessible(L"dialog", 18);
    const int32_t id = root->AddChildId(L"a.xls", kListItem);
    root->Fail("accState", id);

    const AccessibleMatch match = FindAccessible(root, L"a.xls", 0, kListItem);
    EXPECT_EQ(match.Target, root);
    EXPECT_EQ(match.ChildId, id);
    EXPECT_TRUE(match.IsHotFocused);
}

TEST(AccessibleSearch, ErrorLeftPendingSkipsTheNextMatchingChild) {
    sim::World world;
    SCOPED_TRACE("the first match's state cannot be read; the next match is skipped, the third taken");
    auto root = world.MakeAccessible(L"list", 33);
    const int32_t first = root->AddChildId(L"a.xls", kListItem);
    root->AddChildId(L"a.xls", kListItem);
    const int32_t third = root->AddChildId(L"a.xls", kListItem);
    root->Fail("accState", first);

    const AccessibleMatch match = FindAccessible(root, L"a.xls", 1, kListItem);
    EXPECT_EQ(match.Target, root);
    EXPECT_EQ(match.ChildId, third);
    EXPECT_FALSE(match.IsHotFocused);
}

TEST(AccessibleSearch, OccurrenceCountsWithinOneObjectOnly) {
    sim::World world;
    SCOPED_TRACE("one match under each of two lists: occurrence 1 is not reached in the first, "
                 "whose only match is returned");
    auto root = world.MakeAccessible(L"dialog", 18);
    auto first = world.MakeAccessible(L"", 33);
    const int32_t firstId = first->AddChildId(L"a.xls", kListItem);
    auto second = world.MakeAccessible(L"", 33);
    second->AddChildId(L"a.xls", kListItem);
    root->Add(first).Add(second);

    const AccessibleMatch match = FindAccessible(root, L"a.xls", 1, kListItem);
    EXPECT_EQ(match.Target, first);
    EXPECT_EQ(match.ChildId, firstId);
    EXPECT_EQ(State().AccessibleMatchCounter, 1);
}

TEST(AccessibleSearch, ErrorsBeforeTheWalkPassToTheCaller) {
    sim::World world;
    auto root = world.MakeAccessible(L"dialog", 18);
    root->AddChildId(L"a.xls", kListItem);

    SCOPED_TRACE("the child count cannot be read");
    root->Fail("accChildCount");
    EXPECT_THROW(FindAccessible(root, L"a.xls", 0, kListItem), HostError);

    SCOPED_TRACE("AccessibleChildren answers S_FALSE: nothing found");
    auto other = world.MakeAccessible(L"dialog", 18);
    other->AddChildId(L"a.xls", kListItem);
    other->ChildrenResult(1);
    EXPECT_EQ(FindAccessible(other, L"a.xls", 0, kListItem).Target, nullptr);
}

TEST(AccessibleSearch, FailedNestedSearchKeepsTheMatchMadeEarlierAtThisLevel) {
    sim::World world;
    auto root = world.MakeAccessible(L"dialog", 18);
    const int32_t id = root->AddChildId(L"a.xls", kListItem);
    auto unreadable = world.MakeAccessible(L"pane", 16);
    unreadable->Fail("accChildCount");
    root->Add(unreadable);

    const AccessibleMatch match = FindAccessible(root, L"a.xls", 5, kListItem);
    EXPECT_EQ(match.Target, root);
    EXPECT_EQ(match.ChildId, id);
}

}  // namespace
}  // namespace tarnwick::tracking_tests
