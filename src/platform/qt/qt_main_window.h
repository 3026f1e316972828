// The main window's widgets: the controls of the definition table, the name list's view and the keys.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "app/main_window.h"
#include "app/name_list.h"
#include "services/texts.h"

namespace morvane {

// Code-page-936 texts and Qt strings. Bytes that are not valid code page 936 show as U+FFFD.
QString TextToQString(const Text& text);
Text QStringToText(const QString& string);

// The program's icon, "DEFAULT_ICON", drawn at the sizes a window manager asks for.
QIcon DefaultIcon();

// NameList shown to a view. Appends are announced in one batch when the event loop next runs, so a
// load of a million names costs the view one insertion.
class NameListModel : public QAbstractTableModel, public NameListObserver {
 public:
  explicit NameListModel(NameList& names, QObject* parent = nullptr);
  ~NameListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void ItemAppended(int32_t position) override;
  void ItemChanged(int32_t position) override;
  void ItemsReplaced() override;

  // Tells the view of the items appended since the last announcement.
  void AnnounceAppended();

 private:
  NameList& names_;
  int announced_ = 0;
  bool announcementPosted_ = false;
};

// A label that paints itself: button face, caption left-aligned on one line, vertically centred,
// cut at the right edge, "&" drawn as itself.
class LabelWidget : public QWidget {
 public:
  explicit LabelWidget(QWidget* parent);
  void SetCaption(const Text& caption);
  const Text& Caption() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Text caption_;
  QString shown_;
};

class QtMainWindow : public QWidget {
 public:
  explicit QtMainWindow(MainWindow& model);
  ~QtMainWindow() override;

  // The widget of a control with a window, else null.
  QWidget* ControlWidget(Control control) const;
  // Gives the focus back to the control that had it last (编辑框1 at first).
  void RestoreFocus();

  // Called once the window has closed.
  std::function<void()> onClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Control ControlOf(QWidget* widget, bool& found) const;
  void MoveFocus(bool backwards);

  MainWindow& model_;
  std::array<QWidget*, kControlDefinitions.size()> widgets_{};
  NameListModel* names_ = nullptr;
  QPointer<QWidget> lastFocused_;
};

}  // namespace morvane
