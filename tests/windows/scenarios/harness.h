// A user's session with the registered add-in in the fake Excel: the add-in
// created by ProgID and connected, the strip read back through the tab
// control's accessibility, and mouse input posted to the control's window.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addin_harness.h"
#include "fake_excel.h"
#include "support/com.h"

namespace scen {

using addintest::CreateAddin;
using addintest::ExeDir;
using addintest::IDTExtensibility2;
using addintest::ReadTabs;
using addintest::Tab;

using tarnwick::win32::ComPtr;

inline constexpr wchar_t kHostBar[] = L"VodevIzuzod";
inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\Tarnwick\\Excel";
inline constexpr wchar_t kTabWindowClass[] = L"CorvaneTabStrip";
inline constexpr wchar_t kAboutClass[] = L"TarnwickAboutForm";
inline constexpr int kAfterStartup = 0;
inline constexpr int kUserClosed = 1;

// Wine's regsvr32 on the add-in DLL beside the executable; its exit code.
inline std::optional<DWORD> RegisterAddin() { return addintest::Regsvr32(false); }

std::optional<std::wstring> ReadSetting(const wchar_t* name);
void WriteSetting(const wchar_t* name, const std::wstring& value);

std::vector<std::wstring> Names(const std::vector<Tab>& tabs);

// Descendant windows of `root` (inclusive) whose class is `cls`.
std::vector<HWND> FindWindowsOfClass(HWND root, const wchar_t* cls);
// Top-level windows of this thread.
std::vector<HWND> ThreadWindows();
std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);

enum class Button { Left, Right, Middle };

// The fake Excel with the add-in connected to it.
class Session {
public:
    explicit Session(fakexl::Options options = {}, bool connect = true);
    ~Session();

    fakexl::FakeExcel excel;
    ComPtr<IDTExtensibility2> addin;

    HRESULT Connect();
    HRESULT Disconnect();

    HWND Form() const;        // the strip's window in the host bar
    HWND TabWindow() const;   // the control's window inside it
    std::vector<Tab> Tabs() const;
    // Pumps until the strip shows exactly these tabs with `selected` selected
    // (empty: any selection); the last tabs read on a timeout.
    bool WaitForStrip(const std::vector<std::wstring>& names, const std::wstring& selected = {},
                      DWORD timeoutMs = 5000);
    bool WaitForNoStrip(DWORD timeoutMs = 3000);

    // Mouse input posted to the control's window at a screen point, and
    // pumped until the queue is empty.
    void Click(POINT screen, Button button = Button::Left);
    void ClickTab(const std::wstring& name, Button button = Button::Left);
    void DoubleClickTab(const std::wstring& name);
    POINT EmptyStripPoint() const;  // right of the last tab
    void Pump(DWORD ms = 50) { excel.PumpFor(ms); }

private:
    POINT TabCentre(const std::wstring& name) const;
};

// The add-in's thread timer, taken from a real WM_TIMER on this thread so
// that ticks can be run back to back through the same dispatch path.
class TickDriver {
public:
    bool Capture(fakexl::FakeExcel& excel, DWORD timeoutMs = 2000);
    bool captured() const { return captured_; }
    void Tick();

private:
    MSG timer_{};
    bool captured_ = false;
};

struct Resources {
    DWORD gdi = 0, user = 0;      // GetGuiResources (Wine answers 0)
    long gdiTable = -1;           // live entries of the process's GDI handle table; -1 if unreadable
    size_t windows = 0;  // this thread's windows and all their descendants
};
Resources MeasureResources();

// Right clicks `target` (a tab, or the empty strip when empty) and picks
// `entry` while the popup is open.
void ChooseFromPopup(Session& s, const std::wstring& target, const std::wstring& entry);
size_t CountBarControls(const fakexl::FakeExcel& excel);

}  // namespace scen
