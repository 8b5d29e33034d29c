#include "sim/platform_sim.h"

#include <algorithm>
#include <cwctype>
#include <stdexcept>

#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {

namespace {

constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_MAXIMIZE = 0x01000000;
constexpr int32_t ERROR_ACCESS_DENIED = 5;
constexpr int32_t ERROR_INVALID_HANDLE = 6;
constexpr int32_t ERROR_INVALID_PARAMETER = 87;
constexpr int32_t ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr int32_t ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr uint32_t USER_TIMER_MINIMUM = 10;

bool SameText(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

// The "A" functions fill a 255-byte buffer: at most 254 bytes of text.
std::wstring ThroughAnsiBuffer(const std::wstring& text) {
    std::string bytes = Utf8FromWide(text);
    if (bytes.size() <= 254) return text;
    bytes.resize(254);
    // Drop a character the cut split, as a DBCS-aware copy does.
    size_t lead = bytes.size() - 1;
    while (lead > 0 && (static_cast<uint8_t>(bytes[lead]) & 0xC0) == 0x80) --lead;
    const auto b = static_cast<uint8_t>(bytes[lead]);
    const size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    if (bytes.size() - lead < length) bytes.resize(lead);
    return WideFromUtf8(bytes);
}

}  // namespace

std::string Utf8FromWide(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring WideFromUtf8(const std::string& text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t c = extra <= 0 ? b : (b & (0x3Fu >> extra));
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3Fu);
        }
        if (!ok) {
            out += L'\xFFFD';  // a broken sequence stands for one replacement character
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

// ---------------------------------------------------------------- windows

int32_t PlatformSim::GetWindowLongA(WindowHandle hWnd, int32_t index) {
    w_.Touch("Platform.GetWindowLongA");
    const WindowModel* w = w_.Win(hWnd);
    if (w == nullptr) return 0;
    switch (index) {
        case win::GWL_STYLE:
            return static_cast<int32_t>(w->style | (w->visible ? WS_VISIBLE : 0u) | (w->maximized ? WS_MAXIMIZE : 0u));
        case win::GWL_EXSTYLE:
            return static_cast<int32_t>(w->exStyle);
        case win::GWL_HWNDPARENT:
            return static_cast<int32_t>(w->owner);
        default:
            return 0;
    }
}

int32_t PlatformSim::SetWindowLongA(WindowHandle hWnd, int32_t index, int32_t value) {
    w_.Touch("Platform.SetWindowLongA");
    WindowModel* w = w_.Win(hWnd);
    if (w == nullptr) return 0;
    const auto v = static_cast<uint32_t>(value);
    int32_t previous = 0;
    switch (index) {
        case win::GWL_STYLE:
            previous =
                static_cast<int32_t>(w->style | (w->visible ? WS_VISIBLE : 0u) | (w->maximized ? WS_MAXIMIZE : 0u));
            w->style = v & ~(WS_VISIBLE | WS_MAXIMIZE);
            w->visible = (v & WS_VISIBLE) != 0;
            w->maximized = (v & WS_MAXIMIZE) != 0;
            return previous;
        case win::GWL_EXSTYLE:
            previous = static_cast<int32_t>(w->exStyle);
            w->exStyle = v;
            return previous;
        case win::GWL_HWNDPARENT:
            previous = static_cast<int32_t>(w->owner);
            w->owner = static_cast<WindowHandle>(v);
            return previous;
        default:
            return 0;
    }
}

bool PlatformSim::DrawMenuBar(WindowHandle hWnd) {
    w_.Touch("Platform.DrawMenuBar");
    return w_.IsWindow(hWnd);
}

bool PlatformSim::GetWindowRect(WindowHandle hWnd, Rect& rect) {
    w_.Touch("Platform.GetWindowRect");
    const WindowModel* w = w_.Win(hWnd);
    if (w == nullptr) return false;
    rect = w->rect;
    return true;
}

WindowHandle PlatformSim::FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                        const std::optional<std::wstring>& className,
                                        const std::optional<std::wstring>& windowName) {
    w_.Touch("Platform.FindWindowExA");
    if (parent != 0 && !w_.IsWindow(parent)) return 0;
    bool started = childAfter == 0;
    for (const auto& [h, w] : w_.windows_) {
        if (w.parent != parent) continue;
        if (!started) {
            started = h == childAfter;
            continue;
        }
        if (className && !SameText(*className, w.className)) continue;
        if (windowName && !SameText(*windowName, w.title)) continue;
        return h;
    }
    return 0;
}

WindowHandle PlatformSim::SetParent(WindowHandle child, WindowHandle newParent) {
    w_.Touch("Platform.SetParent");
    WindowModel* w = w_.Win(child);
    if (w == nullptr || (newParent != 0 && !w_.IsWindow(newParent)) || newParent == child) return 0;
    // Windows answers the previous parent, or the desktop for a top-level window.
    WindowHandle previous = w->parent != 0 ? w->parent : 0x00010010u;
    w->parent = newParent;
    return previous;
}

WindowHandle PlatformSim::GetParent(WindowHandle hWnd) {
    w_.Touch("Platform.GetParent");
    const WindowModel* w = w_.Win(hWnd);
    if (w == nullptr) return 0;
    // Windows: the parent of a child window, the owner of any other.
    return (w->style & win::WS_CHILD) != 0 ? w->parent : w->owner;
}

bool PlatformSim::ShowWindow(WindowHandle hWnd, int32_t cmdShow) {
    w_.Touch("Platform.ShowWindow");
    WindowModel* w = w_.Win(hWnd);
    if (w == nullptr) return false;
    const bool wasVisible = w->visible;
    switch (cmdShow) {
        case 0:  // SW_HIDE
            w->visible = false;
            break;
        case win::SW_SHOWMAXIMIZED:
            w_.Maximize(*w);
            break;
        case 6:  // SW_MINIMIZE
        case 7:  // SW_SHOWMINNOACTIVE
        case 2:  // SW_SHOWMINIMIZED
            w->visible = true;
            w->maximized = false;
            break;
        default:
            w->visible = true;
            if (cmdShow == win::SW_SHOWNORMAL || cmdShow == 9 /* SW_RESTORE */) w->maximized = false;
            break;
    }
    return wasVisible;
}

bool PlatformSim::IsWindowVisible(WindowHandle hWnd) {
    w_.Touch("Platform.IsWindowVisible");
    return w_.Visible(hWnd);
}

std::wstring PlatformSim::GetWindowTextW(WindowHandle hWnd) {
    w_.Touch("Platform.GetWindowTextW");
    const WindowModel* w = w_.Win(hWnd);
    return w ? w->title.substr(0, 255) : std::wstring();
}

bool PlatformSim::IsWindowEnabled(WindowHandle hWnd) {
    w_.Touch("Platform.IsWindowEnabled");
    const WindowModel* w = w_.Win(hWnd);
    return w != nullptr && w->enabled;
}

WindowHandle PlatformSim::GetWindow(WindowHandle hWnd, uint32_t cmd) {
    w_.Touch("Platform.GetWindow");
    const WindowModel* w = w_.Win(hWnd);
    return w != nullptr && cmd == win::get_window::Owner ? w->owner : 0;
}

std::wstring PlatformSim::GetSystemWindowsDirectoryW() {
    w_.Touch("Platform.GetSystemWindowsDirectoryW");
    return w_.systemWindowsDir_;
}

WindowHandle PlatformSim::SetFocus(WindowHandle hWnd) {
    w_.Touch("Platform.SetFocus");
    if (hWnd != 0 && !w_.IsWindow(hWnd)) return 0;
    const WindowHandle previous = w_.focus_;
    w_.RunCbtHooks(win::HCBT_SETFOCUS, hWnd);
    w_.focus_ = hWnd;
    w_.NoteFocus(hWnd);
    return previous;
}

bool PlatformSim::LockWindowUpdate(WindowHandle hWnd) {
    w_.Touch("Platform.LockWindowUpdate");
    bool ok = true;
    if (hWnd == 0) {
        w_.locked_ = 0;
    } else if (w_.locked_ != 0 || !w_.IsWindow(hWnd)) {
        // Windows keeps a single locked window: a second lock fails.
        ok = false;
    } else {
        w_.locked_ = hWnd;
    }
    w_.lockHistory_.push_back(LockCall{hWnd, ok});
    return ok;
}

std::wstring PlatformSim::GetWindowTextA(WindowHandle hWnd) {
    w_.Touch("Platform.GetWindowTextA");
    const WindowModel* w = w_.Win(hWnd);
    return w == nullptr ? std::wstring{} : ThroughAnsiBuffer(w->title);
}

std::wstring PlatformSim::GetClassNameA(WindowHandle hWnd) {
    w_.Touch("Platform.GetClassNameA");
    const WindowModel* w = w_.Win(hWnd);
    return w == nullptr ? std::wstring{} : ThroughAnsiBuffer(w->className);
}

// ---------------------------------------------------------------- timers and hooks

std::uintptr_t PlatformSim::SetTimer(WindowHandle hWnd, std::uintptr_t idEvent, uint32_t elapse, TimerProc proc) {
    w_.Touch("Platform.SetTimer");
    if (hWnd != 0) throw std::logic_error("SetTimer: the sim has thread timers only");
    elapse = std::max(elapse, USER_TIMER_MINIMUM);
    // A thread timer given the id of an existing one replaces it.
    for (auto& t : w_.timers_) {
        if (idEvent != 0 && t.id == idEvent) {
            t.elapse = elapse;
            t.due = w_.clock_ + elapse;
            t.proc = proc;
            return t.id;
        }
    }
    TimerModel t;
    t.id = w_.nextTimerId_++;
    t.elapse = elapse;
    t.due = w_.clock_ + elapse;
    t.proc = proc;
    w_.timers_.push_back(t);
    return t.id;
}

bool PlatformSim::KillTimer(WindowHandle hWnd, std::uintptr_t idEvent) {
    w_.Touch("Platform.KillTimer");
    if (hWnd != 0) return false;
    auto it = std::find_if(w_.timers_.begin(), w_.timers_.end(), [&](const TimerModel& t) { return t.id == idEvent; });
    if (it == w_.timers_.end()) return false;
    w_.timers_.erase(it);
    return true;
}

HookHandle PlatformSim::SetWindowsHookExA(int32_t idHook, HookProc proc, ModuleHandle hmod, uint32_t threadId) {
    w_.Touch("Platform.SetWindowsHookExA");
    if (proc == nullptr) return 0;
    if (w_.hookThreadCheck_ && threadId != w_.excelThreadId_) return 0;
    HookModel h{w_.nextHook_, idHook, proc, hmod, threadId};
    w_.nextHook_ += 0x10;
    w_.hooks_.push_back(h);
    return h.handle;
}

bool PlatformSim::UnhookWindowsHookEx(HookHandle hook) {
    w_.Touch("Platform.UnhookWindowsHookEx");
    auto it = std::find_if(w_.hooks_.begin(), w_.hooks_.end(), [&](const HookModel& h) { return h.handle == hook; });
    if (it == w_.hooks_.end()) return false;
    w_.hooks_.erase(it);
    return true;
}

std::intptr_t PlatformSim::CallNextHookEx(HookHandle hook, int32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
    w_.Touch("Platform.CallNextHookEx");
    w_.nextHookCalls_.push_back(NextHookCall{hook, code, wParam, lParam});
    return w_.nextHookResult_;
}

uint32_t PlatformSim::GetDoubleClickTime() {
    w_.Touch("Platform.GetDoubleClickTime");
    return w_.doubleClickTime_;
}

// ---------------------------------------------------------------- kernel32

uint32_t PlatformSim::GetTickCount() {
    w_.Touch("Platform.GetTickCount");
    return w_.Now();
}

uint32_t PlatformSim::GetCurrentThreadId() {
    w_.Touch("Platform.GetCurrentThreadId");
    return w_.excelThreadId_;
}

std::wstring PlatformSim::GetSystemDirectoryA() {
    w_.Touch("Platform.GetSystemDirectoryA");
    return w_.systemDir_;
}

std::wstring PlatformSim::GetWindowsDirectoryA() {
    w_.Touch("Platform.GetWindowsDirectoryA");
    return w_.windowsDir_;
}

// ---------------------------------------------------------------- registry

int32_t PlatformSim::RegOpenKeyA(RegKey root, const std::wstring& subKey, RegKey* result) {
    w_.Touch("Platform.RegOpenKeyA");
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = 0;
    bool ok = false;
    std::wstring path = w_.RegPath(root, subKey, ok);
    if (!ok) return ERROR_INVALID_HANDLE;
    if (!path.empty() && w_.registry_.count(path) == 0) return win::ERROR_FILE_NOT_FOUND;
    *result = w_.nextRegHandle_;
    w_.nextRegHandle_ += 4;
    w_.regHandles_[*result] = path;
    return win::ERROR_SUCCESS;
}

int32_t PlatformSim::RegCreateKeyA(RegKey root, const std::wstring& subKey, RegKey* result) {
    w_.Touch("Platform.RegCreateKeyA");
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = 0;
    bool ok = false;
    std::wstring path = w_.RegPath(root, subKey, ok);
    if (!ok) return ERROR_INVALID_HANDLE;
    if (!path.empty()) w_.CreateRegistryKey(path);
    *result = w_.nextRegHandle_;
    w_.nextRegHandle_ += 4;
    w_.regHandles_[*result] = path;
    return win::ERROR_SUCCESS;
}

int32_t PlatformSim::RegQueryValueExA(RegKey key, const std::wstring& valueName, uint32_t* type, uint8_t* data,
                                      uint32_t* size) {
    w_.Touch("Platform.RegQueryValueExA");
    auto handle = w_.regHandles_.find(key);
    if (handle == w_.regHandles_.end()) return ERROR_INVALID_HANDLE;
    auto k = w_.registry_.find(handle->second);
    if (k == w_.registry_.end()) return win::ERROR_FILE_NOT_FOUND;  // deleted under an open handle
    auto v = k->second.values.find(Lower(valueName));
    if (v == k->second.values.end()) return win::ERROR_FILE_NOT_FOUND;
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    if (type != nullptr) *type = v->second.type;
    const auto needed = static_cast<uint32_t>(v->second.data.size());
    if (data == nullptr) {
        if (size != nullptr) *size = needed;
        return win::ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return win::ERROR_MORE_DATA;
    }
    std::copy(v->second.data.begin(), v->second.data.end(), data);
    *size = needed;
    return win::ERROR_SUCCESS;
}

int32_t PlatformSim::RegSetValueExA(RegKey key, const std::wstring& valueName, uint32_t type, const uint8_t* data,
                                    uint32_t size) {
    w_.Touch("Platform.RegSetValueExA");
    auto handle = w_.regHandles_.find(key);
    if (handle == w_.regHandles_.end()) return ERROR_INVALID_HANDLE;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    auto k = w_.registry_.find(handle->second);
    if (k == w_.registry_.end()) return ERROR_ACCESS_DENIED;  // KEY_DELETED in Windows terms
    k->second.values[Lower(valueName)] = RegValue{type, std::vector<uint8_t>(data, data + size)};
    return win::ERROR_SUCCESS;
}

int32_t PlatformSim::RegCloseKey(RegKey key) {
    w_.Touch("Platform.RegCloseKey");
    if (key >= 0x80000000u && key <= 0x80000006u) return win::ERROR_SUCCESS;
    return w_.regHandles_.erase(key) != 0 ? win::ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// ---------------------------------------------------------------- shell, code page, services

std::intptr_t PlatformSim::ShellExecuteA(WindowHandle hWnd, const std::optional<std::wstring>& verb,
                                         const std::wstring& file, const std::optional<std::wstring>& parameters,
                                         const std::optional<std::wstring>& directory, int32_t showCmd) {
    w_.Touch("Platform.ShellExecuteA");
    w_.shellExecutes_.push_back(ShellExecuteCall{hWnd, verb, file, parameters, directory, showCmd});
    return 42;  // > 32: success
}

std::string PlatformSim::WideToAnsi(const std::wstring& text) {
    w_.Touch("Platform.WideToAnsi");
    return Utf8FromWide(text);
}

std::wstring PlatformSim::AnsiToWide(const std::string& text) {
    w_.Touch("Platform.AnsiToWide");
    return WideFromUtf8(text);
}

bool PlatformSim::StartProcess(const std::wstring& application, const std::wstring& commandLine, int32_t showWindow,
                               uint32_t waitMilliseconds) {
    w_.Touch("Platform.StartProcess");
    ProcessStart start{application, commandLine, showWindow, waitMilliseconds};
    w_.processes_.push_back(start);
    if (w_.onStartProcess_) {
        auto effect = w_.onStartProcess_;
        return effect(start);
    }
    return true;
}

bool PlatformSim::FindOrdinaryFile(const std::wstring& path) {
    w_.Touch("Platform.FindOrdinaryFile");
    auto it = w_.files_.find(Lower(path));
    if (it == w_.files_.end()) return false;
    return (it->second.attributes & (file_attr::Hidden | file_attr::System | file_attr::Directory)) == 0;
}

namespace {

bool Below(const std::wstring& path, const std::wstring& folder) {
    const std::wstring p = Lower(path), f = Lower(folder);
    return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == L'\\';
}

std::wstring ParentOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

bool World::Writable(const std::wstring& path) const {
    for (const std::wstring& folder : protectedFolders_)
        if (Below(path, folder)) return false;
    return true;
}

std::optional<uint32_t> PlatformSim::FileAttributes(const std::wstring& path) {
    w_.Touch("Platform.FileAttributes");
    return w_.FileAttributes(path);
}

bool PlatformSim::ChangeFileAttributes(const std::wstring& path, uint32_t attributes) {
    w_.Touch("Platform.ChangeFileAttributes");
    auto it = w_.files_.find(Lower(path));
    if (it == w_.files_.end() || !w_.Writable(path)) return false;
    it->second.attributes = (it->second.attributes & file_attr::Directory) | attributes;
    return true;
}

void PlatformSim::WriteBinaryFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    w_.Touch("Platform.WriteBinaryFile");
    if (!w_.Writable(path)) throw HostError(ERROR_ACCESS_DENIED);
    auto it = w_.files_.find(Lower(path));
    if (it != w_.files_.end()) {
        // As CreateFile with CREATE_ALWAYS and FILE_ATTRIBUTE_NORMAL.
        constexpr uint32_t refused = file_attr::ReadOnly | file_attr::Hidden | file_attr::System | file_attr::Directory;
        if ((it->second.attributes & refused) != 0) throw HostError(ERROR_ACCESS_DENIED);
        it->second.bytes = bytes;
    } else {
        w_.files_[Lower(path)] = World::FileModel{bytes, file_attr::Normal};
    }
    ++w_.fileWrites_;
}

std::vector<uint8_t> PlatformSim::ReadBinaryFile(const std::wstring& path) {
    w_.Touch("Platform.ReadBinaryFile");
    auto it = w_.files_.find(Lower(path));
    if (it == w_.files_.end()) throw HostError(win::ERROR_FILE_NOT_FOUND);
    if ((it->second.attributes & file_attr::Directory) != 0) throw HostError(ERROR_ACCESS_DENIED);
    return it->second.bytes;
}

bool PlatformSim::CreateFolder(const std::wstring& path) {
    w_.Touch("Platform.CreateFolder");
    if (auto attributes = w_.FileAttributes(path)) return (*attributes & file_attr::Directory) != 0;
    if (!w_.Writable(path)) return false;
    const std::wstring parent = ParentOf(path);
    if (!parent.empty() && parent.size() > 2 && !CreateFolder(parent)) return false;
    w_.files_[Lower(path)] = World::FileModel{{}, file_attr::Directory};
    return true;
}

bool PlatformSim::RemoveFile(const std::wstring& path) {
    w_.Touch("Platform.RemoveFile");
    auto it = w_.files_.find(Lower(path));
    if (it == w_.files_.end()) return true;
    // As DeleteFile: no directories, no read-only files, nothing protected.
    constexpr uint32_t refused = file_attr::ReadOnly | file_attr::Directory;
    if ((it->second.attributes & refused) != 0 || !w_.Writable(path)) return false;
    w_.files_.erase(it);
    return true;
}

bool PlatformSim::RemoveFolder(const std::wstring& path) {
    w_.Touch("Platform.RemoveFolder");
    const std::wstring folder = Lower(path);
    auto it = w_.files_.find(folder);
    if (it == w_.files_.end()) return true;
    if ((it->second.attributes & file_attr::Directory) == 0 || !w_.Writable(path)) return false;
    for (const auto& [other, model] : w_.files_) {
        if (other.size() > folder.size() && other.compare(0, folder.size(), folder) == 0 &&
            other[folder.size()] == L'\\')
            return false;
    }
    w_.files_.erase(it);
    return true;
}

std::wstring PlatformSim::UserAppDataDirectory() {
    w_.Touch("Platform.UserAppDataDirectory");
    return w_.appDataDir_;
}

std::vector<uint8_t> PlatformSim::LoadModuleResource(const std::wstring& type, int32_t id) {
    w_.Touch("Platform.LoadModuleResource");
    auto it = w_.resources_.find({Lower(type), id});
    if (it != w_.resources_.end()) return it->second;
    for (const auto& [key, bytes] : w_.resources_)
        if (key.first == Lower(type)) throw HostError(ERROR_RESOURCE_NAME_NOT_FOUND);
    throw HostError(ERROR_RESOURCE_TYPE_NOT_FOUND);
}

void PlatformSim::DoEvents() {
    w_.Touch("Platform.DoEvents");
    ++w_.doEventsCalls_;
    w_.Advance(0);
    // Only what was queued before this pass runs in it.
    for (size_t n = w_.doEventsQueue_.size(); n > 0 && !w_.doEventsQueue_.empty(); --n) {
        auto action = std::move(w_.doEventsQueue_.front());
        w_.doEventsQueue_.pop_front();
        action();
    }
}

int32_t PlatformSim::TwipsPerPixelX() {
    w_.Touch("Platform.TwipsPerPixelX");
    return w_.twipsX_;
}

int32_t PlatformSim::TwipsPerPixelY() {
    w_.Touch("Platform.TwipsPerPixelY");
    return w_.twipsY_;
}

// ---------------------------------------------------------------- oleacc

std::shared_ptr<acc::Accessible> PlatformSim::AccessibleObjectFromWindow(WindowHandle hWnd, int32_t objectId) {
    w_.Touch("Platform.AccessibleObjectFromWindow");
    const WindowModel* w = w_.Win(hWnd);
    if (w == nullptr || objectId != win::OBJID_WINDOW) return nullptr;
    return w->accessible;
}

acc::AccessibleChildrenResult PlatformSim::AccessibleChildren(acc::Accessible& parent, int32_t childStart,
                                                              int32_t children) {
    w_.Touch("Platform.AccessibleChildren");
    auto* sim = dynamic_cast<AccessibleSim*>(&parent);
    if (sim == nullptr || childStart < 0 || children < 0) return {hr::E_INVALIDARG_, {}};
    acc::AccessibleChildrenResult result;
    const auto& all = sim->Elements();
    for (int32_t i = childStart; i < childStart + children && i < static_cast<int32_t>(all.size()); ++i)
        result.children.push_back(all[static_cast<size_t>(i)]);
    result.hresult = static_cast<int32_t>(result.children.size()) < children ? 1 : 0;
    if (sim->ChildrenHResult() != 0) result.hresult = sim->ChildrenHResult();
    if (result.hresult < 0) result.children.clear();
    return result;
}

}  // namespace tarnwick::sim
