#include "app/operator_window.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QTemporaryDir>
#include <cmath>

#include "app/background_image.h"
#include "app/house_style.h"

namespace orvela {

namespace {

// The design values each widget and layout had before the first scaling, kept
// on the object itself so that widgets made later are picked up on the next
// opening and nothing outlives its widget.
constexpr const char* kDesignFontPx = "_houseFontPx";
constexpr const char* kDesignMin = "_houseMin";
constexpr const char* kDesignMax = "_houseMax";
constexpr const char* kDesignGeometry = "_houseGeometry";
constexpr const char* kDesignSheet = "_houseSheet";
constexpr const char* kDesignIcon = "_houseIcon";
constexpr const char* kDesignMargins = "_houseMargins";
constexpr const char* kDesignSpacing = "_houseSpacing";

// The tick and the drop-down arrow, drawn once per run into a scratch folder:
// a style sheet takes pictures only from files.
QString HousePicture(const char* name, void (*draw)(QPainter&, const QRect&)) {
  static QTemporaryDir folder;
  const QString path = folder.filePath(QString::fromLatin1(name));
  if (folder.isValid() && !QFileInfo::exists(path)) {
    QPixmap picture(96, 96);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, picture.rect());
    painter.end();
    picture.save(path, "PNG");
  }
  return path;
}

void DrawTick(QPainter& painter, const QRect& r) {
  QPen pen(QColor(0xFF, 0xFF, 0xFF), r.width() / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  const QPolygonF tick{QPointF(r.width() * 0.20, r.height() * 0.52), QPointF(r.width() * 0.42, r.height() * 0.74),
                       QPointF(r.width() * 0.80, r.height() * 0.28)};
  painter.drawPolyline(tick);
}

void DrawArrow(QPainter& painter, const QRect& r) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(QString::fromLatin1(house::kHighlight)));
  painter.drawPolygon(QPolygonF{QPointF(r.width() * 0.15, r.height() * 0.30),
                                QPointF(r.width() * 0.85, r.height() * 0.30),
                                QPointF(r.width() * 0.50, r.height() * 0.72)});
}

