// Factories for the hostile-input suites: a simulated Excel 2003 with the
// add-in connected, and the checks every entry point must pass whatever the
// host or the user threw at it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/platform_sim.h"
#include "sim/world.h"
#include "tabstrip/form_tab.h"

namespace tarnwick::hostile {

// Turns the application Excel hands over into the one the add-in sees.
using HostWrapper =
    std::function<std::shared_ptr<excel::Application>(std::shared_ptr<excel::Application>)>;

// Readable traces for Chinese and other non-ASCII names.
inline std::string Utf8(const std::wstring& text) {
    return sim::Utf8FromWide(text);
}

// Members whose failure leaves by necessity what they were to release.
inline bool ReleasesSomething(const std::string& member) {
    return member == "Platform.KillTimer" || member == "Platform.UnhookWindowsHookEx";
}

class HostileExcel {
public:
    // Excel with these workbooks opened in order, the last one active.
    explicit HostileExcel(const std::vector<std::wstring>& workbooks = {}) {
        for (const std::wstring& fullName : workbooks) world.OpenWorkbook(fullName);
    }
    ~HostileExcel() {
        world.ClearFaults();
        if (connected_) addin.AddinInstance_OnDisconnection();
    }
    HostileExcel(const HostileExcel&) = delete;
    HostileExcel& operator=(const HostileExcel&) = delete;

    void Connect(const HostWrapper& wrap = {}, int32_t mode = ext_cm_AfterStartup) {
        std::shared_ptr<excel::Application> app = world.Application();
        if (wrap) app = wrap(std::move(app));
        Entry("OnConnection", [&] { addin.AddinInstance_OnConnection(app, mode); });
        connected_ = true;
    }
    void Disconnect() {
        Entry("OnDisconnection", [&] { addin.AddinInstance_OnDisconnection(); });
        connected_ = false;
    }
    void Settle(int ticks = 3) {
        for (int i = 0; i < ticks; ++i) world.Tick();
    }

    // The user starts typing in the formula bar.
    void EditInFormulaBar() { world.FocusWindow(world.FormulaBarWindow()); }

    // The user's mouse on the strip, when there is one to click.
    void ClickTabIfShown(int32_t index, int16_t button = 1) {
        if (world.Tabs() != nullptr && index < world.Tabs()->Count()) world.ClickTab(index, button);
    }

    // Runs one entry point (or a user action that reaches them) and checks
    // that nothing escaped it.
    void Entry(const std::string& what, const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": exception escaped: " << e.what() << Fault();
        } catch (...) {
            ADD_FAILURE() << what << ": exception escaped" << Fault();
        }
        for (size_t i = escapedSeen_; i < world.EscapedExceptions().size(); ++i) {
            const std::string& escaped = world.EscapedExceptions()[i];
            if (CaughtByAboutWindow(escaped)) continue;
            ADD_FAILURE() << what << ": escaped inside the world: " << escaped << Fault();
        }
        escapedSeen_ = world.EscapedExceptions().size();
    }

    // What must hold between entry points: at most one timer, named by
    // SyncTimerId; no window-update lock; no batch command half-done.
    void ExpectAtRest(const std::string& where) {
        const auto timers = world.LiveTimers();
        EXPECT_LE(timers.size(), 1u) << where << ": more than one timer" << Fault();
        EXPECT_EQ(State().SyncTimerId, timers.empty() ? 0 : timers.front())
            << where << ": SyncTimerId does not name the timer" << Fault();
        EXPECT_EQ(world.LockedWindow(), 0u) << where << ": window-update lock left held" << Fault();
        EXPECT_FALSE(State().BatchCommandRunning) << where << Fault();
        EXPECT_TRUE(world.ScreenUpdating()) << where << ": screen updating left off" << Fault();
    }

    // After disconnection: no host reference, hook, timer or form window.
    void ExpectLetGo(const std::string& where) {
        EXPECT_FALSE(addin.HoldsHostReferences()) << where << Fault();
        EXPECT_EQ(State().ExcelApp, nullptr) << where << Fault();
        EXPECT_EQ(State().TabStripForm, nullptr) << where << Fault();
        EXPECT_EQ(world.LiveHostReferences(), 0) << where << ": host references left" << Fault();
        EXPECT_EQ(world.LiveFormWindows(), 0) << where << ": form window left" << Fault();
        if (!releasesMayFail_) {
            EXPECT_TRUE(world.InstalledHooks().empty()) << where << ": hook left installed" << Fault();
            EXPECT_TRUE(world.LiveTimers().empty()) << where << ": timer left running" << Fault();
            EXPECT_EQ(State().DialogHookHandle, 0u) << where << Fault();
            EXPECT_EQ(State().SyncTimerId, 0u) << where << Fault();
        }
        EXPECT_EQ(world.LockedWindow(), 0u) << where << ": window-update lock left held" << Fault();
    }

    // Every call of `member` fails from now on; named in failure messages.
    void FailEveryCallOf(const std::string& member) {
        failing_ = member;
        releasesMayFail_ = ReleasesSomething(member);
        world.FailCall(member);
    }
    // Every call of all these members fails from now on.
    void FailEveryCallOf(const std::vector<std::string>& members, const std::string& label) {
        failing_ = label;
        for (const std::string& member : members) {
            releasesMayFail_ = releasesMayFail_ || ReleasesSomething(member);
            world.FailCall(member);
        }
    }
    // The host works again; what could not be released stays unreleased.
    void Recover() { world.ClearFaults(); }

    sim::World world;
    ZereZovaveAddin addin;

private:
    // The about dialog's handlers pass their failures to its window, whose
    // procedure catches them: that is their containment, not an escape.
    static bool CaughtByAboutWindow(const std::string& escaped) {
        for (const char* handler : {"cmdOK_Click:", "Labelblog_Click:", "Form_CloseRequested:"}) {
            if (escaped.rfind(handler, 0) == 0) return true;
        }
        return false;
    }

    std::string Fault() const { return failing_.empty() ? std::string() : " [failing: " + failing_ + "]"; }

    bool connected_ = false;
    size_t escapedSeen_ = 0;
    std::string failing_;
    bool releasesMayFail_ = false;
};

inline bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The Window-menu and window-list commands Excel ran, in order.
inline std::vector<std::wstring> WindowSwitchCommands(const sim::World& world) {
    std::vector<std::wstring> switches;
    for (const std::wstring& command : world.ExecutedCommands()) {
        if (command.rfind(L"WindowMenu(", 0) == 0 || command == L"MoreWindows") switches.push_back(command);
    }
    return switches;
}

}  // namespace tarnwick::hostile
