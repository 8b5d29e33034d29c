// The about dialog: when it may change the style, what it preselects, and
// what confirming it stores and redraws.
#include "support/about_dialog.h"

#include <gtest/gtest.h>

#include <optional>

#include "commands_world.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::testing {
namespace {

std::optional<std::wstring> StoredTheme(const sim::World& world) {
    const auto value = world.RegistryValue(kSettingsKey, kThemeValue);
    if (!value) return std::nullopt;
    std::wstring text;
    for (uint8_t b : value->data) {
        if (b == 0) break;
        text += static_cast<wchar_t>(b);
    }
    return text;
}

TEST(AboutDialog, OffersNoStyleChoiceOnExcel2002OrWhileEditing) {
    struct Case {
        const char* name;
        const wchar_t* version;
        bool editing;
        bool enabled;
    };
    const Case cases[] = {
        {"Excel 2003", L"11.0", false, true},
        {"Excel 2002", L"10.0", false, false},
        {"Excel 2003 editing a cell", L"11.0", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        world.SetVersion(c.version);
        world.OpenWorkbook(L"C:\\data\\a.xls");
        session->Connect();
        if (c.editing) world.FocusWindow(world.CellEditWindow());
        world.OnAboutDialog([](sim::AboutDialogSim& dialog) { dialog.PressOK(); });

        ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));

        ASSERT_EQ(world.AboutDialogsShown().size(), 1u);
        const sim::AboutShown& shown = world.AboutDialogsShown()[0];
        EXPECT_EQ(shown.owner, world.MainWindow());
        EXPECT_EQ(shown.option1Enabled, c.enabled);
        EXPECT_EQ(shown.option2Enabled, c.enabled);
        EXPECT_EQ(shown.okEnabled, c.enabled);
        EXPECT_EQ(shown.option1 || shown.option2, c.enabled);
        SCOPED_TRACE("only an enabled dialog stores the choice");
        EXPECT_EQ(StoredTheme(world).has_value(), c.enabled);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(AboutDialog, PreselectsTheStoredStyleAndStoresTheConfirmedOne) {
    enum class Choose { Nothing, Concise, Luxurious };
    struct Case {
        const char* name;
        std::optional<std::wstring> stored;
        Choose choose;
        bool esc;
        bool conciseShown;
        std::wstring storedAfter;
    };
    const Case cases[] = {
        {"nothing stored, OK", std::nullopt, Choose::Nothing, false, false, L"0"},
        {"\"1\" stored, OK", L"1", Choose::Nothing, false, true, L"1"},
        {"\"2\" stored counts as luxurious", L"2", Choose::Nothing, false, false, L"0"},
        {"\"1\" stored, luxurious chosen, OK", L"1", Choose::Luxurious, false, true, L"0"},
        {"\"0\" stored, concise chosen, Esc", L"0", Choose::Concise, true, false, L"1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        if (c.stored) world.SetRegistryString(kSettingsKey, kThemeValue, *c.stored);
        world.OpenWorkbook(L"C:\\data\\a.xls");
        world.OpenWorkbook(L"C:\\data\\b.xls");
        session->Connect();
        const int32_t formsBefore = world.TabFormsCreated();
        world.OnAboutDialog([&](sim::AboutDialogSim& dialog) {
            if (c.choose == Choose::Concise) dialog.ChooseOption1();
            if (c.choose == Choose::Luxurious) dialog.ChooseOption2();
            if (c.esc) {
                dialog.PressEsc();
            } else {
                dialog.PressOK();
            }
        });

        ASSERT_TRUE(world.ClickControl(kTabBar, caption::About));

        ASSERT_EQ(world.AboutDialogsShown().size(), 1u);
        EXPECT_EQ(world.AboutDialogsShown()[0].option1, c.conciseShown);
        EXPECT_EQ(world.AboutDialogsShown()[0].option2, !c.conciseShown);
        EXPECT_EQ(StoredTheme(world), c.storedAfter);
        EXPECT_EQ(State().ThemeSetting, c.storedAfter);

        SCOPED_TRACE("the strip is reloaded in the confirmed style, under one window-update lock");
        EXPECT_EQ(world.TabFormsCreated(), formsBefore + 1);
        ASSERT_NE(world.Tabs(), nullptr);
        const bool concise = c.storedAfter == L"1";
        EXPECT_EQ(world.Tabs()->Paint().Appearance, concise ? tab::xtpTabAppearanceExcel : 0);
        EXPECT_EQ(world.Tabs()->Paint().Color, concise ? tab::xtpTabColorOffice2003 : 0);
        EXPECT_EQ(world.TabCaptions(), (std::vector<std::wstring>{L"a.xls", L"b.xls"}));
        EXPECT_EQ(world.LockedWindow(), 0u);
        ASSERT_GE(world.LockHistory().size(), 2u);
        EXPECT_EQ(world.LockHistory()[world.LockHistory().size() - 2].hwnd, world.MainWindow());
        EXPECT_EQ(world.LockHistory().back().hwnd, 0u);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(AboutDialog, ReleasesTheUpdateLockWhenTheReloadFails) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    sim::World& world = session->world();
    world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
        State().TabStripForm.reset();  // nothing left to reload
        dialog.PressOK();
    });

    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));

    EXPECT_EQ(StoredTheme(world), std::wstring(L"0"));
    ASSERT_FALSE(world.LockHistory().empty());
    EXPECT_EQ(world.LockedWindow(), 0u);
    EXPECT_EQ(world.LockHistory().back().hwnd, 0u);
    SCOPED_TRACE("the failure itself passes on to the dialog's window");
    EXPECT_EQ(world.EscapedExceptions().size(), 1u);
}

