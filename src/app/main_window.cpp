#include "app/main_window.h"
#include "app/phone_desk.h"

#include "app/attract_screen.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "app/attract_screen.h"
#include "app/collection_grid.h"
#include "app/german_toolkit.h"
#include "app/lamp_label.h"
#include "app/led_lamp.h"
#include "app/qt_text.h"
#include "app/queued_post.h"
#include "app/spectrum_box.h"
#include "app/spectrum_painter.h"
#include "collection/collection_table.h"
#include "common/codepage.h"
#include "common/dialogs.h"
#include "common/event_log.h"
#include "common/file_open.h"
#include "common/platform.h"
#include "common/program_folder.h"
#include "common/program_folder_lock.h"
#include "covers/cover_cache.h"
#include "jukebox/date_time.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/idle_watch.h"
#include "jukebox/levelling_settings.h"
#include "jukebox/restriction_filter.h"
#include "playback/loudness_levelling.h"
#include "queue/queue_keeper.h"
#include "queue/tilu_playlist.h"

namespace orvela {

namespace {

const std::string& StartMissingFilesText() {
  static const std::string text = Utf8ToCp1252(
      "Es sind nicht alle benötigten Dateien vorhanden. Orvela Jukebox wird nicht gestartet.");
  return text;
}

const std::string& MenuMissingFilesText() {
  static const std::string text = Utf8ToCp1252(
      "Es sind nicht alle benötigten Dateien vorhanden. Das Menü kann nicht geöffnet werden.");
  return text;
}

const std::string& AlreadyRunningText() {
  static const std::string text = Utf8ToCp1252(
      "Die Jukebox läuft bereits mit diesem Programmordner. Orvela Jukebox wird nicht gestartet.");
  return text;
}

// Says who holds the program folder, or why its lock cannot be taken.
std::string LockRefusalText(const TProgramFolderLock& lock) {
  const std::string notStarted = " Orvela Jukebox wird nicht gestartet.";
  if (lock.HeldElsewhere()) {
    const std::string process = std::to_string(lock.HolderProcess());
    if (lock.HeldByTool()) {
      const std::string tool = TProgramFolderLock::kToolHolder;
      const std::string command = lock.Holder().size() > tool.size() ? lock.Holder().substr(tool.size() + 1) : "";
      return Utf8ToCp1252("Das Werkzeug " + tool + " (Befehl " + command + ", Prozess " + process +
                          ") schreibt gerade in diesen Programmordner." + notStarted);
    }
    if (lock.Holder() == TProgramFolderLock::kJukeboxHolder) return AlreadyRunningText();
    return Utf8ToCp1252("Die Jukebox oder das Werkzeug orvela-jukebox-tool benutzt gerade diesen Programmordner." +
                        notStarted);
  }
  std::string what;
  switch (lock.Error()) {
    case ELOOP:
      what = "ist ein symbolischer Verweis";
      break;
    case EISDIR:
      what = "ist ein Ordner";
      break;
    case EINVAL:
      what = "ist keine gewöhnliche Datei";
      break;
    default:
      what = "lässt sich nicht sperren: " + GermanSystemReason(lock.Error());
  }
  return Utf8ToCp1252("Die Sperrdatei " + lock.Path() + " " + what + "." + notStarted);
}

const char* const kCollectionLoadFailedText =
    "Kann musikliste.xml nicht finden! Orvela Jukebox wird nicht gestartet.";
const char* const kCollectionCloseFailedText = "Musikliste.xml kann nicht gefunden werden!";

}  // namespace

TForm1::TForm1(TForm1Services services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      collectionTable_(std::make_unique<TCollectionTable>(TCollectionTable::CollectionWidths(), true)),
      transferTable_(std::make_unique<TCollectionTable>(TCollectionTable::TransferWidths(), false)) {
  collectionTable_->SetIndexFieldNames("Interpret;Titel");
  CreateControls();
  ShowStatus("leer");
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  // The table goes before the child widgets do: the grid must not reach it.
  DBMusiksammlung->SetTable(nullptr);
  // Nor the cover cache, which goes with the members.
  DBMusiksammlung->SetCoverLookup({});
  if (AttractScreen != nullptr) AttractScreen->SetCoverLookup({});
}

// A folder or a pipe of the same name is no data file: the one would read as
// empty settings, the other would block the start.
TForm1Services RealServices(Dialogs& dialogs, ScreenSaver& screenSaver, MousePointer& mousePointer,
                            Clock& clock, audio::AudioLayer& audioLayer) {
  TForm1Services services;
  services.dialogs = &dialogs;
  services.screenSaver = &screenSaver;
  services.mousePointer = &mousePointer;
  services.clock = &clock;
  services.audioLayerAvailable = &audio::AudioLayer::IsAvailable;
  services.wmaPluginAvailable = &audio::AudioLayer::HasWmaPlugin;
  services.audioLayer = &audioLayer;
  services.sleepOneMillisecond = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
  return services;
}

bool TForm1::FileInProgramDir(const std::string& name) const {
  return IsRegularFile(ResolveCodePagePath(State.ProgramDir + name));
}

bool TForm1::RequiredFilesPresent(const std::vector<std::string>& names) const {
  for (const std::string& name : names) {
    if (!FileInProgramDir(name)) {
      return false;
    }
  }
  return true;
}

void TForm1::FormCreate() {
  State.ProgramDir = services_.programDir;
  if (!State.ProgramDir.empty() && State.ProgramDir.back() != '/') {
    State.ProgramDir += '/';
  }

  // The audio layer and its WMA support take the place the two audio library
  // files had in this list, and keep their turn in it.
  const bool present =
      RequiredFilesPresent({"Jukebox.ini", "Musikliste.xml", "TempMusikliste.xml", "TempGenre.text",
                            "TempInterpret.text", "TempJahr.text"}) &&
      services_.audioLayerAvailable && services_.audioLayerAvailable() &&
      services_.wmaPluginAvailable && services_.wmaPluginAvailable();
  if (!present) {
    FailStart(StartMissingFilesText());
    return;
  }
  // A second jukebox on the same folder would write the collection and the
  // kept queue over the first one's; it leaves before it changes anything.
  std::string folder = ResolveCodePagePath(State.ProgramDir);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // It fails closed: a lock that cannot be had for any reason refuses the start.
  programFolderLock_ = std::make_unique<TProgramFolderLock>(folder, TProgramFolderLock::kJukeboxHolder);
  if (programFolderLock_->State() != TProgramFolderLock::TState::Held) {
    const std::unique_ptr<TProgramFolderLock> refused = std::move(programFolderLock_);
    FailStartOnLock(*refused);
    return;
  }

  State.SavedScreenSaverActive = services_.screenSaver->IsActive();
  State.ScreenSaverStateSaved = true;

  ReadSettings();
  BtnNext->setEnabled(State.NextSwitch);
  BtnStop->setEnabled(State.StopSwitch);

  SetUpPlayer();
  LoadCollection();
  if (State.PlayOnceEnabled) {
    StartPlayOnce(State, collectionTable_->StoredRecordCount());
  } else {
    StopPlayOnce(State);
  }

  // Taken up before the automatic, which then only tops the queue up.
  const bool resumePlaying = !startFailed_ && player_ && KeepQueue();

  LabelTitelJukeWert->setText(QString::number(PlaylistView->topLevelItemCount()));
  Labelmaxwert->setText(QString::number(State.MaxTitles));
  State.ActiveJingle = 0;
  State.FadeAction = TFadeAction::None;
  State.RestrictionActive = false;
  // Queued, not started: the music begins when someone presses "Abspielen".
  if (State.AutomaticEnabled) {
    StartAutomatic();
  } else {
    StopAutomatic();
  }

  SetUpCovers();
  LabelDiodeDoppel->SetLit(State.AllowDuplicates);
  LabelDiodeFade->SetLit(State.FadeEnabled);
  ApplyWindowFrame(State.KioskMode);
  if (player_) SwitchPhones(true);
  // A jukebox restarted after a crash plays on by itself, from the beginning
  // of the title it was playing, as if "Abspielen" had been pressed.
  if (resumePlaying) {
    resumeWaitTicks_ = kResumeWaitTicks;
    TimerWiederaufnahmeTimer();
  }
}

void TForm1::TimerWiederaufnahmeTimer() {
  if (!player_ || player_->Items.empty() || player_->Channel != 0 || player_->GetState() != audio::kStopped) {
    TimerWiederaufnahme->stop();
    return;
  }
  // After a power cut the drive with the music may mount a little after the
  // jukebox starts: its titles would all be passed over at once and the
  // queue lost. The first one is waited for a while.
  if (resumeWaitTicks_ > 0 && !IsRegularFile(ResolveCodePagePath(player_->Items.front()->FilePath))) {
    --resumeWaitTicks_;
    TimerWiederaufnahme->start();
    return;
  }
  PlayFirstOpenable();
  if (player_->Channel != 0 || player_->Items.empty()) {
    TimerWiederaufnahme->stop();
    SelectQueueRow(1);
    UpdateStartTimeEstimate();
  } else {
    // Nothing opens without the sound output (a sound server that comes up
    // after the jukebox): the queue waits, and the start is tried again.
    TimerWiederaufnahme->start();
  }
}

void TForm1::FailStart(const std::string& text) {
  services_.dialogs->ShowMessage(text);
  startFailed_ = true;
  if (services_.terminate) {
    services_.terminate();
  }
}

void TForm1::FailStartOnLock(const TProgramFolderLock& lock) {
  const std::string text = LockRefusalText(lock);
  EventLog(State.ProgramDir + EventLog::kFileName).Append(FormatGermanDateTime(services_.clock->Now()) + " " + text);
  QTimer unseen;
  unseen.setSingleShot(true);
  connect(&unseen, &QTimer::timeout, this, [] { AnswerWaitingBox(); });
  unseen.start(services_.refusedStartBoxWait);
  FailStart(text);
}

bool TForm1::KeepQueue() {
  queueKeeper_ = std::make_unique<TQueueKeeper>(*player_, State.ProgramDir, [this](const std::string& text) {
    EventLog(State.ProgramDir + kEventLogName).Append(FormatGermanDateTime(services_.clock->Now()) + " " + text);
  });
  player_->OnQueueChange = [this](TTiluPlayer*) {
    queueKeeper_->QueueChanged();
    KeepPlayedOnce();
    if (phones_) phones_->QueueChanged();
  };
  // The keeper hears the player's events after the screen's handlers bound to
  // them, which stay as they are.
  const auto alsoTell = [this](TTiluPlayer::Event& event, bool playing) {
    event = [this, screen = std::move(event), playing](TTiluPlayer* sender) {
      if (screen) screen(sender);
      // Whoever stops or pauses the music has decided for the waiting start too.
      if (!playing && TimerWiederaufnahme) TimerWiederaufnahme->stop();
      if (queueKeeper_) queueKeeper_->PlayingChanged(MusicKeptPlaying(playing));
    };
  };
  alsoTell(player_->OnTiluPlay, true);
  alsoTell(player_->OnTiluResume, true);
  alsoTell(player_->OnTiluPause, false);
  alsoTell(player_->OnTiluStop, false);
  TimerWiederaufnahme = new QTimer(this);
  TimerWiederaufnahme->setObjectName(QStringLiteral("TimerWiederaufnahme"));
  TimerWiederaufnahme->setInterval(2000);
  connect(TimerWiederaufnahme, &QTimer::timeout, this, &TForm1::TimerWiederaufnahmeTimer);
  const bool playing = queueKeeper_->Restore(services_.clock->Now() * 86400.0);
  if (State.PlayOnceEnabled) RestorePlayedOnce(queueKeeper_->RestoredPlayedOnce());
  KeepPlayedOnce();
  return playing;
}

bool TForm1::MusicKeptPlaying(bool playing) const {
  // The song's pause is no guest's: a crash during the song must bring the
  // music back, as the song's end would have.
  return playing || (State.BirthdayInterruptedMusic && player_ && player_->GetState() == audio::kPaused);
}

void TForm1::KeepPlayedOnce() {
  if (!queueKeeper_) return;
  std::vector<std::string> paths;
  // Called from the queue's change event, which must not throw.
  try {
    if (!State.PlayOnceEnabled) return queueKeeper_->PlayedOnceChanged(paths);
    const int count = collectionTable_->StoredRecordCount();
    std::vector<bool> open(static_cast<std::size_t>(std::max(count, 0)) + 1, false);
    for (std::int32_t number : State.PlayOnceList.Numbers()) {
      if (number > 0 && number <= count) open[static_cast<std::size_t>(number)] = true;
    }
    for (int number = 1; number <= count; ++number) {
      if (!open[static_cast<std::size_t>(number)]) {
        paths.push_back(collectionTable_->StoredField(number, TCollectionTable::Pfad));
      }
    }
    queueKeeper_->PlayedOnceChanged(paths);
  } catch (const std::exception&) {
    // Without memory for the copy the file keeps the last list.
  }
}

void TForm1::RestorePlayedOnce(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  // By path rather than by number: the numbers belong to one collection file.
  const std::unordered_set<std::string> chosen(paths.begin(), paths.end());
  std::vector<std::int32_t> open;
  for (std::int32_t number : State.PlayOnceList.Numbers()) {
    if (chosen.count(collectionTable_->StoredField(number, TCollectionTable::Pfad)) == 0) open.push_back(number);
  }
  State.PlayOnceList.Clear();
  for (std::int32_t number : open) State.PlayOnceList.Add(number);
}

void TForm1::ReadSettings() {
  const TIniFile ini(State.ProgramDir + "Jukebox.ini");
  State.NextSwitch = ini.ReadBool("Schalter_Einstellungen", "Schalter_Naechster_Titel", true);
  State.StopSwitch = ini.ReadBool("Schalter_Einstellungen", "Schalter_Stop_Titel", true);
  for (QPushButton* jingle : {SpeedButton_Jingle1, SpeedButton_Jingle2, SpeedButton_Jingle3, SpeedButton_Jingle4}) {
    jingle->setEnabled(ini.ReadBool("Schalter_Einstellungen", "Schalter_Jingle", true));
  }
  SliderEdit1->setEnabled(ini.ReadBool("Schalter_Einstellungen", "Schalter_Lautstaerkeregler", true));

  State.MenuCodeActive = ini.ReadBool("Programm", "Passwortaktiv", true);
  State.MenuCode = ReadMenuCode(ini);
  State.BirthdaySongPath = ini.ReadString("Programm", "Geburtstagssong", "");
  // A hand-edited moment that does not read as a date-time counts as day zero,
  // like the default: long past, so an armed birthday mode starts at once.
  State.BirthdayTime = ini.ReadDateTime("Programm", "Geburtzeit", 0.0);
  if (ini.ReadBool("Programm", "Geburtstag", true)) {
    TimerGeburtstag->start();
    LabelDiodeGeburt->SetLit(true);
  } else {
    TimerGeburtstag->stop();
  }
  State.KioskMode = ini.ReadBool("Programm", "Kiosk", true);
  if (ini.ReadBool("Programm", "Bildschirmschoner", true)) {
    services_.screenSaver->SetActive(false);
  }
  services_.mousePointer->Show(!ini.ReadBool("Programm", "Maus", true));
  State.AllowDuplicates = ini.ReadBool("Programm", "TitelDoppel", true);
  State.FadeEnabled = ini.ReadBool("Programm", "Titelausblenden", true);
  State.AutomaticEnabled = ini.ReadBool("Programm", "Automatik", true);
  State.PlayOnceEnabled = ini.ReadBool("Programm", "EinmalSpielen", true);
  State.MaxTitles = ini.ReadInteger("Abspielliste", "max", 0);
  State.JingleSong1 = ini.ReadString("Jingle", "Song_1", "");
  State.JingleSong2 = ini.ReadString("Jingle", "Song_2", "");
  State.JingleSong3 = ini.ReadString("Jingle", "Song_3", "");
  State.JingleSong4 = ini.ReadString("Jingle", "Song_4", "");
}

void TForm1::SetUpPlayer() {
  if (services_.audioLayer == nullptr) {
    return;
  }
  player_ = std::make_unique<TTiluPlaylist>(*services_.audioLayer, QueuedPost(this));
  player_->InitAudio(*services_.dialogs);
  player_->LoadPlugins(State.ProgramDir);
  // The slider's 100 percent; the player clamps it to full volume.
  player_->SetVolume(100.0F);
  // The spectrum draws at the box's design size; the box scales it to the screen.
  player_->CreateSpectrum(kSpectrumDesignWidth, kSpectrumDesignHeight);
  player_->Spectrum()->BarColor = CaptionGradientColor().rgb() & 0xFFFFFF;
  SetUpLevelling();
  BindPlayerEvents();
}

void TForm1::SetUpLevelling() {
  SwitchLevelling(ReadLevellingSettings(TIniFile(State.ProgramDir + "Jukebox.ini")).enabled);
}

void TForm1::SwitchLevelling(bool on) {
  if (!player_ || on == (levelling_ != nullptr)) return;
  if (!on) {
    // The lookups reach into the levelling: gone first.
    player_->SetGainLookup({});
    levelling_.reset();
    return;
  }
  const TLevellingSettings settings = ReadLevellingSettings(TIniFile(State.ProgramDir + "Jukebox.ini"));
  levelling_ = std::make_unique<TLoudnessLevelling>(State.ProgramDir + TLoudnessStore::kFileName,
                                                    settings.targetLufs, QueuedPost(this));
  player_->SetGainLookup([this](const std::string& path) { return levelling_->GainFor(path); },
                         [this](const std::string& path, float gain) { levelling_->GainLowered(path, gain); });
  // Jingles and the birthday song are measured before their first press, not at it;
  // switched on while titles wait, those before they start.
  for (const std::string* path : {&State.JingleSong1, &State.JingleSong2, &State.JingleSong3,
                                  &State.JingleSong4, &State.BirthdaySongPath}) {
    levelling_->Request(*path);
  }
  for (const auto& item : player_->Items) levelling_->Request(item->FilePath);
}

void TForm1::LoadCollection() {
  try {
    collectionTable_->Open();
    collectionTable_->LoadFromFile(State.ProgramDir + "Musikliste.xml");
    collectionTable_->SetFiltered(false);
    // Paid once while the screen comes up rather than by the first guest's key.
    PrepareSearchModes(*collectionTable_);
    const int count = collectionTable_->RecordCount();
    ShowTitleCounts(count, false);
    if (count > 0) ShowCollectionAvailable(false);
    ShowOwnMusicHint();
  } catch (const std::exception&) {
    FailStart(kCollectionLoadFailedText);
    RefreshCollectionGrid();
  }
}

void TForm1::ShowTitleCounts(int count, bool restricted) {
  StaticText_titel_vorhanden->setText(QString::number(count) +
                                      (restricted ? QStringLiteral(" Titel in TempMusiksammlung vorhanden")
                                                  : QStringLiteral(" Titel in Musiksammlung vorhanden")));
  StaticTextSucheGefunden->setText(QString::number(count) + QStringLiteral(" Titel"));
  RefreshCollectionGrid();
}

void TForm1::ShowCollectionAvailable(bool restricted) {
  StaticTextMusikListenStatus->setText(ToQString(restricted ? RestrictedStatusText() : CompleteStatusText()));
  JvLED2->SetColorOn(restricted ? QColor(0xFF, 0xFF, 0x00) : QColor(0x00, 0xFF, 0x00));
  JvLED2->SetActive(true);
}

void TForm1::FormDestroy() {
  try {
    if (player_ && State.FadeEnabled && player_->IsPlaying()) {
      player_->FadeOut();
      // The fade runs inside the audio layer; the window stays deaf meanwhile,
      // which is what a closing jukebox should do.
      for (int i = 0; i < 2000 && services_.sleepOneMillisecond; ++i) {
        services_.sleepOneMillisecond();
      }
    }
  } catch (const std::exception&) {
    services_.dialogs->ShowMessage("Bass.dll kann nicht gefunden werden!");
  }
  ReleaseResources();
}

void TForm1::ReleaseResources() {
  if (State.ScreenSaverStateSaved) {
    services_.screenSaver->SetActive(State.SavedScreenSaverActive);
    State.ScreenSaverStateSaved = false;
  }
  // A clean end: the next start begins with an empty queue, as always.
  if (queueKeeper_) queueKeeper_->Finish();
  // No phone may reach a queue that is going.
  phones_.reset();
  // Its destructor releases the audio layer.
  player_.reset();
  levelling_.reset();
  queueKeeper_.reset();
  StopPlayOnce(State);
  State.AutomaticList.Clear();
  try {
    collectionTable_->SetFiltered(false);
    collectionTable_->Close();
  } catch (const std::exception&) {
    services_.dialogs->ShowMessage(kCollectionCloseFailedText);
  }
}

void TForm1::ShowStatus(const std::string& status) {
  TLampLabel* const lamps[] = {LabelDiodePlay, LabelDiodeStop, LabelDiodePause, LabelDiodeLeer};
  const char* const names[] = {"Play", "Stop", "Pause", "leer"};
  for (int i = 0; i < 4; ++i) {
    lamps[i]->SetLit(status == names[i]);
  }
  if (phones_) phones_->QueueChanged();
}

void TForm1::ApplyWindowFrame(bool kiosk) {
  const bool wasVisible = isVisible();
  if (kiosk) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlag(Qt::FramelessWindowHint, true);
    // Without a window manager (a kiosk PC running the bare X server) nobody
    // honours the full-screen state: take the screen's geometry ourselves.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      setGeometry(screen->geometry());
    }
    setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
  } else {
    setWindowFlag(Qt::FramelessWindowHint, false);
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    // A single border: the design size, not resizable.
    setFixedSize(kDesignClientWidth, kDesignClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect area = screen->availableGeometry();
      QRect frame(QPoint(0, 0), size());
      frame.moveCenter(area.center());
      move(frame.topLeft());
    }
  }
  // Changing the frame hides a shown window; bring it back as it was.
  if (wasVisible) {
    show();
  }
}

void TForm1::RefreshCollectionGrid() {
  if (DBMusiksammlung != nullptr) {
    DBMusiksammlung->Refresh();
  }
}

void TForm1::SpeedButton_MenuClick() {
  if (!RequiredFilesPresent({"Jukebox.ini", "Musikliste.xml", "TempMusikliste.xml"})) {
    services_.dialogs->ShowMessage(MenuMissingFilesText());
    return;
  }
  if (State.MenuCodeActive) {
    // A wrong code is ignored without a word: guests must not learn that one exists.
    if (SearchText() != State.MenuCode) {
      return;
    }
    SetSearchText("");
    try {
      collectionTable_->SetFiltered(false);
    } catch (const std::exception&) {
      // Switching a filter off cannot fail on an open table; a closed one has nothing to show.
    }
    RefreshCollectionGrid();
    // The code's own search found nothing; the count follows the whole collection again.
    StaticTextSucheGefunden->setText(QString::number(collectionTable_->RecordCount()) + QStringLiteral(" Titel"));
  }
  if (openSettingsMenu_) {
    openSettingsMenu_();
  }
}

}  // namespace orvela
