#include "sim/world.h"

#include <algorithm>
#include <cwctype>
#include <stdexcept>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "sim/platform_sim.h"

namespace tarnwick::sim {

namespace {

// RPC_E_DISCONNECTED: what a call on an object of a vanished server gives.
constexpr int32_t kDisconnected = static_cast<int32_t>(0x80010108u);

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

std::wstring TrimSlashes(const std::wstring& path) {
    size_t b = path.find_first_not_of(L'\\');
    if (b == std::wstring::npos) return L"";
    size_t e = path.find_last_not_of(L'\\');
    return path.substr(b, e - b + 1);
}

}  // namespace

World& Touch(const Link& link, const char* member) {
    if (!link || !link->world) throw HostError(kDisconnected);
    link->world->Touch(member);
    return *link->world;
}

World::World() : link_(std::make_shared<WorldLink>()), platform_(std::make_unique<PlatformSim>(*this)) {
    link_->world = this;
    ResetAddinState();
    State().platform = platform_.get();
    BuildExcel();
}

World::~World() {
    // The add-in's globals go first, while their objects can still reach us.
    ResetAddinState();
    State().platform = nullptr;
    appSinks_.clear();
    clickSinks_.clear();
    link_->world = nullptr;
}

Platform& World::platform() {
    return *platform_;
}

// ---------------------------------------------------------------- calls and faults

void World::Touch(const char* member) {
    ++totalCalls_;
    auto slot = slots_.find(member);
    if (slot == slots_.end()) slot = slots_.emplace(member, &calls_[member]).first;
    ++*slot->second;
    if (callLogOn_) rawLog_.push_back(member);
    if (totalCalls_ == failAt_ || (!failing_.empty() && failing_.count(member) != 0)) {
        if (totalCalls_ == failAt_) failAt_ = -1;
        ++injectedFaults_;
        lastFault_ = member;
        throw HostError(hr::E_FAIL_);
    }
}

int32_t World::CallCount(const std::string& member) const {
    auto it = calls_.find(member);
    return it == calls_.end() ? 0 : it->second;
}

const std::vector<std::string>& World::CallLog() const {
    callLog_.reserve(rawLog_.size());
    for (size_t i = callLog_.size(); i < rawLog_.size(); ++i) callLog_.emplace_back(rawLog_[i]);
    return callLog_;
}

void World::ResetCallCounts() {
    for (auto& [name, count] : calls_) count = 0;
    ClearCallLog();
    // Pending Nth-call faults count from the reset as well.
    if (failAt_ >= 0) failAt_ -= totalCalls_;
    totalCalls_ = 0;
}

void World::ClearFaults() {
    failing_.clear();
    failAt_ = -1;
}

void World::RecordEscaped(const std::string& where) {
    escaped_.push_back(where);
}

// ---------------------------------------------------------------- windows

WindowHandle World::CreateWindow(const std::wstring& className, const std::wstring& title, WindowHandle parent,
                                 uint32_t style, bool visible) {
    if (parent != 0 && !IsWindow(parent)) throw std::logic_error("CreateWindow: no such parent");
    WindowModel w;
    w.handle = nextWindow_;
    nextWindow_ += 0x10;
    w.className = className;
    w.title = title;
    w.style = style != 0 ? style : (parent != 0 ? win::WS_CHILD : 0u);
    // As in Windows, GWL_STYLE shows WS_VISIBLE exactly while the window is
    // shown: the bit lives in `visible` only.
    constexpr uint32_t kVisibleBit = 0x10000000u;
    w.style &= ~kVisibleBit;
    w.parent = parent;
    w.visible = visible;
    if (const WindowModel* p = Win(parent)) w.rect = p->rect;
    windows_.emplace(w.handle, std::move(w));
    return nextWindow_ - 0x10;
}

void World::DestroyWindow(WindowHandle hwnd) {
    auto it = windows_.find(hwnd);
    if (it == windows_.end()) return;
    // Children and owned windows die with their parent or owner, as in Windows.
    std::vector<WindowHandle> dependents;
    for (const auto& [h, w] : windows_)
        if (w.parent == hwnd || w.owner == hwnd) dependents.push_back(h);
    for (WindowHandle h : dependents) DestroyWindow(h);
    it = windows_.find(hwnd);
    if (it == windows_.end()) return;
    WindowModel dead = std::move(it->second);
    windows_.erase(it);
    if (focus_ == hwnd) focus_ = 0;
    if (active_ == hwnd) active_ = 0;
    if (locked_ == hwnd) locked_ = 0;
    for (auto& bar : bars_)
        if (bar->window == hwnd) bar->window = 0;
    if (dead.onDestroy) dead.onDestroy();
}

bool World::IsWindow(WindowHandle hwnd) const {
    return windows_.count(hwnd) != 0;
}

WindowModel* World::Win(WindowHandle h) {
    auto it = windows_.find(h);
    return it == windows_.end() ? nullptr : &it->second;
}

const WindowModel* World::Win(WindowHandle h) const {
    auto it = windows_.find(h);
    return it == windows_.end() ? nullptr : &it->second;
}

const WindowModel* World::Window(WindowHandle hwnd) const {
    return Win(hwnd);
}

std::vector<WindowHandle> World::Children(WindowHandle parent) const {
    std::vector<WindowHandle> result;
    for (const auto& [h, w] : windows_)
        if (w.parent == parent) result.push_back(h);
    return result;
}

bool World::Visible(WindowHandle h) const {
    for (const WindowModel* w = Win(h); w != nullptr; w = w->parent != 0 ? Win(w->parent) : nullptr) {
        if (!w->visible) return false;
        if (w->parent == 0) return true;
    }
    return false;
}

void World::RunCbtHooks(int32_t code, std::uintptr_t wParam) {
    std::vector<HookModel> hooks(hooks_.rbegin(), hooks_.rend());  // newest first
    for (const HookModel& hook : hooks) {
        if (hook.idHook != win::WH_CBT || hook.proc == nullptr) continue;
        bool still =
            std::any_of(hooks_.begin(), hooks_.end(), [&](const HookModel& h) { return h.handle == hook.handle; });
        if (!still) continue;
        try {
            hook.proc(code, wParam, 0);
        } catch (const std::exception& e) {
            RecordEscaped(std::string("hook proc: ") + e.what());
        } catch (...) {
            RecordEscaped("hook proc: unknown exception");
        }
    }
}

void World::FocusWindow(WindowHandle hwnd) {
    if (hwnd != 0 && !IsWindow(hwnd)) throw std::logic_error("FocusWindow: no such window");
    RunCbtHooks(win::HCBT_SETFOCUS, hwnd);
    focus_ = hwnd;
    NoteFocus(hwnd);
}

void World::ActivateWindow(WindowHandle hwnd) {
    if (!IsWindow(hwnd)) throw std::logic_error("ActivateWindow: no such window");
    RunCbtHooks(win::HCBT_ACTIVATE, hwnd);
    // A hook may have closed the window while it was being activated.
    if (IsWindow(hwnd)) active_ = hwnd;
}

void World::Maximize(WindowModel& w) {
    if (const WindowModel* p = w.parent != 0 ? Win(w.parent) : nullptr)
        w.rect = p->rect;
    else
        w.rect = Rect{0, 0, 1280, 1024};
    w.maximized = true;
    w.visible = true;
    if (w.onResize) {
        auto resize = w.onResize;
        try {
            resize();
        } catch (const std::exception& e) {
            RecordEscaped(std::string("Form_Resize: ") + e.what());
        } catch (...) {
            RecordEscaped("Form_Resize: unknown exception");
        }
    }
}

void World::AttachAccessible(WindowHandle hwnd, std::shared_ptr<AccessibleSim> tree) {
    WindowModel* w = Win(hwnd);
    if (w == nullptr) throw std::logic_error("AttachAccessible: no such window");
    w->accessible = std::move(tree);
}

std::shared_ptr<AccessibleSim> World::MakeAccessible(const std::wstring& name, int32_t role, uint32_t state) {
    return std::make_shared<AccessibleSim>(link_, name, role, state);
}

// ---------------------------------------------------------------- clock and timers

void World::Advance(uint32_t ms) {
    const uint64_t end = clock_ + ms;
    for (;;) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->due <= end && (next == timers_.end() || it->due < next->due)) next = it;
        if (next == timers_.end()) break;
        clock_ = std::max(clock_, next->due);
        next->due = clock_ + next->elapse;
        const TimerProc proc = next->proc;
        const std::uintptr_t id = next->id;
        if (proc == nullptr) continue;
        ++timerFirings_;
        try {
            proc(0, 0x113 /* WM_TIMER */, id, Now());
        } catch (const std::exception& e) {
            RecordEscaped(std::string("timer proc: ") + e.what());
        } catch (...) {
            RecordEscaped("timer proc: unknown exception");
        }
    }
    clock_ = end;
}

