#include "app/spectrum_box.h"

#include <QPainter>

namespace orvela {

TSpectrumBox::TSpectrumBox(QWidget* parent) : QWidget(parent), frame_(1, 1, QImage::Format_RGB32) {
  frame_.fill(Qt::black);
  // Every pixel is painted from the frame: Qt need not clear the area first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSpectrumBox::DrawFrame(TSpectrum& spectrum, std::span<const float> magnitudes) {
  if (frame_.width() != spectrum.Width || frame_.height() != spectrum.Height) {
    frame_ = QImage(spectrum.Width, spectrum.Height, QImage::Format_RGB32);
  }
  DrawSpectrumFrame(spectrum, frame_, magnitudes, 0, 0);
  update();
}

void TSpectrumBox::Clear() {
  frame_.fill(Qt::black);
  update();
}

void TSpectrumBox::paintEvent(QPaintEvent* /*event*/) {
  // Frames are drawn at the design size; a larger screen shows the same bars, larger.
  QPainter painter(this);
  painter.drawImage(rect(), frame_);
}

}  // namespace orvela
