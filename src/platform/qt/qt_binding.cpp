// QtBinding: window, control texts, message boxes, the folder browser and the open-file dialog.
#include "platform/qt/qt_binding.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "platform/codepage936.h"
#include "platform/qt/qt_main_window.h"

namespace morvane {

// What posted calls go to; emptied before the object goes, so a late worker posts nothing.
struct QtBinding::PostTarget {
  std::mutex mutex;
  QObject* object = nullptr;
};

namespace {

// A path text as Qt takes it: "\" separates folders in the program's paths.
QString PathToQString(const Text& path) { return TextToQString(path).replace(u'\\', u'/'); }

// "EXCEL文件|*.xls*" → "EXCEL文件 (*.xls*)": description and pattern pairs, ";" between patterns.
QStringList NameFilters(const Text& filter) {
  const QStringList parts = TextToQString(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    filters << parts[i] + QStringLiteral(" (") + patterns.replace(u';', u' ') + u')';
  }
  return filters;
}

// Open mode that takes a typed name of a file that does not exist yet, as long as its folder does.
class WorkbookFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  void accept() override {
    const QStringList files = selectedFiles();
    if (!files.isEmpty() && !QFileInfo(files.first()).dir().exists()) return;
    QFileDialog::accept();
  }
};

}  // namespace

QtBinding::QtBinding() : postTarget_(std::make_shared<PostTarget>()) {}

QtBinding::~QtBinding() { TearDownWindow(); }

Text QtBinding::ExecutablePath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::canonical("/proc/self/exe", error);
  if (!error) return QStringToText(QString::fromStdString(path.string()));
  return QStringToText(QCoreApplication::applicationFilePath());
}

bool QtBinding::SetCurrentFolder(const Text& folder) {
  auto utf8 = Codepage936ToUtf8(folder);
  if (!utf8 || utf8->empty()) return false;
  std::replace(utf8->begin(), utf8->end(), '\\', '/');
  return chdir(utf8->c_str()) == 0;
}

bool QtBinding::CreateWindow(MainWindow& model) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || window_) return false;
  model_ = &model;
  {
    std::lock_guard lock(mutex_);
    windowClosed_ = false;
  }
  {
    std::lock_guard lock(postTarget_->mutex);
    postTarget_->object = new QObject;
  }
  model.Calls().SetUserInterfaceThread(std::this_thread::get_id());
  model.Calls().SetWake([target = postTarget_, &model] {
    std::lock_guard lock(target->mutex);
    if (target->object)
      QMetaObject::invokeMethod(
          target->object, [&model] { model.Calls().ServePending(); }, Qt::QueuedConnection);
  });
  window_ = std::make_unique<QtMainWindow>(model);
  window_->onClosed = [this] { WindowClosed(); };
  window_->show();
  window_->activateWindow();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) window_->raise();
  return true;
}

void QtBinding::RunMessageLoop() {
  if (window_ && window_->isVisible()) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  TearDownWindow();
}

void QtBinding::WindowClosed() {
  if (!model_) return;
  // Workers waiting for a control operation or a message box are let go before anything ends.
  model_->Close();
  {
    std::lock_guard lock(mutex_);
    windowClosed_ = true;
  }
  messageBoxClosed_.notify_all();
  for (const QPointer<QMessageBox>& box : std::exchange(messageBoxes_, {}))
    if (box) box->done(QMessageBox::Ok);
  if (loop_) loop_->quit();
}

void QtBinding::TearDownWindow() {
  if (model_) {
    model_->Close();
    model_->Calls().SetWake(nullptr);
  }
  QObject* object;
  {
    std::lock_guard lock(postTarget_->mutex);
    object = std::exchange(postTarget_->object, nullptr);
  }
  delete object;  // calls still queued for it go with it
  window_.reset();
  model_ = nullptr;
}

QWidget* QtBinding::WindowWidget() const { return window_.get(); }

QWidget* QtBinding::ControlWidget(Control control) const {
  return window_ ? window_->ControlWidget(control) : nullptr;
}

Text QtBinding::ReadControlText(Control control) {
  QWidget* widget = ControlWidget(control);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return QStringToText(edit->text());
  if (auto* button = qobject_cast<QPushButton*>(widget)) return QStringToText(button->text());
  if (auto* label = dynamic_cast<LabelWidget*>(widget)) return label->Caption();
  return {};
}

void QtBinding::WriteControlText(Control control, const Text& text) {
  QWidget* widget = ControlWidget(control);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(TextToQString(text));
    edit->setCursorPosition(0);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(TextToQString(text));
  } else if (auto* label = dynamic_cast<LabelWidget*>(widget)) {
    label->SetCaption(text);
  }
}

