#include "playback/spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>

namespace orvela {

TSpectrum::TSpectrum(int width, int height)
    : BackBuffer(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32),
      BackgroundPicture(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32) {
  BackBuffer.fill(BackgroundColor);
  BackgroundPicture.fill(BackgroundColor);
}

namespace {

std::int32_t BarHeight(float magnitude, std::int32_t maxHeight) {
  const double scaled = std::fabs(static_cast<double>(magnitude)) * 500.0;
  // NaN and huge values from a broken decoder must not reach the integer cast.
  if (std::isnan(scaled)) return 0;
  if (scaled >= static_cast<double>(maxHeight)) return maxHeight;
  return static_cast<std::int32_t>(scaled);  // truncates toward zero
}

std::int32_t Sink(std::int32_t current, std::int32_t target, std::int32_t fall) {
  const std::int32_t next = target < current ? current - fall : target;
  return std::max(next, 0);
}

}  // namespace

void TSpectrum::Draw(QPaintDevice& target, std::span<const float> magnitudes, int x, int y) {
  const int h = BackBuffer.height();
  QPainter painter(&BackBuffer);
  if (ClearBackground) painter.fillRect(BackBuffer.rect(), BackgroundColor);

  const std::size_t step = static_cast<std::size_t>(std::max<std::int32_t>(BinStep, 1));
  for (int i = 0; i < kBarCount; ++i) {
    const std::size_t bin = static_cast<std::size_t>(i) * step;
    const float v = bin < magnitudes.size() ? magnitudes[bin] : 0.0f;
    const std::int32_t c = BarHeight(v, MaxHeight);
    Peaks[i] = Sink(Peaks[i], c, PeakFall);
    Bars[i] = Sink(Bars[i], c, BarFall);

    const int left = x + i * (BarWidth + 1);
    if (left >= BackBuffer.width()) continue;  // cut off at the right edge
    if (ShowPeaks) painter.fillRect(left, y + h - Peaks[i], BarWidth, 1, PeakColor);
    if (DrawMode == 1) {
      painter.fillRect(left, y + h - Bars[i], BarWidth, Bars[i], BarColor);
    } else {
      painter.fillRect(left, y + h - Bars[i], 1, Bars[i], BarColor);
    }
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
  return QColor(185, 209, 234);
}

}  // namespace orvela
