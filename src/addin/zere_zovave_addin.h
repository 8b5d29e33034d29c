// ZereZovaveAddin: the connection class Excel creates and connects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "commands/workbook_commands.h"
#include "interop/excel.h"

namespace tarnwick {

inline constexpr int32_t ext_cm_AfterStartup = 0;
inline constexpr int32_t ext_cm_Startup = 1;

class ZereZovaveAddin : public excel::AppEventSink {
public:
    ZereZovaveAddin();
    ZereZovaveAddin(const ZereZovaveAddin&) = delete;
    ZereZovaveAddin& operator=(const ZereZovaveAddin&) = delete;
    ~ZereZovaveAddin() override;

    // IDTExtensibility2; none of these lets an exception escape.
    void AddinInstance_OnConnection(const std::shared_ptr<excel::Application>& Application, int32_t ConnectMode);
    void AddinInstance_OnDisconnection();
    void AddinInstance_OnStartupComplete();
    void AddinInstance_OnAddInsUpdate() {}
    void AddinInstance_OnBeginShutdown() {}

    // Application events (oEventAppExcel).
    void NewWorkbook(const std::shared_ptr<excel::Workbook>& Wb) override { oEventAppExcel_NewWorkbook(Wb); }
    void WorkbookOpen(const std::shared_ptr<excel::Workbook>& Wb) override { oEventAppExcel_WorkbookOpen(Wb); }
    void WorkbookActivate(const std::shared_ptr<excel::Workbook>& Wb) override { oEventAppExcel_WorkbookActivate(Wb); }
    void WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& Wb, bool& Cancel) override {
        oEventAppExcel_WorkbookBeforeClose(Wb, Cancel);
    }

    void oEventAppExcel_NewWorkbook(const std::shared_ptr<excel::Workbook>& Wb);
    void oEventAppExcel_WorkbookOpen(const std::shared_ptr<excel::Workbook>& Wb);
    void oEventAppExcel_WorkbookActivate(const std::shared_ptr<excel::Workbook>& Wb);
    // Traps nothing: its first failure is thrown to the event source.
    void oEventAppExcel_WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& Wb, bool& Cancel);

    // Read by tests.
    const std::shared_ptr<excel::Application>& oEventAppExcel() const { return oEventAppExcel_; }
    bool HoldsHostReferences() const;

private:
    void CreateCommandBars();
    void ReloadTabStripForm();

    std::shared_ptr<excel::Application> oEventAppExcel_;
    std::unique_ptr<excel::Subscription> appEvents_;
    WorkbookCommands commands_;  // owns oBtnExcel and the workbook cursor
};

}  // namespace tarnwick
