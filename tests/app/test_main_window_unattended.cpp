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
#include <functional>
#include <sstream>

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
