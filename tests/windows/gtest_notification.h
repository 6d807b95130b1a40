#pragma once
// GoogleTest's start signal for the threads of its own thread tests, without
// std::mutex, which the toolchain's win32 thread model lacks. GoogleTest uses
// it only to start threads; the tests here run on one thread.
#include <atomic>

namespace testing {
namespace internal {

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

}  // namespace internal
}  // namespace testing
