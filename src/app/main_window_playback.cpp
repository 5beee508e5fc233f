// The main screen's side of playing the queue: the three player buttons, the
// fades, the queue list, the position bar, the volume and the time displays.
// The first queue entry is the title being played; a title that ends or is
// skipped leaves the queue.
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "app/lamp_label.h"
#include "app/main_window.h"
#include "app/phone_desk.h"
#include "app/qt_text.h"
#include "app/spectrum_box.h"
#include "common/event_log.h"
#include "common/platform.h"
#include "jukebox/date_time.h"
#include "jukebox/playback_time.h"
#include "playback/loudness_levelling.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

// Where the queue list keeps the address of a row's entry (owned by the queue).
constexpr int kEntryRole = Qt::UserRole;

TAudioFile* EntryOf(const QTreeWidgetItem* row) {
  return reinterpret_cast<TAudioFile*>(row->data(0, kEntryRole).value<quintptr>());
}

// How often the automatic fills a queue again that files which have gone
// emptied, before the jukebox gives up with an empty queue: the drive may hold
// the whole collection, and every try costs the screen a moment.
constexpr int kRefillsAfterGoneFiles = 4;

constexpr const char* kPassedOverText = " Titel \xFC" "bersprungen, die Datei l\xE4sst sich nicht \xF6" "ffnen: ";

QString MinSec(std::int64_t seconds) { return QString::fromStdString(FormatMinutesSeconds(seconds)); }

}  // namespace

