// Loading the strip's form and docking it into Excel's top dock.
#include <gtest/gtest.h>

#include "foundation_world.h"
#include "interop/addin_state.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::testing {
namespace {

constexpr uint32_t kCaptionBits = 0x00C00000;  // WS_BORDER | WS_DLGFRAME
constexpr uint32_t kChild = 0x40000000;

void ExpectFourBlankDisabledButtons(const sim::BarInfo& bar) {
    ASSERT_EQ(bar.controls.size(), 4u);
    for (const auto& control : bar.controls) {
        EXPECT_EQ(control.type, excel::msoControlButton);
        EXPECT_EQ(control.width, 600);
        EXPECT_FALSE(control.enabled);
        EXPECT_EQ(control.caption, L"");
    }
}

TEST(Docking, PutsABorderlessChildFormIntoTheHostBarWindow) {
    auto excel = ConnectToExcel(kThreeBooks);
    sim::World& world = *excel.world;

    const WindowHandle form = world.TabFormWindow();
    ASSERT_NE(form, 0u);
    const sim::WindowModel* window = world.Window(form);
    ASSERT_NE(window, nullptr);

    SCOPED_TRACE("styles: caption and modal frame cleared, child set");
    EXPECT_EQ(window->style & kCaptionBits, 0u);
    EXPECT_EQ(window->style & kChild, kChild);
    EXPECT_EQ(window->exStyle & 0x1u, 0u);

    SCOPED_TRACE("the host bar: top dock, visible, enabled, fully protected, four blank buttons");
    const auto bar = world.FindBar(kHostBarName);
    ASSERT_TRUE(bar.has_value());
    EXPECT_EQ(bar->position, excel::msoBarTop);
    EXPECT_TRUE(bar->visible);
    EXPECT_TRUE(bar->enabled);
    EXPECT_TRUE(bar->temporary);
    EXPECT_EQ(bar->protection, 31);
    ExpectFourBlankDisabledButtons(*bar);

    SCOPED_TRACE("the form fills the bar's window, found under Excel's top dock");
    ASSERT_NE(bar->window, 0u);
    EXPECT_EQ(State().TabBarHostWindow, bar->window);
    EXPECT_EQ(window->parent, bar->window);
    EXPECT_TRUE(window->maximized);
    EXPECT_TRUE(window->visible);

    SCOPED_TRACE("Excel's width recorded, timer running, control 20 twips narrower than the form");
    const Rect excelRect = world.Window(world.MainWindow())->rect;
    EXPECT_EQ(State().ExcelWindowRect, excelRect);
    EXPECT_EQ(State().DockedExcelWidth, excelRect.right - excelRect.left);
    EXPECT_EQ(world.LiveTimers().size(), 1u);
    EXPECT_EQ(State().SyncTimerId, world.LiveTimers().at(0));
    const int32_t formTwips = (window->rect.right - window->rect.left) * 15;
    EXPECT_EQ(world.Tabs()->Width(), formTwips - 20);
}

TEST(Docking, FillsTheTabsAndSelectsTheActiveWorkbook) {
    auto excel = ConnectToExcel(kThreeBooks);
    sim::World& world = *excel.world;

    EXPECT_EQ(world.TabCaptions(), (std::vector<std::wstring>{L"a.xls", L"b.xls", L"c.xls"}));
    EXPECT_EQ(world.TabToolTips(),
              (std::vector<std::wstring>{L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"}));
    EXPECT_EQ(world.Tabs()->Images(), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(world.SelectedTab(), 2);
    EXPECT_TRUE(world.Tabs()->Paint().ShowIcons);
    EXPECT_TRUE(world.Tabs()->Paint().BoldSelected);
    EXPECT_TRUE(world.Tabs()->Paint().HotTracking);
    EXPECT_NE(world.Tabs()->ImageList(), 0u);
}

TEST(Docking, AppearanceFollowsVersionAndStyle) {
    struct Case {
        const wchar_t* version;
        const wchar_t* theme;  // stored "Theme"
        bool excelTabs;        // the control's own appearance 7 (Excel 2002)
        bool conciseColours;   // paint manager appearance 7, Office 2003 colours
        bool disableLuna;
        int32_t left;
    };
    const Case cases[] = {
        {L"10.0", L"0", true, false, true, -70},   {L"10.0", L"1", true, false, true, -70},
        {L"10", L"1", true, false, true, -70},     {L"11.0", L"1", false, true, false, -70},
        {L"11.0", L"0", false, false, false, -50}, {L"11.0", L"2", false, false, false, -50},
        {L"10.5", L"1", false, true, false, -70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + Narrow(c.version) + ", theme " + Narrow(c.theme));
        auto world = MakeExcel(kThreeBooks, c.version);
        world->SetRegistryString(kSettingsKey, kThemeValue, c.theme);
        ZereZovaveAddin addin;
        Connect(*world, addin);
        const sim::TabControlSim* tabs = world->Tabs();
        ASSERT_NE(tabs, nullptr);

        EXPECT_EQ(tabs->Appearance() == tab::xtpTabAppearanceExcel, c.excelTabs);
        EXPECT_EQ(tabs->Paint().DisableLunaColors, c.disableLuna);
        EXPECT_EQ(tabs->Left(), c.left);
        if (c.conciseColours) {
            EXPECT_EQ(tabs->Paint().Appearance, tab::xtpTabAppearanceExcel);
            EXPECT_EQ(tabs->Paint().Color, tab::xtpTabColorOffice2003);
            EXPECT_EQ(tabs->Paint().ButtonSelected, 0x00FFFFFFu);
            EXPECT_EQ(tabs->Paint().ButtonNormal, 0x00CDCDCDu);
        } else {
            EXPECT_NE(tabs->Paint().ButtonNormal, 0x00CDCDCDu);
        }
    }
}

TEST(Docking, ReloadReusesTheBarWithStillFourButtons) {
    auto excel = ConnectToExcel(kThreeBooks);
    sim::World& world = *excel.world;
    Form_Tab& form = *State().TabStripForm;

    for (int reload = 1; reload <= 3; ++reload) {
        SCOPED_TRACE(::testing::Message() << "reload " << reload);
        form.Unload();
        EXPECT_TRUE(world.LiveTimers().empty()) << "unloading stops the timer";
        EXPECT_EQ(State().SyncTimerId, 0u);
        form.Show();

        int hostBars = 0;
        for (const auto& bar : world.Bars()) hostBars += bar.name == kHostBarName ? 1 : 0;
        EXPECT_EQ(hostBars, 1);
        const auto bar = world.FindBar(kHostBarName);
        ASSERT_TRUE(bar.has_value());
        ExpectFourBlankDisabledButtons(*bar);
        EXPECT_EQ(world.Window(world.TabFormWindow())->parent, bar->window);
        EXPECT_EQ(world.LiveTimers().size(), 1u);
    }
}

TEST(Docking, TopsUpABarThatLostButtonsAndReenablesEveryButton) {
    auto world = MakeExcel(kThreeBooks);
    {
        auto bars = world->Application()->CommandBars();
        auto bar = bars->Add(std::wstring(kHostBarName), std::nullopt, std::nullopt, true);
        auto kept = bar->Controls()->Add(excel::msoControlButton, 1);
        kept->Enabled(true);
        kept->Width(50);
    }
    ZereZovaveAddin addin;
    Connect(*world, addin);

    const auto bar = world->FindBar(kHostBarName);
    ASSERT_TRUE(bar.has_value());
    ExpectFourBlankDisabledButtons(*bar);
}

TEST(Docking, LoadWhileTheTimerRunsKeepsOneTimer) {
    auto excel = ConnectToExcel(kThreeBooks);
    sim::World& world = *excel.world;
    const auto timer = State().SyncTimerId;
    ASSERT_NE(timer, 0u);

    State().TabStripForm->Form_Load();

    EXPECT_EQ(State().SyncTimerId, timer);
    EXPECT_EQ(world.LiveTimers().size(), 1u);
}

TEST(Docking, WithoutTheHostWindowTheFormStaysHiddenAndTheTimerIdles) {
    auto world = MakeExcel(kThreeBooks);
    // The bar's window cannot be found: Excel's dock windows are not searchable.
    world->FailCall("Platform.FindWindowExA");
    ZereZovaveAddin addin;
    Connect(*world, addin);

    const WindowHandle form = world->TabFormWindow();
    ASSERT_NE(form, 0u);
    EXPECT_EQ(State().TabBarHostWindow, 0u);
    SCOPED_TRACE("not spread over the desktop");
    EXPECT_FALSE(world->Window(form)->visible);
    EXPECT_FALSE(world->Window(form)->maximized);
    EXPECT_EQ(world->CallCount("Platform.SetParent"), 0);
    SCOPED_TRACE("the strip's contents and the timer are still there");
    EXPECT_EQ(world->TabCaptions().size(), 3u);
    ASSERT_EQ(world->LiveTimers().size(), 1u);

    SCOPED_TRACE("ticks do not reload the form over and over");
    const int32_t formsBefore = world->TabFormsCreated();
    for (int i = 0; i < 20; ++i) world->Tick();
    EXPECT_EQ(world->TabFormsCreated(), formsBefore);
    EXPECT_TRUE(world->EscapedExceptions().empty());

    SCOPED_TRACE("once the host is findable, a width change docks the strip");
    world->ClearFaults();
    world->ResizeMainWindow(900, 700);
    world->Tick();
    const auto bar = world->FindBar(kHostBarName);
    ASSERT_TRUE(bar.has_value());
    EXPECT_EQ(State().TabBarHostWindow, bar->window);
    EXPECT_TRUE(world->Window(world->TabFormWindow())->visible);
}

// Office creates bar windows late (and recreates them after print preview):
// the tick keeps looking for the host's window and docks the strip once it is
// there, without reloading the form meanwhile.
TEST(Docking, StripDocksOnceTheHostBarGetsItsWindow) {
    auto world = MakeExcel(kThreeBooks);
    world->SetBarWindowsLate(true);
    ZereZovaveAddin addin;
    Connect(*world, addin);
    ASSERT_EQ(State().TabBarHostWindow, 0u);
    const int32_t formsBefore = world->TabFormsCreated();
    for (int i = 0; i < 20; ++i) world->Tick();
    EXPECT_EQ(world->TabFormsCreated(), formsBefore);
    EXPECT_FALSE(world->Window(world->TabFormWindow())->visible);

    world->SetBarWindowsLate(false);
    world->Tick();
    const auto bar = world->FindBar(kHostBarName);
    ASSERT_TRUE(bar.has_value());
    EXPECT_NE(bar->window, 0u);
    EXPECT_EQ(State().TabBarHostWindow, bar->window);
    EXPECT_EQ(world->Window(world->TabFormWindow())->parent, bar->window);
    EXPECT_TRUE(world->Window(world->TabFormWindow())->visible);
    EXPECT_EQ(world->TabFormsCreated(), formsBefore);
    EXPECT_TRUE(world->EscapedExceptions().empty());
}

TEST(Docking, FloatingHostBarIsFoundAmongTopLevelWindows) {
    auto world = MakeExcel(kThreeBooks);
    // A floating "VodevIzuzod" window outside Excel's dock windows.
    const WindowHandle floating = world->CreateWindow(L"MsoCommandBar", kHostBarName, 0);
    Form_Tab form;
    State().ExcelApp = world->Application();
    form.SetExcelApp(State().ExcelApp);
    world->FailCall("CommandBars.Add");  // no docked bar: only the floating window exists
    world->FailCall("CommandBars.Item");
    form.Show();

    EXPECT_EQ(State().TabBarHostWindow, floating);
    EXPECT_EQ(world->Window(world->TabFormWindow())->parent, floating);
    form.Unload();
    State().ExcelApp.reset();
}

}  // namespace
}  // namespace tarnwick::testing
