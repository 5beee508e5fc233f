#pragma once
// A status lamp of the jukebox screen: a large "-" whose colour is the state,
// paired with the caption beside it, which changes colour with it.
#include <QColor>
#include <QLabel>

namespace orvela {

// The one pair of lamp colours every lamp of the screen uses.
inline const QColor kLampLitColor{0xFF, 0x00, 0x00};
inline const QColor kLampUnlitColor{0x80, 0x00, 0x00};
// Captions: the classic desktop's second gradient colour of an active window
// caption when lit, navy when unlit.
inline const QColor kLampCaptionLitColor{0xA6, 0xCA, 0xF0};
inline const QColor kLampCaptionUnlitColor{0x00, 0x00, 0x80};
// The caption's own ground. No one colour carries both the pale lit caption
// and the navy unlit one, so the ground changes with the lamp: a deep red
// under the lit caption, a muted grey under the unlit one.
inline const QColor kLampCaptionLitBackground{0x5A, 0x0A, 0x14};
inline const QColor kLampCaptionUnlitBackground{0x8A, 0x94, 0xA8};

class TLampLabel : public QLabel {
  Q_OBJECT

 public:
  // caption may be null (a lamp without caption); it is not owned.
  explicit TLampLabel(QLabel* caption, QWidget* parent = nullptr);

  void SetLit(bool lit);
  bool Lit() const { return lit_; }
  QColor Color() const { return lit_ ? kLampLitColor : kLampUnlitColor; }
  QColor CaptionColor() const { return lit_ ? kLampCaptionLitColor : kLampCaptionUnlitColor; }
  QColor CaptionBackground() const { return lit_ ? kLampCaptionLitBackground : kLampCaptionUnlitBackground; }
  QLabel* Caption() const { return caption_; }

 private:
  void ApplyColors();

  QLabel* caption_;
  bool lit_ = false;
};

}  // namespace orvela
