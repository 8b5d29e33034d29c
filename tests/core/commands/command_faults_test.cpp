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

}  // namespace
}  // namespace tarnwick::testing
