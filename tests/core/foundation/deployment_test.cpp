// First-use deployment of the tab control module.
#include "support/deployment.h"

#include <gtest/gtest.h>

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

TEST(Deployment, LaterStartsFindTheModuleAndDoNothing) {
    auto world = MakeMachine();
    world->SetFile(L"C:\\WINDOWS\\system32\\Corvane.ocx", {1, 2, 3});

    DeployTabControl();

    EXPECT_EQ(world->FileWrites(), 0);
    EXPECT_TRUE(world->ProcessStarts().empty());
    EXPECT_EQ(world->FileBytes(L"C:\\WINDOWS\\system32\\Corvane.ocx"), (std::vector<uint8_t>{1, 2, 3}));
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
