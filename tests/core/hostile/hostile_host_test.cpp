// What the host and the user's machine can hand the add-in: a style setting
// of any registry type and size, a Window menu with nothing in it or none at
// all, a window-list dialog whose accessible tree is not the usual one, and
// a host whose calls fail, one member at a time or all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "hostile_excel.h"
#include "support/settings.h"

namespace tarnwick::hostile {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::wstring>;

const std::wstring kBookA = L"C:\\data\\a.xls";
const std::wstring kBookB = L"C:\\data\\b.xls";
const std::wstring kBookC = L"C:\\data\\c.xls";

// ---------------------------------------------------------------- the style setting

Bytes Repeat(size_t n, Bytes head = {}, uint8_t fill = '1') {
    head.resize(std::max(n, head.size()), fill);
    return head;
}

TEST(HostileSettings, ThemeOfAnyTypeAndSizeEndsAsZeroOrOne) {
    constexpr uint32_t REG_NONE = 0;
    constexpr uint32_t REG_SZ = 1;
    constexpr uint32_t REG_EXPAND_SZ = 2;
    constexpr uint32_t REG_BINARY = 3;
    constexpr uint32_t REG_DWORD = 4;
    constexpr uint32_t REG_MULTI_SZ = 7;
    constexpr uint32_t REG_QWORD = 11;
    struct Case {
        const char* label;
        bool key;
        bool value;
        uint32_t type;
        Bytes data;
        const wchar_t* theme;
    };
    const Case cases[] = {
        {"no key", false, false, 0, {}, L"0"},
        {"key without the value", true, false, 0, {}, L"0"},
        {"REG_NONE 1", true, true, REG_NONE, {'1', 0}, L"0"},
        {"REG_SZ empty, no NUL", true, true, REG_SZ, {}, L"0"},
        {"REG_SZ 1 without NUL", true, true, REG_SZ, {'1'}, L"1"},
        {"REG_SZ 1 with NUL", true, true, REG_SZ, {'1', 0}, L"1"},
        {"REG_SZ 1, NUL, then more", true, true, REG_SZ, {'1', 0, '0', 'x', 0}, L"1"},
        {"REG_SZ NUL first", true, true, REG_SZ, {0, '1'}, L"0"},
        {"REG_SZ 1 and a blank", true, true, REG_SZ, {'1', ' ', 0}, L"0"},
        {"REG_SZ 64 KiB of 1, no NUL", true, true, REG_SZ, Repeat(65536), L"0"},
        {"REG_SZ 1 MiB, NUL after the first", true, true, REG_SZ, Repeat(1 << 20, {'1', 0}, 'x'), L"1"},
        {"REG_SZ bytes that are no text", true, true, REG_SZ, {0xFF, 0xFE, 0xC0, 0}, L"0"},
        {"REG_EXPAND_SZ 1", true, true, REG_EXPAND_SZ, {'1', 0}, L"0"},
        {"REG_BINARY of 0 bytes", true, true, REG_BINARY, {}, L"0"},
        {"REG_BINARY 01", true, true, REG_BINARY, {1}, L"1"},
        {"REG_BINARY 01 00", true, true, REG_BINARY, {1, 0}, L"1"},
        {"REG_BINARY 00 01", true, true, REG_BINARY, {0, 1}, L"0"},
        {"REG_BINARY 01 00 FF", true, true, REG_BINARY, {1, 0, 0xFF}, L"1"},
        {"REG_BINARY 1000 bytes from 01 00", true, true, REG_BINARY, Repeat(1000, {1, 0}, 0xFF), L"1"},
        {"REG_BINARY 1000 bytes of FF", true, true, REG_BINARY, Repeat(1000, {}, 0xFF), L"0"},
        {"REG_DWORD 1", true, true, REG_DWORD, {1, 0, 0, 0}, L"0"},
        {"REG_MULTI_SZ 1", true, true, REG_MULTI_SZ, {'1', 0, 0}, L"0"},
        {"REG_QWORD 1", true, true, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"0"},
        {"unknown type", true, true, 0xFFFFFFFFu, {'1', 0}, L"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HostileExcel excel({kBookA});
        sim::World& world = excel.world;
        if (c.key) world.CreateRegistryKey(kSettingsKey);
        if (c.value) world.SetRegistryValue(kSettingsKey, kThemeValue, c.type, c.data);
        State().ThemeSetting = L"stale";

        excel.Connect();
        EXPECT_EQ(State().ThemeSetting, c.theme);
        EXPECT_EQ(world.OpenRegistryKeys(), 0) << "a key handle was left open";
        EXPECT_EQ(world.KeyExists(kSettingsKey), c.key) << "reading must not create the key";
        // The strip takes the concise look only for "1".
        ASSERT_NE(world.Tabs(), nullptr);
        EXPECT_EQ(world.Tabs()->Left() == -70, std::wstring(c.theme) == L"1");
        excel.ExpectAtRest("connected");
    }
}

TEST(HostileSettings, TextBeyondAsciiRoundTripsThroughTheAnsiRegistryCalls) {
    const std::wstring texts[] = {L"", L"1", L"简洁风格", L"\U00020000\U0001D11E", std::wstring(5000, L'\x9884') + L"x"};
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(Utf8(text.substr(0, 20)));
        sim::World world;
        SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, text);
        EXPECT_EQ(GetSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue), text);
        EXPECT_EQ(world.OpenRegistryKeys(), 0);
    }
}

