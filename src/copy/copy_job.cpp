// The copy job and the worker that runs the queued jobs one after another.
#include "copy/copy_job.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "app/program_globals.h"
#include "app/program_texts.h"
#include "platform/binding.h"
#include "platform/codepage936.h"
#include "services/files.h"
#include "services/message.h"
#include "services/numbers.h"

namespace morvane {
namespace {

bool IsSeparator(char byte) { return byte == '\\' || byte == '/'; }

bool IsLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

// Windows drops trailing spaces and dots from a component, which may leave ".. " or "..." as "..".
// Rather than follow each file layer's reading, any run of dots and spaces with two dots counts.
bool NamesParentFolder(std::string_view component) {
  int dots = 0;
  for (char byte : component) {
    if (byte == '.') {
      ++dots;
    } else if (byte != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

// With pairs, a lead byte takes the next byte along even when that is "\" (a valid trail byte).
bool HasParentComponent(std::string_view name, bool pairs) {
  std::size_t start = 0;
  std::size_t i = 0;
  while (i <= name.size()) {
    if (i == name.size() || IsSeparator(name[i])) {
      if (NamesParentFolder(name.substr(start, i - start))) return true;
      start = ++i;
    } else {
      i += pairs && IsLeadByte(name[i]) && i + 1 < name.size() ? 2 : 1;
    }
  }
  return false;
}

// The job's stop test. After Close() every control read gives the empty text, so a read made
// during a close must not be used: "\" + name would then point at the root of the drive.
bool Stopping(MainWindow& window, const std::atomic<bool>& stop) {
  return stop.load(std::memory_order_relaxed) || window.IsClosed();
}

// One hand-over to the user-interface thread per row. It makes the accesses the job would make one
// by one, in the same order: the target field read afresh for the previous row's failure, that
// row's percentage in 标签1, then this row's name and both folder fields. Each hand-over costs two
// thread switches, which on a busy machine outweigh copying a small file.
struct Visit {
  bool readLogFolder = false;
  Text progress;  // empty: nothing to show
  bool readRow = false;
  int32_t position = 0;

  Text logFolder;
  Text name;
  Text sourceFolder;
  Text targetFolder;
};

// False, with nothing read, once the window is closed.
bool VisitWindow(MainWindow& window, Visit& visit) {
  return window.Calls().Run([&] {
    PlatformBinding& binding = window.Binding();
    if (visit.readLogFolder) visit.logFolder = binding.ReadControlText(Control::编辑框3);
    if (!visit.progress.empty()) binding.WriteControlText(Control::标签1, visit.progress);
    if (visit.readRow) {
      visit.name = window.Names().GetItemText(visit.position);
      visit.sourceFolder = binding.ReadControlText(Control::编辑框2);
      visit.targetFolder = binding.ReadControlText(Control::编辑框3);
    }
  });
}

// The failure log of one run: where its latest line went, and whether some line could not go.
class FailureLog {
 public:
  void Record(const Text& targetFolder, const Text& name) {
    // An emptied field would put the log at the root of the drive.
    if (targetFolder.empty()) {
      unwritten_ = true;
      return;
    }
    path_ = JoinTexts({targetFolder, texts::kFailureLogSuffix});
    if (!AppendToFile(path_, TextToBytes(JoinTexts({name, "\r\n"})))) unwritten_ = true;
  }

  void ShowNotice(MainWindow& window) const {
    if (unwritten_) {
      ShowMessage(window.Binding(), texts::kUnloggedFailuresNotice);
    } else if (!path_.empty() && FileExists(path_)) {
      ShowMessage(window.Binding(), texts::kFailuresNotice);
    }
  }

 private:
  Text path_;  // none until this run records a failure
  bool unwritten_ = false;
};

}  // namespace

bool ClimbsOutOfFolder(std::string_view name) {
  name = name.substr(0, static_cast<std::size_t>(TextLength(name)));
  if (name.empty()) return false;
  if (IsSeparator(name[0])) return true;                // "\x", "/x", "\\server\share"
  if (name.size() >= 2 && name[1] == ':') return true;  // "C:x", "C:\x"
  // Splitting at every "\" finds each ".." that pair-aware splitting finds, and more; only when
  // it finds one do the trail bytes matter. They count only where the whole name is valid code
  // page 936: elsewhere the file layer cannot decode it and may take every "\" as a separator.
  if (!HasParentComponent(name, false)) return false;
  if (!Codepage936ToUtf8(name)) return true;
  return HasParentComponent(name, true);
}

void CopyListedFiles(MainWindow& window, const std::atomic<bool>& stop) {
  if (Stopping(window, stop)) return;
  bool fieldEmpty = CompareTexts(window.GetEditText(Control::编辑框2), "") == 0;
  if (!fieldEmpty) fieldEmpty = CompareTexts(window.GetEditText(Control::编辑框3), "") == 0;
  if (Stopping(window, stop)) return;
  if (fieldEmpty) {
    ShowMessage(window.Binding(), texts::kEmptyFolderMessage);
    return;
  }

  // The bound is this job's own: a load during the job changes RowCount but not the rows of a
  // job already running, and the same n divides the percentage so the label ends at 100%.
  const int32_t n = RowCount.load();
  FailureLog log;
  Visit visit;
  // A failed row's line is written once the next visit has read the target field for it, before
  // anything else is copied.
  bool failed = false;
  Text failedName;
  Text failedRowTarget;
  // 64 bits: the pass after row n must not overflow when n is the largest RowCount.
  for (int64_t i = 1;; ++i) {
    const bool rowToDo = i <= n && !Stopping(window, stop);
    if (!rowToDo && !failed && visit.progress.empty()) break;
    visit.readLogFolder = failed;
    visit.readRow = rowToDo;
    visit.position = static_cast<int32_t>(i - 1);
    const bool answered = VisitWindow(window, visit);
    visit.progress.clear();
    if (failed) {
      // Closed meanwhile: the row's own reading of the field is the freshest there is.
      log.Record(answered ? visit.logFolder : failedRowTarget, failedName);
      failed = false;
    }
    if (!rowToDo) break;
    if (!answered || Stopping(window, stop)) return;

    // A field emptied during the job would make "\" + name a path from the root of the drive.
    bool copied = false;
    if (!visit.sourceFolder.empty() && !visit.targetFolder.empty() && !ClimbsOutOfFolder(visit.name)) {
      copied = CopyFileReplacing(JoinTexts({visit.sourceFolder, "\\", visit.name}),
                                 JoinTexts({visit.targetFolder, "\\", visit.name}), &stop);
    }
    if (!copied) {
      if (Stopping(window, stop)) return;  // an abandoned copy is no failure of the row
      failed = true;
      failedName = visit.name;
      failedRowTarget = visit.targetFolder;
    }

    const double share = static_cast<double>(i) / static_cast<double>(n);
    const double percent = share * 100.0;
    visit.progress = JoinTexts({RealToText(percent), "%"});
  }

  if (Stopping(window, stop)) return;
  log.ShowNotice(window);
}

void StartCopyJob(MainWindow& window) { window.Jobs().Start(); }

struct CopyJobs::State {
  explicit State(MainWindow& owner) : window(owner) {}

  MainWindow& window;
  mutable std::mutex mutex;
  std::condition_variable changed;
  int waiting = 0;       // queued jobs not yet started
  bool running = false;  // a job is under way
  bool ended = false;    // StopAndWait was called: no job starts any more
  bool workerDone = false;
  std::atomic<bool> stop{false};
  std::thread worker;

  void RunJobs() {
    std::unique_lock lock(mutex);
    while (true) {
      changed.wait(lock, [&] { return ended || waiting > 0; });
      if (ended) break;
      --waiting;
      running = true;
      lock.unlock();
      CopyListedFiles(window, stop);
      lock.lock();
      running = false;
      changed.notify_all();
    }
    workerDone = true;
    changed.notify_all();
  }

  // Waits for the condition; on the user-interface thread the worker's control calls are served
  // meanwhile, since the worker may be waiting on one.
  template <typename Condition>
  void WaitServing(std::unique_lock<std::mutex>& lock, Condition condition) {
    const bool serve = window.Calls().OnUserInterfaceThread();
    while (!condition()) {
      if (serve) {
        lock.unlock();
        window.Calls().ServePending();
        lock.lock();
        if (condition()) break;
        changed.wait_for(lock, std::chrono::milliseconds(1));
      } else {
        changed.wait(lock);
      }
    }
  }
};

CopyJobs::CopyJobs(MainWindow& window) : state_(std::make_unique<State>(window)) {}

CopyJobs::~CopyJobs() { StopAndWait(); }

void CopyJobs::Start() {
  std::lock_guard lock(state_->mutex);
  if (state_->ended) return;
  if (!state_->worker.joinable()) {
    // Without a thread there is no job, and nothing to report.
    try {
      state_->worker = std::thread([state = state_.get()] { state->RunJobs(); });
    } catch (const std::system_error&) {
      return;
    }
  }
  ++state_->waiting;
  state_->changed.notify_all();
}

void CopyJobs::StopAndWait() {
  std::unique_lock lock(state_->mutex);
  state_->ended = true;
  state_->waiting = 0;
  state_->stop = true;
  state_->changed.notify_all();
  if (!state_->worker.joinable()) return;
  state_->WaitServing(lock, [&] { return state_->workerDone; });
  lock.unlock();
  state_->worker.join();
}

bool CopyJobs::Busy() const {
  std::lock_guard lock(state_->mutex);
  return state_->running || state_->waiting > 0;
}

void CopyJobs::WaitUntilIdle() {
  std::unique_lock lock(state_->mutex);
  state_->WaitServing(lock, [&] { return !state_->running && state_->waiting == 0; });
}

}  // namespace morvane