TEST(AboutDialog, ClosedFromItsCloseBoxStoresNothing) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    sim::World& world = session->world();
    const int32_t formsBefore = world.TabFormsCreated();
    world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
        dialog.ChooseOption1();
        dialog.CloseBox();
    });

    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));

    EXPECT_FALSE(StoredTheme(world).has_value());
    EXPECT_EQ(world.TabFormsCreated(), formsBefore);
    EXPECT_EQ(world.LiveFormWindows(), 1);
}

TEST(AboutDialog, LinkOpensTheWebPageInTheDefaultBrowser) {
    auto session = ConnectedWith({L"C:\\data\\a.xls"});
    sim::World& world = session->world();
    world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
        dialog.ClickLink();
        EXPECT_TRUE(dialog.IsOpen());
        dialog.PressOK();
    });

    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));

    ASSERT_EQ(world.ShellExecutes().size(), 1u);
    const sim::ShellExecuteCall& call = world.ShellExecutes()[0];
    EXPECT_EQ(call.hwnd, 0u);
    EXPECT_EQ(call.verb, std::wstring(L"open"));
    EXPECT_EQ(call.file, kAboutWebAddress);
    EXPECT_FALSE(call.parameters.has_value());
    EXPECT_FALSE(call.directory.has_value());
    EXPECT_EQ(call.showCmd, 1);
}

}  // namespace
}  // namespace tarnwick::testing

namespace tarnwick::testing {
namespace {

// The two switches at connection, in the dialog, and on the strip: a stored
// REG_DWORD 0 turns one off; anything else, or nothing, leaves it on.
TEST(AboutDialog, TheSwitchesAreOnUnlessStoredOffAndTheConfirmedOnesAreStored) {
    using Bytes = std::vector<uint8_t>;
    const struct Case {
        const char* what;
        std::optional<std::pair<uint32_t, Bytes>> stored;  // the same for both values
        bool on;
    } cases[] = {
        {"nothing stored", std::nullopt, true},
        {"DWORD 0", std::pair{win::REG_DWORD, Bytes{0, 0, 0, 0}}, false},
        {"DWORD 1", std::pair{win::REG_DWORD, Bytes{1, 0, 0, 0}}, true},
        {"DWORD 2", std::pair{win::REG_DWORD, Bytes{2, 0, 0, 0}}, true},
        {"DWORD 0x100", std::pair{win::REG_DWORD, Bytes{0, 1, 0, 0}}, true},
        {"DWORD of two bytes", std::pair{win::REG_DWORD, Bytes{0, 0}}, true},
        {"text \"0\"", std::pair{win::REG_SZ, Bytes{'0', 0}}, true},
        {"binary zeros", std::pair{win::REG_BINARY, Bytes{0, 0, 0, 0}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        if (c.stored) {
            for (const wchar_t* value : {kCloseButtonsValue, kUnsavedMarksValue})
                world.SetRegistryValue(kSettingsKey, value, c.stored->first, c.stored->second);
        }
        world.OpenWorkbook(L"C:\\data\\a.xls");
        session->Connect();
        EXPECT_EQ(world.Tabs()->ShowsCloseButtons(), c.on);
        EXPECT_EQ(world.Tabs()->ShowsUnsavedMarks(), c.on);

        SCOPED_TRACE("the user turns the close buttons over and confirms");
        world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
            dialog.ToggleCheck(AboutCheck::chkCloseButtons);
            dialog.PressOK();
        });
        ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));
        ASSERT_EQ(world.AboutDialogsShown().size(), 1u);
        EXPECT_EQ(world.AboutDialogsShown()[0].closeButtons, c.on);
        EXPECT_EQ(world.AboutDialogsShown()[0].unsavedMarks, c.on);
        EXPECT_EQ(world.RegistryValue(kSettingsKey, kCloseButtonsValue)->data,
                  (Bytes{c.on ? uint8_t{0} : uint8_t{1}, 0, 0, 0}));
        EXPECT_EQ(world.RegistryValue(kSettingsKey, kCloseButtonsValue)->type, win::REG_DWORD);
        EXPECT_EQ(world.RegistryValue(kSettingsKey, kUnsavedMarksValue)->data,
                  (Bytes{c.on ? uint8_t{1} : uint8_t{0}, 0, 0, 0}));
        EXPECT_EQ(world.Tabs()->ShowsCloseButtons(), !c.on) << "the reloaded strip follows";
        EXPECT_EQ(world.Tabs()->ShowsUnsavedMarks(), c.on);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(AboutDialog, WhileEditingTheSwitchesShowWhatTheStripDoesAndCannotChange) {
    auto session = std::make_unique<Session>();
    sim::World& world = session->world();
    world.SetRegistryValue(kSettingsKey, kUnsavedMarksValue, win::REG_DWORD, {0, 0, 0, 0});
    world.OpenWorkbook(L"C:\\data\\a.xls");
    session->Connect();
    world.FocusWindow(world.CellEditWindow());
    world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
        dialog.ToggleCheck(AboutCheck::chkUnsavedMarks);
        dialog.PressOK();
    });
    ASSERT_TRUE(world.ClickControl(kTabBarII, caption::About));
    ASSERT_EQ(world.AboutDialogsShown().size(), 1u);
    const sim::AboutShown& shown = world.AboutDialogsShown()[0];
    EXPECT_TRUE(shown.closeButtons);
    EXPECT_FALSE(shown.unsavedMarks);
    EXPECT_FALSE(shown.checksEnabled);
    EXPECT_EQ(world.RegistryValue(kSettingsKey, kCloseButtonsValue), std::nullopt) << "nothing stored";
    EXPECT_FALSE(State().UnsavedMarksSetting);
}

}  // namespace
}  // namespace tarnwick::testing
