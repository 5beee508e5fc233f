// The main screen plays the queue: buttons, fades, the queue list, the time
// displays and the spectrum, heard through a manual output. The fade timer is
// fired by hand, so no test waits through a real fade.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>

#include "app/lamp_label.h"
#include "app/spectrum_box.h"
#include "demo/tone_encoder.h"
#include "jukebox/date_time.h"
#include "playback_fixture.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"

namespace orvela::testing {
namespace {

TEST_F(PlaybackTest, TheQueuePlaysTitleAfterTitleUntilItIsEmpty) {
  Start(false);
  QueueAll();
  EXPECT_EQ(Rows(), 3);
  TAudioFile b;
  b.LoadFromFile(folder.Path() + "b.mp3");
  EXPECT_EQ(Row(1), b.GetDisplayName());
  EXPECT_EQ(form->PlaylistView->topLevelItem(1)->text(1), "0:03");
  EXPECT_EQ(form->State.QueueTotalSeconds, 2 + 3 + 2);
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:07");

  form->BtnPlayPause->click();
  EXPECT_EQ(Playing(), folder.Path() + "a.mp3");
  EXPECT_EQ(form->BtnPlayPause->text(), "Pause");
  EXPECT_TRUE(Lit(form->LabelDiodePlay));
  EXPECT_TRUE(form->MainTimer->isActive());
  EXPECT_TRUE(form->TimerJukeZeitGesamt->isActive());
  EXPECT_TRUE(Bold(0));
  EXPECT_FALSE(Bold(1));
  EXPECT_TRUE(form->PlaylistView->topLevelItem(1)->isSelected());  // the next title

  // The first title ends: its row leaves, the second plays.
  EXPECT_GT(Render(2.6), 0.3F);
  ASSERT_TRUE(Deliver([&] { return Rows() == 2; }));
  EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "2");
  EXPECT_TRUE(Bold(0));
  EXPECT_EQ(form->State.QueueTotalSeconds, 7 - 2);

  Render(3.6);
  ASSERT_TRUE(Deliver([&] { return Rows() == 1; }));
  Render(2.6);
  // The last title ends: the queue is empty and the screen says so.
  ASSERT_TRUE(Deliver([&] { return Rows() == 0; }));
  EXPECT_TRUE(queue->Items.empty());
  EXPECT_TRUE(Lit(form->LabelDiodeLeer));
  EXPECT_FALSE(Lit(form->LabelDiodePlay));
  EXPECT_EQ(form->LabelTitel->text(), QString(45, QLatin1Char(':')));
  EXPECT_EQ(form->LabelJahr->text(), "0000");
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:00");
  EXPECT_EQ(form->State.QueueTotalSeconds, 0);
  EXPECT_EQ(form->BtnPlayPause->text(), "Play");
  EXPECT_FALSE(form->MainTimer->isActive());
  EXPECT_NEAR(Render(0.3), 0.0F, 1e-6);
}

TEST_F(PlaybackTest, VorWithFadeLetsTheOldTitleSoundUntilTheTimerFires) {
  Start(true);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.5);
  form->BtnNext->click();
  // The row is gone at once; the title still sounds, fading.
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(Playing(), folder.Path() + "a.mp3");
  EXPECT_EQ(form->State.FadeAction, TFadeAction::NextTitle);
  EXPECT_TRUE(form->TimerAusblenden->isActive());
  EXPECT_FALSE(form->BtnStop->isEnabled());
  EXPECT_FALSE(form->BtnPlayPause->isEnabled());
  EXPECT_FALSE(form->MainScrollbar->isEnabled());
  EXPECT_TRUE(form->BtnNext->isEnabled());
  EXPECT_GT(Render(0.5), 0.05F);

  form->TimerAusblendenTimer();
  EXPECT_EQ(Playing(), folder.Path() + "b.mp3");
  EXPECT_EQ(form->State.FadeAction, TFadeAction::None);
  EXPECT_TRUE(form->BtnStop->isEnabled());
  EXPECT_TRUE(form->BtnPlayPause->isEnabled());
  EXPECT_FALSE(form->TimerAusblenden->isActive());
  // The next title starts at the full player volume.
  EXPECT_GT(Render(0.5), 0.4F);
  EXPECT_EQ(form->State.QueueTotalSeconds, 7 - 2);
}

TEST_F(PlaybackTest, VorTwiceDuringAFadeTakesBothTitlesOffTheQueueTime) {
  Start(true);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.2);
  form->BtnNext->click();
  form->BtnNext->click();  // b leaves too, unplayed
  EXPECT_EQ(Rows(), 1);
  form->TimerAusblendenTimer();
  EXPECT_EQ(Playing(), folder.Path() + "c.mp3");
  EXPECT_EQ(form->State.QueueTotalSeconds, 2);
}

