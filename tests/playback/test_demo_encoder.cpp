// The synthesiser and encoder that make the audio fixtures: if they are wrong,
// every test built on them checks the wrong thing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <string>

#include "common/atomic_file.h"
#include "demo/audio_check.h"
#include "demo/tone_encoder.h"

namespace orvela::demo {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string p = (fs::temp_directory_path() / "orvela-demo-test-XXXXXX").string();
    if (mkdtemp(p.data())) path_ = p;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }
  bool Ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

struct RoundTrip {
  const char* name;
  Format format;
  int channels;
  int rate;  // 0: the PCM's
  bool vbr;
  bool xing;
  double durationTolerance;
};

TEST(DemoEncoder, EveryFormatDecodesBackWithItsLengthAndPitch) {
  const RoundTrip cases[] = {
      {"mp3 cbr stereo", Format::Mp3, 2, 0, false, true, 0.03},
      {"mp3 vbr mono", Format::Mp3, 1, 0, true, true, 0.03},
      // Without the Xing/LAME frame nothing tells the decoder about encoder delay and padding.
      {"mp3 no xing", Format::Mp3, 2, 0, false, false, 0.1},
      {"mp3 resampled 22050", Format::Mp3, 1, 22050, false, true, 0.05},
      {"mp2", Format::Mp2, 2, 0, false, true, 0.1},
      {"wav", Format::Wav, 2, 0, false, true, 0.001},
      {"aiff mono", Format::Aiff, 1, 0, false, true, 0.001},
      {"ogg", Format::Ogg, 2, 0, false, true, 0.03},
      {"wma", Format::Wma, 2, 0, false, true, 0.15},
  };
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const Pcm tone = SynthesizeTone(440.0, 2.0, 0.5, 44100, 2);
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    EncodeOptions opt;
    opt.channels = c.channels;
    opt.sampleRate = c.rate;
    opt.vbr = c.vbr;
    opt.writeXing = c.xing;
    const std::string path = dir.File(std::string("t") + FormatExtension(c.format));
    std::string error;
    ASSERT_TRUE(EncodeAudio(path, c.format, tone, opt, &error)) << error;
    Pcm back;
    ASSERT_TRUE(DecodeAudioFile(path, &back, &error)) << error;
    EXPECT_EQ(back.channels, c.channels);
    EXPECT_EQ(back.sampleRate, c.rate ? c.rate : 44100);
    EXPECT_NEAR(back.DurationSeconds(), 2.0, c.durationTolerance);
    EXPECT_NEAR(DominantFrequency(back, 0.5, 0.5), 440.0, 2.0);
    EXPECT_NEAR(RmsLevel(back, 0.5, 1.0), 0.5 / std::sqrt(2.0), 0.03);
  }
}

TEST(DemoEncoder, EncodersOfThisSystemAreKnown) {
  for (Format f : {Format::Mp3, Format::Mp2, Format::Wav, Format::Aiff, Format::Ogg, Format::Wma})
    EXPECT_NE(EncoderFor(f), nullptr) << FormatExtension(f);
}

