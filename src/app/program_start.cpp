// Start-up and shutdown.
#include "app/program_start.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "app/program_globals.h"
#include "copy/copy_job.h"

namespace morvane {
namespace {

std::mutex exitCallbacksMutex;
std::vector<void (*)()> exitCallbacks;

// The program's own folder: the path cut at its last separator. A trail byte of a two-byte
// character may be 0x5C, so lead bytes (0x81-0xFE) take their trail byte with them.
Text FolderOf(const Text& path) {
  std::size_t cut = Text::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte >= 0x81 && byte <= 0xFE) {
      ++i;
    } else if (byte == '\\' || byte == '/') {
      cut = i;
    }
  }
  return cut == Text::npos ? Text() : path.substr(0, cut);
}

}  // namespace

void RegisterExitCallback(void (*callback)()) {
  std::lock_guard lock(exitCallbacksMutex);
  if (std::find(exitCallbacks.begin(), exitCallbacks.end(), callback) == exitCallbacks.end())
    exitCallbacks.push_back(callback);
}

void RunExitCallbacks() {
  std::vector<void (*)()> callbacks;
  {
    std::lock_guard lock(exitCallbacksMutex);
    callbacks.swap(exitCallbacks);
  }
  for (auto callback : callbacks) callback();
}

void FatalError(PlatformBinding& binding, const Text& message) {
  binding.ShowFatalError(message);
  std::_Exit(-1);
}

int ProgramStart(PlatformBinding& binding) {
  ProgramDirectory = FolderOf(binding.ExecutablePath());
  binding.SetCurrentFolder(ProgramDirectory);
  RegisterExitCallback(&ReleaseProgramGlobals);
  {
    MainWindow window(binding);
    if (!binding.CreateWindow(window)) FatalError(binding, "Morvane: the main window cannot be created.");
    binding.RunMessageLoop();
    // Closing never waits for a copy job: it is told to stop before its next row.
    window.Close();
    window.Jobs().StopAndWait();
  }
  return 0;
}

}  // namespace morvane
