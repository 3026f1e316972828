// The copy job and the worker that runs the queued jobs one after another.
#include "copy/copy_job.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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

// Windows drops trailing spaces and dots from a component, and so does our file layer, so "..",
// ".. " and "..." all name the parent. Any run of dots and spaces holding two dots is refused.
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

// What one row takes from the window.
struct RowInputs {
  Text name;
  Text sourceFolder;
  Text targetFolder;
};

// One wait for the user-interface thread per row instead of three: the previous row's percentage
// goes to 标签1 (if any), then the row's name and both folder fields are read, the same accesses
// in the same order as SetLabelCaption, GetItemText and two GetEditText calls. Each hand-over
// costs two thread switches, which on a busy machine outweigh copying a small file. Clears the
// progress it showed; false once the window is closed.
bool VisitWindow(MainWindow& window, Text& progress, int32_t position, RowInputs* row) {
  return window.Calls().Run([&] {
    PlatformBinding& binding = window.Binding();
    if (!progress.empty()) binding.WriteControlText(Control::标签1, std::exchange(progress, Text()));
    if (!row) return;
    row->name = window.Names().GetItemText(position);
    row->sourceFolder = binding.ReadControlText(Control::编辑框2);
    row->targetFolder = binding.ReadControlText(Control::编辑框3);
  });
}

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
  Text logPath;  // of this run's latest failure; none until one is recorded
  bool failureUnlogged = false;
  Text progress;  // the previous row's percentage, shown on the next visit to the window
  for (int32_t i = 1; i <= n; ++i) {
    if (Stopping(window, stop)) break;
    RowInputs row;
    if (!VisitWindow(window, progress, i - 1, &row) || Stopping(window, stop)) return;
    const Text& name = row.name;

    // A field emptied during the job would make "\" + name a path from the root of the drive.
    bool copied = false;
    if (!row.sourceFolder.empty() && !row.targetFolder.empty() && !ClimbsOutOfFolder(name)) {
      copied = CopyFileReplacing(JoinTexts({row.sourceFolder, "\\", name}),
                                 JoinTexts({row.targetFolder, "\\", name}), &stop);
    }
    if (!copied) {
      if (Stopping(window, stop)) return;  // an abandoned copy is no failure of the row
      const Text logFolder = window.GetEditText(Control::编辑框3);
      if (Stopping(window, stop)) return;
      bool logged = false;
      if (!logFolder.empty()) {
        logPath = JoinTexts({logFolder, texts::kFailureLogSuffix});
        logged = AppendToFile(logPath, TextToBytes(JoinTexts({name, "\r\n"})));
      }
      if (!logged) failureUnlogged = true;
    }

    const double share = static_cast<double>(i) / static_cast<double>(n);
    const double percent = share * 100.0;
    progress = JoinTexts({RealToText(percent), "%"});
  }
  if (!progress.empty()) VisitWindow(window, progress, 0, nullptr);

  if (Stopping(window, stop)) return;
  if (failureUnlogged) {
    ShowMessage(window.Binding(), texts::kUnloggedFailuresNotice);
  } else if (!logPath.empty() && FileExists(logPath)) {
    ShowMessage(window.Binding(), texts::kFailuresNotice);
  }
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
  ++state_->waiting;
  if (!state_->worker.joinable()) {
    state_->worker = std::thread([state = state_.get()] { state->RunJobs(); });
  }
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
