// frmAbout: who made the add-in, the choice between the two looks of the
// strip, and the switches for its close buttons and unsaved marks. Its handlers trap nothing; the window adapter
// catches at its edge.
#include "support/about_dialog.h"

#include <string>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "support/settings.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_windows.h"

namespace tarnwick {

const wchar_t* const kAboutWebAddress = L"http://tarnwick.example.com/";

namespace {

// Releases the window-update lock on every way out of the reload, so that a
// failure there cannot leave Excel's window frozen.
class UpdateLock {
public:
    explicit UpdateLock(WindowHandle hwnd) { Plat().LockWindowUpdate(hwnd); }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;
    ~UpdateLock() {
        if (!released_) {
            try {
                Plat().LockWindowUpdate(0);
            } catch (...) {
            }
        }
    }
    void Release() {
        released_ = true;
        Plat().LockWindowUpdate(0);
    }

private:
    bool released_ = false;
};

}  // namespace

void frmAbout::ShowModal() {
    // The window goes with the dialog on every way out, a failed load included.
    struct WindowReset {
        std::unique_ptr<AboutFormWindow>& window;
        ~WindowReset() { window.reset(); }
    } reset{window_};
    unloaded_ = false;
    window_ = Plat().CreateAboutFormWindow(*this);
    Form_Load();
    window_->ShowModal();
}

void frmAbout::Unload() {
    // Called from the dialog's own handlers, inside its modal loop: the window
    // object is destroyed only once ShowModal has returned.
    if (!window_ || unloaded_) return;
    bool Cancel = false;
    Form_Unload(Cancel);
    // Marked only once the window is gone, so that a failed destroy can be retried.
    window_->Destroy();
    unloaded_ = true;
}

void frmAbout::Form_Load() {
    if (OwnerWindow != 0) {
        PreviousOwner = static_cast<WindowHandle>(static_cast<uint32_t>(
            Plat().SetWindowLongA(Required(window_).hWnd(), win::GWL_HWNDPARENT, static_cast<int32_t>(OwnerWindow))));
    }
    const bool excel2002 = ExcelVersionValue(Required(GanttApp_).Version()) == 10.0;

    // While Excel edits a cell, reloading the strip would fight the edit; Excel
    // 2002 has only the one look.
    if (IsEditWindowClass(State().FocusClassName) || excel2002) {
        Required(window_).Enabled(AboutControl::Option1, false);
        Required(window_).Enabled(AboutControl::Option2, false);
        Required(window_).Enabled(AboutControl::cmdOK, false);
        // Nothing can be confirmed: the switches show what the strip does.
        ShowSwitches();
        Required(window_).Enabled(AboutControl::chkCloseButtons, false);
        Required(window_).Enabled(AboutControl::chkUnsavedMarks, false);
        return;
    }
    State().CloseButtonsSetting = GetSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kCloseButtonsValue);
    State().UnsavedMarksSetting = GetSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kUnsavedMarksValue);
    ShowSwitches();
    State().ThemeSetting = NormaliseTheme(GetSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue));
    if (State().ThemeSetting == L"1") {
        Required(window_).OptionValue(AboutOption::Option1, true);
    } else {
        Required(window_).OptionValue(AboutOption::Option2, true);
    }
}

void frmAbout::ShowSwitches() {
    Required(window_).CheckValue(AboutCheck::chkCloseButtons, State().CloseButtonsSetting);
    Required(window_).CheckValue(AboutCheck::chkUnsavedMarks, State().UnsavedMarksSetting);
}

void frmAbout::Form_Unload(bool& /*Cancel*/) {
    if (PreviousOwner != 0) {
        Plat().SetWindowLongA(Required(window_).hWnd(), win::GWL_HWNDPARENT,
                              static_cast<int32_t>(static_cast<uint32_t>(PreviousOwner)));
    }
    GanttApp_.reset();
}

void frmAbout::cmdOK_Click() {
    if (Required(window_).OptionValue(AboutOption::Option2)) {
        SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, L"0");
        State().ThemeSetting = L"0";
    } else {
        SaveSetting(win::HKEY_CURRENT_USER, kSettingsKey, kThemeValue, L"1");
        State().ThemeSetting = L"1";
    }
    const bool closeButtons = Required(window_).CheckValue(AboutCheck::chkCloseButtons);
    const bool unsavedMarks = Required(window_).CheckValue(AboutCheck::chkUnsavedMarks);
    SaveSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kCloseButtonsValue, closeButtons);
    State().CloseButtonsSetting = closeButtons;
    SaveSwitchSetting(win::HKEY_CURRENT_USER, kSettingsKey, kUnsavedMarksValue, unsavedMarks);
    State().UnsavedMarksSetting = unsavedMarks;
    Unload();

    // Reload the strip under the lock so that it is redrawn once, in the new look.
    UpdateLock lock(Required(State().ExcelApp).Hwnd());
    Required(State().TabStripForm).Unload();
    Required(State().TabStripForm).Show();
    lock.Release();
}

void frmAbout::Labelblog_Click() {
    Plat().ShellExecuteA(0, L"open", kAboutWebAddress, std::nullopt, std::nullopt, win::SW_SHOWNORMAL);
}

}  // namespace tarnwick
