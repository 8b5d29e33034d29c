// Deployment of the tab control module: on first use, and once more when the
// strip finds the control cannot be created.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr const wchar_t* kControlResourceType = L"OFFICE";
inline constexpr int32_t kControlResourceId = 101;
inline constexpr const wchar_t* kControlFileName = L"Corvane.ocx";
// The current user's copy, under the user's application data folder.
inline constexpr const wchar_t* kUserControlFolder = L"Tarnwick";

std::wstring GetSystemDir();
void LoadControlResource(int32_t id, const std::wstring& path);
void DeployTabControl();  // passes its first failure on

// The file version (major.minor.build.revision, 16 bits each, major first)
// in a module's version block; nothing when the bytes carry none.
std::optional<uint64_t> ModuleFileVersion(const std::vector<uint8_t>& module);

// Tells whether the tab control can now be created from `module` (empty:
// through its COM registration).
using ControlProbe = std::function<bool(const std::wstring& module)>;

// Makes a tab control that could not be created creatable, trying in turn:
// registering the module found in the system directory (replaced first when
// older than ours), then a copy in the user's own folder, loaded without any
// registration. Returns the module the control was created from (empty for
// its registration), or nothing when every way failed. Never throws.
std::optional<std::wstring> RepairTabControl(const ControlProbe& created);

}  // namespace tarnwick