std::vector<std::uintptr_t> World::LiveTimers() const {
    std::vector<std::uintptr_t> ids;
    for (const auto& t : timers_) ids.push_back(t.id);
    return ids;
}

// ---------------------------------------------------------------- registry

std::wstring World::RegPath(RegKey key, const std::wstring& subKey, bool& ok) const {
    ok = true;
    std::wstring base;
    if (key == win::HKEY_CURRENT_USER) {
        base.clear();
    } else if (key >= 0x80000000u && key <= 0x80000006u) {
        // Other predefined roots are separate trees the tests do not reach.
        base = L"#root" + std::to_wstring(key - 0x80000000u);
    } else {
        auto it = regHandles_.find(key);
        if (it == regHandles_.end()) {
            ok = false;
            return L"";
        }
        base = it->second;
    }
    std::wstring sub = TrimSlashes(subKey);
    if (sub.empty()) return base;
    return base.empty() ? Lower(sub) : base + L"\\" + Lower(sub);
}

void World::CreateRegistryKey(const std::wstring& path) {
    std::wstring p = Lower(TrimSlashes(path));
    for (size_t pos = 0;; ++pos) {
        pos = p.find(L'\\', pos);
        registry_[p.substr(0, pos)];
        if (pos == std::wstring::npos) break;
    }
}

