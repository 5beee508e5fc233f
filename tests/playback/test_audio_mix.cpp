// Volumes and slides, several channels in one mix, clipping, the spectrum data
// and the end notification.
#include "playback/audio/mixer.h"
#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

using demo::Format;

constexpr float kHalf = 16384.0f / 32768.0f;  // the constant files' sample value

class AudioMix : public ::testing::Test {
 protected:
  Handle Constant(const std::string& name, std::int16_t value, double seconds) {
    const Handle h = m.layer.StreamCreateFile(Encode(dir, name, Format::Wav, ConstantPcm(value, seconds)), 0);
    EXPECT_NE(h, 0u);
    return h;
  }
  TempDir dir;
  ManualLayer m;
};

TEST_F(AudioMix, VolumeSetTakesEffectAtTheNextSample) {
  const Handle h = Constant("c.wav", 16384, 1.0);
  EXPECT_FLOAT_EQ(m.layer.ChannelGetVolume(h), 1.0f);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  EXPECT_FLOAT_EQ(m.Render(16)[0], kHalf);
  ASSERT_TRUE(m.layer.ChannelSetVolume(h, 0.25f));
  EXPECT_FLOAT_EQ(m.layer.ChannelGetVolume(h), 0.25f);
  const auto mix = m.Render(256);
  for (float s : mix) ASSERT_FLOAT_EQ(s, kHalf * 0.25f);
  ASSERT_TRUE(m.layer.ChannelSetVolume(h, 7.0f));  // clamped
  EXPECT_FLOAT_EQ(m.Render(1)[0], kHalf);
  ASSERT_TRUE(m.layer.ChannelSetVolume(h, -1.0f));
  EXPECT_FLOAT_EQ(m.Render(1)[0], 0.0f);
}

