// The Qt binding's dialogs and message boxes, answered through the binding's dialog hook.
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <optional>
#include <thread>

#include "app/program_texts.h"
#include "qt_test_support.h"
#include "services/message.h"

namespace morvane {
namespace {

using qt_test::Cp936;
using qt_test::QtWindowTest;
using qt_test::TemporaryFolder;
using qt_test::Utf8;
using qt_test::WaitUntil;

// OK as the dialog's button gives it (QFileDialog hides accept() from outsiders).
void PressOk(QDialog* dialog) { dialog->accept(); }

// Everything the hook saw of the dialog while it was open.
struct SeenDialog {
  bool shown = false;
  QString title;
  Qt::WindowModality modality = Qt::NonModal;
  bool modalToTheProgram = false;
  bool mainWindowEnabled = true;
  bool otherWindowEnabled = true;
};

SeenDialog Look(QWidget* dialog, QtBinding& binding, QWidget* other) {
  SeenDialog seen;
  seen.shown = true;
  seen.title = dialog->windowTitle();
  seen.modality = dialog->windowModality();
  seen.modalToTheProgram = QApplication::activeModalWidget() == dialog;
  seen.mainWindowEnabled = binding.WindowWidget()->isEnabled();
  seen.otherWindowEnabled = other ? other->isEnabled() : true;
  return seen;
}

TEST_F(QtWindowTest, FolderPickerFillsTheFieldWithTheChosenFolderOrEmptiesIt) {
  TemporaryFolder root;
  const std::string longPath =
      root.MakeFolder(std::string(120, 'a') + "/" + std::string(120, 'b') + "/长路径");
  ASSERT_GT(longPath.size(), 259u);
  struct Case {
    const char* what;
    std::optional<std::string> choice;    // nothing: cancelled
    std::optional<std::string> expected;  // UTF-8 of the field afterwards; nothing: empty
  };
  const std::string chinese = root.MakeFolder("资料 目录");
  const Case cases[] = {
      {"a folder with a Chinese name", chinese, chinese},
      {"cancelled", std::nullopt, std::nullopt},
      {"a folder that code page 936 cannot write", root.MakeFolder("表情\xF0\x9F\x98\x80"), std::nullopt},
      {"a path longer than 259 bytes", longPath, longPath},
      {"the root folder", "/", "/"},
  };
  Run([&] {
    // A second window, disabled before the picker opens, stays disabled after it.
    QWidget other;
    other.show();
    other.setEnabled(false);
    auto* button = qobject_cast<QPushButton*>(binding.ControlWidget(Control::按钮2));
    for (const Case& test : cases) {
      SCOPED_TRACE(test.what);
      binding.WriteControlText(Control::编辑框2, "earlier");
      button->setFocus();
      SeenDialog seen;
      binding.onDialogShown = [&](QWidget* dialog) {
        seen = Look(dialog, binding, &other);
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(fileDialog, nullptr);
        EXPECT_EQ(fileDialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(fileDialog->testOption(QFileDialog::ShowDirsOnly));
        EXPECT_EQ(fileDialog->labelText(QFileDialog::LookIn), Utf8("选择文件目录"));
        if (!test.choice) return fileDialog->reject();
        fileDialog->setDirectory(QString::fromStdString(*test.choice));
        PressOk(fileDialog);
      };
      button->click();
      EXPECT_TRUE(seen.shown);
      EXPECT_EQ(seen.title, Utf8("选择文件目录"));
      EXPECT_TRUE(seen.modalToTheProgram);
      EXPECT_FALSE(seen.mainWindowEnabled);
      EXPECT_FALSE(seen.otherWindowEnabled);
      EXPECT_TRUE(binding.WindowWidget()->isEnabled());
      EXPECT_FALSE(other.isEnabled());
      EXPECT_EQ(model.GetEditText(Control::编辑框2), test.expected ? Cp936(test.expected->c_str()) : Text());
      EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == button; }))
          << "the focus did not come back";
    }
    // 按钮5 asks with its own prompt and fills its own field.
    binding.onDialogShown = [&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), Utf8("选择保存目录"));
      qobject_cast<QFileDialog*>(dialog)->setDirectory(QString::fromStdString(chinese));
      PressOk(qobject_cast<QFileDialog*>(dialog));
    };
    qobject_cast<QPushButton*>(binding.ControlWidget(Control::按钮5))->click();
    EXPECT_EQ(model.GetEditText(Control::编辑框3), Cp936(chinese.c_str()));
  });
}

