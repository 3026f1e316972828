// UserInterfaceCalls.
#include "app/user_interface_calls.h"

#include <algorithm>
#include <chrono>

namespace morvane {
namespace {

using Clock = std::chrono::steady_clock;

// How long each side spins before it sleeps: about one small file's copy.
constexpr auto kCallerSpin = std::chrono::microseconds(100);
constexpr auto kLinger = std::chrono::microseconds(300);
// The longest ServePending keeps the user-interface thread from its other events.
constexpr auto kLongestServe = std::chrono::milliseconds(8);

}  // namespace

struct UserInterfaceCalls::Pending {
  const std::function<void()>* task;
  std::atomic<bool> finished{false};
  bool ran = false;
};

UserInterfaceCalls::UserInterfaceCalls() : userInterfaceThread_(std::this_thread::get_id()) {}

void UserInterfaceCalls::SetUserInterfaceThread(std::thread::id id) {
  std::lock_guard lock(mutex_);
  userInterfaceThread_ = id;
}

bool UserInterfaceCalls::OnUserInterfaceThread() const {
  std::lock_guard lock(mutex_);
  return userInterfaceThread_ == std::this_thread::get_id();
}

void UserInterfaceCalls::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

bool UserInterfaceCalls::Run(const std::function<void()>& task) {
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  if (userInterfaceThread_ == std::this_thread::get_id()) {
    lock.unlock();
    task();
    return true;
  }
  Pending pending{&task};
  queue_.push_back(&pending);
  queued_.store(queue_.size(), std::memory_order_release);
  // A lingering user-interface thread sees the call without being woken.
  auto wake = serving_ ? nullptr : wake_;
  lock.unlock();
  if (wake) wake();
  for (const auto until = Clock::now() + kCallerSpin; Clock::now() < until;) {
    if (pending.finished.load(std::memory_order_acquire)) break;
    std::this_thread::yield();
  }
  lock.lock();
  done_.wait(lock, [&] { return pending.finished.load(std::memory_order_relaxed); });
  return pending.ran;
}

void UserInterfaceCalls::ServePending() {
  const auto stopServing = Clock::now() + kLongestServe;
  std::unique_lock lock(mutex_);
  serving_ = true;
  while (!closed_) {
    if (queue_.empty()) {
      lock.unlock();
      const auto until = std::min(Clock::now() + kLinger, stopServing);
      while (queued_.load(std::memory_order_acquire) == 0 && Clock::now() < until) std::this_thread::yield();
      lock.lock();
      if (queue_.empty()) break;
    }
    Pending* pending = queue_.front();
    queue_.pop_front();
    queued_.store(queue_.size(), std::memory_order_release);
    lock.unlock();
    (*pending->task)();
    lock.lock();
    pending->ran = true;
    pending->finished.store(true, std::memory_order_release);
    done_.notify_all();
    if (Clock::now() >= stopServing) break;
  }
  serving_ = false;
  // Calls left for later need a wake of their own, since their callers saw this thread serving.
  auto wake = !queue_.empty() && !closed_ ? wake_ : nullptr;
  lock.unlock();
  if (wake) wake();
}

void UserInterfaceCalls::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (Pending* pending : queue_) pending->finished.store(true, std::memory_order_release);
  queue_.clear();
  queued_.store(0, std::memory_order_release);
  done_.notify_all();
}

bool UserInterfaceCalls::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace morvane
