#pragma once
// The bar spectrum of the title now playing: the bars' and peaks' arithmetic.
// Bars jump up at once and sink by BarFall pixels a frame; a peak mark above
// each bar sinks by PeakFall. Painting a frame is the window's business
// (app/spectrum_painter.h), so the player stays free of any toolkit.
#include <array>
#include <cstdint>
#include <span>

namespace orvela {

// 0xRRGGBB.
using TRgbColor = std::uint32_t;

enum class TSpectrumDrawMode : int { Lines = 0, Bars = 1 };

class TSpectrum {
 public:
  static constexpr int kBarCount = 129;
  static constexpr TRgbColor kBlack = 0x000000;
  static constexpr TRgbColor kWhite = 0xFFFFFF;
  static constexpr TRgbColor kYellow = 0xFFFF00;
  static constexpr TRgbColor kRed = 0xFF0000;
  // The light steel blue desktop themes commonly give an active caption's
  // second gradient colour; the window replaces it with its palette's own.
  static constexpr TRgbColor kCaptionGradient = 0xB9D1EA;

  // The size of the drawing area, which is the size of every frame.
  TSpectrum(int width, int height);

  int Width;
  int Height;
  TRgbColor BackgroundColor = kBlack;
  std::int32_t MaxHeight = 100;
  TRgbColor BarColor = kWhite;
  TRgbColor PeakColor = kYellow;
  TSpectrumDrawMode DrawMode = TSpectrumDrawMode::Lines;
  std::int32_t BinStep = 1;
  bool ClearBackground = true;
  bool DrawBackgroundPicture = false;  // kept for completeness; never drawn
  std::int32_t PeakFall = 1;
  std::int32_t BarFall = 3;
  std::int32_t BarWidth = 5;
  bool ShowPeaks = true;
  std::array<std::int32_t, kBarCount> Peaks{};
  std::array<std::int32_t, kBarCount> Bars{};

  // Advances bars and peaks by one frame from the FFT magnitudes (bar i reads
  // magnitudes[i * BinStep]; missing values count as silence).
  void Advance(std::span<const float> magnitudes);
};

}  // namespace orvela