// A slide is a straight line from the volume at the call to its target over
// exactly its time, sample by sample, whether the channel plays or not.
TEST_F(AudioMix, SlidesRampLinearlyAndReachTheTargetOnTime) {
  struct Case {
    const char* name;
    float from, to;
    std::uint32_t ms;
  } cases[] = {{"fade in", 0.0f, 1.0f, 100}, {"fade out", 1.0f, 0.0f, 50}, {"half down", 0.8f, 0.4f, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Handle h = Constant(std::string(c.name) + ".wav", 16384, 1.0);
    ASSERT_TRUE(m.layer.ChannelSetVolume(h, c.from));
    ASSERT_TRUE(m.layer.ChannelSlideVolume(h, c.to, c.ms));  // queued behind the set
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
    const int rampFrames = static_cast<int>(c.ms) * 44100 / 1000;
    const auto mix = m.Render(rampFrames + 100);
    for (int k : {0, rampFrames / 4, rampFrames / 2, rampFrames - 2}) {
      const float expected = kHalf * (c.from + (c.to - c.from) * static_cast<float>(k + 1) / rampFrames);
      EXPECT_NEAR(mix[2 * k], expected, 1e-4) << "frame " << k;
      EXPECT_NE(mix[2 * k], kHalf * c.to) << "target reached early at frame " << k;
    }
    for (int k = rampFrames - 1; k < rampFrames + 100; ++k) ASSERT_FLOAT_EQ(mix[2 * k], kHalf * c.to);
    EXPECT_FLOAT_EQ(m.layer.ChannelGetVolume(h), c.to);
    ASSERT_TRUE(m.layer.StreamFree(h));
  }
}

TEST_F(AudioMix, SlidesRunInOutputTimeWhilePausedAndASetCancelsThem) {
  const Handle h = Constant("c.wav", 16384, 2.0);
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  m.Render(100);
  ASSERT_TRUE(m.layer.ChannelPause(h));
  ASSERT_TRUE(m.layer.ChannelSlideVolume(h, 0.0f, 100));
  m.Render(2205);  // half the slide, paused
  EXPECT_NEAR(m.layer.ChannelGetVolume(h), 0.5f, 1e-3);
  m.Render(2205);
  EXPECT_FLOAT_EQ(m.layer.ChannelGetVolume(h), 0.0f);
  ASSERT_TRUE(m.layer.ChannelPlay(h, false));
  EXPECT_FLOAT_EQ(Peak(m.Render(64)), 0.0f);

  ASSERT_TRUE(m.layer.ChannelSlideVolume(h, 1.0f, 1000));
  m.Render(4410);
  ASSERT_TRUE(m.layer.ChannelSetVolume(h, 0.3f));
  const auto mix = m.Render(44100);
  EXPECT_FLOAT_EQ(mix[0], kHalf * 0.3f);
  EXPECT_FLOAT_EQ(mix.back(), kHalf * 0.3f);  // the cancelled slide does not come back
}

TEST_F(AudioMix, ASecondChannelIsHeardOverTheFirst) {
  const Handle title = m.layer.StreamCreateFile(
      Encode(dir, "title.mp3", Format::Mp3, demo::SynthesizeTone(440.0, 2.0, 0.4)), kFlagPrescan);
  const Handle jingle = m.layer.StreamCreateFile(
      Encode(dir, "jingle.ogg", Format::Ogg, demo::SynthesizeTone(1000.0, 1.0, 0.3)), 0);
  ASSERT_NE(title, 0u);
  ASSERT_NE(jingle, 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(title, true));
  auto mix = m.Render(22050);
  EXPECT_NEAR(ToneAmplitude(mix, 4410, 22050, 440.0), 0.4, 0.03);
  EXPECT_LT(ToneAmplitude(mix, 4410, 22050, 1000.0), 0.01);
  ASSERT_TRUE(m.layer.ChannelSetVolume(title, 0.5f));
  ASSERT_TRUE(m.layer.ChannelPlay(jingle, true));
  mix = m.Render(22050);
  EXPECT_NEAR(ToneAmplitude(mix, 4410, 22050, 440.0), 0.2, 0.02);
  EXPECT_NEAR(ToneAmplitude(mix, 4410, 22050, 1000.0), 0.3, 0.03);
}

// What leaves the mixer is the plain sum of the channels as long as that sum
// stays within full scale, however loud; only a sum beyond it is limited, and
// then it never exceeds full scale and comes back unchanged once the overload
// is over.
TEST_F(AudioMix, OnlyASumBeyondFullScaleIsLimited) {
  struct Tone {
    double hz, amplitude, seconds;
  };
  struct Case {
    const char* name;
    std::vector<Tone> tones;
    bool overloads;
  } const cases[] = {
      {"one loud title", {{440.0, 0.99, 0.5}}, false},
      {"title and jingle together just below full scale", {{440.0, 0.55, 0.5}, {1000.0, 0.44, 0.5}}, false},
      {"loud title and loud jingle", {{440.0, 0.9, 0.5}, {1000.0, 0.8, 0.5}}, true},
      {"three loud channels", {{440.0, 0.9, 0.5}, {1000.0, 0.9, 0.5}, {660.0, 0.9, 0.5}}, true},
  };
  int file = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ManualLayer mix;  // a fresh limiter for every case
    std::vector<demo::Pcm> sources;
    std::vector<Handle> handles;
    for (const Tone& t : c.tones) {
      sources.push_back(demo::SynthesizeTone(t.hz, t.seconds, t.amplitude));
      const std::string path = Encode(dir, "t" + std::to_string(file++) + ".wav", Format::Wav, sources.back());
      handles.push_back(mix.layer.StreamCreateFile(path, 0));
      ASSERT_NE(handles.back(), 0u);
    }
    for (Handle h : handles) ASSERT_TRUE(mix.layer.ChannelPlay(h, true));
    const std::vector<float> out = mix.Render(static_cast<int>(sources[0].FrameCount()));

    // The sum as the mixer forms it (channels added in order, volume 1).
    std::vector<float> sum(out.size(), 0.0f);
    for (const demo::Pcm& pcm : sources)
      for (std::size_t i = 0; i < sum.size() && i < pcm.samples.size(); ++i)
        sum[i] += static_cast<float>(pcm.samples[i]) / 32768.0f;
    EXPECT_EQ(Peak(sum) > 1.0, c.overloads) << "the case does not test what it says";

    EXPECT_LE(Peak(out), 1.0);
    if (!c.overloads) {
      for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], sum[i]) << "sample " << i;
      EXPECT_NEAR(Peak(out), Peak(sum), 1e-6);
    } else {
      EXPECT_GT(Peak(out), 0.97);  // limited to full scale, not far below it
      // Every tone is still there, none pushed aside by the limiting.
      for (const Tone& t : c.tones)
        EXPECT_GT(ToneAmplitude(out, 4410, 22050, t.hz), 0.25 * t.amplitude) << t.hz << " Hz";
    }
  }
}

