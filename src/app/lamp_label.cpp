#include "app/lamp_label.h"

#include "app/accessible_text.h"

namespace orvela {

namespace {

QString ColorSheet(const QColor& color) {
  return QStringLiteral("color: %1; background: transparent;").arg(color.name());
}

}  // namespace

TLampLabel::TLampLabel(QLabel* caption, QWidget* parent) : QLabel(parent), caption_(caption) {
  // The dash says nothing read aloud: the lamp is read as its caption and state.
  ExposePaintedText(this, QAccessible::StaticText, [this] {
    return LampText(caption_ != nullptr ? caption_->text() : QString(), lit_);
  });
  setText(QStringLiteral("-"));
  setAlignment(Qt::AlignCenter);
  ApplyColors();
}

void TLampLabel::SetLit(bool lit) {
  const bool changed = lit_ != lit;
  lit_ = lit;
  ApplyColors();
  if (changed) AnnounceNameChange(this);
}

void TLampLabel::ApplyColors() {
  // Style sheets rather than palettes: the screen's style sheet would override
  // a palette colour, a widget's own sheet wins over it.
  setStyleSheet(ColorSheet(Color()));
  if (caption_ != nullptr) {
    caption_->setStyleSheet(
        QStringLiteral("color: %1; background: %2; border-radius: 5px; padding: 0px 5px;")
            .arg(CaptionColor().name(), CaptionBackground().name()));
  }
}

}  // namespace orvela
