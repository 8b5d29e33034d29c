// First-use deployment of the tab control module.
#include "support/deployment.h"

#include <gtest/gtest.h>

#include <cstring>

#include "foundation_world.h"
#include "interop/host_error.h"

namespace tarnwick::testing {
namespace {

std::vector<uint8_t> ModuleBytes() {
    std::vector<uint8_t> bytes(4096);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

std::unique_ptr<sim::World> MakeMachine(const std::wstring& systemDir = L"C:\\WINDOWS\\system32") {
    auto world = std::make_unique<sim::World>();
    world->SetSystemDirectory(systemDir);
    world->SetResource(kControlResourceType, kControlResourceId, ModuleBytes());
    return world;
}

TEST(Deployment, FirstStartWritesTheModuleAndAwaitsItsRegistration) {
    for (const std::wstring systemDir : {L"C:\\WINDOWS\\system32", L"D:\\Program Files\\Windows Directory\\system32"}) {
        SCOPED_TRACE(Narrow(systemDir));
        auto world = MakeMachine(systemDir);
        const std::wstring module = systemDir + L"\\Corvane.ocx";

        DeployTabControl();

        EXPECT_EQ(world->FileBytes(module), ModuleBytes());
        ASSERT_EQ(world->ProcessStarts().size(), 1u);
        const sim::ProcessStart& start = world->ProcessStarts()[0];
        EXPECT_EQ(start.application, systemDir + L"\\regsvr32.exe") << "never through a search path";
        EXPECT_EQ(start.commandLine, L"\"" + systemDir + L"\\regsvr32.exe\" \"" + module + L"\" /s");
        EXPECT_GT(start.waitMilliseconds, 0u);
        EXPECT_LE(start.waitMilliseconds, 10000u);
    }
}

// A module whose version block says major.0.0.0.
std::vector<uint8_t> Versioned(uint16_t major) {
    std::vector<uint8_t> bytes(256, static_cast<uint8_t>(major));
    const uint32_t fixed[4] = {0xFEEF04BDu, 0x00010000u, uint32_t{major} << 16, 0};
    std::memcpy(bytes.data() + 64, fixed, sizeof fixed);
    return bytes;
}

const std::wstring kSystemModule = L"C:\\WINDOWS\\system32\\Corvane.ocx";
const std::wstring kPackageModule = L"C:\\Program Files\\Tarnwick\\Corvane.ocx";
const std::wstring kUserModule = L"C:\\Documents and Settings\\user\\Application Data\\Tarnwick\\Corvane.ocx";
const std::wstring kMachineClasses = L"#root2\\Software\\Classes\\";  // HKEY_LOCAL_MACHINE in the simulator
const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kClsid = L"{07C96505-90BE-43ED-956A-C748BFE9A951}";

// Our version 2 embedded; the control registered under `classes` at `module`.
std::unique_ptr<sim::World> MachineWithRegisteredControl(const std::wstring& classes, const std::wstring& module,
                                                         std::vector<uint8_t> bytes) {
    auto world = MakeMachine();
    world->SetResource(kControlResourceType, kControlResourceId, Versioned(2));
    world->SetRegistryString(classes + L"Corvane.TabControl\\CLSID", L"", kClsid);
    world->SetRegistryString(classes + L"CLSID\\" + kClsid + L"\\InprocServer32", L"", module);
    world->SetFile(module, std::move(bytes));
    return world;
}

TEST(Deployment, ARegisteredControlOfOurVersionOrNewerIsLeftAlone) {
    const struct {
        const char* name;
        std::wstring classes, module;
        uint16_t version;
    } cases[] = {
        {"a machine-wide package", kMachineClasses, kPackageModule, 2},
        {"a per-user package with a newer control", kUserClasses, kPackageModule, 3},
        {"an earlier deployment", kMachineClasses, kSystemModule, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto world = MachineWithRegisteredControl(c.classes, c.module, Versioned(c.version));

        DeployTabControl();

        EXPECT_EQ(world->FileWrites(), 0);
        EXPECT_TRUE(world->ProcessStarts().empty());
        EXPECT_FALSE(world->FileBytes(kSystemModule) && c.module != kSystemModule) << "the system directory written";
        EXPECT_EQ(RegisteredControlModule(), c.module);
        EXPECT_TRUE(State().TabControlModule.empty());
    }
}

TEST(Deployment, AnOlderRegisteredControlIsReplacedWhereItIsRegisteredOrElseBesideIt) {
    SCOPED_TRACE("writable: replaced in place, nothing registered anew");
    {
        auto world = MachineWithRegisteredControl(kMachineClasses, kPackageModule, Versioned(1));
        DeployTabControl();
        EXPECT_EQ(world->FileBytes(kPackageModule), Versioned(2));
        EXPECT_FALSE(world->FileBytes(kSystemModule));
        EXPECT_TRUE(world->ProcessStarts().empty());
    }
    SCOPED_TRACE("not writable: the system directory's module, registered");
    {
        auto world = MachineWithRegisteredControl(kMachineClasses, kPackageModule, Versioned(1));
        world->ProtectFolder(L"C:\\Program Files\\Tarnwick");
        sim::World* w = world.get();
        world->OnStartProcess([w](const sim::ProcessStart&) {
            w->SetRegistryString(kMachineClasses + L"CLSID\\" + kClsid + L"\\InprocServer32", L"", kSystemModule);
            return true;
        });
        DeployTabControl();
        EXPECT_EQ(world->FileBytes(kPackageModule), Versioned(1));
        EXPECT_EQ(world->FileBytes(kSystemModule), Versioned(2));
        EXPECT_EQ(world->ProcessStarts().size(), 1u);
        EXPECT_TRUE(State().TabControlModule.empty());
    }
    SCOPED_TRACE("neither writable: the user's own copy, used unregistered");
    {
        auto world = MachineWithRegisteredControl(kMachineClasses, kPackageModule, Versioned(1));
        world->ProtectFolder(L"C:\\Program Files\\Tarnwick");
        world->ProtectFolder(L"C:\\WINDOWS\\system32");
        DeployTabControl();
        EXPECT_EQ(world->FileBytes(kUserModule), Versioned(2));
        EXPECT_EQ(State().TabControlModule, kUserModule);
    }
}

TEST(Deployment, RepairFirstLoadsARegisteredModuleOfOurVersionStraightFromItsFile) {
    // COM may ignore the user's classes (an elevated Excel): the package's module still serves.
    for (const uint16_t version : {2, 1}) {
        SCOPED_TRACE(version);
        auto world = MachineWithRegisteredControl(kUserClasses, kPackageModule, Versioned(version));
        std::vector<std::wstring> tried;
        const auto module = RepairTabControl([&](const std::wstring& candidate) {
            tried.push_back(candidate);
            return true;
        });
        if (version == 2) {
            EXPECT_EQ(module, kPackageModule);
            EXPECT_EQ(tried, std::vector<std::wstring>{kPackageModule});
            EXPECT_EQ(world->FileWrites(), 0);
        } else {
            EXPECT_EQ(tried.front(), L"") << "an older module is not loaded as it stands";
        }
    }
}

TEST(Deployment, AnUnregisteredModuleInTheSystemDirectoryIsRegistered) {
    auto world = MakeMachine();
    world->SetResource(kControlResourceType, kControlResourceId, Versioned(2));
    world->SetFile(kSystemModule, Versioned(3));

    DeployTabControl();

    EXPECT_EQ(world->FileBytes(kSystemModule), Versioned(3)) << "a newer module is kept";
    EXPECT_EQ(world->ProcessStarts().size(), 1u);
}

TEST(Deployment, UnregistrationRemovesWhatTheAddinDeployedAndNothingElse) {
    SCOPED_TRACE("the system directory's registered module and the user's copy go");
    {
        auto world = MachineWithRegisteredControl(kMachineClasses, kSystemModule, Versioned(2));
        world->SetFile(kUserModule, Versioned(2), sim::file_attr::Hidden);
        RemoveDeployedTabControl();
        ASSERT_EQ(world->ProcessStarts().size(), 1u);
        EXPECT_EQ(world->ProcessStarts()[0].commandLine,
                  L"\"C:\\WINDOWS\\system32\\regsvr32.exe\" /u \"" + kSystemModule + L"\" /s");
        EXPECT_FALSE(world->FileBytes(kSystemModule));
        EXPECT_FALSE(world->FileBytes(kUserModule));
        EXPECT_FALSE(world->FileAttributes(L"C:\\Documents and Settings\\user\\Application Data\\Tarnwick"));
    }
    SCOPED_TRACE("a package's module in the user's folder stays, as does an unregistered leftover we may not delete");
    {
        auto world = MachineWithRegisteredControl(kUserClasses, kUserModule, Versioned(2));
        world->SetFile(kSystemModule, Versioned(1));
        world->ProtectFolder(L"C:\\WINDOWS\\system32");
        RemoveDeployedTabControl();
        EXPECT_TRUE(world->ProcessStarts().empty()) << "nothing of ours was registered";
        EXPECT_EQ(world->FileBytes(kUserModule), Versioned(2));
        EXPECT_EQ(world->FileBytes(kSystemModule), Versioned(1));
    }
}

TEST(Deployment, AProtectedLeftoverIsClearedReplacedAndRegistered) {
    // Windows refuses to replace such a file until its attributes are cleared.
    for (const uint32_t attributes : {sim::file_attr::Hidden, sim::file_attr::System,
                                      sim::file_attr::Hidden | sim::file_attr::System | sim::file_attr::ReadOnly}) {
        SCOPED_TRACE(attributes);
        auto world = MakeMachine();
        world->SetFile(L"C:\\WINDOWS\\system32\\Corvane.ocx", {9}, attributes);

        DeployTabControl();

        EXPECT_EQ(world->FileBytes(L"C:\\WINDOWS\\system32\\Corvane.ocx"), ModuleBytes());
        EXPECT_EQ(world->FileAttributes(L"C:\\WINDOWS\\system32\\Corvane.ocx"), sim::file_attr::Normal);
        EXPECT_EQ(world->ProcessStarts().size(), 1u);
    }
}

TEST(Deployment, FailuresPassToTheCaller) {
    SCOPED_TRACE("no resource: nothing written, nothing started");
    {
        sim::World world;
        EXPECT_THROW(DeployTabControl(), HostError);
        EXPECT_EQ(world.FileWrites(), 0);
        EXPECT_TRUE(world.ProcessStarts().empty());
    }
    SCOPED_TRACE("the file cannot be written");
    {
        auto world = MakeMachine();
        world->FailCall("Platform.WriteBinaryFile");
        EXPECT_THROW(DeployTabControl(), HostError);
        EXPECT_TRUE(world->ProcessStarts().empty());
    }
    SCOPED_TRACE("the registration tool cannot be started");
    {
        auto world = MakeMachine();
        world->OnStartProcess([](const sim::ProcessStart&) { return false; });
        EXPECT_THROW(DeployTabControl(), HostError);
    }
}

}  // namespace
}  // namespace tarnwick::testing
