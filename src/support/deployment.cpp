// Deployment of the tab control module, written from our own resources.
//
// Start-up: a control that COM already creates from a module of our version
// or newer (a package's, or an earlier deployment) is left alone, so that a
// package's registration is never redirected. An older registered module is
// replaced where it is registered when that file can be written, and
// otherwise handled as the repair below does. A control that is not
// registered at all goes into the system directory and is registered there.
// The registration tool is started by its full path in the system directory
// (never found through a search path) with the module path quoted, and it is
// awaited for a few seconds, with messages processed, so that the strip can
// create the control on the very first start. The wait for the written file
// is bounded. A leftover file with the read-only, hidden or system attribute
// is cleared first: Windows refuses to replace it otherwise.
//
// Repair, when the strip still cannot create the control (a user who may not
// write the system directory, a module that was never registered): the
// system directory's module is registered again, and failing that a copy in
// the user's own folder is created straight from the module, without any
// registration, which needs no administrator rights at all.
//
// Nothing but this code writes Corvane.ocx into the system directory, so
// unregistration may take that copy away; the user's own copy is never
// registered, so a registered module in the same place is a package's.
#include "support/deployment.h"

#include <cstring>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "support/settings.h"

namespace tarnwick {

namespace {

constexpr int kFileWaitPasses = 50;
constexpr uint32_t kRegistrationWaitMs = 5000;
constexpr uint32_t kProtectingAttributes =
    win::file_attribute::ReadOnly | win::file_attribute::Hidden | win::file_attribute::System;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;

constexpr const wchar_t* kClassesKey = L"Software\\Classes\\";

std::wstring ControlPath() {
    return GetSystemDir() + L"\\" + kControlFileName;
}

std::wstring UserFolder() {
    return Plat().UserAppDataDirectory() + L"\\" + kUserControlFolder;
}

std::wstring UserControlPath() {
    return UserFolder() + L"\\" + kControlFileName;
}

// A class key's default text as COM reads it: the user's own key first.
std::wstring ClassesText(const std::wstring& key) {
    for (RegKey root : {win::HKEY_CURRENT_USER, win::HKEY_LOCAL_MACHINE}) {
        std::wstring text;
        step([&] { text = GetSetting(root, kClassesKey + key, L""); });
        if (!text.empty()) return text;
    }
    return L"";
}

std::wstring Unquoted(std::wstring path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    return path;
}

// File names compare without case; ASCII folding is enough for the paths
// compared here, which this code wrote itself.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The version of a module on disk; nothing when it is absent or carries none.
std::optional<uint64_t> VersionOnDisk(const std::wstring& path) {
    std::optional<uint64_t> version;
    step([&] { version = ModuleFileVersion(Plat().ReadBinaryFile(path)); });
    return version;
}

bool AtLeast(const std::optional<uint64_t>& present, const std::vector<uint8_t>& ours) {
    const std::optional<uint64_t> embedded = ModuleFileVersion(ours);
    return present && (!embedded || *present >= *embedded);
}

bool IsDirectory(const std::optional<uint32_t>& attributes) {
    return attributes && (*attributes & win::file_attribute::Directory) != 0;
}

bool IsOrdinaryFile(const std::optional<uint32_t>& attributes) {
    return attributes && (*attributes & win::file_attribute::Directory) == 0;
}

// Clears what keeps Windows from replacing the file; a missing file is fine.
void MakeReplaceable(const std::wstring& path) {
    const std::optional<uint32_t> attributes = Plat().FileAttributes(path);
    if (attributes && (*attributes & kProtectingAttributes) != 0) {
        Plat().ChangeFileAttributes(path, win::file_attribute::Normal);
    }
}

void WriteModule(const std::wstring& path, const std::vector<uint8_t>& module) {
    MakeReplaceable(path);
    Plat().WriteBinaryFile(path, module);
}

void Register(const std::wstring& module) {
    const std::wstring regsvr32 = GetSystemDir() + L"\\regsvr32.exe";
    const std::wstring commandLine = L"\"" + regsvr32 + L"\" \"" + module + L"\" /s";
    if (!Plat().StartProcess(regsvr32, commandLine, win::SW_SHOWNORMAL, kRegistrationWaitMs)) {
        throw HostError(hr::E_FAIL_);
    }
}

// A module on disk older than ours, or one whose version cannot be read, is
// replaced where it can be written; a newer one is left alone.
void ReplaceIfOlder(const std::wstring& path, const std::vector<uint8_t>& ours) {
    if (AtLeast(VersionOnDisk(path), ours)) return;
    step([&] { WriteModule(path, ours); });
}

// A registered module of our version or newer; nothing otherwise.
std::optional<std::wstring> CurrentRegisteredModule(const std::vector<uint8_t>& ours) {
    const std::optional<std::wstring> registered = RegisteredControlModule();
    if (registered && AtLeast(VersionOnDisk(*registered), ours)) return registered;
    return std::nullopt;
}

// Writes (or, when older, replaces) the system directory's module and
// registers it; passes its first failure on.
void DeployToSystemDirectory(const std::vector<uint8_t>& ours) {
    const std::optional<uint32_t> attributes = Plat().FileAttributes(ControlPath());
    if (IsDirectory(attributes)) throw HostError(hr::E_FAIL_);
    if (!attributes) {
        WriteModule(ControlPath(), ours);
        for (int pass = 0; pass < kFileWaitPasses && !Plat().FindOrdinaryFile(ControlPath()); ++pass) {
            Plat().DoEvents();
        }
    } else {
        ReplaceIfOlder(ControlPath(), ours);
    }
    Register(ControlPath());
}

bool TryRegisteredSystemModule(const std::vector<uint8_t>& ours, const ControlProbe& created) {
    bool registered = false;
    step([&] {
        DeployToSystemDirectory(ours);
        registered = true;
    });
    return registered && created(L"");
}

std::optional<std::wstring> TryUserModule(const std::vector<uint8_t>& ours, const ControlProbe& created) {
    std::wstring path;
    bool ready = false;
    step([&] {
        if (!Plat().CreateFolder(UserFolder())) return;
        path = UserControlPath();
        const std::optional<uint32_t> attributes = Plat().FileAttributes(path);
        if (IsDirectory(attributes)) return;
        if (attributes) {
            ReplaceIfOlder(path, ours);
        } else {
            WriteModule(path, ours);
        }
        ready = true;
    });
    if (ready && created(path)) return path;
    return std::nullopt;
}

}  // namespace

std::wstring GetSystemDir() {
    return Plat().GetSystemDirectoryA();
}

void LoadControlResource(int32_t id, const std::wstring& path) {
    WriteModule(path, Plat().LoadModuleResource(kControlResourceType, id));
}

void DeployTabControl() {
    const std::vector<uint8_t> ours = Plat().LoadModuleResource(kControlResourceType, kControlResourceId);
    const std::optional<std::wstring> registered = RegisteredControlModule();
    if (registered && IsOrdinaryFile(Plat().FileAttributes(*registered))) {
        if (AtLeast(VersionOnDisk(*registered), ours)) return;
        bool replaced = false;
        step([&] {
            WriteModule(*registered, ours);
            replaced = true;
        });
        if (replaced) return;
        // Not ours to write (another user's package, a module in use): the
        // repair's ways, judged by what the registration leads to now.
        const ControlProbe registeredIsCurrent = [&](const std::wstring&) {
            return CurrentRegisteredModule(ours).has_value();
        };
        if (TryRegisteredSystemModule(ours, registeredIsCurrent)) return;
        if (auto user = TryUserModule(ours, [](const std::wstring&) { return true; })) State().TabControlModule = *user;
        return;
    }
    DeployToSystemDirectory(ours);
}

std::optional<std::wstring> RegisteredControlModule() {
    const std::wstring clsid = ClassesText(std::wstring(kControlProgId) + L"\\CLSID");
    if (clsid.empty()) return std::nullopt;
    const std::wstring server = Unquoted(ClassesText(L"CLSID\\" + clsid + L"\\InprocServer32"));
    if (server.empty()) return std::nullopt;
    return server;
}

void RemoveDeployedTabControl() {
    try {
        std::optional<std::wstring> registered;
        step([&] { registered = RegisteredControlModule(); });
        const auto isRegistered = [&](const std::wstring& path) { return registered && SamePath(*registered, path); };

        std::wstring system;
        step([&] { system = ControlPath(); });
        if (!system.empty() && IsOrdinaryFile(Plat().FileAttributes(system))) {
            if (isRegistered(system)) {
                const std::wstring regsvr32 = GetSystemDir() + L"\\regsvr32.exe";
                step([&] {
                    Plat().StartProcess(regsvr32, L"\"" + regsvr32 + L"\" /u \"" + system + L"\" /s",
                                        win::SW_SHOWNORMAL, kRegistrationWaitMs);
                });
            }
            // A user who may not write there leaves it: it is the machine's.
            step([&] {
                MakeReplaceable(system);
                Plat().RemoveFile(system);
            });
        }

        std::wstring user;
        step([&] { user = UserControlPath(); });
        if (!user.empty() && !isRegistered(user) && IsOrdinaryFile(Plat().FileAttributes(user))) {
            step([&] {
                MakeReplaceable(user);
                if (Plat().RemoveFile(user)) Plat().RemoveFolder(UserFolder());
            });
        }
    } catch (...) {
    }
}

std::optional<uint64_t> ModuleFileVersion(const std::vector<uint8_t>& module) {
    // VS_FIXEDFILEINFO sits DWORD-aligned in the version resource: signature,
    // structure version, then the file version's high and low halves.
    for (size_t at = 0; at + 16 <= module.size(); at += 4) {
        uint32_t fields[4];
        std::memcpy(fields, module.data() + at, sizeof fields);
        if (fields[0] != kFixedFileInfoSignature) continue;
        return (static_cast<uint64_t>(fields[2]) << 32) | fields[3];
    }
    return std::nullopt;
}

std::optional<std::wstring> RepairTabControl(const ControlProbe& created) {
    std::vector<uint8_t> ours;
    try {
        ours = Plat().LoadModuleResource(kControlResourceType, kControlResourceId);
    } catch (const HostError&) {
        return std::nullopt;
    }
    if (const auto registered = CurrentRegisteredModule(ours); registered && created(*registered)) return registered;
    if (TryRegisteredSystemModule(ours, created)) return std::wstring();
    return TryUserModule(ours, created);
}

}  // namespace tarnwick