TEST(DemoEncoder, Mp3MuxerOptionsShapeTheFileStart) {
  const Pcm tone = SynthesizeTone(1000.0, 1.0, 0.3, 44100, 1);
  struct Case {
    const char* name;
    int id3;
    bool xing;
    bool vbr;
    const char* firstFrameMarker;  // nullptr: neither "Xing" nor "Info"
  } cases[] = {
      {"plain cbr", 0, false, false, nullptr},
      {"cbr with info frame", 0, true, false, "Info"},
      {"vbr with xing frame", 0, true, true, "Xing"},
      {"id3v2.3 in front", 3, true, false, "Info"},
      {"id3v2.4 in front", 4, true, false, "Info"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncodeOptions opt;
    opt.id3v2Version = c.id3;
    opt.writeXing = c.xing;
    opt.vbr = c.vbr;
    std::string error;
    const std::string bytes = EncodeAudioBytes(Format::Mp3, tone, opt, &error);
    ASSERT_GT(bytes.size(), 1000u) << error;
    std::size_t audioStart = 0;
    if (c.id3) {
      ASSERT_EQ(bytes.substr(0, 3), "ID3");
      EXPECT_EQ(bytes[3], c.id3);
      const auto b = [&](int i) { return static_cast<std::size_t>(bytes[6 + i] & 0x7F); };
      audioStart = 10 + (b(0) << 21 | b(1) << 14 | b(2) << 7 | b(3));
    }
    ASSERT_LT(audioStart + 2, bytes.size());
    EXPECT_EQ(static_cast<unsigned char>(bytes[audioStart]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[audioStart + 1]) & 0xE0, 0xE0);
    const std::string head = bytes.substr(audioStart, 64);
    const bool xing = head.find("Xing") != std::string::npos;
    const bool info = head.find("Info") != std::string::npos;
    if (c.firstFrameMarker)
      EXPECT_NE(head.find(c.firstFrameMarker), std::string::npos);
    else
      EXPECT_FALSE(xing || info);
  }
}

TEST(DemoEncoder, MelodyKeepsItsNotesInOrder) {
  const Pcm melody = SynthesizeMelody(
      {{MidiNoteFrequency(69), 0.5, 0.5}, {0, 0.25, 0}, {MidiNoteFrequency(76), 0.5, 0.5}},
      Waveform::Triangle, 44100, 1);
  ASSERT_EQ(melody.FrameCount(), 55125u);
  std::string error;
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.File("m.mp3");
  ASSERT_TRUE(EncodeAudio(path, Format::Mp3, melody, {}, &error)) << error;
  Pcm back;
  ASSERT_TRUE(DecodeAudioFile(path, &back, &error)) << error;
  EXPECT_NEAR(DominantFrequency(back, 0.1, 0.3), 440.0, 4.0);
  EXPECT_LT(RmsLevel(back, 0.55, 0.15), 0.01);  // the rest
  EXPECT_NEAR(DominantFrequency(back, 0.85, 0.3), 659.26, 4.0);
}

TEST(DemoEncoder, SynthesisEdges) {
  EXPECT_TRUE(SynthesizeSilence(0.0).samples.empty());
  EXPECT_TRUE(SynthesizeTone(440, -1.0).samples.empty());
  const Pcm loud = SynthesizeTone(440, 0.1, 5.0, 8000, 1);  // amplitude beyond 1 is clipped
  int peak = 0;
  for (auto s : loud.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_EQ(peak, 32767);
  // The fade keeps the first and last samples at silence: no click at the edges.
  EXPECT_EQ(loud.samples.front(), 0);
  EXPECT_EQ(loud.samples.back(), 0);
  Pcm a = SynthesizeSilence(1.0, 8000, 1);
  EXPECT_FALSE(AppendPcm(a, SynthesizeSilence(1.0, 8000, 2)));
  EXPECT_TRUE(AppendPcm(a, SynthesizeSilence(0.5, 8000, 1)));
  EXPECT_DOUBLE_EQ(a.DurationSeconds(), 1.5);
}

TEST(DemoEncoder, FailuresAreReportedAndLeaveNoFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const Pcm tone = SynthesizeTone(440, 0.2);
  Pcm broken = tone;
  broken.channels = 0;
  Pcm ragged = tone;
  ragged.samples.push_back(1);  // half a stereo frame
  EncodeOptions sixChannels;
  sixChannels.channels = 6;
  EncodeOptions oddRate;
  oddRate.sampleRate = 7000;  // MP3 has no such rate
  struct Case {
    const char* name;
    std::string path;
    const Pcm* pcm;
    EncodeOptions opt;
  } cases[] = {
      {"no channels", dir.File("a.mp3"), &broken, {}},
      {"ragged samples", dir.File("b.mp3"), &ragged, {}},
      {"six channels", dir.File("c.mp3"), &tone, sixChannels},
      {"unsupported rate", dir.File("d.mp3"), &tone, oddRate},
      {"missing folder", dir.File("no/such/e.mp3"), &tone, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(EncodeAudio(c.path, Format::Mp3, *c.pcm, c.opt, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(c.path));
  }
  // A failed encoding must not cost the file that was there, nor leave debris.
  const std::string keep = dir.File("keep.mp3");
  ASSERT_TRUE(WriteFileAtomically(keep, "old bytes"));
  EXPECT_FALSE(EncodeAudio(keep, Format::Mp3, tone, oddRate, nullptr));
  EXPECT_EQ(ReadWholeFile(keep).value_or(""), "old bytes");
  ASSERT_TRUE(EncodeAudio(keep, Format::Wav, tone, {}, nullptr));
  EXPECT_EQ(ReadWholeFile(keep).value_or("").substr(0, 4), "RIFF");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), fs::directory_iterator()), 1);
}

// ---- tag builders ----------------------------------------------------------

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  return s;
}

TEST(DemoTags, Id3v2FramesInEveryVersionAndEncoding) {
  struct Case {
    const char* name;
    int version;
    Id3TextEncoding enc;
    std::vector<Id3Frame> frames;
    std::string expected;
  } cases[] = {
      {"v2.3 latin1 umlaut",
       3,
       Id3TextEncoding::Latin1,
       {{"TPE1", "\xC3\x84rzte", ""}},
       Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 16, 'T', 'P', 'E', '1', 0, 0, 0, 6, 0, 0, 0, 0xC4,
              'r', 'z', 't', 'e'})},
      {"v2.3 utf-16 with bom",
       3,
       Id3TextEncoding::Utf16,
       {{"TIT2", "\xC3\xA4" "b", ""}},
       Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 17, 'T', 'I', 'T', '2', 0, 0, 0, 7, 0, 0, 1, 0xFF,
              0xFE, 0xE4, 0, 'b', 0})},
      {"v2.4 utf-16be",
       4,
       Id3TextEncoding::Utf16Be,
       {{"TCON", "Rock", ""}},
       Bytes({'I', 'D', '3', 4, 0, 0, 0, 0, 0, 19, 'T', 'C', 'O', 'N', 0, 0, 0, 9, 0, 0, 2, 0,
              'R', 0, 'o', 0, 'c', 0, 'k'})},
      {"v2.2 three-letter ids",
       2,
       Id3TextEncoding::Latin1,
       {{"TT2", "Hi", ""}, {"TYE", "1999", ""}},
       Bytes({'I', 'D', '3', 2, 0, 0, 0, 0, 0, 20, 'T', 'T', '2', 0, 0, 3, 0, 'H', 'i', 'T', 'Y',
              'E', 0, 0, 5, 0, '1', '9', '9', '9'})},
      {"comment and raw frame",
       3,
       Id3TextEncoding::Latin1,
       {{"COMM", "x", ""}, {"PRIV", "", "ab"}},
       Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 28, 'C', 'O', 'M', 'M', 0, 0, 0, 6, 0, 0, 0, 'e',
              'n', 'g', 0, 'x', 'P', 'R', 'I', 'V', 0, 0, 0, 2, 0, 0, 'a', 'b'})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildId3v2Tag(c.version, c.frames, c.enc), c.expected);
  }
}

