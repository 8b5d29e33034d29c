// The simulated Windows: timers on the virtual clock, CBT hooks, window
// state, the update lock, registry, files, forms and the tab control.
#include <gtest/gtest.h>

#include <stdexcept>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {
namespace {

struct Ticks {
    static inline std::vector<std::pair<std::uintptr_t, uint32_t>> fired;
    static void Proc(WindowHandle, uint32_t message, std::uintptr_t id, uint32_t time) {
        EXPECT_EQ(message, 0x113u);
        fired.emplace_back(id, time);
    }
    static void Throwing(WindowHandle, uint32_t, std::uintptr_t, uint32_t) { throw HostError(hr::E_FAIL_); }
};

TEST(SimPlatform, WorldInstallsItselfAsThePlatformForItsLifetime) {
    {
        World world;
        EXPECT_EQ(State().platform, &world.platform());
    }
    EXPECT_EQ(State().platform, nullptr);
}

TEST(SimPlatform, TimersFireOnTheVirtualClockAcrossTheWrap) {
    World world;
    Platform& p = world.platform();
    world.SetTickCount(0xFFFFFFF0u);
    Ticks::fired.clear();
    const auto id = p.SetTimer(0, 0, 10, &Ticks::Proc);
    ASSERT_NE(id, 0u);
    world.Advance(9);
    EXPECT_TRUE(Ticks::fired.empty());
    world.Advance(21);
    ASSERT_EQ(Ticks::fired.size(), 3u);
    EXPECT_EQ(Ticks::fired[0].second, 0xFFFFFFFAu);
    EXPECT_EQ(Ticks::fired[1].second, 4u);  // the tick count wrapped
    EXPECT_EQ(p.GetTickCount(), 14u);
    EXPECT_TRUE(p.KillTimer(0, id));
    EXPECT_FALSE(p.KillTimer(0, id));
    world.Advance(100);
    EXPECT_EQ(Ticks::fired.size(), 3u);
    EXPECT_TRUE(world.LiveTimers().empty());
}

TEST(SimPlatform, AnExceptionFromATimerProcIsRecordedAsEscaped) {
    World world;
    world.platform().SetTimer(0, 0, 10, &Ticks::Throwing);
    world.Tick();
    EXPECT_EQ(world.EscapedExceptions().size(), 1u);
}

struct HookLog {
    static inline std::vector<std::pair<int32_t, std::uintptr_t>> calls;
    static std::intptr_t Proc(int32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
        calls.emplace_back(code, wParam);
        return State().platform->CallNextHookEx(0, code, wParam, lParam);
    }
};

TEST(SimPlatform, FocusAndActivationRunTheCbtHookOfExcelsThread) {
    World world;
    Platform& p = world.platform();
    HookLog::calls.clear();
    EXPECT_EQ(p.SetWindowsHookExA(win::WH_CBT, &HookLog::Proc, 0, 12345), 0u);  // another thread
    const HookHandle hook =
        p.SetWindowsHookExA(win::WH_CBT, &HookLog::Proc, world.ExcelInstance(), p.GetCurrentThreadId());
    ASSERT_NE(hook, 0u);
    EXPECT_EQ(world.InstalledHooks()[0].hmod, world.ExcelInstance());

    const WindowHandle edit = world.CreateWindow(L"EDTBX", L"", world.MainWindow());
    p.SetFocus(edit);
    world.FocusWindow(world.FormulaBarWindow());
    const WindowHandle dialog = world.CreateWindow(L"bosa_sdm_XL9", L"激活", 0);
    world.ActivateWindow(dialog);
    EXPECT_EQ(
        HookLog::calls,
        (std::vector<std::pair<int32_t, std::uintptr_t>>{
            {win::HCBT_SETFOCUS, edit}, {win::HCBT_SETFOCUS, world.FormulaBarWindow()}, {win::HCBT_ACTIVATE, dialog}}));
    EXPECT_EQ(world.FocusedWindow(), world.FormulaBarWindow());
    EXPECT_EQ(world.NextHookCalls().size(), 3u);

    EXPECT_TRUE(p.UnhookWindowsHookEx(hook));
    world.FocusWindow(edit);
    EXPECT_EQ(HookLog::calls.size(), 3u);
}

TEST(SimPlatform, OnlyOneWindowCanBeLocked) {
    World world;
    Platform& p = world.platform();
    const WindowHandle other = world.CreateWindow(L"X", L"", 0);
    EXPECT_TRUE(p.LockWindowUpdate(world.MainWindow()));
    EXPECT_FALSE(p.LockWindowUpdate(other));
    EXPECT_EQ(world.LockedWindow(), world.MainWindow());
    EXPECT_TRUE(p.LockWindowUpdate(0));
    EXPECT_EQ(world.LockedWindow(), 0u);
    EXPECT_EQ(world.LockHistory().size(), 3u);
}

TEST(SimPlatform, WindowStylesParentsAndSearch) {
    World world;
    Platform& p = world.platform();
    const WindowHandle host = world.CreateWindow(L"MsoCommandBar", L"VodevIzuzod", world.DockWindow(excel::msoBarTop));
    const WindowHandle popup = world.CreateWindow(L"Popup", L"", 0, 0x80000000u);

    // GetParent answers the parent of a child window, the owner of any other.
    p.SetParent(popup, host);
    EXPECT_EQ(p.GetParent(popup), 0u);
    p.SetWindowLongA(popup, win::GWL_STYLE, static_cast<int32_t>(win::WS_CHILD));
    EXPECT_EQ(p.GetParent(popup), host);
    p.SetWindowLongA(host, win::GWL_HWNDPARENT, static_cast<int32_t>(world.MainWindow()));
    EXPECT_EQ(p.GetWindowLongA(host, win::GWL_HWNDPARENT), static_cast<int32_t>(world.MainWindow()));

    // EXCEL2 windows in child order, then the bar window inside one of them.
    WindowHandle dock = p.FindWindowExA(world.MainWindow(), 0, L"EXCEL2", std::nullopt);
    int docks = 0;
    for (; dock != 0; dock = p.FindWindowExA(world.MainWindow(), dock, L"EXCEL2", std::nullopt)) ++docks;
    EXPECT_EQ(docks, 4);
    EXPECT_EQ(p.FindWindowExA(world.DockWindow(excel::msoBarTop), 0, L"msocommandbar", L"VodevIzuzod"), host);
    EXPECT_EQ(p.FindWindowExA(0, 0, L"MsoCommandBar", L"VodevIzuzod"), 0u);
    EXPECT_EQ(p.GetWindowTextA(host), L"VodevIzuzod");
    EXPECT_EQ(p.GetClassNameA(world.CellEditWindow()), L"EXCEL<");
}

TEST(SimPlatform, RegistryQueriesFollowTheBufferRules) {
    World world;
    Platform& p = world.platform();
    world.SetRegistryValue(L"Software\\T", L"Theme", win::REG_BINARY, {1, 0, 7, 9});
    RegKey key = 0;
    EXPECT_EQ(p.RegOpenKeyA(win::HKEY_CURRENT_USER, L"Software\\Missing", &key), win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
    ASSERT_EQ(p.RegOpenKeyA(win::HKEY_CURRENT_USER, L"software\\t", &key), win::ERROR_SUCCESS);
    uint32_t type = 0, size = 0;
    EXPECT_EQ(p.RegQueryValueExA(key, L"Theme", &type, nullptr, &size), win::ERROR_SUCCESS);
    EXPECT_EQ(type, win::REG_BINARY);
    EXPECT_EQ(size, 4u);
    uint8_t small[2] = {};
    size = 2;
    EXPECT_EQ(p.RegQueryValueExA(key, L"Theme", &type, small, &size), win::ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(p.RegQueryValueExA(key, L"Other", &type, nullptr, &size), win::ERROR_FILE_NOT_FOUND);

    const uint8_t text[] = {'1', 0};
    EXPECT_EQ(p.RegSetValueExA(key, L"Theme", win::REG_SZ, text, 2), win::ERROR_SUCCESS);
    EXPECT_EQ(world.RegistryValue(L"Software\\T", L"theme")->data, (std::vector<uint8_t>{'1', 0}));
    EXPECT_EQ(p.RegCloseKey(key), win::ERROR_SUCCESS);
    EXPECT_NE(p.RegCloseKey(key), win::ERROR_SUCCESS);
    EXPECT_NE(p.RegQueryValueExA(key, L"Theme", &type, nullptr, &size), win::ERROR_SUCCESS);

    ASSERT_EQ(p.RegCreateKeyA(win::HKEY_CURRENT_USER, L"A\\B\\C", &key), win::ERROR_SUCCESS);
    EXPECT_TRUE(world.KeyExists(L"A\\B"));
    p.RegCloseKey(key);
    EXPECT_EQ(world.OpenRegistryKeys(), 0);
}

TEST(SimPlatform, FilesProcessesAndTheAnsiCodePage) {
    World world;
    Platform& p = world.platform();
    world.SetFile(L"C:\\WINDOWS\\system32\\hidden.ocx", {1}, file_attr::Hidden);
    EXPECT_FALSE(p.FindOrdinaryFile(L"C:\\WINDOWS\\system32\\hidden.ocx"));
    p.WriteBinaryFile(L"C:\\WINDOWS\\system32\\Corvane.ocx", {1, 2, 3});
    EXPECT_TRUE(p.FindOrdinaryFile(L"c:\\windows\\system32\\corvane.ocx"));
    EXPECT_THROW(p.LoadModuleResource(L"OFFICE", 101), HostError);
    world.SetResource(L"OFFICE", 101, {9});
    EXPECT_EQ(p.LoadModuleResource(L"OFFICE", 101), std::vector<uint8_t>{9});

    world.OnStartProcess([](const ProcessStart& s) { return s.application.find(L"regsvr32") != std::wstring::npos; });
    EXPECT_TRUE(p.StartProcess(L"C:\\WINDOWS\\system32\\regsvr32.exe", L"regsvr32 x /s", 1, 0));
    EXPECT_FALSE(p.StartProcess(L"C:\\other.exe", L"", 1, 0));
    EXPECT_EQ(world.ProcessStarts().size(), 2u);

    EXPECT_EQ(p.AnsiToWide(p.WideToAnsi(L"活动文档 a.xls")), L"活动文档 a.xls");

    int ran = 0;
    world.QueueOnDoEvents([&] { ++ran; });
    p.DoEvents();
    p.DoEvents();
    EXPECT_EQ(ran, 1);
}

struct FormEvents : TabFormEvents {
    void Form_Resize() override { ++resized; }
    void TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>& Item, bool&) override {
        log.push_back(L"Before(" + Item->Caption() + L")");
    }
    void TabSeclect_SelectedChanged(const std::shared_ptr<tab::TabItem>& Item) override {
        log.push_back(L"Changed(" + Item->Caption() + L")");
    }
    void TabSeclect_MouseUp(int16_t Button, int16_t, float x, float) override {
        log.push_back(L"Up(" + std::to_wstring(Button) + L"," + std::to_wstring(static_cast<int>(x)) + L")");
    }
    void TabSeclect_CloseButtonClick(const std::shared_ptr<tab::TabItem>& Item) override {
        log.push_back(L"Close(" + Item->Caption() + L")");
    }
    int resized = 0;
    std::vector<std::wstring> log;
};

TEST(SimPlatform, TabFormDocksMaximisedAndDiesWithItsWindow) {
    World world;
    Platform& p = world.platform();
    FormEvents events;
    auto form = p.CreateTabFormWindow(events, L"");
    const WindowHandle h = form->hWnd();
    EXPECT_FALSE(p.IsWindowVisible(h));
    EXPECT_NE(p.GetWindowLongA(h, win::GWL_STYLE) & static_cast<int32_t>(win::WS_CAPTION), 0);
    EXPECT_EQ(p.GetWindowLongA(h, win::GWL_EXSTYLE) & win::WS_EX_DLGMODALFRAME, win::WS_EX_DLGMODALFRAME);

    const WindowHandle host = world.CreateWindow(L"MsoCommandBar", L"VodevIzuzod", world.DockWindow(excel::msoBarTop));
    p.SetParent(h, host);
    p.ShowWindow(h, win::SW_SHOWMAXIMIZED);
    EXPECT_EQ(events.resized, 1);
    Rect hostRect, formRect;
    p.GetWindowRect(host, hostRect);
    p.GetWindowRect(h, formRect);
    EXPECT_EQ(formRect, hostRect);
    EXPECT_EQ(form->Width(), (hostRect.right - hostRect.left) * 15);

    auto tabs = form->TabSeclect();
    EXPECT_EQ(tabs->ItemCount(), 2);  // the design-time placeholders
    world.DestroyWindow(host);        // the form goes with its host
    EXPECT_THROW(tabs->ItemCount(), HostError);
    EXPECT_THROW(form->Width(), HostError);
    form.reset();
    EXPECT_EQ(world.LiveFormWindows(), 0);
}

TEST(SimPlatform, TabClicksRaiseTheControlsEventsInOrder) {
    World world;
    FormEvents events;
    auto form = world.platform().CreateTabFormWindow(events, L"");
    auto tabs = form->TabSeclect();
    tabs->RemoveAll();
    tabs->ItemCount(3);
    for (int i = 0; i < 3; ++i) tabs->Item(i)->Caption(std::wstring(1, static_cast<wchar_t>(L'a' + i)));
    EXPECT_THROW(tabs->Item(3), HostError);
    tabs->SelectedItem(0);
    events.log.clear();

    world.ClickTab(1);
    world.ClickTab(1);
    world.ClickTab(2, 2);
    world.ClickEmpty(2);
    EXPECT_FALSE(world.ClickTab(3));  // no such tab: nothing happens
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"Before(b)", L"Changed(b)", L"Up(1,150)", L"Before(b)",
                                                     L"Up(1,150)", L"Up(2,250)", L"Up(2,350)"}));
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_EQ(tabs->HitTest(250, 10)->Caption(), L"c");
    EXPECT_EQ(tabs->HitTest(350, 10), nullptr);

    auto first = tabs->Item(0);
    tabs->RemoveItem(0);
    EXPECT_THROW(first->Caption(), HostError);
    EXPECT_EQ(world.TabCaptions(), (std::vector<std::wstring>{L"b", L"c"}));
    EXPECT_EQ(world.SelectedTab(), 0);  // still "b"
}