TEST_F(QtWindowTest, OpenFileDialogTakesTypedNamesAndKeepsItsSettings) {
  TemporaryFolder root;
  const std::string folder = root.MakeFolder("表格");
  root.MakeFile("表格/名单.xlsx");
  struct Case {
    const char* what;
    const char* typed;     // nullptr: cancelled
    const char* expected;  // file under the folder; nullptr: the dialog ends without a choice
    bool refused;          // the dialog stays open after OK and is then cancelled
  };
  const Case cases[] = {
      {"an existing workbook", "名单.xlsx", "名单.xlsx", false},
      {"a typed name without extension gets the default one", "book", "book.E", false},
      {"a typed name of a file that does not exist", "missing.xlsx", "missing.xlsx", false},
      {"a typed name in a folder that does not exist", "nofolder/x.xlsx", nullptr, true},
      {"cancelled", nullptr, nullptr, false},
  };
  Run([&] {
    for (const Case& test : cases) {
      SCOPED_TRACE(test.what);
      OpenFileDialogRequest request{texts::kWorkbookFilter, Cp936(folder.c_str()),
                                    texts::kWorkbookDefaultExtension,
                                    Cp936((folder + "/旧名单.xlsx").c_str())};
      SeenDialog seen;
      bool stayedOpen = false;
      binding.onDialogShown = [&](QWidget* dialog) {
        seen = Look(dialog, binding, nullptr);
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(fileDialog, nullptr);
        EXPECT_EQ(fileDialog->nameFilters(), QStringList{Utf8("EXCEL文件 (*.xls*)")});
        EXPECT_EQ(fileDialog->directory().absolutePath(), QString::fromStdString(folder));
        EXPECT_EQ(fileDialog->defaultSuffix(), "E");
        EXPECT_EQ(fileDialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_TRUE(fileDialog->testOption(QFileDialog::DontUseNativeDialog));
        auto* name = fileDialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), Utf8("旧名单.xlsx")) << "the last confirmed path is not offered again";
        if (!test.typed) return fileDialog->reject();
        name->setText(Utf8(test.typed));
        PressOk(fileDialog);
        if (test.refused) {
          stayedOpen = fileDialog->isVisible();
          fileDialog->reject();
        }
      };
      const bool chosen = binding.ShowOpenFileDialog(request);
      EXPECT_TRUE(seen.shown);
      EXPECT_TRUE(seen.modalToTheProgram);
      EXPECT_FALSE(seen.mainWindowEnabled);
      EXPECT_TRUE(binding.WindowWidget()->isEnabled());
      EXPECT_EQ(stayedOpen, test.refused);
      EXPECT_EQ(chosen, test.expected != nullptr);
      const std::string expected = test.expected ? folder + "/" + test.expected : folder + "/旧名单.xlsx";
      EXPECT_EQ(request.fileName, Cp936(expected.c_str()));
    }
  });
}

TEST_F(QtWindowTest, MessageBoxOnTheUserInterfaceThreadIsModalToTheProgram) {
  Run([&] {
    SeenDialog seen;
    QString text;
    binding.onDialogShown = [&](QWidget* dialog) {
      seen = Look(dialog, binding, nullptr);
      auto* box = qobject_cast<QMessageBox*>(dialog);
      ASSERT_NE(box, nullptr);
      text = box->text();
      ASSERT_EQ(box->buttons().size(), 1);
      box->button(QMessageBox::Ok)->click();
    };
    ShowMessage(binding, Cp936("存在复制失败文件"));
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, Utf8("信息："));
    EXPECT_EQ(text, Utf8("存在复制失败文件"));
    EXPECT_TRUE(seen.modalToTheProgram);
    EXPECT_FALSE(seen.mainWindowEnabled);
    EXPECT_TRUE(binding.WindowWidget()->isEnabled());
  });
}

TEST_F(QtWindowTest, MessageBoxFromAWorkerHoldsOnlyTheWorker) {
  for (int i = 0; i < 3; ++i) model.Names().AppendItem();
  std::atomic<bool> returned{false};
  QPointer<QMessageBox> box;
  binding.onDialogShown = [&](QWidget* dialog) { box = qobject_cast<QMessageBox*>(dialog); };
  Run([&] {
    std::thread worker([&] {
      ShowMessage(binding, Cp936("复制完成"));
      returned = true;
    });
    if (WaitUntil([&] { return !box.isNull(); })) {
      EXPECT_EQ(box->windowTitle(), Utf8("信息："));
      EXPECT_EQ(box->text(), Utf8("复制完成"));
      EXPECT_EQ(box->windowModality(), Qt::NonModal);
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
      EXPECT_TRUE(binding.WindowWidget()->isEnabled());
      // The window still works: 清空内容 runs its handler.
      qobject_cast<QPushButton*>(binding.ControlWidget(Control::按钮3))->click();
      EXPECT_EQ(model.Names().Count(), 0);
      QThread::msleep(20);
      EXPECT_FALSE(returned) << "the worker did not wait for the box";
      box->button(QMessageBox::Ok)->click();
    } else {
      ADD_FAILURE() << "no message box appeared";
    }
    EXPECT_TRUE(WaitUntil([&] { return returned.load(); }));
    worker.join();
  });
}

TEST_F(QtWindowTest, ClosingTheWindowReleasesAWorkerWaitingForItsMessageBox) {
  std::atomic<int> returned{0};
  QPointer<QMessageBox> box;
  binding.onDialogShown = [&](QWidget* dialog) { box = qobject_cast<QMessageBox*>(dialog); };
  std::thread worker;
  Run([&] {
    worker = std::thread([&] {
      ShowMessage(binding, "first");
      ++returned;
      // Once the window is gone a box is not shown and nobody waits.
      ShowMessage(binding, "second");
      ++returned;
    });
    EXPECT_TRUE(WaitUntil([&] { return !box.isNull(); }));
    binding.WindowWidget()->close();
  });
  EXPECT_TRUE(WaitUntil([&] { return returned == 2; }));
  worker.join();
  EXPECT_TRUE(box.isNull() || !box->isVisible());
}

}  // namespace
}  // namespace morvane