void TForm1::ConnectPlayback() {
  connect(BtnPlayPause, &QPushButton::clicked, this, &TForm1::BtnPlayPauseClick);
  connect(BtnStop, &QPushButton::clicked, this, &TForm1::BtnStopClick);
  connect(BtnNext, &QPushButton::clicked, this, &TForm1::BtnNextClick);
  connect(Abspielliste_uebernehmen_SpeedBtn, &QPushButton::clicked, this,
          &TForm1::Abspielliste_uebernehmen_SpeedBtnClick);
  TimerAusblenden->setSingleShot(true);
  connect(TimerAusblenden, &QTimer::timeout, this, &TForm1::TimerAusblendenTimer);
  connect(MainTimer, &QTimer::timeout, this, &TForm1::MainTimerTimer);
  connect(TimerJukeZeitGesamt, &QTimer::timeout, this, &TForm1::TimerJukeZeitGesamtTimer);

  // A finger on the bar holds it; letting go (or a tap on the track) applies it.
  connect(MainScrollbar, &QScrollBar::sliderPressed, this, [this] { MainScrollbarScroll(false); });
  connect(MainScrollbar, &QScrollBar::sliderMoved, this, [this] { MainScrollbarScroll(false); });
  connect(MainScrollbar, &QScrollBar::sliderReleased, this, [this] { MainScrollbarScroll(true); });
  connect(MainScrollbar, &QScrollBar::valueChanged, this, [this] {
    if (!settingScrollbar_ && !MainScrollbar->isSliderDown()) MainScrollbarScroll(true);
  });
  connect(SliderEdit1, &QSlider::valueChanged, this, &TForm1::SliderEdit1Change);
  connect(PlaylistView, &QTreeWidget::itemClicked, this, [this] { PlaylistViewClick(); });
  LabelDauer->installEventFilter(this);
  LabelDauerU->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && (watched == LabelDauer || watched == LabelDauerU)) {
    LabelDauerClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::BindPlayerEvents() {
  player_->OnTiluPlay = [this](TTiluPlayer*) { OnTiluPlay(); };
  player_->OnTiluResume = [this](TTiluPlayer*) { OnTiluPlay(); };
  player_->OnTiluPause = [this](TTiluPlayer*) { OnTiluPause(); };
  player_->OnTiluStop = [this](TTiluPlayer*) { OnTiluStop(); };
  player_->OnTiluChange = [this](TTiluPlayer*) { OnTiluChange(); };
  player_->OnTiluEndFile = [this](TTiluPlayer*) { OnTiluEndFile(); };
  player_->OnPlaylistAddItem = [this](TTiluPlaylist*, TAudioFile* item) { OnPlaylistAddItem(item); };
  player_->OnPlaylistClear = [this](TTiluPlayer*) { OnPlaylistClear(); };
  player_->AppendTitleRecord = [this](const TAudioFile& file) { AppendTitleRecord(file); };
}

void TForm1::BtnPlayPauseClick() {
  if (!player_) return;
  const int state = player_->GetState();
  const bool playing = player_->IsPlaying();
  if (State.FadeEnabled && playing) {
    player_->FadeOut();
    StartFade(TFadeAction::Pause);
  } else if (state == audio::kStopped) {
    if (!player_->Items.empty()) PlayFirstOpenable();
  } else if (playing) {
    player_->Pause();
  } else if (state == audio::kPaused) {
    player_->Resume(State.FadeEnabled);
  }
  SelectQueueRow(1);
  UpdateStartTimeEstimate();
}

void TForm1::BtnStopClick() {
  if (!player_) return;
  if (!State.FadeEnabled) {
    SpectrumPaintbox->Clear();
    player_->Stop();
    LabelAbspielJukeWert->setText(MinSec(State.QueueTotalSeconds));
    LabelDauer->setText(QStringLiteral("00:00"));
  } else if (player_->IsPlaying()) {
    player_->FadeOut();
    StartFade(TFadeAction::Stop);
  } else {
    player_->Stop();
    LabelAbspielJukeWert->setText(MinSec(State.QueueTotalSeconds));
  }
  SelectQueueRow(1);
  UpdateStartTimeEstimate();
}

void TForm1::BtnNextClick() {
  NextTitle();
  if (State.AutomaticEnabled) FillQueueAutomatic();
}

bool TForm1::FirstEntryIsLoaded() const {
  const std::int32_t index = player_->ItemIndex;
  if (index < 0 || static_cast<std::size_t>(index) >= player_->Items.size()) return false;
  return player_->Items[static_cast<std::size_t>(index)].get() == player_->CurrentItem && player_->Channel != 0;
}

void TForm1::StartFade(TFadeAction action) {
  // A second press of the same button changes nothing: its timer is not
  // restarted. The birthday song's fade-out may hold the timer already; it
  // then runs this fade's full time too.
  if (State.FadeAction == TFadeAction::None) TimerAusblenden->start();
  State.FadeAction = action;
  UpdatePlayerButtons();
}

void TForm1::NextTitle(bool paused) {
  if (!player_) return;
  const int rows = PlaylistView->topLevelItemCount();
  if (rows > 1) {
    // The loaded title's length leaves the queue time when it is left (at once
    // or when its fade ends). A title that never sounded (skipped during an
    // earlier fade, never started, or one whose file did not open) takes its
    // own length with it now, or the queue time would carry it all night.
    const bool leavingLoaded = FirstEntryIsLoaded();
    if (!leavingLoaded) AddToQueueTotal(-player_->Items[static_cast<std::size_t>(player_->ItemIndex)]->Duration);
    player_->RemoveItem(true);
    delete PlaylistView->takeTopLevelItem(0);
    if (State.FadeEnabled && player_->IsPlaying()) {
      player_->FadeOut();
      StartFade(TFadeAction::NextTitle);
    } else {
      if (leavingLoaded) State.QueueTotalSeconds -= static_cast<std::int32_t>(RoundSeconds(player_->GetLengthSeconds()));
      PlayFirstOpenable(paused);
    }
  } else {
    EmptyQueue();
  }
  LabelTitelJukeWert->setText(QString::number(PlaylistView->topLevelItemCount()));
  SelectQueueRow(1);
  UpdateStartTimeEstimate();
}

void TForm1::StartFirstEntry(bool paused) {
  player_->ItemIndex = 0;
  player_->CurrentItem = player_->Items.front().get();
  player_->Play(player_->CurrentItem, paused);
}

void TForm1::PlayFirstOpenable(bool paused) {
  if (player_->Items.empty()) return;
  // During the birthday song a title that starts waits, paused, for its end;
  // it is never heard before.
  const bool held = paused || TimerGeburtsongPlay->isActive();
  for (int refills = 0;; ++refills) {
    StartFirstEntry(held);
    // Without a sound output nothing opens at all; the queue then waits as it is.
    while (player_->Channel == 0 && player_->OutputOpen() && !player_->Items.empty()) {
      // A file that went away (moved, deleted, a drive unplugged) would otherwise
      // end the music here. Each entry is tried once and then leaves the queue,
      // named in the log for the operator: nobody is at the screen to answer a box.
      const TAudioFile& entry = *player_->Items.front();
      EventLog(State.ProgramDir + kEventLogName)
          .Append(FormatGermanDateTime(services_.clock->Now()) + kPassedOverText + entry.FilePath);
      AddToQueueTotal(-entry.Duration);
      player_->ItemIndex = 0;
      player_->RemoveItem(true);
      delete PlaylistView->takeTopLevelItem(0);
      if (!player_->Items.empty()) StartFirstEntry(held);
    }
    if (!player_->Items.empty()) return;
    EmptyQueue();
    // The automatic's new titles are played as the gone ones would have been:
    // a queue it filled must not wait under "Play" for the night.
    if (!State.AutomaticEnabled || refills == kRefillsAfterGoneFiles) return;
    FillQueueAutomatic();
    if (player_->Items.empty()) return;
  }
}

void TForm1::EmptyQueue() {
  PlaylistView->clear();
  if (player_) player_->Clear();
  ShowQueueEmptied();
}

void TForm1::ShowEmptyTitle() {
  LabelTitel->setText(QString(45, QLatin1Char(':')));
  LabelInterpret->setText(QString(45, QLatin1Char(':')));
  LabelJahr->setText(QStringLiteral("0000"));
  LabelGenre->setText(QString(20, QLatin1Char(':')));
  LabelDauer->setText(QStringLiteral("00:00"));
  if (LabelCover != nullptr) LabelCover->clear();
}

void TForm1::ShowQueueEmptied() {
  // A fade asked for before the queue emptied has nothing left to act on: its
  // timer would take a title's length off an empty queue's time. The birthday
  // song's fade-out still needs the timer to free the song.
  if (State.FadeAction != TFadeAction::None) {
    if (!State.BirthdaySongFadingOut) TimerAusblenden->stop();
    State.FadeAction = TFadeAction::None;
    UpdatePlayerButtons();
  }
  ShowStatus("leer");
  ShowEmptyTitle();
  State.QueueTotalSeconds = 0;
  LabelAbspielJukeWert->setText(QStringLiteral("00:00"));
  LabelTitelJukeWert->setText(QStringLiteral("0"));
  SpectrumPaintbox->Clear();
  settingScrollbar_ = true;
  MainScrollbar->setValue(0);
  settingScrollbar_ = false;
  UpdateStartTimeEstimate();
}

void TForm1::UpdatePlayerButtons() { UpdatePlayerButtons(State.NextSwitch, State.StopSwitch); }

void TForm1::UpdatePlayerButtons(bool nextSwitch, bool stopSwitch) {
  // The birthday song holds them all until it ends. A fade leaves free only
  // the button that started it, so that no second fade takes over its duty.
  const bool free = !TimerGeburtsongPlay->isActive();
  const TFadeAction fade = State.FadeAction;
  const auto allows = [fade](TFadeAction own) { return fade == TFadeAction::None || fade == own; };
  BtnPlayPause->setEnabled(free && allows(TFadeAction::Pause));
  BtnStop->setEnabled(free && stopSwitch && allows(TFadeAction::Stop));
  BtnNext->setEnabled(free && nextSwitch && allows(TFadeAction::NextTitle));
  MainScrollbar->setEnabled(free && fade == TFadeAction::None);
}

void TForm1::TimerAusblendenTimer() {
  TimerAusblenden->stop();
  const TFadeAction action = State.FadeAction;
  State.FadeAction = TFadeAction::None;
  const bool songFadedOut = State.BirthdaySongFadingOut;
  State.BirthdaySongFadingOut = false;
  if (!player_) return;
  if (songFadedOut) player_->SideChannels.FreeBirthdaySong();
  EndFade(action);
}

void TForm1::EndFade(TFadeAction action) {
  // A guest's Stop or Pause that ends during the birthday song holds after it too.
  const bool birthday = TimerGeburtsongPlay->isActive();
  switch (action) {
    case TFadeAction::Stop:
      player_->Stop();
      if (birthday) State.BirthdayInterruptedMusic = false;
      UpdatePlayerButtons();
      LabelAbspielJukeWert->setText(MinSec(State.QueueTotalSeconds));
      LabelDauer->setText(QStringLiteral("00:00"));
      SpectrumPaintbox->Clear();
      break;
    case TFadeAction::NextTitle:
      State.QueueTotalSeconds -= static_cast<std::int32_t>(RoundSeconds(player_->GetLengthSeconds()));
      PlayFirstOpenable();
      UpdatePlayerButtons();
      break;
    case TFadeAction::Pause:
      // The title may have ended during the fade (a stopped player stays
      // stopped), and the one after it may already wait paused.
      if (player_->IsPlaying()) player_->Pause();
      if (birthday) State.BirthdayInterruptedMusic = false;
      UpdatePlayerButtons();
      break;
    case TFadeAction::None:
      break;
  }
}

void TForm1::SetScrollbarFromPlayer() {
  settingScrollbar_ = true;
  MainScrollbar->setValue(static_cast<int>(std::lround(player_->GetProgress() * 100.0)));
  settingScrollbar_ = false;
}

void TForm1::MainTimerTimer() {
  if (!player_) return;
  if (MainScrollbarTag == 0) SetScrollbarFromPlayer();
  TTiluPlayer::SpectrumMagnitudes magnitudes{};
  if (player_->Spectrum() != nullptr && player_->SpectrumData(magnitudes)) {
    SpectrumPaintbox->DrawFrame(*player_->Spectrum(), std::span<const float>(magnitudes.data(), 512));
  }
}

void TForm1::TimerJukeZeitGesamtTimer() {
  if (!player_) return;
  const std::int64_t position = RoundSeconds(player_->GetPositionSeconds());
  LabelAbspielJukeWert->setText(MinSec(State.QueueTotalSeconds - position));
  if (LabelDauerU->text() == QStringLiteral("Restzeit")) {
    LabelDauer->setText(MinSec(RoundSeconds(player_->GetLengthSeconds()) - position));
  } else {
    LabelDauer->setText(MinSec(position));
  }
}

void TForm1::MainScrollbarScroll(bool endOfScroll) {
  if (endOfScroll) {
    if (player_) player_->SetProgress(MainScrollbar->value() / 100.0);
    MainScrollbarTag = 0;
  } else {
    MainScrollbarTag = 1;
  }
  UpdateStartTimeEstimate();
}

void TForm1::SliderEdit1Change() {
  if (player_) player_->SetVolume(static_cast<float>(SliderEdit1->value()) / 100.0F);
}

void TForm1::LabelDauerClick() {
  LabelDauerU->setText(LabelDauerU->text() == QStringLiteral("Abspielzeit") ? QStringLiteral("Restzeit")
                                                                            : QStringLiteral("Abspielzeit"));
}

void TForm1::PlaylistViewClick() { UpdateStartTimeEstimate(); }

void TForm1::SelectQueueRow(int mode) {
  PlaylistView->clearSelection();
  const int rows = PlaylistView->topLevelItemCount();
  if (rows == 0) return;
  const int row = mode == 2 ? rows - 1 : (rows >= 2 ? 1 : 0);
  QTreeWidgetItem* item = PlaylistView->topLevelItem(row);
  item->setSelected(true);
  PlaylistView->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
  PlaylistView->scrollToItem(item);
}

void TForm1::UpdateStartTimeEstimate() {
  int selected = -1;
  std::vector<std::string> durations;
  const int rows = PlaylistView->topLevelItemCount();
  durations.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const QTreeWidgetItem* row = PlaylistView->topLevelItem(i);
    if (selected < 0 && row->isSelected()) selected = i;
    durations.push_back(row->text(1).toStdString());
  }
  const bool playing = player_ && player_->IsPlaying();
  const double position = player_ ? player_->GetPositionSeconds() : 0.0;
  try {
    const std::string now = FormatGermanTime(services_.clock->Now());
    LabeJukeWann->setText(QString::fromStdString(EstimateStartTime(durations, selected, position, playing, now)));
  } catch (const TTimeFormatError&) {
    LabeJukeWann->setText(QStringLiteral("xx:xx Uhr"));
  }
}

