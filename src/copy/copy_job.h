// The copy job: copies every listed file from the source to the target folder on a worker thread.
#pragma once

#include "app/main_window.h"

namespace morvane {

// Click handler of 按钮4: queues a job; jobs run one after another on the worker.
void StartCopyJob(MainWindow& window);

// Runs the jobs of one window; stopping abandons the job in flight before its next row.
class CopyJobs {
 public:
  explicit CopyJobs(MainWindow& window);
  ~CopyJobs();  // stops and waits for the worker
  void Start();
  // Asks the running job to stop and waits for the worker to end.
  void StopAndWait();
  // True while a job runs or waits.
  bool Busy() const;
  // Waits until no job runs or waits (tests and benchmarks).
  void WaitUntilIdle();

 private:
  struct State;
  State* state_;
};

}  // namespace morvane
