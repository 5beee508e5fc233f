// A night with nobody at the screen: titles that end in the middle of a fade,
// fades whose queue empties under them, files that have gone, the screen after
// the queue runs out. Every queued title must be heard once, in order, and the
// times must never go below zero.
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/lamp_label.h"
#include "playback_fixture.h"

namespace orvela::testing {
namespace {

class UnattendedTest : public PlaybackTest {
 protected:
  // What the fade timer would do if it were still running when its time comes.
  void FadeTimerFiresIfRunning() {
    if (form->TimerAusblenden->isActive()) form->TimerAusblendenTimer();
  }
  std::string Log() const {
    std::ifstream in(folder.Path() + TForm1::kEventLogName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  long LogLines() const {
    const std::string log = Log();
    return static_cast<long>(std::count(log.begin(), log.end(), '\n'));
  }
  bool ButtonsBack() const {
    return form->BtnStop->isEnabled() && form->BtnNext->isEnabled() && form->BtnPlayPause->isEnabled() &&
           form->MainScrollbar->isEnabled();
  }
};

TEST_F(UnattendedTest, ATitleEndingDuringTheFadeOfVorGoesOnToTheNextQueuedTitleOnce) {
  Start(true);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.9);  // 1.5 s before the end of a
  form->BtnNext->click();
  ASSERT_EQ(form->State.FadeAction, TFadeAction::NextTitle);
  Render(1.6);  // a ends inside the three seconds of its fade
  ASSERT_TRUE(Deliver([&] { return Playing() != folder.Path() + "a.mp3"; }));
  EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
  EXPECT_EQ(Rows(), 2);
  TAudioFile c;
  c.LoadFromFile(folder.Path() + "c.mp3");
  EXPECT_EQ(Row(1), c.GetDisplayName());
  EXPECT_FALSE(form->TimerAusblenden->isActive());
  EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
  EXPECT_TRUE(ButtonsBack());
  Render(0.7);
  FadeTimerFiresIfRunning();
  EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
  EXPECT_GT(queue->GetPositionSeconds(), 0.6) << "b is not started again";
  EXPECT_EQ(form->State.QueueTotalSeconds, 3 + 2);
  form->TimerJukeZeitGesamtTimer();
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:04");  // 5 s less the second of b played
}

TEST_F(UnattendedTest, AQueueEmptiedDuringAFadeLeavesNoFadeBehind) {
  const struct {
    const char* what;
    int titles;
    std::function<void()> during;
  } cases[] = {
      {"Vor twice with two titles", 2, [this] { form->BtnNext->click(); }},
      {"the operator empties the queue during Stop's fade", 1,
       [this] {
         form->BtnStop->click();
         form->EmptyQueue();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    Start(true);
    queue->Add(folder.Path() + "a.mp3");
    if (c.titles == 2) queue->Add(folder.Path() + "b.mp3");
    form->BtnPlayPause->click();
    Render(0.3);
    if (c.titles == 2) form->BtnNext->click();
    c.during();
    ASSERT_EQ(Rows(), 0);
    EXPECT_FALSE(form->TimerAusblenden->isActive());
    EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
    EXPECT_TRUE(ButtonsBack());
    FadeTimerFiresIfRunning();
    EXPECT_EQ(form->State.QueueTotalSeconds, 0);
    queue->Add(folder.Path() + "c.mp3");
    EXPECT_EQ(form->State.QueueTotalSeconds, 2);
    EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:02");
  }
}

TEST_F(UnattendedTest, VorBeforeAnythingPlayedTakesTheSkippedTitlesLengthOffTheQueueTime) {
  for (bool fade : {false, true}) {
    SCOPED_TRACE(fade ? "fade on" : "fade off");
    form.reset();
    Start(fade);
    QueueAll();
    form->BtnNext->click();
    EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
    EXPECT_EQ(form->State.QueueTotalSeconds, 3 + 2);
  }
}

TEST_F(UnattendedTest, AFileThatHasGoneIsPassedOverOnceAndNamedInTheLog) {
  Start(false);
  queue->Add(folder.Path() + "a.mp3");
  queue->Add(folder.Path() + "fehlt.mp3");
  queue->Add(folder.Path() + "auch weg.mp3");
  queue->Add(folder.Path() + "b.mp3");
  form->BtnPlayPause->click();
  Render(2.6);
  ASSERT_TRUE(Deliver([&] { return Playing() != folder.Path() + "a.mp3"; }));
  EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "1");
  EXPECT_EQ(form->State.QueueTotalSeconds, 3);
  const std::string log = Log();
  EXPECT_NE(log.find(folder.Path() + "fehlt.mp3"), std::string::npos) << log;
  EXPECT_NE(log.find(folder.Path() + "auch weg.mp3"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
  EXPECT_TRUE(dialogs.Texts().empty()) << "nobody is there to answer a box";
}

TEST_F(UnattendedTest, AbspielenPassesOverAFirstTitleThatHasGoneAndAQueueOfGoneTitlesEmpties) {
  Start(false);
  queue->Add(folder.Path() + "fehlt.mp3");
  queue->Add(folder.Path() + "a.mp3");
  form->BtnPlayPause->click();
  EXPECT_EQ(Playing(), folder.Path() + "a.mp3");
  EXPECT_EQ(Rows(), 1);
  form->BtnStop->click();
  form->NextTitle();
  ASSERT_EQ(Rows(), 0);

  queue->Add(folder.Path() + "fehlt.mp3");
  queue->Add(folder.Path() + "auch weg.mp3");
  form->BtnPlayPause->click();
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(queue->Items.empty());
  EXPECT_TRUE(Lit(form->LabelDiodeLeer));
  EXPECT_EQ(form->State.QueueTotalSeconds, 0);
  EXPECT_EQ(form->BtnPlayPause->text(), "Play");
}

// The automatic over a drive that holds half the collection and was unplugged:
// the playing title a is followed by four titles whose files have gone, and
// the draws after them find files again.
std::vector<Row> HalfGone(const std::string& dir) {
  const char* const files[] = {"a.mp3", "weg2.mp3", "weg3.mp3", "weg4.mp3", "weg5.mp3",
                               "b.mp3", "c.mp3",    "a.mp3",    "b.mp3",    "c.mp3"};
  std::vector<Row> rows;
  for (int k = 1; k <= 10; ++k) {
    rows.push_back({"Band", "Song " + std::to_string(k), dir + files[k - 1], "Rock", "1990", "00:03"});
  }
  return rows;
}

TEST_F(UnattendedTest, WhenTheGoneTitlesEmptyTheQueueTheAutomaticsNewTitlesPlayOn) {
  const struct {
    const char* what;
    bool fade;
    QPushButton* TForm1::*pressed;  // as a ends, or none
    int state;
  } cases[] = {{"fade off", false, nullptr, audio::kPlaying},
               {"fade on", true, nullptr, audio::kPlaying},
               {"Pause asked for as a ends", true, &TForm1::BtnPlayPause, audio::kPaused}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    random.values = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // then 0: the tenth
    Start(c.fade, HalfGone(folder.Path()), true);
    ASSERT_EQ(Rows(), 5);
    form->BtnPlayPause->click();
    ASSERT_EQ(Playing(), folder.Path() + "a.mp3");
    Render(1.9);
    if (c.pressed) (form.get()->*c.pressed)->click();
    Render(0.7);
    // The four gone files are passed over in the handling of a's end.
    ASSERT_TRUE(Deliver([&] { return LogLines() == 4; })) << Log();
    FadeTimerFiresIfRunning();
    EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
    EXPECT_EQ(queue->GetState(), c.state);
    EXPECT_LT(queue->GetPositionSeconds(), 0.05);
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(form->LabelTitelJukeWert->text(), "5");
    EXPECT_TRUE(ButtonsBack());
    if (c.state == audio::kPlaying) EXPECT_GT(Render(0.5), 0.3F) << "heard";
    form.reset();
    folder.Remove(TForm1::kEventLogName);
  }
}

TEST_F(UnattendedTest, AnAutomaticWhoseFilesHaveAllGoneGivesUpWithAnEmptyQueue) {
  auto rows = HalfGone(folder.Path());
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i][2] = folder.Path() + "weg" + std::to_string(i) + ".mp3";
  Start(false, rows, true);
  ASSERT_EQ(Rows(), 5);
  form->BtnPlayPause->click();
  EXPECT_TRUE(queue->Items.empty());
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(Lit(form->LabelDiodeLeer));
  EXPECT_EQ(form->State.QueueTotalSeconds, 0);
  EXPECT_GE(LogLines(), 5);
  EXPECT_LE(LogLines(), 50) << "a few more draws, not the night";
}

// A title that follows a Stop, a Pause or starts during the birthday song is
// announced while the output keeps running: not one block of it may sound
// before it is let go.
TEST_F(UnattendedTest, ATitleThatMustWaitDoesNotMoveWhenItIsAnnounced) {
  const struct {
    const char* what;
    std::function<void()> toTheNextTitle;
    int state;
  } cases[] = {
      {"Pause asked for as a ends",
       [this] {
         Render(1.9);
         form->BtnPlayPause->click();
         Render(0.7);
         ASSERT_TRUE(Deliver([&] { return Rows() == 2; }));
       },
       audio::kPaused},
      {"Stop asked for as a ends",
       [this] {
         Render(1.9);
         form->BtnStop->click();
         Render(0.7);
         ASSERT_TRUE(Deliver([&] { return Rows() == 2; }));
       },
       audio::kStopped},
      {"Vor's fade ends during the birthday song",
       [this] {
         Tone("song.mp3", 990.0, 6.0);
         form->State.BirthdaySongPath = folder.Path() + "song.mp3";
         Render(0.3);
         form->BtnNext->click();
         clock.now = 1.0;  // after the (default) birthday moment
         form->TimerGeburtstagTimer();
         ASSERT_TRUE(form->TimerGeburtsongPlay->isActive());
         Render(1.0);
         form->TimerAusblendenTimer();
       },
       audio::kPaused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    Start(true);
    QueueAll();
    form->BtnPlayPause->click();
    // A device renders whenever it likes; here one block right at the announcement.
    double movedAtAnnouncement = -1.0;
    const TTiluPlayer::Event screen = queue->OnTiluChange;
    queue->OnTiluChange = [&, screen](TTiluPlayer* player) {
      if (Playing() == folder.Path() + "b.mp3") {
        manualOutput->Render(1024);
        movedAtAnnouncement = queue->GetPositionSeconds();
      }
      screen(player);
    };
    c.toTheNextTitle();
    FadeTimerFiresIfRunning();
    EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
    EXPECT_EQ(movedAtAnnouncement, 0.0);
    EXPECT_EQ(queue->GetState(), c.state);
    EXPECT_EQ(queue->GetPositionSeconds(), 0.0);
  }
}

// A stream the output outran for a moment (stalled) is still playing: the
// guest's buttons and the fades treat it so.
TEST_F(UnattendedTest, StalledMusicIsPlayingMusicForTheButtonsAndTheFades) {
  const struct {
    const char* what;
    bool fade;
    std::function<void()> beforeTheStall;
    std::function<void()> whileStalled;
    TFadeAction fading;
    int state;  // once any fade has ended
    const char* playing;
  } cases[] = {
      {"Pause with fade", true, [] {}, [this] { form->BtnPlayPause->click(); }, TFadeAction::Pause, audio::kPaused,
       "lang.mp3"},
      {"Pause without fade", false, [] {}, [this] { form->BtnPlayPause->click(); }, TFadeAction::None,
       audio::kPaused, "lang.mp3"},
      {"Stop with fade", true, [] {}, [this] { form->BtnStop->click(); }, TFadeAction::Stop, audio::kStopped,
       "lang.mp3"},
      {"Vor with fade", true, [] {}, [this] { form->BtnNext->click(); }, TFadeAction::NextTitle, audio::kPlaying,
       "a.mp3"},
      {"the end of Pause's fade", true,
       [this] {
         form->BtnPlayPause->click();
         Render(3.1);
       },
       [] {}, TFadeAction::Pause, audio::kPaused, "lang.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    Start(c.fade);
    Tone("lang.mp3", 550.0, 20.0);
    queue->Add(folder.Path() + "lang.mp3");
    queue->Add(folder.Path() + "a.mp3");
    form->BtnPlayPause->click();
    Render(0.2);
    c.beforeTheStall();
    ASSERT_TRUE(Stall(queue->Channel));
    c.whileStalled();
    EXPECT_EQ(form->State.FadeAction, c.fading);
    EXPECT_EQ(form->TimerAusblenden->isActive(), c.fading != TFadeAction::None);
    FadeTimerFiresIfRunning();
    EXPECT_EQ(Playing(), folder.Path() + c.playing);
    EXPECT_EQ(queue->GetState() == audio::kStalled ? audio::kPlaying : queue->GetState(), c.state);
    EXPECT_TRUE(ButtonsBack());
  }
}

// Nothing opens without a device; that says nothing about the files.
class NoSoundTest : public MainWindowTest {
 protected:
  NoSoundTest() { audioLayer = std::make_unique<audio::AudioLayer>(nullptr); }
};

TEST_F(NoSoundTest, WithoutASoundOutputTheQueueWaitsAsItIs) {
  folder.WriteAll(kPlainIni, {});
  std::string error;
  ASSERT_TRUE(demo::EncodeAudio(folder.Path() + "a.mp3", demo::Format::Mp3, demo::SynthesizeTone(440.0, 1.0, 0.5),
                                {}, &error));
  auto form = MakeForm();
  ASSERT_NE(form->Player(), nullptr);
  form->Player()->Add(folder.Path() + "a.mp3");
  form->Player()->Add(folder.Path() + "a.mp3");
  form->BtnPlayPause->click();
  form->BtnNext->click();
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + TForm1::kEventLogName));
}

TEST_F(UnattendedTest, TheLastTitleEndingDuringAFadeLeavesAnEmptyStoppedQueue) {
  const struct {
    const char* what;
    QPushButton* TForm1::*button;
  } cases[] = {{"Pause", &TForm1::BtnPlayPause}, {"Stop", &TForm1::BtnStop}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    Start(true);
    queue->Add(folder.Path() + "a.mp3");
    form->BtnPlayPause->click();
    Render(1.9);
    form->MainTimerTimer();
    ASSERT_GT(form->MainScrollbar->value(), 50);
    (form.get()->*c.button)->click();
    Render(0.7);
    ASSERT_TRUE(Deliver([&] { return Rows() == 0; }));
    FadeTimerFiresIfRunning();
    EXPECT_EQ(queue->GetState(), audio::kStopped);
    EXPECT_EQ(form->BtnPlayPause->text(), "Play");
    EXPECT_TRUE(Lit(form->LabelDiodeLeer));
    EXPECT_FALSE(Lit(form->LabelDiodePause));
    EXPECT_TRUE(ButtonsBack());
    EXPECT_EQ(form->MainScrollbar->value(), 0) << "the position bar starts over";
    EXPECT_EQ(form->LabelDauer->text(), "00:00");
    EXPECT_EQ(form->LabelInterpret->text(), QString(45, QLatin1Char(':')));
  }
}

TEST_F(UnattendedTest, PauseOrStopAskedForWhenATitleEndsHoldsForTheNextTitle) {
  const struct {
    const char* what;
    QPushButton* TForm1::*button;
    int state;
    const char* caption;
  } cases[] = {{"Pause", &TForm1::BtnPlayPause, audio::kPaused, "Weiter"},
               {"Stop", &TForm1::BtnStop, audio::kStopped, "Play"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form.reset();
    Start(true);
    QueueAll();
    form->BtnPlayPause->click();
    Render(1.9);
    (form.get()->*c.button)->click();
    Render(0.7);
    ASSERT_TRUE(Deliver([&] { return Rows() == 2; }));
    // The fade's timer comes later: until then b must already wait.
    EXPECT_NEAR(Render(0.5), 0.0F, 1e-6F);
    FadeTimerFiresIfRunning();
    EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
    EXPECT_EQ(queue->GetState(), c.state);
    EXPECT_EQ(form->BtnPlayPause->text(), c.caption);
    EXPECT_LT(queue->GetPositionSeconds(), 0.2);
    EXPECT_TRUE(ButtonsBack());
    EXPECT_EQ(form->State.QueueTotalSeconds, 3 + 2);
  }
}

TEST_F(UnattendedTest, StopWithoutFadePutsBothTimesBack) {
  Start(false);
  QueueAll();
  form->BtnPlayPause->click();
  Render(1.0);
  form->TimerJukeZeitGesamtTimer();
  ASSERT_EQ(form->LabelDauer->text(), "00:01");
  ASSERT_EQ(form->LabelAbspielJukeWert->text(), "00:06");
  form->BtnStop->click();
  EXPECT_EQ(queue->GetState(), audio::kStopped);
  EXPECT_EQ(form->LabelDauer->text(), "00:00");
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:07");
}

}  // namespace
}  // namespace orvela::testing
