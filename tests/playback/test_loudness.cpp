// Loudness levelling: the measurement, the ReplayGain tags that replace it,
// the results file, the gain and its ceiling, the gain in the mix, and the
// background worker that must never hold a title back.
#include <ebur128.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>

#include "metadata/replay_gain.h"
#include "playback/audio/loudness_meter.h"
#include "playback/loudness_levelling.h"
#include "playback/loudness_store.h"
#include "player_rig.h"
#include "support/audio_fixtures.h"
#include "test_audio_support.h"

namespace orvela::testing {
namespace {

using audio::testing::Encode;
using audio::testing::ManualLayer;
using audio::testing::TempDir;
using demo::Format;

double Db(double linear) { return 20.0 * std::log10(linear); }
double Amplitude(double dbfs) { return std::pow(10.0, dbfs / 20.0); }

std::string Tone(const TempDir& dir, const std::string& name, double dbfs, Format fmt = Format::Wav,
                 double seconds = 6.0, double hz = 1000.0) {
  return Encode(dir, name, fmt, demo::SynthesizeTone(hz, seconds, Amplitude(dbfs)));
}

// Integrated loudness of rendered stereo float, measured here independently
// of the layer's own decoding.
double RenderedLoudness(const std::vector<float>& mix) {
  ebur128_state* state = ebur128_init(2, 44100, EBUR128_MODE_I);
  ebur128_add_frames_float(state, mix.data(), mix.size() / 2);
  double lufs = 0.0;
  ebur128_loudness_global(state, &lufs);
  ebur128_destroy(&state);
  return lufs;
}

// ---------------------------------------------------------------- measurement

TEST(LoudnessMeter, TonesTenDecibelsApartMeasureTenLoudnessUnitsApart) {
  TempDir dir;
  for (Format fmt : {Format::Wav, Format::Mp3}) {
    SCOPED_TRACE(demo::FormatExtension(fmt));
    double previous = 0.0;
    for (double dbfs : {-30.0, -20.0, -10.0}) {
      const std::string path =
          Tone(dir, "t" + std::to_string(static_cast<int>(-dbfs)) + demo::FormatExtension(fmt), dbfs, fmt);
      const auto facts = audio::MeasureLoudness(path);
      ASSERT_TRUE(facts.has_value());
      // A 1 kHz sine in both channels reads close to its peak level in LUFS.
      EXPECT_NEAR(facts->loudness, dbfs, 1.0);
      EXPECT_NEAR(Db(facts->peak), dbfs, 0.5);
      if (dbfs > -30.0) {
        EXPECT_NEAR(facts->loudness - previous, 10.0, 0.5);
      }
      previous = facts->loudness;
    }
  }
}

TEST(LoudnessMeter, SilenceUndecodableAndCancelled) {
  TempDir dir;
  const auto silent = audio::MeasureLoudness(Encode(dir, "s.wav", Format::Wav, demo::SynthesizeSilence(3.0)));
  ASSERT_TRUE(silent.has_value());
  EXPECT_TRUE(std::isinf(silent->loudness) && silent->loudness < 0);
  EXPECT_EQ(LevellingGain(*silent, -16.0), 1.0f);

  EXPECT_FALSE(audio::MeasureLoudness(audio::testing::WriteBytes(dir.File("x.mp3"), std::string(5000, 'x'))));
  EXPECT_FALSE(audio::MeasureLoudness(dir.File("missing.wav")));
  const std::atomic<bool> cancelled{true};
  EXPECT_FALSE(audio::MeasureLoudness(Tone(dir, "c.wav", -20.0), 44100, &cancelled));
}

// ---------------------------------------------------------------- gain

TEST(LevellingGain, TargetMinusLoudnessUnlessThePeakForbidsIt) {
  struct Case {
    const char* name;
    double loudness, peakDbfs, target, expectedDb;
  } cases[] = {
      {"loud master is lowered", -8.0, -0.1, -16.0, -8.0},
      {"quiet pressing is lifted", -30.0, -20.0, -16.0, 14.0},
      {"lift stops at -1 dBFS peak", -30.0, -6.0, -16.0, 5.0},
      {"at the target", -16.0, -3.0, -16.0, 0.0},
      {"peak already above the ceiling", -16.0, 0.0, -16.0, -1.0},
      {"no more than +24 dB", -70.0, -60.0, -16.0, 20.0 * std::log10(audio::kMaxChannelGain)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float gain = LevellingGain({c.loudness, Amplitude(c.peakDbfs)}, c.target);
    EXPECT_NEAR(Db(gain), c.expectedDb, 0.01);
    EXPECT_LE(Db(gain) + c.peakDbfs, -1.0 + 0.01);
  }
  EXPECT_EQ(LevellingGain({-20.0, 0.0}, -16.0), 1.0f);  // no peak known
}

// Loudness and peak no real title has are no measurement: no gain comes of
// them, however a tag or a stored line came to say them.
TEST(LevellingGain, FactsNoRealTitleHasGiveNoGain) {
  struct Case {
    const char* name;
    double loudness, peak;
    bool plausible;
  } cases[] = {
      {"a loud master", -7.0, 0.99, true},
      {"a quiet pressing", -35.0, 0.05, true},
      {"at the meter's gate", -70.0, 0.001, true},
      {"a full-scale square wave", 3.0, 1.0, true},
      {"decoded past full scale", -8.0, 1.4, true},
      {"silent throughout", -HUGE_VAL, 0.0, true},
      {"below the gate", -77.0, 0.0001, false},
      {"louder than anything decoded", 37.0, 1.0, false},
      {"a nearly infinite loudness", 1e300, 0.5, false},
      {"a nearly infinite quiet with no peak", -1e308, 1e-300, false},
      {"a peak of 99", -13.0, 99.0, false},
      {"loud with a peak near silence", -30.0, 0.0002, false},
      {"no peak", -20.0, 0.0, false},
      {"peak not a number", -20.0, std::nan(""), false},
      {"silent but a peak of 99", -HUGE_VAL, 99.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlausibleLoudness({c.loudness, c.peak}), c.plausible);
    if (!c.plausible) {
      EXPECT_EQ(LevellingGain({c.loudness, c.peak}, -16.0), 1.0f);
    }
  }
  // Whatever a plausible title and a target in range give stays between -46
  // and +24 dB and under the ceiling.
  for (int target = -40; target <= -5; target += 5) {
    for (double loudness = -70.0; loudness <= 6.0; loudness += 4.0) {
      for (double peakDb = -80.0; peakDb <= 12.0; peakDb += 4.0) {
        const audio::LoudnessFacts facts{loudness, Amplitude(peakDb)};
        if (!PlausibleLoudness(facts)) continue;
        const double gainDb = Db(LevellingGain(facts, target));
        EXPECT_GE(gainDb, -46.0 - 1e-9) << target << " " << loudness << " " << peakDb;
        EXPECT_LE(gainDb, 24.0 + 1e-4);
        EXPECT_LE(gainDb + peakDb, -1.0 + 1e-4);
      }
    }
  }
}

// ---------------------------------------------------------------- ReplayGain

std::string TxxxBody(const std::string& description, const std::string& value) {
  return std::string(1, '\0') + description + std::string(1, '\0') + value;
}

TEST(ReplayGain, TrackGainTagWinsOverMeasuring) {
  TempDir dir;
  // The audio is at -30 dBFS; the tag claims a loud master.
  const std::string audioBytes = demo::EncodeAudioBytes(Format::Mp3, demo::SynthesizeTone(1000, 4.0, Amplitude(-30)));
  ASSERT_FALSE(audioBytes.empty());
  const std::string tag = demo::BuildId3v2Tag(
      3, {{"TIT2", "Laut", ""},
          {"TXXX", "", TxxxBody("REPLAYGAIN_TRACK_GAIN", "-7.50 dB")},
          {"TXXX", "", TxxxBody("REPLAYGAIN_TRACK_PEAK", "0.988000")}},
      demo::Id3TextEncoding::Latin1);
  const std::string tagged = dir.File("tagged.mp3");
  ASSERT_TRUE(demo::WriteTaggedMp3(tagged, tag, audioBytes, ""));

  const auto tags = ReadReplayGain(tagged);
  ASSERT_TRUE(tags.has_value());
  EXPECT_DOUBLE_EQ(tags->trackGainDb, -7.5);
  EXPECT_DOUBLE_EQ(tags->trackPeak.value_or(0), 0.988);

  const auto entry = TLoudnessLevelling::MeasureTitle(tagged, {1, 2}, nullptr);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->source, TLoudnessSource::ReplayGain);
  EXPECT_DOUBLE_EQ(entry->facts.loudness, -10.5);  // -18 - (-7.5)
  EXPECT_DOUBLE_EQ(entry->facts.peak, 0.988);

  const std::string plain = dir.File("plain.mp3");
  ASSERT_TRUE(demo::WriteTaggedMp3(plain, "", audioBytes, ""));
  EXPECT_FALSE(ReadReplayGain(plain));
  const auto measured = TLoudnessLevelling::MeasureTitle(plain, {1, 2}, nullptr);
  ASSERT_TRUE(measured.has_value());
  EXPECT_EQ(measured->source, TLoudnessSource::Measured);
  EXPECT_NEAR(measured->facts.loudness, -30.0, 1.0);
}

// Vorbis comments, written by TagLib itself into a file FFmpeg encoded.
TEST(ReplayGain, VorbisCommentsAreRead) {
  if (demo::EncoderFor(Format::Ogg) == nullptr) GTEST_SKIP() << "no Ogg encoder";
  TempDir dir;
  const std::string path = Tone(dir, "v.ogg", -20.0, Format::Ogg, 2.0);
  {
    TagLib::FileRef file(path.c_str());
    ASSERT_FALSE(file.isNull());
    TagLib::PropertyMap properties = file.file()->properties();
    properties.replace("REPLAYGAIN_TRACK_GAIN", TagLib::StringList("+3.25 dB"));
    file.file()->setProperties(properties);
    ASSERT_TRUE(file.save());
  }
  const auto tags = ReadReplayGain(path);
  ASSERT_TRUE(tags.has_value());
  EXPECT_DOUBLE_EQ(tags->trackGainDb, 3.25);
  EXPECT_FALSE(tags->trackPeak.has_value());
  // Without a peak, full scale is assumed: the title is never lifted.
  const auto facts = LoudnessFromReplayGain(*tags);
  ASSERT_TRUE(facts.has_value());
  EXPECT_LT(LevellingGain(*facts, -16.0), 1.0f);
}

TEST(ReplayGain, NumbersAsTaggersWriteThem) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {{"-6.52 dB", -6.52}, {"+3.1dB", 3.1}, {" 0.5 ", 0.5}, {"1e1 dB", 10.0},  {"-0", 0.0},
               {"", std::nullopt},  {"dB", std::nullopt}, {"-6,52 dB", std::nullopt}, {"nan", std::nullopt},
               {"5 dB extra", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseReplayGainNumber(c.text), c.value);
  }
}

// Opus's own gain, Q7.8 dB against -23 LUFS, where the file has no ReplayGain.
TEST(ReplayGain, OpusR128GainIsReadAgainstItsOwnReference) {
  struct Case {
    const char* name;
    const char* fixture;
    std::vector<std::pair<const char*, const char*>> tags;
    std::optional<double> gainDb;
    double reference;
  } cases[] = {
      {"eleven decibels down", "untagged.opus", {{"R128_TRACK_GAIN", "-2816"}}, -11.0, -23.0},
      {"a plus sign", "untagged.opus", {{"R128_TRACK_GAIN", "+384"}}, 1.5, -23.0},
      {"the largest", "untagged.opus", {{"R128_TRACK_GAIN", "32767"}}, 32767.0 / 256.0, -23.0},
      {"past 16 bits", "untagged.opus", {{"R128_TRACK_GAIN", "32768"}}, std::nullopt, 0.0},
      {"in decibels", "untagged.opus", {{"R128_TRACK_GAIN", "-11 dB"}}, std::nullopt, 0.0},
      {"a fraction", "untagged.opus", {{"R128_TRACK_GAIN", "-11.5"}}, std::nullopt, 0.0},
      {"two signs", "untagged.opus", {{"R128_TRACK_GAIN", "+-2816"}}, std::nullopt, 0.0},
      {"ReplayGain beside it wins",
       "untagged.opus",
       {{"R128_TRACK_GAIN", "-2816"}, {"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}},
       -6.0,
       -18.0},
      {"no Opus gain in a Vorbis file", "untagged.ogg", {{"R128_TRACK_GAIN", "-2816"}}, std::nullopt, 0.0},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = audio::testing::WriteBytes(
        dir.File(std::string("t") + std::strchr(c.fixture, '.')), AudioFixtureBytes(c.fixture));
    {
      TagLib::FileRef file(path.c_str());
      ASSERT_FALSE(file.isNull());
      TagLib::PropertyMap properties = file.file()->properties();
      for (const auto& [key, value] : c.tags) properties.replace(key, TagLib::StringList(value));
      file.file()->setProperties(properties);
      ASSERT_TRUE(file.save());
    }
    const auto tags = ReadReplayGain(path);
    ASSERT_EQ(tags.has_value(), c.gainDb.has_value());
    if (!tags) continue;
    EXPECT_DOUBLE_EQ(tags->trackGainDb, *c.gainDb);
    EXPECT_EQ(tags->referenceLufs, c.reference);
    EXPECT_FALSE(tags->trackPeak.has_value());
  }
  // The title is as loud as the reference less the gain; without a peak it is
  // lowered, never lifted.
  const auto facts = LoudnessFromReplayGain({-11.0, std::nullopt, kOpusR128ReferenceLufs});
  ASSERT_TRUE(facts.has_value());
  EXPECT_DOUBLE_EQ(facts->loudness, -12.0);
  EXPECT_NEAR(Db(LevellingGain(*facts, -16.0)), -4.0, 0.01);
}

// A title with the tags given, about -6 LUFS and peaking at -6 dBFS as it
// really is, played at -16 LUFS through the player: it must neither pass
// -1 dBFS nor vanish, whatever its tags say.
TEST(ReplayGain, LyingTagsNeitherBlastNorSilenceATitle) {
  struct Case {
    const char* name;
    const char* gain;
    const char* peak;  // none: nullptr
    TLoudnessSource source;
    double heardPeak;  // the loudest sample played
  } cases[] = {
      {"honest", "-12.00 dB", "0.500000", TLoudnessSource::ReplayGain, 0.158},
      {"+59 dB with a peak near silence", "+59.00 dB", "0.000001", TLoudnessSource::Measured, 0.158},
      {"a stale +8 dB with peak 0.35", "+8.00 dB", "0.350000", TLoudnessSource::ReplayGain, 0.891},
      {"-5 dB with peak 99", "-5.00 dB", "99.000000", TLoudnessSource::Measured, 0.158},
      {"-55 dB", "-55.00 dB", nullptr, TLoudnessSource::Measured, 0.158},
  };
  TempDir dir;
  const std::string audioBytes = demo::EncodeAudioBytes(Format::Mp3, demo::SynthesizeTone(1000, 3.0, 0.5));
  ASSERT_FALSE(audioBytes.empty());
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<demo::Id3Frame> frames = {{"TXXX", "", TxxxBody("REPLAYGAIN_TRACK_GAIN", c.gain)}};
    if (c.peak != nullptr) frames.push_back({"TXXX", "", TxxxBody("REPLAYGAIN_TRACK_PEAK", c.peak)});
    const std::string title = dir.File("t" + std::to_string(++n) + ".mp3");
    ASSERT_TRUE(demo::WriteTaggedMp3(title, demo::BuildId3v2Tag(3, frames, demo::Id3TextEncoding::Latin1),
                                     audioBytes, ""));

    PostQueue posts;
    TLoudnessLevelling levelling(dir.File("Lautheit" + std::to_string(n) + ".txt"), -16.0, posts.Function());
    levelling.Request(title);
    for (int i = 0; i < 3000 && levelling.Pending() > 0; ++i) {
      posts.Drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(levelling.Pending(), 0u);
    const auto known = levelling.Store().Find(title);
    ASSERT_TRUE(known.has_value());
    EXPECT_EQ(known->source, c.source);

    auto output = std::make_unique<audio::ManualOutput>();
    audio::ManualOutput* out = output.get();
    audio::AudioLayer layer(std::move(output));
    TTiluPlayer player(layer, posts.Function());
    ScriptedDialogs dialogs;
    player.InitAudio(dialogs);
    player.SetVolume(1.0f);
    player.SetGainLookup([&](const std::string& path) { return levelling.GainFor(path); });
    TAudioFile file;
    file.FilePath = title;
    player.Play(&file);
    const double heard = audio::testing::Peak(out->Render(44100 * 2));
    std::printf("[ figures  ] %s: loudest sample played %.2f dBFS\n", c.name, Db(heard));
    EXPECT_LE(heard, audio::kLevelledCeiling);
    EXPECT_NEAR(Db(heard), Db(c.heardPeak), 1.0);
  }
}

// ---------------------------------------------------------------- results file

class LoudnessStoreTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.File("Lautheit.txt");
};

TEST_F(LoudnessStoreTest, RoundTripKeepsEveryValue) {
  TLoudnessStore store;
  store.Put("/musik/a.mp3", {{1234, 1700000000123456789}, {-12.345678901234, 0.98765}, TLoudnessSource::Measured});
  store.Put("/musik/mit\ttab \xE4.mp3", {{1, 2}, {-HUGE_VAL, 0.0}, TLoudnessSource::Measured});
  store.Put("/musik/rg.ogg", {{5, 6}, {-10.5, 1.0}, TLoudnessSource::ReplayGain});
  store.Put("/musik/zeilen\numbruch.mp3", {{5, 6}, {-10.5, 1.0}, TLoudnessSource::Measured});  // cannot be kept
  ASSERT_TRUE(store.Save(file));

  TLoudnessStore loaded;
  ASSERT_TRUE(loaded.Load(file));
  EXPECT_EQ(loaded.Size(), 3u);
  const auto a = loaded.Find("/musik/a.mp3", {1234, 1700000000123456789});
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->facts.loudness, -12.345678901234);
  EXPECT_EQ(a->facts.peak, 0.98765);
  const auto tab = loaded.Find("/musik/mit\ttab \xE4.mp3", {1, 2});
  ASSERT_TRUE(tab.has_value());
  EXPECT_TRUE(std::isinf(tab->facts.loudness));
  EXPECT_EQ(loaded.Find("/musik/rg.ogg", {5, 6})->source, TLoudnessSource::ReplayGain);
}

TEST_F(LoudnessStoreTest, ADamagedFileCostsOnlyMeasuringAgain) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t kept;
  } cases[] = {
      {"not this kind of file", "Hallo\n1\t2\t-10\t0.5\tM\t/a.mp3\n", 0},
      {"empty", "", 0},
      {"torn last line", "Orvela-Lautheit 1\n1\t2\t-10\t0.5\tM\t/a.mp3\n3\t4\t-1", 1},
      {"damaged lines among good ones",
       "Orvela-Lautheit 1\r\n1\t2\t-10\t0.5\tM\t/a.mp3\r\nx\t2\t-10\t0.5\tM\t/b.mp3\r\n"
       "1\t2\tnan\t0.5\tM\t/c.mp3\r\n1\t2\t-10\t0.5\tQ\t/d.mp3\r\n1\t2\t-10\t-0.5\tM\t/e.mp3\r\n"
       "1\t2\t-10\t0.5\tM\t\r\n\0\0\0\r\n1\t2\t-9\t0.4\tR\t/f.mp3\r\n1\t2\t-9\t0.4\tM\t/g\r.mp3\n"s,
       2},
      {"binary junk", "Orvela-Lautheit 1\n\xFF\xFE\x00\x01\t\t\t\t\t\n"s, 0},
      {"values no real title has",
       "Orvela-Lautheit 1\n1\t2\t-1e308\t1e-300\tM\t/a.mp3\n1\t2\t1e300\t0.5\tM\t/b.mp3\n"
       "1\t2\t-13\t99\tR\t/c.mp3\n1\t2\t-30\t0.0002\tM\t/d.mp3\n1\t2\t-inf\t0\tM\t/e.mp3\n"
       "1\t2\t-14\t0.9\tR\t/f.mp3\n"s,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    audio::testing::WriteBytes(file, c.bytes);
    TLoudnessStore store;
    store.Load(file);
    EXPECT_EQ(store.Size(), c.kept);
  }
  TLoudnessStore store;
  EXPECT_FALSE(store.Load(dir.File("missing.txt")));
  EXPECT_FALSE(store.Load(dir.File("")));  // a folder
}

