// Factories for the foundation suites: a simulated Excel with workbooks, and
// the add-in connected to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"

namespace tarnwick::testing {

// Excel 2003 (unless `version` says otherwise) with the given workbooks
// opened in order; the last one is active.
inline std::unique_ptr<sim::World> MakeExcel(const std::vector<std::wstring>& workbooks = {},
                                             const std::wstring& version = L"11.0") {
    auto world = std::make_unique<sim::World>();
    world->SetVersion(version);
    for (const auto& fullName : workbooks) world->OpenWorkbook(fullName);
    return world;
}

// Connects through a port object that the call drops again, so that only
// the add-in's own references stay alive.
inline void Connect(sim::World& world, ZereZovaveAddin& addin, int32_t connectMode = ext_cm_AfterStartup) {
    addin.AddinInstance_OnConnection(world.Application(), connectMode);
}

struct ConnectedExcel {
    std::unique_ptr<sim::World> world;
    std::unique_ptr<ZereZovaveAddin> addin;
};

inline ConnectedExcel ConnectToExcel(const std::vector<std::wstring>& workbooks,
                                     const std::wstring& version = L"11.0") {
    ConnectedExcel excel{MakeExcel(workbooks, version), std::make_unique<ZereZovaveAddin>()};
    Connect(*excel.world, *excel.addin);
    return excel;
}

// ASCII text for test traces.
inline std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

inline const std::vector<std::wstring> kThreeBooks = {L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"};

}  // namespace tarnwick::testing
