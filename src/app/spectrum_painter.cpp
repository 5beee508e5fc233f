#include "app/spectrum_painter.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>

namespace orvela {

QColor ToQColor(TRgbColor rgb) {
  return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

TSpectrumPainter::TSpectrumPainter(const TSpectrum& spectrum)
    : BackBuffer(spectrum.Width, spectrum.Height, QImage::Format_RGB32) {
  BackBuffer.fill(ToQColor(spectrum.BackgroundColor));
}

void TSpectrumPainter::Draw(TSpectrum& spectrum, QPaintDevice& target,
                            std::span<const float> magnitudes, int x, int y) {
  spectrum.Advance(magnitudes);
  const int h = BackBuffer.height();
  const QColor barColor = ToQColor(spectrum.BarColor);
  const QColor peakColor = ToQColor(spectrum.PeakColor);
  QPainter painter(&BackBuffer);
  if (spectrum.ClearBackground) painter.fillRect(BackBuffer.rect(), ToQColor(spectrum.BackgroundColor));
  for (int i = 0; i < TSpectrum::kBarCount; ++i) {
    const int left = x + i * (spectrum.BarWidth + 1);
    if (left >= BackBuffer.width()) continue;  // cut off at the right edge
    const int bar = spectrum.Bars[i];
    if (spectrum.ShowPeaks) painter.fillRect(left, y + h - spectrum.Peaks[i], spectrum.BarWidth, 1, peakColor);
    const int width = spectrum.DrawMode == TSpectrumDrawMode::Bars ? spectrum.BarWidth : 1;
    painter.fillRect(left, y + h - bar, width, bar, barColor);
  }
  painter.end();

  if (&target == static_cast<QPaintDevice*>(&BackBuffer)) return;
  QPainter out(&target);
  out.drawImage(0, 0, BackBuffer);
}

QColor CaptionGradientColor() {
  if (QGuiApplication::instance() != nullptr) {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
  }
  return ToQColor(TSpectrum::kCaptionGradient);
}

}  // namespace orvela
