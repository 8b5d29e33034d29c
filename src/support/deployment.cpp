// Deployment of the tab control module, written from our own resources.
//
// First use: into the system directory, registered there. The registration
// tool is started by its full path in the system directory (never found
// through a search path) with the module path quoted, and it is awaited for
// a few seconds, with messages processed, so that the strip can create the
// control on the very first start. The wait for the written file is bounded.
// A leftover file with the read-only, hidden or system attribute is cleared
// first: Windows refuses to replace it otherwise. Every failure passes to the
// caller.
//
// Repair, when the strip still cannot create the control (a user who may not
// write the system directory, a module that was never registered): the
// system directory's module is registered again, and failing that a copy in
// the user's own folder is created straight from the module, without any
// registration, which needs no administrator rights at all.
#include "support/deployment.h"

#include <cstring>
#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"

namespace tarnwick {

namespace {

constexpr int kFileWaitPasses = 50;
constexpr uint32_t kRegistrationWaitMs = 5000;
constexpr uint32_t kProtectingAttributes =
    win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_SYSTEM;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;

std::wstring ControlPath() {
    return GetSystemDir() + L"\\" + kControlFileName;
}

// Clears what keeps Windows from replacing the file; a missing file is fine.
void MakeReplaceable(const std::wstring& path) {
    const std::optional<uint32_t> attributes = Plat().FileAttributes(path);
    if (attributes && (*attributes & kProtectingAttributes) != 0) {
        Plat().ChangeFileAttributes(path, win::FILE_ATTRIBUTE_NORMAL);
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

bool IsDirectory(const std::optional<uint32_t>& attributes) {
    return attributes && (*attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A module on disk older than ours, or one whose version cannot be read, is
// replaced where it can be written; a newer one is left alone.
void ReplaceIfOlder(const std::wstring& path, const std::vector<uint8_t>& ours) {
    std::optional<uint64_t> present;
    step([&] { present = ModuleFileVersion(Plat().ReadBinaryFile(path)); });
    const std::optional<uint64_t> embedded = ModuleFileVersion(ours);
    if (present && embedded && *present >= *embedded) return;
    step([&] { WriteModule(path, ours); });
}

bool TryRegisteredSystemModule(const std::vector<uint8_t>& ours, const ControlProbe& created) {
    std::wstring path;
    std::optional<uint32_t> attributes;
    step([&] {
        path = ControlPath();
        attributes = Plat().FileAttributes(path);
    });
    if (!attributes) {
        // Never written (the start-up write failed): try once more.
        bool written = false;
        step([&] {
            WriteModule(path, ours);
            written = true;
        });
        if (!written) return false;
    } else if (IsDirectory(attributes)) {
        return false;
    } else {
        ReplaceIfOlder(path, ours);
    }
    bool started = false;
    step([&] {
        Register(path);
        started = true;
    });
    return started && created(L"");
}

std::optional<std::wstring> TryUserModule(const std::vector<uint8_t>& ours, const ControlProbe& created) {
    std::wstring path;
    bool ready = false;
    step([&] {
        const std::wstring folder = Plat().UserAppDataDirectory() + L"\\" + kUserControlFolder;
        if (!Plat().CreateFolder(folder)) return;
        path = folder + L"\\" + kControlFileName;
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
    if (Plat().FindOrdinaryFile(ControlPath())) return;

    const std::wstring path = ControlPath();
    LoadControlResource(kControlResourceId, path);

    for (int pass = 0; pass < kFileWaitPasses && !Plat().FindOrdinaryFile(ControlPath()); ++pass) {
        Plat().DoEvents();
    }
    Register(ControlPath());
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
    if (TryRegisteredSystemModule(ours, created)) return std::wstring();
    return TryUserModule(ours, created);
}

}  // namespace tarnwick
