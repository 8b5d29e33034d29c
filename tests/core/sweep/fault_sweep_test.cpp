// The single-fault sweep: every scenario that drives the add-in through its
// entry points (connection, events, ticks, tab events, menu clicks, hook
// calls) runs once per host call it makes, with that one call failing, and
// the add-in's invariants are checked after every step of every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"

namespace tarnwick::testing {
namespace {

// What a scenario can do, and the invariants checked after each step.
class SweepRun {
public:
    explicit SweepRun(int64_t failAt) : world_(std::make_unique<sim::World>()), addin_(std::make_unique<ZereZovaveAddin>()) {
        world_->EnableCallLog(true);
        failAt_ = failAt;
    }

    sim::World& world() { return *world_; }

    // Arms the fault once the scenario's set-up is done: only the add-in's
    // own calls are swept.
    void Arm() {
        world_->ClearCallLog();
        if (failAt_ > 0) world_->FailNthCall(failAt_);
    }

    void Connect(int32_t mode = ext_cm_AfterStartup) {
        Entry("OnConnection", [&] { addin_->AddinInstance_OnConnection(world_->Application(), mode); });
        startupLockMayHold_ = mode == ext_cm_Startup;
        if (!startupLockMayHold_) CheckLock("OnConnection");
    }
    void StartupComplete() {
        Entry("OnStartupComplete", [&] { addin_->AddinInstance_OnStartupComplete(); });
        startupLockMayHold_ = false;
        CheckLock("OnStartupComplete");
    }
    void Disconnect() {
        Entry("OnDisconnection", [&] { addin_->AddinInstance_OnDisconnection(); });
        connected_ = false;
        CheckDisconnected();
    }
    // A user action or clock step of the world, which calls into the add-in.
    void Do(const char* what, const std::function<void()>& action) {
        Entry(what, action);
        if (!startupLockMayHold_) CheckLock(what);
        CheckCommandState(what);
    }

    void CheckTimers(const char* where) {
        const auto timers = world_->LiveTimers();
        EXPECT_LE(timers.size(), 1u) << where << ": more than one timer" << Fault();
        const std::uintptr_t expected = timers.empty() ? 0 : timers.front();
        EXPECT_EQ(State().SyncTimerId, expected) << where << ": SyncTimerId does not name the timer" << Fault();
    }

    size_t CallCount() const { return world_->CallLogSize(); }
    // The member whose call was made to fail, "" when none failed yet.
    std::string FailedCall() const { return failAt_ > 0 ? world_->LastFaultMember() : ""; }

private:
    void Entry(const char* what, const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": exception escaped: " << e.what() << Fault();
        } catch (...) {
            ADD_FAILURE() << what << ": exception escaped" << Fault();
        }
        for (const std::string& escaped : world_->EscapedExceptions()) {
            // The dialog's handlers pass failures to its window, whose
            // procedure contains them; the dialog then stays open.
            if (escaped.rfind("cmdOK_Click", 0) == 0 || escaped.rfind("Labelblog_Click", 0) == 0) continue;
            ADD_FAILURE() << what << ": escaped inside the world: " << escaped << Fault();
        }
        CheckTimers(what);
    }

    void CheckLock(const char* where) {
        // A failed unlock itself is the one fault that may leave the lock.
        if (FailedCall() == "Platform.LockWindowUpdate") return;
        EXPECT_EQ(world_->LockedWindow(), 0u) << where << ": window-update lock left held" << Fault();
    }

    void CheckCommandState(const char* where) {
        EXPECT_FALSE(State().BatchCommandRunning) << where << Fault();
        if (FailedCall() == "Application.ScreenUpdating") return;
        EXPECT_TRUE(world_->ScreenUpdating()) << where << ": screen updating left off" << Fault();
    }

    void CheckDisconnected() {
        EXPECT_FALSE(addin_->HoldsHostReferences()) << Fault();
        EXPECT_EQ(State().ExcelApp, nullptr) << Fault();
        EXPECT_EQ(State().TabStripForm, nullptr) << Fault();
        EXPECT_EQ(State().TabBarPopup, nullptr) << Fault();
        EXPECT_EQ(State().TabBarIIPopup, nullptr) << Fault();
        EXPECT_EQ(world_->LiveHostReferences(), 0) << "host references left after disconnection" << Fault();
        if (FailedCall() == "Platform.UnhookWindowsHookEx") {
            // The hook could not be removed: its handle must still name it,
            // so that a later removal can try again.
            ASSERT_EQ(world_->InstalledHooks().size(), 1u) << Fault();
            EXPECT_NE(State().DialogHookHandle, 0u) << Fault();
        } else {
            EXPECT_EQ(State().DialogHookHandle, 0u) << Fault();
            EXPECT_TRUE(world_->InstalledHooks().empty()) << "hook left installed" << Fault();
        }
        EXPECT_EQ(world_->LiveFormWindows(), 0) << "form window left" << Fault();
    }

    std::string Fault() const {
        return failAt_ > 0 ? " [failing call " + std::to_string(failAt_) + ": " + FailedCall() + "]" : std::string();
    }

