#pragma once
// The guest-facing jukebox window. Creating it is the program's start-up (the
// data files checked, Jukebox.ini copied into the running settings, the
// collection loaded); destroying it is the shut-down. It owns the running
// settings, the collection table, the transfer table and all timers.
//
// Everything it asks of the system comes in through TForm1Services, so tests
// build it offscreen with scripted services and a scratch program folder.
#include <QImage>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "collection/search_mode.h"
#include "jukebox/program_state.h"

class QFrame;
class QHostAddress;
class QLabel;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QTreeWidget;

namespace orvela {

class Clock;
class Dialogs;
class RandomSource;
class MousePointer;
class ScreenSaver;
class TBackgroundImage;
class TClickLabel;
class TCollectionGrid;
class TCollectionTable;
class TDigitalClock;
class TLampLabel;
class TLedLamp;
class TAudioFile;
class TAttractScreen;
class TCoverCache;
class TIdleWatch;
class THauptmenu;
class TSpectrumBox;
class TTiluPlayer;
class TTiluPlaylist;
class TLoudnessLevelling;
class TProgramFolderLock;
class TQueueKeeper;
class NetworkAddress;
class TPhoneDesk;
class TQrCodeLabel;
struct TPhoneSettings;
namespace audio {
class AudioLayer;
}

struct TForm1Services {
  Dialogs* dialogs = nullptr;
  ScreenSaver* screenSaver = nullptr;
  MousePointer* mousePointer = nullptr;
  Clock* clock = nullptr;
  // Folder of the program file with a trailing "/", code page.
  std::string programDir;
  // Asks the application to end as soon as its event loop runs.
  std::function<void()> terminate;
  // The audio layer and its WMA support: the last two of the required "files".
  std::function<bool()> audioLayerAvailable;
  std::function<bool()> wmaPluginAvailable;
  // The audio layer the player plays through (SDL output in the program, a
  // manual output in tests). Without one, start-up sets up no player.
  audio::AudioLayer* audioLayer = nullptr;
  // Pauses the user-interface thread for one millisecond: the shut-down fade's wait.
  std::function<void()> sleepOneMillisecond;
  // The automatic's draws; without one the window seeds its own generator once.
  RandomSource* random = nullptr;
  // A start refused because the program folder is held (another jukebox, the
  // tool) may show its box behind a running jukebox's kiosk window, where
  // nobody sees it: the box answers itself after this, the refusal is in the
  // log, and the program ends instead of waiting for a finger.
  std::chrono::milliseconds refusedStartBoxWait{60000};
  // The machine's address for the phones' QR code; without one no code shows.
  NetworkAddress* networkAddress = nullptr;
};

// The services of a real run: the given platform services, the audio layer
// with its availability answers, and a real millisecond's sleep. The program
// folder and the terminate request are the caller's.
TForm1Services RealServices(Dialogs& dialogs, ScreenSaver& screenSaver, MousePointer& mousePointer,
                            Clock& clock, audio::AudioLayer& audioLayer);

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDesignClientWidth = 1014;
  static constexpr int kDesignClientHeight = 732;
  static constexpr int kSpectrumDesignWidth = 628;
  static constexpr int kSpectrumDesignHeight = 113;
  // What the jukebox did by itself, for the operator (in the program folder).
  static constexpr const char* kEventLogName = "Jukebox.log";

  explicit TForm1(TForm1Services services, QWidget* parent = nullptr);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The running settings and values shared with the other windows and rules.
  TProgramState State;

  // The one player, which is the queue, from start-up to shut-down; none when
  // start-up failed before it or no audio layer was given.
  TTiluPlaylist* Player() { return player_.get(); }

  TCollectionTable& CollectionTable() { return *collectionTable_; }
  TCollectionTable& TransferTable() { return *transferTable_; }
  // The loudness levelling; none while it is switched off (or without a player).
  const TLoudnessLevelling* Levelling() const { return levelling_.get(); }
  // The settings menu's switch: from the next title on every title, jingle and
  // birthday song is levelled to the target Jukebox.ini names, or plays as
  // decoded. The title playing keeps the gain it started with.
  void SwitchLevelling(bool on);
  const TForm1Services& Services() const { return services_; }

  // Whether start-up asked the application to terminate.
  bool StartFailed() const { return startFailed_; }

