// Registration: a table of registry entries written under one root, the
// machine's or the current user's: the classes and the Excel add-in record
// go together, so that a machine-wide registration serves every user (Excel
// 2002/2003 load the add-ins listed under HKLM for everyone) and a user's
// own one serves that user.
//
// The type library's keys are written from the table too, rather than by
// RegisterTypeLib: that writes machine-wide only, and its per-user variant
// came with Vista. The keys are those RegisterTypeLib writes for this
// library: TypeLib\{LIBID}\1.0 and the dual interface's Interface\{IID}
// with the automation marshaller.
#include "com/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <iterator>
#include <optional>
#include <string>

#include "support/com.h"
#include "support/handles.h"

namespace tarnwick::win32 {

namespace {

#define TARNWICK_CLSID L"{157952BC-9669-489A-A948-DBB13BB983A6}"
#define TARNWICK_LIBID L"{1D1D3C5B-2FBC-46A6-A36F-436F849D4D35}"
#define TARNWICK_IID L"{15AF10A4-BDD4-470B-9ED5-497082F38B61}"
#define TARNWICK_PROGID L"TarnwickAddin.ZereZovaveAddin"
#define AUTOMATION_MARSHALLER L"{00020424-0000-0000-C000-000000000046}"
#define TARNWICK_ADDIN_KEY L"Software\\Microsoft\\Office\\Excel\\Addins\\" TARNWICK_PROGID

// What an entry's text stands for when it is not literal.
enum class Text { Literal, ModulePath, ModuleFolder, LibraryHelp };

// One value (or, with `owned`, also the key as a whole) written by
// registration. Class entries are relative to the root's Software\Classes,
// the others to the root itself. `name` null is the key's default value; no
// text and no number writes only the key.
struct RegistryEntry {
    bool isClass;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* text;
    Text kind;
    std::optional<DWORD> number;
    bool owned;  // unregistration deletes this key with everything below it
};

const RegistryEntry kEntries[] = {
    {true, L"CLSID\\" TARNWICK_CLSID, nullptr, L"ZereZovaveAddin", Text::Literal, {}, true},
    {true, L"CLSID\\" TARNWICK_CLSID L"\\InprocServer32", nullptr, nullptr, Text::ModulePath, {}, false},
    {true, L"CLSID\\" TARNWICK_CLSID L"\\InprocServer32", L"ThreadingModel", L"Apartment", Text::Literal, {}, false},
    {true, L"CLSID\\" TARNWICK_CLSID L"\\ProgID", nullptr, TARNWICK_PROGID, Text::Literal, {}, false},
    {true, L"CLSID\\" TARNWICK_CLSID L"\\TypeLib", nullptr, TARNWICK_LIBID, Text::Literal, {}, false},
    {true, TARNWICK_PROGID, nullptr, TARNWICK_PROGID, Text::Literal, {}, true},
    {true, TARNWICK_PROGID L"\\CLSID", nullptr, TARNWICK_CLSID, Text::Literal, {}, false},
    {true, L"TypeLib\\" TARNWICK_LIBID, nullptr, nullptr, Text::Literal, {}, true},
    {true, L"TypeLib\\" TARNWICK_LIBID L"\\1.0", nullptr, nullptr, Text::LibraryHelp, {}, false},
    {true, L"TypeLib\\" TARNWICK_LIBID L"\\1.0\\FLAGS", nullptr, L"0", Text::Literal, {}, false},
    {true, L"TypeLib\\" TARNWICK_LIBID L"\\1.0\\HELPDIR", nullptr, nullptr, Text::ModuleFolder, {}, false},
    {true, L"TypeLib\\" TARNWICK_LIBID L"\\1.0\\0\\win32", nullptr, nullptr, Text::ModulePath, {}, false},
    {true, L"Interface\\" TARNWICK_IID, nullptr, L"_ZereZovaveAddin", Text::Literal, {}, true},
    {true, L"Interface\\" TARNWICK_IID L"\\ProxyStubClsid", nullptr, AUTOMATION_MARSHALLER, Text::Literal, {}, false},
    {true, L"Interface\\" TARNWICK_IID L"\\ProxyStubClsid32", nullptr, AUTOMATION_MARSHALLER, Text::Literal, {}, false},
    {true, L"Interface\\" TARNWICK_IID L"\\TypeLib", nullptr, TARNWICK_LIBID, Text::Literal, {}, false},
    {true, L"Interface\\" TARNWICK_IID L"\\TypeLib", L"Version", L"1.0", Text::Literal, {}, false},
    {false, TARNWICK_ADDIN_KEY, L"FriendlyName", L"TarnwickAddin", Text::Literal, {}, true},
    {false, TARNWICK_ADDIN_KEY, L"Description", L"The COMADDIN for Tarnwick", Text::Literal, {}, false},
    {false, TARNWICK_ADDIN_KEY, L"LoadBehavior", nullptr, Text::Literal, 3, false},
    {false, TARNWICK_ADDIN_KEY, L"CommandLineSafe", nullptr, Text::Literal, 0, false},
};

// A registration root: the machine's or the current user's.
struct ClassesRoot {
    HKEY root;
    const wchar_t* name;
};
const ClassesRoot kMachineClasses{HKEY_LOCAL_MACHINE, L"machine"};
const ClassesRoot kUserClasses{HKEY_CURRENT_USER, L"user"};
constexpr const wchar_t* kClassesPrefix = L"Software\\Classes\\";

struct Target {
    HKEY root;
    std::wstring key;
};

Target Locate(const RegistryEntry& entry, const ClassesRoot& classes) {
    if (!entry.isClass) return {classes.root, entry.key};
    return {classes.root, std::wstring(kClassesPrefix) + entry.key};
}

struct Texts {
    std::wstring modulePath, moduleFolder, libraryHelp;
    const std::wstring& Of(Text kind) const {
        return kind == Text::ModulePath ? modulePath : kind == Text::ModuleFolder ? moduleFolder : libraryHelp;
    }
};

LONG Write(Registry& registry, const RegistryEntry& entry, const ClassesRoot& classes, const Texts& texts) {
    const Target target = Locate(entry, classes);
    RegKeyHandle key;
    LONG status = registry.CreateKey(target.root, target.key, key.put());
    if (status != ERROR_SUCCESS) return status;
    if (entry.number) {
        const DWORD number = *entry.number;
        return ::RegSetValueExW(key.get(), entry.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
    }
    if (!entry.text && entry.kind == Text::Literal) return ERROR_SUCCESS;
    const std::wstring text = entry.kind == Text::Literal ? std::wstring(entry.text) : texts.Of(entry.kind);
    return ::RegSetValueExW(key.get(), entry.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Key deletion removes empty keys only (before Vista), so go depth first.
LONG DeleteTree(Registry& registry, HKEY root, const std::wstring& key) {
    RegKeyHandle handle;
    LONG status = registry.OpenKey(root, key, KEY_READ, handle.put());
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    for (DWORD index = 0;;) {
        wchar_t child[256];
        DWORD length = static_cast<DWORD>(std::size(child));
        if (::RegEnumKeyExW(handle.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // A child that stays (no right to delete it) is stepped over.
        if (DeleteTree(registry, root, key + L"\\" + child) != ERROR_SUCCESS) ++index;
    }
    handle.Reset();
    status = registry.DeleteKey(root, key);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Deletes the owned keys of the class entries (or of the others); the first
// failure is the result.
LONG DeleteOwned(Registry& registry, bool classEntries, const ClassesRoot& classes) {
    LONG result = ERROR_SUCCESS;
    for (auto it = std::rbegin(kEntries); it != std::rend(kEntries); ++it) {
        if (!it->owned || it->isClass != classEntries) continue;
        const Target target = Locate(*it, classes);
        LONG status = DeleteTree(registry, target.root, target.key);
        if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
    }
    return result;
}

LONG WriteAll(Registry& registry, bool classEntries, const ClassesRoot& classes, const Texts& texts) {
    for (const RegistryEntry& entry : kEntries) {
        if (entry.isClass != classEntries) continue;
        LONG status = Write(registry, entry, classes, texts);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

std::optional<std::wstring> ReadDefault(Registry& registry, HKEY root, const std::wstring& key) {
    RegKeyHandle handle;
    if (registry.OpenKey(root, key, KEY_QUERY_VALUE, handle.put()) != ERROR_SUCCESS) return std::nullopt;
    wchar_t buffer[1024] = {};
    DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
    if (::RegQueryValueExW(handle.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::wstring(buffer);
}

// The current user's view of a class key, as COM reads it: the user's own
// entry first, then the machine's.
std::optional<std::wstring> EffectiveDefault(Registry& registry, const std::wstring& key) {
    const std::wstring full = std::wstring(kClassesPrefix) + key;
    if (RegKeyHandle handle; registry.OpenKey(HKEY_CURRENT_USER, full, KEY_QUERY_VALUE, handle.put()) == ERROR_SUCCESS)
        return ReadDefault(registry, HKEY_CURRENT_USER, full);
    return ReadDefault(registry, HKEY_LOCAL_MACHINE, full);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

bool CurrentUserReaches(Registry& registry, const std::wstring& modulePath) {
    const auto clsid = EffectiveDefault(registry, TARNWICK_PROGID L"\\CLSID");
    const auto server = EffectiveDefault(registry, L"CLSID\\" TARNWICK_CLSID L"\\InprocServer32");
    return clsid && *clsid == TARNWICK_CLSID && server && SamePath(*server, modulePath);
}

HRESULT FromStatus(LONG status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

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

class Advapi32Registry final : public Registry {
public:
    LONG CreateKey(HKEY root, const std::wstring& key, HKEY* result) override {
        return ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                 result, nullptr);
    }
    LONG OpenKey(HKEY root, const std::wstring& key, REGSAM access, HKEY* result) override {
        return ::RegOpenKeyExW(root, key.c_str(), 0, access, result);
    }
    LONG DeleteKey(HKEY root, const std::wstring& key) override { return ::RegDeleteKeyW(root, key.c_str()); }
};

}  // namespace

Registry& SystemRegistry() {
    static Advapi32Registry registry;
    return registry;
}

HRESULT RegisterServer(const std::wstring& modulePath, Registry& registry) {
    try {
        Texts texts;
        texts.modulePath = modulePath;
        texts.moduleFolder = modulePath.substr(0, modulePath.find_last_of(L'\\') + 1);
        // The type library is resource 1 of the DLL itself; its help string
        // names it in the registry.
        ComPtr<ITypeLib> library;
        CheckHr(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put()));
        BSTR help = nullptr;
        if (SUCCEEDED(library->GetDocumentation(-1, nullptr, &help, nullptr, nullptr)) && help)
            texts.libraryHelp = help;
        ::SysFreeString(help);

        if (WriteAll(registry, true, kMachineClasses, texts) == ERROR_SUCCESS) {
            LONG status = WriteAll(registry, false, kMachineClasses, texts);
            if (status != ERROR_SUCCESS) return FromStatus(status);
            // A user's own entries would hide the machine's from that user,
            // and a second add-in record would list the add-in twice.
            DeleteOwned(registry, true, kUserClasses);
            DeleteOwned(registry, false, kUserClasses);
        } else {
            // No administrator: what did get written goes, the user's entries come.
            DeleteOwned(registry, true, kMachineClasses);
            for (bool classEntries : {true, false}) {
                LONG status = WriteAll(registry, classEntries, kUserClasses, texts);
                if (status != ERROR_SUCCESS) return FromStatus(status);
            }
        }
        return CurrentUserReaches(registry, modulePath) ? S_OK : SELFREG_E_CLASS;
    } catch (const HostError& e) {
        return static_cast<HRESULT>(e.code());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT RegisterServer(HINSTANCE module) {
    try {
        return RegisterServer(ModulePath(module));
    } catch (const HostError& e) {
        return static_cast<HRESULT>(e.code());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT UnregisterServer(Registry& registry) {
    try {
        LONG result = ERROR_SUCCESS;
        for (const ClassesRoot& classes : {kUserClasses, kMachineClasses}) {
            for (bool classEntries : {false, true}) {
                LONG status = DeleteOwned(registry, classEntries, classes);
                // The machine's entries are not a standard user's to remove:
                // removing the user's own is success for that user.
                if (status == ERROR_ACCESS_DENIED && classes.root == HKEY_LOCAL_MACHINE) continue;
                if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
            }
        }
        return FromStatus(result);
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

}  // namespace tarnwick::win32
