// A binding without a display: control texts in memory, scripted dialogs, recorded message boxes.
// Tests and benchmarks run the whole program on it; the calling thread is the user-interface thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/binding.h"

namespace morvane {

class HeadlessBinding : public PlatformBinding {
 public:
  HeadlessBinding();

  // Binds the model: control texts start as defined, worker calls are served by Pump().
  void Attach(MainWindow& window);

  // Serves the calls that workers wait on, until done() is true or the timeout passes.
  // True when done() became true.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds = 10000);

  // Scripted answers, taken in order; with none left the browser is cancelled and so is the dialog.
  void QueueFolderAnswer(const Text& path);  // empty: cancelled
  void QueueOpenFileAnswer(std::optional<Text> path);  // nothing: cancelled

  // Every message box shown, in order, and the requests the open-file dialog got.
  std::vector<Text> Messages() const;
  std::vector<OpenFileDialogRequest> OpenFileRequests() const;
  std::vector<Text> FolderPrompts() const;
  // Every caption 标签1 was given, in order.
  std::vector<Text> LabelHistory(Control label) const;

  // Automation server for loads (null by default, as on Linux).
  std::function<std::unique_ptr<SpreadsheetOperations>()> automationFactory;
  Text executablePath = "/opt/morvane/morvane";

  Text ExecutablePath() override;
  bool SetCurrentFolder(const Text& folder) override;
  bool CreateWindow(MainWindow& window) override;
  void RunMessageLoop() override;
  Text ReadControlText(Control control) override;
  void WriteControlText(Control control, const Text& text) override;
  void ShowMessageBox(const Text& caption, const Text& message) override;
  Text BrowseForFolder(const Text& prompt) override;
  bool ShowOpenFileDialog(OpenFileDialogRequest& request) override;
  std::unique_ptr<SpreadsheetOperations> CreateAutomationServer() override;
  void ShowFatalError(const Text& message) override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  MainWindow* window_ = nullptr;
  std::map<Control, Text> texts_;
  std::map<Control, std::vector<Text>> history_;
  std::deque<Text> folderAnswers_;
  std::deque<std::optional<Text>> openFileAnswers_;
  std::vector<Text> messages_;
  std::vector<OpenFileDialogRequest> openFileRequests_;
  std::vector<Text> folderPrompts_;
};

}  // namespace morvane
