// The main window's widgets, the name list's model and view, the keys and the icon.
#include "platform/qt/qt_main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <limits>

#include "platform/codepage936.h"

namespace morvane {

QString TextToQString(const Text& text) {
  if (auto utf16 = Codepage936ToUtf16(text))
    return QString(reinterpret_cast<const QChar*>(utf16->data()), static_cast<qsizetype>(utf16->size()));
  // Not valid as a whole: convert character by character so one bad byte costs one character.
  QString shown;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0x81 && lead <= 0xFE && i + 1 < text.size() ? 2 : 1;
    const auto character = Codepage936ToUtf16(std::string_view(text).substr(i, length));
    if (character && !character->empty())
      shown += QString(reinterpret_cast<const QChar*>(character->data()),
                       static_cast<qsizetype>(character->size()));
    else
      shown += QChar::ReplacementCharacter;
    i += length;
  }
  return shown;
}

Text QStringToText(const QString& string) {
  if (auto text = Utf8ToCodepage936Exactly(string.toStdString())) return *text;
  // One "?" for each character code page 936 lacks; the rest keeps its bytes.
  Text text;
  for (const char32_t character : string.toUcs4()) {
    const auto converted = Utf8ToCodepage936Exactly(QString::fromUcs4(&character, 1).toStdString());
    text += converted ? *converted : Text("?");
  }
  return text;
}

namespace {

// A sheet with a green header and an orange arrow: a table whose files go somewhere.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  const QColor green(0x21, 0x7A, 0x44);
  painter.setPen(QPen(green, 1.5));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(2.5, 2.5, 22, 27), 2, 2);
  painter.fillRect(QRectF(3, 3, 21, 6), green);
  painter.setPen(QPen(green, 1));
  for (double y : {14.5, 19.5, 24.5}) painter.drawLine(QPointF(3, y), QPointF(24, y));
  painter.drawLine(QPointF(10.5, 9), QPointF(10.5, 29));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xE8, 0x7D, 0x0D));
  painter.drawEllipse(QRectF(16, 16, 15, 15));
  QPainterPath arrow;
  arrow.moveTo(19, 21.5);
  arrow.lineTo(24, 21.5);
  arrow.lineTo(24, 18.5);
  arrow.lineTo(29, 23.5);
  arrow.lineTo(24, 28.5);
  arrow.lineTo(24, 25.5);
  arrow.lineTo(19, 25.5);
  arrow.closeSubpath();
  painter.setBrush(Qt::white);
  painter.drawPath(arrow);
  return pixmap;
}

// The list view's grid lines: a line under each item and one at the column's right edge.
class GridLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(0xD8, 0xD8, 0xD8));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }
};

QTreeView* MakeListView(QWidget* parent, NameListModel* model) {
  auto* view = new QTreeView(parent);
  view->setModel(model);
  view->setItemDelegate(new GridLineDelegate(view));
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectItems);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSortingEnabled(false);
  view->setTabKeyNavigation(false);
  view->setFrameShape(QFrame::StyledPanel);
  view->setFrameShadow(QFrame::Sunken);
  QHeaderView* header = view->header();
  header->setSectionsMovable(false);
  header->setSectionsClickable(true);  // reacts to a click, which reorders nothing
  header->setSortIndicatorShown(false);
  header->setStretchLastSection(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->resizeSection(0, kWindowDefinition.listColumnWidth);
  // Black on white; the selection is not shown while the list lacks the focus.
  QPalette palette = view->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  view->setPalette(palette);
  return view;
}

}  // namespace

QIcon DefaultIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}

NameListModel::NameListModel(NameList& names, QObject* parent)
    : QAbstractTableModel(parent), names_(names), announced_(names.Count()) {
  names_.SetObserver(this);
}

NameListModel::~NameListModel() { names_.SetObserver(nullptr); }

int NameListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : announced_; }

int NameListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant NameListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= announced_) return {};
  return TextToQString(names_.GetItemText(index.row()));
}

QVariant NameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (section != 0 || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return TextToQString(kWindowDefinition.listColumnTitle);
}

Qt::ItemFlags NameListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                         : Qt::NoItemFlags;
}

void NameListModel::ItemAppended(int32_t) {
  if (announcementPosted_) return;
  announcementPosted_ = true;
  QMetaObject::invokeMethod(
      this, [this] { AnnounceAppended(); }, Qt::QueuedConnection);
}

void NameListModel::ItemChanged(int32_t position) {
  // Items not yet announced are read whole when they are.
  if (position < announced_) emit dataChanged(index(position, 0), index(position, 0));
}

void NameListModel::ItemsReplaced() {
  beginResetModel();
  announced_ = names_.Count();
  endResetModel();
}

