// Playing, pausing, stopping and the end of a title, heard through a manual output.
#include "support/manual_output.h"
#include "player_rig.h"

#include <condition_variable>

namespace orvela::testing {
namespace {

using Events = std::vector<std::string>;

TEST_F(PlayerTest, PlaysToTheEndAndReportsItOnceThroughThePostFunction) {
  const TAudioFile file = PlayerRig::File("tone1.wav");
  player().Play(&file);
  EXPECT_EQ(rig.events, (Events{"play", "change"}));
  EXPECT_EQ(player().GetState(), audio::kPlaying);

  const demo::Pcm heard = rig.AsPcm(rig.Render(0.5));
  EXPECT_NEAR(demo::DominantFrequency(heard, 0.1, 0.3), 440.0, 10.0);
  rig.Render(0.7);
  EXPECT_EQ(player().GetState(), audio::kStopped);
  ASSERT_TRUE(rig.queue.WaitFor(1));
  // The report waits for the user-interface thread.
  EXPECT_EQ(rig.Count("end"), 0);
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 1);
  rig.Render(0.5);
  PostQueue::Settle();
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 1);
}

TEST_F(PlayerTest, PauseResumeAndStop) {
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  rig.Render(0.5);

  player().Pause();
  EXPECT_EQ(player().GetState(), audio::kPaused);
  const double pausedAt = player().GetPositionSeconds();
  EXPECT_NEAR(pausedAt, 0.5, 0.05);
  const demo::Pcm whilePaused = rig.AsPcm(rig.Render(0.5));
  EXPECT_LT(demo::RmsLevel(whilePaused, 0.0, 0.5), 0.001);
  EXPECT_DOUBLE_EQ(player().GetPositionSeconds(), pausedAt);

  player().Resume(false);
  EXPECT_EQ(player().GetState(), audio::kPlaying);
  rig.Render(0.5);
  EXPECT_NEAR(player().GetPositionSeconds(), pausedAt + 0.5, 0.05);

  player().Stop();
  EXPECT_EQ(player().GetState(), audio::kStopped);
  EXPECT_NE(player().Channel, 0u);  // still loaded until the next Play
  EXPECT_EQ(rig.events, (Events{"play", "change", "pause", "resume", "stop"}));
}

TEST_F(PlayerTest, PlayAfterStopStartsTheTitleFromTheBeginning) {
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  rig.Render(1.0);
  player().Stop();
  rig.Render(0.2);
  player().Play(&file);
  EXPECT_LT(player().GetPositionSeconds(), 0.02);
  rig.Render(0.3);
  EXPECT_NEAR(player().GetPositionSeconds(), 0.3, 0.05);
  EXPECT_EQ(rig.events, (Events{"play", "change", "stop", "play", "change"}));
}

// A title started paused waits at its start: the output may render as often
// as it likes before Resume, nothing of it is heard and it does not move.
TEST_F(PlayerTest, ATitleStartedPausedIsNotHeardUntilResumedAndThenPlaysFromItsStart) {
  const TAudioFile first = PlayerRig::File("tone5.wav");
  const TAudioFile second = PlayerRig::File("halves.wav");
  for (bool overAnother : {false, true}) {
    SCOPED_TRACE(overAnother ? "in place of a playing title" : "nothing played before");
    if (overAnother) {
      player().Play(&first);
      rig.Render(0.5);
    }
    rig.events.clear();
    player().Play(&second, true);
    EXPECT_EQ(rig.events, (Events{"pause", "change"}));
    EXPECT_EQ(player().GetState(), audio::kPaused);
    EXPECT_FALSE(player().IsPlaying());
    EXPECT_LT(demo::RmsLevel(rig.AsPcm(rig.Render(0.5)), 0.0, 0.5), 0.001);
    EXPECT_EQ(player().GetPositionSeconds(), 0.0);

    player().Resume(false);
    EXPECT_TRUE(player().IsPlaying());
    const demo::Pcm heard = rig.AsPcm(rig.Render(0.3));
    EXPECT_GT(demo::RmsLevel(heard, 0.0, 0.01), 0.1) << "from the first block";
    EXPECT_NEAR(demo::DominantFrequency(heard, 0.0, 0.3), 440.0, 10.0) << "the first half";
    EXPECT_NEAR(player().GetPositionSeconds(), 0.3, 0.05);
    player().Stop();
  }
}

