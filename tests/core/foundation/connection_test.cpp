// Connecting to Excel and disconnecting from it.
#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <tuple>

#include "foundation_world.h"
#include "interop/addin_state.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::testing {
namespace {

TEST(Connection, ServesOnlyExcel2002And2003) {
    struct Case {
        const wchar_t* version;
        bool unreadable;
        bool served;
    };
    const Case cases[] = {
        {L"9.0", false, false}, {L"10.0", false, true},  {L"10", false, true},    {L"10.5", false, true},
        {L"11.0", false, true}, {L"11.5", false, false}, {L"12.0", false, false}, {L"eleven", false, false},
        {L"", false, false},    {L"11.0", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version \"" + Narrow(c.version) + (c.unreadable ? "\" unreadable" : "\""));
        auto world = MakeExcel({L"C:\\data\\a.xls"}, c.version);
        world->SetVersionUnreadable(c.unreadable);
        ZereZovaveAddin addin;
        Connect(*world, addin);

        EXPECT_EQ(world->FindBar(kHostBarName).has_value(), c.served);
        EXPECT_EQ(world->AppEventSubscriptions(), c.served ? 1 : 0);
        EXPECT_EQ(State().TabStripForm != nullptr, c.served);
        EXPECT_EQ(world->InstalledHooks().empty(), !c.served);

        SCOPED_TRACE("disconnecting an inert add-in is harmless");
        addin.AddinInstance_OnDisconnection();
        EXPECT_FALSE(addin.HoldsHostReferences());
        EXPECT_TRUE(world->EscapedExceptions().empty());
    }
}

TEST(Connection, HiddenExcelStartsOnlyTheTimer) {
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable ? "Visible cannot be read" : "Excel hidden");
        auto world = MakeExcel({L"C:\\data\\a.xls"});
        if (unreadable) {
            world->FailCall("Application.Visible");
        } else {
            world->SetExcelVisible(false);
        }
        ZereZovaveAddin addin;
        Connect(*world, addin);

        EXPECT_EQ(world->TabFormsCreated(), 0);
        EXPECT_FALSE(world->FindBar(kHostBarName).has_value());
        ASSERT_EQ(world->LiveTimers().size(), 1u);
        EXPECT_EQ(State().SyncTimerId, world->LiveTimers()[0]);
        EXPECT_EQ(world->AppEventSubscriptions(), 1);
        world->ClearFaults();
        addin.AddinInstance_OnDisconnection();
    }
}

TEST(Connection, WithoutVisibleWorkbookShowsNothingAndStartsNoTimer) {
    auto world = MakeExcel();
    world->AddHiddenWorkbook(L"C:\\addins\\helper.xla");
    ZereZovaveAddin addin;
    Connect(*world, addin);

    EXPECT_EQ(world->TabFormsCreated(), 0);
    EXPECT_TRUE(world->LiveTimers().empty());
    EXPECT_EQ(State().SyncTimerId, 0u);
    SCOPED_TRACE("the strip's other parts are ready for the first workbook");
    EXPECT_EQ(world->AppEventSubscriptions(), 1);
    EXPECT_NE(State().TabStripForm, nullptr);
}

TEST(Connection, StartupKeepsTheUpdateLockUntilStartupCompletes) {
    for (const int32_t mode : {ext_cm_AfterStartup, ext_cm_Startup, 2, 3}) {
        SCOPED_TRACE(::testing::Message() << "connect mode " << mode);
        auto world = MakeExcel(kThreeBooks);
        ZereZovaveAddin addin;
        Connect(*world, addin, mode);

        ASSERT_FALSE(world->LockHistory().empty());
        EXPECT_EQ(world->LockHistory().front().hwnd, world->MainWindow());
        EXPECT_TRUE(world->LockHistory().front().succeeded);
        EXPECT_NE(world->TabFormWindow(), 0u);
        if (mode == ext_cm_Startup) {
            EXPECT_EQ(world->LockedWindow(), world->MainWindow());
        } else {
            EXPECT_EQ(world->LockedWindow(), 0u);
        }

        addin.AddinInstance_OnStartupComplete();
        EXPECT_EQ(world->LockedWindow(), 0u);
    }
}

