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

void DrawSpectrumFrame(TSpectrum& spectrum, QImage& frame, std::span<const float> magnitudes, int x,
                       int y) {
  spectrum.Advance(magnitudes);
  const int h = frame.height();
  const QColor barColor = ToQColor(spectrum.BarColor);
  const QColor peakColor = ToQColor(spectrum.PeakColor);
  const int barWidth = spectrum.DrawMode == TSpectrumDrawMode::Bars ? spectrum.BarWidth : 1;
  QPainter painter(&frame);
  if (spectrum.ClearBackground) painter.fillRect(frame.rect(), ToQColor(spectrum.BackgroundColor));
  for (int i = 0; i < TSpectrum::kBarCount; ++i) {
    const int left = x + i * (spectrum.BarWidth + 1);
    if (left >= frame.width()) continue;  // cut off at the right edge
    if (spectrum.ShowPeaks) painter.fillRect(left, y + h - spectrum.Peaks[i], spectrum.BarWidth, 1, peakColor);
    painter.fillRect(left, y + h - spectrum.Bars[i], barWidth, spectrum.Bars[i], barColor);
  }
}

void TSpectrumPainter::Draw(TSpectrum& spectrum, QPaintDevice& target,
                            std::span<const float> magnitudes, int x, int y) {
  DrawSpectrumFrame(spectrum, BackBuffer, magnitudes, x, y);
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
