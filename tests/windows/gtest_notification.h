// GoogleTest's Notification without std::mutex, which the -win32 runtime
// lacks. Only GoogleTest's own thread helpers wait on it, never our suites,
// so a spin on an atomic flag is enough. Force-included ahead of every
// source of the test tree: no Windows header here, the core's come first.
#pragma once

#include <atomic>

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
