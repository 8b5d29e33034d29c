// The setting reader over registry values of any type and any bytes: it must
// never crash, and what it returns must follow from the stored bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "interop/addin_state.h"
#include "interop/platform.h"
#include "sim/world.h"
#include "support/settings.h"

using namespace tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > 4096) return 0;
    static const uint32_t types[] = {win::REG_NONE,  win::REG_SZ,    win::REG_EXPAND_SZ,
                                     win::REG_BINARY, win::REG_DWORD, win::REG_MULTI_SZ};
    const uint32_t type = types[data[0] % (sizeof(types) / sizeof(types[0]))];
    const std::vector<uint8_t> bytes(data + 1, data + size);

    sim::World world;
    world.SetRegistryValue(kSettingsKey, kThemeValue, type, bytes);
    const std::wstring read = GetSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue);

    std::wstring expected;
    if (type == win::REG_SZ) {
        std::string text(bytes.begin(), bytes.end());
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        expected = Plat().AnsiToWide(text);
    } else if (type == win::REG_BINARY) {
        const uint8_t lo = bytes.size() > 0 ? bytes[0] : 0;
        const uint8_t hi = bytes.size() > 1 ? bytes[1] : 0;
        expected = std::to_wstring(static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8))));
    }
    if (read != expected) std::abort();
    if (world.OpenRegistryKeys() != 0) std::abort();  // every key closed
    return 0;
}
