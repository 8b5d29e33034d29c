// A tab control that cannot be created when the strip loads: repaired once,
// and without it no strip at all.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation_world.h"
#include "support/deployment.h"

namespace tarnwick::testing {
namespace {

const std::wstring kSystemModule = L"C:\\WINDOWS\\system32\\Corvane.ocx";
const std::wstring kUserModule = L"C:\\Documents and Settings\\user\\Application Data\\Tarnwick\\Corvane.ocx";

// A module whose version block says major.minor.0.0.
std::vector<uint8_t> Module(uint16_t major, uint16_t minor, uint8_t filler = 0x5A) {
    std::vector<uint8_t> bytes(256, filler);
    const uint32_t fixed[4] = {0xFEEF04BDu, 0x00010000u, (uint32_t{major} << 16) | minor, 0};
    std::memcpy(bytes.data() + 128, fixed, sizeof fixed);
    return bytes;
}

const std::vector<uint8_t> kOurs = Module(1, 2, 0x11);

// Two workbooks, our module embedded, the control not registered; regsvr32
// registers it only when `registrationWorks`.
std::unique_ptr<sim::World> MachineWithoutControl(bool registrationWorks) {
    auto world = MakeExcel({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
    world->SetResource(kControlResourceType, kControlResourceId, kOurs);
    world->SetTabControlCreatable(false);
    sim::World* w = world.get();
    world->OnStartProcess([w, registrationWorks](const sim::ProcessStart& start) {
        if (registrationWorks && start.commandLine.find(L"Corvane.ocx") != std::wstring::npos) {
            w->SetTabControlCreatable(true);
        }
        return true;
    });
    return world;
}

TEST(ControlRepair, FindsAWayToShowTheStrip) {
    struct Case {
        const char* name;
        bool registrationWorks;
        std::function<void(sim::World&)> arrange;
        std::wstring createdFrom;  // "" through COM
        size_t registrations;
    };
    const Case cases[] = {
        {"module in the system directory but never registered", true,
         [](sim::World& w) { w.SetFile(kSystemModule, kOurs); }, L"", 1},
        {"an older module there is replaced before it is registered", true,
         [](sim::World& w) { w.SetFile(kSystemModule, Module(1, 0), sim::file_attr::ReadOnly); }, L"", 1},
        {"no administrator: the system directory refuses the module", false,
         [](sim::World& w) { w.ProtectFolder(L"C:\\WINDOWS\\system32"); }, kUserModule, 0},
        {"a directory named like the module blocks the system directory", false,
         [](sim::World& w) { w.SetFile(kSystemModule, {}, sim::file_attr::Directory); }, kUserModule, 0},
        {"registration fails: the user's copy is loaded unregistered", false,
         [](sim::World& w) { w.SetFile(kSystemModule, kOurs); }, kUserModule, 1},
        {"a hidden, read-only older copy of the user's is replaced", false,
         [](sim::World& w) {
             w.ProtectFolder(L"C:\\WINDOWS\\system32");
             w.SetFile(kUserModule, Module(0, 9), sim::file_attr::Hidden | sim::file_attr::ReadOnly);
         },
         kUserModule, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto world = MachineWithoutControl(c.registrationWorks);
        c.arrange(*world);
        ZereZovaveAddin addin;
        Connect(*world, addin);

        EXPECT_EQ(world->TabCaptions(), (std::vector<std::wstring>{L"a.xls", L"b.xls"}));
        EXPECT_TRUE(world->FindBar(kHostBarName).has_value());
        EXPECT_EQ(world->LastControlModule(), c.createdFrom);
        const std::wstring& module = c.createdFrom.empty() ? kSystemModule : c.createdFrom;
        EXPECT_EQ(world->FileBytes(module), kOurs);
        EXPECT_EQ(world->ProcessStarts().size(), c.registrations);

        SCOPED_TRACE("a tab click switches workbooks");
        ASSERT_TRUE(world->ClickTab(0));
        EXPECT_EQ(world->ActiveWorkbookName(), L"a.xls");
        addin.AddinInstance_OnDisconnection();
    }
}

TEST(ControlRepair, ANewerModuleOfTheUsersIsKept) {
    auto world = MachineWithoutControl(false);
    world->ProtectFolder(L"C:\\WINDOWS\\system32");
    world->SetFile(kUserModule, Module(2, 0));
    ZereZovaveAddin addin;
    Connect(*world, addin);

    EXPECT_EQ(world->FileBytes(kUserModule), Module(2, 0));
    EXPECT_EQ(world->LastControlModule(), kUserModule);
    EXPECT_EQ(world->TabCaptions().size(), 2u);
}

// The repair waits for regsvr32 while Excel's messages are dispatched: ticks
// (the timer runs already when Excel started hidden) and workbook events in
// that wait must not decide the repair failed; the strip that comes up
// follows Excel afterwards.
TEST(ControlRepair, TicksAndEventsDuringTheRegistrationWaitLeaveTheStripToIt) {
    struct Case {
        const char* what;
        bool ticks;
        bool newWorkbook;
    };
    for (const Case& c : {Case{"ticks", true, false}, Case{"a new workbook", false, true}, Case{"both", true, true}}) {
        SCOPED_TRACE(c.what);
        auto world = MachineWithoutControl(true);
        world->SetFile(kSystemModule, kOurs);
        sim::World* w = world.get();
        world->OnStartProcess([w, c](const sim::ProcessStart&) {
            if (c.ticks) w->Advance(50);
            if (c.newWorkbook) w->NewWorkbook();
            w->SetTabControlCreatable(true);
            return true;
        });
        world->SetExcelVisible(false);
        ZereZovaveAddin addin;
        Connect(*world, addin);
        world->SetExcelVisible(true);
        for (int i = 0; i < 5; ++i) world->Tick();

        EXPECT_FALSE(State().TabControlUnavailable);
        EXPECT_TRUE(world->FindBar(kHostBarName).has_value());
        EXPECT_EQ(world->TabCaptions(), world->VisibleWorkbookNames());
        ASSERT_TRUE(world->ClickTab(0));
        EXPECT_EQ(world->ActiveWorkbookName(), L"a.xls");
        world->OpenWorkbook(L"C:\\data\\c.xls");
        world->Tick();
        EXPECT_EQ(world->TabCaptions(), world->VisibleWorkbookNames()) << "the strip still follows Excel";
        EXPECT_TRUE(world->EscapedExceptions().empty());
        addin.AddinInstance_OnDisconnection();
    }
}

TEST(ControlRepair, WithoutAnyControlNothingIsDockedAndTheTimerIdles) {
    auto world = MachineWithoutControl(false);
    world->ProtectFolder(L"C:\\WINDOWS\\system32");
    world->ProtectFolder(L"C:\\Documents and Settings\\user");
    // Started by automation: the timer brings the strip up once Excel shows.
    world->SetExcelVisible(false);
    ZereZovaveAddin addin;
    Connect(*world, addin);
    world->SetExcelVisible(true);
    world->Tick();

    EXPECT_FALSE(world->FindBar(kHostBarName).has_value()) << "no empty row in Excel";
    EXPECT_EQ(world->TabFormWindow(), 0u);
    EXPECT_EQ(world->LastControlModule(), L"");

    SCOPED_TRACE("a tick reads Excel's visibility and nothing else");
    ASSERT_EQ(world->LiveTimers().size(), 1u);
    world->ResetCallCounts();
    for (int i = 0; i < 10; ++i) world->Tick();
    EXPECT_EQ(world->CallCount("Application.Visible"), 10);
    EXPECT_EQ(world->TotalCalls(), 10);

    SCOPED_TRACE("a new workbook does not try again in this process");
    const size_t startsBefore = world->ProcessStarts().size();
    world->NewWorkbook();
    world->Tick();
    EXPECT_EQ(world->CallCount("Platform.CreateTabFormWindow"), 0);
    EXPECT_EQ(world->ProcessStarts().size(), startsBefore);
    EXPECT_FALSE(world->FindBar(kHostBarName).has_value());
    EXPECT_TRUE(world->EscapedExceptions().empty());
}

TEST(ControlRepair, ModuleFileVersionReadsTheFixedVersionBlock) {
    EXPECT_EQ(ModuleFileVersion(Module(1, 2)), (uint64_t{1} << 48) | (uint64_t{2} << 32));
    EXPECT_EQ(ModuleFileVersion(std::vector<uint8_t>(300, 0xBD)), std::nullopt);
    EXPECT_EQ(ModuleFileVersion({}), std::nullopt);
    // The signature counts only where a DWORD starts.
    std::vector<uint8_t> unaligned(64, 0);
    const uint32_t signature = 0xFEEF04BDu;
    std::memcpy(unaligned.data() + 2, &signature, 4);
    EXPECT_EQ(ModuleFileVersion(unaligned), std::nullopt);
}

}  // namespace
}  // namespace tarnwick::testing
