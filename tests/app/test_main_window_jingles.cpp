// Jingles over the music and the birthday interruption, heard through a manual
// output. Every volume is read from the audio layer after the output has
// rendered the time in question, and the timers are fired by hand.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <filesystem>
#include <functional>
#include <tuple>

#include "app/collection_builder_window.h"
#include "app/lamp_label.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "demo/tone_encoder.h"
#include "jukebox/date_time.h"
#include "jukebox/jukebox_ini.h"
#include "main_window_fixture.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"

namespace orvela::testing {
namespace {

struct Settings {
  bool fade = true;
  bool armed = false;
  std::string birthdaySong{};
  std::string birthdayTime = "24.12.2026 18:30:00";
  std::string jingle1{};
  std::string jingle2{};
  bool play = true;  // the title starts; otherwise it only waits in the queue
};

class JingleTest : public MainWindowTest {
 protected:

  void Tone(const std::string& name, double hz, double seconds) {
    std::string error;
    ASSERT_TRUE(demo::EncodeAudio(folder.Path() + name, demo::Format::Mp3, demo::SynthesizeTone(hz, seconds, 0.5),
                                  {}, &error))
        << error;
  }

  // Starts a window (after the last one has gone, on a fresh output) on the
  // settings and puts an 8-second title on, playing.
  void Start(const Settings& s) {
    form.reset();
    UseManualOutput();
    const std::string ini =
        "[Schalter_Einstellungen]\r\nSchalter_Naechster_Titel=1\r\nSchalter_Stop_Titel=1\r\n"
        "[Programm]\r\nPasswortaktiv=1\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nAutomatik=0\r\n"
        "EinmalSpielen=0\r\nTitelausblenden=" +
        std::string(s.fade ? "1" : "0") + "\r\nGeburtstag=" + (s.armed ? "1" : "0") +
        "\r\nGeburtstagssong=" + s.birthdaySong + "\r\nGeburtzeit=" + s.birthdayTime +
        "\r\n[Jingle]\r\nSong_1=" + s.jingle1 + "\r\nSong_2=" + s.jingle2 +
        "\r\n[Abspielliste]\r\nmax=20\r\n";
    folder.WriteAll(ini, {});
    Tone("music.mp3", 440.0, 8.0);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    queue = form->Player();
    ASSERT_NE(queue, nullptr);
    queue->Add(folder.Path() + "music.mp3");
    if (!s.play) return;
    form->BtnPlayPause->click();
    ASSERT_EQ(queue->GetState(), audio::kPlaying);
    Render(0.2);
  }

  // Renders `seconds` of the mix and answers its loudest sample.
  float Render(double seconds) {
    float peak = 0.0F;
    int frames = static_cast<int>(std::lround(seconds * 44100.0));
    while (frames > 0) {
      const int block = std::min(frames, 441);
      for (float v : manualOutput->Render(block)) peak = std::max(peak, std::fabs(v));
      frames -= block;
    }
    return peak;
  }

  float MusicVolume() { return audioLayer->ChannelGetVolume(queue->Channel); }
  float JingleVolume() { return audioLayer->ChannelGetVolume(queue->SideChannels.JingleChannel()); }
  // -1 once the song's stream is freed.
  float SongVolume() { return audioLayer->ChannelGetVolume(queue->SideChannels.BirthdayChannel()); }
  double SecondsOf(audio::Handle h) { return audioLayer->ChannelBytes2Seconds(h, audioLayer->ChannelGetLength(h)); }

  bool PlayerButtonsLocked() const {
    return !form->BtnPlayPause->isEnabled() && !form->BtnStop->isEnabled() && !form->BtnNext->isEnabled() &&
           !form->MainScrollbar->isEnabled();
  }
  bool BirthdayArmedInFile() const {
    return TIniFile(folder.Path() + "Jukebox.ini").ReadBool("Programm", "Geburtstag", true);
  }
  // A moment long after the default birthday time of the settings.
  void ClockAfterTheMoment() { clock.now = EncodeDate(2026, 12, 24) + EncodeTime(18, 30, 1); }

