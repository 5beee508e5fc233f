// Files built to hurt the layer: things that only carry an audio file's name,
// absurd sample rates, frame indexes that would outgrow memory, audio followed
// by gigabytes of nothing, and a machine that runs out of memory. Whatever the
// file, a call returns (quickly, with its failure value where it must) and the
// program lives on. Each risky part runs in a child process, so a hang or an
// abort shows up as a failed test rather than a stuck or dead suite.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "support/child_process.h"
#include "playback/audio/mpeg_index.h"
#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

using orvela::testing::ChildOutcome;
using orvela::testing::kMemoryLimitsWork;
using orvela::testing::RunInChild;

// A 16-bit stereo WAV of `frames` frames claiming `rate` Hz.
std::string WavBytes(std::uint32_t rate, std::uint32_t frames) {
  auto le = [](std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const std::uint32_t data = frames * 4;
  std::string w = "RIFF";
  le(w, 36 + data, 4);
  w += "WAVEfmt ";
  le(w, 16, 4);
  le(w, 1, 2);         // PCM
  le(w, 2, 2);         // channels
  le(w, rate, 4);
  le(w, rate * 4, 4);  // byte rate (wraps for absurd rates, as a crafted file would)
  le(w, 4, 2);         // block align
  le(w, 16, 2);
  w += "data";
  le(w, data, 4);
  for (std::uint32_t i = 0; i < frames; ++i) le(w, (i * 37) & 0x3FFF, 4);
  return w;
}

// `count` copies of the smallest MPEG frame there is: MPEG-2 Layer III, 8 kbit/s,
// 24 kHz, mono, 24 bytes, silent. 576 samples each.
constexpr std::size_t kMinimalFrameBytes = 24;
std::string WriteMinimalFrames(const std::string& path, std::size_t count) {
  std::string frame(kMinimalFrameBytes, '\0');
  frame[0] = static_cast<char>(0xFF);
  frame[1] = static_cast<char>(0xF3);
  frame[2] = static_cast<char>(0x14);
  frame[3] = static_cast<char>(0xC0);
  std::string block;
  for (int i = 0; i < 4096; ++i) block += frame;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::size_t done = 0; done < count; done += 4096) {
    const std::size_t n = std::min<std::size_t>(4096, count - done);
    out.write(block.data(), static_cast<std::streamsize>(n * kMinimalFrameBytes));
  }
  return path;
}

// Bytes this process has read from files so far (the kernel's count).
std::int64_t BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::int64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

