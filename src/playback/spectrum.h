#pragma once
// The bar spectrum of the title now playing. Bars jump up at once and sink by
// BarFall pixels a frame; a peak mark above each bar sinks by PeakFall. Every
// frame is drawn into BackBuffer and copied to the target in one transfer, so
// the area never shows a half-drawn frame.
#include <array>
#include <cstdint>
#include <span>

#include <QColor>
#include <QImage>

class QPaintDevice;

namespace orvela {

class TSpectrum {
 public:
  static constexpr int kBarCount = 129;

  TSpectrum(int width, int height);

  QImage BackBuffer;
  QImage BackgroundPicture;  // kept for completeness; never drawn
  QColor BackgroundColor = Qt::black;
  std::int32_t MaxHeight = 100;
  QColor BarColor = Qt::white;
  QColor PeakColor = Qt::yellow;
  int DrawMode = 0;  // 1: bars BarWidth wide; 0: one-pixel lines
  std::int32_t BinStep = 1;
  bool ClearBackground = true;
  bool DrawBackgroundPicture = false;
  std::int32_t PeakFall = 1;
  std::int32_t BarFall = 3;
  std::int32_t BarWidth = 5;
  bool ShowPeaks = true;
  std::array<std::int32_t, kBarCount> Peaks{};
  std::array<std::int32_t, kBarCount> Bars{};

  // Advances bars and peaks by one frame from the FFT magnitudes (bar i reads
  // magnitudes[i * BinStep]; missing values count as silence), draws the frame
  // with its origin moved by (x, y) and copies it to target at (0, 0).
  void Draw(QPaintDevice& target, std::span<const float> magnitudes, int x, int y);
};

// The bar colour the player gives the spectrum: the desktop's highlight colour
// when an application palette exists, otherwise a fixed light steel blue.
QColor CaptionGradientColor();

}  // namespace orvela