  // While the music an unclean end left playing waits for the sound output
  // (a sound server that starts after the jukebox), start-up's "Abspielen" is
  // tried again at every tick, until it plays or someone stops or pauses it.
  // Before that, while the first title's file is missing (a drive that mounts
  // late), it waits at most kResumeWaitTicks ticks; then the titles that are
  // still missing are passed over as always.
  QTimer* TimerWiederaufnahme = nullptr;
  static constexpr int kResumeWaitTicks = 30;
  void TimerWiederaufnahmeTimer();

  // How the settings menu is opened modally; set once that window exists.
  void SetSettingsMenu(std::function<void()> openModal) { openSettingsMenu_ = std::move(openModal); }
  // The settings window, or none while it does not exist (during start-up).
  // The window registers itself when it is created and leaves when destroyed.
  void SetSettingsMenuWindow(THauptmenu* menu) { settingsMenuWindow_ = menu; }
  THauptmenu* SettingsMenuWindow() const { return settingsMenuWindow_; }

  // Lights the player status lamp named "Play", "Stop", "Pause" or "leer" and
  // switches the other three off; any other text leaves all four off.
  void ShowStatus(const std::string& status);
  // The counters and the grid after the collection table's content changed:
  // "n Titel in TempMusiksammlung vorhanden" while restricted, "n Titel in
  // Musiksammlung vorhanden" otherwise, and "n Titel" found.
  void ShowTitleCounts(int count, bool restricted);
  // The status text and the collection lamp, lit yellow while restricted and
  // lime while the whole collection is there.
  void ShowCollectionAvailable(bool restricted);
  // Borderless full screen, or the single-border design size, centred.
  void ApplyWindowFrame(bool kiosk);
  // Repaints the grid from the collection table's view, after any change to it.
  void RefreshCollectionGrid();

  // Search (the on-screen keyboard).
  void ApplySearch();
  void SetSearchModeLed(int mode);
  void SetSearchMode(TSearchMode mode);
  void SearchKeyClick(char cp1252Character);
  void SpeedButton7Click();
  void StaticText_suchenClick();
  void SpeedButton53Click();
  void SpeedButton54Click();
  void SpeedButton53MouseDown();
  void SpeedButton54MouseDown();
  void ScrollButtonMouseUp();
  void TimerScrollTimer();
  // The search text, code page.
  std::string SearchText() const;
  void SetSearchText(const std::string& text);

  void SpeedButton_MenuClick();

  // Playback control and time displays (main_window_playback.cpp).
  void BtnPlayPauseClick();
  void BtnStopClick();
  void BtnNextClick();
  // Removes the title playing now and plays the next; the end of a title too.
  // Paused, the next title waits at its start.
  void NextTitle(bool paused = false);
  void TimerAusblendenTimer();
  void MainTimerTimer();
  void TimerJukeZeitGesamtTimer();
  // The position bar: while it is dragged the timer leaves it alone; its
  // position is applied only when it is let go.
  void MainScrollbarScroll(bool endOfScroll);
  void SliderEdit1Change();
  void LabelDauerClick();
  void PlaylistViewClick();
  // Mode 2 selects the last queue row; any other the next title (row 1), or
  // row 0 when it is the only one.
  void SelectQueueRow(int mode);
  void UpdateStartTimeEstimate();
  void AddToQueueTotal(std::int64_t seconds);
  // The title display's empty texts: 45 colons, "0000", 20 colons, "00:00".
  void ShowEmptyTitle();
  // After the queue was emptied: no playing time, the "leer" lamp, an empty spectrum.
  void ShowQueueEmptied();
  // Stops, empties the queue and its list, and shows the empty queue.
  void EmptyQueue();
  // The guest's player buttons as the operator's switches allow, all locked
  // while the birthday song plays and, during a fade, all but the one that
  // started it.
  void UpdatePlayerButtons();
  // Title selection (main_window_selection.cpp).
  void Abspielliste_uebernehmen_SpeedBtnClick();
  // Queues the current record without any check.
  void AddSelectedTitle();
  // Appends an audio file to the collection as a title record, fields as they are.
  void AppendTitleRecord(const TAudioFile& file);

