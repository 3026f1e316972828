// The Linux binding: MainWindow made real with Qt Widgets, with Qt's dialogs and message boxes.
#pragma once

#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/binding.h"

class QDialog;
class QEventLoop;
class QMessageBox;
class QWidget;

namespace morvane {

class QtMainWindow;

class QtBinding : public PlatformBinding {
 public:
  // Needs the QApplication; the thread that makes the binding is the user-interface thread.
  QtBinding();
  ~QtBinding() override;
  QtBinding(const QtBinding&) = delete;
  QtBinding& operator=(const QtBinding&) = delete;

  Text ExecutablePath() override;
  bool SetCurrentFolder(const Text& folder) override;
  bool CreateWindow(MainWindow& window) override;
  void RunMessageLoop() override;
  Text ReadControlText(Control control) override;
  void WriteControlText(Control control, const Text& text) override;
  void ShowMessageBox(const Text& caption, const Text& message) override;
  Text BrowseForFolder(const Text& prompt) override;
  bool ShowOpenFileDialog(OpenFileDialogRequest& request) override;
  void ShowFatalError(const Text& message) override;

  // While the window is open: its widget and the widgets of its controls; else null.
  QWidget* WindowWidget() const;
  QWidget* ControlWidget(Control control) const;

  // Told of every dialog and message box this binding puts on screen, on the user-interface thread,
  // once its loop runs: lets tests answer them.
  std::function<void(QWidget* dialog)> onDialogShown;

 private:
  struct PostTarget;

  bool OnUserInterfaceThread() const;
  // Runs call on the user-interface thread later; false when there is no window to serve it.
  bool Post(std::function<void()> call);
  int RunModal(QDialog& dialog);
  void AnnounceShown(QWidget* dialog);
  void ShowWorkerMessageBox(const Text& caption, const Text& message, std::shared_ptr<bool> closed);
  void WindowClosed();
  void TearDownWindow();

  MainWindow* model_ = nullptr;
  std::unique_ptr<QtMainWindow> window_;
  std::shared_ptr<PostTarget> postTarget_;
  QEventLoop* loop_ = nullptr;
  std::vector<QPointer<QMessageBox>> messageBoxes_;  // user-interface thread only

  // Wakes the workers waiting for their message box.
  std::mutex mutex_;
  std::condition_variable messageBoxClosed_;
  bool windowClosed_ = false;
};

}  // namespace morvane
