// Volume, fades, the jingle and the birthday song. Slides are checked by
// rendering frames: they must reach their target after their time, not before.
#include <limits>

#include "support/manual_output.h"
#include "player_rig.h"

namespace orvela::testing {
namespace {

class ChannelsTest : public PlayerTest {
 protected:
  float VolumeOf(audio::Handle h) { return rig.Layer().ChannelGetVolume(h); }
  TSideChannels& side() { return player().SideChannels; }
};

TEST_F(ChannelsTest, VolumeIsClampedAndDrivesTitleAndBirthdaySong) {
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  side().PlayBirthdaySong(AudioFiles::Get().Path("tone5.wav"));
  rig.Render(3.1);  // past the song's fade-in

  struct Case {
    float given;
    float stored;
  } const cases[] = {{1.5f, 1.0f}, {-0.2f, 0.0f}, {0.35f, 0.35f}, {1.0f, 1.0f}, {0.0f, 0.0f},
                       {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
  for (const Case& c : cases) {
    player().SetVolume(c.given);
    EXPECT_FLOAT_EQ(player().Volume, c.stored) << c.given;
    EXPECT_FLOAT_EQ(side().CurrentVolume, c.stored) << c.given;
    EXPECT_FLOAT_EQ(VolumeOf(player().Channel), c.stored) << c.given;
    EXPECT_FLOAT_EQ(VolumeOf(side().BirthdayChannel()), c.stored) << c.given;
  }
}

TEST_F(ChannelsTest, ANewTitleStartsAtThePlayerVolume) {
  player().SetVolume(0.4f);
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  EXPECT_FLOAT_EQ(VolumeOf(player().Channel), 0.4f);
  const double quiet = demo::RmsLevel(rig.AsPcm(rig.Render(0.5)), 0.1, 0.3);
  player().SetVolume(0.8f);
  const double loud = demo::RmsLevel(rig.AsPcm(rig.Render(0.5)), 0.1, 0.3);
  EXPECT_NEAR(loud / quiet, 2.0, 0.1);
}

TEST_F(ChannelsTest, FadeOutAndFadeInTakeThreeSeconds) {
  player().SetVolume(0.8f);
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  rig.Render(0.2);
  EXPECT_TRUE(player().FadeOut());
  rig.Render(1.5);
  EXPECT_NEAR(VolumeOf(player().Channel), 0.4f, 0.02f);
  rig.Render(1.4);
  EXPECT_GT(VolumeOf(player().Channel), 0.01f);  // not there before its time
  rig.Render(0.15);
  EXPECT_FLOAT_EQ(VolumeOf(player().Channel), 0.0f);
  EXPECT_EQ(player().GetState(), audio::kPlaying);  // silent, but still playing

  player().Pause();
  player().Resume(true);
  rig.Render(2.9);
  EXPECT_LT(VolumeOf(player().Channel), 0.79f);
  rig.Render(0.15);
  EXPECT_FLOAT_EQ(VolumeOf(player().Channel), 0.8f);
}

TEST_F(ChannelsTest, JingleRisesInOneSecondAndIsHeardOverTheTitle) {
  player().SetVolume(0.5f);  // the music drops to half while a jingle button is held
  const TAudioFile file = PlayerRig::File("tone5.wav");
  player().Play(&file);
  const demo::Pcm before = rig.AsPcm(rig.Render(0.3));
  EXPECT_NEAR(demo::DominantFrequency(before, 0.05, 0.2), 440.0, 10.0);

  side().PlayJingle(AudioFiles::Get().Path("jingle.wav"), 1.0f);
  ASSERT_NE(side().JingleChannel(), 0u);
  EXPECT_FLOAT_EQ(VolumeOf(side().JingleChannel()), 0.0f);
  rig.Render(0.5);
  EXPECT_NEAR(VolumeOf(side().JingleChannel()), 0.5f, 0.02f);
  rig.Render(0.45);
  EXPECT_LT(VolumeOf(side().JingleChannel()), 0.99f);
  rig.Render(0.1);
  EXPECT_FLOAT_EQ(VolumeOf(side().JingleChannel()), 1.0f);

  // The jingle at full volume is twice as loud as the halved title: it dominates the mix,
  // and the title is still in it.
  const demo::Pcm mixed = rig.AsPcm(rig.Render(0.3));
  EXPECT_NEAR(demo::DominantFrequency(mixed, 0.05, 0.2), 2000.0, 20.0);
  EXPECT_GT(demo::RmsLevel(mixed, 0.05, 0.2), demo::RmsLevel(before, 0.05, 0.2) * 1.8);

  side().SlideJingleVolume(0.0f);
  rig.Render(0.9);
  EXPECT_GT(VolumeOf(side().JingleChannel()), 0.01f);
  rig.Render(0.15);
  EXPECT_FLOAT_EQ(VolumeOf(side().JingleChannel()), 0.0f);

  side().StopJingle();
  EXPECT_EQ(side().JingleChannel(), 0u);
  const demo::Pcm after = rig.AsPcm(rig.Render(0.3));
  EXPECT_NEAR(demo::DominantFrequency(after, 0.05, 0.2), 440.0, 10.0);
}

TEST_F(ChannelsTest, ASecondJingleReplacesTheFirstInsteadOfOrphaningIt) {
  const std::string path = AudioFiles::Get().Path("jingle.wav");
  side().PlayJingle(path, 1.0f);
  const audio::Handle first = side().JingleChannel();
  side().PlayJingle(path, 1.0f);
  EXPECT_EQ(rig.Layer().ChannelIsActive(first), audio::kStopped);
  side().StopJingle();
  const demo::Pcm heard = rig.AsPcm(rig.Render(0.3));
  EXPECT_LT(demo::RmsLevel(heard, 0.0, 0.3), 0.001);
}

TEST_F(ChannelsTest, BirthdaySongRisesToThePlayerVolumeAndEnds) {
  player().SetVolume(0.6f);
  side().PlayBirthdaySong(AudioFiles::Get().Path("tone1.wav"));
  const audio::Handle song = side().BirthdayChannel();
  ASSERT_NE(song, 0u);
  EXPECT_EQ(side().BirthdaySongActive(), audio::kPlaying);
  rig.Render(0.5);
  EXPECT_NEAR(VolumeOf(song), 0.1f, 0.01f);  // a sixth of the way after half a second
  rig.Render(0.6);
  EXPECT_EQ(side().BirthdaySongActive(), audio::kStopped);  // the one-second song is over

  side().FreeBirthdaySong();
  EXPECT_EQ(side().BirthdayChannel(), song);  // the handle value stays
  EXPECT_EQ(side().BirthdaySongActive(), audio::kStopped);
}

TEST_F(ChannelsTest, BirthdaySongFadesOutInThreeSeconds) {
  player().SetVolume(1.0f);
  side().PlayBirthdaySong(AudioFiles::Get().Path("song8.wav"));
  rig.Render(3.05);
  EXPECT_FLOAT_EQ(VolumeOf(side().BirthdayChannel()), 1.0f);
  side().FadeOutBirthdaySong();
  rig.Render(2.9);
  EXPECT_GT(VolumeOf(side().BirthdayChannel()), 0.01f);
  EXPECT_EQ(side().BirthdaySongActive(), audio::kPlaying);
  rig.Render(0.15);
  EXPECT_FLOAT_EQ(VolumeOf(side().BirthdayChannel()), 0.0f);
}

TEST_F(ChannelsTest, SideChannelsOnFilesThatCannotBeOpenedStaySilent) {
  const std::string missing = AudioFiles::Get().Path("missing.wav");
  side().PlayJingle(missing, 1.0f);
  side().PlayBirthdaySong(missing);
  EXPECT_EQ(side().JingleChannel(), 0u);
  EXPECT_EQ(side().BirthdayChannel(), 0u);
  side().SlideJingleVolume(0.0f);
  side().FadeOutBirthdaySong();
  player().SetVolume(0.7f);
  EXPECT_EQ(side().BirthdaySongActive(), audio::kStopped);
  const demo::Pcm heard = rig.AsPcm(rig.Render(0.3));
  EXPECT_LT(demo::RmsLevel(heard, 0.0, 0.3), 0.001);
  side().StopJingle();
  side().FreeBirthdaySong();
}

TEST(SideChannelState, EachPlayerKeepsItsOwn) {
  audio::AudioLayer layerA(std::make_unique<audio::ManualOutput>());
  audio::AudioLayer layerB(std::make_unique<audio::ManualOutput>());
  TTiluPlayer a(layerA, nullptr);
  TTiluPlayer b(layerB, nullptr);
  a.SetVolume(0.3f);
  EXPECT_FLOAT_EQ(a.SideChannels.CurrentVolume, 0.3f);
  EXPECT_FLOAT_EQ(b.SideChannels.CurrentVolume, 0.0f);
}

}  // namespace
}  // namespace orvela::testing
