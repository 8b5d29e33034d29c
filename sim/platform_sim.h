// The world's Platform: every method is counted as "Platform.<Name>" and
// acts on the world's windows, clock, hooks, registry and files.
#pragma once

#include <string>

#include "interop/platform.h"

namespace tarnwick::sim {

class World;

// The sim's ANSI code page is UTF-8.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

class PlatformSim : public Platform {
public:
    explicit PlatformSim(World& world) : w_(world) {}

    std::string WideToAnsiUncounted(const std::wstring& text) const { return Utf8FromWide(text); }

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

private:
    World& w_;
};

}  // namespace tarnwick::sim