void World::DeleteRegistryKey(const std::wstring& path) {
    std::wstring p = Lower(TrimSlashes(path));
    for (auto it = registry_.begin(); it != registry_.end();) {
        if (it->first == p || it->first.rfind(p + L"\\", 0) == 0)
            it = registry_.erase(it);
        else
            ++it;
    }
}

bool World::KeyExists(const std::wstring& path) const {
    return registry_.count(Lower(TrimSlashes(path))) != 0;
}

void World::SetRegistryValue(const std::wstring& path, const std::wstring& name, uint32_t type,
                             const std::vector<uint8_t>& data) {
    CreateRegistryKey(path);
    registry_[Lower(TrimSlashes(path))].values[Lower(name)] = RegValue{type, data};
}

void World::SetRegistryString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    std::string bytes = platform_->WideToAnsiUncounted(text);
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    data.push_back(0);
    SetRegistryValue(path, name, win::REG_SZ, data);
}

std::optional<RegValue> World::RegistryValue(const std::wstring& path, const std::wstring& name) const {
    auto key = registry_.find(Lower(TrimSlashes(path)));
    if (key == registry_.end()) return std::nullopt;
    auto value = key->second.values.find(Lower(name));
    if (value == key->second.values.end()) return std::nullopt;
    return value->second;
}

// ---------------------------------------------------------------- files and resources

void World::SetFile(const std::wstring& path, std::vector<uint8_t> bytes, uint32_t attributes) {
    files_[Lower(path)] = FileModel{std::move(bytes), attributes};
}

std::optional<std::vector<uint8_t>> World::FileBytes(const std::wstring& path) const {
    auto it = files_.find(Lower(path));
    if (it == files_.end()) return std::nullopt;
    return it->second.bytes;
}

std::optional<uint32_t> World::FileAttributes(const std::wstring& path) const {
    auto it = files_.find(Lower(path));
    if (it == files_.end()) return std::nullopt;
    return it->second.attributes;
}

void World::SetResource(const std::wstring& type, int32_t id, std::vector<uint8_t> bytes) {
    resources_[{Lower(type), id}] = std::move(bytes);
}

// ---------------------------------------------------------------- forms and the strip

TabControlSim* World::Tabs() const {
    for (auto it = tabForms_.rbegin(); it != tabForms_.rend(); ++it)
        if (it->second->Alive()) return it->second.get();
    return nullptr;
}

WindowHandle World::TabFormWindow() const {
    for (auto it = tabForms_.rbegin(); it != tabForms_.rend(); ++it)
        if (IsWindow(it->first)) return it->first;
    return 0;
}

bool World::ClickTab(int32_t index, int16_t button) {
    TabControlSim* tabs = Tabs();
    if (tabs == nullptr || index < 0 || index >= tabs->Count()) return false;
    tabs->ClickTab(index, button);
    return true;
}

bool World::ClickEmpty(int16_t button) {
    TabControlSim* tabs = Tabs();
    if (tabs == nullptr) return false;
    tabs->ClickEmpty(button);
    return true;
}

bool World::DoubleClickTab(int32_t index, uint32_t interval) {
    TabControlSim* tabs = Tabs();
    if (tabs == nullptr || index < 0 || index >= tabs->Count()) return false;
    tabs->DoubleClickTab(index, interval);
    return true;
}

std::vector<std::wstring> World::TabCaptions() const {
    TabControlSim* tabs = Tabs();
    return tabs != nullptr ? tabs->Captions() : std::vector<std::wstring>{};
}

std::vector<std::wstring> World::TabToolTips() const {
    TabControlSim* tabs = Tabs();
    return tabs != nullptr ? tabs->ToolTips() : std::vector<std::wstring>{};
}

int32_t World::SelectedTab() const {
    TabControlSim* tabs = Tabs();
    return tabs != nullptr ? tabs->SelectedIndex() : -1;
}

}  // namespace tarnwick::sim
