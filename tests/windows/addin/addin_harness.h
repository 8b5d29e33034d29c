// What the add-in tests and the demo share: the DLL beside the executable,
// Wine's regsvr32, registry reads, the add-in object as Office sees it, and
// the strip read back through accessibility.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>
#include <vector>

#include "support/com.h"

namespace addintest {

// Office's add-in connection interface, declared from its published layout.
struct IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, int ConnectMode, IDispatch* AddInInst,
                                                   SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(int RemoveMode, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};
extern const IID IID_IDTExtensibility2;
extern const CLSID CLSID_ZereZovaveAddin;
inline constexpr const wchar_t* kProgId = L"TarnwickAddin.ZereZovaveAddin";
inline constexpr const wchar_t* kClsid = L"{157952BC-9669-489A-A948-DBB13BB983A6}";
inline constexpr const wchar_t* kLibId = L"{1D1D3C5B-2FBC-46A6-A36F-436F849D4D35}";
inline constexpr const wchar_t* kAddinKey = L"Software\\Microsoft\\Office\\Excel\\Addins\\TarnwickAddin.ZereZovaveAddin";

std::wstring ExeDir();
std::wstring AddinDllPath();
std::wstring SystemDir();
std::wstring ControlModulePath();  // <system>\Corvane.ocx

// Runs a command line and waits; the exit code, or nothing on a timeout.
std::optional<DWORD> RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 120000);
// Wine's regsvr32 on the add-in DLL, silently.
std::optional<DWORD> Regsvr32(bool unregister);

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const wchar_t* name);
std::optional<DWORD> RegDword(HKEY root, const std::wstring& key, const wchar_t* name);
bool RegKeyExists(HKEY root, const std::wstring& key);
void RegDeleteTree(HKEY root, const std::wstring& key);
std::optional<FILETIME> FileWriteTime(const std::wstring& path);
std::vector<BYTE> ReadFileBytes(const std::wstring& path);
// Resource ("OFFICE", 101, Chinese PRC) of the add-in DLL, read as data.
std::vector<BYTE> EmbeddedControlModule();

// The tab control's class as its ProgID names it, registered with its server.
inline constexpr const wchar_t* kControlProgId = L"Corvane.TabControl";
bool TabControlRegistered();
void ForgetTabControl();  // removes its class and ProgID keys

// The add-in as Office holds it: created by ProgID.
tarnwick::win32::ComPtr<IDTExtensibility2> CreateAddin(HRESULT* result = nullptr);

struct Tab {
    std::wstring name;
    bool selected = false;
    RECT screen{};  // its accessible location
};
// The tabs of the first window below `root` whose accessible tree has page
// tabs; nothing when no window has any.
std::optional<std::vector<Tab>> ReadTabs(HWND root);
// The first child window of `parent`, in Z order.
HWND FirstChild(HWND parent);

}  // namespace addintest

namespace addintest {
// A left click at a screen point, posted to the window under it as the
// mouse would deliver it (no real pointer under Xvfb needed).
void ClickAt(POINT screen);
}  // namespace addintest