  // Collection building's updates of the main screen (main_window_collection.cpp).
  // After titles were added to the `titlesBefore` the table held: the counters,
  // and the status text with its lamp when the collection holds titles; the
  // grid shows the new view. With play-once on, the new titles may be chosen
  // once too, and those chosen before stay chosen.
  void ShowCollectionExtended(int titlesBefore);
  // After the collection was removed: empty counters, the title line blanked,
  // the queue cleared (which stops the music), "Musiksammlung ohne Titel" and
  // the lamp off in red; the play-once list starts again.
  void ShowCollectionRemoved();
  // Shows or hides LabelEigeneMusik as the collection stands now
  // (main_window_own_music.cpp).
  void ShowOwnMusicHint();

  // End of collection building's part.

  // The phones' page (main_window_phones.cpp). Switched on or off as
  // Jukebox.ini's phone section says, at once; on, it listens on every address.
  void SwitchPhones(bool on);
  // Listens with these settings on `address` (tests: the loopback, port 0);
  // false, with nothing listening, when the port cannot be opened.
  bool StartPhones(const TPhoneSettings& settings, const QHostAddress& address);
  TPhoneDesk* Phones() { return phones_.get(); }
  // What the QR code says for the machine's address `host`; empty while
  // nothing listens.
  QString PhonePageAddress(const QString& host) const;
  // The QR code with the page's address for the machine's present address,
  // hidden while nothing listens or the machine has no address
  // (main_window_phone_code.cpp). The address is asked again every
  // kPhoneAddressPollMs, so a new DHCP lease shows within a minute.
  static constexpr int kPhoneAddressPollMs = 30000;
  void ShowPhoneCode();

  // The jukebox automatic (main_window_automatic.cpp).
  // Refused, with its message, on a collection of fewer than six titles.
  void StartAutomatic();
  void StopAutomatic();
  // Tops the queue up to five titles drawn over the whole collection; the
  // guest's search and current record stay as they are.
  void FillQueueAutomatic();

  // End of the automatic's part.

  // Jingles and birthday mode (main_window_jingles.cpp).
  // Jingle button n (1..4) pressed and released: while it is held the music is
  // at half its volume and the jingle sounds. One jingle at a time.
  void JingleButtonPressed(int n);
  void JingleButtonReleased(int n);
  void StartJingle(const std::string& path);
  void ReleaseJingle();
  // 2000 ms after the release: the faded jingle is freed, the buttons are free.
  void TimerJingleTimer();
  // Every second while the birthday mode is armed: starts the interruption once
  // the moment has passed.
  void TimerGeburtstagTimer();
  // 3000 ms into the interruption, with fade on: the faded music is paused,
  // unless the interruption has already ended and brought it back.
  void TimerGeburstagausblendenTimer();
  // Every 500 ms while the birthday song plays: ends the interruption with it.
  void TimerGeburtsongPlayTimer();
  // Ends the interruption: the song is freed, the music it interrupted resumes.
  void EndBirthdaySong();
  // The operator's "Stop" with fade on: the song fades out under the music,
  // and the fade-out timer frees it.
  void EndBirthdaySongFaded();
  // The settings menu's birthday "Stop".
  void SpeedButtonGeburtstagsongStopClick();

 private:
  void ConnectJingles();
  // The guest's player buttons after the interruption, as Jukebox.ini allows them.
  void RestorePlayerButtonsAfterBirthday();
  // Whether the queue's first entry is the title the player has loaded.
  bool FirstEntryIsLoaded() const;
  // Plays the first entry (paused: readied at its start), passing over (and
  // logging) entries whose files do not open; with the automatic on, a queue
  // that empties so is filled again.
  void PlayFirstOpenable(bool paused = false);
  void StartFirstEntry(bool paused);
  void UpdatePlayerButtons(bool nextSwitch, bool stopSwitch);
  // A fade of the music begins: the fade-out timer does `action` at its end.
  void StartFade(TFadeAction action);
  // What a fade of the music was for, once it is silent or its title ended.
  void EndFade(TFadeAction action);
  // Whether the birthday song's end resumes the music.
  bool ResumesAfterBirthday();

 public:
  // End of the jingles' and birthday's part.

  // The restriction filter's updates of the main screen (main_window_restriction.cpp).
  // The settings menu's "Musiksammlung einschränken...", ticked in code (no
  // click handler runs); nothing while that window does not exist.
  void SetRestrictionMenuBox(bool ticked);

