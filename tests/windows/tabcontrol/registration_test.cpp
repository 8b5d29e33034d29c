// Registration by regsvr32, as the add-in deploys the module: the class, its
// ProgIDs and the type library; unregistration that removes all of it,
// tolerates missing keys and leaves another class's ProgID alone.
#include <vector>

#include "corvane/ids.h"
#include "guids.h"
#include "host.h"

namespace tabtest {
namespace {

std::wstring ReadDefault(const std::wstring& key, const wchar_t* name = nullptr) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<missing>";
    wchar_t value[512] = L"";
    DWORD size = sizeof(value);
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? std::wstring(value) : L"<missing>";
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

int Regsvr32(const std::wstring& switches) {
    return RunProcess(SystemDirectory() + L"\\regsvr32.exe", L"regsvr32 " + switches + L" " + OcxPath());
}

const std::wstring kClsidKey = std::wstring(L"CLSID\\") + corvane::guid_text::kClsidTabControl;

// Every top-level key registration creates; /u must take them all away.
std::vector<std::wstring> KeysWritten() {
    using namespace corvane::guid_text;
    std::vector<std::wstring> keys = {kClsidKey, corvane::kProgId, corvane::kProgIdVersioned,
                                      std::wstring(L"TypeLib\\") + kLibId};
    for (const wchar_t* diid : {kDiidTabControl, kDiidTabControlEvents, kDiidTabControlItem, kDiidPaintManager,
                                kDiidColorSet}) {
        keys.push_back(std::wstring(L"Interface\\") + diid);
    }
    return keys;
}

TEST(TabControlRegistration, TheProgIdNamesTheClassAndTheClassNamesThisModule) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, corvane::win::kClsidTabControl));
    EXPECT_EQ(_wcsicmp(ReadDefault(kClsidKey + L"\\InprocServer32").c_str(), OcxPath().c_str()), 0)
        << Narrow(ReadDefault(kClsidKey + L"\\InprocServer32"));
    EXPECT_EQ(ReadDefault(kClsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_TRUE(KeyExists(kClsidKey + L"\\Control"));
    EXPECT_EQ(ReadDefault(kClsidKey + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(ReadDefault(kClsidKey + L"\\TypeLib"), corvane::guid_text::kLibId);
    EXPECT_EQ(ReadDefault(std::wstring(corvane::kProgId) + L"\\CurVer"), corvane::kProgIdVersioned);
    EXPECT_EQ(ReadDefault(kClsidKey + L"\\ProgID"), corvane::kProgIdVersioned);
    EXPECT_EQ(ReadDefault(kClsidKey + L"\\VersionIndependentProgID"), corvane::kProgId);
    CLSID versioned{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgIdVersioned, &versioned), S_OK);
    EXPECT_TRUE(IsEqualCLSID(versioned, corvane::win::kClsidTabControl));
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(corvane::win::kLibId, 1, 0, LANG_NEUTRAL, lib.put()), S_OK);
}

TEST(TabControlRegistration, UnregisteringTwiceSucceedsAndRegisteringAgainRestoresEverything) {
    for (const std::wstring& key : KeysWritten()) {
        ASSERT_TRUE(KeyExists(key)) << "registered: " << Narrow(key);
    }
    ASSERT_EQ(Regsvr32(L"/u /s"), 0);
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    for (const std::wstring& key : KeysWritten()) {
        EXPECT_FALSE(KeyExists(key)) << "left behind: " << Narrow(key);
    }
    EXPECT_EQ(Regsvr32(L"/u /s"), 0) << "missing keys are no error";

    ASSERT_EQ(Regsvr32(L"/s"), 0);
    EXPECT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    EXPECT_TRUE(KeyExists(kClsidKey + L"\\InprocServer32"));
}

TEST(TabControlRegistration, UnregisteringLeavesAProgIdThatNamesAnotherClass) {
    ASSERT_EQ(Regsvr32(L"/u /s"), 0);
    const std::wstring foreign = L"{00000000-1111-2222-3333-444444444444}";
    HKEY h = nullptr;
    const std::wstring key = std::wstring(corvane::kProgId) + L"\\CLSID";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                   static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);

    EXPECT_EQ(Regsvr32(L"/u /s"), 0);
    EXPECT_EQ(ReadDefault(key), foreign);

    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, corvane::kProgId);
    ASSERT_EQ(Regsvr32(L"/s"), 0);
    EXPECT_EQ(ReadDefault(key), corvane::guid_text::kClsidTabControl);
}

}  // namespace
}  // namespace tabtest