// ---------------------------------------------------------------- the Window menu

// Excel as the add-in sees it after a user's menu customisation took the
// Window menu away; everything else is Excel's own.
class BarsWithoutWindowMenu : public excel::CommandBars {
public:
    explicit BarsWithoutWindowMenu(std::shared_ptr<excel::CommandBars> bars) : bars_(std::move(bars)) {}
    std::shared_ptr<excel::CommandBar> Item(const std::wstring& name) override { return bars_->Item(name); }
    std::shared_ptr<excel::CommandBar> Add(std::optional<std::wstring> Name, std::optional<int32_t> Position,
                                           std::optional<bool> MenuBar, std::optional<bool> Temporary) override {
        return bars_->Add(Name, Position, MenuBar, Temporary);
    }
    std::shared_ptr<excel::CommandBarControl> FindControl(std::optional<int32_t> Type, std::optional<int32_t> Id,
                                                          std::optional<std::wstring> Tag,
                                                          std::optional<bool> Visible) override {
        if (Id == excel::ids::WindowMenu) return nullptr;
        return bars_->FindControl(Type, Id, Tag, Visible);
    }

private:
    std::shared_ptr<excel::CommandBars> bars_;
};

class ExcelWithoutWindowMenu : public excel::Application {
public:
    explicit ExcelWithoutWindowMenu(std::shared_ptr<excel::Application> app) : app_(std::move(app)) {}
    std::wstring Version() override { return app_->Version(); }
    bool Visible() override { return app_->Visible(); }
    WindowHandle Hwnd() override { return app_->Hwnd(); }
    ModuleHandle Hinstance() override { return app_->Hinstance(); }
    std::shared_ptr<excel::Workbooks> Workbooks() override { return app_->Workbooks(); }
    std::shared_ptr<excel::Workbook> ActiveWorkbook() override { return app_->ActiveWorkbook(); }
    std::shared_ptr<excel::CommandBars> CommandBars() override {
        return std::make_shared<BarsWithoutWindowMenu>(app_->CommandBars());
    }
    void ScreenUpdating(bool value) override { app_->ScreenUpdating(value); }
    std::shared_ptr<excel::Application> GetApplication() override { return app_->GetApplication(); }
    std::unique_ptr<excel::Subscription> SubscribeEvents(excel::AppEventSink& sink) override {
        return app_->SubscribeEvents(sink);
    }

private:
    std::shared_ptr<excel::Application> app_;
};

std::shared_ptr<excel::Application> WithoutWindowMenu(std::shared_ptr<excel::Application> app) {
    return std::make_shared<ExcelWithoutWindowMenu>(std::move(app));
}

