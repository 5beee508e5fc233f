#include "app/led_lamp.h"

#include <QPainter>
#include <QRadialGradient>

#include "app/accessible_text.h"

namespace orvela {

TLedLamp::TLedLamp(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  ExposePaintedText(this, QAccessible::StaticText, [this] { return LampText(caption_, active_); });
}

void TLedLamp::SetActive(bool active) {
  if (active_ != active) {
    active_ = active;
    update();
    AnnounceNameChange(this);
  }
}

void TLedLamp::SetColorOn(const QColor& color) {
  colorOn_ = color;
  update();
}

void TLedLamp::SetColorOff(const QColor& color) {
  colorOff_ = color;
  update();
}

void TLedLamp::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal side = qMin(width(), height()) - 2.0;
  const QRectF bulb((width() - side) / 2.0, (height() - side) / 2.0, side, side);
  const QColor base = Color();
  // A highlight towards the top left makes the lamp read as a bulb from afar.
  QRadialGradient gradient(bulb.center() - QPointF(side / 5.0, side / 5.0), side / 1.6);
  gradient.setColorAt(0.0, active_ ? base.lighter(170) : base.lighter(130));
  gradient.setColorAt(0.6, base);
  gradient.setColorAt(1.0, base.darker(170));
  painter.setPen(QPen(QColor(20, 20, 20), 1.0));
  painter.setBrush(gradient);
  painter.drawEllipse(bulb);
}

}  // namespace orvela
