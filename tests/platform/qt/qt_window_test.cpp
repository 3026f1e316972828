// The Qt main window: controls against the definition, frame, keys, labels and the program's end.
#include <QAbstractItemView>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/program_start.h"
#include "app/program_texts.h"
#include "platform/qt/qt_main_window.h"
#include "qt_test_support.h"

namespace morvane {
namespace {

using qt_test::PressKey;
using qt_test::QtWindowTest;
using qt_test::Utf8;
using qt_test::WaitUntil;

TEST_F(QtWindowTest, EveryControlStandsAtItsPlaceWithItsText) {
  Run([&] {
    for (const ControlDefinition& definition : kControlDefinitions) {
      SCOPED_TRACE(definition.name);
      QWidget* widget = binding.ControlWidget(definition.control);
      if (!HasWindow(definition.kind)) {
        EXPECT_EQ(widget, nullptr);
        continue;
      }
      ASSERT_NE(widget, nullptr);
      EXPECT_EQ(widget->geometry(),
                QRect(definition.left, definition.top, definition.width, definition.height));
      EXPECT_TRUE(widget->isVisible());
      EXPECT_TRUE(widget->isEnabled());
      switch (definition.kind) {
        case ControlKind::EditBox: {
          auto* edit = qobject_cast<QLineEdit*>(widget);
          ASSERT_NE(edit, nullptr);
          EXPECT_EQ(binding.ReadControlText(definition.control), definition.initialText);
          EXPECT_EQ(edit->cursorPosition(), 0);
          EXPECT_FALSE(edit->isReadOnly());
          break;
        }
        case ControlKind::PushButton: {
          auto* button = qobject_cast<QPushButton*>(widget);
          ASSERT_NE(button, nullptr);
          EXPECT_EQ(binding.ReadControlText(definition.control), definition.initialText);
          EXPECT_FALSE(button->autoDefault());
          EXPECT_FALSE(button->isDefault());
          break;
        }
        case ControlKind::Label:
          ASSERT_NE(dynamic_cast<LabelWidget*>(widget), nullptr);
          EXPECT_EQ(binding.ReadControlText(definition.control), definition.initialText);
          EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus);
          break;
        case ControlKind::ListView: {
          auto* view = qobject_cast<QTreeView*>(widget);
          ASSERT_NE(view, nullptr);
          EXPECT_EQ(view->model()->columnCount(), 1);
          EXPECT_EQ(view->model()->rowCount(), 0);
          EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), Utf8("文件名(含后序)"));
          EXPECT_EQ(view->header()->sectionSize(0), 150);
          EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
          EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
          EXPECT_FALSE(view->isSortingEnabled());
          EXPECT_TRUE(view->uniformRowHeights());
          break;
        }
        default:
          FAIL() << "a control kind without a window has a widget";
      }
    }
    // Reading through the model gives the same: the real contents, not grey hints.
    EXPECT_EQ(model.GetEditText(Control::编辑框1), "");
    EXPECT_EQ(model.GetEditText(Control::编辑框2), texts::kSourceFolderInitial);
    EXPECT_EQ(model.GetEditText(Control::编辑框3), texts::kTargetFolderInitial);
  });
}

TEST_F(QtWindowTest, WindowIsFixedCentredAndHasNoMaximiseButton) {
  Run([&] {
    QWidget* window = binding.WindowWidget();
    EXPECT_EQ(window->windowTitle(), "Morvane");
    EXPECT_EQ(window->size(), QSize(256, 268));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window can be resized";
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->parentWidget(), nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(),
              QPoint(screen.x() + (screen.width() - 262) / 2, screen.y() + (screen.height() - 293) / 2));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
    EXPECT_EQ(window->font(), QApplication::font());
  });
}

