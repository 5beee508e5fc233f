#include <gtest/gtest.h>

#include <QImage>
#include <limits>
#include <vector>

#include "playback/spectrum.h"

namespace orvela {
namespace {

constexpr int kWidth = 628;
constexpr int kHeight = 113;
const QColor kBar(10, 200, 30);

// One magnitude for every bar.
std::vector<float> Flat(float value) { return std::vector<float>(512, value); }

class SpectrumTest : public ::testing::Test {
 protected:
  SpectrumTest() : spectrum(kWidth, kHeight), target(kWidth, kHeight, QImage::Format_RGB32) {
    // The look the player gives it.
    spectrum.BarColor = kBar;
    spectrum.PeakColor = Qt::red;
    spectrum.DrawMode = 1;
    target.fill(Qt::blue);
  }

  void Frame(float value) { spectrum.Draw(target, Flat(value), 0, 0); }

  QColor At(int x, int y) const { return target.pixelColor(x, y); }

  TSpectrum spectrum;
  QImage target;
};

TEST_F(SpectrumTest, MagnitudeToBarHeight) {
  struct Case {
    float magnitude;
    int height;
  } const cases[] = {
      {0.2f, 100},  {5.0f, 100}, {0.001f, 0}, {0.0f, 0},  {0.1f, 50},
      {0.0999f, 49},  // truncated, not rounded
      {-0.3f, 100}, {-0.05f, 25},
      {std::numeric_limits<float>::quiet_NaN(), 0}, {std::numeric_limits<float>::infinity(), 100},
  };
  for (const Case& c : cases) {
    TSpectrum fresh(kWidth, kHeight);
    fresh.Draw(target, Flat(c.magnitude), 0, 0);
    EXPECT_EQ(fresh.Bars[0], c.height) << c.magnitude;
    EXPECT_EQ(fresh.Peaks[128], c.height) << c.magnitude;
  }
}

TEST_F(SpectrumTest, BarsAndPeaksDecayAfterALoudFrame) {
  Frame(0.2f);
  ASSERT_EQ(spectrum.Bars[7], 100);
  int frames = 0;
  int expectedBar = 100;
  int expectedPeak = 100;
  while (spectrum.Bars[7] > 0) {
    Frame(0.0f);
    ++frames;
    expectedBar = std::max(expectedBar - 3, 0);
    expectedPeak -= 1;
    ASSERT_EQ(spectrum.Bars[7], expectedBar) << "frame " << frames;
    ASSERT_EQ(spectrum.Peaks[7], expectedPeak) << "frame " << frames;
  }
  EXPECT_EQ(frames, 34);
  for (int i = 0; i < 66; ++i) Frame(0.0f);
  EXPECT_EQ(spectrum.Peaks[7], 0);
  Frame(0.0f);
  EXPECT_EQ(spectrum.Peaks[7], 0);  // stays at 0, never negative
  EXPECT_EQ(spectrum.Bars[7], 0);
}

TEST_F(SpectrumTest, ALouderFrameLiftsBarAndPeakAtOnce) {
  Frame(0.1f);
  Frame(0.0f);
  Frame(0.125f);  // 62.5
  EXPECT_EQ(spectrum.Bars[0], 62);
  EXPECT_EQ(spectrum.Peaks[0], 62);
  Frame(0.1171875f);  // 58.6: below the bar (62 - 3 = 59 wins) and the peak (61)
  EXPECT_EQ(spectrum.Bars[0], 59);
  EXPECT_EQ(spectrum.Peaks[0], 61);
}

TEST_F(SpectrumTest, DrawsBarsAndPeaksOntoTheTarget) {
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
  EXPECT_EQ(target, spectrum.BackBuffer);
}

TEST_F(SpectrumTest, SilenceFromTheStartLeavesABlackFrame) {
  Frame(0.0f);
  QImage black(kWidth, kHeight, QImage::Format_RGB32);
  black.fill(Qt::black);
  EXPECT_EQ(target, black);
}

TEST_F(SpectrumTest, OffsetsMoveTheFrameAndBarsPastTheEdgeAreCut) {
  spectrum.Draw(target, Flat(0.2f), 3, -10);
  EXPECT_EQ(At(2, kHeight - 20), QColor(Qt::black));
  EXPECT_EQ(At(3, kHeight - 20), kBar);
  EXPECT_EQ(At(3, kHeight - 110), kBar);  // top of a 100-pixel bar ending 10 rows higher
  EXPECT_EQ(At(3, kHeight - 111), QColor(Qt::black));
  EXPECT_EQ(At(3, kHeight - 5), QColor(Qt::black));
  // Bars beyond the area are still tracked, only not visible.
  EXPECT_EQ(spectrum.Bars[128], 100);
}

TEST_F(SpectrumTest, BinStepAndShortInputs) {
  std::vector<float> magnitudes(10, 0.0f);
  magnitudes[4] = 0.2f;  // bin 4 = bar 2 with a step of 2
  spectrum.BinStep = 2;
  spectrum.Draw(target, magnitudes, 0, 0);
  EXPECT_EQ(spectrum.Bars[2], 100);
  EXPECT_EQ(spectrum.Bars[4], 0);
  // Bars whose bin lies past the given magnitudes read silence, not garbage.
  EXPECT_EQ(spectrum.Bars[100], 0);
}

TEST_F(SpectrumTest, WithoutPeaksOnlyBarsAreDrawn) {
  spectrum.ShowPeaks = false;
  Frame(0.2f);
  Frame(0.0f);
  EXPECT_EQ(At(2, kHeight - 99), QColor(Qt::black));
  EXPECT_EQ(spectrum.Peaks[0], 99);  // still tracked
}

TEST(SpectrumDefaults, ConstructorValues) {
  TSpectrum s(200, 50);
  EXPECT_EQ(s.BackBuffer.size(), QSize(200, 50));
  EXPECT_EQ(s.BackgroundPicture.size(), QSize(200, 50));
  EXPECT_EQ(s.MaxHeight, 100);
  EXPECT_EQ(s.BarColor, QColor(Qt::white));
  EXPECT_EQ(s.PeakColor, QColor(Qt::yellow));
  EXPECT_EQ(s.DrawMode, 0);
  EXPECT_EQ(s.BarFall, 3);
  EXPECT_EQ(s.PeakFall, 1);
  EXPECT_EQ(s.BarWidth, 5);
  EXPECT_TRUE(s.ShowPeaks);
  EXPECT_TRUE(s.ClearBackground);
}

}  // namespace
}  // namespace orvela