void TForm1::AddToQueueTotal(std::int64_t seconds) {
  State.QueueTotalSeconds += static_cast<std::int32_t>(seconds);
  LabelAbspielJukeWert->setText(MinSec(State.QueueTotalSeconds));
}

void TForm1::OnTiluPlay() {
  TimerJukeZeitGesamt->start();
  MainTimer->start();
  BtnPlayPause->setText(QStringLiteral("Pause"));
  ShowStatus("Play");
  RepaintQueueList();
  // Music starting ends the attract screen at once, not at the wait's next step.
  if (TimerLeerlauf != nullptr) TimerLeerlaufTimer();
}

void TForm1::OnTiluPause() {
  TimerJukeZeitGesamt->stop();
  MainTimer->stop();
  BtnPlayPause->setText(QStringLiteral("Weiter"));
  ShowStatus("Pause");
  RepaintQueueList();
}

void TForm1::OnTiluStop() {
  TimerJukeZeitGesamt->stop();
  MainTimer->stop();
  BtnPlayPause->setText(QStringLiteral("Play"));
  if (PlaylistView->topLevelItemCount() > 0) ShowStatus("Stop");
  RepaintQueueList();
}

void TForm1::OnTiluChange() {
  LabelTitel->setText(ToQString(player_->GetTitle()));
  LabelInterpret->setText(ToQString(player_->GetArtist()));
  LabelJahr->setText(ToQString(player_->GetYear()));
  LabelGenre->setText(ToQString(player_->GetGenre()));
  ShowPlayingCover();
}

