// UserInterfaceCalls: a caller that never stops must not keep the user-interface thread from its
// other events, and a call made while that thread lingers is still served.
#include "app/user_interface_calls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace morvane {
namespace {

using Clock = std::chrono::steady_clock;

TEST(UserInterfaceCallsTest, ServePendingReturnsWhileCallsKeepComing) {
  UserInterfaceCalls calls;
  std::atomic<int> wakes{0};
  calls.SetWake([&] { ++wakes; });
  std::atomic<bool> stop{false};
  std::atomic<int> served{0};
  std::thread caller([&] {
    while (!stop) calls.Run([&] { ++served; });
  });
  // Each ServePending returns within a bound although the caller never pauses, and calls left
  // waiting when it returns have asked for another wake.
  for (int round = 0; round < 5; ++round) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (wakes == 0 && Clock::now() < deadline) std::this_thread::yield();
    if (wakes == 0) {
      ADD_FAILURE() << "a waiting call asked for no wake";
      break;
    }
    wakes = 0;
    const auto start = Clock::now();
    calls.ServePending();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200));
  }
  stop = true;
  calls.Close();
  caller.join();
  EXPECT_GE(served.load(), 5);
}

}  // namespace
}  // namespace morvane
