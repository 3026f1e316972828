// HeadlessBinding.
#include "platform/headless/headless_binding.h"

#include <chrono>

#include "load/spreadsheet.h"

namespace morvane {

HeadlessBinding::HeadlessBinding() = default;

void HeadlessBinding::Attach(MainWindow& window) {
  std::lock_guard lock(mutex_);
  window_ = &window;
  for (const ControlDefinition& definition : kControlDefinitions) texts_[definition.control] = definition.initialText;
  window.Calls().SetWake([this] {
    std::lock_guard wakeLock(mutex_);
    woken_ = true;
    wake_.notify_all();
  });
}

bool HeadlessBinding::PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  while (true) {
    if (window_) window_->Calls().ServePending();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!wake_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)),
                          [&] { return woken_; }) &&
        std::chrono::steady_clock::now() >= deadline)
      return done();
    woken_ = false;
  }
}

void HeadlessBinding::QueueFolderAnswer(const Text& path) {
  std::lock_guard lock(mutex_);
  folderAnswers_.push_back(path);
}

void HeadlessBinding::QueueOpenFileAnswer(std::optional<Text> path) {
  std::lock_guard lock(mutex_);
  openFileAnswers_.push_back(std::move(path));
}

std::vector<Text> HeadlessBinding::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<OpenFileDialogRequest> HeadlessBinding::OpenFileRequests() const {
  std::lock_guard lock(mutex_);
  return openFileRequests_;
}

std::vector<Text> HeadlessBinding::FolderPrompts() const {
  std::lock_guard lock(mutex_);
  return folderPrompts_;
}

std::vector<Text> HeadlessBinding::LabelHistory(Control label) const {
  std::lock_guard lock(mutex_);
  const auto found = history_.find(label);
  return found == history_.end() ? std::vector<Text>{} : found->second;
}

Text HeadlessBinding::ExecutablePath() { return executablePath; }

bool HeadlessBinding::SetCurrentFolder(const Text&) { return true; }

bool HeadlessBinding::CreateWindow(MainWindow& window) {
  Attach(window);
  return true;
}

void HeadlessBinding::RunMessageLoop() {
  // The window closes at once: there is no user.
  if (window_) window_->Close();
}

Text HeadlessBinding::ReadControlText(Control control) {
  std::lock_guard lock(mutex_);
  return texts_[control];
}

void HeadlessBinding::WriteControlText(Control control, const Text& text) {
  std::lock_guard lock(mutex_);
  texts_[control] = text;
  history_[control].push_back(text);
}

void HeadlessBinding::ShowMessageBox(const Text&, const Text& message) {
  std::lock_guard lock(mutex_);
  messages_.push_back(message);
}

Text HeadlessBinding::BrowseForFolder(const Text& prompt) {
  std::lock_guard lock(mutex_);
  folderPrompts_.push_back(prompt);
  if (folderAnswers_.empty()) return {};
  Text answer = folderAnswers_.front();
  folderAnswers_.pop_front();
  return answer;
}

bool HeadlessBinding::ShowOpenFileDialog(OpenFileDialogRequest& request) {
  std::lock_guard lock(mutex_);
  openFileRequests_.push_back(request);
  if (openFileAnswers_.empty()) return false;
  auto answer = openFileAnswers_.front();
  openFileAnswers_.pop_front();
  if (!answer) return false;
  request.fileName = *answer;
  return true;
}

std::unique_ptr<SpreadsheetOperations> HeadlessBinding::CreateAutomationServer() {
  return automationFactory ? automationFactory() : nullptr;
}

void HeadlessBinding::ShowFatalError(const Text& message) { ShowMessageBox({}, message); }

}  // namespace morvane
