// Jingles and the birthday interruption. A held jingle button ducks the music
// to half and plays its jingle over it; at the birthday moment the music makes
// way for the birthday song, the guest's player buttons are locked while it
// sounds, and afterwards the music comes back. Both play on the player's side
// channels; every step is driven by the window's timers.
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <array>
#include <optional>
#include <string>

#include "app/lamp_label.h"
#include "app/main_window.h"
#include "app/settings_menu.h"
#include "common/dialogs.h"
#include "common/platform.h"
#include "jukebox/jukebox_ini.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

const std::string& JingleSong(const TProgramState& state, int n) {
  switch (n) {
    case 1:
      return state.JingleSong1;
    case 2:
      return state.JingleSong2;
    case 3:
      return state.JingleSong3;
    default:
      return state.JingleSong4;
  }
}

}  // namespace

void TForm1::ConnectJingles() {
  const std::array<QPushButton*, 4> buttons = {SpeedButton_Jingle1, SpeedButton_Jingle2, SpeedButton_Jingle3,
                                               SpeedButton_Jingle4};
  for (int n = 1; n <= 4; ++n) {
    QPushButton* button = buttons[static_cast<std::size_t>(n - 1)];
    connect(button, &QPushButton::pressed, this, [this, n] { JingleButtonPressed(n); });
    connect(button, &QPushButton::released, this, [this, n] { JingleButtonReleased(n); });
  }
  TimerJingle->setSingleShot(true);
  connect(TimerJingle, &QTimer::timeout, this, &TForm1::TimerJingleTimer);
  connect(TimerGeburtstag, &QTimer::timeout, this, &TForm1::TimerGeburtstagTimer);
  TimerGeburstagausblenden->setSingleShot(true);
  connect(TimerGeburstagausblenden, &QTimer::timeout, this, &TForm1::TimerGeburstagausblendenTimer);
  connect(TimerGeburtsongPlay, &QTimer::timeout, this, &TForm1::TimerGeburtsongPlayTimer);
}

// ---- Jingles ---------------------------------------------------------------

void TForm1::JingleButtonPressed(int n) {
  // Another jingle is held, or still fading out: it keeps the channel.
  if (State.ActiveJingle != 0) return;
  State.ActiveJingle = n;
  StartJingle(JingleSong(State, n));
}

void TForm1::JingleButtonReleased(int n) {
  if (State.ActiveJingle == n) ReleaseJingle();
}

void TForm1::StartJingle(const std::string& path) {
  if (!player_) return;
  TSideChannels& side = player_->SideChannels;
  // Halving and doubling a float is exact, so the music comes back to exactly
  // the volume it had.
  State.SavedMusicVolume = side.CurrentVolume * 0.5F;
  player_->SetVolume(State.SavedMusicVolume);
  State.SavedMusicVolume *= 2.0F;
  // A file that does not open leaves the channel silent; the music is ducked all the same.
  side.PlayJingle(path, State.SavedMusicVolume);
}

void TForm1::ReleaseJingle() {
  if (player_) {
    // The volume from before the press wins over a slider moved meanwhile.
    player_->SetVolume(State.SavedMusicVolume);
    player_->SideChannels.SlideJingleVolume(0.0F);
  }
  TimerJingle->start();
}

void TForm1::TimerJingleTimer() {
  if (player_) player_->SideChannels.StopJingle();
  TimerJingle->stop();
  State.ActiveJingle = 0;
}

// ---- Birthday --------------------------------------------------------------

void TForm1::TimerGeburtstagTimer() {
  if (!(services_.clock->Now() > State.BirthdayTime)) return;
  TimerGeburtstag->stop();

  // Disarmed in the file at once, so a restart during or after the song does
  // not repeat it. A refused write must not hold the song back until someone
  // answers the box: the box comes once the interruption is under way.
  std::optional<std::string> writeError;
  try {
    TIniFile(State.ProgramDir + "Jukebox.ini").WriteBool("Programm", "Geburtstag", false);
  } catch (const IniWriteError& e) {
    writeError = e.what();
  }

  // Only music that plays is faded, paused and later resumed: an idle, stopped
  // or paused jukebox stays as it was, and is not started by the song's end.
  State.BirthdayInterruptedMusic = player_ && player_->IsPlaying();
  if (State.BirthdayInterruptedMusic) {
    if (State.FadeEnabled) {
      player_->FadeOut();
      TimerGeburstagausblenden->start();
    } else {
      player_->Pause();
    }
  }
  BtnPlayPause->setEnabled(false);
  BtnStop->setEnabled(false);
  BtnNext->setEnabled(false);
  MainScrollbar->setEnabled(false);
  // The song rises while the music fades: the two cross-fade. It replaces a
  // song that may still fade out from an earlier "Stop".
  State.BirthdaySongFadingOut = false;
  if (player_) player_->SideChannels.PlayBirthdaySong(State.BirthdaySongPath);
  TimerGeburtsongPlay->start();

  if (writeError) services_.dialogs->Error(*writeError);
}