QString HouseSheet() {
  // Lengths in design pixels; every "px" is multiplied at opening.
  QString sheet = QStringLiteral(R"(
QLabel { color: #E8ECF4; background: transparent; }
QFrame#HouseFrame { border: 3px solid #3D6BFF; border-radius: 4px; background: transparent; }
QCheckBox { color: #E8ECF4; spacing: 10px; }
QCheckBox:disabled { color: #6C7488; }
QCheckBox::indicator { width: 30px; height: 30px; border: 2px solid #8A94B0; border-radius: 6px; background: #0B0E18; }
QCheckBox::indicator:checked { background: #3D6BFF; border: 3px solid #FFC857; image: url(@TICK@); }
QCheckBox::indicator:disabled { background: #14161E; border-color: #3A4052; }
QCheckBox::indicator:checked:disabled { background: #2A3E80; border: 3px solid #8A7440; }
QPushButton {
  color: #F4F6FA;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #343B4C, stop:1 #161A24);
  border: 1px solid #4A5470; border-radius: 8px; padding: 2px 6px;
}
QPushButton:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2F6BFF, stop:1 #123B9E);
  border-color: #8DB0FF;
}
QPushButton:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QPushButton[houseClose="true"] {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4C7BFF, stop:1 #1B3A9E);
  border: 2px solid #FFC857;
}
QPushButton[houseClose="true"]:pressed { background: #FFC857; color: #0B0E18; }
QPushButton[houseClose="true"]:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QLineEdit, QSpinBox, QDateEdit, QComboBox {
  color: #FFFFFF; background: #0B0E18;
  border: 1px solid #3D6BFF; border-radius: 6px; padding: 0px 6px;
  selection-background-color: #3D6BFF;
}
QLineEdit:disabled, QSpinBox:disabled, QDateEdit:disabled, QComboBox:disabled {
  color: #6C7488; background: #14161E; border-color: #262B38;
}
QComboBox QLineEdit { border: none; padding: 0px; background: transparent; }
QSpinBox { padding: 0px; }
QComboBox::drop-down, QDateEdit::drop-down {
  subcontrol-origin: padding; subcontrol-position: center right;
  width: 40px; border-left: 1px solid #3D6BFF;
}
QComboBox::down-arrow, QDateEdit::down-arrow { image: url(@ARROW@); width: 24px; height: 24px; }
QComboBox::down-arrow:disabled, QDateEdit::down-arrow:disabled { image: none; }
QComboBox QAbstractItemView {
  color: #E8ECF4; background: #0B0E18; border: 2px solid #3D6BFF; outline: 0px;
  selection-background-color: #3D6BFF; selection-color: #FFFFFF;
}
QComboBox QAbstractItemView::item { padding: 0px 10px; }
QTreeView {
  color: #E8ECF4; background: #0B0E18; border: 1px solid #4A5470; border-radius: 6px;
  selection-background-color: #3D6BFF; selection-color: #FFFFFF; outline: 0px;
}
QTreeView:disabled { color: #6C7488; }
QScrollBar:vertical { width: 36px; background: #0B0E18; margin: 0px; }
QScrollBar:horizontal { height: 36px; background: #0B0E18; margin: 0px; }
QScrollBar::handle { background: #4A5470; border-radius: 6px; min-height: 48px; min-width: 48px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QGroupBox { border: 2px solid #4A5470; border-radius: 6px; margin: 0px; padding: 0px; }
QProgressBar { border: 1px solid #4A5470; border-radius: 3px; background: #14161E; color: #E8ECF4; }
QProgressBar::chunk { background: #FFC857; }
QCalendarWidget QWidget { color: #E8ECF4; background: #0B0E18; alternate-background-color: #14161E; }
QCalendarWidget QAbstractItemView {
  selection-background-color: #3D6BFF; selection-color: #FFFFFF; outline: 0px;
}
QCalendarWidget QAbstractItemView:disabled { color: #6C7488; }
QCalendarWidget QToolButton {
  color: #E8ECF4; background: #1E2433; border: 1px solid #4A5470; border-radius: 6px;
  min-width: 48px; min-height: 48px; margin: 2px;
}
QCalendarWidget QToolButton::menu-indicator { width: 0px; }
QCalendarWidget QSpinBox { min-height: 44px; }
QMenu { color: #E8ECF4; background: #0B0E18; border: 1px solid #3D6BFF; }
QMenu::item { padding: 12px 24px; }
QMenu::item:selected { background: #3D6BFF; }
)");
  sheet.replace(QStringLiteral("@TICK@"), HousePicture("haken.png", DrawTick));
  sheet.replace(QStringLiteral("@ARROW@"), HousePicture("pfeil.png", DrawArrow));
  return sheet;
}

QString ScaledSheet(const QString& sheet, double scale) {
  // A length stands after a blank or a colon; a picture's path never matches.
  static const QRegularExpression length(QStringLiteral("(?<=[\\s:])(\\d+)px"));
  QString out;
  qsizetype from = 0;
  for (auto it = length.globalMatch(sheet); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += sheet.mid(from, m.capturedStart() - from);
    const int design = m.captured(1).toInt();
    const int scaled = design == 0 ? 0 : std::max(1, static_cast<int>(std::lround(design * scale)));
    out += QString::number(scaled) + QStringLiteral("px");
    from = m.capturedEnd();
  }
  out += sheet.mid(from);
  return out;
}

int ScaledLength(int design, double scale) { return static_cast<int>(std::lround(design * scale)); }

QSize ScaledSize(QSize design, double scale) {
  const auto one = [scale](int v) { return v >= QWIDGETSIZE_MAX ? v : ScaledLength(v, scale); };
  return {one(design.width()), one(design.height())};
}

bool LayoutHolds(const QLayout* layout, const QWidget* widget) {
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (item->widget() == widget) return true;
    if (item->layout() != nullptr && LayoutHolds(item->layout(), widget)) return true;
  }
  return false;
}

void ScaleWidget(QWidget* widget, double scale) {
  if (!widget->property(kDesignMin).isValid()) {
    widget->setProperty(kDesignFontPx,
                        widget->testAttribute(Qt::WA_SetFont) ? widget->font().pixelSize() : -1);
    widget->setProperty(kDesignMin, widget->minimumSize());
    widget->setProperty(kDesignMax, widget->maximumSize());
    // Only what a window placed itself: the inner parts of a spin box, a
    // combo or a list are placed by their owner whenever it is resized.
    QWidget* parent = widget->parentWidget();
    const bool plainParent = parent != nullptr && (dynamic_cast<TOperatorWindow*>(parent) != nullptr ||
                                                   qobject_cast<QGroupBox*>(parent) != nullptr ||
                                                   parent->metaObject() == &QWidget::staticMetaObject);
    const bool placedByHand = !widget->isWindow() && plainParent &&
                              (parent->layout() == nullptr || !LayoutHolds(parent->layout(), widget));
    if (placedByHand) widget->setProperty(kDesignGeometry, widget->geometry());
    widget->setProperty(kDesignSheet, widget->styleSheet());
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) widget->setProperty(kDesignIcon, view->iconSize());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) widget->setProperty(kDesignIcon, button->iconSize());
  }
  if (const int px = widget->property(kDesignFontPx).toInt(); px > 0) {
    QFont font = widget->font();
    font.setPixelSize(std::max(8, ScaledLength(px, scale)));
    widget->setFont(font);
  }
  widget->setMinimumSize(ScaledSize(widget->property(kDesignMin).toSize(), scale));
  widget->setMaximumSize(ScaledSize(widget->property(kDesignMax).toSize(), scale));
  if (const QVariant geometry = widget->property(kDesignGeometry); geometry.isValid()) {
    const QRect r = geometry.toRect();
    widget->setGeometry(ScaledLength(r.x(), scale), ScaledLength(r.y(), scale), ScaledLength(r.width(), scale),
                        ScaledLength(r.height(), scale));
  }
  if (const QString sheet = widget->property(kDesignSheet).toString(); !sheet.isEmpty()) {
    const QString scaled = ScaledSheet(sheet, scale);
    if (scaled != widget->styleSheet()) widget->setStyleSheet(scaled);
  }
  if (const QVariant icon = widget->property(kDesignIcon); icon.isValid()) {
    const QSize size = ScaledSize(icon.toSize(), scale);
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) view->setIconSize(size);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setIconSize(size);
  }
}

void ScaleLayout(QLayout* layout, double scale) {
  auto* grid = qobject_cast<QGridLayout*>(layout);
  if (!layout->property(kDesignMargins).isValid()) {
    const QMargins m = layout->contentsMargins();
    layout->setProperty(kDesignMargins, QRect(m.left(), m.top(), m.right(), m.bottom()));
    layout->setProperty(kDesignSpacing, grid != nullptr ? QSize(grid->horizontalSpacing(), grid->verticalSpacing())
                                                        : QSize(layout->spacing(), layout->spacing()));
  }
  const QRect m = layout->property(kDesignMargins).toRect();
  layout->setContentsMargins(ScaledLength(m.x(), scale), ScaledLength(m.y(), scale), ScaledLength(m.width(), scale),
                             ScaledLength(m.height(), scale));
  const QSize spacing = layout->property(kDesignSpacing).toSize();
  if (grid != nullptr) {
    grid->setHorizontalSpacing(ScaledLength(spacing.width(), scale));
    grid->setVerticalSpacing(ScaledLength(spacing.height(), scale));
  } else if (spacing.width() >= 0) {
    layout->setSpacing(ScaledLength(spacing.width(), scale));
  }
}

}  // namespace

QSize TFingerRows::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(std::max(size.height(), house::Scaled(house::kTouchPx)));
  return size;
}

TOperatorWindow::TOperatorWindow(const QString& caption, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      background_(new TBackgroundImage(QString::fromLatin1(kBackgroundResource), this)),
      frame_(new QFrame(this)) {
  setWindowTitle(caption);
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(house::kReadablePx);
  setFont(arial);
  setStyleSheet(HouseSheet());
  // Above the guest screen the window must not melt into it: a border in the
  // house colours, on top of everything and deaf to touches.
  frame_->setObjectName(QStringLiteral("HouseFrame"));
  frame_->setAttribute(Qt::WA_TransparentForMouseEvents);
  frame_->setGeometry(0, 0, kClientWidth, kClientHeight);
}

void TOperatorWindow::AddStyleSheet(const QString& rules) { setStyleSheet(HouseSheet() + rules); }

void TOperatorWindow::StyleTitle(QLabel* label, int designPixels) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(designPixels);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet(QStringLiteral("color: #FFC857;"));
}

void TOperatorWindow::StyleCloseButton(QPushButton* button) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(22);
  font.setBold(true);
  button->setFont(font);
  button->setProperty("houseClose", true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setGeometry(kCloseButtonRect);
}

void TOperatorWindow::ApplyScreenScale() {
  const double scale = house::ScreenScale();
  if (std::abs(scale - appliedScale_) < 0.001) return;
  appliedScale_ = scale;
  // The window itself first: its sheet and font reach the children.
  ScaleWidget(this, scale);
  for (QWidget* child : findChildren<QWidget*>()) ScaleWidget(child, scale);
  for (QLayout* layout : findChildren<QLayout*>()) ScaleLayout(layout, scale);
  setFixedSize(ScaledLength(kClientWidth, scale), ScaledLength(kClientHeight, scale));
  ScaleChanged(scale);
  if (QLayout* top = layout()) top->activate();
}

void TOperatorWindow::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    ApplyScreenScale();
    frame_->raise();
  }
  // Centred on the desktop rather than on the guest window, which may be on
  // another screen of a two-monitor bar PC.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

}  // namespace orvela
