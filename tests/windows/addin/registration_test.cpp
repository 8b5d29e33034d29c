// Registration and unregistration through Wine's regsvr32.
#include <gtest/gtest.h>

#include <windows.h>

#include <variant>

#include "addin_harness.h"
#include "com/registration.h"

namespace addintest {
namespace {

struct ExpectedValue {
    HKEY root;
    std::wstring key;
    const wchar_t* name;  // null: the default value
    std::variant<std::wstring, DWORD> value;
};

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
    return s;
}

template <size_t N>
void ExpectValues(const ExpectedValue (&expected)[N]) {
    for (const ExpectedValue& e : expected) {
        SCOPED_TRACE(testing::Message() << "key " << std::string(e.key.begin(), e.key.end()));
        if (auto* text = std::get_if<std::wstring>(&e.value)) {
            EXPECT_EQ(RegString(e.root, e.key, e.name), *text);
        } else {
            EXPECT_EQ(RegDword(e.root, e.key, e.name), std::get<DWORD>(e.value));
        }
    }
}

TEST(Registration, Regsvr32WritesTheClassProgIdTypeLibraryAndAddinRecord) {
    ASSERT_EQ(Regsvr32(false), 0u);
    // Wine's regsvr32 runs as an administrator: the record is the machine's,
    // for every user, and the administrator has no second one.
    const std::wstring clsid = std::wstring(L"CLSID\\") + kClsid;
    const ExpectedValue expected[] = {
        {HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {HKEY_CLASSES_ROOT, clsid + L"\\ProgID", nullptr, kProgId},
        {HKEY_CLASSES_ROOT, clsid + L"\\TypeLib", nullptr, kLibId},
        {HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, kClsid},
        {HKEY_LOCAL_MACHINE, kAddinKey, L"FriendlyName", L"TarnwickAddin"},
        {HKEY_LOCAL_MACHINE, kAddinKey, L"Description", L"The COMADDIN for Tarnwick"},
        {HKEY_LOCAL_MACHINE, kAddinKey, L"LoadBehavior", DWORD{3}},
        {HKEY_LOCAL_MACHINE, kAddinKey, L"CommandLineSafe", DWORD{0}},
    };
    ExpectValues(expected);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAddinKey));
    auto server = RegString(HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", nullptr);
    ASSERT_TRUE(server);
    EXPECT_EQ(Lower(*server), Lower(AddinDllPath()));

    SCOPED_TRACE("the type library points at the DLL itself");
    auto library = RegString(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId + L"\\1.0\\0\\win32", nullptr);
    ASSERT_TRUE(library);
    EXPECT_EQ(Lower(*library), Lower(AddinDllPath()));
    ITypeLib* loaded = nullptr;
    const GUID libId = {0x1D1D3C5B, 0x2FBC, 0x46A6, {0xA3, 0x6F, 0x43, 0x6F, 0x84, 0x9D, 0x4D, 0x35}};
    ASSERT_EQ(::LoadRegTypeLib(libId, 1, 0, LOCALE_NEUTRAL, &loaded), S_OK);
    BSTR name = nullptr, doc = nullptr;
    loaded->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    EXPECT_STREQ(name, L"TarnwickAddin");
    EXPECT_STREQ(doc, L"The COMADDIN for Excel_Tarnwick");
    ::SysFreeString(name);
    ::SysFreeString(doc);
    loaded->Release();
}

TEST(Registration, Regsvr32UnregisterRemovesEverythingAndToleratesKeysAlreadyGone) {
    ASSERT_EQ(Regsvr32(false), 0u);
    ASSERT_EQ(Regsvr32(true), 0u);
    const std::pair<HKEY, std::wstring> gone[] = {
        {HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid},
        {HKEY_CLASSES_ROOT, kProgId},
        {HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId},
        {HKEY_CLASSES_ROOT, L"Interface\\{15AF10A4-BDD4-470B-9ED5-497082F38B61}"},
        {HKEY_LOCAL_MACHINE, kAddinKey},
        {HKEY_CURRENT_USER, kAddinKey},
    };
    for (const auto& [root, key] : gone) {
        SCOPED_TRACE(testing::Message() << "key " << std::string(key.begin(), key.end()));
        EXPECT_FALSE(RegKeyExists(root, key));
    }
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\Excel\\Addins"))
        << "only our own record goes";

    SCOPED_TRACE("a second unregistration finds nothing and still succeeds");
    EXPECT_EQ(Regsvr32(true), 0u);
    ASSERT_EQ(Regsvr32(false), 0u);
}

// The registry as a user without administrator rights sees it: the
// machine's keys can be read, not written or deleted.
class StandardUserRegistry final : public tarnwick::win32::Registry {
public:
    LONG CreateKey(HKEY root, const std::wstring& key, HKEY* result) override {
        if (Machine(root)) return ERROR_ACCESS_DENIED;
        return real().CreateKey(root, key, result);
    }
    LONG OpenKey(HKEY root, const std::wstring& key, REGSAM access, HKEY* result) override {
        if (Machine(root) && (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0) return ERROR_ACCESS_DENIED;
        return real().OpenKey(root, key, access, result);
    }
    LONG DeleteKey(HKEY root, const std::wstring& key) override {
        if (Machine(root)) return ERROR_ACCESS_DENIED;
        return real().DeleteKey(root, key);
    }

private:
    static bool Machine(HKEY root) { return root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT; }
    static tarnwick::win32::Registry& real() { return tarnwick::win32::SystemRegistry(); }
};

const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kUserClsid = kUserClasses + L"CLSID\\" + kClsid;

TEST(Registration, AStandardUserRegistersForThemselvesAndUnregistersAgain) {
    ASSERT_EQ(Regsvr32(true), 0u);
    StandardUserRegistry user;
    ASSERT_EQ(tarnwick::win32::RegisterServer(AddinDllPath(), user), S_OK);

    const ExpectedValue expected[] = {
        {HKEY_CURRENT_USER, kUserClsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {HKEY_CURRENT_USER, kUserClsid + L"\\ProgID", nullptr, kProgId},
        {HKEY_CURRENT_USER, kUserClasses + kProgId + L"\\CLSID", nullptr, kClsid},
        {HKEY_CURRENT_USER, kUserClasses + L"TypeLib\\" + kLibId + L"\\1.0", nullptr,
         L"The COMADDIN for Excel_Tarnwick"},
        {HKEY_CURRENT_USER, kUserClasses + L"Interface\\{15AF10A4-BDD4-470B-9ED5-497082F38B61}\\ProxyStubClsid32",
         nullptr, L"{00020424-0000-0000-C000-000000000046}"},
        {HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior", DWORD{3}},
    };
    ExpectValues(expected);
    for (const wchar_t* library : {L"\\InprocServer32", L""}) {
        const std::wstring key = library[0] ? kUserClsid + library
                                            : kUserClasses + L"TypeLib\\" + kLibId + L"\\1.0\\0\\win32";
        auto server = RegString(HKEY_CURRENT_USER, key, nullptr);
        ASSERT_TRUE(server);
        EXPECT_EQ(Lower(*server), Lower(AddinDllPath()));
    }
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAddinKey));

    ASSERT_EQ(tarnwick::win32::UnregisterServer(user), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserClsid));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserClasses + kProgId));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserClasses + L"TypeLib\\" + kLibId));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAddinKey));
}

TEST(Registration, FailuresAreReportedAndStaleUserEntriesDoNotHideTheMachines) {
    SCOPED_TRACE("an administrator's registration removes a user's stale one, which would win");
    const std::wstring stale = kUserClsid + L"\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, stale.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t old[] = L"C:\\old\\TarnwickAddin.dll";
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
    ::RegCloseKey(key);
    ASSERT_EQ(Regsvr32(false), 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserClsid));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));

    SCOPED_TRACE("a standard user's unregistration removes that user's own entries and succeeds");
    StandardUserRegistry user;
    ASSERT_EQ(tarnwick::win32::RegisterServer(AddinDllPath(), user), S_OK);
    ASSERT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kAddinKey));
    EXPECT_EQ(tarnwick::win32::UnregisterServer(user), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kAddinKey));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserClsid));
    SCOPED_TRACE("the machine's entries are not that user's to remove");
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAddinKey));
    ASSERT_EQ(Regsvr32(false), 0u);
}

}  // namespace
}  // namespace addintest
