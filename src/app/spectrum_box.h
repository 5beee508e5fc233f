#pragma once
// The spectrum area of the main window. Qt lets a widget be painted only from
// its own paint event, so a frame is drawn into an image and the paint event
// shows that image.
#include <QImage>
#include <QWidget>
#include <span>

#include "app/spectrum_painter.h"

namespace orvela {

class TSpectrumBox : public QWidget {
  Q_OBJECT

 public:
  explicit TSpectrumBox(QWidget* parent = nullptr);

  // Advances the spectrum by one frame, draws it and has it shown.
  void DrawFrame(TSpectrum& spectrum, std::span<const float> magnitudes);
  // Shows the empty area again (nothing plays).
  void Clear();
  // What the box shows now, at the spectrum's own size.
  const QImage& Frame() const { return frame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage frame_;
};

}  // namespace orvela