TEST_F(PlaybackTest, PauseAndStopFadeWhilePlayingAndStopAtOnceOtherwise) {
  Start(true);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.2);
  form->BtnPlayPause->click();  // pause, after the fade
  EXPECT_EQ(form->State.FadeAction, TFadeAction::Pause);
  EXPECT_FALSE(form->BtnNext->isEnabled());
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  form->TimerAusblendenTimer();
  EXPECT_EQ(queue->GetState(), audio::kPaused);
  EXPECT_EQ(form->BtnPlayPause->text(), "Weiter");
  EXPECT_TRUE(Lit(form->LabelDiodePause));
  EXPECT_TRUE(form->BtnNext->isEnabled());

  // Stop while paused: no fade, at once.
  form->BtnStop->click();
  EXPECT_EQ(queue->GetState(), audio::kStopped);
  EXPECT_FALSE(form->TimerAusblenden->isActive());
  EXPECT_EQ(form->BtnPlayPause->text(), "Play");
  EXPECT_TRUE(Lit(form->LabelDiodeStop));

  // A stopped title starts again from its beginning.
  form->BtnPlayPause->click();
  EXPECT_EQ(queue->GetState(), audio::kPlaying);
  EXPECT_LT(queue->GetPositionSeconds(), 0.05);
  Render(0.3);
  form->BtnStop->click();  // while playing: a fade, then the stop
  EXPECT_EQ(form->State.FadeAction, TFadeAction::Stop);
  EXPECT_FALSE(form->BtnPlayPause->isEnabled());
  form->TimerAusblendenTimer();
  EXPECT_EQ(queue->GetState(), audio::kStopped);
  EXPECT_TRUE(form->BtnPlayPause->isEnabled());
  EXPECT_EQ(form->LabelDauer->text(), "00:00");
}

TEST_F(PlaybackTest, TimeDisplaysAndTheStartEstimate) {
  Start(false);
  clock.now = EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 59);
  QueueAll();
  form->BtnPlayPause->click();
  Render(1.0);
  form->TimerJukeZeitGesamtTimer();
  EXPECT_EQ(form->LabelDauer->text(), "00:01");
  EXPECT_EQ(form->LabelAbspielJukeWert->text(), "00:06");
  form->LabelDauerClick();
  EXPECT_EQ(form->LabelDauerU->text(), "Restzeit");
  form->TimerJukeZeitGesamtTimer();
  EXPECT_EQ(form->LabelDauer->text(), "00:01");  // 2 s title, 1 s played

  // Row 1 starts when the rest of a has played; past midnight the hours go on.
  form->SelectQueueRow(1);
  form->UpdateStartTimeEstimate();
  EXPECT_EQ(form->LabeJukeWann->text(), "24:00:00 Uhr");
  form->SelectQueueRow(2);
  form->UpdateStartTimeEstimate();
  EXPECT_EQ(form->LabeJukeWann->text(), "24:00:03 Uhr");  // + the 3 s of b
  form->PlaylistView->clearSelection();
  form->PlaylistView->topLevelItem(0)->setSelected(true);
  form->PlaylistViewClick();
  EXPECT_EQ(form->LabeJukeWann->text(), "Spielt");
  form->PlaylistView->clearSelection();
  form->UpdateStartTimeEstimate();
  EXPECT_EQ(form->LabeJukeWann->text(), "xx:xx Uhr");

  // Later in the title the two times part: "Restzeit" counts down.
  Render(0.6);
  form->TimerJukeZeitGesamtTimer();
  EXPECT_EQ(form->LabelDauer->text(), "00:00");  // 2 s played of 2: nothing left
  form->LabelDauerClick();
  form->TimerJukeZeitGesamtTimer();
  EXPECT_EQ(form->LabelDauer->text(), "00:02");
}

TEST_F(PlaybackTest, PositionBarMovesTheTitleOnlyWhenLetGoAndTheSliderSetsTheVolume) {
  Start(false);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.2);
  form->MainTimerTimer();
  const int before = form->MainScrollbar->value();
  EXPECT_LT(before, 20);

  form->MainScrollbar->setSliderDown(true);
  form->MainScrollbarScroll(false);
  form->MainScrollbar->setValue(50);
  EXPECT_EQ(form->MainScrollbarTag, 1);
  EXPECT_LT(queue->GetPositionSeconds(), 0.5);
  form->MainTimerTimer();
  EXPECT_EQ(form->MainScrollbar->value(), 50) << "the timer leaves a held bar alone";
  form->MainScrollbar->setSliderDown(false);
  form->MainScrollbarScroll(true);
  EXPECT_EQ(form->MainScrollbarTag, 0);
  EXPECT_NEAR(queue->GetPositionSeconds(), queue->GetLengthSeconds() / 2, 0.1);

  form->SliderEdit1->setValue(25);
  EXPECT_FLOAT_EQ(queue->Volume, 0.25F);
}

TEST_F(PlaybackTest, SpectrumBarsAppearInTheBoxWhilePlaying) {
  Start(false);
  QueueAll();
  form->BtnPlayPause->click();
  Render(0.5);
  form->MainTimerTimer();
  const QImage frame = form->SpectrumPaintbox->Frame();
  ASSERT_FALSE(frame.isNull());
  // A 440 Hz tone lights bar 10 (columns 60..64) from the bottom row up.
  const QColor bar = frame.pixelColor(62, frame.height() - 1);
  EXPECT_NE(bar, QColor(Qt::black));
  EXPECT_EQ(frame.pixelColor(62, 0), QColor(Qt::black));
  // The box itself shows that frame, scaled to whatever size the screen gave it.
  const QImage shown = form->SpectrumPaintbox->grab().toImage();
  ASSERT_FALSE(shown.isNull());
  EXPECT_NE(shown.pixelColor(62 * shown.width() / frame.width(), shown.height() - 1), QColor(Qt::black));
  form->BtnStop->click();
  EXPECT_EQ(form->SpectrumPaintbox->Frame().pixelColor(62, frame.height() - 1), QColor(Qt::black));
}

}  // namespace
}  // namespace orvela::testing