TEST_F(LoudnessStoreTest, AChangedFileIsNoLongerKnown) {
  const std::string title = Tone(dir, "t.wav", -20.0, Format::Wav, 1.0);
  const auto stamp = TLoudnessStore::StampOf(title);
  ASSERT_TRUE(stamp.has_value());
  TLoudnessStore store;
  store.Put(title, {*stamp, {-20.0, 0.1}, TLoudnessSource::Measured});
  EXPECT_TRUE(store.Find(title).has_value());
  // Re-encoded under the same name: another size and time.
  Tone(dir, "t.wav", -10.0, Format::Wav, 2.0);
  EXPECT_FALSE(store.Find(title).has_value());
  // Same size, only touched.
  const auto now = TLoudnessStore::StampOf(title);
  store.Put(title, {*now, {-10.0, 0.3}, TLoudnessSource::Measured});
  std::filesystem::last_write_time(title, std::filesystem::last_write_time(title) + std::chrono::seconds(5));
  EXPECT_FALSE(store.Find(title).has_value());
  EXPECT_FALSE(TLoudnessStore::StampOf(dir.File("gone.wav")).has_value());
}

// A line whose size and time match but whose values no title has is no
// measurement: the title plays as decoded and is measured again.
TEST_F(LoudnessStoreTest, AStoredLineNoTitleCouldHaveIsMeasuredAgain) {
  const std::string title = Tone(dir, "t.wav", -20.0, Format::Wav, 1.0);
  const auto stamp = TLoudnessStore::StampOf(title);
  ASSERT_TRUE(stamp.has_value());
  for (const char* values : {"-1e308\t1e-300", "1e300\t0.5", "-5\t99", "-75\t0.0001"}) {
    SCOPED_TRACE(values);
    audio::testing::WriteBytes(file, "Orvela-Lautheit 1\n" + std::to_string(stamp->size) + "\t" +
                                         std::to_string(stamp->mtimeNs) + "\t" + values + "\tM\t" + title + "\n");
    PostQueue posts;
    TLoudnessLevelling levelling(file, -16.0, posts.Function(),
                                 [](const std::string&, const TFileStamp&, const std::atomic<bool>*) {
                                   return std::optional<TLoudnessEntry>();
                                 });
    EXPECT_EQ(levelling.GainFor(title), 1.0f);
    EXPECT_EQ(levelling.Pending(), 1u);
  }
}

