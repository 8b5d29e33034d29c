#include "platform/win32_platform.h"

#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "forms/about_form_window.h"
#include "forms/tab_form_window.h"
#include "platform/accessible_adapter.h"
#include "support/com.h"
#include "support/handles.h"

namespace tarnwick::win32 {
namespace {

// The calling thread's platform, in a Win32 TLS slot: the compiler's
// thread_local goes through emulated TLS with thread-exit callbacks, which
// must not outlive the DLL inside Excel's long-lived thread.
DWORD TlsSlot() {
    static const DWORD slot = ::TlsAlloc();
    return slot;
}
Win32Platform* ThreadPlatform() {
    return TlsSlot() == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Win32Platform*>(::TlsGetValue(TlsSlot()));
}
void SetThreadPlatform(Win32Platform* platform) {
    if (TlsSlot() != TLS_OUT_OF_INDEXES) ::TlsSetValue(TlsSlot(), platform);
}

HWND H(WindowHandle h) { return reinterpret_cast<HWND>(h); }
WindowHandle W(HWND h) { return reinterpret_cast<WindowHandle>(h); }
HKEY K(RegKey k) { return reinterpret_cast<HKEY>(k); }

// Text of an optional "A" argument; nothing is a NULL pointer.
struct OptionalAnsi {
    explicit OptionalAnsi(const std::optional<std::wstring>& text) : present(text.has_value()) {
        if (present) value = WideToAnsi(*text);
    }
    const char* c_str() const { return present ? value.c_str() : nullptr; }
    bool present;
    std::string value;
};

std::wstring CutAtNul(const char* buffer, int length) {
    std::string text(buffer, static_cast<size_t>(std::max(length, 0)));
    text = text.substr(0, text.find('\0'));
    return AnsiToWide(text);
}

// The directory functions take the buffer size and answer the size needed
// when it is too small, so two calls cover any length.
template <class F>
std::wstring DirectoryA(F read) {
    UINT needed = read(nullptr, 0);
    if (needed == 0) ThrowLastError();
    std::string buffer(needed, '\0');
    UINT length = read(buffer.data(), needed);
    if (length == 0 || length >= needed) ThrowLastError();
    buffer.resize(length);
    // "C:\" is the only form with a trailing backslash.
    if (!buffer.empty() && buffer.back() == '\\') buffer.pop_back();
    return AnsiToWide(buffer);
}

// Dispatches what is queued; false when it met WM_QUIT, which is not ours to
// consume: it is posted again for the host's own loop.
bool PumpPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

bool IsFullPath(const std::wstring& path) {
    if (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return true;
    return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';  // UNC
}

int32_t DpiOfScreen(int index) {
    WindowDC screen(nullptr);
    int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), index) : 0;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

Win32Platform* CurrentThreadPlatform() { return ThreadPlatform(); }

Win32Platform::Win32Platform(HINSTANCE module) : module_(module), threadId_(::GetCurrentThreadId()) {
    SetThreadPlatform(this);
}

Win32Platform::~Win32Platform() {
    for (auto& [key, proc] : timers_) ::KillTimer(key.first, key.second);
    for (auto& slot : hooks_)
        if (slot.hook) ::UnhookWindowsHookEx(slot.hook);
    if (ThreadPlatform() == this) SetThreadPlatform(nullptr);
}

// --- user32: windows

int32_t Win32Platform::GetWindowLongA(WindowHandle hWnd, int32_t index) {
    return static_cast<int32_t>(::GetWindowLongA(H(hWnd), index));
}

int32_t Win32Platform::SetWindowLongA(WindowHandle hWnd, int32_t index, int32_t value) {
    return static_cast<int32_t>(::SetWindowLongA(H(hWnd), index, value));
}

bool Win32Platform::DrawMenuBar(WindowHandle hWnd) { return ::DrawMenuBar(H(hWnd)) != FALSE; }

bool Win32Platform::GetWindowRect(WindowHandle hWnd, Rect& rect) {
    RECT r{};
    if (!::GetWindowRect(H(hWnd), &r)) return false;
    rect = Rect{r.left, r.top, r.right, r.bottom};
    return true;
}

WindowHandle Win32Platform::FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                          const std::optional<std::wstring>& className,
                                          const std::optional<std::wstring>& windowName) {
    OptionalAnsi cls(className), name(windowName);
    return W(::FindWindowExA(H(parent), H(childAfter), cls.c_str(), name.c_str()));
}

WindowHandle Win32Platform::SetParent(WindowHandle child, WindowHandle newParent) {
    return W(::SetParent(H(child), H(newParent)));
}

WindowHandle Win32Platform::GetParent(WindowHandle hWnd) { return W(::GetParent(H(hWnd))); }

bool Win32Platform::ShowWindow(WindowHandle hWnd, int32_t cmdShow) { return ::ShowWindow(H(hWnd), cmdShow) != FALSE; }

bool Win32Platform::IsWindowVisible(WindowHandle hWnd) { return ::IsWindowVisible(H(hWnd)) != FALSE; }

WindowHandle Win32Platform::SetFocus(WindowHandle hWnd) { return W(::SetFocus(H(hWnd))); }

std::wstring Win32Platform::GetWindowTextW(WindowHandle hWnd) {
    wchar_t buffer[256] = {};
    const int length = ::GetWindowTextW(H(hWnd), buffer, 256);
    return std::wstring(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

bool Win32Platform::IsWindowEnabled(WindowHandle hWnd) { return ::IsWindowEnabled(H(hWnd)) != FALSE; }

WindowHandle Win32Platform::GetWindow(WindowHandle hWnd, uint32_t cmd) { return W(::GetWindow(H(hWnd), cmd)); }

bool Win32Platform::LockWindowUpdate(WindowHandle hWnd) { return ::LockWindowUpdate(H(hWnd)) != FALSE; }

std::wstring Win32Platform::GetWindowTextA(WindowHandle hWnd) {
    char buffer[256] = {};
    int length = ::GetWindowTextA(H(hWnd), buffer, 255);
    return CutAtNul(buffer, length);
}

std::wstring Win32Platform::GetClassNameA(WindowHandle hWnd) {
    char buffer[256] = {};
    int length = ::GetClassNameA(H(hWnd), buffer, 255);
    return CutAtNul(buffer, length);
}

// --- user32: timers, hooks, mouse

void CALLBACK Win32Platform::TimerTrampoline(HWND hwnd, UINT message, UINT_PTR idEvent, DWORD time) {
    try {
        Win32Platform* self = ThreadPlatform();
        if (!self) return;
        auto it = self->timers_.find({hwnd, idEvent});
        if (it == self->timers_.end()) return;
        TimerProc proc = it->second;  // the procedure may kill its own timer
        proc(W(hwnd), message, idEvent, time);
    } catch (...) {
        // Nothing may unwind into the message loop.
    }
}

std::uintptr_t Win32Platform::SetTimer(WindowHandle hWnd, std::uintptr_t idEvent, uint32_t elapse, TimerProc proc) {
    if (!proc) return ::SetTimer(H(hWnd), idEvent, elapse, nullptr);
    UINT_PTR id = ::SetTimer(H(hWnd), idEvent, elapse, &TimerTrampoline);
    if (id != 0) timers_[{H(hWnd), hWnd ? idEvent : id}] = proc;
    return id;
}

bool Win32Platform::KillTimer(WindowHandle hWnd, std::uintptr_t idEvent) {
    timers_.erase({H(hWnd), idEvent});
    return ::KillTimer(H(hWnd), idEvent) != FALSE;
}

template <int Slot>
LRESULT CALLBACK Win32Platform::HookTrampoline(int code, WPARAM wParam, LPARAM lParam) {
    Win32Platform* self = ThreadPlatform();
    HHOOK hook = self ? self->hooks_[Slot].hook : nullptr;
    try {
        if (self && self->hooks_[Slot].proc) return self->hooks_[Slot].proc(code, wParam, lParam);
    } catch (...) {
        // The core failed half-way; the chain must still go on.
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

template <std::size_t... Slots>
constexpr std::array<HOOKPROC, Win32Platform::kHookTypes> Win32Platform::HookTrampolines(
    std::index_sequence<Slots...>) {
    return {&HookTrampoline<static_cast<int>(Slots)>...};
}

HookHandle Win32Platform::SetWindowsHookExA(int32_t idHook, HookProc proc, ModuleHandle hmod, uint32_t threadId) {
    static constexpr auto trampolines = HookTrampolines(std::make_index_sequence<kHookTypes>());
    int slot = idHook - WH_MIN;
    if (!proc || slot < 0 || slot >= kHookTypes) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (hooks_[slot].hook) {
        ::SetLastError(ERROR_HOOK_TYPE_NOT_ALLOWED);
        return 0;
    }
    // The procedure must be in place before the hook can fire.
    hooks_[slot].proc = proc;
    HINSTANCE module = hmod ? reinterpret_cast<HINSTANCE>(hmod) : module_;
    HHOOK hook = ::SetWindowsHookExA(idHook, trampolines[slot], module, threadId);
    hooks_[slot].hook = hook;
    if (!hook) hooks_[slot].proc = nullptr;
    return reinterpret_cast<HookHandle>(hook);
}

bool Win32Platform::UnhookWindowsHookEx(HookHandle hook) {
    for (auto& slot : hooks_) {
        if (slot.hook && reinterpret_cast<HookHandle>(slot.hook) == hook) slot = HookSlot{};
    }
    return ::UnhookWindowsHookEx(reinterpret_cast<HHOOK>(hook)) != FALSE;
}

std::intptr_t Win32Platform::CallNextHookEx(HookHandle hook, int32_t code, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    return ::CallNextHookEx(reinterpret_cast<HHOOK>(hook), code, wParam, lParam);
}

uint32_t Win32Platform::GetDoubleClickTime() { return ::GetDoubleClickTime(); }

// --- kernel32

uint32_t Win32Platform::GetTickCount() { return ::GetTickCount(); }

uint32_t Win32Platform::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

std::wstring Win32Platform::GetSystemDirectoryA() {
    return DirectoryA([](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
}

std::wstring Win32Platform::GetWindowsDirectoryA() {
    return DirectoryA([](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
}

std::wstring Win32Platform::GetSystemWindowsDirectoryW() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) ThrowLastError();
    std::wstring dir(buffer, length);
    if (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    return dir;
}

// --- advapi32: return codes pass through untouched

int32_t Win32Platform::RegOpenKeyA(RegKey root, const std::wstring& subKey, RegKey* result) {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyA(K(root), WideToAnsi(subKey).c_str(), &key);
    if (result) *result = reinterpret_cast<RegKey>(rc == ERROR_SUCCESS ? key : nullptr);
    return rc;
}

int32_t Win32Platform::RegCreateKeyA(RegKey root, const std::wstring& subKey, RegKey* result) {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyA(K(root), WideToAnsi(subKey).c_str(), &key);
    if (result) *result = reinterpret_cast<RegKey>(rc == ERROR_SUCCESS ? key : nullptr);
    return rc;
}

int32_t Win32Platform::RegQueryValueExA(RegKey key, const std::wstring& valueName, uint32_t* type, uint8_t* data,
                                        uint32_t* size) {
    DWORD t = 0;
    DWORD s = size ? *size : 0;
    LONG rc = ::RegQueryValueExA(K(key), WideToAnsi(valueName).c_str(), nullptr, &t, data, size ? &s : nullptr);
    if (type) *type = t;
    if (size) *size = s;
    return rc;
}

int32_t Win32Platform::RegSetValueExA(RegKey key, const std::wstring& valueName, uint32_t type, const uint8_t* data,
                                      uint32_t size) {
    return ::RegSetValueExA(K(key), WideToAnsi(valueName).c_str(), 0, type, data, size);
}

int32_t Win32Platform::RegCloseKey(RegKey key) { return ::RegCloseKey(K(key)); }

// --- shell32

std::intptr_t Win32Platform::ShellExecuteA(WindowHandle hWnd, const std::optional<std::wstring>& verb,
                                           const std::wstring& file, const std::optional<std::wstring>& parameters,
                                           const std::optional<std::wstring>& directory, int32_t showCmd) {
    OptionalAnsi v(verb), p(parameters), d(directory);
    return reinterpret_cast<std::intptr_t>(
        ::ShellExecuteA(H(hWnd), v.c_str(), WideToAnsi(file).c_str(), p.c_str(), d.c_str(), showCmd));
}

std::string Win32Platform::WideToAnsi(const std::wstring& text) { return win32::WideToAnsi(text); }

std::wstring Win32Platform::AnsiToWide(const std::string& text) { return win32::AnsiToWide(text); }

// --- services

bool Win32Platform::StartProcess(const std::wstring& application, const std::wstring& commandLine,
                                 int32_t showWindow, uint32_t waitMilliseconds) {
    // A bare program name would let CreateProcess look in the current and
    // the workbook's folders first; only a full path is ever started.
    if (!IsFullPath(application)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    PROCESS_INFORMATION info{};
    std::wstring mutableCommandLine = commandLine;  // CreateProcessW may write into it
    if (!::CreateProcessW(application.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info))
        return false;
    KernelHandle process(info.hProcess), thread(info.hThread);
    // Excel's thread must keep answering its messages while it waits.
    const DWORD started = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - started;  // wraps correctly in 32 bits
        if (elapsed >= waitMilliseconds) break;
        HANDLE handles[] = {process.get()};
        DWORD woke = ::MsgWaitForMultipleObjects(1, handles, FALSE, waitMilliseconds - elapsed, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;  // ended, timed out or failed
        // The thread is quitting: waiting on would only spin until the bound.
        if (!PumpPendingMessages()) break;
    }
    return true;
}

bool Win32Platform::FindOrdinaryFile(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

std::optional<uint32_t> Win32Platform::FileAttributes(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

bool Win32Platform::ChangeFileAttributes(const std::wstring& path, uint32_t attributes) {
    return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

std::vector<uint8_t> Win32Platform::ReadBinaryFile(const std::wstring& path) {
    KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) ThrowLastError();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) ThrowLastError();
    if (size.QuadPart > (64 << 20)) throw HostError(ERROR_FILE_TOO_LARGE);
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t read = 0;
    while (read < bytes.size()) {
        DWORD done = 0;
        if (!::ReadFile(file.get(), bytes.data() + read, static_cast<DWORD>(bytes.size() - read), &done, nullptr))
            ThrowLastError();
        if (done == 0) break;
        read += done;
    }
    bytes.resize(read);
    return bytes;
}

bool Win32Platform::CreateFolder(const std::wstring& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr)) return true;
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::RemoveFile(const std::wstring& path) {
    return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool Win32Platform::RemoveFolder(const std::wstring& path) {
    return ::RemoveDirectoryW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The local folder rather than the roaming one: per-user classes do not
// roam, and a module they name must stay on the machine with them.
std::wstring Win32Platform::UserAppDataDirectory() {
    wchar_t path[MAX_PATH] = {};
    HRESULT hr =
        ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(hr)) ThrowHr(hr);
    std::wstring result(path);
    while (!result.empty() && result.back() == L'\\') result.pop_back();
    return result;
}

void Win32Platform::WriteBinaryFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    KernelHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file) ThrowLastError();
    size_t written = 0;
    while (written < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
        DWORD done = 0;
        if (!::WriteFile(file.get(), bytes.data() + written, chunk, &done, nullptr) || done == 0) {
            DWORD error = ::GetLastError();
            file.Reset();
            // A truncated module must not later pass for a deployed one.
            ::DeleteFileW(path.c_str());
            throw HostError(static_cast<int32_t>(error ? error : ERROR_WRITE_FAULT));
        }
        written += done;
    }
}

std::vector<uint8_t> Win32Platform::LoadModuleResource(const std::wstring& type, int32_t id) {
    HRSRC info = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type.c_str());
    if (!info) ThrowLastError();
    HGLOBAL loaded = ::LoadResource(module_, info);
    DWORD size = ::SizeofResource(module_, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) ThrowLastError();
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void Win32Platform::DoEvents() { PumpPendingMessages(); }

int32_t Win32Platform::TwipsPerPixelX() { return 1440 / DpiOfScreen(LOGPIXELSX); }

int32_t Win32Platform::TwipsPerPixelY() { return 1440 / DpiOfScreen(LOGPIXELSY); }

// --- oleacc

std::shared_ptr<acc::Accessible> Win32Platform::AccessibleObjectFromWindow(WindowHandle hWnd, int32_t objectId) {
    ComPtr<IAccessible> object;
    HRESULT hr = ::AccessibleObjectFromWindow(H(hWnd), static_cast<DWORD>(objectId), IID_IAccessible,
                                              object.put_void());
    if (FAILED(hr) || !object) return nullptr;
    return std::make_shared<AccessibleAdapter>(std::move(object));
}

acc::AccessibleChildrenResult Win32Platform::AccessibleChildren(acc::Accessible& parent, int32_t childStart,
                                                                int32_t children) {
    auto* adapter = dynamic_cast<AccessibleAdapter*>(&parent);
    if (!adapter) ThrowHr(E_INVALIDARG);
    acc::AccessibleChildrenResult result;
    std::vector<VARIANT> array(static_cast<size_t>(std::max(children, 0)));
    for (auto& v : array) ::VariantInit(&v);
    LONG obtained = 0;
    result.hresult = ::AccessibleChildren(adapter->get(), childStart, children, array.data(), &obtained);
    if (SUCCEEDED(result.hresult)) {
        obtained = std::clamp<LONG>(obtained, 0, static_cast<LONG>(array.size()));
        for (LONG i = 0; i < obtained; ++i) {
            acc::AccessibleChild child;
            const VARIANT& v = array[static_cast<size_t>(i)];
            if (v.vt == VT_I4) {
                child.kind = acc::AccessibleChild::Kind::ChildId;
                child.childId = v.lVal;
            } else if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
                ComPtr<IAccessible> object;
                if (SUCCEEDED(v.punkVal->QueryInterface(IID_IAccessible, object.put_void())) && object) {
                    child.kind = acc::AccessibleChild::Kind::Object;
                    child.object = std::make_shared<AccessibleAdapter>(std::move(object));
                }
            }
            result.children.push_back(std::move(child));
        }
    }
    for (auto& v : array) ::VariantClear(&v);
    return result;
}

// --- forms

std::unique_ptr<TabFormWindow> Win32Platform::CreateTabFormWindow(TabFormEvents& events,
                                                                const std::wstring& controlModule) {
    return std::make_unique<Win32TabFormWindow>(module_, events, kTabControlProgId, controlModule);
}

std::unique_ptr<AboutFormWindow> Win32Platform::CreateAboutFormWindow(AboutFormEvents& events) {
    return std::make_unique<Win32AboutFormWindow>(module_, events);
}

}  // namespace tarnwick::win32
