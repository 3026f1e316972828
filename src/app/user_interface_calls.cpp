// UserInterfaceCalls.
#include "app/user_interface_calls.h"

namespace morvane {

struct UserInterfaceCalls::Pending {
  const std::function<void()>* task;
  bool finished = false;
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
  auto wake = wake_;
  if (wake) {
    lock.unlock();
    wake();
    lock.lock();
  }
  done_.wait(lock, [&] { return pending.finished; });
  return pending.ran;
}

void UserInterfaceCalls::ServePending() {
  std::unique_lock lock(mutex_);
  while (!queue_.empty() && !closed_) {
    Pending* pending = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*pending->task)();
    lock.lock();
    pending->ran = true;
    pending->finished = true;
    done_.notify_all();
  }
}

void UserInterfaceCalls::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (Pending* pending : queue_) pending->finished = true;
  queue_.clear();
  done_.notify_all();
}

bool UserInterfaceCalls::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace morvane
