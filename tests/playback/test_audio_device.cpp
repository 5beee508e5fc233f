// Without a sound device nothing may play: a jukebox that runs through its
// queue unheard, with times and spectrum moving, is worse than one that is
// plainly silent. A device that turns up later is taken as soon as a stream is
// wanted.
#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

// A manual output whose device is missing until the test plugs it in.
class PluggableOutput : public ManualOutput {
 public:
  bool Open(int rate, RenderFunction render) override {
    ++attempts;
    return plugged && ManualOutput::Open(rate, std::move(render));
  }
  bool plugged = false;
  int attempts = 0;
};

TEST(AudioDevice, WithoutADeviceNothingOpensUntilOneIsPluggedIn) {
  TempDir dir;
  const std::string wav = Encode(dir, "a.wav", demo::Format::Wav, demo::SynthesizeTone(440.0, 1.0, 0.5));
  const std::string mod = WriteBytes(dir.File("a.mod"), demo::BuildTrackerModule("t", 1.0));
  auto owned = std::make_unique<PluggableOutput>();
  PluggableOutput* output = owned.get();
  AudioLayer layer(std::move(owned));
  EXPECT_FALSE(layer.Init(-1, 44100));
  EXPECT_EQ(layer.StreamCreateFile(wav, 0), 0u);
  EXPECT_EQ(layer.StreamCreateFile(wav, kFlagPrescan), 0u);
  EXPECT_EQ(layer.MusicLoad(mod, kFlagPrescan | kFlagMusicRamp), 0u);
  // Every stream wanted was a new look for the device.
  EXPECT_EQ(output->attempts, 4);

  output->plugged = true;
  const Handle h = layer.StreamCreateFile(wav, 0);
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(output->is_open());
  EXPECT_EQ(output->rate(), 44100);
  ASSERT_TRUE(layer.ChannelPlay(h, true));
  const auto mix = output->Render(22050);
  EXPECT_NEAR(ToneAmplitude(mix, 4410, 22050, 440.0), 0.5, 0.02);
  EXPECT_EQ(layer.ChannelGetPosition(h), 22050 * 4);
  // Found once, the device stays: no further looks.
  EXPECT_NE(layer.StreamCreateFile(wav, 0), 0u);
  EXPECT_EQ(output->attempts, 5);
}

}  // namespace
}  // namespace orvela::audio::testing