  // End of the restriction filter's part.

  // Covers and the attract screen (main_window_covers.cpp); all of it absent
  // while Jukebox.ini has no "[Cover]" switched on.
  TCoverCache* CoverCache() const { return coverCache_.get(); }
  // The picture of a title on the grid, the attract screen and the phones:
  // its cover when known, else its artist's tile; never reads a file.
  QImage CoverOrTile(const std::string& path, const std::string& artist);
  // The clock the attract screen's wait runs on, seconds that only move
  // forward; a steady clock unless a test scripts one.
  void SetIdleClock(std::function<double()> seconds);
  // One step of the wait: the attract screen comes or goes as the idle watch says.
  void TimerLeerlaufTimer();
  // A touch anywhere on the jukebox's windows; true when it only woke the screen.
  bool IdleTouched();
  // The playing title's cover in its panel, or its artist's tile; none while nothing is loaded.
  void ShowPlayingCover();
  TAttractScreen* AttractScreen = nullptr;
  QLabel* LabelCover = nullptr;
  QTimer* TimerLeerlauf = nullptr;

  // 1 while the position bar is held, 0 otherwise.
  int MainScrollbarTag = 0;

  // Controls, under the names the other windows and rules use.
  TBackgroundImage* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* LabelVersion = nullptr;
  QLabel* StaticText_titel_vorhanden = nullptr;
  TLedLamp* JvLED2 = nullptr;
  QLabel* StaticTextMusikListenStatus = nullptr;
  // Under the collection while it holds no music of the venue's own (empty,
  // or the demo alone): how to put one's own music in. Hidden otherwise.
  QLabel* LabelEigeneMusik = nullptr;
  TClickLabel* StaticText_suchen = nullptr;
  QLabel* StaticTextSuchennach = nullptr;
  QLabel* StaticTextSucheGefunden = nullptr;

  QTreeWidget* PlaylistView = nullptr;
  QFrame* Panel4 = nullptr;
  QLabel* LabelTitelJukeWert = nullptr;
  QLabel* LabelAbspielJukeWert = nullptr;
  QLabel* LabeJukeWann = nullptr;
  QLabel* LabelFade = nullptr;
  TLampLabel* LabelDiodeFade = nullptr;
  QLabel* LabelAuto = nullptr;
  TLampLabel* LabelDiodeAuto = nullptr;
  QLabel* LabelDoppel = nullptr;
  TLampLabel* LabelDiodeDoppel = nullptr;
  QLabel* Labelmaxwert = nullptr;

  QFrame* Panel1 = nullptr;
  QLabel* LabelTitel = nullptr;
  QLabel* LabelInterpret = nullptr;
  QLabel* LabelJahr = nullptr;
  QLabel* LabelGenre = nullptr;
  QLabel* LabelDauerU = nullptr;
  QLabel* LabelDauer = nullptr;
  QLabel* LabelStatusPlay = nullptr;
  TLampLabel* LabelDiodePlay = nullptr;
  QLabel* LabelStatusPause = nullptr;
  TLampLabel* LabelDiodePause = nullptr;
  QLabel* LabelStatusStop = nullptr;
  TLampLabel* LabelDiodeStop = nullptr;
  QLabel* LabelStatusLeer = nullptr;
  TLampLabel* LabelDiodeLeer = nullptr;
  QLabel* LabelStatusGeburt = nullptr;
  TLampLabel* LabelDiodeGeburt = nullptr;
  QScrollBar* MainScrollbar = nullptr;

  TCollectionGrid* DBMusiksammlung = nullptr;
  QPushButton* Abspielliste_uebernehmen_SpeedBtn = nullptr;
  QPushButton* SpeedButton53 = nullptr;
  QPushButton* SpeedButton54 = nullptr;
  QPushButton* SpeedButton_Jingle1 = nullptr;
  QPushButton* SpeedButton_Jingle2 = nullptr;
  QPushButton* SpeedButton_Jingle3 = nullptr;
  QPushButton* SpeedButton_Jingle4 = nullptr;
  QFrame* Panel3 = nullptr;
  TSpectrumBox* SpectrumPaintbox = nullptr;
  TQrCodeLabel* QrCodeHandy = nullptr;  // in the spectrum area's right-hand end
  QTimer* TimerHandyAdresse = nullptr;

