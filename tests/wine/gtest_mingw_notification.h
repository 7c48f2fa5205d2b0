// GoogleTest's Notification for MinGW-w64 GCC's win32 thread model, which has no std::mutex: forced
// into the Windows test build (GTEST_HAS_NOTIFICATION_) in place of GoogleTest's own; one thread runs the tests.
#pragma once

#include <atomic>

namespace testing::internal {

class Notification {
public:
    void Notify() { notified_ = true; }
    void WaitForNotification() { while (!notified_) {} }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
