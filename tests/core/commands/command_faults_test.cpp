// One failing host call at every point of each batch command: the command
// goes on, nothing escapes, and the batch state is always put back.
#include <gtest/gtest.h>

#include "commands_world.h"

namespace tarnwick::testing {
namespace {

TEST(BatchCommandFaults, EverySingleFailureLeavesTheBatchStateRestored) {
    struct Case {
        const wchar_t* bar;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {kTabBarII, caption::SaveAll},
        {kTabBar, caption::CloseOther},
        {kTabBarII, caption::CloseAll},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.caption));
        auto run = [&](int64_t failAt, std::vector<std::string>* log) {
            auto session = ConnectedWith(kThreeBooks);
            sim::World& world = session->world();
            world.ActivateByUser(L"b.xls");
            world.EnableCallLog(log != nullptr);
            world.ClearCallLog();
            // Real time passes while the first pass of "CloseOther" pumps messages.
            for (int i = 0; i < 40; ++i) world.QueueOnDoEvents([&world] { world.Advance(100); });
            if (failAt > 0) world.FailNthCall(failAt);

            EXPECT_TRUE(world.ClickControl(c.bar, c.caption));

            if (log) *log = world.CallLog();
            EXPECT_TRUE(world.EscapedExceptions().empty());
            EXPECT_FALSE(State().BatchCommandRunning);
            return world.ScreenUpdating();
        };
        std::vector<std::string> calls;
        ASSERT_TRUE(run(0, &calls));
        ASSERT_FALSE(calls.empty());

        for (size_t n = 1; n <= calls.size(); ++n) {
            SCOPED_TRACE(::testing::Message() << "call " << n << " (" << calls[n - 1] << ") fails");
            const bool screenUpdating = run(static_cast<int64_t>(n), nullptr);
            // Only a failure of the call that turns updating back on may leave it off.
            if (calls[n - 1] != "Application.ScreenUpdating") {
                EXPECT_TRUE(screenUpdating);
            }
        }
    }
}

// The dialog's handlers pass failures on to its window; whatever fails, the
// dialog closes and Excel's window is not left locked.
TEST(AboutDialogFaults, EverySingleFailureLeavesExcelUnlocked) {
    auto run = [](int64_t failAt, std::vector<std::string>* log) {
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        world.OnAboutDialog([](sim::AboutDialogSim& dialog) {
            dialog.ChooseOption1();
            dialog.PressOK();
        });
        world.EnableCallLog(log != nullptr);
        world.ClearCallLog();
        if (failAt > 0) world.FailNthCall(failAt);

        EXPECT_TRUE(world.ClickControl(kTabBarII, caption::About));

        if (log) *log = world.CallLog();
        EXPECT_EQ(world.LiveFormWindows(), world.TabFormWindow() != 0 ? 1 : 0) << "the dialog's window is gone";
        for (const std::string& escaped : world.EscapedExceptions()) {
            EXPECT_EQ(escaped.rfind("about dialog: ShowModal", 0), std::string::npos) << escaped;
        }
        return world.LockedWindow();
    };
    std::vector<std::string> calls;
    ASSERT_EQ(run(0, &calls), 0u);
    ASSERT_FALSE(calls.empty());

    for (size_t n = 1; n <= calls.size(); ++n) {
        SCOPED_TRACE(::testing::Message() << "call " << n << " (" << calls[n - 1] << ") fails");
        const WindowHandle locked = run(static_cast<int64_t>(n), nullptr);
        if (calls[n - 1] != "Platform.LockWindowUpdate") {
            EXPECT_EQ(locked, 0u);
        }
    }
}

}  // namespace
}  // namespace tarnwick::testing
