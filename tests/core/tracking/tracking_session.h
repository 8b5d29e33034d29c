// Factories for the tracking suites: a simulated Excel with the add-in
// connected and its strip docked, driven like a user's session.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::tracking_tests {

inline const std::wstring kBookA = L"C:\\data\\a.xls";
inline const std::wstring kBookB = L"C:\\data\\b.xls";
inline const std::wstring kBookC = L"C:\\data\\c.xls";

class Session {
public:
    // Excel with these workbooks opened in order (the last one active) and
    // the add-in connected; a few ticks let the strip settle.
    explicit Session(const std::vector<std::wstring>& workbooks, bool excelVisible = true) {
        world.SetExcelVisible(excelVisible);
        for (const std::wstring& fullName : workbooks) world.OpenWorkbook(fullName);
        addin.AddinInstance_OnConnection(world.Application(), ext_cm_AfterStartup);
        Settle();
    }
    ~Session() {
        world.ClearFaults();
        addin.AddinInstance_OnDisconnection();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Settle() {
        for (int i = 0; i < 3; ++i) world.Tick();
    }

    Form_Tab& Form() { return *State().TabStripForm; }
    sim::TabControlSim& Tabs() {
        sim::TabControlSim* tabs = world.Tabs();
        if (tabs == nullptr) throw std::logic_error("no tab strip is loaded");
        return *tabs;
    }
    std::shared_ptr<tab::TabItem> Item(int32_t index) { return Tabs().ItemPort(index); }

    // The user starts typing in the formula bar: the focus record says "EXCEL6".
    void EditInFormulaBar() { world.FocusWindow(world.FormulaBarWindow()); }

    // The strip was rebuilt or reloaded since the counts were reset.
    int32_t Rebuilds() const { return world.CallCount("TabControl.RemoveAll"); }

    sim::World world;
    ZereZovaveAddin addin;
};

inline std::unique_ptr<Session> ExcelWith(const std::vector<std::wstring>& workbooks) {
    return std::make_unique<Session>(workbooks);
}

}  // namespace tarnwick::tracking_tests
