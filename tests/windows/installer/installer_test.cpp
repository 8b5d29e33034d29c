// TarnwickSetup.msi under Wine's msiexec, in a prefix made fresh for this
// suite: per user and with ALLUSERS=1, each installed silently, started in
// the fake Excel without regsvr32 (with the system directory writable and
// with it blocked), upgraded from a lower version and uninstalled; the two
// scopes refusing each other; and the add-in registered by an
// administrator's regsvr32 instead. The registry the package writes is
// compared with what the modules' own DllRegisterServer writes in the same
// prefix.
//   installer_tests MSI OLD_MSI ADDIN_DLL CONTROL_OCX OLD_CONTROL_OCX VERSION
// (Unix paths, reached through Wine's Z: drive).
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "addin_harness.h"

namespace addintest {
namespace {

constexpr wchar_t kUpgradeCode[] = L"{C83D890C-E20A-438E-AAEC-18EB35003DF9}";
constexpr wchar_t kProductName[] = L"Tarnwick 工作簿标签栏";
constexpr wchar_t kPublisher[] = L"Tarnwick 开发组";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\Tarnwick\\Excel";

struct Inputs {
    std::wstring msi, oldMsi, addin, control, oldControl, version;
};
Inputs g_in;

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(::towlower(c));
    return s;
}

std::string Narrow(const std::wstring& s) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Registry values below a key, "relative\key|name" -> "type:data", key
// paths and names in lower case; with `keys`, every key also as "path\".
using Values = std::map<std::wstring, std::wstring>;

void Collect(HKEY parent, const std::wstring& key, const std::wstring& rel, bool keys, Values& out) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(parent, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    if (keys) out[rel + L"\\"] = L"";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD nameLength = 1024, size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueW(k, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        std::wstring text;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            text.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
        } else if (type == REG_DWORD) {
            text = std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
        } else {
            for (DWORD b = 0; b < size; ++b) text += std::to_wstring(data[b]) + L",";
        }
        out[rel + L"|" + Lower(std::wstring(name, nameLength))] = std::to_wstring(type) + L":" + text;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t child[512];
        DWORD length = 512;
        if (::RegEnumKeyExW(k, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring name(child, length);
        Collect(k, name, rel.empty() ? Lower(name) : rel + L"\\" + Lower(name), keys, out);
    }
    ::RegCloseKey(k);
}

Values Snapshot(HKEY root, const std::wstring& key, bool keys = false) {
    Values out;
    Collect(root, key, L"", keys, out);
    return out;
}

// What `after` has that `before` has not, or holds otherwise.
Values Added(const Values& before, const Values& after) {
    Values added;
    for (const auto& [k, v] : after) {
        auto it = before.find(k);
        if (it == before.end() || it->second != v) added[k] = v;
    }
    return added;
}

// Left out of the uninstall comparison: Wine's own per-session keys, and the
// empty container keys Windows Installer keeps once it has installed anything.
bool Ignorable(const std::wstring& entry) {
    if (entry.rfind(L"wine\\", 0) == 0) return true;
    if (entry.empty() || entry.back() != L'\\') return false;
    for (const wchar_t* installer : {L"microsoft\\installer\\", L"classes\\installer\\",
                                     L"microsoft\\windows\\currentversion\\installer\\"}) {
        if (entry.rfind(installer, 0) == 0) return true;
    }
    return false;
}

Values Relevant(Values values) {
    std::erase_if(values, [](const auto& e) { return Ignorable(e.first); });
    return values;
}

std::string Changes(const Values& before, const Values& after) {
    std::string text;
    for (const auto& [k, v] : Added(before, after)) text += "  + " + Narrow(k) + " = " + Narrow(v) + "\n";
    for (const auto& [k, v] : before) {
        if (!after.count(k)) text += "  - " + Narrow(k) + "\n";
    }
    return text;
}

// Paths written relative to the folder of the modules: "<dir>" for the
// folder, without the long-path prefix Wine's type library registration
// adds, and without the trailing backslash an installer folder property has.
Values Normalised(const Values& values, const std::wstring& dir) {
    Values out;
    const std::wstring folder = Lower(dir);
    for (auto [k, v] : values) {
        std::wstring lower = Lower(v);
        if (size_t at = lower.find(L"\\\\?\\"); at != std::wstring::npos) {
            v.erase(at, 4);
            lower.erase(at, 4);
        }
        if (size_t at = lower.find(folder); at != std::wstring::npos) v.replace(at, folder.size(), L"<dir>");
        if (v.size() > 2 && v.back() == L'\\') v.pop_back();
        out[k] = v;
    }
    return out;
}

// The registry areas a registration of the two modules touches. Windows
// Installer's own records under the machine's classes are not ours.
struct Areas {
    Values userClasses, machineClasses, userOffice, machineOffice;
};

Areas TakeAreas() {
    Areas a{Snapshot(HKEY_CURRENT_USER, L"Software\\Classes"), Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Classes"),
            Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office"),
            Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office")};
    std::erase_if(a.machineClasses, [](const auto& e) { return e.first.rfind(L"installer\\", 0) == 0; });
    return a;
}

struct Registration {
    Values classes, office;
};
Registration g_reference;  // what regsvr32 on both modules writes, normalised

std::wstring FromUnix(const char* path) {
    std::wstring out = L"Z:";
    for (const char* p = path; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// msiexec with its exit code; the time it took in `ms`.
std::optional<DWORD> Msiexec(const std::wstring& arguments, DWORD* ms = nullptr) {
    const DWORD start = ::GetTickCount();
    auto code = RunAndWait(L"\"" + SystemDir() + L"\\msiexec.exe\" " + arguments, 300000);
    if (ms) *ms = ::GetTickCount() - start;
    return code;
}

std::vector<std::wstring> InstalledProducts() {
    std::vector<std::wstring> products;
    wchar_t code[39];
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) {
        products.emplace_back(code);
    }
    return products;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property) {
    wchar_t value[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    if (::MsiGetProductInfoW(product.c_str(), property, value, &size) != ERROR_SUCCESS) return L"(unreadable)";
    return value;
}

void RecordTime(const char* what, DWORD ms) {
    std::printf("[ timing   ] %s: %lu ms\n", what, static_cast<unsigned long>(ms));
}

std::wstring SystemControl() {
    return SystemDir() + L"\\Corvane.ocx";
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A directory in the module's place makes any write of the control to the
// system directory fail, as for a user without administrator rights.
void BlockSystemDirectory(bool blocked) {
    if (blocked) {
        ASSERT_TRUE(::CreateDirectoryW(SystemControl().c_str(), nullptr));
    } else {
        ::RemoveDirectoryW(SystemControl().c_str());
    }
}

// The fake Excel started on the add-in at `addin`; the control must come from `control`.
std::optional<DWORD> StartExcel(const std::wstring& addin, const std::wstring& control) {
    return RunAndWait(L"\"" + ExeDir() + L"\\installed_host.exe\" \"" + addin + L"\" \"" + control + L"\"");
}

class Environment : public testing::Environment {
public:
    void SetUp() override {
        const std::wstring dir = L"C:\\tarnwick-reference";
        ::CreateDirectoryW(dir.c_str(), nullptr);
        const std::wstring addin = dir + L"\\TarnwickAddin.dll", control = dir + L"\\Corvane.ocx";
        ASSERT_TRUE(::CopyFileW(g_in.addin.c_str(), addin.c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(g_in.control.c_str(), control.c_str(), FALSE));
        const std::wstring regsvr32 = L"\"" + SystemDir() + L"\\regsvr32.exe\" /s ";
        const Areas before = TakeAreas();
        ASSERT_EQ(RunAndWait(regsvr32 + L"\"" + addin + L"\""), 0u);
        ASSERT_EQ(RunAndWait(regsvr32 + L"\"" + control + L"\""), 0u);
        const Areas after = TakeAreas();
        // Wine's regsvr32 is an administrator's: the add-in record is the machine's.
        g_reference = {Normalised(Added(before.machineClasses, after.machineClasses), dir),
                       Normalised(Added(before.machineOffice, after.machineOffice), dir)};
        ASSERT_EQ(RunAndWait(regsvr32 + L"/u \"" + addin + L"\""), 0u);
        ASSERT_EQ(RunAndWait(regsvr32 + L"/u \"" + control + L"\""), 0u);
        // Unregistration keeps the empty Office keys above the add-in entry;
        // a fresh prefix has none.
        if (before.machineOffice.empty()) RegDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office");
        ::DeleteFileW(addin.c_str());
        ::DeleteFileW(control.c_str());
        ::RemoveDirectoryW(dir.c_str());
        ASSERT_GT(g_reference.classes.size(), 40u);
        ASSERT_EQ(g_reference.office.size(), 4u);

        // The user's look of the strip, from an earlier installation.
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const wchar_t theme[] = L"1";
        ::RegSetValueExW(key, L"Theme", 0, REG_SZ, reinterpret_cast<const BYTE*>(theme), sizeof theme);
        ::RegCloseKey(key);
    }
};

TEST(PackageDatabase, ChineseTextsAreStoredInCodePage936AndTheSummaryStaysAscii) {
    MSIHANDLE db = 0;
    ASSERT_EQ(::MsiOpenDatabaseW(g_in.msi.c_str(), MSIDBOPEN_READONLY, &db), ERROR_SUCCESS);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    ASSERT_EQ(::MsiDatabaseExportW(db, L"_ForceCodepage", temp, L"codepage.idt"), ERROR_SUCCESS);
    ::MsiCloseHandle(db);
    const std::wstring exported = std::wstring(temp) + L"codepage.idt";
    const auto bytes = ReadFileBytes(exported);
    ::DeleteFileW(exported.c_str());
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("936\t_ForceCodepage"), std::string::npos);

    // wixl writes summary strings in UTF-8 whatever their code page says, so
    // they must stay ASCII to read right on a Chinese Windows.
    MSIHANDLE summary = 0;
    ASSERT_EQ(::MsiGetSummaryInformationW(0, g_in.msi.c_str(), 0, &summary), ERROR_SUCCESS);
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    DWORD size = 0;
    EXPECT_EQ(::MsiSummaryInfoGetPropertyW(summary, 1 /* PID_CODEPAGE */, &type, &number, &time, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 936);
    for (UINT pid : {PIDSI_TITLE, PIDSI_SUBJECT, PIDSI_AUTHOR, PIDSI_KEYWORDS, PIDSI_COMMENTS}) {
        wchar_t text[512] = L"";
        size = 512;
        ::MsiSummaryInfoGetPropertyW(summary, pid, &type, &number, &time, text, &size);
        for (const wchar_t* c = text; *c; ++c) EXPECT_LT(*c, 0x80) << "summary property " << pid;
    }
    ::MsiCloseHandle(summary);
}

// The first column of every row a query on the package gives.
std::vector<std::wstring> Query(const std::wstring& sql) {
    std::vector<std::wstring> rows;
    MSIHANDLE db = 0, view = 0, record = 0;
    if (::MsiOpenDatabaseW(g_in.msi.c_str(), MSIDBOPEN_READONLY, &db) != ERROR_SUCCESS) return rows;
    if (::MsiDatabaseOpenViewW(db, sql.c_str(), &view) == ERROR_SUCCESS && ::MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        while (::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            wchar_t text[1024] = L"";
            DWORD size = 1024;
            ::MsiRecordGetStringW(record, 1, text, &size);
            rows.emplace_back(text);
            ::MsiCloseHandle(record);
        }
        ::MsiCloseHandle(view);
    }
    ::MsiCloseHandle(db);
    return rows;
}

bool HasChinese(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x4E00 && c <= 0x9FFF; });
}

TEST(PackageDatabase, AsksForWindowsInstaller2AndSpeaksChineseInItsSummaryMessagesAndDialogs) {
    MSIHANDLE summary = 0;
    ASSERT_EQ(::MsiGetSummaryInformationW(0, g_in.msi.c_str(), 0, &summary), ERROR_SUCCESS);
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t text[256] = L"";
    DWORD size = 256;
    ::MsiSummaryInfoGetPropertyW(summary, PIDSI_PAGECOUNT, &type, &number, &time, nullptr, nullptr);
    EXPECT_EQ(number, 200) << "Windows XP SP2 ships Windows Installer 3.0";
    ::MsiSummaryInfoGetPropertyW(summary, PIDSI_TEMPLATE, &type, &number, &time, text, &size);
    EXPECT_STREQ(text, L"Intel;2052");
    ::MsiCloseHandle(summary);
    EXPECT_EQ(Query(L"SELECT `Value` FROM `Property` WHERE `Property`='ProductLanguage'"),
              std::vector<std::wstring>{L"2052"});

    SCOPED_TRACE("every message of the package is Chinese");
    const auto messages = Query(L"SELECT `Description` FROM `LaunchCondition`");
    EXPECT_EQ(messages.size(), 3u);
    for (const std::wstring& message : messages) EXPECT_TRUE(HasChinese(message)) << Narrow(message);

    SCOPED_TRACE("progress, then the outcome, when the package runs with its user interface");
    for (const wchar_t* dialog : {L"ProgressDlg", L"ExitDlg", L"UserExitDlg", L"FatalErrorDlg"}) {
        EXPECT_EQ(Query(std::wstring(L"SELECT `Action` FROM `InstallUISequence` WHERE `Action`='") + dialog + L"'").size(),
                  1u)
            << Narrow(dialog);
    }
    EXPECT_EQ(Query(L"SELECT `Action` FROM `InstallUISequence` WHERE `Sequence`=-1"),
              std::vector<std::wstring>{L"ExitDlg"});
    const auto outcome = Query(L"SELECT `Text` FROM `Control` WHERE `Dialog_`='ExitDlg' AND `Type`='Text'");
    ASSERT_EQ(outcome.size(), 2u) << "installed and removed";
    for (const std::wstring& line : outcome) EXPECT_TRUE(HasChinese(line)) << Narrow(line);
    EXPECT_EQ(Query(L"SELECT `Control_` FROM `EventMapping` WHERE `Event`='SetProgress'"),
              std::vector<std::wstring>{L"ProgressBar"});
}

struct Scope {
    const char* name;
    bool machine;
    bool systemDirectoryWritable;  // as for an administrator
};

class Package : public testing::TestWithParam<Scope> {
protected:
    void SetUp() override { BlockSystemDirectory(!GetParam().systemDirectoryWritable); }
    void TearDown() override { BlockSystemDirectory(false); }

    bool machine() const { return GetParam().machine; }
    std::wstring Options() const { return machine() ? L" /qn ALLUSERS=1" : L" /qn"; }
    // Per user in the local, non-roaming folder, beside the user's classes.
    std::wstring Dir() const { return Folder(machine() ? CSIDL_PROGRAM_FILES : CSIDL_LOCAL_APPDATA) + L"\\Tarnwick"; }

    DWORD Install(const std::wstring& msi) {
        DWORD ms = 0;
        EXPECT_EQ(Msiexec(L"/i \"" + msi + L"\"" + Options(), &ms), 0u);
        return ms;
    }

    // The registration now in place is exactly the modules' own, in this
    // scope's half of the registry, and the other half is untouched.
    void ExpectRegistration(const Areas& before) {
        const Areas now = TakeAreas();
        const Values& classesBefore = machine() ? before.machineClasses : before.userClasses;
        const Values& officeBefore = machine() ? before.machineOffice : before.userOffice;
        const Values classes = Normalised(Added(classesBefore, machine() ? now.machineClasses : now.userClasses), Dir());
        const Values office = Normalised(Added(officeBefore, machine() ? now.machineOffice : now.userOffice), Dir());
        EXPECT_EQ(Changes(g_reference.classes, classes), "") << "classes, against what regsvr32 writes";
        EXPECT_EQ(Changes(g_reference.office, office), "") << "add-in entry, against what regsvr32 writes";
        EXPECT_EQ(Changes(machine() ? before.userClasses : before.machineClasses,
                          machine() ? now.userClasses : now.machineClasses), "");
        EXPECT_EQ(Changes(machine() ? before.userOffice : before.machineOffice,
                          machine() ? now.userOffice : now.machineOffice), "");
    }

    void ExpectFiles(const std::wstring& control) {
        EXPECT_EQ(ReadFileBytes(Dir() + L"\\TarnwickAddin.dll"), ReadFileBytes(g_in.addin));
        EXPECT_EQ(ReadFileBytes(Dir() + L"\\Corvane.ocx"), ReadFileBytes(control));
        const std::vector<BYTE> note = ReadFileBytes(Dir() + L"\\INSTALL.txt");
        ASSERT_GT(note.size(), 3u);
        EXPECT_EQ(std::string(note.begin(), note.begin() + 3), "\xEF\xBB\xBF") << "INSTALL.txt without a BOM";
        for (size_t i = 0; i < note.size(); ++i) {
            if (note[i] != '\n') continue;
            ASSERT_TRUE(i > 0 && note[i - 1] == '\r') << "INSTALL.txt: a bare LF at byte " << i;
        }
    }

    void UninstallAndExpectNothingLeft(const Values& userBefore, const Values& machineBefore, const char* what) {
        DWORD ms = 0;
        EXPECT_EQ(Msiexec(L"/x \"" + g_in.msi + L"\"" + Options(), &ms), 0u);
        RecordTime(what, ms);
        EXPECT_TRUE(InstalledProducts().empty());
        EXPECT_FALSE(IsDirectory(Dir())) << "install folder left";
        EXPECT_EQ(RegString(HKEY_CURRENT_USER, kSettingsKey, L"Theme"), L"1");
        EXPECT_EQ(Changes(Relevant(userBefore), Relevant(Snapshot(HKEY_CURRENT_USER, L"Software", true))), "");
        EXPECT_EQ(Changes(Relevant(machineBefore), Relevant(Snapshot(HKEY_LOCAL_MACHINE, L"Software", true))), "");
    }
};

TEST_P(Package, InstallsSilentlyRunsInExcelWithoutRegistrationAndUninstallsCleanly) {
    const Values userBefore = Snapshot(HKEY_CURRENT_USER, L"Software", true);
    const Values machineBefore = Snapshot(HKEY_LOCAL_MACHINE, L"Software", true);
    const Areas before = TakeAreas();

    SCOPED_TRACE("install");
    RecordTime((std::string(GetParam().name) + " install").c_str(), Install(g_in.msi));
    ExpectFiles(g_in.control);
    ExpectRegistration(before);
    const auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME), kProductName);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_PUBLISHER), kPublisher);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), g_in.version);
    wchar_t version[64] = L"";
    DWORD size = 64;
    const MSIINSTALLCONTEXT context = machine() ? MSIINSTALLCONTEXT_MACHINE : MSIINSTALLCONTEXT_USERUNMANAGED;
    EXPECT_EQ(::MsiGetProductInfoExW(products[0].c_str(), machine() ? nullptr : L"", context,
                                     INSTALLPROPERTY_VERSIONSTRING, version, &size),
              static_cast<UINT>(ERROR_SUCCESS))
        << "not installed in the " << GetParam().name << " context";
    const std::wstring icon = ProductInfo(products[0], INSTALLPROPERTY_PRODUCTICON);
    EXPECT_FALSE(ReadFileBytes(icon).empty()) << "product icon " << Narrow(icon);

    SCOPED_TRACE("the fake Excel, started afterwards, uses the package's control and writes nothing");
    EXPECT_EQ(StartExcel(Dir() + L"\\TarnwickAddin.dll", Dir() + L"\\Corvane.ocx"), 0u);
    if (GetParam().systemDirectoryWritable) {
        EXPECT_FALSE(Exists(SystemControl())) << "the system directory was written";
    }
    EXPECT_FALSE(Exists(Folder(CSIDL_LOCAL_APPDATA) + L"\\Tarnwick\\Corvane.ocx") && machine())
        << "the add-in made a copy of its own";

    SCOPED_TRACE("the other scope refuses to install beside this one");
    const wchar_t* other = machine() ? L" /qn" : L" /qn ALLUSERS=1";
    EXPECT_EQ(Msiexec(L"/i \"" + g_in.msi + L"\"" + other), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    EXPECT_EQ(InstalledProducts().size(), 1u);

    SCOPED_TRACE("uninstall");
    UninstallAndExpectNothingLeft(userBefore, machineBefore, (std::string(GetParam().name) + " uninstall").c_str());
}

