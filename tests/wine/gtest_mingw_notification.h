// GoogleTest's Notification for MinGW-w64 GCC with the win32 thread model,
// which has no std::mutex or std::condition_variable. Forced into every
// translation unit of the Windows test build (with GTEST_HAS_NOTIFICATION_),
// it stands in for GoogleTest's own class; only GoogleTest's threading
// helpers use it, and the unit tests are single-threaded.
#pragma once

#include <atomic>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : notified_(false) {}
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;
    // Lets every thread waiting on this notification go on.
    void Notify() { notified_.store(true); }
    // Spins until Notify() has been called.
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_;
};

}  // namespace internal
}  // namespace testing
