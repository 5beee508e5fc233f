// Opening files, playing every format to its end, positions and lengths.
#include "support/manual_output.h"
#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

using demo::Format;

TEST(AudioStreams, FilesThatCannotBeOpenedGiveHandleZero) {
  TempDir dir;
  std::mt19937 rng(7);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  std::string wavHead = demo::EncodeAudioBytes(Format::Wav, ConstantPcm(1000, 0.5));
  ASSERT_GT(wavHead.size(), 100u);
  wavHead.resize(30);  // cut inside the format chunk
  std::filesystem::create_directories(dir.File("folder.mp3"));
  struct Case {
    const char* name;
    std::string path;
  } cases[] = {
      {"missing", dir.File("missing.mp3")},
      {"empty", WriteBytes(dir.File("empty.mp3"), "")},
      {"random bytes", WriteBytes(dir.File("noise.mp3"), noise)},
      {"text", WriteBytes(dir.File("text.wav"), "this is not a wave file\n")},
      {"truncated header", WriteBytes(dir.File("cut.wav"), wavHead)},
      {"folder", dir.File("folder.mp3")},
      {"empty path", ""},
  };
  ManualLayer m;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(m.layer.StreamCreateFile(c.path, kFlagPrescan), 0u);
    EXPECT_EQ(m.layer.StreamCreateFile(c.path, 0), 0u);
    EXPECT_EQ(m.layer.MusicLoad(c.path, kFlagPrescan | kFlagMusicRamp), 0u);
  }
}

