#include "com/registration.h"

#include <olectl.h>
#include <oleauto.h>

#include <iterator>
#include <string>

#include "com/addin_object.h"
#include "support/com.h"

namespace tarnwick::win32 {

namespace {

constexpr const wchar_t* kModulePath = L"<module>";  // stands for the DLL's full path

// One value (or, with `owned`, also the key as a whole) written by
// registration. `name` null is the key's default value; `text` null with
// `isDword` false writes no value, only the key.
struct RegistryEntry {
    HKEY root;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* text;
    bool isDword;
    DWORD number;
    bool owned;  // unregistration deletes this key with everything below it
};

#define TARNWICK_CLSID L"{157952BC-9669-489A-A948-DBB13BB983A6}"
#define TARNWICK_LIBID L"{1D1D3C5B-2FBC-46A6-A36F-436F849D4D35}"
#define TARNWICK_PROGID L"TarnwickAddin.ZereZovaveAddin"
#define TARNWICK_ADDIN_KEY L"Software\\Microsoft\\Office\\Excel\\Addins\\" TARNWICK_PROGID

// Under Wine only HKEY_CLASSES_ROOT (machine classes) is seen by COM, so the
// classes go there; Office reads the add-in record per user.
const RegistryEntry kEntries[] = {
    {HKEY_CLASSES_ROOT, L"CLSID\\" TARNWICK_CLSID, nullptr, L"ZereZovaveAddin", false, 0, true},
    {HKEY_CLASSES_ROOT, L"CLSID\\" TARNWICK_CLSID L"\\InprocServer32", nullptr, kModulePath, false, 0, false},
    {HKEY_CLASSES_ROOT, L"CLSID\\" TARNWICK_CLSID L"\\InprocServer32", L"ThreadingModel", L"Apartment", false, 0,
     false},
    {HKEY_CLASSES_ROOT, L"CLSID\\" TARNWICK_CLSID L"\\ProgID", nullptr, TARNWICK_PROGID, false, 0, false},
    {HKEY_CLASSES_ROOT, L"CLSID\\" TARNWICK_CLSID L"\\TypeLib", nullptr, TARNWICK_LIBID, false, 0, false},
    {HKEY_CLASSES_ROOT, TARNWICK_PROGID, nullptr, TARNWICK_PROGID, false, 0, true},
    {HKEY_CLASSES_ROOT, TARNWICK_PROGID L"\\CLSID", nullptr, TARNWICK_CLSID, false, 0, false},
    {HKEY_CURRENT_USER, TARNWICK_ADDIN_KEY, L"FriendlyName", L"TarnwickAddin", false, 0, true},
    {HKEY_CURRENT_USER, TARNWICK_ADDIN_KEY, L"Description", L"The COMADDIN for Tarnwick", false, 0, false},
    {HKEY_CURRENT_USER, TARNWICK_ADDIN_KEY, L"LoadBehavior", nullptr, true, 3, false},
    {HKEY_CURRENT_USER, TARNWICK_ADDIN_KEY, L"CommandLineSafe", nullptr, true, 0, false},
};

std::wstring ModulePath(HINSTANCE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) ThrowLastError();
        // A full buffer may mean a cut path: grow and ask again.
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void CheckWin32(LONG status) {
    if (status != ERROR_SUCCESS) ThrowHr(HRESULT_FROM_WIN32(static_cast<DWORD>(status)));
}

void Write(const RegistryEntry& entry, const std::wstring& modulePath) {
    HKEY raw = nullptr;
    CheckWin32(::RegCreateKeyExW(entry.root, entry.key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &raw,
                                 nullptr));
    struct Closer {
        HKEY k;
        ~Closer() { ::RegCloseKey(k); }
    } closer{raw};
    if (entry.isDword) {
        CheckWin32(::RegSetValueExW(raw, entry.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&entry.number),
                                    sizeof entry.number));
    } else if (entry.text) {
        std::wstring text = entry.text == kModulePath ? modulePath : std::wstring(entry.text);
        CheckWin32(::RegSetValueExW(raw, entry.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }
}

// RegDeleteKey removes empty keys only (before Vista), so go depth first.
LONG DeleteTree(HKEY root, const std::wstring& key) {
    HKEY raw = nullptr;
    LONG status = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WRITE, &raw);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    for (;;) {
        wchar_t child[256];
        DWORD length = static_cast<DWORD>(std::size(child));
        if (::RegEnumKeyExW(raw, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(raw, child) != ERROR_SUCCESS) break;
    }
    ::RegCloseKey(raw);
    status = ::RegDeleteKeyW(root, key.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

HRESULT RegisterServer(HINSTANCE module) {
    try {
        const std::wstring path = ModulePath(module);
        for (const RegistryEntry& entry : kEntries) Write(entry, path);
        // The type library is resource 1 of the DLL itself.
        ComPtr<ITypeLib> library;
        CheckHr(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()));
        CheckHr(::RegisterTypeLib(library.get(), const_cast<LPOLESTR>(path.c_str()), nullptr));
        return S_OK;
    } catch (const HostError& e) {
        return static_cast<HRESULT>(e.code());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT UnregisterServer() {
    try {
        HRESULT result = S_OK;
        for (auto it = std::rbegin(kEntries); it != std::rend(kEntries); ++it) {
            if (!it->owned) continue;
            LONG status = DeleteTree(it->root, it->key);
            if (status != ERROR_SUCCESS && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(static_cast<DWORD>(status));
        }
        // UnRegisterTypeLib fails for a library that is not registered; that
        // is the state we want, so it is asked only when the key is there.
        HKEY library = nullptr;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\" TARNWICK_LIBID, 0, KEY_READ, &library) == ERROR_SUCCESS) {
            ::RegCloseKey(library);
            HRESULT hr = ::UnRegisterTypeLib(LIBID_TarnwickAddin, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        return result;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

}  // namespace tarnwick::win32
