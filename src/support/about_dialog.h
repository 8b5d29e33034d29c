// frmAbout: the about and style dialog.
#pragma once

#include <memory>

#include "interop/excel.h"
#include "interop/forms.h"
#include "interop/platform_types.h"

namespace tarnwick {

class frmAbout : public AboutFormEvents {
public:
    void GanttApp(const std::shared_ptr<excel::Application>& oGanttApp) { GanttApp_ = oGanttApp; }
    void SetOwnerWindow(WindowHandle owner) { OwnerWindow = owner; }

    // Loads the window (running Form_Load) and runs its modal loop; the load
    // handler's first failure passes to the caller.
    void ShowModal();
    void Unload();
    bool IsLoaded() const { return window_ != nullptr && !unloaded_; }

    void Form_Load();
    void Form_Unload(bool& Cancel);
    void cmdOK_Click() override;
    void Labelblog_Click() override;
    void Form_CloseRequested() override { Unload(); }

    WindowHandle OwnerWindow = 0;
    WindowHandle PreviousOwner = 0;

private:
    void ShowSwitches();

    std::shared_ptr<excel::Application> GanttApp_;
    std::unique_ptr<AboutFormWindow> window_;
    bool unloaded_ = false;  // Unload ran; window_ goes when ShowModal returns
};

// The link behind Labelblog.
extern const wchar_t* const kAboutWebAddress;

}  // namespace tarnwick
