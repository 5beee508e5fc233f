#include "app/collection_grid.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStringList>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/accessible_text.h"
#include "app/qt_text.h"
#include "collection/collection_table.h"
#include "collection/table_error.h"

namespace orvela {

namespace {

constexpr int kGap = 4;

// A panel of the grid as assistive technology sees it: an item of the list,
// named by the whole record it shows, selected when it is the current one.
class TPanelAccessible : public QAccessibleInterface {
 public:
  TPanelAccessible(TCollectionGrid* grid, int panel) : grid_(grid), panel_(panel) {}

  bool isValid() const override { return !grid_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return parent() != nullptr ? parent()->window() : nullptr; }
  QAccessibleInterface* parent() const override {
    return grid_.isNull() ? nullptr : QAccessible::queryAccessibleInterface(grid_.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && !grid_.isNull() ? grid_->PanelText(panel_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (grid_.isNull()) return {};
    const QRect local = grid_->PanelRect(panel_);
    return {grid_->mapToGlobal(local.topLeft()), local.size()};
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.selectable = true;
    if (grid_.isNull() || !grid_->isVisible()) state.invisible = true;
    if (!grid_.isNull() && grid_->PanelIsCurrent(panel_)) state.selected = true;
    return state;
  }

 private:
  QPointer<TCollectionGrid> grid_;
  int panel_;
};

// The grid as a list of the panels that show a record.
class TGridAccessible : public QAccessibleWidget {
 public:
  explicit TGridAccessible(TCollectionGrid* grid) : QAccessibleWidget(grid, QAccessible::List) {}
  ~TGridAccessible() override {
    for (QAccessible::Id id : panels_) {
      if (id != 0) QAccessible::deleteAccessibleInterface(id);
    }
  }

  int childCount() const override { return Grid()->FilledPanels(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    QAccessible::Id& id = panels_[static_cast<std::size_t>(index)];
    if (id == 0) id = QAccessible::registerAccessibleInterface(new TPanelAccessible(Grid(), index));
    return QAccessible::accessibleInterface(id);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int i = 0; i < childCount(); ++i) {
      if (panels_[static_cast<std::size_t>(i)] != 0 &&
          QAccessible::accessibleInterface(panels_[static_cast<std::size_t>(i)]) == child) {
        return i;
      }
    }
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const int panel = Grid()->PanelAt(Grid()->mapFromGlobal(QPoint(x, y)));
    return panel >= 0 ? child(panel) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return QStringLiteral("Musiksammlung");
    return QAccessibleWidget::text(t);
  }

 private:
  TCollectionGrid* Grid() const { return static_cast<TCollectionGrid*>(widget()); }

  mutable std::array<QAccessible::Id, TCollectionGrid::kPanelCount> panels_{};
};

}  // namespace

TCollectionGrid::TCollectionGrid(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  ExposeAccessible(this, [](QWidget* w) -> QAccessibleInterface* {
    return new TGridAccessible(static_cast<TCollectionGrid*>(w));
  });
}

void TCollectionGrid::SetTable(TCollectionTable* table) {
  table_ = table;
  top_ = 0;
  update();
  AnnounceChange();
}

void TCollectionGrid::SetCoverLookup(CoverLookup lookup) {
  coverLookup_ = std::move(lookup);
  update();
}

QRect TCollectionGrid::CoverRect(int panel) const {
  if (!coverLookup_) return {};
  // A square as tall as the panel allows: the three lines keep their height
  // (and so their font sizes), only their width gives way to the picture.
  const QRect panelRect = PanelRect(panel);
  const int side = std::max(0, panelRect.height() - 2 * kGap);
  return {panelRect.left() + kGap, panelRect.top() + kGap, side, side};
}

QRect TCollectionGrid::FieldsRect(int panel) const {
  const QRect panelRect = PanelRect(panel);
  if (!coverLookup_) return panelRect;
  const QRect cover = CoverRect(panel);
  return panelRect.adjusted(cover.right() + 1 - panelRect.left(), 0, 0, 0);
}

void TCollectionGrid::Refresh() {
  update();
  AnnounceChange();
}

void TCollectionGrid::AnnounceChange() {
  if (!QAccessible::isActive()) return;
  const int filled = FilledPanels();
  for (int panel = 0; panel < filled; ++panel) AnnounceNameChange(this, panel);
}

int TCollectionGrid::FilledPanels() {
  const int count = table_ != nullptr ? table_->RecordCount() : 0;
  return std::clamp(count - TopRow(), 0, kPanelCount);
}

QString TCollectionGrid::PanelText(int panel) {
  if (panel < 0 || panel >= FilledPanels()) return {};
  const int row = TopRow() + panel;
  QStringList parts;
  for (int field : {TCollectionTable::Interpret, TCollectionTable::Titel, TCollectionTable::Genre,
                    TCollectionTable::Jahr, TCollectionTable::Dauer}) {
    const QString value = ToQString(table_->ViewField(row, field));
    if (!value.isEmpty()) parts << value;
  }
  return parts.join(QStringLiteral(", "));
}

bool TCollectionGrid::PanelIsCurrent(int panel) {
  return panel >= 0 && panel < FilledPanels() && TopRow() + panel == CurrentRow();
}

int TCollectionGrid::CurrentRow() const {
  if (table_ == nullptr || !table_->Active()) {
    return -1;
  }
  try {
    return table_->RecNo() - 1;
  } catch (const TableError&) {
    return -1;
  }
}

void TCollectionGrid::KeepCurrentVisible() {
  const int count = table_ != nullptr ? table_->RecordCount() : 0;
  const int current = CurrentRow();
  if (current >= 0) {
    if (current < top_) {
      top_ = current;
    } else if (current >= top_ + kPanelCount) {
      top_ = current - kPanelCount + 1;
    }
  }
  // A view that shrank (a new filter) must not leave panels empty above its end.
  top_ = std::clamp(top_, 0, std::max(0, count - kPanelCount));
}

int TCollectionGrid::TopRow() {
  KeepCurrentVisible();
  return top_;
}

bool TCollectionGrid::ScrollLine(int delta) {
  const int current = CurrentRow();
  if (current < 0) {
    return false;
  }
  const int wanted = current + 1 + delta;
  if (wanted < 1 || wanted > table_->RecordCount()) {
    return false;
  }
  table_->SetRecNo(wanted);
  update();
  AnnounceChange();
  emit CurrentChanged();
  return true;
}

QRect TCollectionGrid::PanelRect(int panel) const {
  const int height = (this->height() - kGap * (kPanelCount - 1)) / kPanelCount;
  return {0, panel * (height + kGap), width(), height};
}

int TCollectionGrid::PanelAt(const QPoint& point) const {
  for (int panel = 0; panel < kPanelCount; ++panel) {
    if (PanelRect(panel).contains(point)) {
      return panel;
    }
  }
  return -1;
}

void TCollectionGrid::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  KeepCurrentVisible();
  const int count = table_ != nullptr ? table_->RecordCount() : 0;
  const int current = CurrentRow();
  for (int panel = 0; panel < kPanelCount; ++panel) {
    const int row = top_ + panel;
    PaintPanel(painter, panel, row < count ? row : -1, row == current);
  }
}

void TCollectionGrid::PaintPanel(QPainter& painter, int panel, int viewRow, bool current) {
  const QRect panelRect = PanelRect(panel);
  const QRectF box = QRectF(panelRect).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(box, 8, 8);
  if (viewRow < 0) {
    painter.fillPath(path, QColor(255, 255, 255, 14));
    return;
  }
  painter.fillPath(path, current ? kCurrentPanelColor : QColor(12, 14, 24, 200));
  painter.setPen(QPen(current ? QColor(0x6C, 0x9C, 0xFF) : QColor(255, 255, 255, 40),
                      current ? 2.0 : 1.0));
  painter.drawPath(path);

  auto field = [&](int index) { return ToQString(table_->ViewField(viewRow, index)); };
  if (coverLookup_) {
    const QImage picture =
        coverLookup_(table_->ViewField(viewRow, TCollectionTable::Pfad), table_->ViewField(viewRow, TCollectionTable::Interpret));
    if (!picture.isNull()) {
      painter.save();
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(CoverRect(panel), picture);
      painter.restore();
    }
  }
  const int margin = std::max(8, static_cast<int>(box.height() / 8));
  const QRect fields = coverLookup_ ? FieldsRect(panel) : box.toRect();
  const QRect inner = fields.adjusted(margin, margin / 2, -margin, -margin / 2);
  const int line = inner.height() / 3;
  const QRect first(inner.left(), inner.top(), inner.width(), line);
  const QRect second(inner.left(), inner.top() + line, inner.width(), line);
  const QRect third(inner.left(), inner.top() + 2 * line, inner.width(), line);

  // The widget's font is the smallest that reads from a step away; a tall
  // panel grows its lines beyond it.
  const int readable = font().pixelSize();
  QFont big = font();
  big.setPixelSize(std::max(readable, static_cast<int>(line * 0.78)));
  big.setBold(true);
  QFont small = big;
  small.setBold(false);
  small.setPixelSize(std::max(readable, static_cast<int>(line * 0.66)));

  const QString dauer = field(TCollectionTable::Dauer);
  const QString jahr = field(TCollectionTable::Jahr);
  painter.setFont(big);
  const int dauerWidth = QFontMetrics(big).horizontalAdvance(dauer) + margin;
  painter.setPen(current ? QColor(255, 255, 255) : QColor(0xFF, 0xC8, 0x57));
  painter.drawText(first.adjusted(0, 0, -dauerWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(big).elidedText(field(TCollectionTable::Interpret), Qt::ElideRight,
                                                first.width() - dauerWidth));
  painter.setPen(QColor(230, 230, 230));
  painter.drawText(first, Qt::AlignRight | Qt::AlignVCenter, dauer);

  painter.setPen(QColor(255, 255, 255));
  painter.drawText(second, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(big).elidedText(field(TCollectionTable::Titel), Qt::ElideRight,
                                                second.width()));
  painter.setFont(small);
  const int jahrWidth = QFontMetrics(small).horizontalAdvance(jahr) + margin;
  painter.setPen(QColor(0xB8, 0xC4, 0xD8));
  painter.drawText(third.adjusted(0, 0, -jahrWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(small).elidedText(field(TCollectionTable::Genre), Qt::ElideRight,
                                                  third.width() - jahrWidth));
  painter.drawText(third, Qt::AlignRight | Qt::AlignVCenter, jahr);
}

void TCollectionGrid::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const int panel = PanelAt(event->position().toPoint());
  if (panel < 0 || table_ == nullptr || !table_->Active()) {
    return;
  }
  KeepCurrentVisible();
  const int row = top_ + panel;
  if (row >= table_->RecordCount()) {
    return;
  }
  table_->SetRecNo(row + 1);
  update();
  AnnounceChange();
  emit CurrentChanged();
}

void TCollectionGrid::keyPressEvent(QKeyEvent* event) {
  // The operator's keyboard, where one is plugged in, browses like the arrows.
  int lines = 0;
  switch (event->key()) {
    case Qt::Key_Down: lines = 1; break;
    case Qt::Key_Up: lines = -1; break;
    case Qt::Key_PageDown: lines = kPanelCount; break;
    case Qt::Key_PageUp: lines = -kPanelCount; break;
    default: QWidget::keyPressEvent(event); return;
  }
  for (int i = 0; i < std::abs(lines); ++i) {
    if (!ScrollLine(lines > 0 ? 1 : -1)) {
      break;
    }
  }
  event->accept();
}

void TCollectionGrid::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  for (int i = 0; i < std::abs(steps); ++i) {
    ScrollLine(steps > 0 ? -1 : 1);
  }
  event->accept();
}

}  // namespace orvela