TEST_F(PlayerTest, NothingOrAFileThatCannotBeOpenedPlaysNothingAndRaisesNothing) {
  player().Play(nullptr);
  const TAudioFile missing = PlayerRig::File("no-such-file.mp3");
  player().Play(&missing);
  TAudioFile notAudio;
  notAudio.FilePath = AudioFiles::Get().Path("");  // a folder
  player().Play(&notAudio);

  EXPECT_TRUE(rig.events.empty());
  EXPECT_EQ(player().Channel, 0u);
  EXPECT_EQ(player().GetState(), audio::kStopped);
  EXPECT_EQ(player().GetProgress(), 0.0);
  EXPECT_EQ(player().GetPositionSeconds(), 0.0);
  EXPECT_EQ(player().GetLengthSeconds(), 0.0);
  const demo::Pcm heard = rig.AsPcm(rig.Render(0.2));
  EXPECT_LT(demo::RmsLevel(heard, 0.0, 0.2), 0.001);
  rig.queue.Drain();
  EXPECT_TRUE(rig.events.empty());
}

TEST_F(PlayerTest, PlayCopiesTheTagDataItIsGiven) {
  TAudioFile file = PlayerRig::File("tone1.wav");
  file.Artist = "Die \xC4rzte";
  file.Year = "1998";
  file.Genre = "Punk";
  player().Play(&file);
  file.Title = "changed afterwards";
  EXPECT_EQ(player().GetTitle(), "tone1.wav");
  EXPECT_EQ(player().GetArtist(), "Die \xC4rzte");
  EXPECT_EQ(player().GetYear(), "1998");
  EXPECT_EQ(player().GetGenre(), "Punk");
}

TEST_F(PlayerTest, AnEndReportedBeforeStopOrANewTitleIsDropped) {
  const TAudioFile shortFile = PlayerRig::File("tone1.wav");
  const TAudioFile longFile = PlayerRig::File("tone5.wav");

  // Ended, then stopped before the report reached the user-interface thread.
  player().Play(&shortFile);
  rig.Render(1.2);
  ASSERT_TRUE(rig.queue.WaitFor(1));
  player().Stop();
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 0);

  // Ended, then the next title was started before the report arrived.
  player().Play(&shortFile);
  rig.Render(1.2);
  ASSERT_TRUE(rig.queue.WaitFor(1));
  player().Play(&longFile);
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 0);

  // A stop that came before the end does not swallow an end after a resume.
  player().Stop();
  player().Resume(false);
  player().SetProgress(0.9);
  rig.Render(0.8);
  ASSERT_TRUE(rig.queue.WaitFor(1));
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 1);
}

// Holds the layer's notifier thread inside a sync procedure of a stream of its
// own, so a test decides when the end reports queued behind it are delivered.
class NotifierHold {
 public:
  explicit NotifierHold(audio::AudioLayer& layer) : gate_(std::make_shared<Gate>()) {
    const audio::Handle stream = layer.StreamCreateFile(AudioFiles::Get().Path("tone1.wav"), 0);
    EXPECT_NE(stream, 0u);
    layer.ChannelSetPosition(stream, layer.ChannelGetLength(stream));
    layer.ChannelSetSyncEnd(stream, [gate = gate_](audio::Handle, audio::Handle, std::uint32_t) {
      std::unique_lock lock(gate->mutex);
      gate->held = true;
      gate->changed.notify_all();
      gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->released; });
    });
    layer.ChannelPlay(stream, false);  // ends in the next rendered block
  }
  ~NotifierHold() { Release(); }
  // True once the notifier is inside the procedure (bounded wait).
  bool WaitHeld() {
    std::unique_lock lock(gate_->mutex);
    return gate_->changed.wait_for(lock, std::chrono::seconds(20), [this] { return gate_->held; });
  }
  void Release() {
    std::lock_guard lock(gate_->mutex);
    gate_->released = true;
    gate_->changed.notify_all();
  }

 private:
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool released = false;
  };
  std::shared_ptr<Gate> gate_;  // shared with the procedure, which may outlive the hold
};