TEST_F(QtWindowTest, TabAndShiftTabWalkTheTabOrderAndWrap) {
  Run([&] {
    const auto order = TabOrder();
    ASSERT_TRUE(WaitUntil([&] {
      return QApplication::focusWidget() == binding.ControlWidget(Control::编辑框1);
    })) << "the first focus is not in 编辑框1";
    for (std::size_t step = 1; step <= order.size(); ++step) {
      SCOPED_TRACE(testing::Message() << "Tab number " << step);
      PressKey(Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), binding.ControlWidget(order[step % order.size()]));
    }
    for (std::size_t step = 1; step <= order.size(); ++step) {
      SCOPED_TRACE(testing::Message() << "Shift+Tab number " << step);
      PressKey(Qt::Key_Backtab, Qt::ShiftModifier);
      EXPECT_EQ(QApplication::focusWidget(),
                binding.ControlWidget(order[(order.size() - step) % order.size()]));
    }
  });
}

TEST_F(QtWindowTest, EnterNeitherClicksNorMovesTheFocus) {
  Run([&] {
    for (Control control : TabOrder()) {
      SCOPED_TRACE(DefinitionOf(control).name);
      QWidget* widget = binding.ControlWidget(control);
      widget->setFocus();
      ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == widget; }));
      int clicks = 0;
      if (auto* button = qobject_cast<QPushButton*>(widget))
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
      PressKey(Qt::Key_Return);
      PressKey(Qt::Key_Enter, Qt::KeypadModifier);
      EXPECT_EQ(clicks, 0);
      EXPECT_EQ(QApplication::focusWidget(), widget);
      if (auto* button = qobject_cast<QPushButton*>(widget)) button->disconnect();
    }
    ASSERT_NE(binding.WindowWidget(), nullptr) << "Enter closed the window";
  });
}

TEST(QtProgramTest, EscFromEveryFocusableControlEndsTheProgramWithZero) {
  for (Control control : TabOrder()) {
    SCOPED_TRACE(DefinitionOf(control).name);
    QtBinding binding;
    bool pressed = false;
    qt_test::WhenWindowIsActive(binding, [&] {
      QWidget* widget = binding.ControlWidget(control);
      widget->setFocus();
      ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == widget; }));
      pressed = true;
      PressKey(Qt::Key_Escape);
    });
    EXPECT_EQ(ProgramStart(binding), 0);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(binding.WindowWidget(), nullptr);
  }
}

