// The CBT hook on Excel's user-interface thread: it keeps the focus record
// that tells whether Excel is editing text, and answers Excel's window-list
// dialog while a Window-menu switch is pending.
//
// The hook runs inside the window manager's activation and focus calls, so
// nothing may escape it, and the next hook is always called with the
// arguments as received, whatever failed before.
#include "tracking/dialog_hook.h"

#include <memory>
#include <string>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tracking/accessible_search.h"
#include "tracking/idle_watch.h"

namespace tarnwick {

namespace {

// Excel titles its window-list dialog one of these, by version.
constexpr const wchar_t* kActivateDialogTitle = L"激活";
constexpr const wchar_t* kActiveDocumentDialogTitle = L"活动文档";

// The window list by its Chinese title, or in any language as the dialog
// of Excel's main window that the "more windows" entry we execute opens.
// The title is read as UTF-16: through the ANSI code page a Chinese title
// survives only on a Chinese Windows.
bool IsWindowListDialog(WindowHandle window) {
    AddinState& s = State();
    s.ActivatedTitle = Plat().GetWindowTextW(window);
    if (s.ActivatedTitle == kActiveDocumentDialogTitle || s.ActivatedTitle == kActivateDialogTitle) return true;
    return s.MoreWindowsRunning && Plat().GetWindow(window, win::get_window::Owner) == Required(s.ExcelApp).Hwnd();
}

// No error policy: the first failure ends the notification.
void OnActivate(WindowHandle window) {
    AddinState& s = State();
    NoteActivity();
    if (IsWindowListDialog(window) && s.WindowMenuSwitchPending) {
        ChooseDialogItem(s.DialogItemPattern, s.DialogItemOccurrence, window, s.DialogItemBasePattern);
        Plat().SetFocus(Required(s.ExcelApp).Hwnd());
    }
}

void OnSetFocus(WindowHandle window) {
    AddinState& s = State();
    NoteActivity();
    Platform& plat = Plat();
    s.FocusClassName = plat.GetClassNameA(window);
    if (s.FocusClassName == kEditClassEditBox) {
        // Another edit box of the same dialog or bar: the switch has moved on.
        const WindowHandle parent = plat.GetParent(window);
        if (parent == s.LastEditBoxParent && window != s.LastEditBoxWindow) s.EditBoxSwitched = true;
        s.LastEditBoxWindow = window;
        s.LastEditBoxParent = parent;
    }
}

}  // namespace

void InstallDialogHook() {
    AddinState& s = State();
    if (s.DialogHookHandle != 0) return;
    s.HookThreadId = Plat().GetCurrentThreadId();
    // Registered with Excel's own instance, local to Excel's thread.
    s.DialogHookHandle =
        Plat().SetWindowsHookExA(win::WH_CBT, DialogHookProc, Required(s.ExcelApp).Hinstance(), s.HookThreadId);
}

void RemoveDialogHook() {
    AddinState& s = State();
    if (s.DialogHookHandle == 0) return;
    Plat().UnhookWindowsHookEx(s.DialogHookHandle);
    s.DialogHookHandle = 0;
    // Nothing records the focus any more: a record kept to the next
    // connection would say Excel edits long after the edit ended.
    s.FocusClassName.clear();
    s.LastEditBoxWindow = 0;
    s.LastEditBoxParent = 0;
    s.EditBoxSwitched = false;
}

std::intptr_t DialogHookProc(int32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
    try {
        if (code == win::HCBT_ACTIVATE) {
            OnActivate(static_cast<WindowHandle>(wParam));
        } else if (code == win::HCBT_SETFOCUS) {
            OnSetFocus(static_cast<WindowHandle>(wParam));
        }
    } catch (...) {
    }
    try {
        return Plat().CallNextHookEx(State().DialogHookHandle, code, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

}  // namespace tarnwick
