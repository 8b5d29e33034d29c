// First-use deployment of the tab control module: written from our own
// resources into the system directory and registered there.
//
// The registration tool is started by its full path in the system directory
// (never found through a search path) with the module path quoted, and it is
// awaited for a few seconds so that the strip can create the control on the
// very first start. The wait for the written file is bounded: a file that
// never becomes visible to the lookup (hidden or system attribute) is still
// registered after the wait. Every failure passes to the caller.
#include "support/deployment.h"

#include <vector>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"

namespace tarnwick {

namespace {

constexpr int kFileWaitPasses = 50;
constexpr uint32_t kRegistrationWaitMs = 5000;

std::wstring ControlPath() {
    return GetSystemDir() + L"\\" + kControlFileName;
}

}  // namespace

std::wstring GetSystemDir() {
    return Plat().GetSystemDirectoryA();
}

void LoadControlResource(int32_t id, const std::wstring& path) {
    const std::vector<uint8_t> data = Plat().LoadModuleResource(kControlResourceType, id);
    Plat().WriteBinaryFile(path, data);
}

void DeployTabControl() {
    if (Plat().FindOrdinaryFile(ControlPath())) return;

    const std::wstring path = ControlPath();
    LoadControlResource(kControlResourceId, path);

    for (int pass = 0; pass < kFileWaitPasses && !Plat().FindOrdinaryFile(ControlPath()); ++pass) {
        Plat().DoEvents();
    }

    const std::wstring regsvr32 = GetSystemDir() + L"\\regsvr32.exe";
    const std::wstring commandLine = L"\"" + regsvr32 + L"\" \"" + ControlPath() + L"\" /s";
    if (!Plat().StartProcess(regsvr32, commandLine, win::SW_SHOWNORMAL, kRegistrationWaitMs)) {
        throw HostError(hr::E_FAIL_);
    }
}

}  // namespace tarnwick
