#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "app/spectrum_painter.h"

namespace orvela {
namespace {

constexpr int kWidth = 628;
constexpr int kHeight = 113;
const QColor kBar(10, 200, 30);

// One magnitude for every bar.
std::vector<float> Flat(float value) { return std::vector<float>(512, value); }

class SpectrumPainterTest : public ::testing::Test {
 protected:
  SpectrumPainterTest()
      : spectrum(kWidth, kHeight), painter(spectrum), target(kWidth, kHeight, QImage::Format_RGB32) {
    // The look the player gives it.
    spectrum.BarColor = 0x0AC81E;
    spectrum.PeakColor = TSpectrum::kRed;
    spectrum.DrawMode = TSpectrumDrawMode::Bars;
    target.fill(Qt::blue);
  }

  void Frame(float value) { painter.Draw(spectrum, target, Flat(value), 0, 0); }

  QColor At(int x, int y) const { return target.pixelColor(x, y); }

  TSpectrum spectrum;
  TSpectrumPainter painter;
  QImage target;
};

TEST_F(SpectrumPainterTest, DrawsBarsAndPeaksOntoTheTarget) {
  Frame(0.2f);
  // Bar 0 covers columns 0..4, rows 13..112; the column between bars stays background.
  EXPECT_EQ(At(0, kHeight - 1), kBar);
  EXPECT_EQ(At(4, kHeight - 100), kBar);
  EXPECT_EQ(At(4, kHeight - 101), QColor(Qt::black));
  EXPECT_EQ(At(5, kHeight - 1), QColor(Qt::black));
  EXPECT_EQ(At(6, kHeight - 1), kBar);  // bar 1

  Frame(0.0f);
  // Bar 97 high, peak 99: the peak row is red, the row between peak and bar is background.
  EXPECT_EQ(At(2, kHeight - 97), kBar);
  EXPECT_EQ(At(2, kHeight - 98), QColor(Qt::black));
  EXPECT_EQ(At(2, kHeight - 99), QColor(Qt::red));
  EXPECT_EQ(At(4, kHeight - 99), QColor(Qt::red));
  EXPECT_EQ(At(5, kHeight - 99), QColor(Qt::black));  // the peak line ends before the gap
  EXPECT_EQ(At(2, kHeight - 100), QColor(Qt::black));

  // The frame reached the target whole and the back buffer holds the same picture.
  EXPECT_EQ(target, painter.BackBuffer);
}

TEST_F(SpectrumPainterTest, SilenceFromTheStartLeavesABlackFrame) {
  Frame(0.0f);
  QImage black(kWidth, kHeight, QImage::Format_RGB32);
  black.fill(Qt::black);
  EXPECT_EQ(target, black);
}

TEST_F(SpectrumPainterTest, OffsetsMoveTheFrameAndBarsPastTheEdgeAreCut) {
  painter.Draw(spectrum, target, Flat(0.2f), 3, -10);
  EXPECT_EQ(At(2, kHeight - 20), QColor(Qt::black));
  EXPECT_EQ(At(3, kHeight - 20), kBar);
  EXPECT_EQ(At(3, kHeight - 110), kBar);  // top of a 100-pixel bar ending 10 rows higher
  EXPECT_EQ(At(3, kHeight - 111), QColor(Qt::black));
  EXPECT_EQ(At(3, kHeight - 5), QColor(Qt::black));
  // Bars beyond the area are still tracked, only not visible.
  EXPECT_EQ(spectrum.Bars[128], 100);
}

TEST_F(SpectrumPainterTest, WithoutPeaksOnlyBarsAreDrawn) {
  spectrum.ShowPeaks = false;
  Frame(0.2f);
  Frame(0.0f);
  EXPECT_EQ(At(2, kHeight - 99), QColor(Qt::black));
  EXPECT_EQ(spectrum.Peaks[0], 99);  // still tracked
}

TEST(SpectrumPainterColours, RgbValuesBecomeTheirColours) {
  EXPECT_EQ(ToQColor(0x0AC81E), kBar);
  EXPECT_EQ(ToQColor(TSpectrum::kCaptionGradient), QColor(185, 209, 234));
}

}  // namespace
}  // namespace orvela