void TForm1::TimerGeburstagausblendenTimer() {
  TimerGeburstagausblenden->stop();
  // A song shorter than the fade (or none at all) has already brought the
  // music back; pausing it now would leave the room silent.
  if (!TimerGeburtsongPlay->isActive()) return;
  if (player_ && State.BirthdayInterruptedMusic && player_->IsPlaying()) player_->Pause();
}

void TForm1::TimerGeburtsongPlayTimer() {
  // Only an ended (or never opened) song ends the interruption; a paused or
  // stalled one does not.
  const int active = player_ ? player_->SideChannels.BirthdaySongActive() : audio::kStopped;
  if (active == audio::kStopped) EndBirthdaySong();
}

void TForm1::EndBirthdaySong() {
  TimerGeburtsongPlay->stop();
  TimerGeburstagausblenden->stop();
  if (player_) {
    if (ResumesAfterBirthday()) player_->Resume(State.FadeEnabled);
    player_->SideChannels.FreeBirthdaySong();
  }
  State.BirthdayInterruptedMusic = false;
  if (THauptmenu* menu = SettingsMenuWindow()) menu->SpeedButtonGeburtstagsongStop->setEnabled(false);
  LabelDiodeGeburt->SetLit(false);
  RestorePlayerButtonsAfterBirthday();
}

void TForm1::EndBirthdaySongFaded() {
  TimerGeburtsongPlay->stop();
  TimerGeburstagausblenden->stop();
  if (player_) {
    if (ResumesAfterBirthday()) player_->Resume(true);
    // The song fades out while the music fades back in; the fade-out timer frees it.
    player_->SideChannels.FadeOutBirthdaySong();
  }
  if (THauptmenu* menu = SettingsMenuWindow()) menu->SpeedButtonGeburtstagsongStop->setEnabled(false);
  State.BirthdayInterruptedMusic = false;
  RestorePlayerButtonsAfterBirthday();
  // A guest's fade that runs already then ends with the song's, each whole.
  State.BirthdaySongFadingOut = true;
  TimerAusblenden->start();
}

bool TForm1::ResumesAfterBirthday() {
  // Music the song interrupted, and only while it is still held: a queue that
  // ran out meanwhile has nothing to resume, and resuming a stopped player
  // would start its last title again from the beginning.
  if (!State.BirthdayInterruptedMusic) return false;
  // A guest's fade that still runs decides what becomes of the music: "Vor"
  // must not bring back the title it skips, Stop or Pause not what they end.
  if (State.FadeAction != TFadeAction::None) return false;
  return player_->GetState() == audio::kPaused || player_->IsPlaying();
}

void TForm1::RestorePlayerButtonsAfterBirthday() {
  // As the file says; a guest's fade that still runs keeps its lock until it ends.
  const TIniFile ini(State.ProgramDir + "Jukebox.ini");
  UpdatePlayerButtons(ini.ReadBool("Schalter_Einstellungen", "Schalter_Naechster_Titel", true),
                      ini.ReadBool("Schalter_Einstellungen", "Schalter_Stop_Titel", true));
}

void TForm1::SpeedButtonGeburtstagsongStopClick() {
  // Nothing to stop once the song is over; resuming would start music that a
  // guest had paused.
  if (!TimerGeburtsongPlay->isActive()) {
    if (THauptmenu* menu = SettingsMenuWindow()) menu->SpeedButtonGeburtstagsongStop->setEnabled(false);
    return;
  }
  // With fade on the song fades out under the returning music instead of
  // breaking off.
  if (State.FadeEnabled) {
    EndBirthdaySongFaded();
  } else {
    EndBirthdaySong();
  }
}

}  // namespace orvela
