// ZereZovaveAddin: connection to Excel and disconnection from it.
//
// Only Excel 2002 and 2003 are served (version 10 to 11 inclusive); on any
// other version, or when the version cannot be read, the add-in connects and
// stays inert. Nothing escapes these methods: Excel is always told success.
#include "addin/zere_zovave_addin.h"

#include <memory>

#include "commands/command_bars.h"
#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "support/settings.h"
#include "tabstrip/form_tab.h"
#include "tracking/dialog_hook.h"
#include "tracking/excel_windows.h"
#include "tracking/sync_timer.h"
#include "tracking/unsaved_marks.h"

namespace tarnwick {

namespace {

constexpr double kOldestServedVersion = 10;  // Excel 2002
constexpr double kNewestServedVersion = 11;  // Excel 2003

}  // namespace

ZereZovaveAddin::ZereZovaveAddin() = default;

ZereZovaveAddin::~ZereZovaveAddin() = default;

void ZereZovaveAddin::AddinInstance_OnConnection(const std::shared_ptr<excel::Application>& Application,
                                                 int32_t ConnectMode) {
    try {
        AddinState& s = State();

        // A version that cannot be read or is no number counts as unserved.
        if (holds([&] { return ExcelVersionValue(Required(Application).Version()) > kNewestServedVersion; })) return;
        if (holds([&] { return ExcelVersionValue(Required(Application).Version()) < kOldestServedVersion; })) return;

        oEventAppExcel_ = Application;
        step([&] { appEvents_ = Required(oEventAppExcel_).SubscribeEvents(*this); });
        commands_.SetApplication(Application);
        s.ExcelApp = Application;
        s.TabStripForm = std::make_shared<Form_Tab>();
        s.TabStripForm->SetExcelApp(Application);
        step([&] { CreateCommandBars(); });
        step([&] { InstallDialogHook(); });
        assign(s.ThemeSetting, [&] { return GetSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue); });
        s.ThemeSetting = NormaliseTheme(s.ThemeSetting);
        s.CloseButtonsSetting = true;
        s.UnsavedMarksSetting = true;
        assign(s.CloseButtonsSetting,
               [&] { return GetSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kCloseButtonsValue); });
        assign(s.UnsavedMarksSetting,
               [&] { return GetSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kUnsavedMarksValue); });

        // Excel started hidden (automation): the timer brings the strip up
        // once Excel shows itself.
        if (holds([&] { return !Required(Application).Visible(); })) {
            step([&] { StartSyncTimerIfStopped(); });
            return;
        }

        // No workbook on screen: the first new or opened one brings the strip up.
        if (CountVisibleWorkbooks() < 1) return;

        step([&] { Plat().LockWindowUpdate(Required(oEventAppExcel_).Hwnd()); });
        step([&] { ReloadTabStripForm(); });
        // While Excel starts the lock stays until start-up is complete.
        if (ConnectMode != ext_cm_Startup) step([&] { Plat().LockWindowUpdate(0); });
    } catch (...) {
    }
}

void ZereZovaveAddin::AddinInstance_OnStartupComplete() {
    try {
        step([&] { Plat().LockWindowUpdate(0); });
    } catch (...) {
    }
}

void ZereZovaveAddin::AddinInstance_OnDisconnection() {
    try {
        AddinState& s = State();

        step([&] { RemoveDialogHook(); });
        step([&] { Required(Required(Required(oEventAppExcel_).CommandBars()).Item(kHostBarName)).Delete(); });
        step([&] { Required(s.TabStripForm).Unload(); });
        // A timer started while Excel was hidden has no form to stop it.
        step([&] { StopSyncTimer(); });

        s.TabBarPopup.reset();
        s.TabBarIIPopup.reset();
        s.TabStripForm.reset();
        s.ExcelApp.reset();
        ForgetUnsavedMarks();

        // oBtnExcel, the application and the workbook cursor of the commands,
        // then this object's own subscription and application.
        commands_.Release();
        appEvents_.reset();
        oEventAppExcel_.reset();
    } catch (...) {
    }
}

bool ZereZovaveAddin::HoldsHostReferences() const {
    return oEventAppExcel_ != nullptr || appEvents_ != nullptr || commands_.HoldsHostReferences() ||
           !State().UnsavedMarksSeen.empty();
}

void ZereZovaveAddin::CreateCommandBars() {
    tarnwick::CreateCommandBars(commands_);
}

void ZereZovaveAddin::ReloadTabStripForm() {
    step([&] { Required(State().TabStripForm).Unload(); });
    step([&] { Required(State().TabStripForm).Show(); });
}

}  // namespace tarnwick
