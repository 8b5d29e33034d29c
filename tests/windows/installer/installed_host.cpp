// The fake Excel started after the package was installed, with no regsvr32:
// creates the add-in by its ProgID, waits for the strip and switches
// workbooks with a tab click. Run by installer_tests as a process of its
// own, so that the installed modules are unloaded before the uninstall.
//   installed_host.exe EXPECTED_ADDIN_PATH EXPECTED_CONTROL_PATH
// Exit code 0 on success; otherwise the step that failed, also on stdout.
#include <windows.h>

#include <cstdio>
#include <string>

#include "harness.h"

namespace {

using scen::ComPtr;
using scen::IDTExtensibility2;

std::optional<std::wstring> ClassesString(const std::wstring& key) {
    // Windows' view: the user's classes above the machine's.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (auto value = addintest::RegString(root, L"Software\\Classes\\" + key, nullptr)) return value;
    }
    return std::nullopt;
}

// Wine 8 does not merge HKCU\Software\Classes into HKEY_CLASSES_ROOT as
// Windows 2000 and later do, so its COM cannot see a per-user registration.
// When COM reports the class as unknown, the host resolves it the way
// Windows would: ProgID, CLSID, InprocServer32, DllGetClassObject.
ComPtr<IDTExtensibility2> CreateAsWindowsWould() {
    HRESULT hr = E_FAIL;
    ComPtr<IDTExtensibility2> addin = scen::CreateAddin(&hr);
    if (addin || (hr != REGDB_E_CLASSNOTREG && hr != CO_E_CLASSSTRING)) return addin;
    auto clsidText = ClassesString(std::wstring(addintest::kProgId) + L"\\CLSID");
    if (!clsidText) return addin;
    auto server = ClassesString(L"CLSID\\" + *clsidText + L"\\InprocServer32");
    CLSID clsid{};
    if (!server || FAILED(::CLSIDFromString(clsidText->c_str(), &clsid))) return addin;
    HMODULE module = ::LoadLibraryW(server->c_str());
    auto getClassObject =
        module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
                     reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")))
               : nullptr;
    ComPtr<IClassFactory> factory;
    if (getClassObject && SUCCEEDED(getClassObject(clsid, IID_IClassFactory, factory.put_void()))) {
        factory->CreateInstance(nullptr, addintest::IID_IDTExtensibility2, addin.put_void());
    }
    return addin;
}

int Fail(int code, const char* what) {
    std::printf("installed_host: %s\n", what);
    std::fflush(stdout);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return Fail(1, "usage: installed_host EXPECTED_ADDIN_PATH EXPECTED_CONTROL_PATH");
    if (FAILED(::OleInitialize(nullptr))) return Fail(1, "OleInitialize failed");
    int result = 0;
    {
        scen::Session s({.initialWorkbooks = 3}, false);
        s.addin = CreateAsWindowsWould();
        wchar_t loaded[MAX_PATH] = L"";
        if (HMODULE m = ::GetModuleHandleW(L"TarnwickAddin.dll")) ::GetModuleFileNameW(m, loaded, MAX_PATH);
        if (!s.addin) {
            result = Fail(2, "the add-in could not be created by its ProgID");
        } else if (_wcsicmp(loaded, argv[1]) != 0) {
            result = Fail(3, "the add-in was loaded from somewhere else than the install folder");
        } else if (FAILED(s.Connect())) {
            result = Fail(4, "OnConnection failed");
        } else if (!s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, {}, 15000)) {
            result = Fail(5, "no strip with the tabs Book1, Book2, Book3 docked");
        } else {
            const std::wstring target = s.excel.ActiveWorkbook() == L"Book1" ? L"Book2" : L"Book1";
            s.ClickTab(target);
            if (!s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == target; }, 3000)) {
                result = Fail(6, "a tab click did not activate its workbook");
            }
            wchar_t control[MAX_PATH] = L"";
            if (HMODULE m = ::GetModuleHandleW(L"Corvane.ocx")) ::GetModuleFileNameW(m, control, MAX_PATH);
            if (result == 0 && _wcsicmp(control, argv[2]) != 0) {
                std::wprintf(L"installed_host: the tab control came from \"%ls\"\n", control);
                result = Fail(7, "the tab control in use is not the expected one");
            }
        }
    }
    ::OleUninitialize();
    if (result == 0) std::printf("installed_host: strip docked, tab click switched workbooks\n");
    return result;
}