TEST(AudioStreams, CallsOnZeroOrFreedHandlesFailWithoutEffect) {
  TempDir dir;
  ManualLayer m;
  const Handle h = m.layer.StreamCreateFile(Encode(dir, "a.wav", Format::Wav, ConstantPcm(1000, 0.2)), 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(m.layer.StreamFree(h));
  SyncCounter syncs;
  float fft[512];
  for (Handle bad : {Handle{0}, h, Handle{12345}}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(m.layer.StreamFree(bad));
    EXPECT_FALSE(m.layer.ChannelPlay(bad, true));
    EXPECT_FALSE(m.layer.ChannelPause(bad));
    EXPECT_FALSE(m.layer.ChannelStop(bad));
    EXPECT_EQ(m.layer.ChannelIsActive(bad), kStopped);
    EXPECT_FALSE(m.layer.ChannelSetVolume(bad, 0.5f));
    EXPECT_FALSE(m.layer.ChannelSlideVolume(bad, 0.5f, 100));
    EXPECT_EQ(m.layer.ChannelGetPosition(bad), -1);
    EXPECT_EQ(m.layer.ChannelGetLength(bad), -1);
    EXPECT_FALSE(m.layer.ChannelSetPosition(bad, 0));
    EXPECT_LT(m.layer.ChannelBytes2Seconds(bad, 4), 0.0);
    EXPECT_EQ(m.layer.ChannelSetSyncEnd(bad, syncs.Proc()), 0u);
    EXPECT_FALSE(m.layer.ChannelGetData(bad, fft, kDataFft1024));
  }
  const auto silence = m.Render(1024);
  EXPECT_EQ(Peak(silence), 0.0);
}

TEST(AudioStreams, NothingOpensBeforeInitOrAfterFree) {
  TempDir dir;
  const std::string path = Encode(dir, "a.wav", Format::Wav, ConstantPcm(1000, 0.2));
  AudioLayer layer(std::make_unique<ManualOutput>());
  EXPECT_EQ(layer.StreamCreateFile(path, 0), 0u);
  ASSERT_TRUE(layer.Init(-1, 44100));
  EXPECT_FALSE(layer.Init(-1, 44100));
  const Handle h = layer.StreamCreateFile(path, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(layer.ChannelPlay(h, true));
  layer.Free();
  EXPECT_EQ(layer.ChannelIsActive(h), kStopped);
  EXPECT_EQ(layer.StreamCreateFile(path, 0), 0u);
  EXPECT_TRUE(layer.Init(-1, 44100));  // a second life after Free
  EXPECT_NE(layer.StreamCreateFile(path, 0), 0u);
}

// Every format the player lists, played from start to end: the right tone,
// the right duration, the length and the final position agreeing with it, and
// one end notification.
TEST(AudioStreams, EveryFormatPlaysToItsEndWithAgreeingLengthAndPosition) {
  struct Case {
    const char* name;
    Format fmt;
    int rate;
    int channels;
    std::uint32_t flags;
    double toleranceSeconds;  // length against the true duration
    demo::EncodeOptions opt;
  } cases[] = {
      {"tone.wav", Format::Wav, 44100, 2, 0, 0.0, {}},
      {"mono22k.wav", Format::Wav, 22050, 1, 0, 0.0, {}},
      {"prescan.mp3", Format::Mp3, 44100, 2, kFlagPrescan, 0.0, {}},
      {"vbr.mp3", Format::Mp3, 44100, 2, kFlagPrescan, 0.0, {.vbr = true}},
      {"plain.mp3", Format::Mp3, 44100, 2, 0, 0.06, {}},
      {"48k.mp3", Format::Mp3, 48000, 2, kFlagPrescan, 0.0, {}},
      {"tone.mp2", Format::Mp2, 44100, 2, kFlagPrescan, 0.06, {}},
      {"tone.ogg", Format::Ogg, 44100, 2, 0, 0.03, {}},
      {"tone.aif", Format::Aiff, 44100, 2, 0, 0.0, {}},
      {"tone.wma", Format::Wma, 44100, 2, 0, 0.1, {}},
  };
  TempDir dir;
  ManualLayer m;
  SyncCounter syncs;
  int expectedSyncs = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!demo::EncoderFor(c.fmt)) {
      ADD_FAILURE() << "no encoder";
      continue;
    }
    const demo::Pcm pcm = demo::SynthesizeTone(440.0, 1.5, 0.5, c.rate, c.channels);
    const std::string path = Encode(dir, c.name, c.fmt, pcm, c.opt);
    const Handle h = m.layer.StreamCreateFile(path, c.flags);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(m.layer.ChannelGetRate(h), c.rate);
    const double truth = pcm.DurationSeconds();
    const std::int64_t length = m.layer.ChannelGetLength(h);
    EXPECT_NEAR(m.layer.ChannelBytes2Seconds(h, length), truth, c.toleranceSeconds + 1e-9);
    if (c.toleranceSeconds == 0.0) {
      EXPECT_EQ(length, static_cast<std::int64_t>(pcm.FrameCount()) * 4);
    }
    ASSERT_NE(m.layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
    const auto mix = m.PlayToEnd(h, 10.0);
    ++expectedSyncs;
    ASSERT_TRUE(syncs.WaitFor(expectedSyncs));
    EXPECT_EQ(syncs.lastChannel(), h);
    EXPECT_EQ(m.layer.ChannelIsActive(h), kStopped);
    const double heard = static_cast<double>(AudibleFrames(mix)) / 44100.0;
    EXPECT_NEAR(heard, truth, c.toleranceSeconds + 0.02);
    // After the end the length is exact whatever the container claimed, and the
    // position stands on it.
    const std::int64_t finalLength = m.layer.ChannelGetLength(h);
    EXPECT_EQ(m.layer.ChannelGetPosition(h), finalLength);
    EXPECT_NEAR(m.layer.ChannelBytes2Seconds(h, finalLength), truth, c.toleranceSeconds + 0.02);
    EXPECT_NEAR(ToneAmplitude(mix, 22050, 44100, 440.0), 0.5, 0.05);
    EXPECT_TRUE(m.layer.StreamFree(h));
  }
  EXPECT_EQ(syncs.count(), expectedSyncs);
}

TEST(AudioStreams, TrackerModulesOpenOnlyThroughTheModulePath) {
  if (!demo::HasModuleDemuxer()) GTEST_SKIP() << "FFmpeg has no module demuxer";
  TempDir dir;
  const std::string path = WriteBytes(dir.File("song.mod"), demo::BuildTrackerModule("orvela", 2.0));
  ManualLayer m;
  EXPECT_EQ(m.layer.StreamCreateFile(path, 0), 0u);
  const Handle h = m.layer.MusicLoad(path, kFlagPrescan | kFlagMusicRamp);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(m.layer.ChannelGetRate(h), 44100);
  EXPECT_NEAR(m.layer.ChannelBytes2Seconds(h, m.layer.ChannelGetLength(h)), 2.0, 0.25);
  SyncCounter syncs;
  ASSERT_NE(m.layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  const auto mix = m.PlayToEnd(h, 10.0);
  EXPECT_TRUE(syncs.WaitFor(1));
  EXPECT_GT(Peak(mix), 0.01);
  EXPECT_NEAR(static_cast<double>(mix.size() / 2) / 44100.0, 2.0, 0.35);
}

TEST(AudioStreams, PauseStopResumeAndRestartContinueWhereTheyShould) {
  TempDir dir;
  ManualLayer m;
  const Handle h = m.layer.StreamCreateFile(Encode(dir, "count.wav", Format::Wav, CounterPcm(44100 * 3)), 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(m.layer.ChannelIsActive(h), kStopped);
  EXPECT_EQ(Peak(m.Render(512)), 0.0);  // loaded, not playing: silent
  EXPECT_FALSE(m.layer.ChannelPause(h));  // nothing to pause

  ASSERT_TRUE(m.layer.ChannelPlay(h, false));
  EXPECT_EQ(m.layer.ChannelIsActive(h), kPlaying);
  auto mix = m.Render(1000);
  EXPECT_EQ(FrameIndexAt(mix, 0), 0);
  EXPECT_EQ(FrameIndexAt(mix, 999), 999);
  EXPECT_EQ(m.layer.ChannelGetPosition(h), 1000 * 4);

  ASSERT_TRUE(m.layer.ChannelPause(h));
  EXPECT_EQ(m.layer.ChannelIsActive(h), kPaused);
  EXPECT_EQ(Peak(m.Render(700)), 0.0);
  EXPECT_EQ(m.layer.ChannelGetPosition(h), 1000 * 4);

  ASSERT_TRUE(m.layer.ChannelPlay(h, false));  // resume
  mix = m.Render(500);
  EXPECT_EQ(FrameIndexAt(mix, 0), 1000);
  EXPECT_EQ(FrameIndexAt(mix, 499), 1499);

  ASSERT_TRUE(m.layer.ChannelStop(h));
  EXPECT_EQ(m.layer.ChannelIsActive(h), kStopped);
  EXPECT_EQ(Peak(m.Render(300)), 0.0);
  EXPECT_EQ(m.layer.ChannelGetPosition(h), 1500 * 4);

  ASSERT_TRUE(m.layer.ChannelPlay(h, false));  // a stopped stream goes on where it stood
  EXPECT_EQ(FrameIndexAt(m.Render(10), 0), 1500);

  ASSERT_TRUE(m.layer.ChannelPlay(h, true));  // restart
  EXPECT_EQ(m.layer.ChannelGetPosition(h), 0);
  mix = m.Render(10);
  EXPECT_EQ(FrameIndexAt(mix, 0), 0);
  EXPECT_EQ(FrameIndexAt(mix, 9), 9);
}

TEST(AudioStreams, SeekingLandsOnTheExactFrame) {
  TempDir dir;
  ManualLayer m;
  const int total = 44100 * 4;
  const Handle h = m.layer.StreamCreateFile(Encode(dir, "count.wav", Format::Wav, CounterPcm(total)), 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  m.Render(2000);
  for (long target : {100000L, 5L, 44100L * 3 + 17, 0L}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(m.layer.ChannelSetPosition(h, target * 4));
    EXPECT_EQ(m.layer.ChannelGetPosition(h), target * 4);  // before anything is rendered
    const auto mix = m.Render(64);
    EXPECT_EQ(FrameIndexAt(mix, 0), target);
    EXPECT_EQ(m.layer.ChannelGetPosition(h), (target + 64) * 4);
  }
  EXPECT_FALSE(m.layer.ChannelSetPosition(h, (total + 1) * 4LL));
  EXPECT_FALSE(m.layer.ChannelSetPosition(h, -4));

  // Moving to the very end plays nothing more and ends the stream.
  SyncCounter syncs;
  ASSERT_NE(m.layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
  ASSERT_TRUE(m.layer.ChannelSetPosition(h, total * 4LL));
  EXPECT_EQ(Peak(m.Render(256)), 0.0);
  EXPECT_EQ(m.layer.ChannelIsActive(h), kStopped);
  EXPECT_TRUE(syncs.WaitFor(1));
  // Played again after its end, it starts from the beginning.
  ASSERT_TRUE(m.layer.ChannelPlay(h, false));
  EXPECT_EQ(FrameIndexAt(m.Render(4), 0), 0);
}

TEST(AudioStreams, ResampledStreamsReportPositionsInTheirOwnRate) {
  TempDir dir;
  ManualLayer m;
  const Handle h = m.layer.StreamCreateFile(
      Encode(dir, "22k.wav", Format::Wav, demo::SynthesizeTone(1000.0, 2.0, 0.5, 22050, 2)), 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  const auto mix = m.Render(44100);  // one second of output
  EXPECT_NEAR(static_cast<double>(m.layer.ChannelGetPosition(h)), 22050.0 * 4, 8.0);
  EXPECT_DOUBLE_EQ(m.layer.ChannelBytes2Seconds(h, 22050 * 4), 1.0);
  EXPECT_NEAR(ToneAmplitude(mix, 4410, 44100, 1000.0), 0.5, 0.02);
}

// With the pre-scan, a seek in a VBR MP3 lands on the same samples a straight
// decode gives at that time.
TEST(AudioStreams, PrescannedMp3SeeksToTheSample) {
  TempDir dir;
  std::vector<demo::Note> notes;
  for (int i = 0; i < 16; ++i) notes.push_back({demo::MidiNoteFrequency(60 + (i * 5) % 24), 0.25, 0.5});
  const demo::Pcm pcm = demo::SynthesizeMelody(notes);
  const std::string path = Encode(dir, "melody.mp3", Format::Mp3, pcm, {.vbr = true, .vbrQuality = 2});
  ManualLayer m;
  const Handle h = m.layer.StreamCreateFile(path, kFlagPrescan);
  ASSERT_NE(h, 0u);
  ASSERT_EQ(m.layer.ChannelGetLength(h), static_cast<std::int64_t>(pcm.FrameCount()) * 4);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  const auto reference = m.PlayToEnd(h, 10.0);
  ASSERT_GE(reference.size() / 2, pcm.FrameCount());
  for (std::int64_t target : {std::int64_t{12345}, std::int64_t{44100}, std::int64_t{100001},
                              std::int64_t{3 * 44100 + 1}, std::int64_t{1}}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(m.layer.ChannelSetPosition(h, target * 4));
    ASSERT_TRUE(m.layer.ChannelPlay(h, false));
    const auto mix = m.Render(2048);
    double worst = 0.0;
    for (std::size_t i = 0; i < mix.size(); ++i)
      worst = std::max(worst, static_cast<double>(std::fabs(mix[i] - reference[2 * target + i])));
    EXPECT_LT(worst, 1e-4);
  }
}

}  // namespace
}  // namespace orvela::audio::testing

namespace orvela::audio::testing {
namespace {

TEST(AudioStreams, VersionAndBuiltInPlugins) {
  EXPECT_EQ(AudioLayer::GetVersion() >> 16, 0x0204u);
  EXPECT_TRUE(AudioLayer::IsAvailable());
  EXPECT_TRUE(AudioLayer::HasWmaPlugin());
  bool wma = false;
  for (const PluginInfo& p : AudioLayer::Plugins()) {
    EXPECT_FALSE(p.name.empty());
    for (const PluginFormat& f : p.formats) {
      EXPECT_FALSE(f.name.empty());
      wma = wma || f.extensions.find("*.wma") != std::string::npos;
    }
  }
  EXPECT_TRUE(wma);
}

// Real collections hold tagged files with awkward names: code-page characters
// (spelled as UTF-8 or as the code page's own bytes), a colon, a huge ID3v2 tag
// (cover art) in front and an ID3v1 tag behind.
TEST(AudioStreams, TaggedFilesAndAwkwardNamesOpenWithExactLengths) {
  TempDir dir;
  const demo::Pcm pcm = demo::SynthesizeTone(660.0, 1.0, 0.5);
  const std::string audio = demo::EncodeAudioBytes(demo::Format::Mp3, pcm);
  ASSERT_FALSE(audio.empty());
  demo::Id3v1Fields fields;
  fields.title = "t";
  fields.artist = "a";
  const std::string v1 = demo::BuildId3v1Tag(fields);
  const std::vector<demo::Id3Frame> frames = {{"TIT2", "Titel", ""}};
  struct Case {
    const char* name;
    std::string nativeName;  // UTF-8 on disk
    std::string layerName;   // code page, as the player passes it
    std::size_t padding;
  } cases[] = {
      {"umlaut", "s\xC3\xBC\xC3\x9F.mp3", "s\xFC\xDF.mp3", 100},
      // Written by an older system: the name on disk is the code-page bytes.
      {"Latin-1 bytes on disk", "M\xFCller.mp3", "M\xFCller.mp3", 100},
      {"colon", "AC:DC.mp3", "AC:DC.mp3", 100},
      {"tag near the probe size", "big.mp3", "big.mp3", (1u << 20) - 1500},
      {"tag beyond the probe size", "huge.mp3", "huge.mp3", 3u << 20},
  };
  ManualLayer m;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string tag = demo::BuildId3v2Tag(3, frames, demo::Id3TextEncoding::Latin1, c.padding);
    ASSERT_TRUE(demo::WriteTaggedMp3(dir.File(c.nativeName), tag, audio, v1));
    const Handle h = m.layer.StreamCreateFile(dir.File("") + c.layerName, kFlagPrescan);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(m.layer.ChannelGetLength(h), static_cast<std::int64_t>(pcm.FrameCount()) * 4);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
    const auto mix = m.PlayToEnd(h, 5.0);
    EXPECT_EQ(AudibleFrames(mix), pcm.FrameCount());
    EXPECT_NEAR(ToneAmplitude(mix, 4410, 40000, 660.0), 0.5, 0.03);
    EXPECT_TRUE(m.layer.StreamFree(h));
  }
}

}  // namespace
}  // namespace orvela::audio::testing

namespace orvela::audio::testing {
namespace {

// Seeking works in every container, not only in the indexed MPEG files: the
// second half of the file is a different note.
TEST(AudioStreams, SeekingInEveryFormatLandsInTheRightHalf) {
  const demo::Pcm pcm = demo::SynthesizeMelody({{440.0, 1.0, 0.5}, {880.0, 1.0, 0.5}});
  struct Case {
    const char* name;
    demo::Format fmt;
    std::uint32_t flags;
  } cases[] = {
      {"a.ogg", demo::Format::Ogg, 0},       {"a.mp3", demo::Format::Mp3, 0},
      {"b.mp3", demo::Format::Mp3, kFlagPrescan}, {"a.mp2", demo::Format::Mp2, kFlagPrescan},
      {"a.wma", demo::Format::Wma, 0},       {"a.aif", demo::Format::Aiff, 0},
  };
  TempDir dir;
  ManualLayer m;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Handle h = m.layer.StreamCreateFile(Encode(dir, c.name, c.fmt, pcm), c.flags);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
    m.Render(4410);
    ASSERT_TRUE(m.layer.ChannelSetPosition(h, 44100 * 5 / 4 * 4));  // 1.25 s
    const auto later = m.Render(8820);
    EXPECT_NEAR(ToneAmplitude(later, 0, 8820, 880.0), 0.5, 0.05);
    EXPECT_LT(ToneAmplitude(later, 0, 8820, 440.0), 0.02);
    EXPECT_NEAR(m.layer.ChannelBytes2Seconds(h, m.layer.ChannelGetPosition(h)), 1.45, 0.03);
    ASSERT_TRUE(m.layer.ChannelSetPosition(h, 44100 / 4 * 4));  // back to 0.25 s
    const auto earlier = m.Render(8820);
    EXPECT_NEAR(ToneAmplitude(earlier, 0, 8820, 440.0), 0.5, 0.05);
    EXPECT_TRUE(m.layer.StreamFree(h));
  }
}

}  // namespace
}  // namespace orvela::audio::testing