    std::unique_ptr<sim::World> world_;
    std::unique_ptr<ZereZovaveAddin> addin_;
    int64_t failAt_ = 0;
    bool startupLockMayHold_ = false;
    bool connected_ = true;
};

struct Scenario {
    const char* name;
    std::function<void(SweepRun&)> play;
};

const std::vector<std::wstring> kBooks = {L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\Data Files\\预算, 2024.xls"};

void OpenBooks(SweepRun& run) {
    for (const auto& book : kBooks) run.world().OpenWorkbook(book);
}

// The user can only click tabs the strip shows: a fault may have left
// fewer tabs, or no strip at all.
void ClickTab(SweepRun& run, const char* what, int32_t index, int16_t button = 1) {
    run.Do(what, [&] {
        sim::TabControlSim* tabs = run.world().Tabs();
        if (tabs != nullptr && index < tabs->Count()) run.world().ClickTab(index, button);
    });
}

void ClickEmpty(SweepRun& run, const char* what) {
    run.Do(what, [&] {
        if (run.world().Tabs() == nullptr) return;
        run.world().ClickEmpty();
        run.world().Advance(50);
        run.world().ClickEmpty();
    });
}

void Ticks(SweepRun& run, int n) {
    run.Do("ticks", [&] {
        for (int i = 0; i < n; ++i) run.world().Tick();
    });
}

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> scenarios = {
        {"start-up connection, ticks, disconnection",
         [](SweepRun& run) {
             OpenBooks(run);
             run.Arm();
             run.Connect(ext_cm_Startup);
             run.StartupComplete();
             Ticks(run, 3);
             run.Disconnect();
         }},
        {"hidden Excel shown later",
         [](SweepRun& run) {
             OpenBooks(run);
             run.world().SetExcelVisible(false);
             run.Arm();
             run.Connect();
             Ticks(run, 2);
             run.Do("show Excel", [&] { run.world().SetExcelVisible(true); });
             Ticks(run, 3);
             run.Disconnect();
         }},
        {"workbooks come and go",
         [](SweepRun& run) {
             run.Arm();
             run.Connect();
             run.Do("new", [&] { run.world().NewWorkbook(); });
             run.Do("open", [&] { run.world().OpenWorkbook(L"C:\\data\\a.xls"); });
             run.Do("activate", [&] { run.world().ActivateByUser(L"Book1"); });
             Ticks(run, 2);
             run.Do("hide window", [&] { run.world().SetWindowVisible(L"a.xls", 1, false); });
             Ticks(run, 2);
             run.Do("close", [&] { run.world().CloseByUser(L"Book1"); });
             Ticks(run, 2);
             run.Disconnect();
         }},
        {"tab clicks and a width change",
         [](SweepRun& run) {
             OpenBooks(run);
             run.Arm();
             run.Connect();
             ClickTab(run, "click tab", 0);
             Ticks(run, 2);
             run.Do("resize", [&] { run.world().ResizeMainWindow(900, 700); });
             Ticks(run, 3);
             ClickTab(run, "double click (first)", 1);
             run.Do("wait", [&] { run.world().Advance(100); });
             ClickTab(run, "double click (second)", 1);
             Ticks(run, 2);
             ClickEmpty(run, "double click empty");
             Ticks(run, 2);
             run.Disconnect();
         }},
        {"menu commands",
         [](SweepRun& run) {
             OpenBooks(run);
             run.world().OnAboutDialog([](sim::AboutDialogSim& dialog) {
                 dialog.ChooseOption1();
                 dialog.PressOK();
             });
             run.world().QueueSaveAsName(L"C:\\data\\new.xls");
             run.Arm();
             run.Connect();
             ClickTab(run, "right click tab", 1, 2);
             run.Do("save all", [&] { run.world().ClickControl(L"TabBarII", L"保存所有工作簿(&Y)"); });
             run.Do("about", [&] { run.world().ClickControl(L"TabBar", L"关于此切换插件(&Y)"); });
             run.Do("open dir", [&] { run.world().ClickControl(L"TabBar", L"打开所在文件夹(&Y)"); });
             run.Do("close other", [&] { run.world().ClickControl(L"TabBar", L"关闭其它工作簿(&O)"); });
             Ticks(run, 2);
             run.Do("close all", [&] { run.world().ClickControl(L"TabBarII", L"关闭所有工作簿(&L)"); });
             Ticks(run, 3);
             run.Disconnect();
         }},
        {"clicks while editing",
         [](SweepRun& run) {
             OpenBooks(run);
             for (int i = 0; i < 10; ++i) run.world().NewWorkbook();
             run.world().SetWindowMenuLimit(9);
             run.Arm();
             run.Connect();
             run.Do("edit", [&] { run.world().FocusWindow(run.world().FormulaBarWindow()); });
             ClickTab(run, "click listed tab", 0);
             Ticks(run, 2);
             run.Do("edit again", [&] { run.world().FocusWindow(run.world().FormulaBarWindow()); });
             ClickTab(run, "click unlisted tab", 12);
             run.Do("leave edit", [&] { run.world().FocusWindow(run.world().MainWindow()); });
             Ticks(run, 3);
             run.Disconnect();
         }},
    };
    return scenarios;
}

TEST(FaultSweep, NoSingleFailingHostCallBreaksAnInvariant) {
    int64_t runs = 0;
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(scenario.name);
        size_t calls = 0;
        {
            SweepRun clean(0);
            scenario.play(clean);
            calls = clean.CallCount();
        }
        ASSERT_GT(calls, 0u) << scenario.name;
        const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        for (size_t n = 1; n <= calls; ++n) {
            SweepRun run(static_cast<int64_t>(n));
            scenario.play(run);
            ++runs;
            // One scenario's first dozen failures say enough.
            if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() - failuresBefore > 12)
                break;
        }
        std::cout << "[ sweep    ] " << scenario.name << ": " << calls << " host calls swept\n";
    }
    std::cout << "[ sweep    ] " << Scenarios().size() << " scenarios, " << runs << " single-fault runs\n";
}

}  // namespace
}  // namespace tarnwick::testing
