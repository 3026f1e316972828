// The copy job: copies every listed file from the source to the target folder on a worker thread.
#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "app/main_window.h"

namespace morvane {

// Click handler of 按钮4: queues a job; jobs run one after another on the window's worker.
void StartCopyJob(MainWindow& window);

// One job, on the calling thread: the field check, then rows 1 to RowCount as read at its start,
// each with the fields and the name read afresh, the failure log and the notices. Returns early,
// before the next row and without a notice, once stop is set or the window is closed.
void CopyListedFiles(MainWindow& window, const std::atomic<bool>& stop);

// True when a listed name would reach outside its folder: an absolute path, a drive, or a ".."
// component. Such a name is never copied; the job records it as a failure.
bool ClimbsOutOfFolder(std::string_view name);

// Runs the jobs of one window, one at a time, on a worker thread started by the first job.
class CopyJobs {
 public:
  explicit CopyJobs(MainWindow& window);
  ~CopyJobs();  // stops and waits for the worker
  CopyJobs(const CopyJobs&) = delete;
  CopyJobs& operator=(const CopyJobs&) = delete;

  // Queues one job; it starts when every job queued before it has ended. Ignored once stopped.
  void Start();
  // Stops the running job before its next row (a copy in flight is abandoned), drops the queued
  // ones and waits for the worker. Meant for after the window's Close(), which releases a worker
  // waiting on a control or a message box; on the user-interface thread it also serves the
  // worker's control calls while it waits, so it cannot hang on an open window either.
  void StopAndWait();
  // True while a job runs or waits.
  bool Busy() const;
  // Waits until no job runs or waits; on the user-interface thread it serves the worker's calls.
  void WaitUntilIdle();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace morvane