void TForm1::OnTiluEndFile() {
  const TFadeAction pending = TimerAusblenden->isActive() ? State.FadeAction : TFadeAction::None;
  if (pending != TFadeAction::None) {
    // The fading title ended before its fade did: the fade's step is taken
    // now, once. The timer stays only for the birthday song's fade-out.
    State.FadeAction = TFadeAction::None;
    if (!State.BirthdaySongFadingOut) TimerAusblenden->stop();
  }
  if (pending == TFadeAction::NextTitle) {
    // The title already left the queue.
    EndFade(pending);
  } else {
    // A Stop or Pause asked for during the fade applies to what follows,
    // which therefore starts held.
    NextTitle(pending == TFadeAction::Stop || pending == TFadeAction::Pause);
    EndFade(pending);
  }
  if (State.AutomaticEnabled) FillQueueAutomatic();
}

void TForm1::OnPlaylistAddItem(TAudioFile* item) {
  if (phones_) phones_->EntryAdded(item);
  // Measured while the titles before it play, so it is levelled from its first note.
  if (levelling_) levelling_->Request(item->FilePath);
  auto* row = new QTreeWidgetItem(PlaylistView);
  row->setText(0, ToQString(item->GetDisplayName()));
  AddToQueueTotal(item->Duration);
  row->setText(1, QString::fromStdString(FormatQueueDuration(item->Duration)));
  row->setData(0, kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
  // A new entry is never the title being played: only its own row needs the
  // plain font. Repainting every row here made a playlist's load grow with
  // the square of its length.
  for (int column = 0; column < 2; ++column) row->setFont(column, PlaylistView->font());
  // Whoever queues a title (a guest, the automatic, a playlist) the count follows.
  LabelTitelJukeWert->setText(QString::number(PlaylistView->topLevelItemCount()));
}

void TForm1::OnPlaylistClear() { PlaylistView->clear(); }

void TForm1::RepaintQueueList() {
  const TAudioFile* current = player_ ? player_->CurrentItem : nullptr;
  for (int i = 0; i < PlaylistView->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = PlaylistView->topLevelItem(i);
    const bool bold = current != nullptr && EntryOf(row) == current;
    for (int column = 0; column < 2; ++column) {
      QFont font = PlaylistView->font();
      font.setBold(bold);
      row->setFont(column, font);
    }
  }
}

}  // namespace orvela
