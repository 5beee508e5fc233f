#include "app/background_image.h"

#include <QEvent>
#include <QPainter>

namespace orvela {

TBackgroundImage::TBackgroundImage(const QString& resource, QWidget* parent)
    : QWidget(parent), picture_(resource) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Follows the window's size by itself, so no window needs its own resize code
  // for it, and stays the lowest child whatever is added later.
  if (parent != nullptr) {
    parent->installEventFilter(this);
    setGeometry(parent->rect());
  }
  lower();
}

bool TBackgroundImage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget()) {
    if (event->type() == QEvent::Resize) {
      setGeometry(parentWidget()->rect());
    } else if (event->type() == QEvent::ChildAdded || event->type() == QEvent::Show) {
      lower();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TBackgroundImage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (picture_.isNull()) {
    painter.fillRect(rect(), QColor(8, 8, 14));
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(rect(), picture_);
}

}  // namespace orvela