  std::unique_ptr<TForm1> form;
  TTiluPlaylist* queue = nullptr;
};

// ---- Jingles ----------------------------------------------------------------

TEST_F(JingleTest, OneJingleAtATimeAndTheNextOnlyOnceTheFadedOneIsGone) {
  Tone("j1.mp3", 1320.0, 3.0);
  Tone("j2.mp3", 990.0, 1.5);
  Start({.jingle1 = folder.Path() + "j1.mp3", .jingle2 = folder.Path() + "j2.mp3"});

  emit form->SpeedButton_Jingle1->pressed();
  EXPECT_EQ(form->State.ActiveJingle, 1);
  const audio::Handle first = queue->SideChannels.JingleChannel();
  ASSERT_NE(first, 0U);
  EXPECT_NEAR(SecondsOf(first), 3.0, 0.1);
  EXPECT_FLOAT_EQ(queue->Volume, 0.5F);

  // Jingle 2 while 1 is held: nothing, and the music is not ducked twice.
  emit form->SpeedButton_Jingle2->pressed();
  emit form->SpeedButton_Jingle2->released();
  EXPECT_EQ(form->State.ActiveJingle, 1);
  EXPECT_EQ(queue->SideChannels.JingleChannel(), first);
  EXPECT_FLOAT_EQ(queue->Volume, 0.5F);
  EXPECT_FALSE(form->TimerJingle->isActive());

  emit form->SpeedButton_Jingle1->released();
  EXPECT_FLOAT_EQ(queue->Volume, 1.0F);
  EXPECT_TRUE(form->TimerJingle->isActive());
  EXPECT_TRUE(form->TimerJingle->isSingleShot());
  EXPECT_EQ(form->TimerJingle->interval(), 2000);
  // Still fading: jingle 2 has to wait.
  emit form->SpeedButton_Jingle2->pressed();
  EXPECT_EQ(form->State.ActiveJingle, 1);
  EXPECT_EQ(queue->SideChannels.JingleChannel(), first);
  emit form->SpeedButton_Jingle2->released();

  form->TimerJingleTimer();
  EXPECT_EQ(form->State.ActiveJingle, 0);
  EXPECT_EQ(queue->SideChannels.JingleChannel(), 0U);
  EXPECT_EQ(audioLayer->ChannelGetVolume(first), -1.0F) << "the faded jingle is freed";
  EXPECT_FALSE(form->TimerJingle->isActive());

  emit form->SpeedButton_Jingle2->pressed();
  EXPECT_EQ(form->State.ActiveJingle, 2);
  ASSERT_NE(queue->SideChannels.JingleChannel(), 0U);
  EXPECT_NEAR(SecondsOf(queue->SideChannels.JingleChannel()), 1.5, 0.1);
}

TEST_F(JingleTest, AJingleReleasedWithinItsFirstSecondFadesFromWhereItStands) {
  Tone("j1.mp3", 1320.0, 3.0);
  Start({.jingle1 = folder.Path() + "j1.mp3"});
  emit form->SpeedButton_Jingle1->pressed();
  Render(0.4);
  EXPECT_NEAR(JingleVolume(), 0.4F, 0.03F);  // rising to full within a second
  EXPECT_NEAR(MusicVolume(), 0.5F, 1e-6F);

  emit form->SpeedButton_Jingle1->released();
  Render(0.1);
  EXPECT_NEAR(MusicVolume(), 1.0F, 1e-6F);  // back at once
  // From 0.4 to silence within a second: no jump back up to full first.
  EXPECT_NEAR(JingleVolume(), 0.36F, 0.03F);
  Render(0.5);
  EXPECT_NEAR(JingleVolume(), 0.16F, 0.03F);
  Render(0.5);
  EXPECT_EQ(JingleVolume(), 0.0F);
  // Only the music is heard now, at full volume.
  EXPECT_NEAR(Render(0.3), 0.5F, 0.05F);
}

TEST_F(JingleTest, ReleaseBringsBackTheVolumeFromBeforeThePressWhateverTheSliderDidMeanwhile) {
  Tone("j1.mp3", 1320.0, 3.0);
  Start({.jingle1 = folder.Path() + "j1.mp3"});
  form->SliderEdit1->setValue(60);
  emit form->SpeedButton_Jingle1->pressed();
  EXPECT_FLOAT_EQ(queue->Volume, 0.3F);
  Render(1.1);
  EXPECT_NEAR(JingleVolume(), 0.6F, 0.01F);  // the jingle rises to the music's own volume

  form->SliderEdit1->setValue(90);
  EXPECT_FLOAT_EQ(queue->Volume, 0.9F);
  emit form->SpeedButton_Jingle1->released();
  EXPECT_FLOAT_EQ(queue->Volume, 0.6F);
  EXPECT_FLOAT_EQ(queue->SideChannels.CurrentVolume, 0.6F);
  Render(0.05);
  EXPECT_NEAR(MusicVolume(), 0.6F, 1e-6F);
}

TEST_F(JingleTest, AJingleThatCannotBeOpenedStillDucksTheMusicWhileHeld) {
  const struct {
    const char* what;
    std::string file;
  } cases[] = {{"no file", ""}, {"missing file", "fehlt.mp3"}, {"not audio", "kaputt.mp3"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    folder.Write("kaputt.mp3", std::string(4096, '\x5A'));
    Start({.jingle1 = c.file.empty() ? "" : folder.Path() + c.file});
    emit form->SpeedButton_Jingle1->pressed();
    EXPECT_EQ(queue->SideChannels.JingleChannel(), 0U);
    EXPECT_EQ(form->State.ActiveJingle, 1);
    // Only the music is heard, at half its volume (a 0.5 tone at 0.5).
    EXPECT_NEAR(Render(0.3), 0.25F, 0.03F);
    emit form->SpeedButton_Jingle1->released();
    EXPECT_NEAR(Render(0.3), 0.5F, 0.05F);
    form->TimerJingleTimer();
    EXPECT_EQ(form->State.ActiveJingle, 0);
    form.reset();
  }
}

// ---- The birthday moment ------------------------------------------------------

TEST_F(JingleTest, TheMomentFiresAtTheFirstTickAfterItAndDisarmsItselfInTheFile) {
  Tone("song.mp3", 880.0, 2.0);
  Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  EXPECT_TRUE(form->TimerGeburtstag->isActive());
  EXPECT_EQ(form->TimerGeburtstag->interval(), 1000);
  EXPECT_TRUE(form->LabelDiodeGeburt->Lit());

  // Before the moment, and at the moment itself, a tick does nothing.
  ASSERT_NEAR(form->State.BirthdayTime, EncodeDate(2026, 12, 24) + EncodeTime(18, 30, 0), 1e-9);
  for (double now : {form->State.BirthdayTime - 1.0 / 86400.0, form->State.BirthdayTime}) {
    clock.now = now;
    form->TimerGeburtstagTimer();
    EXPECT_TRUE(form->TimerGeburtstag->isActive());
    EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
    EXPECT_EQ(queue->GetState(), audio::kPlaying);
    EXPECT_TRUE(BirthdayArmedInFile());
  }

  clock.AdvanceSeconds(1);
  form->TimerGeburtstagTimer();
  EXPECT_FALSE(form->TimerGeburtstag->isActive());
  EXPECT_FALSE(BirthdayArmedInFile());
  EXPECT_EQ(TIniFile(folder.Path() + "Jukebox.ini").ReadString("Programm", "Geburtstag", ""), "0");
  EXPECT_TRUE(form->TimerGeburtsongPlay->isActive());
  EXPECT_EQ(form->TimerGeburtsongPlay->interval(), 500);
  EXPECT_NE(queue->SideChannels.BirthdaySongActive(), audio::kStopped);
  EXPECT_TRUE(form->LabelDiodeGeburt->Lit()) << "lit while the song plays";
}

TEST_F(JingleTest, AMomentLongPastFiresAtTheFirstTick) {
  // The default moment of a file without the key is midnight of day zero.
  Tone("song.mp3", 880.0, 2.0);
  Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3", .birthdayTime = "00:00:00"});
  clock.now = EncodeDate(2026, 12, 10) + EncodeTime(16, 0, 0);
  form->TimerGeburtstagTimer();
  EXPECT_TRUE(form->TimerGeburtsongPlay->isActive());
  EXPECT_FALSE(BirthdayArmedInFile());
}

TEST_F(JingleTest, AFileThatRefusesTheDisarmingDoesNotHoldTheSongBack) {
  Tone("song.mp3", 880.0, 2.0);
  Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  folder.Remove("Jukebox.ini");
  std::filesystem::create_directories(folder.Path() + "Jukebox.ini/x");
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  EXPECT_FALSE(form->TimerGeburtstag->isActive());
  EXPECT_TRUE(form->TimerGeburtsongPlay->isActive());
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  ASSERT_EQ(dialogs.shown.size(), 1U);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_NE(dialogs.shown[0].text.find("Jukebox.ini"), std::string::npos);
}

TEST_F(JingleTest, WithFadeTheMusicFadesUnderTheRisingSongAndIsPausedAfterThreeSeconds) {
  Tone("song.mp3", 880.0, 4.0);
  Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  EXPECT_TRUE(PlayerButtonsLocked());
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_TRUE(form->TimerGeburstagausblenden->isActive());
  EXPECT_TRUE(form->TimerGeburstagausblenden->isSingleShot());
  Render(1.5);
  EXPECT_NEAR(MusicVolume(), 0.5F, 0.03F);
  EXPECT_NEAR(SongVolume(), 0.5F, 0.03F);
  form->TimerGeburtsongPlayTimer();  // the song plays on: nothing ends
  EXPECT_TRUE(form->TimerGeburtsongPlay->isActive());
  Render(1.5);
  EXPECT_NEAR(MusicVolume(), 0.0F, 0.01F);
  EXPECT_NEAR(SongVolume(), 1.0F, 0.01F);

  form->TimerGeburstagausblendenTimer();
  EXPECT_FALSE(form->TimerGeburstagausblenden->isActive());
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_EQ(form->BtnPlayPause->text(), "Weiter");
  EXPECT_TRUE(PlayerButtonsLocked());

  Render(1.2);  // the song ends
  form->TimerGeburtsongPlayTimer();
  EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_EQ(form->BtnPlayPause->text(), "Pause");
  EXPECT_EQ(SongVolume(), -1.0F) << "freed";
  EXPECT_FALSE(form->LabelDiodeGeburt->Lit());
  Render(1.5);
  EXPECT_NEAR(MusicVolume(), 0.5F, 0.03F);  // fading back in
}

TEST_F(JingleTest, WithoutFadeTheMusicPausesTheMomentTheSongStartsAndComesBackAtFullVolume) {
  Tone("song.mp3", 880.0, 1.0);
  Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_EQ(form->BtnPlayPause->text(), "Weiter");
  EXPECT_FALSE(form->TimerGeburstagausblenden->isActive());
  EXPECT_TRUE(PlayerButtonsLocked());
  const double pausedAt = queue->GetPositionSeconds();
  Render(1.2);
  EXPECT_DOUBLE_EQ(queue->GetPositionSeconds(), pausedAt);

  form->TimerGeburtsongPlayTimer();
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  Render(0.05);
  EXPECT_NEAR(MusicVolume(), 1.0F, 1e-6F);
  EXPECT_FALSE(form->LabelDiodeGeburt->Lit());
  EXPECT_FALSE(PlayerButtonsLocked());
}

TEST_F(JingleTest, ThePlayerButtonsComeBackAsJukeboxIniSaysAtTheEndOfTheSong) {
  const struct {
    bool next;
    bool stop;
  } cases[] = {{true, true}, {false, true}, {true, false}};
  Tone("song.mp3", 880.0, 1.0);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "next " << c.next << " stop " << c.stop);
    Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
    ClockAfterTheMoment();
    form->TimerGeburtstagTimer();
    EXPECT_TRUE(PlayerButtonsLocked());
    // The operator changes the switches in the file while the song plays.
    TIniFile ini(folder.Path() + "Jukebox.ini");
    ini.WriteBool("Schalter_Einstellungen", "Schalter_Naechster_Titel", c.next);
    ini.WriteBool("Schalter_Einstellungen", "Schalter_Stop_Titel", c.stop);
    Render(1.2);
    form->TimerGeburtsongPlayTimer();
    EXPECT_TRUE(form->BtnPlayPause->isEnabled());
    EXPECT_TRUE(form->MainScrollbar->isEnabled());
    EXPECT_EQ(form->BtnNext->isEnabled(), c.next);
    EXPECT_EQ(form->BtnStop->isEnabled(), c.stop);
    form.reset();
  }
}

// With fade on, an interruption that is over before the music's fade has run
// must leave the music playing: the pause meant for the fade's end would
// otherwise silence the room.
TEST_F(JingleTest, AnInterruptionShorterThanTheFadeLeavesTheMusicPlaying) {
  Tone("short.mp3", 880.0, 1.0);
  const struct {
    const char* what;
    std::string song;
    double render;
  } cases[] = {{"a one-second song", "short.mp3", 1.2},
               {"no song", "", 0.5},
               {"a song that cannot be opened", "fehlt.mp3", 0.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start({.fade = true, .armed = true, .birthdaySong = c.song.empty() ? "" : folder.Path() + c.song});
    ClockAfterTheMoment();
    form->TimerGeburtstagTimer();
    Render(c.render);
    form->TimerGeburtsongPlayTimer();
    EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
    EXPECT_FALSE(form->TimerGeburstagausblenden->isActive());
    // Even a fire of the fade's timer that was already on its way pauses nothing.
    form->TimerGeburstagausblendenTimer();
    EXPECT_EQ(queue->GetState(), audio::kPlaying);
    EXPECT_EQ(form->BtnPlayPause->text(), "Pause");
    Render(3.0);
    EXPECT_NEAR(MusicVolume(), 1.0F, 1e-3F);
    EXPECT_NEAR(Render(0.3), 0.5F, 0.05F);
    form.reset();
  }
}

// The song interrupts music, never starts any: a jukebox that was idle,
// stopped, paused or had run out stays so, heard and shown, after the song.
TEST_F(JingleTest, TheSongsEndLeavesAPlayerThatWasNotPlayingAsItWas) {
  Tone("song.mp3", 880.0, 1.0);
  const struct {
    const char* what;
    std::function<void()> before;
    int state;
    const char* caption;
  } cases[] = {
      {"nothing ever played", [] {}, audio::kStopped, "Abspielen"},
      {"stopped", [this] { form->BtnStopClick(); }, audio::kStopped, "Play"},
      {"paused", [this] { form->BtnPlayPauseClick(); }, audio::kPaused, "Weiter"},
      {"the last title ended", [this] { form->NextTitle(); }, audio::kStopped, "Play"},
  };
  for (bool fade : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << (fade ? ", fade on" : ", fade off"));
      const bool played = std::string(c.what) != "nothing ever played";
      Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3", .play = played});
      c.before();
      // The fade setting of the moment, whatever it was when the music stopped.
      form->State.FadeEnabled = fade;
      if (form->TimerAusblenden->isActive()) form->TimerAusblendenTimer();
      const int rows = form->PlaylistView->topLevelItemCount();
      const QString titles = form->LabelTitelJukeWert->text();
      ClockAfterTheMoment();
      form->TimerGeburtstagTimer();
      EXPECT_EQ(queue->GetState(), c.state);
      Render(3.1);
      form->TimerGeburstagausblendenTimer();
      form->TimerGeburtsongPlayTimer();
      ASSERT_FALSE(form->TimerGeburtsongPlay->isActive());
      if (form->TimerAusblenden->isActive()) form->TimerAusblendenTimer();
      EXPECT_EQ(queue->GetState(), c.state);
      EXPECT_EQ(form->BtnPlayPause->text(), c.caption);
      EXPECT_FALSE(form->LabelDiodePlay->Lit());
      EXPECT_EQ(form->PlaylistView->topLevelItemCount(), rows);
      EXPECT_EQ(form->LabelTitelJukeWert->text(), titles);
      EXPECT_NEAR(Render(0.5), 0.0F, 1e-6F) << "silence after the song";
      EXPECT_FALSE(PlayerButtonsLocked());
      form.reset();
    }
  }
}