TEST(Connection, StartupCompleteReleasesTheLockEvenWhenNoneWasTaken) {
    auto world = MakeExcel();
    ZereZovaveAddin addin;
    addin.AddinInstance_OnStartupComplete();
    ASSERT_EQ(world->LockHistory().size(), 1u);
    EXPECT_EQ(world->LockHistory()[0].hwnd, 0u);
}

TEST(Connection, ThemeSettingIsOneOnlyForStoredOne) {
    struct Case {
        const char* label;
        std::optional<sim::RegValue> stored;  // nothing: no value
        bool keyExists;
        const wchar_t* theme;
    };
    auto sz = [](std::string text) {
        return sim::RegValue{win::REG_SZ, std::vector<uint8_t>(text.begin(), text.end())};
    };
    const Case cases[] = {
        {"\"1\"", sz(std::string("1", 2)), true, L"1"},
        {"\"0\"", sz(std::string("0", 2)), true, L"0"},
        {"\"2\"", sz(std::string("2", 2)), true, L"0"},
        {"\"1 \"", sz(std::string("1 ", 3)), true, L"0"},
        {"empty text", sz(std::string("", 1)), true, L"0"},
        {"\"1\" without NUL", sz("1"), true, L"1"},
        {"REG_BINARY 01 00", sim::RegValue{win::REG_BINARY, {0x01, 0x00}}, true, L"1"},
        {"REG_BINARY 01 00 00 00", sim::RegValue{win::REG_BINARY, {0x01, 0x00, 0x00, 0x00}}, true, L"1"},
        {"REG_DWORD 1", sim::RegValue{win::REG_DWORD, {0x01, 0x00, 0x00, 0x00}}, true, L"0"},
        {"missing value", std::nullopt, true, L"0"},
        {"missing key", std::nullopt, false, L"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto world = MakeExcel({L"C:\\data\\a.xls"});
        if (c.keyExists) world->CreateRegistryKey(kSettingsKey);
        if (c.stored) world->SetRegistryValue(kSettingsKey, kThemeValue, c.stored->type, c.stored->data);
        ZereZovaveAddin addin;
        Connect(*world, addin);

        EXPECT_EQ(State().ThemeSetting, c.theme);
        EXPECT_EQ(world->KeyExists(kSettingsKey), c.keyExists) << "reading never creates the key";
        EXPECT_EQ(world->OpenRegistryKeys(), 0);
    }
}

TEST(Disconnection, TakesEverythingDownAndReleasesEveryReference) {
    auto world = MakeExcel(kThreeBooks);
    auto addin = std::make_unique<ZereZovaveAddin>();
    Connect(*world, *addin);
    ASSERT_NE(world->TabFormWindow(), 0u);
    ASSERT_EQ(world->LiveTimers().size(), 1u);
    ASSERT_EQ(world->InstalledHooks().size(), 1u);
    ASSERT_TRUE(world->FindBar(kHostBarName).has_value());

    world->EnableCallLog(true);
    addin->AddinInstance_OnDisconnection();

    SCOPED_TRACE("hook removed, then bar deleted, then form unloaded with its timer");
    const std::vector<std::string>& log = world->CallLog();
    auto at = [&](const char* member) { return std::find(log.begin(), log.end(), member) - log.begin(); };
    EXPECT_LT(at("Platform.UnhookWindowsHookEx"), at("CommandBar.Delete"));
    EXPECT_LT(at("CommandBar.Delete"), at("Platform.KillTimer"));
    EXPECT_LT(at("Platform.KillTimer"), static_cast<std::ptrdiff_t>(log.size()));
    EXPECT_TRUE(world->InstalledHooks().empty());
    EXPECT_FALSE(world->FindBar(kHostBarName).has_value());
    EXPECT_EQ(world->LiveFormWindows(), 0);
    EXPECT_TRUE(world->LiveTimers().empty());
    EXPECT_EQ(State().SyncTimerId, 0u);

    SCOPED_TRACE("no subscription and no host reference left");
    EXPECT_EQ(world->AppEventSubscriptions(), 0);
    EXPECT_EQ(world->ClickSubscriptions(), 0);
    EXPECT_FALSE(addin->HoldsHostReferences());
    EXPECT_EQ(State().ExcelApp, nullptr);
    EXPECT_EQ(State().TabStripForm, nullptr);
    EXPECT_EQ(State().TabBarPopup, nullptr);
    EXPECT_EQ(State().TabBarIIPopup, nullptr);
    EXPECT_EQ(world->LiveHostReferences(), 0);
    EXPECT_TRUE(world->EscapedExceptions().empty());
}

TEST(Disconnection, StopsTheTimerOfAHiddenExcel) {
    auto world = MakeExcel({L"C:\\data\\a.xls"});
    world->SetExcelVisible(false);
    ZereZovaveAddin addin;
    Connect(*world, addin);
    ASSERT_EQ(world->LiveTimers().size(), 1u);

    addin.AddinInstance_OnDisconnection();

    EXPECT_TRUE(world->LiveTimers().empty());
    EXPECT_EQ(State().SyncTimerId, 0u);
    EXPECT_EQ(world->LiveHostReferences(), 0);
}

TEST(Disconnection, ASecondConnectionBehavesLikeTheFirst) {
    auto world = MakeExcel(kThreeBooks);
    auto snapshot = [&] {
        auto bar = world->FindBar(kHostBarName);
        return std::make_tuple(world->TabCaptions(), world->SelectedTab(), world->LiveTimers().size(),
                               world->InstalledHooks().size(), world->AppEventSubscriptions(),
                               bar ? bar->controls.size() : 0u, world->LockedWindow());
    };

    auto first = std::make_unique<ZereZovaveAddin>();
    Connect(*world, *first);
    const auto afterFirst = snapshot();
    first->AddinInstance_OnDisconnection();
    first.reset();
    ASSERT_EQ(world->LiveHostReferences(), 0);

    SCOPED_TRACE("switched on again while Excel keeps running");
    auto second = std::make_unique<ZereZovaveAddin>();
    Connect(*world, *second);
    EXPECT_EQ(snapshot(), afterFirst);
    EXPECT_EQ(world->TabCaptions(), (std::vector<std::wstring>{L"a.xls", L"b.xls", L"c.xls"}));

    second->AddinInstance_OnDisconnection();
    EXPECT_EQ(world->LiveHostReferences(), 0);
}

TEST(Connection, NothingEscapesWhenExcelFailsEveryCall) {
    for (const char* member : {"Application.Visible", "Application.Hwnd", "Application.CommandBars",
                               "Application.Workbooks", "Application.SubscribeEvents", "CommandBars.Add",
                               "Platform.CreateTabFormWindow", "Platform.SetTimer", "Platform.RegOpenKeyA"}) {
        SCOPED_TRACE(member);
        auto world = MakeExcel(kThreeBooks);
        world->FailCall(member);
        ZereZovaveAddin addin;
        EXPECT_NO_THROW(Connect(*world, addin));
        EXPECT_NO_THROW(addin.AddinInstance_OnStartupComplete());
        EXPECT_NO_THROW(addin.AddinInstance_OnDisconnection());
        world->ClearFaults();
        EXPECT_EQ(world->LiveHostReferences(), 0);
        EXPECT_TRUE(world->LiveTimers().empty());
        EXPECT_EQ(world->LockedWindow(), 0u);
    }
}

}  // namespace
}  // namespace tarnwick::testing
