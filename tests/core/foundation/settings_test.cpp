// The registry setting store.
#include "support/settings.h"

#include <gtest/gtest.h>

#include "foundation_world.h"
#include "interop/host_error.h"

namespace tarnwick::testing {
namespace {

using Bytes = std::vector<uint8_t>;

std::wstring ReadTheme() {
    return GetSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue);
}

TEST(Settings, ReadsStoredValuesByType) {
    struct Case {
        const char* label;
        uint32_t type;
        Bytes data;
        const wchar_t* read;
    };
    const Case cases[] = {
        {"text without NUL", win::REG_SZ, {'1'}, L"1"},
        {"longer text without NUL", win::REG_SZ, {'a', 'b', 'c'}, L"abc"},
        {"text cut at its first NUL", win::REG_SZ, {'1', 0, '2', 0}, L"1"},
        {"empty text", win::REG_SZ, {}, L""},
        {"Chinese text", win::REG_SZ, {0xE7, 0xAE, 0x80, 0}, L"\u7B80"},
        {"binary FF FF", win::REG_BINARY, {0xFF, 0xFF}, L"-1"},
        {"binary of one byte", win::REG_BINARY, {0x05}, L"5"},
        {"binary longer than two bytes: its first two", win::REG_BINARY, {0x02, 0x01, 0x7F, 0x7F, 0x7F}, L"258"},
        {"expandable text", win::REG_EXPAND_SZ, {'1', 0}, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        sim::World world;
        world.SetRegistryValue(kSettingsKey, kThemeValue, c.type, c.data);
        EXPECT_EQ(ReadTheme(), c.read);
        EXPECT_EQ(world.OpenRegistryKeys(), 0);
    }
}

TEST(Settings, AMissingKeyReadsEmptyAndIsNotCreated) {
    sim::World world;
    EXPECT_EQ(ReadTheme(), L"");
    EXPECT_FALSE(world.KeyExists(kSettingsKey));
    EXPECT_FALSE(world.KeyExists(L"SOFTWARE\\Microsoft\\Shared Tools\\Tarnwick"));
}

TEST(Settings, SaveCreatesThePathAndStoresTerminatedText) {
    sim::World world;
    SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, L"1");

    ASSERT_TRUE(world.KeyExists(kSettingsKey));
    const auto stored = world.RegistryValue(kSettingsKey, kThemeValue);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, win::REG_SZ);
    EXPECT_EQ(stored->data, (Bytes{'1', 0}));
    EXPECT_EQ(ReadTheme(), L"1");
    EXPECT_EQ(world.OpenRegistryKeys(), 0);

    SCOPED_TRACE("overwriting keeps one value");
    SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, L"0");
    EXPECT_EQ(world.RegistryValue(kSettingsKey, kThemeValue)->data, (Bytes{'0', 0}));
}

TEST(Settings, FailuresPassOnAndTheKeyIsClosedAnyway) {
    sim::World world;
    world.SetRegistryValue(kSettingsKey, kThemeValue, win::REG_SZ, {'1', 0});
    world.FailCall("Platform.RegQueryValueExA");
    EXPECT_THROW(ReadTheme(), HostError);
    EXPECT_EQ(world.OpenRegistryKeys(), 0);

    world.ClearFaults();
    world.FailCall("Platform.RegSetValueExA");
    EXPECT_THROW(SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, L"0"), HostError);
    EXPECT_EQ(world.OpenRegistryKeys(), 0);
}

}  // namespace
}  // namespace tarnwick::testing
