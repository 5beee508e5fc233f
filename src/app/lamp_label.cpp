#include "app/lamp_label.h"

#include <QGraphicsDropShadowEffect>

namespace orvela {

namespace {

QString ColorSheet(const QColor& color) {
  return QStringLiteral("color: %1; background: transparent;").arg(color.name());
}

}  // namespace

TLampLabel::TLampLabel(QLabel* caption, QWidget* parent) : QLabel(parent), caption_(caption) {
  setText(QStringLiteral("-"));
  setAlignment(Qt::AlignCenter);
  if (caption_ != nullptr) {
    // Navy text vanishes on the dark screen: a pale halo keeps both caption
    // colours readable without changing them.
    auto* halo = new QGraphicsDropShadowEffect(caption_);
    halo->setOffset(0, 0);
    halo->setBlurRadius(8);
    halo->setColor(QColor(255, 255, 255, 230));
    caption_->setGraphicsEffect(halo);
  }
  ApplyColors();
}

void TLampLabel::SetLit(bool lit) {
  lit_ = lit;
  ApplyColors();
}

void TLampLabel::ApplyColors() {
  // Style sheets rather than palettes: the screen's style sheet would override
  // a palette colour, a widget's own sheet wins over it.
  setStyleSheet(ColorSheet(Color()));
  if (caption_ != nullptr) {
    caption_->setStyleSheet(ColorSheet(CaptionColor()));
  }
}

}  // namespace orvela
