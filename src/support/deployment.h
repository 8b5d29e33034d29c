// Deployment of the tab control module on first use.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

inline constexpr const wchar_t* kControlResourceType = L"OFFICE";
inline constexpr int32_t kControlResourceId = 101;
inline constexpr const wchar_t* kControlFileName = L"Corvane.ocx";

std::wstring GetSystemDir();
void LoadControlResource(int32_t id, const std::wstring& path);
void DeployTabControl();  // passes its first failure on

}  // namespace tarnwick