  QFrame* Panel2 = nullptr;
  // The on-screen keyboard: letters, umlauts, signs and digits.
  QPushButton* SpeedButton1 = nullptr;   // A
  QPushButton* SpeedButton2 = nullptr;   // B
  QPushButton* SpeedButton3 = nullptr;   // C
  QPushButton* SpeedButton4 = nullptr;   // D
  QPushButton* SpeedButton5 = nullptr;   // E
  QPushButton* SpeedButton6 = nullptr;   // F
  QPushButton* SpeedButton7 = nullptr;   // "löschen"
  QPushButton* SpeedButton8 = nullptr;   // G
  QPushButton* SpeedButton9 = nullptr;   // H
  QPushButton* SpeedButton10 = nullptr;  // I
  QPushButton* SpeedButton11 = nullptr;  // J
  QPushButton* SpeedButton12 = nullptr;  // K
  QPushButton* SpeedButton13 = nullptr;  // L
  QPushButton* SpeedButton14 = nullptr;  // M
  QPushButton* SpeedButton15 = nullptr;  // N
  QPushButton* SpeedButton16 = nullptr;  // O
  QPushButton* SpeedButton17 = nullptr;  // P
  QPushButton* SpeedButton18 = nullptr;  // Q
  QPushButton* SpeedButton19 = nullptr;  // R
  QPushButton* SpeedButton20 = nullptr;  // S
  QPushButton* SpeedButton21 = nullptr;  // T
  QPushButton* SpeedButton22 = nullptr;  // U
  QPushButton* SpeedButton23 = nullptr;  // V
  QPushButton* SpeedButton24 = nullptr;  // W
  QPushButton* SpeedButton25 = nullptr;  // X
  QPushButton* SpeedButton26 = nullptr;  // Y
  QPushButton* SpeedButton27 = nullptr;  // Z
  QPushButton* SpeedButton28 = nullptr;  // blank
  QPushButton* SpeedButton29 = nullptr;  // mode "Titel"
  QPushButton* SpeedButton30 = nullptr;  // 1
  QPushButton* SpeedButton31 = nullptr;  // 2
  QPushButton* SpeedButton32 = nullptr;  // 3
  QPushButton* SpeedButton33 = nullptr;  // 4
  QPushButton* SpeedButton34 = nullptr;  // 5
  QPushButton* SpeedButton35 = nullptr;  // 6
  QPushButton* SpeedButton36 = nullptr;  // 7
  QPushButton* SpeedButton37 = nullptr;  // 8
  QPushButton* SpeedButton38 = nullptr;  // 9
  QPushButton* SpeedButton39 = nullptr;  // 0
  QPushButton* SpeedButton40 = nullptr;  // Ä
  QPushButton* SpeedButton41 = nullptr;  // Ö
  QPushButton* SpeedButton42 = nullptr;  // Ü
  QPushButton* SpeedButton43 = nullptr;  // ß
  QPushButton* SpeedButton44 = nullptr;  // -
  QPushButton* SpeedButton45 = nullptr;  // /
  QPushButton* SpeedButton46 = nullptr;  // mode "Jahr"
  QPushButton* SpeedButton47 = nullptr;  // mode "Genre"
  QPushButton* SpeedButton48 = nullptr;  // ?
  QPushButton* SpeedButton49 = nullptr;  // +
  QPushButton* SpeedButton50 = nullptr;  // mode "Interp"
  TLedLamp* JvLED1 = nullptr;
  TLedLamp* JvLED3 = nullptr;
  TLedLamp* JvLED4 = nullptr;
  TLedLamp* JvLED5 = nullptr;

  QSlider* SliderEdit1 = nullptr;
  QPushButton* BtnStop = nullptr;
  QPushButton* BtnNext = nullptr;
  QPushButton* BtnPlayPause = nullptr;
  QPushButton* SpeedButton_Menu = nullptr;
  TDigitalClock* DigitalClock = nullptr;

