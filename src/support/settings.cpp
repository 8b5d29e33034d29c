// The one user setting, read and written through the ANSI registry calls.
//
// Reading is lenient about what other writers may have stored: REG_SZ text
// with or without its terminating NUL, and REG_BINARY of any length, of
// which the first two bytes are taken as a little-endian 16-bit integer.
// Nothing here traps a failure; the key is closed on every path.
#include "support/settings.h"

#include <cstdint>
#include <string>
#include <vector>

#include "interop/addin_state.h"
#include "interop/platform.h"

namespace tarnwick {

namespace {

// Closes the key however the read ends; the close's result does not matter.
class KeyCloser {
public:
    explicit KeyCloser(RegKey& key) : key_(key) {}
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() {
        try {
            Plat().RegCloseKey(key_);
        } catch (...) {
        }
    }

private:
    RegKey& key_;
};

}  // namespace

std::wstring QueryRegValue(RegKey hKey, const std::wstring& valueName) {
    uint32_t size = 0;
    uint32_t type = 0;
    int32_t rc = Plat().RegQueryValueExA(hKey, valueName, &type, nullptr, &size);
    if (rc != win::ERROR_SUCCESS) return L"";

    if (type == win::REG_SZ) {
        // One byte more than reported, so that text stored without its NUL
        // still ends in one.
        std::vector<uint8_t> buffer(static_cast<std::size_t>(size) + 1, 0);
        uint32_t type2 = 0;
        uint32_t bufferSize = size + 1;
        rc = Plat().RegQueryValueExA(hKey, valueName, &type2, buffer.data(), &bufferSize);
        if (rc != win::ERROR_SUCCESS) return L"";
        std::string text(reinterpret_cast<const char*>(buffer.data()), buffer.size());
        text.resize(text.find('\0'));
        return Plat().AnsiToWide(text);
    }

    if (type == win::REG_BINARY) {
        // The whole value is read; only its first two bytes carry the number.
        std::vector<uint8_t> buffer(size < 2 ? 2 : size, 0);
        uint32_t type2 = 0;
        uint32_t bufferSize = static_cast<uint32_t>(buffer.size());
        rc = Plat().RegQueryValueExA(hKey, valueName, &type2, buffer.data(), &bufferSize);
        if (rc != win::ERROR_SUCCESS) return L"";
        const auto n = static_cast<int16_t>(static_cast<uint16_t>(buffer[0] | (buffer[1] << 8)));
        return std::to_wstring(n);
    }

    return L"";
}

std::wstring GetSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName) {
    RegKey k = 0;
    Plat().RegOpenKeyA(root, subKey, &k);
    KeyCloser closer(k);
    return QueryRegValue(k, valueName);
}

void SaveSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName, const std::wstring& value) {
    RegKey k = 0;
    Plat().RegCreateKeyA(root, subKey, &k);
    KeyCloser closer(k);
    // REG_SZ data includes its terminating NUL.
    const std::string text = Plat().WideToAnsi(value);
    Plat().RegSetValueExA(k, valueName, win::REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                          static_cast<uint32_t>(text.size() + 1));
}

std::wstring NormaliseTheme(const std::wstring& stored) {
    return stored == L"1" ? L"1" : L"0";
}

bool GetSwitchSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName) {
    RegKey k = 0;
    Plat().RegOpenKeyA(root, subKey, &k);
    KeyCloser closer(k);
    uint32_t type = 0;
    uint32_t size = 0;
    if (Plat().RegQueryValueExA(k, valueName, &type, nullptr, &size) != win::ERROR_SUCCESS) return true;
    if (type != win::REG_DWORD || size != sizeof(uint32_t)) return true;
    uint8_t data[sizeof(uint32_t)] = {};
    uint32_t dataSize = sizeof(data);
    if (Plat().RegQueryValueExA(k, valueName, &type, data, &dataSize) != win::ERROR_SUCCESS) return true;
    const uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    return value != 0;
}

void SaveSwitchSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName, bool on) {
    RegKey k = 0;
    Plat().RegCreateKeyA(root, subKey, &k);
    KeyCloser closer(k);
    const uint8_t data[sizeof(uint32_t)] = {static_cast<uint8_t>(on ? 1 : 0), 0, 0, 0};
    Plat().RegSetValueExA(k, valueName, win::REG_DWORD, data, sizeof(data));
}

}  // namespace tarnwick
