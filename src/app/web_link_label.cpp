#include "app/web_link_label.h"

#include <QMouseEvent>

namespace orvela {

TWebLinkLabel::TWebLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setCursor(Qt::PointingHandCursor);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  ApplyColor();
}

void TWebLinkLabel::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  ApplyColor();
  QLabel::enterEvent(event);
}

void TWebLinkLabel::leaveEvent(QEvent* event) {
  hovered_ = false;
  ApplyColor();
  QLabel::leaveEvent(event);
}

void TWebLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  // A finger that slid off the label before lifting did not mean it.
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick_) {
    onClick_();
  }
  QLabel::mouseReleaseEvent(event);
}

void TWebLinkLabel::ApplyColor() {
  // Black and blue need a light ground to be read on the dark operator windows.
  setStyleSheet(QStringLiteral("QLabel { color: %1; background: rgba(255, 255, 255, 215);"
                               " border-radius: 6px; padding: 2px 8px; }")
                    .arg(TextColor().name()));
}

}  // namespace orvela
