// The simulated world's strictness and its less common paths: dead objects,
// window state that follows Excel, the window-list dialog's variants.
#include <gtest/gtest.h>

#include <functional>

#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {
namespace {

using Names = std::vector<std::wstring>;

TEST(SimWorld, ObjectsOfAGoneEntityFailEveryCall) {
    struct Case {
        const char* name;
        std::function<std::function<void()>(World&, excel::Application&)> arrange;  // returns the call that must fail
    };
    const Case cases[] = {
        {"window of a closed workbook",
         [](World& w, excel::Application& app) {
             w.OpenWorkbook(L"C:\\a.xls");
             std::shared_ptr<excel::Window> window = app.Workbooks()->Item(L"a.xls")->Windows()->Enumerate()->Next();
             w.CloseByUser(L"a.xls");
             return [window] { window->Visible(); };
         }},
        {"control of a deleted bar",
         [](World&, excel::Application& app) {
             auto bar = app.CommandBars()->Add(L"Gone", excel::msoBarPopup);
             std::shared_ptr<excel::CommandBarControl> c = bar->Controls()->Add();
             bar->Delete();
             return [c] { c->Caption(L"x"); };
         }},
        {"Window menu entry after the window list changed",
         [](World& w, excel::Application& app) {
             w.OpenWorkbook(L"C:\\a.xls");
             auto controls = app.CommandBars()->FindControl({}, excel::ids::WindowMenu)->Controls();
             std::shared_ptr<excel::CommandBarControl> entry = controls->Item(L"&1 a.xls");
             w.OpenWorkbook(L"C:\\b.xls");
             w.CloseByUser(L"a.xls");
             controls->Count();  // Excel rebuilds the list when the menu is read
             return [entry] { entry->Execute(); };
         }},
        {"tab item after RemoveAll",
         [](World& w, excel::Application&) {
             static struct : TabFormEvents {
                 void Form_Resize() override {}
                 void TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>&, bool&) override {}
                 void TabSeclect_SelectedChanged(const std::shared_ptr<tab::TabItem>&) override {}
                 void TabSeclect_MouseUp(int16_t, int16_t, float, float) override {}
             } events;
             std::shared_ptr<TabFormWindow> form = w.platform().CreateTabFormWindow(events, L"");
             std::shared_ptr<tab::TabItem> item = form->TabSeclect()->Item(0);
             form->TabSeclect()->RemoveAll();
             return [form, item] { item->Selected(true); };
         }},
        {"disabled built-in command",
         [](World&, excel::Application& app) {
             std::shared_ptr<excel::CommandBarControl> close = app.CommandBars()->FindControl({}, excel::ids::Close);
             close->Enabled(false);
             return [close] { close->Execute(); };
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        World world;
        auto app = world.Application();
        auto call = k.arrange(world, *app);
        EXPECT_THROW(call(), HostError);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(SimWorld, PortObjectsThatOutliveTheirWorldFailInsteadOfCrashing) {
    std::shared_ptr<excel::Application> app;
    {
        World world;
        app = world.Application();
    }
    EXPECT_THROW(app->Visible(), HostError);
}

TEST(SimWorld, HidingAndShowingWindowsMovesTheActiveWorkbook) {
    World world;
    auto app = world.Application();
    struct Log : excel::AppEventSink {
        void NewWorkbook(const std::shared_ptr<excel::Workbook>&) override {}
        void WorkbookOpen(const std::shared_ptr<excel::Workbook>&) override {}
        void WorkbookActivate(const std::shared_ptr<excel::Workbook>& Wb) override { activated.push_back(Wb->Name()); }
        void WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>&, bool&) override {}
        Names activated;
    } log;
    auto subscription = app->SubscribeEvents(log);
    world.OpenWorkbook(L"C:\\a.xls");
    world.OpenWorkbook(L"C:\\b.xls");
    log.activated.clear();

    world.SetWindowVisible(L"b.xls", 1, false);
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
    EXPECT_EQ(world.VisibleWorkbookNames(), Names{L"a.xls"});
    EXPECT_THROW(app->Workbooks()->Item(L"b.xls")->Activate(), HostError);
    world.SetWindowVisible(L"b.xls", 1, true);
    EXPECT_EQ(log.activated, (Names{L"a.xls", L"b.xls"}));
    EXPECT_EQ(app->Workbooks()->Item(L"B.XLS")->Name(), L"b.xls");  // Item ignores case
}

TEST(SimWorld, WorkbookWindowsCarryTheirCaptionsAsTitles) {
    World world;
    Platform& p = world.platform();
    world.OpenWorkbook(L"C:\\a.xls");
    EXPECT_EQ(p.GetWindowTextA(world.WorkbookWindowHandle(L"a.xls")), L"a.xls");
    world.AddWindow(L"a.xls");
    EXPECT_EQ(world.WindowCaptions(L"a.xls"), (Names{L"a.xls:1", L"a.xls:2"}));
    EXPECT_EQ(p.GetClassNameA(world.WorkbookWindowHandle(L"a.xls", 2)), L"EXCEL7");
    world.RenameWorkbook(L"a.xls", L"D:\\b.xlsx");
    EXPECT_EQ(p.GetWindowTextA(world.WorkbookWindowHandle(L"b.xlsx", 1)), L"b.xlsx:1");
    EXPECT_EQ(world.FullNameOf(L"b.xlsx"), L"D:\\b.xlsx");
}

TEST(SimWorld, BarWindowsFollowPositionVisibilityAndTheMainWindow) {
    World world;
    Platform& p = world.platform();
    auto app = world.Application();
    auto bar = app->CommandBars()->Add(L"Host", {}, {}, true);
    bar->Visible(true);  // floating: a top-level window owned by Excel
    const WindowHandle floating = p.FindWindowExA(0, 0, L"MsoCommandBar", L"Host");
    ASSERT_NE(floating, 0u);
    EXPECT_EQ(p.GetParent(floating), world.MainWindow());

    bar->Position(excel::msoBarTop);
    EXPECT_EQ(p.FindWindowExA(world.DockWindow(excel::msoBarTop), 0, L"MsoCommandBar", L"Host"), floating);
    world.ResizeMainWindow(800, 600);
    Rect r{};
    p.GetWindowRect(floating, r);
    Rect main{};
    p.GetWindowRect(world.MainWindow(), main);
    EXPECT_EQ(main.right - main.left, 800);
    EXPECT_EQ(r.right - r.left, 800 - 8);

    bar->Visible(false);
    EXPECT_FALSE(p.IsWindowVisible(floating));
    world.SetExcelVisible(false);
    EXPECT_FALSE(p.IsWindowVisible(world.DockWindow(excel::msoBarTop)));
    EXPECT_THROW(bar->Position(excel::msoBarPopup), HostError);  // a toolbar cannot become a popup
}

TEST(SimWorld, FindControlMatchesIdTagAndType) {
    World world;
    auto app = world.Application();
    auto bars = app->CommandBars();
    auto bar = bars->Add(L"Menu", excel::msoBarPopup);
    auto button = bar->Controls()->Add();
    button->Tag(L"Tarnwick");
    button->Caption(L"关于(&A)...");
    EXPECT_EQ(bars->FindControl({}, {}, std::wstring(L"Tarnwick"))->Caption(), L"关于(&A)...");
    EXPECT_EQ(bars->FindControl({}, {}, std::wstring(L"tarnwick")), nullptr);                // tags compare exactly
    EXPECT_EQ(bars->FindControl(excel::msoControlButton, excel::ids::WindowMenu), nullptr);  // it is a popup
    for (int32_t id :
         {excel::ids::Save, excel::ids::Close, excel::ids::SaveAs, excel::ids::NewWorkbook, excel::ids::WindowMenu}) {
        SCOPED_TRACE(id);
        ASSERT_NE(bars->FindControl({}, id), nullptr);
        EXPECT_EQ(bars->FindControl({}, id)->Id(), id);
    }
    // Execute on a custom button raises its Click; nothing else happens.
    struct : excel::ButtonClickSink {
        void Click(const std::shared_ptr<excel::CommandBarControl>&, bool&) override { ++clicks; }
        int clicks = 0;
    } sink;
    auto subscription = button->SubscribeClick(sink);
    button->Execute();
    EXPECT_EQ(sink.clicks, 1);
    EXPECT_THROW(bars->FindControl({}, excel::ids::WindowMenu)->SubscribeClick(sink), HostError);
}

TEST(SimWorld, WindowListDialogVariants) {
    struct Case {
        const char* name;
        std::wstring title;
        std::function<void(World&)> user;  // acts while the dialog is open
        Names items;
        std::wstring active;
    };
    const Case cases[] = {
        {"cancel keeps the active workbook",
         L"激活",
         [](World& w) { w.CloseWindowListDialog(false); },
         {L"a.xls:1", L"a.xls:2", L"b.xls"},
         L"b.xls"},
        {"OK without a choice takes the active window's item",
         L"活动文档",
         [](World& w) { w.CloseWindowListDialog(true); },
         {L"a.xls:1", L"a.xls:2", L"b.xls"},
         L"b.xls"},
        {"the second window of a.xls chosen",
         L"激活",
         [](World& w) {
             auto list = w.WindowListAccessible()->Elements()[0].object;
             list->accDoDefaultAction(2);
             w.WindowListAccessible()->Elements()[1].object->accDoDefaultAction(acc::CHILDID_SELF);
         },
         {L"a.xls:1", L"a.xls:2", L"b.xls"},
         L"a.xls"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        World world;
        auto app = world.Application();
        world.OpenWorkbook(L"C:\\a.xls");
        world.AddWindow(L"a.xls");
        world.OpenWorkbook(L"C:\\b.xls");
        world.SetWindowMenuLimit(1);
        world.SetWindowListTitle(k.title);
        world.SetWindowListItemState(L"b.xls", 0x00100084);
        world.OnWindowListDialog([&](WindowHandle dialog) {
            EXPECT_EQ(world.platform().GetWindowTextA(dialog), k.title);
            EXPECT_EQ(world.WindowListAccessible()->Elements()[0].object->accState(3), 0x00100084u);
            k.user(world);
        });
        app->CommandBars()->FindControl({}, excel::ids::WindowMenu)->Controls()->Item(L"其他窗口(&M)...")->Execute();
        ASSERT_EQ(world.WindowListDialogs().size(), 1u);
        EXPECT_EQ(world.WindowListDialogs()[0].items, k.items);
        EXPECT_FALSE(world.WindowListDialogs()[0].open);
        EXPECT_EQ(world.ActiveWorkbookName(), k.active);
    }
}

TEST(SimWorld, TimerAndTextDetails) {
    World world;
    Platform& p = world.platform();
    static int fired = 0;
    fired = 0;
    auto proc = [](WindowHandle, uint32_t, std::uintptr_t, uint32_t) { ++fired; };
    const auto id = p.SetTimer(0, 0, 1, proc);   // raised to the 10 ms minimum
    EXPECT_EQ(p.SetTimer(0, id, 50, proc), id);  // same id: replaced, not added
    EXPECT_EQ(world.LiveTimers().size(), 1u);
    world.Advance(49);
    EXPECT_EQ(fired, 0);
    world.Advance(1);
    p.DoEvents();  // nothing further due
    EXPECT_EQ(fired, 1);

    // The "A" functions fill a 255-byte buffer.
    const WindowHandle h = world.CreateWindow(L"X", std::wstring(300, L'x'), 0);
    EXPECT_EQ(p.GetWindowTextA(h).size(), 254u);
    const WindowHandle chinese = world.CreateWindow(L"X", std::wstring(100, L'激'), 0);
    EXPECT_EQ(p.GetWindowTextA(chinese), std::wstring(84, L'激'));  // 3 bytes each; no half character
    EXPECT_EQ(p.AnsiToWide("a\xE6\xBF"), L"a\xFFFD\xFFFD");         // a cut sequence
    world.SetVersionUnreadable();
    EXPECT_THROW(world.Application()->Version(), HostError);
}

}  // namespace
}  // namespace tarnwick::sim