// ---------------------------------------------------------------- gain in the mix

// The whole rendered output of one file at a volume with a fade, with the given gain (none: never set).
std::vector<float> RenderWithGain(const std::string& path, std::optional<float> gain) {
  ManualLayer m;
  const audio::Handle h = m.layer.StreamCreateFile(path, audio::kFlagPrescan);
  EXPECT_NE(h, 0u);
  if (gain) {
    EXPECT_TRUE(m.layer.ChannelSetGain(h, *gain));
  }
  m.layer.ChannelSetVolume(h, 0.63f);
  m.layer.ChannelPlay(h, true);
  std::vector<float> all = m.Render(20000);
  m.layer.ChannelSlideVolume(h, 0.0f, 300);
  const std::vector<float> rest = m.Render(20000);
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

TEST(LevellingMix, GainOneIsBitForBitTheUnlevelledOutput) {
  TempDir dir;
  const std::string path = Encode(dir, "m.mp3", Format::Mp3, demo::SynthesizeTone(440, 2.0, 0.7));
  const std::vector<float> plain = RenderWithGain(path, std::nullopt);
  const std::vector<float> one = RenderWithGain(path, 1.0f);
  ASSERT_EQ(plain.size(), one.size());
  EXPECT_EQ(std::memcmp(plain.data(), one.data(), plain.size() * sizeof(float)), 0);
  // A real gain scales every sample before the volume and its fade.
  const std::vector<float> half = RenderWithGain(path, 0.5f);
  for (std::size_t i = 0; i < plain.size(); i += 97) ASSERT_FLOAT_EQ(half[i], plain[i] * 0.5f) << i;

  ManualLayer m;
  const audio::Handle h = m.layer.StreamCreateFile(path, 0);
  EXPECT_FALSE(m.layer.ChannelSetGain(h, -1.0f));
  EXPECT_FALSE(m.layer.ChannelSetGain(h, std::nanf("")));
  EXPECT_FALSE(m.layer.ChannelSetGain(0, 1.0f));
}

// The samples played decide: a gain that would take one past -1 dBFS is
// lowered at that sample, and stays lowered; a gain that keeps under it, or
// no levelling at all, leaves every sample alone.
TEST(LevellingMix, TheCeilingHoldsOnThePlayedSamples) {
  TempDir dir;
  struct Case {
    const char* name;
    double amplitude;
    float gain;
    float gainAfter;  // 0: kLevelledCeiling / the loudest decoded sample
  } cases[] = {
      {"lifted past the ceiling", 0.5, 4.0f, 0.0f},
      {"lowered, but not enough", 0.99, 0.95f, 0.0f},
      {"lifted within it", 0.25, 2.0f, 2.0f},
      {"lowered within it", 0.99, 0.5f, 0.5f},
      {"not levelled", 0.99, 1.0f, 1.0f},
  };
  // 40,000 frames at volume 0.63; the gain the channel ended with.
  const auto render = [](const std::string& path, std::optional<float> gain) {
    ManualLayer m;
    const audio::Handle h = m.layer.StreamCreateFile(path, 0);
    EXPECT_NE(h, 0u);
    if (gain) {
      EXPECT_TRUE(m.layer.ChannelSetGain(h, *gain));
    }
    m.layer.ChannelSetVolume(h, 0.63f);
    m.layer.ChannelPlay(h, true);
    std::vector<float> heard = m.Render(40000);
    return std::make_pair(heard, m.layer.ChannelGetGain(h));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Encode(dir, "t" + std::to_string(&c - cases) + ".wav", Format::Wav,
                                    demo::SynthesizeTone(440, 1.0, c.amplitude));
    const std::vector<float> plain = render(path, std::nullopt).first;
    const double loudest = audio::testing::Peak(plain) / 0.63;
    const auto [heard, after] = render(path, c.gain);
    const double expected = c.gainAfter > 0.0f ? c.gainAfter : audio::kLevelledCeiling / loudest;
    EXPECT_NEAR(after, expected, expected * 1e-4);
    if (c.gain != 1.0f) {
      EXPECT_LE(audio::testing::Peak(heard), audio::kLevelledCeiling * 0.63 + 1e-6);
    }
    // Lowered at the first sample that needed it: from then on the same wave,
    // only quieter, never cut.
    for (std::size_t i = heard.size() / 2; i < heard.size(); i += 61) {
      ASSERT_NEAR(heard[i], plain[i] * after, 1e-6) << i;
    }
  }
}

// What the ceiling learnt is kept: the title starts at the lowered gain the
// next time, in this run and after a restart.
TEST(LevellingMix, ALoweredGainIsRemembered) {
  TempDir dir;
  const std::string title = Encode(dir, "laut.wav", Format::Wav, demo::SynthesizeTone(1000, 2.0, 0.5));
  const std::string other = Encode(dir, "leise.wav", Format::Wav, demo::SynthesizeTone(1000, 1.0, 0.1));
  const std::string results = dir.File("Lautheit.txt");
  PostQueue posts;
  // A stale measurement: the title was quieter once.
  const auto stale = [](const std::string&, const TFileStamp& stamp, const std::atomic<bool>*) {
    return std::optional<TLoudnessEntry>(TLoudnessEntry{stamp, {-30.0, 0.1}, TLoudnessSource::ReplayGain});
  };
  float lowered = 0.0f;
  {
    TLoudnessLevelling levelling(results, -16.0, posts.Function(), stale);
    levelling.Request(title);
    levelling.Request(other);
    for (int i = 0; i < 3000 && levelling.Pending() > 0; ++i) {
      posts.Drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(levelling.Pending(), 0u);
    const float believed = levelling.GainFor(title);
    EXPECT_NEAR(Db(believed), 14.0, 0.01);

    auto output = std::make_unique<audio::ManualOutput>();
    audio::ManualOutput* out = output.get();
    audio::AudioLayer layer(std::move(output));
    TTiluPlayer player(layer, posts.Function());
    ScriptedDialogs dialogs;
    player.InitAudio(dialogs);
    player.SetVolume(1.0f);
    player.SetGainLookup([&](const std::string& path) { return levelling.GainFor(path); },
                         [&](const std::string& path, float gain) { levelling.GainLowered(path, gain); });
    TAudioFile file;
    file.FilePath = title;
    player.Play(&file);
    EXPECT_LE(audio::testing::Peak(out->Render(44100)), audio::kLevelledCeiling);
    lowered = layer.ChannelGetGain(player.Channel);
    EXPECT_NEAR(lowered, audio::kLevelledCeiling / 0.5, 0.01);
    // The next title frees the stream: what it learnt goes on record.
    file.FilePath = other;
    player.Play(&file);
    EXPECT_NEAR(levelling.GainFor(title), lowered, lowered * 1e-4);
    file.FilePath = title;
    player.Play(&file);
    out->Render(44100);
    EXPECT_NEAR(layer.ChannelGetGain(player.Channel), lowered, lowered * 1e-3) << "lowered once, not again";
  }
  TLoudnessLevelling again(results, -16.0, posts.Function(), stale);
  EXPECT_NEAR(again.GainFor(title), lowered, lowered * 1e-4);
}

// The program's path: measured in the background, then played through the
// player, three titles 20 dB apart come out within 1 LU and below full scale.
TEST(LevellingMix, ThreeTitlesComeOutAtOneLoudness) {
  TempDir dir;
  PostQueue posts;
  TLoudnessLevelling levelling(dir.File("Lautheit.txt"), -16.0, posts.Function());
  std::vector<std::string> titles;
  for (double dbfs : {-30.0, -20.0, -10.0}) {
    titles.push_back(Tone(dir, "t" + std::to_string(static_cast<int>(-dbfs)) + ".mp3", dbfs, Format::Mp3, 5.0));
    levelling.Request(titles.back());
  }
  for (int i = 0; i < 3000 && levelling.Pending() > 0; ++i) {
    posts.Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(levelling.Pending(), 0u);

  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* out = output.get();
  audio::AudioLayer layer(std::move(output));
  TTiluPlayer player(layer, posts.Function());
  ScriptedDialogs dialogs;
  player.InitAudio(dialogs);
  player.SetVolume(1.0f);
  player.SetGainLookup([&](const std::string& path) { return levelling.GainFor(path); });
  std::vector<double> heard;
  for (const std::string& title : titles) {
    TAudioFile file;
    file.FilePath = title;
    player.Play(&file);
    const std::vector<float> mix = out->Render(44100 * 4);
    EXPECT_LE(audio::testing::Peak(mix), 1.0);
    heard.push_back(RenderedLoudness(mix));
  }
  const auto [low, high] = std::minmax_element(heard.begin(), heard.end());
  EXPECT_LT(*high - *low, 1.0) << heard[0] << " " << heard[1] << " " << heard[2];
  EXPECT_NEAR(heard[1], -16.0, 1.0);
}

// Jingles and the birthday song are levelled as titles are; their slides
// then run on the levelled samples.
TEST(LevellingMix, JinglesAndTheBirthdaySongAreLevelledToo) {
  TempDir dir;
  const std::string jingle = Encode(dir, "j.wav", Format::Wav, audio::testing::ConstantPcm(16384, 5.0));
  const std::string song = Encode(dir, "g.wav", Format::Wav, audio::testing::ConstantPcm(16384, 5.0));
  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* out = output.get();
  audio::AudioLayer layer(std::move(output));
  PostQueue posts;
  TTiluPlayer player(layer, posts.Function());
  ScriptedDialogs dialogs;
  player.InitAudio(dialogs);
  player.SetVolume(1.0f);
  player.SetGainLookup([&](const std::string& path) { return path == jingle ? 0.25f : 0.5f; });

  player.SideChannels.PlayJingle(jingle, 0.8f);
  const std::vector<float> ducked = out->Render(44100 + 100);  // past the one-second slide
  EXPECT_FLOAT_EQ(ducked[ducked.size() - 2], 0.5f * 0.25f * 0.8f);
  player.SideChannels.StopJingle();

  player.SideChannels.PlayBirthdaySong(song);
  const std::vector<float> sung = out->Render(3 * 44100 + 100);
  EXPECT_FLOAT_EQ(sung[sung.size() - 2], 0.5f * 0.5f);
}

// ---------------------------------------------------------------- background worker

// A measurement the test holds until it lets go.
class HeldMeasurement {
 public:
  TLoudnessLevelling::MeasureFunction Function() {
    return [this](const std::string&, const TFileStamp& stamp,
                  const std::atomic<bool>* cancel) -> std::optional<TLoudnessEntry> {
      std::unique_lock<std::mutex> lock(mutex_);
      ++started_;
      changed_.notify_all();
      while (!released_ && !cancel->load()) changed_.wait_for(lock, std::chrono::milliseconds(2));
      if (!released_) return std::nullopt;
      return TLoudnessEntry{stamp, {-10.0, 0.5}, TLoudnessSource::Measured};
    };
  }
  bool WaitStarted() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return started_ > 0; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  int Started() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int started_ = 0;
  bool released_ = false;
};

TEST(LevellingWorker, ATitleNotYetMeasuredStartsAtOnceUnlevelled) {
  TempDir dir;
  const std::string title = Tone(dir, "t.wav", -20.0, Format::Wav, 2.0);
  const std::string results = dir.File("Lautheit.txt");
  PostQueue posts;
  HeldMeasurement held;
  {
    TLoudnessLevelling levelling(results, -16.0, posts.Function(), held.Function());
    levelling.Request(title);
    levelling.Request(title);  // already queued
    ASSERT_TRUE(held.WaitStarted());
    // The measurement is under way: the title plays now, as decoded.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(levelling.GainFor(title), 1.0f);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(levelling.Pending(), 1u);

    held.Release();
    ASSERT_TRUE(posts.WaitFor(1));
    posts.Drain();
    EXPECT_EQ(levelling.Pending(), 0u);
    EXPECT_NEAR(Db(levelling.GainFor(title)), -6.0, 0.01);
    EXPECT_EQ(held.Started(), 1);
  }
  // Kept for the next start: known without measuring.
  HeldMeasurement never;
  TLoudnessLevelling again(results, -16.0, posts.Function(), never.Function());
  EXPECT_NEAR(Db(again.GainFor(title)), -6.0, 0.01);
  again.Request(title);
  PostQueue::Settle();
  EXPECT_EQ(never.Started(), 0);
}

// Ending while the worker hands a result over, again and again: the worker
// must not read what the destructor is taking down (ThreadSanitizer reports
// such a race, however rarely it bites).
TEST(LevellingWorker, EndingWhileAResultIsHandedOver) {
  TempDir dir;
  const std::string title = Tone(dir, "t.wav", -20.0, Format::Wav, 0.1);
  PostQueue posts;
  for (int i = 0; i < 200; ++i) {
    TLoudnessLevelling levelling(dir.File("Lautheit.txt"), -16.0, posts.Function(),
                                 [](const std::string&, const TFileStamp& stamp, const std::atomic<bool>*) {
                                   return std::optional<TLoudnessEntry>(
                                       TLoudnessEntry{stamp, {-10.0, 0.5}, TLoudnessSource::Measured});
                                 });
    levelling.Request(title);
  }
  // Whatever was posted finds its levelling gone and does nothing.
  posts.Drain();
  EXPECT_FALSE(std::filesystem::exists(dir.File("Lautheit.txt")));
}

TEST(LevellingWorker, EndingDuringAMeasurementNeitherWaitsNorDelivers) {
  TempDir dir;
  const std::string title = Tone(dir, "t.wav", -20.0, Format::Wav, 1.0);
  PostQueue posts;
  HeldMeasurement held;
  const auto start = std::chrono::steady_clock::now();
  {
    TLoudnessLevelling levelling(dir.File("Lautheit.txt"), -16.0, posts.Function(), held.Function());
    levelling.Request(title);
    ASSERT_TRUE(held.WaitStarted());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(posts.Drain(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Lautheit.txt")));
}

}  // namespace
}  // namespace orvela::testing
