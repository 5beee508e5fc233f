#include "app/spectrum_box.h"

#include <QPainter>

namespace orvela {

TSpectrumBox::TSpectrumBox(QWidget* parent) : QWidget(parent), frame_(1, 1, QImage::Format_RGB32) {
  frame_.fill(Qt::black);
  // Every pixel is painted from the frame: Qt need not clear the area first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSpectrumBox::DrawFrame(TSpectrum& spectrum, std::span<const float> magnitudes) {
  FitFrame();
  DrawSpectrumFrame(spectrum, frame_, magnitudes, 0, 0);
  update();
}

void TSpectrumBox::Clear() {
  FitFrame();
  frame_.fill(Qt::black);
  update();
}

// The box takes its size from the window's layout, which may grow it for a
// kiosk screen; a hidden box gets no resize event, so the frame follows here.
void TSpectrumBox::FitFrame() {
  if (frame_.size() != size() && width() > 0 && height() > 0) {
    frame_ = QImage(size(), QImage::Format_RGB32);
    frame_.fill(Qt::black);
  }
}

void TSpectrumBox::paintEvent(QPaintEvent* /*event*/) {
  FitFrame();
  QPainter painter(this);
  painter.drawImage(0, 0, frame_);
}

}  // namespace orvela
