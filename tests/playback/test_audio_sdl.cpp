// The real output path: SDL's disk driver writes what the device would have
// played, and without any driver nothing plays.
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <thread>

#include "test_audio_support.h"

namespace orvela::audio::testing {
namespace {

// Sets environment variables for one test and restores them afterwards.
class ScopedEnv {
 public:
  void Set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had) setenv(it->name, it->value.c_str(), 1);
      else unsetenv(it->name);
    }
  }

 private:
  struct Saved {
    const char* name;
    bool had;
    std::string value;
  };
  std::vector<Saved> saved_;
};

TEST(AudioSdl, TheDiskDriverReceivesTheTone) {
  TempDir dir;
  const std::string capture = dir.File("device.raw");
  ScopedEnv env;
  env.Set("SDL_AUDIODRIVER", "disk");
  env.Set("SDL_DISKAUDIOFILE", capture);
  // The driver keeps real time, as a sound card would: unthrottled, it would
  // outrun any decoder and record the stalls instead of the tone.
  env.Set("SDL_DISKAUDIODELAY", "23");
  const std::string path = Encode(dir, "tone.mp3", demo::Format::Mp3, demo::SynthesizeTone(880.0, 1.0, 0.5));
  {
    AudioLayer layer(MakeSdlOutput());
    ASSERT_TRUE(layer.Init(-1, 44100));
    const Handle h = layer.StreamCreateFile(path, kFlagPrescan);
    ASSERT_NE(h, 0u);
    SyncCounter syncs;
    ASSERT_NE(layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
    ASSERT_TRUE(layer.ChannelPlay(h, true));
    ASSERT_TRUE(syncs.WaitFor(1));
    layer.Free();
  }
  std::ifstream f(capture, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<float> mix(bytes.size() / sizeof(float));
  std::memcpy(mix.data(), bytes.data(), mix.size() * sizeof(float));
  std::size_t first = 0;
  while (first < mix.size() / 2 && std::fabs(mix[2 * first]) < 1e-3f) ++first;
  ASSERT_GT(mix.size() / 2, first + 22050) << "the device file holds less than the tone";
  const std::size_t end = first + 22050;
  EXPECT_NEAR(ToneAmplitude(mix, first + 2205, end, 880.0), 0.5, 0.05);
  EXPECT_LT(ToneAmplitude(mix, first + 2205, end, 440.0), 0.01);
  EXPECT_LT(ToneAmplitude(mix, first + 2205, end, 1760.0), 0.01);
}

// No driver at all: nothing opens, so a queue cannot run through unheard. A
// driver that becomes available later (a sound server started late) is used
// by the next stream.
TEST(AudioSdl, WithoutAnyDeviceNoStreamOpensUntilOneAppears) {
  TempDir dir;
  ScopedEnv env;
  env.Set("SDL_AUDIODRIVER", "no-such-driver");
  const std::string path = Encode(dir, "short.wav", demo::Format::Wav, demo::SynthesizeTone(440.0, 0.3));
  AudioLayer layer(MakeSdlOutput());
  EXPECT_FALSE(layer.Init(-1, 44100));
  EXPECT_EQ(layer.StreamCreateFile(path, 0), 0u);

  env.Set("SDL_AUDIODRIVER", "dummy");
  const Handle h = layer.StreamCreateFile(path, 0);
  ASSERT_NE(h, 0u);
  SyncCounter syncs;
  ASSERT_NE(layer.ChannelSetSyncEnd(h, syncs.Proc()), 0u);
  ASSERT_TRUE(layer.ChannelPlay(h, true));
  EXPECT_TRUE(syncs.WaitFor(1));
  EXPECT_EQ(layer.ChannelIsActive(h), kStopped);
  EXPECT_EQ(layer.ChannelGetPosition(h), layer.ChannelGetLength(h));
}

// The device thread mixes while the user-interface thread opens, seeks, fades
// and frees streams under it: nothing may crash, hang or leak a channel.
TEST(AudioSdl, StreamsComeAndGoWhileTheDeviceRuns) {
  TempDir dir;
  ScopedEnv env;
  env.Set("SDL_AUDIODRIVER", "dummy");
  const std::string mp3 = Encode(dir, "t.mp3", demo::Format::Mp3, demo::SynthesizeTone(440.0, 0.5));
  const std::string wav = Encode(dir, "t.wav", demo::Format::Wav, demo::SynthesizeTone(660.0, 0.2));
  AudioLayer layer(MakeSdlOutput());
  ASSERT_TRUE(layer.Init(-1, 44100));
  SyncCounter syncs;
  std::vector<Handle> open;
  for (int i = 0; i < 120; ++i) {
    const Handle h = layer.StreamCreateFile(i % 2 ? mp3 : wav, i % 2 ? kFlagPrescan : 0);
    ASSERT_NE(h, 0u);
    layer.ChannelSetSyncEnd(h, syncs.Proc());
    layer.ChannelSlideVolume(h, 0.2f, 50);
    layer.ChannelPlay(h, true);
    if (i % 3 == 0) layer.ChannelSetPosition(h, 4 * 4410);
    open.push_back(h);
    if (open.size() > 6) {
      EXPECT_TRUE(layer.StreamFree(open.front()));
      open.erase(open.begin());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // The last ones left alone play to their end.
  ASSERT_TRUE(syncs.WaitFor(1));
  layer.Free();
  for (Handle h : open) EXPECT_FALSE(layer.StreamFree(h));
}

}  // namespace
}  // namespace orvela::audio::testing
