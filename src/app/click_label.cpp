#include "app/click_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace orvela {

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize TClickLabel::sizeHint() const { return {0, QLabel::sizeHint().height()}; }

QSize TClickLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

QString TClickLabel::DisplayedText() const {
  return fontMetrics().elidedText(text(), Qt::ElideLeft, contentsRect().width() - 2 * margin());
}

void TClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit clicked();
  }
  QLabel::mousePressEvent(event);
}

void TClickLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                        DisplayedText(), foregroundRole());
}

}  // namespace orvela
