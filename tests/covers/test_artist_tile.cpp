// The tile of a title without cover.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <string>

#include "covers/cover_cache.h"

namespace orvela {
namespace {

QColor Corner(const QImage& tile) { return tile.pixelColor(1, 1); }
// Pixels that are neither the background nor close to it: the letters.
int LetterPixels(const QImage& tile) {
  const QColor background = Corner(tile);
  int count = 0;
  for (int y = 0; y < tile.height(); ++y) {
    for (int x = 0; x < tile.width(); ++x) {
      if (tile.pixelColor(x, y).lightness() > background.lightness() + 80) ++count;
    }
  }
  return count;
}

double Luminance(QColor c) {
  auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

TEST(ArtistTile, TheSameNameAlwaysTheSameColourOtherNamesOthers) {
  const QImage a = ArtistTile("Die \xC4rzte", 96);
  ASSERT_EQ(a.size(), QSize(96, 96));
  EXPECT_EQ(Corner(a), Corner(ArtistTile("Die \xC4rzte", 96)));
  EXPECT_EQ(Corner(a), Corner(ArtistTile("DIE \xC4RZTE", 96)));
  EXPECT_EQ(Corner(a), Corner(ArtistTile("  Die  \xC4rzte ", 96)));
  int differing = 0;
  for (const char* other : {"Nena", "Kraftwerk", "Modern Talking", "Falco", "Scooter"}) {
    differing += Corner(ArtistTile(other, 96)) != Corner(a) ? 1 : 0;
  }
  EXPECT_GE(differing, 4);
}

TEST(ArtistTile, LettersReadOnEveryColour) {
  for (const char* name : {"A", "Bb", "Cc Dd", "Nena", "Kraftwerk", "Falco", "ABBA", "Heino", "Peter Maffay"}) {
    const QImage tile = ArtistTile(name, 120);
    const double l = Luminance(Corner(tile));
    EXPECT_GE((1.05) / (l + 0.05), 4.5) << name;
    EXPECT_GT(LetterPixels(tile), 50) << name;
  }
}

TEST(ArtistTile, NamesWithoutLettersAndOddSizesStillGiveATile) {
  for (const std::string name : {std::string(), std::string("   "), std::string("!!!"), std::string("\x80\xFF")}) {
    const QImage tile = ArtistTile(name, 64);
    EXPECT_EQ(tile.size(), QSize(64, 64));
  }
  EXPECT_EQ(ArtistTile("Nena", 1).size(), QSize(1, 1));
  EXPECT_TRUE(ArtistTile("Nena", 0).isNull());
  EXPECT_TRUE(ArtistTile("Nena", -5).isNull());
}

}  // namespace
}  // namespace orvela