TEST(DemoTags, Id3v2SizesAreSyncSafeWhereTheVersionSaysSo) {
  const std::string text(200, 'a');  // frame size 201 = 0xC9: differs between plain and sync-safe
  const std::string v3 = BuildId3v2Tag(3, {{"TIT2", text, ""}}, Id3TextEncoding::Utf8, 100);
  const std::string v4 = BuildId3v2Tag(4, {{"TIT2", text, ""}}, Id3TextEncoding::Utf8, 100);
  ASSERT_EQ(v3.size(), 10u + 10 + 201 + 100);
  EXPECT_EQ(v3.substr(6, 4), Bytes({0, 0, 2, 0x37}));  // 311 sync-safe
  EXPECT_EQ(v3.substr(14, 4), Bytes({0, 0, 0, 0xC9}));
  EXPECT_EQ(v4.substr(14, 4), Bytes({0, 0, 1, 0x49}));
  EXPECT_EQ(v4.substr(v4.size() - 100), std::string(100, '\0'));
}

TEST(DemoTags, Id3v1FieldsAreFixedWidthCodePage) {
  Id3v1Fields f;
  f.title = "M\xC3\xBCller";
  f.artist = std::string(40, 'x');  // cut to 30
  f.year = "1987";
  f.comment = "c";
  f.track = 7;
  f.genre = 17;
  const std::string tag = BuildId3v1Tag(f);
  ASSERT_EQ(tag.size(), 128u);
  EXPECT_EQ(tag.substr(0, 3), "TAG");
  EXPECT_EQ(tag.substr(3, 30), std::string("M\xFCller") + std::string(24, '\0'));
  EXPECT_EQ(tag.substr(33, 30), std::string(30, 'x'));
  EXPECT_EQ(tag.substr(93, 4), "1987");
  EXPECT_EQ(tag.substr(97, 3), std::string("c\0\0", 3));
  EXPECT_EQ(tag[125], '\0');
  EXPECT_EQ(tag[126], 7);
  EXPECT_EQ(tag[127], 17);
  f.track = 0;  // v1.0: the comment keeps all 30 bytes
  f.comment = std::string(30, 'k');
  EXPECT_EQ(BuildId3v1Tag(f).substr(97, 30), std::string(30, 'k'));
}

TEST(DemoTags, TaggedFileIsTheThreePartsInOrder) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.File("t.mp3");
  ASSERT_TRUE(WriteTaggedMp3(path, "HEAD", "audio", "TAIL"));
  EXPECT_EQ(ReadWholeFile(path).value_or(""), "HEADaudioTAIL");
  EXPECT_FALSE(WriteTaggedMp3(dir.File("no/such/t.mp3"), "", "a", ""));
}

// ---- tracker module --------------------------------------------------------

TEST(DemoModule, LayoutAndPlayback) {
  struct Case {
    double seconds;
    std::size_t patterns;
  } cases[] = {{4.0, 2}, {7.68, 1}, {10.0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    const std::string mod = BuildTrackerModule("tiny", c.seconds);
    ASSERT_EQ(mod.size(), 1084 + c.patterns * 1024 + 64);
    EXPECT_EQ(mod.substr(1080, 4), "M.K.");
    EXPECT_EQ(mod.substr(0, 5), std::string("tiny\0", 5));
    if (!HasModuleDemuxer()) continue;
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir.File("tiny.mod");
    ASSERT_TRUE(WriteFileAtomically(path, mod));
    Pcm back;
    std::string error;
    ASSERT_TRUE(DecodeAudioFile(path, &back, &error)) << error;
    EXPECT_NEAR(back.DurationSeconds(), c.seconds, 0.15);
    EXPECT_GT(RmsLevel(back, 0.0, 2.0), 0.02);
  }
  if (!HasModuleDemuxer()) GTEST_SKIP() << "this FFmpeg has no libopenmpt demuxer";
}

}  // namespace
}  // namespace orvela::demo
