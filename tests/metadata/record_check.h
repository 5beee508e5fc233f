#pragma once
// The five fields of an audio file record a guest sees, checked in one go.
#include <gtest/gtest.h>

#include <string>

#include "metadata/audio_file.h"

namespace orvela::testing {

struct Record {
  std::string title, artist, year, genre;
  int duration;
};

inline void ExpectRecord(const TAudioFile& f, const Record& r) {
  EXPECT_EQ(f.Title, r.title);
  EXPECT_EQ(f.Artist, r.artist);
  EXPECT_EQ(f.Year, r.year);
  EXPECT_EQ(f.Genre, r.genre);
  EXPECT_EQ(f.Duration, r.duration);
}

}  // namespace orvela::testing