TEST(SimPlatform, CloseButtonListAndMiddleButtonRaiseWhatTheControlRaises) {
    World world;
    FormEvents events;
    auto form = world.platform().CreateTabFormWindow(events, L"");
    auto tabs = form->TabSeclect();
    tabs->RemoveAll();
    tabs->ItemCount(2);
    tabs->Item(0)->Caption(L"a");
    tabs->Item(1)->Caption(L"b");
    tabs->SelectedItem(0);
    tabs->Item(1)->Unsaved(true);
    EXPECT_EQ(world.Tabs()->UnsavedFlags(), (std::vector<bool>{false, true}));
    EXPECT_THROW(world.Tabs()->ClickCloseButton(1), std::logic_error) << "close buttons are off";
    tabs->ShowCloseButtons(true);
    events.log.clear();

    world.Tabs()->ClickCloseButton(1);
    world.Tabs()->MiddleClickTab(1);
    world.Tabs()->ChooseFromList(1);
    world.Tabs()->ChooseFromList(1);
    EXPECT_EQ(events.log,
              (std::vector<std::wstring>{L"Close(b)", L"Up(4,150)", L"Before(b)", L"Changed(b)", L"Before(b)"}));
}

struct AboutEvents : AboutFormEvents {
    void cmdOK_Click() override {
        ++ok;
        window->Destroy();
    }
    void Labelblog_Click() override { ++link; }
    void Form_CloseRequested() override {
        ++closeBox;
        window->Destroy();
    }
    AboutFormWindow* window = nullptr;
    int ok = 0, link = 0, closeBox = 0;
};

