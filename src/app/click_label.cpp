#include "app/click_label.h"

#include <QMouseEvent>

namespace orvela {

void TClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit clicked();
  }
  QLabel::mousePressEvent(event);
}

}  // namespace orvela
