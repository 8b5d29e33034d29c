#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace scen {


std::optional<std::wstring> ReadSetting(const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
    LONG status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    std::wstring value(buffer, size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

void WriteSetting(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM out) {
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
    return TRUE;
}

}  // namespace

std::wstring ClassOf(HWND window) {
    wchar_t cls[128] = {};
    ::GetClassNameW(window, cls, 128);
    return cls;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

std::vector<HWND> FindWindowsOfClass(HWND root, const wchar_t* cls) {
    std::vector<HWND> all{root}, found;
    if (!root) return found;
    ::EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&all));
    for (HWND w : all) {
        if (ClassOf(w) == cls) found.push_back(w);
    }
    return found;
}

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<std::wstring> Names(const std::vector<Tab>& tabs) {
    std::vector<std::wstring> names;
    for (const Tab& t : tabs) names.push_back(t.name);
    return names;
}

Session::Session(fakexl::Options options, bool connect) : excel(std::move(options)) {
    if (connect) Connect();
}

Session::~Session() {
    if (addin) addin->OnDisconnection(kUserClosed, nullptr);
    addin.Reset();
}

HRESULT Session::Connect() {
    HRESULT hr = S_OK;
    if (!addin) addin = CreateAddin(&hr);
    if (!addin) return hr;
    return addin->OnConnection(excel.Application(), kAfterStartup, nullptr, nullptr);
}

HRESULT Session::Disconnect() {
    HRESULT hr = addin ? addin->OnDisconnection(kUserClosed, nullptr) : E_POINTER;
    addin.Reset();
    return hr;
}

HWND Session::Form() const {
    HWND bar = excel.BarWindow(kHostBar);
    return bar ? ::FindWindowExW(bar, nullptr, nullptr, nullptr) : nullptr;
}

HWND Session::TabWindow() const {
    auto found = FindWindowsOfClass(excel.BarWindow(kHostBar), kTabWindowClass);
    return found.empty() ? nullptr : found.front();
}

std::vector<Tab> Session::Tabs() const { return ReadTabs(excel.BarWindow(kHostBar)).value_or(std::vector<Tab>{}); }

bool Session::WaitForStrip(const std::vector<std::wstring>& names, const std::wstring& selected, DWORD timeoutMs) {
    return excel.PumpUntil(
        [&] {
            const auto tabs = Tabs();
            if (Names(tabs) != names) return false;
            if (selected.empty()) return true;
            return std::any_of(tabs.begin(), tabs.end(), [&](const Tab& t) { return t.selected && t.name == selected; });
        },
        timeoutMs);
}

bool Session::WaitForNoStrip(DWORD timeoutMs) {
    return excel.PumpUntil([&] { return !excel.Bar(kHostBar) && !Form(); }, timeoutMs);
}

void Session::Click(POINT screen, Button button) {
    HWND target = TabWindow();
    if (!target) return;
    POINT client = screen;
    ::ScreenToClient(target, &client);
    const LPARAM at = MAKELPARAM(client.x, client.y);
    const UINT down = button == Button::Left ? WM_LBUTTONDOWN : button == Button::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    const WPARAM held = button == Button::Left ? MK_LBUTTON : button == Button::Right ? MK_RBUTTON : MK_MBUTTON;
    ::PostMessageW(target, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(target, down, held, at);
    ::PostMessageW(target, down + 1, 0, at);  // the matching button-up
    excel.PumpFor(30);
}

POINT Session::TabCentre(const std::wstring& name) const {
    for (const Tab& t : Tabs()) {
        if (t.name == name) return POINT{(t.screen.left + t.screen.right) / 2, (t.screen.top + t.screen.bottom) / 2};
    }
    ADD_FAILURE_AT(__FILE__, __LINE__);
    return POINT{-1, -1};
}

void Session::ClickTab(const std::wstring& name, Button button) { Click(TabCentre(name), button); }

void Session::DoubleClickTab(const std::wstring& name) {
    const POINT at = TabCentre(name);
    Click(at);
    Click(at);
}

POINT Session::EmptyStripPoint() const {
    const auto tabs = Tabs();
    RECT window{};
    ::GetWindowRect(TabWindow(), &window);
    const LONG right = tabs.empty() ? window.left : tabs.back().screen.right;
    const LONG y = tabs.empty() ? (window.top + window.bottom) / 2 : (tabs.back().screen.top + tabs.back().screen.bottom) / 2;
    return POINT{std::min<LONG>(right + 40, window.right - 5), y};
}

bool TickDriver::Capture(fakexl::FakeExcel& excel, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!captured_ && ::GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (!captured_ && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && !msg.hwnd && msg.lParam) {
                timer_ = msg;
                captured_ = true;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (!captured_) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    excel.PumpFor(0);
    return captured_;
}

void TickDriver::Tick() {
    MSG msg = timer_;
    msg.time = ::GetTickCount();
    ::DispatchMessageW(&msg);
}

namespace {

// The process's GDI handle table as the PEB publishes it (Windows and Wine
// 8 both map it read-only into the process): a live entry has a type.
struct GdiHandleEntry {
    ULONGLONG object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONGLONG user;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t kGdiHandleCount = 0x10000;

long CountGdiTable() {
#if defined(__i386__)
    struct BasicInformation {
        LONG exitStatus;
        const BYTE* peb;
        ULONG_PTR rest[4];
    } basic{};
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query || query(::GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0 || !basic.peb) return -1;
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(basic.peb + 0x94);
    if (!table) return -1;
    MEMORY_BASIC_INFORMATION info{};
    if (!::VirtualQuery(table, &info, sizeof info) || info.State != MEM_COMMIT) return -1;
    const size_t readable = (reinterpret_cast<const BYTE*>(info.BaseAddress) + info.RegionSize -
                             reinterpret_cast<const BYTE*>(table)) / sizeof(GdiHandleEntry);
    long live = 0;
    for (size_t i = 0; i < std::min(readable, kGdiHandleCount); ++i) live += table[i].type != 0;
    return live;
#else
    return -1;
#endif
}

}  // namespace

Resources MeasureResources() {
    Resources r;
    r.gdiTable = CountGdiTable();
    r.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    r.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (HWND top : ThreadWindows()) {
        std::vector<HWND> all{top};
        ::EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&all));
        r.windows += all.size();
    }
    return r;
}

void ChooseFromPopup(Session& s, const std::wstring& target, const std::wstring& entry) {
    s.excel.SetPopupScript([entry](fakexl::FakeExcel& x, const fakexl::PopupRecord& popup) {
        EXPECT_TRUE(x.ClickControl(popup.bar, entry));
    });
    if (target.empty()) {
        s.Click(s.EmptyStripPoint(), Button::Right);
    } else {
        s.ClickTab(target, Button::Right);
    }
    s.excel.SetPopupScript(nullptr);
}

size_t CountBarControls(const fakexl::FakeExcel& excel) {
    size_t n = 0;
    for (const auto& bar : excel.Bars()) n += bar.controls.size();
    return n;
}

}  // namespace scen
