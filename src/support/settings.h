// The registry setting store over the ANSI registry functions.
#pragma once

#include <string>

#include "interop/platform_types.h"

namespace tarnwick {

std::wstring QueryRegValue(RegKey hKey, const std::wstring& valueName);
std::wstring GetSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName);
void SaveSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName, const std::wstring& value);

// "1" stays "1"; everything else, missing included, is "0".
std::wstring NormaliseTheme(const std::wstring& stored);

// An on/off switch stored as a REG_DWORD 0 or 1. Anything else (missing, of
// another type or size, another number, an unreadable key) means on, so that
// a damaged value never hides a feature for good.
bool GetSwitchSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName);
void SaveSwitchSetting(RegKey root, const std::wstring& subKey, const std::wstring& valueName, bool on);

}  // namespace tarnwick
