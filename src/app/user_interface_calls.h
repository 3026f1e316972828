// Carries calls from any thread to the user-interface thread, the caller waiting, in its order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace morvane {

class UserInterfaceCalls {
 public:
  UserInterfaceCalls();  // the constructing thread is the user-interface thread

  void SetUserInterfaceThread(std::thread::id id);
  bool OnUserInterfaceThread() const;

  // Asked of the binding whenever a call waits: make the user-interface thread call ServePending
  // soon (a posted event or message). Must be safe from any thread.
  void SetWake(std::function<void()> wake);

  // Runs task on the user-interface thread: at once when called there, else queued while the
  // caller waits. False, without running it, once closed.
  bool Run(const std::function<void()>& task);

  // User-interface thread: runs every queued call. While calls keep coming (a copy job makes one
  // per row) it lingers a little for the next one instead of going back to sleep, since waking a
  // sleeping thread costs more than a small file's copy; it never holds the thread for long.
  void ServePending();

  // Refuses calls from now on and releases every waiting caller.
  void Close();
  bool IsClosed() const;

 private:
  struct Pending;
  mutable std::mutex mutex_;
  std::condition_variable done_;
  std::deque<Pending*> queue_;
  std::function<void()> wake_;
  std::thread::id userInterfaceThread_;
  bool closed_ = false;
  bool serving_ = false;  // the user-interface thread is in ServePending and will see new calls
  std::atomic<std::size_t> queued_{0};
};

}  // namespace morvane
