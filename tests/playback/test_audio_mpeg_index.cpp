// The fast byte walk over MPEG frames must give exactly the index the demuxer's
// own pass gives, or step aside for it.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include "playback/audio/ffmpeg_owners.h"
#include "playback/audio/mpeg_index.h"
#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

struct Indexes {
  bool fastOk = false;
  MpegIndex fast, fromFile, demuxed;
};

// The walk over the bytes in memory and over the file (as the layer reads it),
// and the demuxer's pass.
Indexes IndexBothWays(const std::string& path) {
  Indexes r;
  ffmpeg::InputFormat fmt;
  try {
    fmt = ffmpeg::InputFormat::Open(path, nullptr, nullptr);
  } catch (const ffmpeg::Error& e) {
    ADD_FAILURE() << e.what();
    return r;
  }
  avformat_find_stream_info(fmt.get(), nullptr);
  const int stream = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ffmpeg::Packet first;
  while (av_read_frame(fmt.get(), first.get()) >= 0 && first->stream_index != stream) av_packet_unref(first.get());
  std::int64_t skip = 0;
  std::size_t n = 0;
  if (const std::uint8_t* sd = av_packet_get_side_data(first.get(), AV_PKT_DATA_SKIP_SAMPLES, &n); sd && n >= 8)
    skip = AV_RL32(sd);
  std::ifstream f(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  r.fastOk = r.fast.BuildFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                   static_cast<std::size_t>(first->pos), skip);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(r.fromFile.BuildFromFile(fd, bytes.size(), static_cast<std::uint64_t>(first->pos), skip), r.fastOk);
  ::close(fd);
  EXPECT_TRUE(r.demuxed.Build(fmt.get(), stream, fmt->streams[stream]->codecpar->sample_rate, first.get()));
  return r;
}

// `extra`: packets the demuxer makes of bytes after the last frame; it then also
// distrusts the info frame and cuts no padding, so only the frames are compared.
void ExpectSame(const MpegIndex& a, const MpegIndex& b, std::size_t extra) {
  ASSERT_EQ(a.size() + extra, b.size());
  if (extra == 0) {
    EXPECT_EQ(a.TotalFrames(), b.TotalFrames());
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const MpegFrameEntry x = a.Entry(i), y = b.Entry(i);
    ASSERT_EQ(x.filePos, y.filePos) << "entry " << i;
    ASSERT_EQ(x.size, y.size) << "entry " << i;
    ASSERT_EQ(x.samples, y.samples) << "entry " << i;
    if (extra > 0) continue;
    ASSERT_EQ(x.keepBegin, y.keepBegin) << "entry " << i;
    ASSERT_EQ(x.keepEnd, y.keepEnd) << "entry " << i;
  }
}

TEST(AudioMpegIndex, ByteWalkAgreesWithTheDemuxer) {
  TempDir dir;
  const demo::Pcm tone = demo::SynthesizeTone(500.0, 2.0, 0.5);
  const std::string cbr = demo::EncodeAudioBytes(demo::Format::Mp3, tone);
  const std::string tag = demo::BuildId3v2Tag(4, {{"TIT2", "x", ""}}, demo::Id3TextEncoding::Utf8, 5000);
  demo::Id3v1Fields v1fields;
  v1fields.title = "x";
  const std::string v1 = demo::BuildId3v1Tag(v1fields);
  ASSERT_FALSE(cbr.empty());
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t extra = 0;
  } cases[] = {
      {"cbr with info frame", cbr},
      {"vbr", demo::EncodeAudioBytes(demo::Format::Mp3, tone, {.vbr = true})},
      {"no info frame", demo::EncodeAudioBytes(demo::Format::Mp3, tone, {.writeXing = false})},
      {"mpeg-2 mono 22050", demo::EncodeAudioBytes(demo::Format::Mp3, tone, {.sampleRate = 22050, .channels = 1, .bitRate = 64000})},
      {"48k", demo::EncodeAudioBytes(demo::Format::Mp3, tone, {.sampleRate = 48000})},
      {"layer II", demo::EncodeAudioBytes(demo::Format::Mp2, tone)},
      {"tags before and after", tag + cbr + v1},
      // The demuxer hands the junk on as one more "frame" (a gap of silence when
      // decoded) and drops the padding cut; the walk keeps both right.
      {"junk trailer", cbr + std::string(3000, 'j'), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GT(c.bytes.size(), 1000u);
    const Indexes r = IndexBothWays(WriteBytes(dir.File("f.mp3"), c.bytes));
    ASSERT_TRUE(r.fastOk);
    ExpectSame(r.fast, r.demuxed, c.extra);
    ExpectSame(r.fromFile, r.fast, 0);
  }
}

TEST(AudioMpegIndex, ByteWalkStepsAsideForDamagedFiles) {
  TempDir dir;
  const std::string cbr = demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(500.0, 2.0, 0.5));
  ASSERT_GT(cbr.size(), 20000u);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"junk between frames", cbr.substr(0, 10000) + std::string(777, '\x11') + cbr.substr(10000)},
      {"cut inside the last frame", cbr.substr(0, cbr.size() - 100)},
      // Two titles joined, the second with its cover art: audio follows the tag.
      {"second title behind a large tag",
       cbr + demo::BuildId3v2Tag(3, {{"TIT2", "b", ""}}, demo::Id3TextEncoding::Latin1, 300000) + cbr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteBytes(dir.File("d.mp3"), c.bytes);
    const Indexes r = IndexBothWays(path);
    EXPECT_FALSE(r.fastOk);
    // The layer still plays the file, through the demuxer's index.
    ManualLayer m;
    const Handle h = m.layer.StreamCreateFile(path, kFlagPrescan);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(m.layer.ChannelGetLength(h), r.demuxed.TotalFrames() * 4);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
    EXPECT_GT(AudibleFrames(m.PlayToEnd(h, 5.0)), 44100u);
  }
}

}  // namespace
}  // namespace orvela::audio::testing
