#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "metadata/mpeg_info.h"
#include "metadata/tag_source.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::FrameLayout;
using testing::kMono;
using testing::kMpeg1;
using testing::kMpeg2;
using testing::kMpeg25;
using testing::kStereo;

MpegFrameHeader Parse(const std::array<std::uint8_t, 4>& bytes) {
  return TMpegInfo::ParseFrameHeader(bytes.data(), bytes.size(), 0);
}

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo: 417-byte frames.
const FrameLayout kCbr128{};
constexpr std::size_t kCbr128Length = 417;

// A stream of `size` bytes whose first three frames start at `offset`.
std::string CbrStream(std::size_t size, std::size_t offset, const FrameLayout& layout = kCbr128,
                      std::size_t length = kCbr128Length) {
  std::string bytes(size, '\0');
  bytes.replace(offset, 3 * length, testing::Frames(layout, length, 3));
  return bytes;
}

TEST(MpegFrameHeaderTest, FrameLengths) {
  struct Case {
    const char* name;
    FrameLayout layout;
    int expectedLength;
    int expectedBitrate;
    int expectedRate;
  };
  const std::vector<Case> cases = {
      {"mpeg1 layer3 128k 44.1k", {kMpeg1, 3, 9, 0, false, kStereo}, 417, 128, 44100},
      {"mpeg1 layer3 128k 44.1k padded", {kMpeg1, 3, 9, 0, true, kStereo}, 418, 128, 44100},
      {"mpeg1 layer1 32k 32k", {kMpeg1, 1, 1, 2, false, kStereo}, 48, 32, 32000},
      {"mpeg1 layer1 384k 44.1k padded", {kMpeg1, 1, 12, 0, true, kStereo}, 420, 384, 44100},
      {"mpeg1 layer2 192k 48k", {kMpeg1, 2, 10, 1, false, kStereo}, 576, 192, 48000},
      {"mpeg2 layer2 64k 24k", {kMpeg2, 2, 8, 1, false, kStereo}, 384, 64, 24000},
      {"mpeg2 layer3 64k 24k", {kMpeg2, 3, 8, 1, false, kStereo}, 192, 64, 24000},
      {"mpeg2 layer1 256k 16k", {kMpeg2, 1, 14, 2, false, kStereo}, 768, 256, 16000},
      {"mpeg2.5 layer3 8k 8k", {kMpeg25, 3, 1, 2, false, kMono}, 72, 8, 8000},
      {"mpeg2.5 layer2 160k 8k padded", {kMpeg25, 2, 14, 2, true, kStereo}, 2881, 160, 8000},
      {"free format layer1 padded", {kMpeg1, 1, 0, 0, true, kStereo}, 4, 0, 44100},
      {"free format layer3 padded", {kMpeg1, 3, 0, 0, true, kStereo}, 1, 0, 44100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MpegFrameHeader h = Parse(testing::HeaderBytes(c.layout));
    EXPECT_TRUE(h.Valid);
    EXPECT_EQ(h.FrameLength, c.expectedLength);
    EXPECT_EQ(h.Bitrate, c.expectedBitrate);
    EXPECT_EQ(h.SampleRate, c.expectedRate);
    EXPECT_EQ(h.Version, c.layout.version);
    EXPECT_EQ(h.Layer, c.layout.layer);
  }
}

TEST(MpegFrameHeaderTest, InvalidHeadersAndTheLayerTwoRule) {
  struct Case {
    const char* name;
    std::array<std::uint8_t, 4> bytes;
    bool valid;
  };
  auto h = [](const FrameLayout& s) { return testing::HeaderBytes(s); };
  const std::vector<Case> cases = {
      {"reserved sample rate", h({kMpeg1, 3, 9, 3, false, kStereo}), false},
      {"bit-rate index 15", h({kMpeg1, 3, 15, 0, false, kStereo}), false},
      {"reserved version", {0xFF, 0xEB, 0x90, 0x00}, false},
      {"reserved layer", {0xFF, 0xF9, 0x90, 0x00}, false},
      {"ten sync bits only", {0xFF, 0xDB, 0x90, 0x00}, false},
      {"first byte not 0xFF", {0xFE, 0xFB, 0x90, 0x00}, false},
      {"free format without padding", h({kMpeg1, 3, 0, 0, false, kStereo}), false},
      {"layer2 32k stereo", h({kMpeg1, 2, 1, 0, false, kStereo}), false},
      {"layer2 48k joint stereo", h({kMpeg1, 2, 2, 0, false, testing::kJointStereo}), false},
      {"layer2 56k dual channel", h({kMpeg1, 2, 3, 0, false, testing::kDualChannel}), false},
      {"layer2 80k stereo", h({kMpeg1, 2, 5, 0, false, kStereo}), false},
      {"layer2 224k mono", h({kMpeg1, 2, 11, 0, false, kMono}), false},
      {"layer2 384k mono", h({kMpeg1, 2, 14, 0, false, kMono}), false},
      {"layer2 32k mono", h({kMpeg1, 2, 1, 0, false, kMono}), true},
      {"layer2 80k mono", h({kMpeg1, 2, 5, 0, false, kMono}), true},
      {"layer2 384k stereo", h({kMpeg1, 2, 14, 0, false, kStereo}), true},
      {"layer2 64k in both modes", h({kMpeg1, 2, 4, 0, false, kStereo}), true},
      {"layer2 64k mono", h({kMpeg1, 2, 4, 0, false, kMono}), true},
      // Half-rate MPEG-2 Layer II is written at 32 kbit/s stereo by common encoders.
      {"mpeg2 layer2 32k stereo", h({kMpeg2, 2, 4, 1, false, kStereo}), true},
      {"layer3 32k stereo", h({kMpeg1, 3, 1, 0, false, kStereo}), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Parse(c.bytes).Valid, c.valid);
  }
}

TEST(MpegFrameHeaderTest, FlagFieldsAndShortInput) {
  // MPEG-1 Layer III with CRC, 128k, padded; joint stereo, mode extension 2,
  // copyright, original, emphasis 1.
  const std::array<std::uint8_t, 4> bytes = {0xFF, 0xFA, 0x92, 0x6D};
  const MpegFrameHeader h = Parse(bytes);
  ASSERT_TRUE(h.Valid);
  EXPECT_TRUE(h.Protection);
  EXPECT_TRUE(h.Padding);
  EXPECT_EQ(h.ChannelMode, 1);
  EXPECT_EQ(h.ModeExtension, 2);
  EXPECT_TRUE(h.Copyright);
  EXPECT_TRUE(h.Original);
  EXPECT_EQ(h.Emphasis, 1);
  EXPECT_EQ(h.FrameLength, 418);

  // A header cut short by the end of the data is no header.
  EXPECT_FALSE(TMpegInfo::ParseFrameHeader(bytes.data(), 3, 0).Valid);
  EXPECT_FALSE(TMpegInfo::ParseFrameHeader(bytes.data(), 4, 1).Valid);
  EXPECT_FALSE(TMpegInfo::ParseFrameHeader(bytes.data(), 4, 9).Valid);
}

TEST(MpegXingTest, PositionDependsOnVersionAndChannels) {
  struct Case {
    const char* name;
    FrameLayout layout;
    std::size_t length;
    std::size_t xingOffset;
  };
  const std::vector<Case> cases = {
      {"mpeg1 stereo", {kMpeg1, 3, 9, 0, false, kStereo}, 417, 36},
      {"mpeg1 mono", {kMpeg1, 3, 9, 0, false, kMono}, 417, 21},
      {"mpeg2 stereo", {kMpeg2, 3, 8, 1, false, kStereo}, 192, 21},
      {"mpeg2 mono", {kMpeg2, 3, 8, 1, false, kMono}, 192, 13},
      {"mpeg2.5 mono", {kMpeg25, 3, 1, 2, false, kMono}, 72, 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MpegFrameHeader header = Parse(testing::HeaderBytes(c.layout));
    ASSERT_TRUE(header.Valid);
    for (std::size_t at : {c.xingOffset - 1, c.xingOffset, c.xingOffset + 1}) {
      const std::string frame = testing::XingFrame(c.layout, c.length, at, true, 1234);
      const auto* data = reinterpret_cast<const std::uint8_t*>(frame.data());
      const XingInfo x = TMpegInfo::FindXingHeader(header, data, frame.size(), 0);
      EXPECT_EQ(x.Found, at == c.xingOffset) << "Xing at " << at;
      if (at == c.xingOffset) {
        EXPECT_EQ(x.Frames, 1234);
        EXPECT_EQ(x.FrameLength, c.length);
        // The header needs its 12 bytes inside the block.
        EXPECT_FALSE(TMpegInfo::FindXingHeader(header, data, at + 11, 0).Found);
        EXPECT_TRUE(TMpegInfo::FindXingHeader(header, data, at + 12, 0).Found);
      }
    }
  }
  // "xing" in lower case is not the marker; no frame-count flag gives 0.
  const FrameLayout layout = kCbr128;
  const MpegFrameHeader header = Parse(testing::HeaderBytes(layout));
  std::string frame = testing::XingFrame(layout, 417, 36, true, 99);
  frame[36] = 'x';
  EXPECT_FALSE(TMpegInfo::FindXingHeader(header, reinterpret_cast<const std::uint8_t*>(frame.data()),
                                         frame.size(), 0).Found);
  frame = testing::XingFrame(layout, 417, 36, false, 0);
  const XingInfo noCount = TMpegInfo::FindXingHeader(
      header, reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(), 0);
  EXPECT_TRUE(noCount.Found);
  EXPECT_EQ(noCount.Frames, 0);
}

TEST(MpegSearchTest, ConstantBitRateDurations) {
  struct Case {
    const char* name;
    std::size_t size;
    std::size_t offset;
    FrameLayout layout;
    std::size_t length;
    int duration;
    int frames;
  };
  const std::vector<Case> cases = {
      {"4 MB from 0", 4000000, 0, kCbr128, 417, 250, 9592},
      {"4 MB from 4096", 4000000, 4096, kCbr128, 417, 249, 9582},
      {"mpeg2 layer3 64k", 240000, 0, {kMpeg2, 3, 8, 1, false, kStereo}, 192, 30, 1250},
      {"mpeg1 layer2 192k", 1000000, 10, {kMpeg1, 2, 10, 1, false, kStereo}, 576, 41, 1736},
      {"mpeg1 layer1 32k", 48000, 0, {kMpeg1, 1, 1, 2, false, kStereo}, 48, 12, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMpegInfo info;
    EXPECT_EQ(info.ReadFromBuffer(CbrStream(c.size, c.offset, c.layout, c.length)), TMpegInfo::kFound);
    EXPECT_TRUE(info.Valid);
    EXPECT_FALSE(info.IsVBR);
    EXPECT_EQ(info.FirstHeaderPosition, static_cast<std::int64_t>(c.offset));
    EXPECT_EQ(info.FileSize, static_cast<std::int64_t>(c.size));
    EXPECT_EQ(info.Duration, c.duration);
    EXPECT_EQ(info.Frames, c.frames);
    EXPECT_EQ(info.Version, c.layout.version);
    EXPECT_EQ(info.Layer, c.layout.layer);
  }
}

TEST(MpegSearchTest, XingFrameCountGivesAverageBitRate) {
  struct Case {
    const char* name;
    FrameLayout layout;
    std::size_t length;
    std::size_t xingOffset;
    std::uint32_t frames;
    std::size_t audioBehindXing;
    int bitrate;
    int duration;
  };
  const std::vector<Case> cases = {
      // 44.1 * 417000 / (1000 * 144) = 127.7 -> 127; 3336000 / 127000 = 26.3
      {"mpeg1 stereo", kCbr128, 417, 36, 1000, 417000, 127, 26},
      // 44.1 * 500000 / (2000 * 144) = 76.6 -> 76; 4000000 / 76000 = 52.6
      {"mpeg1 mono", {kMpeg1, 3, 9, 0, false, kMono}, 417, 21, 2000, 500000, 76, 52},
      // 24 * 96000 / (500 * 72) = 64; 768000 / 64000 = 12
      {"mpeg2 mono", {kMpeg2, 3, 8, 1, false, kMono}, 192, 13, 500, 96000, 64, 12},
      // 44.1 * 300000 / 144 = 91875, kept in 16 bits: 26339
      {"bit rate past 16 bits", kCbr128, 417, 36, 1, 300000, 26339, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = testing::XingFrame(c.layout, c.length, c.xingOffset, true, c.frames);
    bytes += testing::Frames(c.layout, c.length, 2);
    bytes.resize(c.length + c.audioBehindXing, '\0');
    TMpegInfo info;
    EXPECT_EQ(info.ReadFromBuffer(bytes), TMpegInfo::kFound);
    EXPECT_TRUE(info.IsVBR);
    EXPECT_EQ(info.FirstHeaderPosition, 0);
    EXPECT_EQ(info.Frames, static_cast<std::int32_t>(c.frames));
    EXPECT_EQ(info.Bitrate, c.bitrate);
    EXPECT_EQ(info.Duration, c.duration);
  }
}

TEST(MpegSearchTest, UnusableXingFrameIsPassedOver) {
  struct Case {
    const char* name;
    bool withCount;
    std::uint32_t frames;
  };
  // No frame count, and a count so large the average truncates to 0 kbit/s:
  // both are divisions by zero, so the next frame starts a constant-rate stream.
  for (const Case& c : {Case{"no count flag", false, 0}, Case{"zero count", true, 0},
                        Case{"absurd count", true, 0xFFFFFFFFu}}) {
    SCOPED_TRACE(c.name);
    std::string bytes = testing::XingFrame(kCbr128, 417, 36, c.withCount, c.frames);
    bytes += testing::Frames(kCbr128, 417, 3);
    bytes.resize(417 * 100, '\0');
    TMpegInfo info;
    EXPECT_EQ(info.ReadFromBuffer(bytes), TMpegInfo::kFound);
    EXPECT_EQ(info.FirstHeaderPosition, 417);
    EXPECT_FALSE(info.IsVBR);
    EXPECT_EQ(info.Bitrate, 128);
    EXPECT_EQ(info.Duration, (417 * 99 * 8) / 128000);
  }
}

// The search reads 512-byte windows; a frame anywhere around a window edge must
// be found at its exact offset, whatever lies before it.
TEST(MpegSearchTest, FrameFoundAtEveryOffsetAroundWindowEdges) {
  for (char filler : {'\0', '\xFF'}) {
    for (std::size_t offset : {0u, 1u, 100u, 505u, 507u, 508u, 509u, 510u, 511u, 512u, 513u, 1015u,
                               1020u, 1021u, 1024u, 2000u}) {
      SCOPED_TRACE(offset);
      std::string bytes(offset, filler);
      bytes += testing::Frames(kCbr128, 417, 3);
      TMpegInfo info;
      ASSERT_EQ(info.ReadFromBuffer(bytes), TMpegInfo::kFound);
      EXPECT_EQ(info.FirstHeaderPosition, static_cast<std::int64_t>(offset));
      EXPECT_EQ(info.Duration, 0);  // three frames are 0.08 s
      EXPECT_EQ(info.Frames, 3);
    }
  }
}

TEST(MpegSearchTest, TripleRules) {
  const std::string frame = testing::Frame(kCbr128, 417);
  const std::string header = frame.substr(0, 4);
  struct Case {
    const char* name;
    std::string bytes;
    std::int64_t position;  // -1: nothing found
  };
  const std::vector<Case> cases = {
      {"empty", "", -1},
      {"three bytes", header.substr(0, 3), -1},
      {"two frames, then no sync", frame + frame + std::string(100, '\0') + frame + frame + frame, 934},
      {"third header cut to three bytes", frame + frame + header.substr(0, 3), -1},
      {"third header complete at the end", frame + frame + header, 0},
      {"second header cut short", frame + header.substr(0, 3), -1},
      {"tags only", "ID3" + std::string(5000, '\0') + "TAG" + std::string(125, ' '), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMpegInfo info;
    EXPECT_EQ(info.ReadFromBuffer(c.bytes), c.position < 0 ? TMpegInfo::kNotFound : TMpegInfo::kFound);
    EXPECT_EQ(info.FirstHeaderPosition, c.position);
    EXPECT_EQ(info.Valid, c.position >= 0);
  }
}

TEST(MpegSearchTest, FreeFormatIsRejectedAndTheSearchGoesOn) {
  // Padded free-format Layer I frames are 4 bytes of header only: a perfect
  // triple whose bit rate of 0 cannot be timed.
  const std::string freeFormat = testing::Frames({kMpeg1, 1, 0, 0, true, kStereo}, 4, 8);
  TMpegInfo alone;
  EXPECT_EQ(alone.ReadFromBuffer(freeFormat), TMpegInfo::kNotFound);
  EXPECT_EQ(alone.FirstHeaderPosition, -1);

  const FrameLayout mpeg2{kMpeg2, 3, 8, 1, false, kMono};
  TMpegInfo info;
  EXPECT_EQ(info.ReadFromBuffer(freeFormat + testing::Frames(mpeg2, 192, 3)), TMpegInfo::kFound);
  EXPECT_EQ(info.FirstHeaderPosition, 32);
  EXPECT_EQ(info.Version, kMpeg2);
  EXPECT_EQ(info.Layer, 3);
  EXPECT_EQ(info.SampleRate, 24000);
  EXPECT_EQ(info.ChannelMode, kMono);
}

TEST(MpegSearchTest, StartPositionAndStream) {
  const std::string early = testing::Frames({kMpeg1, 3, 1, 0, false, kStereo}, 104, 3);  // 32 kbit/s
  const std::string bytes = early + std::string(50, '\0') + testing::Frames(kCbr128, 417, 3);
  const std::int64_t late = static_cast<std::int64_t>(early.size()) + 50;

  TMpegInfo fromStart;
  fromStart.ReadFromBuffer(bytes);
  EXPECT_EQ(fromStart.FirstHeaderPosition, 0);
  EXPECT_EQ(fromStart.Bitrate, 32);

  TMpegInfo skipped;
  skipped.ReadFromBuffer(bytes, 1);
  EXPECT_EQ(skipped.FirstHeaderPosition, late);
  EXPECT_EQ(skipped.Bitrate, 128);

  std::istringstream stream(bytes);
  stream.seekg(1);
  TMpegInfo fromStream;
  EXPECT_EQ(fromStream.ReadFromStream(stream), TMpegInfo::kFound);
  EXPECT_EQ(fromStream.FirstHeaderPosition, late);
  EXPECT_EQ(fromStream.FileSize, static_cast<std::int64_t>(bytes.size()));
}

// A gigabyte of zeros (or of anything without frames) is not searched to its
// end: the first frame must begin within the first megabytes behind the start.
TEST(MpegSearchTest, TheSearchEndsBehindItsFirstMegabytes) {
  const std::int64_t limit = TMpegInfo::kMaxSearchBytes;
  const std::string frames = testing::Frames(kCbr128, 417, 3);
  struct Case {
    std::int64_t start;
    std::int64_t frameAt;
    bool found;
  };
  const Case cases[] = {
      {0, limit - 1, true},
      {0, limit, false},
      {1000, 1000 + limit - 1, true},  // counted from where the search starts
      {1000, 1000 + limit, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frameAt);
    const std::string bytes = std::string(static_cast<std::size_t>(c.frameAt), '\0') + frames;
    TMpegInfo info;
    EXPECT_EQ(info.ReadFromBuffer(bytes, c.start), c.found ? TMpegInfo::kFound : TMpegInfo::kNotFound);
    EXPECT_EQ(info.FirstHeaderPosition, c.found ? c.frameAt : -1);
  }
}

TEST(MpegSearchTest, LongFileDurationNeedsSixtyFourBits) {
  // 300 MB at 8 kbit/s: the bit count overflows 32 bits long before the end.
  const FrameLayout layout{kMpeg2, 3, 1, 0, false, kMono};  // 22050 Hz: 26-byte frames
  testing::TempDir dir;
  const std::string path = dir.WriteSparse("long.mp3", testing::Frames(layout, 26, 3), 300000000);
  TTagSource source = TTagSource::OpenFile(path);
  ASSERT_TRUE(source.IsOpen());
  TMpegInfo info;
  EXPECT_EQ(info.ReadFromSource(source, 0), TMpegInfo::kFound);
  EXPECT_EQ(info.Duration, 300000);
  EXPECT_EQ(info.Frames, 300000000 / 26);
}

}  // namespace
}  // namespace orvela