// With no way through the menu, the click cannot switch while Excel edits:
// it is cancelled, and the strip goes on showing Excel's active workbook
// instead of a tab Excel did not follow. Nothing is left pending or locked.
TEST(HostileWindowMenu, ClickWhileEditingGetsThroughWhateverTheMenuHolds) {
    struct Case {
        const char* label;
        int32_t limit;
        HostWrapper wrap;
        const char* failing;
        Names switches;
    };
    const Case cases[] = {
        {"no numbered entries: the window-list dialog", 0, {}, nullptr, {L"MoreWindows"}},
        {"no Window menu", 9, WithoutWindowMenu, nullptr, {}},
        {"a Window menu that cannot be found", 9, {}, "CommandBars.FindControl", {}},
        {"a Window menu whose entries cannot be listed", 2, {}, "CommandBarControls.Enumerate", {L"MoreWindows"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HostileExcel excel({kBookA, kBookB, kBookC});
        sim::World& world = excel.world;
        world.SetWindowMenuLimit(c.limit);
        excel.Connect(c.wrap);
        excel.Settle();
        if (c.failing != nullptr) excel.FailEveryCallOf(c.failing);
        excel.EditInFormulaBar();

        excel.Entry("click", [&] { world.ClickTab(0); });
        EXPECT_EQ(WindowSwitchCommands(world), c.switches);
        EXPECT_EQ(world.ActiveWorkbookName(), c.switches.empty() ? L"c.xls" : L"a.xls");
        EXPECT_EQ(State().WindowMenuSwitchPending, !c.switches.empty());
        excel.ExpectAtRest("after the click");

        excel.Entry("ticks", [&] { excel.Settle(); });
        EXPECT_EQ(world.SelectedTab(), c.switches.empty() ? 2 : 0);
        EXPECT_EQ(world.ActiveWorkbookName(), c.switches.empty() ? L"c.xls" : L"a.xls");
        EXPECT_FALSE(State().TabClickPending);
        EXPECT_FALSE(State().WindowMenuSwitchPending);
        excel.ExpectAtRest("after the ticks");
    }
}

// Entries whose captions cannot be read are no workbook's: executing the
// first of them runs whatever heads the menu ("新建窗口", a new window)
// instead of switching workbooks.
TEST(HostileWindowMenu, UnreadableEntriesAreNotExecuted) {
    HostileExcel excel({kBookA, kBookB});
    sim::World& world = excel.world;
    excel.Connect();
    excel.Settle();
    excel.EditInFormulaBar();
    excel.FailEveryCallOf("CommandBarControl.Caption");

    excel.Entry("click", [&] { world.ClickTab(0); });
    EXPECT_FALSE(Contains(world.ExecutedCommands(), L"NewWindow"));
    EXPECT_EQ(world.WindowCaptions(L"b.xls").size(), 1u) << "a window was added";
    EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls") << "no entry to switch through";
    excel.ExpectAtRest("after the click");
    excel.Entry("ticks", [&] { excel.Settle(); });
    EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls");
    EXPECT_EQ(world.SelectedTab(), 1) << "the strip shows where Excel is";
}

// ---------------------------------------------------------------- the window-list dialog

struct DialogProbe {
    std::shared_ptr<sim::AccessibleSim> list;  // may stay empty
    int32_t item = 2;                          // child id of b.xls in the list
    std::shared_ptr<sim::AccessibleSim> ok;    // may stay empty
};

std::shared_ptr<sim::AccessibleSim> Button(sim::World& world, const wchar_t* name) {
    return world.MakeAccessible(name, acc::ROLE_SYSTEM_PUSHBUTTON);
}

// A list of the two workbooks' entries.
std::shared_ptr<sim::AccessibleSim> List(sim::World& world) {
    auto list = world.MakeAccessible(L"激活(A):", 33);
    list->AddChildId(L"a.xls", acc::ROLE_SYSTEM_LISTITEM);
    list->AddChildId(L"b.xls", acc::ROLE_SYSTEM_LISTITEM);
    return list;
}

// A dialog titled like Excel's window list, shown while a switch through it
// is pending: the hook must answer what it can of it and never fail.
TEST(HostileWindowListDialog, UnusualTreesAreAnsweredAsFarAsTheyGo) {
    using Build = std::function<std::shared_ptr<sim::AccessibleSim>(sim::World&, DialogProbe&)>;
    struct Case {
        const char* label;
        Build build;
        int32_t itemActions;  // on b.xls, the entry to choose
        int32_t okPresses;    // none when b.xls's item is not found: "确定" would switch elsewhere
    };
    const auto dialog = [](sim::World& world) { return world.MakeAccessible(L"激活", 18); };
    const Case cases[] = {
        {"no list", [&](sim::World& w, DialogProbe& p) {
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.ok).Add(Button(w, L"取消")).shared_from_this();
         }, 0, 0},
        {"an empty list", [&](sim::World& w, DialogProbe& p) {
             p.list = w.MakeAccessible(L"激活(A):", 33);
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 0},
        {"list items whose names fail", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.list->Fail("accName", 1).Fail("accName", 2);
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 0},
        {"list items whose roles fail", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.list->Fail("accRole", 1).Fail("accRole", 2);
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 0},
        {"a list whose children cannot be listed", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.list->ChildrenResult(hr::E_FAIL_);
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 0},
        {"a list claiming more children than it has", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.list->ReportedChildCount(100000);
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 0},
        {"elements of no kind among the items", [&](sim::World& w, DialogProbe& p) {
             p.list = w.MakeAccessible(L"激活(A):", 33);
             p.list->AddOther();
             p.item = p.list->AddChildId(L"b.xls", acc::ROLE_SYSTEM_LISTITEM);
             p.list->AddOther();
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 1, 1},
        {"items whose default action fails", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.list->Fail("accDoDefaultAction");
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(p.list).Add(p.ok).shared_from_this();
         }, 0, 1},
        {"no OK button", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             return dialog(w)->Add(p.list).Add(Button(w, L"取消")).shared_from_this();
         }, 1, 0},
        {"a root that cannot count its children", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             p.ok = Button(w, L"确定");
             auto root = dialog(w);
             root->Add(p.list).Add(p.ok).Fail("accChildCount");
             return root;
         }, 0, 0},
        {"the list twenty panes down", [&](sim::World& w, DialogProbe& p) {
             p.list = List(w);
             auto inner = p.list;
             for (int i = 0; i < 20; ++i) {
                 auto pane = w.MakeAccessible(L"", 16);
                 pane->Add(inner);
                 inner = pane;
             }
             p.ok = Button(w, L"确定");
             return dialog(w)->Add(inner).Add(p.ok).shared_from_this();
         }, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HostileExcel excel({kBookA, kBookB, kBookC});
        sim::World& world = excel.world;
        world.SetWindowMenuLimit(0);
        excel.Connect();
        excel.Settle();
        excel.EditInFormulaBar();
        excel.Entry("click", [&] { world.ClickTab(1); });
        ASSERT_TRUE(State().WindowMenuSwitchPending);
        ASSERT_EQ(State().DialogItemPattern, L"b.xls");

        DialogProbe probe;
        const WindowHandle hostile = world.CreateWindow(L"bosa_sdm_XL9", L"激活", 0);
        world.AttachAccessible(hostile, c.build(world, probe));
        world.FocusWindow(world.FormulaBarWindow());
        const size_t nextHooksBefore = world.NextHookCalls().size();

        excel.Entry("activate the dialog", [&] { world.ActivateWindow(hostile); });
        if (probe.list && probe.list->Elements().size() >= 2) {
            EXPECT_EQ(probe.list->DefaultActionCount(probe.item), c.itemActions);
        }
        if (probe.ok) {
            EXPECT_EQ(probe.ok->DefaultActionCount(), c.okPresses);
        }
        EXPECT_EQ(world.FocusedWindow(), world.MainWindow()) << "the focus goes back to Excel";
        const auto& passedOn = world.NextHookCalls();
        EXPECT_TRUE(std::any_of(passedOn.begin() + static_cast<std::ptrdiff_t>(nextHooksBefore), passedOn.end(),
                                [&](const sim::NextHookCall& call) {
                                    return call.code == win::HCBT_ACTIVATE && call.wParam == hostile;
                                }))
            << "the activation is passed on to the next hook";
        excel.ExpectAtRest("after the dialog");
    }
}

// A buggy accessible server whose pane lists itself among its children. The
// search runs inside the hook, on Excel's thread: it must end, find nothing
// to press and give the focus back, not recurse until the stack overflows.
TEST(HostileWindowListDialog, CyclicTreeEndsTheSearch) {
    // Once through itself, and three times: a branching cycle that only a
    // bound on the nodes visited, not the depth, keeps from freezing Excel.
    for (const int selfReferences : {1, 3}) {
        SCOPED_TRACE(selfReferences);
        HostileExcel excel({kBookA, kBookB, kBookC});
        sim::World& world = excel.world;
        world.SetWindowMenuLimit(0);
        excel.Connect();
        excel.Settle();
        excel.EditInFormulaBar();
        excel.Entry("click", [&] { world.ClickTab(1); });
        ASSERT_TRUE(State().WindowMenuSwitchPending);

        auto pane = world.MakeAccessible(L"", 16);
        for (int i = 0; i < selfReferences; ++i) pane->Add(pane);
        auto ok = Button(world, L"确定");
        auto root = world.MakeAccessible(L"激活", 18);
        root->Add(pane).Add(ok);
        const WindowHandle hostile = world.CreateWindow(L"bosa_sdm_XL9", L"激活", 0);
        world.AttachAccessible(hostile, root);

        excel.Entry("activate the dialog", [&] { world.ActivateWindow(hostile); });
        EXPECT_EQ(ok->DefaultActionCount(), 0) << "no item of b.xls: nothing to confirm";
        EXPECT_EQ(world.FocusedWindow(), world.MainWindow());
        excel.ExpectAtRest("after the dialog");
        // The simulator cannot unlink a child: the cycle is cut by hand.
        const_cast<std::vector<acc::AccessibleChild>&>(pane->Elements()).clear();
    }
}

// ---------------------------------------------------------------- a failing host

// Time goes by while messages are pumped, as it does in Excel: a wait for
// Excel that never ends gives up after its seconds, not its passes.
struct TimePassesInTheMessageLoop {
    sim::World* world;
    void operator()() const {
        world->Advance(10);
        world->QueueOnDoEvents(*this);
    }
};

// A user's session that reaches every entry point: connection during
// start-up, ticks, workbook events, clicks, the popups' commands, focus
// changes and the window-list dialog, disconnection.
void PlaySession(HostileExcel& excel, const std::function<void()>& afterConnect = {},
                 const std::function<void()>& beforeDisconnect = {}) {
    sim::World& world = excel.world;
    const auto at = [&](const std::string& what, const std::function<void()>& action) {
        excel.Entry(what, action);
        excel.ExpectAtRest(what);
    };
    world.QueueOnDoEvents(TimePassesInTheMessageLoop{&world});
    world.SetWindowMenuLimit(2);
    world.QueueSaveAsName(L"C:\\data\\saved as.xls");
    world.OnAboutDialog([](sim::AboutDialogSim& about) {
        about.ChooseOption2();
        about.PressOK();
    });

    excel.Connect({}, ext_cm_Startup);
    excel.Entry("startup complete", [&] { excel.addin.AddinInstance_OnStartupComplete(); });
    excel.ExpectAtRest("connected");
    if (afterConnect) afterConnect();

    at("ticks", [&] { excel.Settle(); });
    at("open", [&] { world.OpenWorkbook(L"C:\\项目 资料, 新\\Q#1 [x].xls"); });
    at("new", [&] { world.NewWorkbook(); });
    at("click", [&] { excel.ClickTabIfShown(0); });
    at("right click", [&] { excel.ClickTabIfShown(1, 2); });
    at("ticks", [&] { excel.Settle(); });
    at("edit and click a listed tab", [&] {
        excel.EditInFormulaBar();
        excel.ClickTabIfShown(1);
    });
    at("edit and click an unlisted tab", [&] {
        excel.EditInFormulaBar();
        excel.ClickTabIfShown(4);
        world.FocusWindow(world.MainWindow());
    });
    at("ticks", [&] { excel.Settle(); });
    for (const wchar_t* entry : {L"保存工作簿(&S)", L"另存为(&A)", L"保存所有工作簿(&Y)", L"关于此切换插件(&Y)",
                                 L"打开所在文件夹(&Y)", L"关闭工作簿(&C)", L"关闭其它工作簿(&O)"}) {
        at("menu " + Utf8(entry), [&] { world.ClickControl(L"TabBar", entry); });
    }
    at("new from the strip", [&] { world.ClickControl(L"TabBarII", L"新建空白工作簿(&N)"); });
    at("resize", [&] {
        world.ResizeMainWindow(700, 500);
        excel.Settle();
    });
    at("double click", [&] { excel.ClickTabIfShown(0); world.Advance(50); excel.ClickTabIfShown(0); });
    at("close all", [&] { world.ClickControl(L"TabBarII", L"关闭所有工作簿(&L)"); });
    at("ticks", [&] { excel.Settle(); });

    if (beforeDisconnect) beforeDisconnect();
    excel.Disconnect();
    excel.Recover();
    excel.ExpectLetGo("disconnected");
}

// The members a clean session calls, in first-use order.
std::vector<std::string> MembersCalled() {
    HostileExcel clean({kBookA, kBookB, kBookC});
    clean.world.EnableCallLog(true);
    PlaySession(clean);
    std::vector<std::string> members;
    std::set<std::string> seen;
    for (const std::string& call : clean.world.CallLog()) {
        if (seen.insert(call).second) members.push_back(call);
    }
    return members;
}

TEST(HostileHost, EveryCallOfAnyOneMemberFailingBreaksNothing) {
    const std::vector<std::string> members = MembersCalled();
    ASSERT_GT(members.size(), 40u);
    for (const std::string& member : members) {
        // The about window's modal loop ends with its destruction, by the
        // form port's contract: a window that can never be destroyed keeps
        // it, whatever the core does.
        if (member == "AboutForm.Destroy") continue;
        SCOPED_TRACE(member);
        HostileExcel excel({kBookA, kBookB, kBookC});
        excel.FailEveryCallOf(member);
        PlaySession(excel);
        if (::testing::Test::HasFailure()) break;  // the first member that breaks says enough
    }
    std::cout << "[ hostile  ] " << members.size() << " members failed one at a time\n";
}

TEST(HostileHost, AHostFailingEveryCallGetsNothingAndKeepsNothing) {
    const std::vector<std::string> members = MembersCalled();
    std::vector<std::string> allButVersion;
    for (const std::string& member : members) {
        if (member != "Application.Version") allButVersion.push_back(member);
    }
    {
        SCOPED_TRACE("every call but the version, from the connection on");
        HostileExcel excel({kBookA, kBookB, kBookC});
        // Nothing could be installed, so nothing may be left: held strictly.
        for (const std::string& member : allButVersion) excel.world.FailCall(member);
        PlaySession(excel);
    }
    {
        SCOPED_TRACE("every call, from after the connection until before the disconnection");
        HostileExcel excel({kBookA, kBookB, kBookC});
        PlaySession(
            excel, [&] { excel.FailEveryCallOf(members, "every call"); }, [&] { excel.Recover(); });
    }
    {
        SCOPED_TRACE("every call, from after the connection on, disconnection included");
        HostileExcel excel({kBookA, kBookB, kBookC});
        PlaySession(excel, [&] { excel.FailEveryCallOf(members, "every call"); });
        // The timer and hook that could not be removed must not reach Excel.
        ASSERT_FALSE(excel.world.InstalledHooks().empty()) << "nothing left to check";
        ASSERT_FALSE(excel.world.LiveTimers().empty()) << "nothing left to check";
        excel.world.EnableCallLog(true);
        excel.world.ClearCallLog();
        excel.Entry("ticks after disconnection", [&] { excel.Settle(10); });
        excel.Entry("focus after disconnection", [&] { excel.EditInFormulaBar(); });
        for (const std::string& call : excel.world.CallLog()) {
            EXPECT_EQ(call.rfind("Platform.", 0), 0u) << "a leftover timer or hook called " << call;
        }
        excel.ExpectAtRest("after disconnection");
    }
}

}  // namespace
}  // namespace tarnwick::hostile