TEST(SimPlatform, AboutDialogRunsTheScriptAndClosesWhatItLeavesOpen) {
    struct Case {
        const char* name;
        std::function<void(AboutDialogSim&)> script;
        int ok, closeBox;
        bool option2;
    };
    const Case cases[] = {
        {"no script", nullptr, 0, 1, false},
        {"choose and confirm",
         [](AboutDialogSim& d) {
             d.ChooseOption2();
             d.PressOK();
         },
         1, 0, true},
        {"escape",
         [](AboutDialogSim& d) {
             d.ClickLink();
             d.PressEsc();
         },
         1, 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        World world;
        AboutEvents events;
        auto window = world.platform().CreateAboutFormWindow(events);
        events.window = window.get();
        window->OptionValue(AboutOption::Option1, true);
        window->Enabled(AboutControl::Option1, false);
        bool option2 = false;
        world.OnAboutDialog([&](AboutDialogSim& d) {
            if (k.script) k.script(d);
            option2 = d.OptionValue(AboutOption::Option2);
        });
        window->ShowModal();
        EXPECT_EQ(events.ok, k.ok);
        EXPECT_EQ(events.closeBox, k.closeBox);
        EXPECT_EQ(option2, k.option2);
        ASSERT_EQ(world.AboutDialogsShown().size(), 1u);
        EXPECT_TRUE(world.AboutDialogsShown()[0].option1);
        EXPECT_FALSE(world.AboutDialogsShown()[0].option1Enabled);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(SimPlatform, AccessibleTreesAnswerWithTheirFaultsAndResults) {
    World world;
    Platform& p = world.platform();
    auto root = world.MakeAccessible(L"root", 18);
    auto list = world.MakeAccessible(L"list", 33);
    const int32_t a = list->AddChildId(L"a.xls", acc::ROLE_SYSTEM_LISTITEM, 0x00100084);
    list->AddChildId(L"b.xls", acc::ROLE_SYSTEM_LISTITEM);
    list->Fail("accName", 2);
    root->Add(list).AddOther();
    const WindowHandle h = world.CreateWindow(L"Dlg", L"激活", 0);
    world.AttachAccessible(h, root);

    auto obj = p.AccessibleObjectFromWindow(h, win::OBJID_WINDOW);
    ASSERT_EQ(obj, root);
    auto top = p.AccessibleChildren(*obj, 0, obj->accChildCount());
    EXPECT_EQ(top.hresult, 0);
    ASSERT_EQ(top.children.size(), 2u);
    EXPECT_EQ(top.children[1].kind, acc::AccessibleChild::Kind::Other);
    EXPECT_EQ(p.AccessibleChildren(*obj, 0, 5).hresult, 1);  // fewer than asked: S_FALSE

    EXPECT_EQ(list->accName(a), L"a.xls");
    EXPECT_EQ(list->accState(a), 0x00100084u);
    EXPECT_THROW(list->accName(2), HostError);
    EXPECT_THROW(list->accName(3), HostError);
    list->ChildrenResult(static_cast<int32_t>(0x80004005u));
    EXPECT_TRUE(p.AccessibleChildren(*list, 0, 2).children.empty());
    EXPECT_EQ(world.CallCount("Accessible.accName"), 3);

    // A tree may hold itself; the test cuts the cycle so that it can be freed.
    list->Add(list);
    EXPECT_EQ(list->accChildCount(), 3);
    list->RemoveChildren();
    EXPECT_EQ(list->accChildCount(), 0);
}

}  // namespace
}  // namespace tarnwick::sim