bool QtBinding::OnUserInterfaceThread() const {
  return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool QtBinding::Post(std::function<void()> call) {
  std::lock_guard lock(postTarget_->mutex);
  if (!postTarget_->object) return false;
  QMetaObject::invokeMethod(postTarget_->object, std::move(call), Qt::QueuedConnection);
  return true;
}

void QtBinding::AnnounceShown(QWidget* dialog) {
  QTimer::singleShot(0, dialog, [this, dialog] {
    if (onDialogShown) onDialogShown(dialog);
  });
}

int QtBinding::RunModal(QDialog& dialog) {
  // Modal to the whole program: every other top-level window is disabled while the dialog is open
  // and gets its own enabled state back afterwards.
  QPointer<QWidget> active = QApplication::activeWindow();
  std::vector<std::pair<QPointer<QWidget>, bool>> disabled;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == &dialog || widget->parentWidget() || !widget->isVisible()) continue;
    disabled.emplace_back(widget, widget->isEnabled());
    widget->setEnabled(false);
  }
  dialog.setWindowModality(Qt::ApplicationModal);
  AnnounceShown(&dialog);
  const int result = dialog.exec();
  for (const auto& [widget, wasEnabled] : disabled)
    if (widget) widget->setEnabled(wasEnabled);
  if (active) {
    active->activateWindow();
    if (window_ && active == window_.get()) window_->RestoreFocus();
  }
  return result;
}

void QtBinding::ShowMessageBox(const Text& caption, const Text& message) {
  if (!OnUserInterfaceThread()) {
    {
      std::lock_guard lock(mutex_);
      if (windowClosed_) return;
    }
    // Shown without modality on the user-interface thread; only this caller waits for it.
    auto closed = std::make_shared<bool>(false);
    if (!Post([this, caption, message, closed] { ShowWorkerMessageBox(caption, message, closed); })) return;
    std::unique_lock lock(mutex_);
    messageBoxClosed_.wait(lock, [&] { return *closed || windowClosed_; });
    return;
  }
  if (model_) {
    std::lock_guard lock(mutex_);
    if (windowClosed_) return;
  }
  QMessageBox box(QMessageBox::NoIcon, TextToQString(caption), TextToQString(message), QMessageBox::Ok);
  messageBoxes_.emplace_back(&box);
  RunModal(box);
  std::erase(messageBoxes_, QPointer<QMessageBox>(&box));
}

void QtBinding::ShowWorkerMessageBox(const Text& caption, const Text& message, std::shared_ptr<bool> closed) {
  {
    std::lock_guard lock(mutex_);
    if (windowClosed_) return;
  }
  auto* box =
      new QMessageBox(QMessageBox::NoIcon, TextToQString(caption), TextToQString(message), QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  const auto release = [this, closed] {
    {
      std::lock_guard lock(mutex_);
      *closed = true;
    }
    messageBoxClosed_.notify_all();
  };
  QObject::connect(box, &QDialog::finished, box, release);
  QObject::connect(box, &QObject::destroyed, postTarget_->object, release);
  messageBoxes_.emplace_back(box);
  box->show();
  AnnounceShown(box);
}

Text QtBinding::BrowseForFolder(const Text& prompt) {
  QFileDialog dialog(nullptr, TextToQString(prompt), QDir::homePath());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  // The prompt also above the folders, where it shows even without a window manager's title bar.
  dialog.setLabelText(QFileDialog::LookIn, TextToQString(prompt));
  if (RunModal(dialog) != QDialog::Accepted) return {};
  const QStringList folders = dialog.selectedFiles();
  if (folders.isEmpty()) return {};
  // A path the program's texts cannot hold would name another folder: nothing is better.
  return Utf8ToCodepage936Exactly(folders.first().toStdString()).value_or(Text());
}

bool QtBinding::ShowOpenFileDialog(OpenFileDialogRequest& request) {
  WorkbookFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(NameFilters(request.filter));
  dialog.setDirectory(PathToQString(request.initialDirectory));
  dialog.setDefaultSuffix(TextToQString(request.defaultExtension));
  if (!request.fileName.empty()) dialog.selectFile(PathToQString(request.fileName));
  if (RunModal(dialog) != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  const auto path = Utf8ToCodepage936Exactly(files.first().toStdString());
  if (!path) return false;
  request.fileName = *path;
  return true;
}

void QtBinding::ShowFatalError(const Text& message) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "%s\n", Codepage936ToUtf8(message).value_or(message).c_str());
    return;
  }
  QMessageBox::critical(nullptr, TextToQString(kWindowDefinition.caption), TextToQString(message));
}

}  // namespace morvane