void NameListModel::AnnounceAppended() {
  announcementPosted_ = false;
  const int count = names_.Count();
  if (count <= announced_) return;
  beginInsertRows(QModelIndex(), announced_, count - 1);
  announced_ = count;
  endInsertRows();
}

LabelWidget::LabelWidget(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void LabelWidget::SetCaption(const Text& caption) {
  caption_ = caption;
  shown_ = TextToQString(caption);
  update();
}

const Text& LabelWidget::Caption() const { return caption_; }

void LabelWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  painter.setPen(Qt::black);
  // No Qt::TextShowMnemonic: an ampersand is a character like any other.
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown_);
}

QtMainWindow::QtMainWindow(MainWindow& model)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      model_(model) {
  setWindowTitle(TextToQString(kWindowDefinition.caption));
  setWindowIcon(DefaultIcon());
  setFont(QApplication::font());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);
  setFixedSize(kWindowDefinition.clientWidth, kWindowDefinition.clientHeight);

  for (const ControlDefinition& definition : kControlDefinitions) {
    QWidget* widget = nullptr;
    const Control control = definition.control;
    switch (definition.kind) {
      case ControlKind::EditBox: {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setText(TextToQString(definition.initialText));
        edit->setCursorPosition(0);
        widget = edit;
        break;
      }
      case ControlKind::PushButton: {
        auto* button = new QPushButton(TextToQString(definition.initialText), this);
        button->setAutoDefault(false);
        button->setDefault(false);
        connect(button, &QPushButton::clicked, this, [this, control] { model_.Click(control); });
        widget = button;
        break;
      }
      case ControlKind::Label: {
        auto* label = new LabelWidget(this);
        label->SetCaption(definition.initialText);
        widget = label;
        break;
      }
      case ControlKind::ListView:
        names_ = new NameListModel(model.Names(), this);
        widget = MakeListView(this, names_);
        break;
      default:
        break;  // the dialog, the spreadsheet objects and the timer have no window
    }
    if (!widget) continue;
    widget->setGeometry(definition.left, definition.top, definition.width, definition.height);
    widgets_[static_cast<std::size_t>(control)] = widget;
  }
  // Qt's own chain matches ours for anything that walks it (focus after a dialog, for one).
  const auto order = TabOrder();
  for (std::size_t i = 1; i < order.size(); ++i)
    setTabOrder(ControlWidget(order[i - 1]), ControlWidget(order[i]));

  const QRect screen =
      QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
  move(screen.x() + (screen.width() - kWindowDefinition.outerWidth) / 2,
       screen.y() + (screen.height() - kWindowDefinition.outerHeight) / 2);

  qApp->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    bool found = false;
    const Control control = ControlOf(now, found);
    if (found) lastFocused_ = ControlWidget(control);
  });
  lastFocused_ = ControlWidget(order.front());
  lastFocused_->setFocus(Qt::OtherFocusReason);
}

QtMainWindow::~QtMainWindow() { qApp->removeEventFilter(this); }

QWidget* QtMainWindow::ControlWidget(Control control) const {
  return widgets_[static_cast<std::size_t>(control)];
}

void QtMainWindow::RestoreFocus() {
  if (lastFocused_ && lastFocused_->isEnabled() && QApplication::focusWidget() != lastFocused_)
    lastFocused_->setFocus(Qt::ActiveWindowFocusReason);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (onClosed) onClosed();
}

bool QtMainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate) RestoreFocus();
  return handled;
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  if (static_cast<QWidget*>(watched)->window() != this) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers =
      key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  switch (key->key()) {
    case Qt::Key_Escape:
      if (modifiers != Qt::NoModifier) return false;
      close();
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier) return false;
      MoveFocus(key->key() == Qt::Key_Backtab || modifiers == Qt::ShiftModifier);
      return true;
    default:
      return false;
  }
}

Control QtMainWindow::ControlOf(QWidget* widget, bool& found) const {
  for (; widget && widget != this; widget = widget->parentWidget()) {
    for (const ControlDefinition& definition : kControlDefinitions) {
      if (ControlWidget(definition.control) == widget) {
        found = true;
        return definition.control;
      }
    }
  }
  found = false;
  return Control::编辑框1;
}

void QtMainWindow::MoveFocus(bool backwards) {
  bool found = false;
  const Control current = ControlOf(QApplication::focusWidget(), found);
  const auto order = TabOrder();
  Control next = found ? NextTabStop(current, backwards) : (backwards ? order.back() : order.front());
  // Skips what cannot take the focus now; every tab stop of this window can, so this is one step.
  for (std::size_t tries = 0; tries < order.size(); ++tries) {
    QWidget* widget = ControlWidget(next);
    if (widget && !widget->isHidden() && widget->isEnabled()) {
      widget->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
      return;
    }
    next = NextTabStop(next, backwards);
  }
}

}  // namespace morvane