// The end counts as of the moment the mix reached it: a Stop after that moment
// voids it even when the notifier only gets to the end later, and a stop that
// came before a restart leaves the restarted title's end alone.
TEST_F(PlayerTest, AStopRightAfterTheEndWasReachedVoidsItWhenTheReportComesLater) {
  const TAudioFile file = PlayerRig::File("tone1.wav");
  struct Case {
    const char* name;
    bool stopAfterEnd;
    int ends;
  } const cases[] = {{"stopped after the end was reached", true, 0}, {"not stopped", false, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.events.clear();
    NotifierHold hold(rig.Layer());
    rig.Render(0.01);
    ASSERT_TRUE(hold.WaitHeld());

    player().Play(&file);
    player().Stop();   // a stop before the restart ...
    player().Resume(false);
    rig.Render(1.2);  // ... and the end is reached in the mix, the notifier still held
    ASSERT_EQ(player().GetState(), audio::kStopped);
    if (c.stopAfterEnd) player().Stop();
    EXPECT_EQ(rig.queue.Pending(), 0u) << "the notifier was not held";

    hold.Release();
    ASSERT_TRUE(rig.queue.WaitFor(1));
    rig.queue.Drain();
    EXPECT_EQ(rig.Count("end"), c.ends);
  }
}

TEST(PlayerLifetime, AReportArrivingAfterThePlayerIsGoneDoesNothing) {
  ASSERT_EQ(AudioFiles::Get().Error(), "");
  PostQueue queue;
  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* manual = output.get();
  audio::AudioLayer layer(std::move(output));
  bool raised = false;
  {
    TTiluPlayer player(layer, queue.Function());
    ScriptedDialogs dialogs;
    player.InitAudio(dialogs);
    player.SetVolume(1.0f);
    player.OnTiluEndFile = [&raised](TTiluPlayer*) { raised = true; };
    const TAudioFile file = PlayerRig::File("tone1.wav");
    player.Play(&file);
    for (int i = 0; i < 110; ++i) manual->Render(441);
    ASSERT_TRUE(queue.WaitFor(1));
  }
  queue.Drain();
  EXPECT_FALSE(raised);
}

TEST_F(PlayerTest, WithoutAnEndHandlerNoSyncIsSet) {
  rig.player->OnTiluEndFile = nullptr;
  const TAudioFile file = PlayerRig::File("tone1.wav");
  player().Play(&file);
  EXPECT_EQ(player().EndSync, 0u);
  rig.Render(1.2);
  PostQueue::Settle();
  EXPECT_EQ(rig.queue.Pending(), 0u);
}

TEST_F(PlayerTest, PositionsAndLengthsAgreeWithTheFile) {
  struct Case {
    const char* fixture;
    double seconds;
    double tolerance;  // MP3 adds encoder delay and padding
  } const cases[] = {{"tone1.wav", 1.0, 0.001}, {"tone5.wav", 5.0, 0.001}, {"tone2.mp3", 2.0, 0.06}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    const TAudioFile file = PlayerRig::File(c.fixture);
    player().Play(&file);
    EXPECT_NEAR(player().GetLengthSeconds(), c.seconds, c.tolerance);
    EXPECT_NEAR(player().GetLengthSeconds(), demo::ProbeDurationSeconds(file.FilePath), c.tolerance);
    rig.Render(0.5);
    EXPECT_NEAR(player().GetPositionSeconds(), 0.5, 0.03);
    EXPECT_NEAR(player().GetProgress(), 0.5 / player().GetLengthSeconds(), 0.02);
  }
}

TEST_F(PlayerTest, ProgressIsClampedAndMeasuredInBytes) {
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  const std::int64_t length = rig.Layer().ChannelGetLength(player().Channel);
  ASSERT_GT(length, 0);

  player().SetProgress(0.5);
  EXPECT_NEAR(player().GetProgress(), 0.5, 1e-3);
  EXPECT_NEAR(player().GetPositionSeconds(), 2.5, 0.01);
  player().SetProgress(-1.0);
  EXPECT_EQ(rig.Layer().ChannelGetPosition(player().Channel), 0);
  player().SetPositionBytes(length / 4);
  EXPECT_NEAR(player().GetProgress(), 0.25, 1e-3);

  player().SetProgress(2.0);
  EXPECT_EQ(rig.Layer().ChannelGetPosition(player().Channel), length);
  EXPECT_DOUBLE_EQ(player().GetProgress(), 1.0);
  rig.Render(0.1);
  ASSERT_TRUE(rig.queue.WaitFor(1));
  rig.queue.Drain();
  EXPECT_EQ(rig.Count("end"), 1);
}

// A device does not wait for the decoders: whatever is not decoded when it
// asks is silence, and the stream counts as stalled.
class DeviceLikeOutput : public audio::ManualOutput {
 public:
  bool WaitsForData() const override { return false; }
};

// A seek is heard at once: the stream keeps playing (the main screen ignores
// its buttons on a stalled player) and the very next block is already the new
// position's audio, not a gap while the decoder catches up.
TEST(PlayerSeek, TheBlockAfterASeekPlaysTheNewPositionAndTheStreamStaysPlaying) {
  ASSERT_EQ(AudioFiles::Get().Error(), "");
  PostQueue queue;
  auto output = std::make_unique<DeviceLikeOutput>();
  DeviceLikeOutput* device = output.get();
  audio::AudioLayer layer(std::move(output));
  TTiluPlayer player(layer, queue.Function());
  ScriptedDialogs dialogs;
  player.InitAudio(dialogs);
  player.SetVolume(1.0f);
  const TAudioFile file = PlayerRig::File("halves.wav");

  auto heard = [&](int frames) {
    demo::Pcm pcm;
    pcm.sampleRate = 44100;
    for (float v : device->Render(frames)) pcm.samples.push_back(static_cast<std::int16_t>(std::lround(v * 32767.0f)));
    return pcm;
  };
  struct Case {
    const char* name;
    double progress;
    double hz;
  } const cases[] = {{"into the second half", 0.625, 880.0},
                     {"back into the first half", 0.125, 440.0},
                     {"into the second half again", 0.75, 880.0}};

  player.Play(&file);
  ASSERT_EQ(player.GetState(), audio::kPlaying);
  demo::Pcm block = heard(1024);
  EXPECT_GT(demo::RmsLevel(block, 0.005, 0.005), 0.1) << "the start was not ready";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    player.SetProgress(c.progress);
    EXPECT_EQ(player.GetState(), audio::kPlaying);
    block = heard(1024);
    EXPECT_EQ(player.GetState(), audio::kPlaying);
    // The first frames already sound, and at the new position's pitch.
    EXPECT_GT(demo::RmsLevel(block, 0.0, 0.005), 0.1);
    EXPECT_GT(demo::RmsLevel(block, 0.018, 0.005), 0.1);
    EXPECT_NEAR(demo::DominantFrequency(block, 0.0, 1024.0 / 44100.0), c.hz, 60.0);
  }
  // The same while paused: the resumed stream starts at the new position.
  player.Pause();
  player.SetProgress(0.25);
  player.Resume(false);
  block = heard(1024);
  EXPECT_EQ(player.GetState(), audio::kPlaying);
  EXPECT_GT(demo::RmsLevel(block, 0.0, 0.005), 0.1);
  EXPECT_NEAR(demo::DominantFrequency(block, 0.0, 1024.0 / 44100.0), 440.0, 60.0);
}