// Once the overload is over, the gain returns to exactly 1: the title left
// alone passes unchanged again.
TEST_F(AudioMix, AfterAnOverloadTheTitleComesBackUnchanged) {
  const demo::Pcm title = demo::SynthesizeTone(440.0, 1.0, 0.95);
  const Handle a = m.layer.StreamCreateFile(Encode(dir, "title.wav", Format::Wav, title), 0);
  const Handle b = Constant("jingle.wav", 26214, 0.2);
  ASSERT_NE(a, 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(a, true));
  ASSERT_TRUE(m.layer.ChannelPlay(b, true));
  const std::vector<float> loud = m.Render(8820);
  EXPECT_LE(Peak(loud), 1.0);
  // The jingle ended after 0.2 s; a release of 50 ms has long passed by 0.3 s.
  m.Render(4410);
  const std::vector<float> after = m.Render(4410);
  for (std::size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(after[i], static_cast<float>(title.samples[2 * 13230 + i]) / 32768.0f) << "sample " << i;
}

TEST_F(AudioMix, SpectrumOfAFullScaleToneAt1kHzPeaksInItsBinNearOne) {
  const Handle h = m.layer.StreamCreateFile(
      Encode(dir, "1k.wav", Format::Wav, demo::SynthesizeTone(1000.0, 1.0, 1.0)), 0);
  ASSERT_NE(h, 0u);
  float bins[512];
  EXPECT_FALSE(m.layer.ChannelGetData(h, bins, 0x80000003));
  ASSERT_TRUE(m.layer.ChannelSetVolume(h, 0.1f));  // the spectrum shows the stream, not its volume
  ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  m.Render(8192);
  ASSERT_TRUE(m.layer.ChannelGetData(h, bins, kDataFft1024));
  const int peak = static_cast<int>(std::max_element(bins, bins + 512) - bins);
  EXPECT_EQ(peak, 23);  // 1000 Hz * 1024 / 44100 = 23.2
  EXPECT_NEAR(bins[peak], 1.0, 0.1);
  EXPECT_LT(bins[100], 0.01);
  EXPECT_LT(bins[0], 0.01);
}

// The end notification comes once when a stream plays out, and never for a
// stream that is stopped, paused or freed before its end.
TEST_F(AudioMix, EndNotificationOnlyForAStreamThatPlaysOut) {
  SyncCounter syncs;
  const Handle stopped = Constant("stopped.wav", 1000, 0.2);
  const Handle paused = Constant("paused.wav", 1000, 0.2);
  const Handle freed = Constant("freed.wav", 1000, 0.2);
  const Handle ends = Constant("ends.wav", 1000, 0.2);
  for (Handle h : {stopped, paused, freed, ends}) {
    ASSERT_NE(m.layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  }
  m.Render(4410);
  ASSERT_TRUE(m.layer.ChannelStop(stopped));
  ASSERT_TRUE(m.layer.ChannelPause(paused));
  ASSERT_TRUE(m.layer.StreamFree(freed));
  m.Render(44100);
  ASSERT_TRUE(syncs.WaitFor(1));
  EXPECT_EQ(syncs.lastChannel(), ends);
  EXPECT_EQ(m.layer.ChannelIsActive(stopped), kStopped);
  EXPECT_EQ(m.layer.ChannelIsActive(paused), kPaused);
  m.Render(44100);  // the ended stream stays ended and silent

  // A later stream's notification comes after any stray repeat of the first.
  const Handle marker = Constant("marker.wav", 1000, 0.05);
  ASSERT_NE(m.layer.ChannelSetSyncEnd(marker, syncs.Proc()), 0u);
  ASSERT_TRUE(m.layer.ChannelPlay(marker, true));
  m.Render(4410);
  ASSERT_TRUE(syncs.WaitFor(2));
  EXPECT_EQ(syncs.lastChannel(), marker);
  EXPECT_EQ(syncs.count(), 2);

  // Restarted, the stream notifies again at its next end.
  ASSERT_TRUE(m.layer.ChannelPlay(ends, true));
  m.Render(44100);
  ASSERT_TRUE(syncs.WaitFor(3));
  EXPECT_EQ(syncs.lastChannel(), ends);
}

TEST_F(AudioMix, FreeReleasesEveryStreamWhilePlaying) {
  for (int i = 0; i < 5; ++i) {
    const Handle h = Constant("s" + std::to_string(i) + ".wav", 1000, 3.0);
    ASSERT_TRUE(m.layer.ChannelPlay(h, true));
  }
  m.Render(1000);
  m.layer.Free();
  EXPECT_EQ(Peak(m.Render(1000)), 0.0);
}

}  // namespace
}  // namespace orvela::audio::testing
