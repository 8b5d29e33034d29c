// The platform port: the Windows functions the add-in calls, one method each
// under its Windows name, plus the services Windows offers through several
// calls (registry, files, resources, processes, message pump, the two forms).
//
// Strings are wide here; the Windows adapter converts them to and from the
// ANSI code page at every "A" call. Methods mirror Windows' results (return
// codes, 0 handles); any of them may also throw HostError, which the core
// treats like any failed host call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/accessibility.h"
#include "interop/forms.h"
#include "interop/platform_types.h"

namespace tarnwick {

// The signatures of Windows' TIMERPROC and HOOKPROC with portable types. The
// adapters trampoline real callbacks into these and catch everything.
using TimerProc = void (*)(WindowHandle hwnd, uint32_t message, std::uintptr_t idEvent, uint32_t time);
using HookProc = std::intptr_t (*)(int32_t code, std::uintptr_t wParam, std::intptr_t lParam);

namespace win {
inline constexpr int32_t GWL_STYLE = -16;
inline constexpr int32_t GWL_EXSTYLE = -20;
inline constexpr int32_t GWL_HWNDPARENT = -8;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
// GetWindow commands (windows.h defines the GW_ names as macros).
namespace get_window {
inline constexpr uint32_t Owner = 4;  // GW_OWNER
}  // namespace get_window
inline constexpr int32_t SW_SHOWNORMAL = 1;
inline constexpr int32_t SW_SHOWMAXIMIZED = 3;
inline constexpr int32_t WH_CBT = 5;
inline constexpr int32_t HCBT_ACTIVATE = 5;
inline constexpr int32_t HCBT_SETFOCUS = 9;
inline constexpr int32_t OBJID_WINDOW = 0;
inline constexpr RegKey HKEY_CURRENT_USER = 0x80000001u;
inline constexpr RegKey HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_MORE_DATA = 234;
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
// FILE_ATTRIBUTE_* (some Windows headers define those names as macros).
namespace file_attribute {
inline constexpr uint32_t ReadOnly = 0x1;
inline constexpr uint32_t Hidden = 0x2;
inline constexpr uint32_t System = 0x4;
inline constexpr uint32_t Directory = 0x10;
inline constexpr uint32_t Normal = 0x80;
}  // namespace file_attribute
}  // namespace win

class Platform {
public:
    virtual ~Platform() = default;

    // --- user32: windows
    virtual int32_t GetWindowLongA(WindowHandle hWnd, int32_t index) = 0;
    virtual int32_t SetWindowLongA(WindowHandle hWnd, int32_t index, int32_t value) = 0;
    virtual bool DrawMenuBar(WindowHandle hWnd) = 0;
    virtual bool GetWindowRect(WindowHandle hWnd, Rect& rect) = 0;
    // className and windowName: nothing stands for NULL.
    virtual WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                       const std::optional<std::wstring>& className,
                                       const std::optional<std::wstring>& windowName) = 0;
    virtual WindowHandle SetParent(WindowHandle child, WindowHandle newParent) = 0;
    virtual WindowHandle GetParent(WindowHandle hWnd) = 0;
    virtual bool ShowWindow(WindowHandle hWnd, int32_t cmdShow) = 0;
    virtual bool IsWindowVisible(WindowHandle hWnd) = 0;
    virtual WindowHandle SetFocus(WindowHandle hWnd) = 0;
    virtual bool LockWindowUpdate(WindowHandle hWnd) = 0;  // 0 releases the lock
    virtual std::wstring GetWindowTextA(WindowHandle hWnd) = 0;  // 255-character buffer, cut at NUL
    virtual std::wstring GetClassNameA(WindowHandle hWnd) = 0;   // 255-character buffer, cut at NUL
    // The title as UTF-16, whatever the ANSI code page; 255 characters at most.
    virtual std::wstring GetWindowTextW(WindowHandle hWnd) = 0;
    // False while a modal dialog or prompt of the window's own disables it.
    virtual bool IsWindowEnabled(WindowHandle hWnd) = 0;
    virtual WindowHandle GetWindow(WindowHandle hWnd, uint32_t cmd) = 0;  // win::get_window::Owner