TEST_P(Package, UpgradeFromALowerVersionLeavesOneProductWithTheNewFiles) {
    const Values userBefore = Snapshot(HKEY_CURRENT_USER, L"Software", true);
    const Values machineBefore = Snapshot(HKEY_LOCAL_MACHINE, L"Software", true);
    const Areas before = TakeAreas();

    Install(g_in.oldMsi);
    ExpectFiles(g_in.oldControl);
    ASSERT_EQ(InstalledProducts().size(), 1u);

    RecordTime((std::string(GetParam().name) + " upgrade").c_str(), Install(g_in.msi));
    const auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), g_in.version);
    ExpectFiles(g_in.control);
    ExpectRegistration(before);

    UninstallAndExpectNothingLeft(userBefore, machineBefore, (std::string(GetParam().name) + " uninstall").c_str());
}

INSTANTIATE_TEST_SUITE_P(Scopes, Package,
                         testing::Values(Scope{"per-user", false, false}, Scope{"machine-wide", true, false},
                                         Scope{"per-user", false, true}, Scope{"machine-wide", true, true}),
                         [](const auto& info) {
                             return std::string(info.param.machine ? "Machine" : "PerUser") +
                                    (info.param.systemDirectoryWritable ? "SystemDirectoryWritable" : "SystemDirectoryBlocked");
                         });

