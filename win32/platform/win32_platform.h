// The platform port over user32, kernel32, advapi32, shell32 and oleacc.
//
// One instance per thread (the COM server creates it on first use). Timer
// and hook callbacks reach the core through static trampolines that find
// this thread's instance; they catch everything, because a C++ exception
// cannot unwind through user32's frames on i686.
//
// Known limitation: one core hook procedure per hook type and thread; a
// second SetWindowsHookExA of the same type fails (returns 0) until the
// first is removed. The add-in installs one CBT hook.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <utility>

#include "support/ports.h"

namespace tarnwick::win32 {

class Win32Platform final : public tarnwick::Platform {
public:
    // module: the add-in DLL; its resources are loaded from it, and it is the
    // hook module when the caller passes none.
    explicit Win32Platform(HINSTANCE module);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    HINSTANCE module() const { return module_; }

    int32_t GetWindowLongA(WindowHandle hWnd, int32_t index) override;
    int32_t SetWindowLongA(WindowHandle hWnd, int32_t index, int32_t value) override;
    bool DrawMenuBar(WindowHandle hWnd) override;
    bool GetWindowRect(WindowHandle hWnd, Rect& rect) override;
    WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                               const std::optional<std::wstring>& className,
                               const std::optional<std::wstring>& windowName) override;
    WindowHandle SetParent(WindowHandle child, WindowHandle newParent) override;
    WindowHandle GetParent(WindowHandle hWnd) override;
    bool ShowWindow(WindowHandle hWnd, int32_t cmdShow) override;
    bool IsWindowVisible(WindowHandle hWnd) override;
    std::wstring GetWindowTextW(WindowHandle hWnd) override;
    bool IsWindowEnabled(WindowHandle hWnd) override;
    WindowHandle GetWindow(WindowHandle hWnd, uint32_t cmd) override;
    std::wstring GetSystemWindowsDirectoryW() override;
    WindowHandle SetFocus(WindowHandle hWnd) override;
    bool LockWindowUpdate(WindowHandle hWnd) override;
    std::wstring GetWindowTextA(WindowHandle hWnd) override;
    std::wstring GetClassNameA(WindowHandle hWnd) override;

    std::uintptr_t SetTimer(WindowHandle hWnd, std::uintptr_t idEvent, uint32_t elapse, TimerProc proc) override;
    bool KillTimer(WindowHandle hWnd, std::uintptr_t idEvent) override;
    HookHandle SetWindowsHookExA(int32_t idHook, HookProc proc, ModuleHandle hmod, uint32_t threadId) override;
    bool UnhookWindowsHookEx(HookHandle hook) override;
    std::intptr_t CallNextHookEx(HookHandle hook, int32_t code, std::uintptr_t wParam, std::intptr_t lParam) override;
    uint32_t GetDoubleClickTime() override;

    uint32_t GetTickCount() override;
    uint32_t GetCurrentThreadId() override;
    std::wstring GetSystemDirectoryA() override;
    std::wstring GetWindowsDirectoryA() override;

    int32_t RegOpenKeyA(RegKey root, const std::wstring& subKey, RegKey* result) override;
    int32_t RegCreateKeyA(RegKey root, const std::wstring& subKey, RegKey* result) override;
    int32_t RegQueryValueExA(RegKey key, const std::wstring& valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size) override;
    int32_t RegSetValueExA(RegKey key, const std::wstring& valueName, uint32_t type, const uint8_t* data,
                           uint32_t size) override;
    int32_t RegCloseKey(RegKey key) override;

    std::intptr_t ShellExecuteA(WindowHandle hWnd, const std::optional<std::wstring>& verb, const std::wstring& file,
                                const std::optional<std::wstring>& parameters,
                                const std::optional<std::wstring>& directory, int32_t showCmd) override;

    std::string WideToAnsi(const std::wstring& text) override;
    std::wstring AnsiToWide(const std::string& text) override;

    bool StartProcess(const std::wstring& application, const std::wstring& commandLine, int32_t showWindow,
                      uint32_t waitMilliseconds) override;
    bool FindOrdinaryFile(const std::wstring& path) override;
    std::optional<uint32_t> FileAttributes(const std::wstring& path) override;
    bool ChangeFileAttributes(const std::wstring& path, uint32_t attributes) override;
    void WriteBinaryFile(const std::wstring& path, const std::vector<uint8_t>& bytes) override;
    std::vector<uint8_t> ReadBinaryFile(const std::wstring& path) override;
    bool CreateFolder(const std::wstring& path) override;
    bool RemoveFile(const std::wstring& path) override;
    bool RemoveFolder(const std::wstring& path) override;
    std::wstring UserAppDataDirectory() override;
    std::vector<uint8_t> LoadModuleResource(const std::wstring& type, int32_t id) override;
    void DoEvents() override;
    int32_t TwipsPerPixelX() override;
    int32_t TwipsPerPixelY() override;

    std::shared_ptr<acc::Accessible> AccessibleObjectFromWindow(WindowHandle hWnd, int32_t objectId) override;
    acc::AccessibleChildrenResult AccessibleChildren(acc::Accessible& parent, int32_t childStart,
                                                     int32_t children) override;

    std::unique_ptr<TabFormWindow> CreateTabFormWindow(TabFormEvents& events,
                                                       const std::wstring& controlModule) override;
    std::unique_ptr<AboutFormWindow> CreateAboutFormWindow(AboutFormEvents& events) override;

    // Hook types WH_MIN (-1) to WH_MAX (14): one trampoline each.
    static constexpr int kHookTypes = 16;

private:
    static void CALLBACK TimerTrampoline(HWND hwnd, UINT message, UINT_PTR idEvent, DWORD time);
    template <int Slot>
    static LRESULT CALLBACK HookTrampoline(int code, WPARAM wParam, LPARAM lParam);
    template <std::size_t... Slots>
    static constexpr std::array<HOOKPROC, kHookTypes> HookTrampolines(std::index_sequence<Slots...>);

    struct HookSlot {
        HookProc proc = nullptr;
        HHOOK hook = nullptr;
    };

    HINSTANCE module_;
    DWORD threadId_;
    // Keyed by (window, id): a thread timer (no window) by the id SetTimer returned.
    std::map<std::pair<HWND, UINT_PTR>, TimerProc> timers_;
    std::array<HookSlot, kHookTypes> hooks_{};
};

// The calling thread's platform, or null: what the trampolines dispatch to.
Win32Platform* CurrentThreadPlatform();

}  // namespace tarnwick::win32
