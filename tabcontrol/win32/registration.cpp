// DllRegisterServer / DllUnregisterServer from one table of registry
// entries, plus the type library. Classes go under HKEY_CLASSES_ROOT, the
// machine-wide view (Wine's COM looks nowhere else, and the add-in runs
// regsvr32 for the machine).
#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com_support.h"
#include "corvane/ids.h"
#include "guids.h"
#include "module.h"

namespace corvane::win {
namespace {

// $MODULE$ is replaced by the module's path, $MISC$ by kMiscStatus.
struct RegistryEntry {
    std::wstring key;     // under HKEY_CLASSES_ROOT
    const wchar_t* name;  // null for the default value
    std::wstring value;
};

std::wstring ClsidKey() {
    return std::wstring(L"CLSID\\") + guid_text::kClsidTabControl;
}

std::vector<RegistryEntry> RegistryTable() {
    const std::wstring clsid = ClsidKey();
    const std::wstring version = std::to_wstring(kTypeLibMajor) + L"." + std::to_wstring(kTypeLibMinor);
    return {
        {clsid, nullptr, kClassDisplayName},
        {clsid + L"\\InprocServer32", nullptr, L"$MODULE$"},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, kProgIdVersioned},
        {clsid + L"\\VersionIndependentProgID", nullptr, kProgId},
        {clsid + L"\\Control", nullptr, L""},
        {clsid + L"\\MiscStatus", nullptr, L"0"},
        {clsid + L"\\MiscStatus\\1", nullptr, L"$MISC$"},
        {clsid + L"\\TypeLib", nullptr, guid_text::kLibId},
        {clsid + L"\\Version", nullptr, version},
        {clsid + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr, L""},
        {kProgId, nullptr, kClassDisplayName},
        {std::wstring(kProgId) + L"\\CLSID", nullptr, guid_text::kClsidTabControl},
        {std::wstring(kProgId) + L"\\CurVer", nullptr, kProgIdVersioned},
        {kProgIdVersioned, nullptr, kClassDisplayName},
        {std::wstring(kProgIdVersioned) + L"\\CLSID", nullptr, guid_text::kClsidTabControl},
    };
}

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }
    HKEY* put() { return &key_; }

private:
    HKEY key_ = nullptr;
};

LONG WriteEntry(const RegistryEntry& e, const std::wstring& modulePath) {
    std::wstring value = e.value;
    if (value == L"$MODULE$") value = modulePath;
    if (value == L"$MISC$") value = std::to_wstring(kMiscStatus);
    RegKey key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, e.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

// RegDeleteTree is Vista's; Excel 2002/2003 also run on Windows 2000 and XP.
LONG DeleteTree(HKEY parent, const std::wstring& name) {
    {
        RegKey key;
        LONG rc = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        wchar_t child[256];
        for (;;) {
            DWORD length = static_cast<DWORD>(std::size(child));
            rc = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) return rc;
            rc = DeleteTree(key.get(), child);
            if (rc != ERROR_SUCCESS) return rc;
        }
    }
    const LONG rc = RegDeleteKeyW(parent, name.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Removes a ProgID key only when it still names our class: another control
// may have registered the same ProgID since.
LONG DeleteProgIdIfOurs(const std::wstring& progId) {
    wchar_t clsid[64] = L"";
    LONG size = sizeof(clsid);
    const std::wstring key = progId + L"\\CLSID";
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), clsid, &size) != ERROR_SUCCESS) return ERROR_SUCCESS;
    if (_wcsicmp(clsid, guid_text::kClsidTabControl) != 0) return ERROR_SUCCESS;
    return DeleteTree(HKEY_CLASSES_ROOT, progId);
}

}  // namespace

HRESULT RegisterServer() {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    for (const RegistryEntry& entry : RegistryTable()) {
        if (WriteEntry(entry, path) != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, lib.put()))) return SELFREG_E_TYPELIB;
    return S_OK;
}

HRESULT UnregisterServer() {
    HRESULT result = S_OK;
    // Missing keys are no error: only a registered library is unregistered.
    BSTR registered = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(kLibId, kTypeLibMajor, kTypeLibMinor, LANG_NEUTRAL, &registered))) {
        SysFreeString(registered);
        if (FAILED(UnRegisterTypeLib(kLibId, kTypeLibMajor, kTypeLibMinor, LANG_NEUTRAL, SYS_WIN32))) {
            result = SELFREG_E_TYPELIB;
        }
    }
    if (DeleteProgIdIfOurs(kProgIdVersioned) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
    if (DeleteProgIdIfOurs(kProgId) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
    if (DeleteTree(HKEY_CLASSES_ROOT, ClsidKey()) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
    return result;
}

}  // namespace corvane::win
