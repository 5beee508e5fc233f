// The playing time of a WMA file from what its header states, where the file
// size over the maximum bit rate is wrong: every variable-rate file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "metadata/wma_file.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::AsfBuilder;

constexpr std::uint64_t kSecond = 10000000;  // in the header's 100 ns units

TEST(WmaPlayingTimeTest, StatedTimeWhereItIsSoundElseSizeOverMaximumRate) {
  // 512,000 bytes at a stated maximum of 128 kbit/s: 32 s by size.
  constexpr std::size_t kSize = 512000;
  constexpr double kBySize = 32.0;
  struct Case {
    const char* name;
    std::uint64_t playDuration;
    std::uint64_t prerollMs;
    std::uint32_t flags;
    std::uint64_t statedSize;
    double duration;
  };
  const std::vector<Case> cases = {
      {"variable rate, preroll taken off", 17400 * kSecond / 1000, 3100, 0x02, kSize, 14.3},
      {"stated size unknown", 17400 * kSecond / 1000, 3100, 0x02, 0, 14.3},
      {"no preroll", 200 * kSecond, 0, 0x02, kSize, 200.0},
      {"no stated time", 0, 3100, 0x02, kSize, kBySize},
      {"live stream", 17400 * kSecond / 1000, 3100, 0x03, kSize, kBySize},
      {"all preroll", 3100 * kSecond / 1000, 3100, 0x02, kSize, kBySize},
      {"less than the preroll", 1 * kSecond, 3100, 0x02, kSize, kBySize},
      {"file cut short", 17400 * kSecond / 1000, 3100, 0x02, kSize + 1, kBySize},
      // 2048 s is 2000 bit/s over the file, the least a WMA codec comes near; a
      // second more is not what these bytes can hold.
      {"thinnest believable", 2048 * kSecond, 0, 0x02, kSize, 2048.0},
      {"thinner than any codec", 2049 * kSecond, 0, 0x02, kSize, kBySize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = AsfBuilder()
                            .TimedFileProperties(128000, c.playDuration, c.prerollMs, c.flags, c.statedSize)
                            .StreamProperties(2, 44100, 16000)
                            .Build();
    bytes.resize(kSize, '\0');
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromBuffer(bytes));
    ASSERT_TRUE(wma.Valid);
    EXPECT_NEAR(wma.Duration, c.duration, 1e-9);
  }
}

// ffmpeg's own WMA with its stated maximum rate halved, as a variable-rate
// file states a maximum below what it spends on loud passages: the time
// stays the 12.5 s of the tone, where the size over the rate would double it.
TEST(WmaPlayingTimeTest, EncodedFileKeepsItsTimeWhateverItsMaximumRate) {
  if (demo::EncoderFor(demo::Format::Wma) == nullptr) GTEST_SKIP() << "no WMA encoder";
  std::string bytes = demo::EncodeAudioBytes(demo::Format::Wma, demo::SynthesizeTone(440.0, 12.5));
  ASSERT_FALSE(bytes.empty());
  const std::string guid(testing::kAsfFileProperties.begin(), testing::kAsfFileProperties.end());
  const std::size_t at = bytes.find(guid);
  ASSERT_NE(at, std::string::npos);
  const auto maxRate = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 100]) |
                                                  static_cast<unsigned char>(bytes[at + 101]) << 8 |
                                                  static_cast<unsigned char>(bytes[at + 102]) << 16 |
                                                  static_cast<unsigned char>(bytes[at + 103]) << 24);
  ASSERT_GT(maxRate, 0u);
  testing::TempDir dir;
  for (const std::uint32_t rate : {maxRate, maxRate / 2}) {
    SCOPED_TRACE(rate);
    testing::PutLeAt(bytes, at + 100, rate, 4);
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromBuffer(bytes));
    ASSERT_TRUE(wma.Valid);
    EXPECT_NEAR(wma.Duration, 12.5, 0.1);
    TAudioFile record;
    record.LoadFromFile(dir.Write("tone.wma", bytes));
    EXPECT_GE(record.Duration, 12);
    EXPECT_LE(record.Duration, 13);
  }
}

// 320 kbit/s and lossless files were refused whole: file name as title, no
// artist, no time.
TEST(WmaPlayingTimeTest, HighRateAndLosslessFilesAreRead) {
  struct Case {
    const char* name;
    std::uint32_t maxBitRate;
    std::uint32_t sampleRate;
    std::uint32_t byteRate;
  };
  testing::TempDir dir;
  for (const Case& c : {Case{"320 kbit/s", 320000, 44100, 40000}, Case{"lossless", 1152000, 44100, 110000},
                        Case{"lossless 24-bit 96 kHz", 4608000, 96000, 350000}}) {
    SCOPED_TRACE(c.name);
    std::string bytes = AsfBuilder()
                            .TimedFileProperties(c.maxBitRate, 183100 * kSecond / 1000, 3100)
                            .StreamProperties(2, c.sampleRate, c.byteRate)
                            .ContentDescription(u"Song", u"Band")
                            .Build();
    bytes.resize(4000000, '\0');
    TAudioFile record;
    record.LoadFromFile(dir.Write("song.wma", bytes));
    EXPECT_EQ(record.Title, "Song");
    EXPECT_EQ(record.Artist, "Band");
    EXPECT_EQ(record.Duration, 180);
  }
}

}  // namespace
}  // namespace orvela