TEST(QtProgramTest, ProgramPathAndCurrentFolderGoThroughCodePage936) {
  QtBinding binding;
  EXPECT_EQ(binding.ExecutablePath(),
            Utf8ToCodepage936(std::filesystem::canonical("/proc/self/exe").string()));
  qt_test::TemporaryFolder root;
  const std::string chinese = root.MakeFolder("程序 目录");
  const std::filesystem::path before = std::filesystem::current_path();
  struct Case {
    const char* what;
    Text folder;
    bool made;
  };
  std::string backslashed = chinese;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  const Case cases[] = {
      {"a Chinese folder", qt_test::Cp936(chinese.c_str()), true},
      {"the same with \\ between folders", qt_test::Cp936(backslashed.c_str()), true},
      {"a missing folder", qt_test::Cp936((chinese + "/missing").c_str()), false},
      {"the empty text", "", false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    std::filesystem::current_path(before);
    EXPECT_EQ(binding.SetCurrentFolder(test.folder), test.made);
    EXPECT_EQ(std::filesystem::current_path(), test.made ? std::filesystem::path(chinese) : before);
  }
  std::filesystem::current_path(before);
}

TEST(QtProgramTest, EscWithCtrlIsNotAClose) {
  QtBinding binding;
  bool stillOpen = false;
  qt_test::WhenWindowIsActive(binding, [&] {
    PressKey(Qt::Key_Escape, Qt::ControlModifier);
    QApplication::processEvents();
    stillOpen = binding.WindowWidget() && binding.WindowWidget()->isVisible();
  });
  EXPECT_EQ(ProgramStart(binding), 0);
  EXPECT_TRUE(stillOpen);
}

// The label as drawn, and the same text drawn by hand without any prefix handling.
QImage DrawnLabel(QWidget* label) { return label->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QImage LiteralText(QWidget* label, const QString& text) {
  QImage image(label->size(), QImage::Format_RGB32);
  image.fill(label->palette().color(QPalette::Button));
  QPainter painter(&image);
  painter.setFont(label->font());
  painter.setPen(Qt::black);
  painter.drawText(QRect(QPoint(0, 0), label->size()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   text);
  return image;
}

int DarkPixels(const QImage& image) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
  return dark;
}

TEST_F(QtWindowTest, LabelDrawsAnAmpersandAsItself) {
  Run([&] {
    QWidget* label = binding.ControlWidget(Control::标签4);
    binding.WriteControlText(Control::标签4, "a&b");
    EXPECT_EQ(binding.ReadControlText(Control::标签4), "a&b");
    EXPECT_EQ(DrawnLabel(label), LiteralText(label, "a&b"));
    // Taken as a prefix, a lone "&" would draw nothing at all.
    binding.WriteControlText(Control::标签4, "&");
    EXPECT_GT(DarkPixels(DrawnLabel(label)), 0);
    // A caption longer than the label is cut at its right edge, not wrapped or shrunk.
    QWidget* progress = binding.ControlWidget(Control::标签1);
    model.SetLabelCaption(Control::标签1, "33.33333333333%");
    EXPECT_EQ(DrawnLabel(progress), LiteralText(progress, "33.33333333333%"));
  });
}

TEST_F(QtWindowTest, WorkerControlOperationsAreOrderedAndWaitedFor) {
  std::atomic<bool> done{false};
  int mismatches = 0;
  const Text chinese = qt_test::Cp936("D:\\资料\\名单");
  Run([&] {
    std::thread worker([&] {
      for (int i = 0; i < 200; ++i) {
        const Text path = "folder" + std::to_string(i);
        model.SetEditText(Control::编辑框2, path);
        model.SetLabelCaption(Control::标签1, std::to_string(i));
        if (model.GetEditText(Control::编辑框2) != path) ++mismatches;
      }
      model.SetEditText(Control::编辑框3, chinese);
      if (model.GetEditText(Control::编辑框3) != chinese) ++mismatches;
      done = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(qobject_cast<QLineEdit*>(binding.ControlWidget(Control::编辑框2))->text(), "folder199");
    EXPECT_EQ(qobject_cast<QLineEdit*>(binding.ControlWidget(Control::编辑框3))->text(),
              Utf8("D:\\资料\\名单"));
    EXPECT_EQ(binding.ReadControlText(Control::标签1), "199");
    // What code page 936 lacks reads as one "?" per character, the rest unchanged.
    qobject_cast<QLineEdit*>(binding.ControlWidget(Control::编辑框1))
        ->setText(Utf8("资料\xF0\x9F\x98\x80한.txt"));
    EXPECT_EQ(model.GetEditText(Control::编辑框1), qt_test::Cp936("资料") + "??.txt");
  });
  EXPECT_EQ(mismatches, 0);
}

TEST_F(QtWindowTest, WorkerControlOperationsAreHarmlessOnceTheWindowIsClosed) {
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  Text lastRead = "unread";
  std::thread worker;
  Run([&] {
    worker = std::thread([&] {
      while (!stop) {
        model.SetLabelCaption(Control::标签1, "50%");
        lastRead = model.GetEditText(Control::编辑框2);
        ++calls;
      }
    });
    ASSERT_TRUE(WaitUntil([&] { return calls > 10; }));
    PressKey(Qt::Key_Escape);
  });
  // The loop has ended with the worker still calling: its calls return at once and do nothing.
  const int before = calls;
  QThread::msleep(50);
  EXPECT_GT(calls, before);
  stop = true;
  worker.join();
  EXPECT_EQ(lastRead, "");
  EXPECT_EQ(binding.ReadControlText(Control::标签1), "");
}

TEST_F(QtWindowTest, FocusReturnsToTheLastControlWhenTheWindowIsActivatedAgain) {
  Run([&] {
    QWidget* button = binding.ControlWidget(Control::按钮4);
    button->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == button; }));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }));
    binding.WindowWidget()->activateWindow();
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == button; }));
  });
}

}  // namespace
}  // namespace morvane