  QTimer* MainTimer = nullptr;
  QTimer* TimerJukeZeitGesamt = nullptr;
  QTimer* TimerAusblenden = nullptr;
  QTimer* TimerScroll = nullptr;
  QTimer* TimerJingle = nullptr;
  QTimer* TimerGeburtstag = nullptr;
  QTimer* TimerGeburtsongPlay = nullptr;
  QTimer* TimerGeburstagausblenden = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Start-up and shut-down.
  void FormCreate();
  bool RequiredFilesPresent(const std::vector<std::string>& names) const;
  bool FileInProgramDir(const std::string& name) const;
  void ReadSettings();
  void SetUpPlayer();
  // Loudness levelling as Jukebox.ini asks for it (off without its section).
  void SetUpLevelling();
  // Covers, the playing title's picture and the attract screen, as Jukebox.ini asks.
  void SetUpCovers();
  // Titles for the attract screen's wall, drawn from the collection.
  std::vector<std::pair<std::string, std::string>> WallTitles();
  void LoadCollection();
  // Shows why the start is refused and asks the application to end.
  void FailStart(const std::string& text);
  // The program folder's lock was not had: logged, and the box does not wait for ever.
  void FailStartOnLock(const TProgramFolderLock& lock);
  // Keeps the queue in the program folder from now on and takes up the one an
  // unclean end left there; true when its music was playing then.
  bool KeepQueue();
  // The titles guests may not choose again, for the kept queue's companion file.
  void KeepPlayedOnce();
  // Takes the titles an unclean end had marked as chosen out of the play-once list.
  void RestorePlayedOnce(const std::vector<std::string>& paths);
  // Whether the music counts as playing for the kept queue: it plays, or the
  // birthday song holds it paused and gives it back at its end.
  bool MusicKeptPlaying(bool playing) const;
  void FormDestroy();
  void ReleaseResources();

  // The player's and the queue's events (main_window_playback.cpp).
  void BindPlayerEvents();
  void ConnectPlayback();
  void OnTiluPlay();
  void OnTiluPause();
  void OnTiluStop();
  void OnTiluChange();
  void OnTiluEndFile();
  void OnPlaylistAddItem(TAudioFile* item);
  void OnPlaylistClear();
  // The current entry's row in bold, every other row plain.
  void RepaintQueueList();
  void SetScrollbarFromPlayer();

  // Screen building (main_window_layout.cpp).
  void CreateControls();
  QWidget* CreateTopRow(QWidget* parent, int column);
  QWidget* CreateLeftColumn();
  QWidget* CreateCentreColumn();
  QWidget* CreateRightColumn();
  QWidget* CreateKeyboard();
  void CreateTimers();
  void CreatePhoneCode();
  void ConnectSearch();
  // Remembers a control's design font (pixel size) and fixed size, which the
  // screen scales when it is larger than the design size.
  void Style(QWidget* widget, int pixelSize, bool bold, QSize fixedSize = {});
  void ApplyScale();
  int Scaled(int designPixels) const;

  struct StyledWidget {
    QWidget* widget;
    int pixelSize;
    bool bold;
    QSize fixedSize;
  };

  TForm1Services services_;
  std::unique_ptr<TCollectionTable> collectionTable_;
  std::unique_ptr<TCollectionTable> transferTable_;
  // Before the player: the player asks it for gains until its own end.
  // None while levelling is switched off.
  std::unique_ptr<TLoudnessLevelling> levelling_;
  std::unique_ptr<TTiluPlaylist> player_;
  // Held from a successful check of the program folder to the window's end.
  std::unique_ptr<TProgramFolderLock> programFolderLock_;
  std::unique_ptr<TQueueKeeper> queueKeeper_;
  // After the player: it answers the phones from it, so it goes first.
  std::unique_ptr<TPhoneDesk> phones_;
  std::unique_ptr<TCoverCache> coverCache_;
  std::unique_ptr<TIdleWatch> idleWatch_;
  std::function<double()> idleClock_;
  // Artists' tiles already drawn, so a repaint does not draw them again.
  std::unordered_map<std::string, QImage> artistTiles_;
  int wallRound_ = 0;
  bool settingScrollbar_ = false;
  std::function<void()> openSettingsMenu_;
  THauptmenu* settingsMenuWindow_ = nullptr;
  std::unique_ptr<RandomSource> ownRandom_;
  std::vector<StyledWidget> styled_;
  double scale_ = 1.0;
  bool startFailed_ = false;
  int resumeWaitTicks_ = 0;
};

}  // namespace orvela
