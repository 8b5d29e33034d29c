// Deployment of the tab control module: on first use, once more when the
// strip finds the control cannot be created, and its removal when the add-in
// is unregistered.
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
inline constexpr const wchar_t* kControlProgId = L"Corvane.TabControl";
// The current user's copy, under the user's local application data folder.
inline constexpr const wchar_t* kUserControlFolder = L"Tarnwick";

std::wstring GetSystemDir();
void LoadControlResource(int32_t id, const std::wstring& path);
// Leaves a control that COM creates from a module of our version or newer
// alone; otherwise replaces or deploys. Passes its first failure on.
void DeployTabControl();

// The module COM creates the control from (ProgID, CLSID, InprocServer32;
// the user's classes above the machine's); nothing when it is not registered.
std::optional<std::wstring> RegisteredControlModule();

// Removes what the add-in itself deployed: the system directory's module
// with its registration, and the user's own copy. A module that a package
// registered is not ours and stays. Never throws.
void RemoveDeployedTabControl();

// The file version (major.minor.build.revision, 16 bits each, major first)
// in a module's version block; nothing when the bytes carry none.
std::optional<uint64_t> ModuleFileVersion(const std::vector<uint8_t>& module);

// Tells whether the tab control can now be created from `module` (empty:
// through its COM registration).
using ControlProbe = std::function<bool(const std::wstring& module)>;

// Makes a tab control that could not be created creatable, trying in turn:
// the registered module of our version or newer, loaded straight from its
// file (COM may not honour the user's classes, e.g. in an elevated Excel);
// registering the module found in the system directory (replaced first when
// older than ours); a copy in the user's own folder, loaded without any
// registration. Returns the module the control was created from (empty for
// its registration), or nothing when every way failed. Never throws.
std::optional<std::wstring> RepairTabControl(const ControlProbe& created);

}  // namespace tarnwick
