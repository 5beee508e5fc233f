// Frame counts from the headers besides Xing's: an Info frame whose own bit
// rate is not the audio's, and Fraunhofer's VBRI header. Timed by the first
// frame's rate, both files come out far off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "metadata/mpeg_info.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::FrameLayout;
using testing::kMono;
using testing::kMpeg1;
using testing::kMpeg2;
using testing::kStereo;

// MPEG-1 Layer III, 44.1 kHz stereo at 64, 96 and 128 kbit/s.
const FrameLayout k64{kMpeg1, 3, 5, 0, false, kStereo};
const FrameLayout k96{kMpeg1, 3, 7, 0, false, kStereo};
const FrameLayout k128{kMpeg1, 3, 9, 0, false, kStereo};
constexpr std::size_t k64Length = 208;
constexpr std::size_t k96Length = 313;
constexpr std::size_t k128Length = 417;

// An Info frame: Xing's layout under the other name.
std::string InfoFrame(const FrameLayout& f, std::size_t length, std::size_t at, bool withCount,
                      std::uint32_t frames) {
  std::string frame = testing::XingFrame(f, length, at, withCount, frames);
  frame.replace(at, 4, "Info");
  return frame;
}

// A VBRI header 32 bytes behind the frame header: name, version 1, delay,
// quality, byte count, frame count.
std::string VbriFrame(const FrameLayout& f, std::size_t length, std::uint32_t bytes, std::uint32_t frames) {
  std::string frame = testing::Frame(f, length);
  frame.replace(36, 4, "VBRI");
  frame[41] = 1;
  testing::PutBigEndian32(frame, 46, bytes);
  testing::PutBigEndian32(frame, 50, frames);
  return frame;
}

TEST(MpegFrameCountTest, InfoWithAnotherRateAndVbriAreTimedByTheirCount) {
  struct Case {
    const char* name;
    std::string bytes;
    bool vbr;
    int frames;
    int bitrate;
    int duration;
  };
  const std::vector<Case> cases = {
      // 44.1 * 417000 / (1000 * 144) = 127.7 -> 127; 3336000 / 127000 = 26.3
      // (timed at the Info frame's 64 kbit/s it would be 52 s).
      {"info at 64k before 128k audio", InfoFrame(k64, k64Length, 36, true, 1000) + testing::Frames(k128, k128Length, 1000),
       false, 1000, 127, 26},
      // The frame's own rate is the audio's: timed as any constant-rate file,
      // whatever the count says. (417 * 1001 * 8) / 128000 = 26.1
      {"info at the audio's own rate", InfoFrame(k128, k128Length, 36, true, 500) + testing::Frames(k128, k128Length, 1000),
       false, 1001, 128, 26},
      // Nothing to count by: timed at its own rate. (208 + 417000) * 8 / 64000 = 52.2
      {"info at 64k without a count", InfoFrame(k64, k64Length, 36, false, 0) + testing::Frames(k128, k128Length, 1000),
       false, 2005, 64, 52},
      // 44.1 * 626000 / (2000 * 144) = 95.9 -> 95; 5008000 / 95000 = 52.7
      // (timed at the first frame's 128 kbit/s it would be 39 s).
      {"vbri", VbriFrame(k128, k128Length, 626417, 2000) + testing::Frames(k96, k96Length, 2000), true, 2000, 95, 52},
      // The same place whatever the version and channels: MPEG-2 mono, 24 kHz.
      // 24 * 48000 / (500 * 72) = 32; 384000 / 32000 = 12 (else 6).
      {"vbri mpeg-2 mono", VbriFrame({kMpeg2, 3, 8, 1, false, kMono}, 192, 48192, 500) +
                               testing::Frames({kMpeg2, 3, 4, 1, false, kMono}, 96, 500),
       true, 500, 32, 12},
      // A count of 0 cannot time anything: the frame's own rate does.
      // 626417 * 8 / 128000 = 39.2
      {"vbri without frames", VbriFrame(k128, k128Length, 0, 0) + testing::Frames(k96, k96Length, 2000), false, 1502,
       128, 39},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMpegInfo info;
    ASSERT_EQ(info.ReadFromBuffer(c.bytes), TMpegInfo::kFound);
    EXPECT_EQ(info.FirstHeaderPosition, 0);
    EXPECT_EQ(info.IsVBR, c.vbr);
    EXPECT_EQ(info.Frames, c.frames);
    EXPECT_EQ(info.Bitrate, c.bitrate);
    EXPECT_EQ(info.Duration, c.duration);
  }
}

// The damaged counts Xing's rule rejects are rejected here too, without
// losing the frame: it is then timed at its own rate.
TEST(MpegFrameCountTest, UnusableCountsFallBackToTheFramesOwnRate) {
  for (std::uint32_t frames : {0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(frames);
    const std::string bytes = InfoFrame(k64, k64Length, 36, true, frames) + testing::Frames(k128, k128Length, 100);
    TMpegInfo info;
    ASSERT_EQ(info.ReadFromBuffer(bytes), TMpegInfo::kFound);
    EXPECT_EQ(info.FirstHeaderPosition, 0);
    EXPECT_EQ(info.Bitrate, 64);
    EXPECT_EQ(info.Duration, static_cast<int>((bytes.size() * 8) / 64000));
  }
}

// What old encoders wrote: a real constant-rate stream whose Info frame is
// swapped for a 64 kbit/s one with the same count. The record's time stays
// the stream's 12 s instead of doubling.
TEST(MpegFrameCountTest, EncodedStreamBehindASlowInfoFrame) {
  if (demo::EncoderFor(demo::Format::Mp3) == nullptr) GTEST_SKIP() << "no MP3 encoder";
  demo::EncodeOptions options;
  options.writeXing = true;
  const std::string encoded =
      demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 12.5), options);
  ASSERT_GT(encoded.size(), 1000u);
  ASSERT_EQ(encoded.substr(36, 4), "Info") << "the encoder wrote no Info frame";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(encoded.data());
  const MpegFrameHeader first = TMpegInfo::ParseFrameHeader(bytes, encoded.size(), 0);
  ASSERT_TRUE(first.Valid);
  ASSERT_EQ(first.Bitrate, 128);
  const std::uint32_t count = (std::uint32_t{bytes[44]} << 24) | (std::uint32_t{bytes[45]} << 16) |
                              (std::uint32_t{bytes[46]} << 8) | bytes[47];
  ASSERT_NE(bytes[43] & 1, 0) << "no frame count";
  const std::string slow = InfoFrame(k64, k64Length, 36, true, count) + encoded.substr(first.FrameLength);

  testing::TempDir dir;
  TAudioFile original;
  original.LoadFromFile(dir.Write("original.mp3", encoded));
  TAudioFile swapped;
  swapped.LoadFromFile(dir.Write("slow info.mp3", slow));
  EXPECT_EQ(original.Duration, 12);
  EXPECT_EQ(swapped.Duration, 12);
}

}  // namespace
}  // namespace orvela