// "Vor" pressed just before the moment: its fade ends while the song plays.
TEST_F(JingleTest, AFadeEndingDuringTheSongStartsTheNextTitlePausedAndKeepsTheButtonsLocked) {
  Tone("song.mp3", 880.0, 4.0);
  Tone("next.mp3", 660.0, 6.0);
  Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  queue->Add(folder.Path() + "next.mp3");
  form->BtnNext->click();
  ASSERT_EQ(form->State.FadeAction, TFadeAction::NextTitle);
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  Render(1.0);
  form->TimerAusblendenTimer();
  EXPECT_EQ(queue->CurrentFile->FilePath, folder.Path() + "next.mp3");
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_TRUE(PlayerButtonsLocked());
  form->TimerGeburstagausblendenTimer();
  Render(3.2);  // the song ends
  form->TimerGeburtsongPlayTimer();
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_LT(queue->GetPositionSeconds(), 0.1) << "the next title from its start";
  EXPECT_FALSE(PlayerButtonsLocked());
}

// A stream the output outran for a moment (stalled) is music that plays: the
// song interrupts it and its end brings it back.
TEST_F(JingleTest, StalledMusicIsInterruptedByTheSongAndComesBackAfterIt) {
  Tone("song.mp3", 880.0, 6.0);
  const struct {
    const char* what;
    bool fade;
    std::function<void()> toThePause;
  } cases[] = {
      {"the moment, fade on", true,
       [this] {
         ASSERT_TRUE(Stall(queue->Channel));
         form->TimerGeburtstagTimer();
         EXPECT_TRUE(form->TimerGeburstagausblenden->isActive());
         Render(3.1);
         form->TimerGeburstagausblendenTimer();
       }},
      {"the moment, fade off", false,
       [this] {
         ASSERT_TRUE(Stall(queue->Channel));
         form->TimerGeburtstagTimer();
       }},
      {"the end of the music's fade", true,
       [this] {
         form->TimerGeburtstagTimer();
         Render(3.1);
         ASSERT_TRUE(Stall(queue->Channel));
         form->TimerGeburstagausblendenTimer();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start({.fade = c.fade, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
    ClockAfterTheMoment();
    c.toThePause();
    EXPECT_EQ(queue->GetState(), audio::kPaused);
    EXPECT_EQ(form->BtnPlayPause->text(), "Weiter");
    const double pausedAt = queue->GetPositionSeconds();
    Render(6.2);  // the song ends
    EXPECT_DOUBLE_EQ(queue->GetPositionSeconds(), pausedAt);
    form->TimerGeburtsongPlayTimer();
    ASSERT_FALSE(form->TimerGeburtsongPlay->isActive());
    EXPECT_EQ(queue->GetState(), audio::kPlaying);
    Render(3.1);
    EXPECT_NEAR(MusicVolume(), 1.0F, 1e-3F);
    form.reset();
  }
}

TEST_F(JingleTest, ASongEndingWhileTheMusicIsStalledStillBringsTheMusicBack) {
  Tone("short.mp3", 880.0, 1.0);
  Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "short.mp3"});
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  Render(1.2);
  ASSERT_TRUE(Stall(queue->Channel));
  form->TimerGeburtsongPlayTimer();
  EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
  Render(3.1);
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_NEAR(MusicVolume(), 1.0F, 1e-3F) << "not left faded out";
}

// ---- The settings menu's "Stop" -------------------------------------------------

class BirthdayStopTest : public JingleTest {
 protected:
  void OpenMenu() {
    formMenu = std::make_unique<TFormMenu>(*form);
    formFilter = std::make_unique<TFormFilter>(*form);
    menu = std::make_unique<THauptmenu>(*form, *formMenu, *formFilter);
  }
  void TearDown() override {
    menu.reset();
    formFilter.reset();
    formMenu.reset();
  }
  QPushButton* StopButton() { return menu->SpeedButtonGeburtstagsongStop; }

  std::unique_ptr<TFormMenu> formMenu;
  std::unique_ptr<TFormFilter> formFilter;
  std::unique_ptr<THauptmenu> menu;
};

TEST_F(BirthdayStopTest, WithoutFadeStopEndsTheSongAtOnce) {
  Tone("song.mp3", 880.0, 4.0);
  Start({.fade = false, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  OpenMenu();
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  StopButton()->setEnabled(true);  // as the menu shows it while the song plays
  Render(1.0);

  StopButton()->click();  // the operator's tap reaches the main window
  EXPECT_EQ(SongVolume(), -1.0F) << "freed at once";
  EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_FALSE(StopButton()->isEnabled());
  EXPECT_FALSE(form->LabelDiodeGeburt->Lit());
  EXPECT_FALSE(PlayerButtonsLocked());
  EXPECT_FALSE(form->TimerAusblenden->isActive());
  EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
  EXPECT_NEAR(Render(0.3), 0.5F, 0.05F);

  // Once the song is over the button stops nothing: music a guest paused stays paused.
  form->BtnPlayPause->click();
  ASSERT_EQ(queue->GetState(), audio::kPaused);
  StopButton()->setEnabled(true);
  form->SpeedButtonGeburtstagsongStopClick();
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_FALSE(StopButton()->isEnabled());
}

TEST_F(BirthdayStopTest, WithFadeTheSongFadesOutUnderTheMusicAndTheFadeTimerFreesIt) {
  // Stopped after the music was paused, and before: the pause must then not come.
  for (double stopAfter : {3.2, 1.0}) {
    SCOPED_TRACE(stopAfter);
    Tone("song.mp3", 880.0, 8.0);
    Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
    OpenMenu();
    ClockAfterTheMoment();
    form->TimerGeburtstagTimer();
    StopButton()->setEnabled(true);
    Render(stopAfter);
    if (stopAfter > 3.0) {
      form->TimerGeburstagausblendenTimer();
      ASSERT_EQ(queue->GetState(), audio::kPaused);
    }
    const float songBefore = SongVolume();

    form->SpeedButtonGeburtstagsongStopClick();
    EXPECT_TRUE(form->State.BirthdaySongFadingOut);
    EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
    EXPECT_TRUE(form->TimerAusblenden->isActive());
    EXPECT_FALSE(form->TimerGeburtsongPlay->isActive());
    EXPECT_FALSE(form->TimerGeburstagausblenden->isActive());
    EXPECT_FALSE(StopButton()->isEnabled());
    EXPECT_FALSE(PlayerButtonsLocked());
    EXPECT_EQ(queue->GetState(), audio::kPlaying);
    EXPECT_TRUE(form->LabelDiodeGeburt->Lit()) << "the menu sets the lamp when it closes";
    form->TimerGeburstagausblendenTimer();  // a late fire pauses nothing
    EXPECT_EQ(queue->GetState(), audio::kPlaying);

    Render(1.5);
    EXPECT_NEAR(SongVolume(), songBefore / 2, 0.03F);  // fading out, from where it stood
    EXPECT_GT(MusicVolume(), 0.45F);                   // fading back in
    Render(1.5);
    EXPECT_NEAR(SongVolume(), 0.0F, 0.01F);
    EXPECT_NEAR(MusicVolume(), 1.0F, 0.01F);

    form->TimerAusblendenTimer();
    EXPECT_EQ(SongVolume(), -1.0F) << "freed";
    EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
    EXPECT_EQ(queue->GetState(), audio::kPlaying);
    TearDown();
    form.reset();
  }
}

// The operator's Stop fades the song out under the music; a fade the guests
// start meanwhile has its own duty, and the song must still be freed.
TEST_F(BirthdayStopTest, AFadeStartedWhileTheSongFadesOutStillLetsTheSongGo) {
  Tone("song.mp3", 880.0, 8.0);
  Tone("next.mp3", 660.0, 6.0);
  Tone("j1.mp3", 1320.0, 3.0);
  const struct {
    const char* what;
    std::function<void()> second;
    int state;
    const char* playing;
  } cases[] = {
      {"Vor", [this] { form->BtnNext->click(); }, audio::kPlaying, "next.mp3"},
      {"Stop", [this] { form->BtnStop->click(); }, audio::kStopped, "music.mp3"},
      {"Pause", [this] { form->BtnPlayPause->click(); }, audio::kPaused, "music.mp3"},
      {"a jingle",
       [this] {
         emit form->SpeedButton_Jingle1->pressed();
         Render(0.2);
         emit form->SpeedButton_Jingle1->released();
       },
       audio::kPlaying, "music.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3", .jingle1 = folder.Path() + "j1.mp3"});
    queue->Add(folder.Path() + "next.mp3");
    OpenMenu();
    ClockAfterTheMoment();
    form->TimerGeburtstagTimer();
    StopButton()->setEnabled(true);
    Render(1.0);
    form->SpeedButtonGeburtstagsongStopClick();
    Render(0.5);
    const float song = SongVolume();
    ASSERT_GT(song, 0.1F);
    c.second();
    Render(0.3);
    EXPECT_LT(SongVolume(), song) << "the song goes on fading out";
    Render(3.0);
    EXPECT_NEAR(SongVolume(), 0.0F, 1e-3F);
    form->TimerAusblendenTimer();
    EXPECT_EQ(SongVolume(), -1.0F) << "freed";
    EXPECT_EQ(queue->CurrentFile->FilePath, folder.Path() + c.playing);
    EXPECT_EQ(queue->GetState(), c.state);
    EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
    EXPECT_FALSE(form->TimerAusblenden->isActive());
    TearDown();
    form.reset();
  }
}

// "Vor" pressed just before the moment, and the operator stops the song while
// the skipped title still fades: that title must not come back, and the next
// one must not be taken off the queue unplayed at its end.
TEST_F(BirthdayStopTest, StoppingTheSongDuringVorsFadeGoesOnToTheNextTitle) {
  Tone("song.mp3", 880.0, 8.0);
  Tone("next.mp3", 660.0, 3.0);
  Tone("third.mp3", 550.0, 3.0);
  Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
  queue->Add(folder.Path() + "next.mp3");
  queue->Add(folder.Path() + "third.mp3");
  OpenMenu();
  form->BtnNext->click();
  ClockAfterTheMoment();
  form->TimerGeburtstagTimer();
  StopButton()->setEnabled(true);
  Render(1.0);
  const float skipped = MusicVolume();
  form->SpeedButtonGeburtstagsongStopClick();
  Render(1.0);
  EXPECT_LT(MusicVolume(), skipped) << "the skipped title fades on";
  form->TimerAusblendenTimer();
  EXPECT_EQ(SongVolume(), -1.0F);
  EXPECT_EQ(queue->CurrentFile->FilePath, folder.Path() + "next.mp3");
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_LT(queue->GetPositionSeconds(), 0.05);
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 2);
  EXPECT_FALSE(PlayerButtonsLocked());
  EXPECT_GT(Render(0.5), 0.4F);

  // Its end plays the third: every queued title is heard.
  Render(2.7);
  QElapsedTimer waited;
  waited.start();
  while (queue->CurrentFile->FilePath != folder.Path() + "third.mp3" && waited.elapsed() < 3000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  EXPECT_EQ(queue->CurrentFile->FilePath, folder.Path() + "third.mp3");
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 1);
}

// The settings menu closed during the song: the switches it set hold for the
// fades after the song, not only for the song's own end.
TEST_F(BirthdayStopTest, SwitchesSetInTheMenuDuringTheSongHoldAfterLaterFades) {
  Tone("song.mp3", 880.0, 1.0);
  const struct {
    const char* what;
    QCheckBox* THauptmenu::*box;
    bool next;
    bool stop;
  } cases[] = {{"Vor switched off", &THauptmenu::CheckBoxNaechsterTitel, false, true},
               {"Stop switched off", &THauptmenu::CheckBoxStopTitel, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Start({.fade = true, .armed = true, .birthdaySong = folder.Path() + "song.mp3"});
    OpenMenu();
    ClockAfterTheMoment();
    form->TimerGeburtstagTimer();
    menu->show();
    (menu.get()->*c.box)->setChecked(false);
    menu->BitBtnSchliessen->click();
    EXPECT_TRUE(PlayerButtonsLocked()) << "the song holds them";
    Render(1.2);
    form->TimerGeburtsongPlayTimer();
    ASSERT_FALSE(form->TimerGeburtsongPlay->isActive());
    EXPECT_EQ(form->BtnNext->isEnabled(), c.next);
    EXPECT_EQ(form->BtnStop->isEnabled(), c.stop);

    form->BtnPlayPause->click();
    Render(3.1);
    form->TimerAusblendenTimer();
    ASSERT_EQ(queue->GetState(), audio::kPaused);
    EXPECT_EQ(form->BtnNext->isEnabled(), c.next);
    EXPECT_EQ(form->BtnStop->isEnabled(), c.stop);
    TearDown();
    form.reset();
  }
}

// While a guest's fade runs only its own button is free; closing the menu
// must not free the others, or a second fade could take over the first.
TEST_F(BirthdayStopTest, ClosingTheMenuDuringAGuestsFadeLeavesTheOtherButtonsLocked) {
  Start({.fade = true});
  OpenMenu();
  form->BtnPlayPause->click();
  menu->show();
  menu->BitBtnSchliessen->click();
  EXPECT_FALSE(form->BtnNext->isEnabled());
  EXPECT_FALSE(form->BtnStop->isEnabled());
  EXPECT_FALSE(form->MainScrollbar->isEnabled());
  Render(3.1);
  form->TimerAusblendenTimer();
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_TRUE(form->BtnNext->isEnabled());
  EXPECT_TRUE(form->BtnStop->isEnabled());
  EXPECT_TRUE(form->MainScrollbar->isEnabled());
}

}  // namespace
}  // namespace orvela::testing
