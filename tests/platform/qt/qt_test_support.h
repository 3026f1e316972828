// What the Qt window's tests share: the running window, waiting with the loop turning, keys.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "platform/codepage936.h"
#include "platform/qt/qt_binding.h"

namespace morvane::qt_test {

// Turns the event loop until done() holds; false after the timeout.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMilliseconds) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// A key press and release sent to the widget that has the focus, through the application's filters.
inline void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  ASSERT_NE(target, nullptr) << "no widget has the focus";
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &press);
  if (QWidget* now = QApplication::focusWidget()) {
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(now, &release);
  }
}

inline QString Utf8(const char* text) { return QString::fromUtf8(text); }
inline Text Cp936(const char* utf8) { return Utf8ToCodepage936(utf8); }

// Runs body on the user-interface thread once the window is shown and active; a window still open
// after it is closed. A body that hangs fails the test instead of the run.
inline void WhenWindowIsActive(QtBinding& binding, const std::function<void()>& body,
                               int timeoutMilliseconds = 30000) {
  auto* guard = new QTimer;
  guard->setSingleShot(true);
  QObject::connect(guard, &QTimer::timeout, [&binding] {
    ADD_FAILURE() << "the window was still open at the time limit";
    if (QWidget* window = binding.WindowWidget()) window->close();
  });
  guard->start(timeoutMilliseconds);
  QTimer::singleShot(0, [&binding, body, guard] {
    QWidget* window = binding.WindowWidget();
    if (!window) return;
    EXPECT_TRUE(WaitUntil([&] { return window->isActiveWindow(); })) << "the window never became active";
    body();
    if (QWidget* still = binding.WindowWidget()) still->close();
    delete guard;
  });
}

// A fresh folder under the system's temporary folder, removed at the end.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("morvane_qt_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // path + "/" + relative (UTF-8), made as a folder.
  std::string MakeFolder(const std::string& relative) const {
    const auto folder = path_ / std::filesystem::u8path(relative);
    std::filesystem::create_directories(folder);
    return folder.string();
  }
  std::string MakeFile(const std::string& relative) const {
    const auto file = path_ / std::filesystem::u8path(relative);
    std::ofstream(file) << "x";
    return file.string();
  }
  std::string Path() const { return path_.string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// The model and its Qt window for one test; Run() runs the message loop until the window closes.
class QtWindowTest : public testing::Test {
 protected:
  void Run(const std::function<void()>& body) {
    ASSERT_TRUE(binding.CreateWindow(model));
    WhenWindowIsActive(binding, body);
    binding.RunMessageLoop();
  }

  QtBinding binding;
  MainWindow model{binding};
};

}  // namespace morvane::qt_test