TEST(AudioHostile, OnlyRegularFilesOpenAndNothingWaitsForAWriter) {
  TempDir dir;
  for (const char* name : {"pipe.mp3", "pipe.wma", "pipe.ogg", "pipe.mod"})
    ASSERT_EQ(::mkfifo(dir.File(name).c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.File("pipe.mp3"), dir.File("link.mp3"));
  const std::vector<std::string> paths = {dir.File("pipe.mp3"), dir.File("pipe.wma"), dir.File("pipe.ogg"),
                                          dir.File("pipe.mod"), dir.File("link.mp3"), "/dev/zero"};
  const ChildOutcome outcome = RunInChild([&] {
    ManualLayer m;
    int opened = 0;
    for (const std::string& path : paths) {
      opened += m.layer.StreamCreateFile(path, kFlagPrescan) != 0;
      opened += m.layer.StreamCreateFile(path, 0) != 0;
      opened += m.layer.MusicLoad(path, kFlagPrescan | kFlagMusicRamp) != 0;
    }
    return opened;
  }, 0, 30);
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

// A header claiming 1 Hz makes each decoded sample tens of thousands at the
// output: the open must refuse such a file, not try to resample it.
TEST(AudioHostile, SampleRatesOutsideFourToThreeHundredEightyFourKilohertzAreRefused) {
  struct Case {
    std::uint32_t rate;
    bool opens;
  } const cases[] = {{1, false}, {3999, false}, {4000, true}, {22050, true},
                     {384000, true}, {384001, false}, {2000000000, false}};
  TempDir dir;
  std::vector<std::string> paths;
  for (const Case& c : cases)
    paths.push_back(WriteBytes(dir.File(std::to_string(c.rate) + ".wav"), WavBytes(c.rate, 40000)));
  // The child's exit code has one bit per case that went wrong; the limit turns
  // a runaway allocation into a quick failure instead of a swapping machine.
  const ChildOutcome outcome = RunInChild([&] {
    ManualLayer m;
    int wrong = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const Handle h = m.layer.StreamCreateFile(paths[i], 0);
      const bool ok = (h != 0) == cases[i].opens &&
                      (h == 0 || m.layer.ChannelGetRate(h) == static_cast<int>(cases[i].rate));
      if (!ok) wrong |= 1 << i;
    }
    return wrong;
  }, kMemoryLimitsWork ? std::uint64_t{512} << 20 : 0, 60);
  ASSERT_TRUE(outcome.exited) << outcome.Describe();
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(outcome.code & (1 << i), 0) << cases[i].rate << " Hz should " << (cases[i].opens ? "" : "not ") << "open";
}

// Out of memory at any point of opening or playing, a call answers its failure
// value (or the stream ends early) and the layer goes on working once memory is
// back. A sweep of limits makes the failure strike at every stage in turn: in
// FFmpeg, in the channel's ring, in starting the decoder thread, in decoding.
TEST(AudioHostile, OutOfMemoryFailsTheCallAndNotTheProgram) {
  if (!kMemoryLimitsWork) GTEST_SKIP() << "memory limits do not work under AddressSanitizer";
  TempDir dir;
  const std::string wav = Encode(dir, "a.wav", demo::Format::Wav, demo::SynthesizeTone(440.0, 0.5));
  const std::string mp3 = Encode(dir, "a.mp3", demo::Format::Mp3, demo::SynthesizeTone(440.0, 0.5));
  const std::string mod = WriteBytes(dir.File("a.mod"), demo::BuildTrackerModule("t", 1.0));
  for (std::uint64_t limitKb : {256, 512, 1024, 1536, 2048, 3072, 4096, 6144, 9216, 12288, 16384}) {
    SCOPED_TRACE(std::to_string(limitKb) + " KiB");
    const ChildOutcome outcome = RunInChild([&] {
      ManualLayer m;
      // Warm: the first open loads FFmpeg's tables, which a later open under
      // the limit would otherwise have to find room for.
      m.layer.StreamFree(m.layer.StreamCreateFile(mp3, kFlagPrescan));
      if (!orvela::testing::LimitGrowth(limitKb * 1024)) return 90;
      std::vector<Handle> handles = {m.layer.StreamCreateFile(wav, 0), m.layer.StreamCreateFile(mp3, kFlagPrescan),
                                     m.layer.MusicLoad(mod, kFlagPrescan | kFlagMusicRamp)};
      float fft[512];
      for (Handle h : handles) {
        if (h == 0) continue;
        m.layer.ChannelSetSyncEnd(h, [](Handle, Handle, std::uint32_t) {});
        m.layer.ChannelPlay(h, true);
        m.Render(8192);
        m.layer.ChannelGetData(h, fft, kDataFft1024);
      }
      for (Handle h : handles) m.layer.StreamFree(h);
      // Memory is back: the layer works as before.
      rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
      if (::setrlimit(RLIMIT_AS, &unlimited) != 0) return 91;
      const Handle h = m.layer.StreamCreateFile(wav, 0);
      if (h == 0 || !m.layer.ChannelPlay(h, true)) return 1;
      return ToneAmplitude(m.Render(8192), 0, 8192, 440.0) > 0.4 ? 0 : 2;
    }, 0, 60);
    EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
  }
}

// 24-byte frames cost the old index 40 bytes each, twice over: a walked index
// keeps about one byte a frame, and still knows each frame's place and time.
TEST(AudioHostile, TheFrameIndexOfTheSmallestFramesStaysSmallAndExact) {
  TempDir dir;
  const std::size_t frames = (std::size_t{16} << 20) / kMinimalFrameBytes;
  const std::string path = WriteMinimalFrames(dir.File("tiny.mp3"), frames);
  const std::uint64_t size = frames * kMinimalFrameBytes;
  {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    MpegIndex index;
    const bool built = index.BuildFromFile(fd, size, 0, 0);
    ::close(fd);
    ASSERT_TRUE(built);
    EXPECT_LT(index.MemoryBytes(), size / 16);
    ASSERT_EQ(index.size(), frames);
    EXPECT_EQ(index.TotalFrames(), static_cast<std::int64_t>(frames) * 576);
    for (std::size_t i : {std::size_t{0}, std::size_t{63}, std::size_t{64}, frames / 2 + 17, frames - 1}) {
      SCOPED_TRACE(i);
      const MpegFrameEntry e = index.Entry(i);
      EXPECT_EQ(e.filePos, static_cast<std::int64_t>(i * kMinimalFrameBytes));
      EXPECT_EQ(e.size, static_cast<std::int32_t>(kMinimalFrameBytes));
      EXPECT_EQ(e.start, static_cast<std::int64_t>(i) * 576);
      EXPECT_EQ(index.EntryFor(static_cast<std::int64_t>(i) * 576 + 575), i);
    }
  }
  // Through the layer, with less memory than the old index needed.
  const ChildOutcome outcome = RunInChild([&] {
    ManualLayer m;
    const Handle h = m.layer.StreamCreateFile(path, kFlagPrescan);
    if (h == 0) return 1;
    if (m.layer.ChannelGetLength(h) != static_cast<std::int64_t>(frames) * 576 * 4) return 2;
    const std::int64_t middle = static_cast<std::int64_t>(frames / 2) * 576 * 4 + 400;
    if (!m.layer.ChannelSetPosition(h, middle) || !m.layer.ChannelPlay(h, false)) return 3;
    m.Render(4410);
    return m.layer.ChannelGetPosition(h) > middle ? 0 : 4;
  }, kMemoryLimitsWork ? std::uint64_t{48} << 20 : 0, 60);
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

// A title followed by 2 GiB of zeros (a damaged copy, a disk image): the frame
// walk stops where the frames stop, FFmpeg's readers do not read on through the
// zeros, and the title opens with its exact length.
TEST(AudioHostile, AudioFollowedByGigabytesOfZerosOpensWithItsExactLength) {
  struct Case {
    const char* name;
    demo::Format format;
    std::uint32_t flags;
  } const cases[] = {
      {"tail.mp3", demo::Format::Mp3, kFlagPrescan},
      // A WAV header reader that can seek looks for tags behind the data.
      {"tail.wav", demo::Format::Wav, 0},
  };
  TempDir dir;
  const demo::Pcm pcm = demo::SynthesizeTone(440.0, 1.0, 0.5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Encode(dir, c.name, c.format, pcm);
    // Sparse: the zeros cost no disk space.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) + (std::uintmax_t{2} << 30));
    const ChildOutcome outcome = RunInChild([&] {
      ManualLayer m;
      const std::int64_t before = BytesReadSoFar();
      const Handle h = m.layer.StreamCreateFile(path, c.flags);
      if (h == 0) return 1;
      if (BytesReadSoFar() - before > (std::int64_t{16} << 20)) return 5;
      if (m.layer.ChannelGetLength(h) != static_cast<std::int64_t>(pcm.FrameCount()) * 4) return 2;
      if (!m.layer.ChannelPlay(h, true)) return 3;
      // The whole tone and nothing after it (its very last sample is zero).
      const std::size_t heard = AudibleFrames(m.PlayToEnd(h, 5.0));
      if (heard + 1 < pcm.FrameCount() || heard > pcm.FrameCount()) return 4;
      return m.layer.ChannelIsActive(h) == kStopped ? 0 : 6;
    }, kMemoryLimitsWork ? std::uint64_t{256} << 20 : 0, 60);
    EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
    std::filesystem::remove(path);
  }
}

// FFmpeg's own remarks (the MP3 encoder's notes on padding, a decoder's on a
// damaged frame) must not reach the terminal: the tool and the program print
// only what they report themselves.
TEST(AudioHostile, FFmpegWritesNothingToTheTerminal) {
  TempDir dir;
  const std::string captured = dir.File("stderr.txt");
  const std::string good = demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 1.0));
  ASSERT_GT(good.size(), 10000u);
  const std::string damaged =
      WriteBytes(dir.File("damaged.mp3"), good.substr(0, 5000) + std::string(3000, '\x55') + good.substr(5000));
  const ChildOutcome outcome = RunInChild([&] {
    // As in a fresh process: FFmpeg's default log level and printer.
    av_log_set_level(AV_LOG_INFO);
    av_log_set_callback(av_log_default_callback);
    const int fd = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) return 1;
    // One sample more than whole frames: LAME's flush then has a remark to make.
    demo::Pcm odd;
    odd.samples.assign(2 * (1152 * 40 + 1), 1000);
    if (!demo::EncodeAudio(dir.File("enc.mp3"), demo::Format::Mp3, odd)) return 2;
    demo::Pcm decoded;
    if (!demo::DecodeAudioFile(damaged, &decoded)) return 3;
    ManualLayer m;
    for (std::uint32_t flags : {0u, kFlagPrescan}) {
      const Handle h = m.layer.StreamCreateFile(damaged, flags);
      if (h == 0 || !m.layer.ChannelPlay(h, true)) return 4;
      m.PlayToEnd(h, 5.0);
    }
    return 0;
  }, 0, 60);
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
  std::ifstream in(captured, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace orvela::audio::testing