TEST_F(PlayerTest, UpperCaseMp3IsOpenedWithTheExactScan) {
  const std::string path = AudioFiles::Get().Path("VBR.MP3");
  const audio::Handle scanned = rig.Layer().StreamCreateFile(path, audio::kFlagPrescan);
  ASSERT_NE(scanned, 0u);
  const double exact = rig.Layer().ChannelBytes2Seconds(scanned, rig.Layer().ChannelGetLength(scanned));
  rig.Layer().StreamFree(scanned);
  EXPECT_NEAR(exact, 6.0, 0.1);
  // Without the scan the length is only estimated from the first frames, so the
  // comparison below tells the two opens apart.
  const audio::Handle estimated = rig.Layer().StreamCreateFile(path, 0);
  ASSERT_NE(estimated, 0u);
  EXPECT_GT(std::abs(rig.Layer().ChannelBytes2Seconds(estimated, rig.Layer().ChannelGetLength(estimated)) - exact),
            0.2);
  rig.Layer().StreamFree(estimated);

  const TAudioFile file = PlayerRig::File("VBR.MP3");
  player().Play(&file);
  EXPECT_DOUBLE_EQ(player().GetLengthSeconds(), exact);
}

TEST_F(PlayerTest, AModuleTheStreamOpenRejectsIsLoadedAsMusic) {
  if (!demo::HasModuleDemuxer()) GTEST_SKIP() << "this FFmpeg has no module demuxer";
  for (const char* fixture : {"song.mod", "SONG.XM"}) {
    SCOPED_TRACE(fixture);
    rig.events.clear();
    const std::string path = AudioFiles::Get().Path(fixture);
    ASSERT_EQ(rig.Layer().StreamCreateFile(path, 0), 0u) << "streams are not meant to open modules";

    const TAudioFile file = PlayerRig::File(fixture);
    player().Play(&file);
    EXPECT_NE(player().Channel, 0u);
    EXPECT_EQ(rig.events, (Events{"play", "change"}));
    const demo::Pcm heard = rig.AsPcm(rig.Render(1.0));
    EXPECT_GT(demo::RmsLevel(heard, 0.0, 1.0), 0.01);
  }
}

TEST_F(PlayerTest, SpectrumAdvancesOnlyWhilePlaying) {
  player().CreateSpectrum(628, 113);
  ASSERT_NE(player().Spectrum(), nullptr);
  EXPECT_EQ(player().Spectrum()->PeakColor, TSpectrum::kRed);
  EXPECT_EQ(player().Spectrum()->DrawMode, TSpectrumDrawMode::Bars);

  TTiluPlayer::SpectrumMagnitudes magnitudes{};
  EXPECT_FALSE(player().SpectrumData(magnitudes));  // nothing loaded

  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  rig.Render(0.3);
  ASSERT_TRUE(player().SpectrumData(magnitudes));
  TSpectrum& spectrum = *player().Spectrum();
  spectrum.Advance(magnitudes);
  // A 440 Hz tone at half scale lands in bin 10 of a 1024-sample FFT at 44.1 kHz.
  EXPECT_GT(spectrum.Bars[10], 50);
  EXPECT_LT(spectrum.Bars[100], 5);

  player().Pause();
  EXPECT_FALSE(player().SpectrumData(magnitudes));
}

}  // namespace
}  // namespace orvela::testing
