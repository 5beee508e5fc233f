#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "playback/spectrum.h"

namespace orvela {
namespace {

constexpr int kWidth = 628;
constexpr int kHeight = 113;

// One magnitude for every bar.
std::vector<float> Flat(float value) { return std::vector<float>(512, value); }

class SpectrumTest : public ::testing::Test {
 protected:
  SpectrumTest() : spectrum(kWidth, kHeight) {}

  void Frame(float value) { spectrum.Advance(Flat(value)); }

  TSpectrum spectrum;
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
    fresh.Advance(Flat(c.magnitude));
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

TEST_F(SpectrumTest, BinStepAndShortInputs) {
  std::vector<float> magnitudes(10, 0.0f);
  magnitudes[4] = 0.2f;  // bin 4 = bar 2 with a step of 2
  spectrum.BinStep = 2;
  spectrum.Advance(magnitudes);
  EXPECT_EQ(spectrum.Bars[2], 100);
  EXPECT_EQ(spectrum.Bars[4], 0);
  // Bars whose bin lies past the given magnitudes read silence, not garbage.
  EXPECT_EQ(spectrum.Bars[100], 0);
}

TEST(SpectrumDefaults, ConstructorValues) {
  TSpectrum s(200, 50);
  EXPECT_EQ(s.Width, 200);
  EXPECT_EQ(s.Height, 50);
  EXPECT_EQ(s.MaxHeight, 100);
  EXPECT_EQ(s.BarColor, TSpectrum::kWhite);
  EXPECT_EQ(s.PeakColor, TSpectrum::kYellow);
  EXPECT_EQ(s.DrawMode, TSpectrumDrawMode::Lines);
  EXPECT_EQ(s.BarFall, 3);
  EXPECT_EQ(s.PeakFall, 1);
  EXPECT_EQ(s.BarWidth, 5);
  EXPECT_TRUE(s.ShowPeaks);
  EXPECT_TRUE(s.ClearBackground);
}

}  // namespace
}  // namespace orvela