// Without the package: an administrator's regsvr32, the first start deploying
// the control into the system directory, and regsvr32 /u taking all of it away.
TEST(Regsvr32, AnAdministratorsRegistrationServesEveryUserAndUnregistrationLeavesNothing) {
    const Values userBefore = Snapshot(HKEY_CURRENT_USER, L"Software");
    const Values machineBefore = Snapshot(HKEY_LOCAL_MACHINE, L"Software");
    const bool officeKeysBefore = RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office");
    const std::wstring dir = Folder(CSIDL_PROGRAM_FILES) + L"\\Tarnwick by hand", addin = dir + L"\\TarnwickAddin.dll";
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(g_in.addin.c_str(), addin.c_str(), FALSE));
    const std::wstring regsvr32 = L"\"" + SystemDir() + L"\\regsvr32.exe\" /s ";
    ASSERT_EQ(RunAndWait(regsvr32 + L"\"" + addin + L"\""), 0u);
    EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, kAddinKey, L"LoadBehavior"), 3u) << "no record for every user";
    EXPECT_FALSE(RegDword(HKEY_CURRENT_USER, kAddinKey, L"LoadBehavior"));

    EXPECT_EQ(StartExcel(addin, SystemControl()), 0u);
    EXPECT_EQ(ReadFileBytes(SystemControl()), ReadFileBytes(g_in.control));
    SCOPED_TRACE("a second start finds the control and leaves it");
    EXPECT_EQ(StartExcel(addin, SystemControl()), 0u);

    EXPECT_EQ(RunAndWait(regsvr32 + L"/u \"" + addin + L"\""), 0u);
    EXPECT_FALSE(Exists(SystemControl())) << "the deployed control was left behind";
    ::DeleteFileW(addin.c_str());
    ::RemoveDirectoryW(dir.c_str());
    // Unregistration leaves the empty keys above its own, as Windows' tools do.
    EXPECT_EQ(Changes(Relevant(userBefore), Relevant(Snapshot(HKEY_CURRENT_USER, L"Software"))), "");
    EXPECT_EQ(Changes(Relevant(machineBefore), Relevant(Snapshot(HKEY_LOCAL_MACHINE, L"Software"))), "");
    // The other tests compare keys too: none of these empty ones for them.
    if (!officeKeysBefore) RegDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office");
}

}  // namespace
}  // namespace addintest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: installer_tests MSI OLD_MSI ADDIN_DLL CONTROL_OCX OLD_CONTROL_OCX VERSION\n");
        return 2;
    }
    using addintest::FromUnix;
    addintest::g_in = {FromUnix(argv[1]), FromUnix(argv[2]), FromUnix(argv[3]),
                       FromUnix(argv[4]), FromUnix(argv[5]), std::wstring(argv[6], argv[6] + strlen(argv[6]))};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(addintest::g_in.msi.c_str(), GetFileExInfoStandard, &data)) {
        std::printf("[ size     ] TarnwickSetup.msi: %lu bytes\n", static_cast<unsigned long>(data.nFileSizeLow));
    }
    testing::AddGlobalTestEnvironment(new addintest::Environment);
    return RUN_ALL_TESTS();
}