    // --- user32: timers, hooks, mouse
    virtual std::uintptr_t SetTimer(WindowHandle hWnd, std::uintptr_t idEvent, uint32_t elapse, TimerProc proc) = 0;
    virtual bool KillTimer(WindowHandle hWnd, std::uintptr_t idEvent) = 0;
    virtual HookHandle SetWindowsHookExA(int32_t idHook, HookProc proc, ModuleHandle hmod, uint32_t threadId) = 0;
    virtual bool UnhookWindowsHookEx(HookHandle hook) = 0;
    virtual std::intptr_t CallNextHookEx(HookHandle hook, int32_t code, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual uint32_t GetDoubleClickTime() = 0;

    // --- kernel32
    virtual uint32_t GetTickCount() = 0;
    virtual uint32_t GetCurrentThreadId() = 0;
    virtual std::wstring GetSystemDirectoryA() = 0;   // no trailing backslash; any length
    virtual std::wstring GetWindowsDirectoryA() = 0;  // no trailing backslash; any length
    // The machine's Windows folder; GetWindowsDirectory is per user on a terminal server.
    virtual std::wstring GetSystemWindowsDirectoryW() = 0;

    // --- advapi32 (return codes as Windows gives them)
    virtual int32_t RegOpenKeyA(RegKey root, const std::wstring& subKey, RegKey* result) = 0;
    virtual int32_t RegCreateKeyA(RegKey root, const std::wstring& subKey, RegKey* result) = 0;
    // data may be null to ask for type and size only.
    virtual int32_t RegQueryValueExA(RegKey key, const std::wstring& valueName, uint32_t* type,
                                     uint8_t* data, uint32_t* size) = 0;
    virtual int32_t RegSetValueExA(RegKey key, const std::wstring& valueName, uint32_t type,
                                   const uint8_t* data, uint32_t size) = 0;
    virtual int32_t RegCloseKey(RegKey key) = 0;

    // --- shell32
    virtual std::intptr_t ShellExecuteA(WindowHandle hWnd, const std::optional<std::wstring>& verb,
                                        const std::wstring& file, const std::optional<std::wstring>& parameters,
                                        const std::optional<std::wstring>& directory, int32_t showCmd) = 0;

    // --- code page (the "A" functions' ANSI code page)
    virtual std::string WideToAnsi(const std::wstring& text) = 0;
    virtual std::wstring AnsiToWide(const std::string& text) = 0;

    // --- services
    // CreateProcess of `application` (a full path, never searched) with
    // STARTF_USESHOWWINDOW; waits up to waitMilliseconds for it to end while
    // processing this thread's window messages. Returns false when the
    // process could not be started.
    virtual bool StartProcess(const std::wstring& application, const std::wstring& commandLine,
                              int32_t showWindow, uint32_t waitMilliseconds) = 0;
    // True when an ordinary file (not hidden, system or a directory) has this path.
    virtual bool FindOrdinaryFile(const std::wstring& path) = 0;
    // The attributes of a file or directory (win::file_attribute); nothing when absent.
    virtual std::optional<uint32_t> FileAttributes(const std::wstring& path) = 0;
    virtual bool ChangeFileAttributes(const std::wstring& path, uint32_t attributes) = 0;
    // Creates or replaces the file. Like CreateFile with CREATE_ALWAYS, it
    // fails on a file that is read-only, hidden or system.
    virtual void WriteBinaryFile(const std::wstring& path, const std::vector<uint8_t>& bytes) = 0;
    virtual std::vector<uint8_t> ReadBinaryFile(const std::wstring& path) = 0;
    // True when the directory exists afterwards.
    virtual bool CreateFolder(const std::wstring& path) = 0;
    // True when the file is gone afterwards.
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Removes an empty directory; true when it is gone afterwards.
    virtual bool RemoveFolder(const std::wstring& path) = 0;
    // The current user's local (non-roaming) application data folder, where
    // per-user classes also live; without a trailing backslash.
    virtual std::wstring UserAppDataDirectory() = 0;
    // The bytes of resource (type, id) of this module; throws when absent.
    virtual std::vector<uint8_t> LoadModuleResource(const std::wstring& type, int32_t id) = 0;
    // One pass of PeekMessage/TranslateMessage/DispatchMessage until the queue is empty.
    virtual void DoEvents() = 0;
    virtual int32_t TwipsPerPixelX() = 0;  // 1440 / horizontal DPI
    virtual int32_t TwipsPerPixelY() = 0;

    // --- oleacc
    // Nothing when the window offers no accessible object.
    virtual std::shared_ptr<acc::Accessible> AccessibleObjectFromWindow(WindowHandle hWnd, int32_t objectId) = 0;
    virtual acc::AccessibleChildrenResult AccessibleChildren(acc::Accessible& parent, int32_t childStart,
                                                             int32_t children) = 0;

    // --- forms: the windows of Form_Tab and frmAbout (created hidden)
    // controlModule empty: the tab control is created through its COM
    // registration; otherwise straight from that module file, unregistered.
    virtual std::unique_ptr<TabFormWindow> CreateTabFormWindow(TabFormEvents& events,
                                                               const std::wstring& controlModule) = 0;
    virtual std::unique_ptr<AboutFormWindow> CreateAboutFormWindow(AboutFormEvents& events) = 0;
};

}  // namespace tarnwick
