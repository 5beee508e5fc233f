#pragma once
// Paints the player's spectrum: every frame is drawn into BackBuffer and copied
// to the target in one transfer, so the area never shows a half-drawn frame.
#include <QColor>
#include <QImage>
#include <span>

#include "playback/spectrum.h"

class QPaintDevice;

namespace orvela {

class TSpectrumPainter {
 public:
  explicit TSpectrumPainter(const TSpectrum& spectrum);

  QImage BackBuffer;

  // Advances `spectrum` by one frame from the FFT magnitudes, draws the frame
  // with its origin moved by (x, y) and copies it to target at (0, 0).
  void Draw(TSpectrum& spectrum, QPaintDevice& target, std::span<const float> magnitudes, int x,
            int y);
};

// Advances `spectrum` by one frame from the FFT magnitudes and draws that frame
// into `frame`, its origin moved by (x, y); bars stand on the frame's bottom.
void DrawSpectrumFrame(TSpectrum& spectrum, QImage& frame, std::span<const float> magnitudes, int x,
                       int y);

QColor ToQColor(TRgbColor rgb);

// The desktop's highlight colour when an application palette exists,
// otherwise the spectrum's fixed light steel blue.
QColor CaptionGradientColor();

}  // namespace orvela
