#pragma once
// The settings and running values the main window shares with the settings
// menu, the filter window and the jukebox rules. One instance lives in TForm1
// for the whole run; the rules take it by reference so they stay testable
// without any window.
#include <cstdint>
#include <string>

#include "jukebox/jukebox_ini.h"
#include "jukebox/title_selection.h"

namespace orvela {

// What the fade-out timer does to the music when it fires.
enum class TFadeAction : std::int32_t { None = 0, Stop = 1, NextTitle = 2, Pause = 3 };

// Which way a held arrow button scrolls the browse grid.
enum class TScrollDirection : std::int32_t { None = 0, Down = 1, Up = 2 };

struct TProgramState {
  // Folder of the program file with a trailing "/", code page.
  std::string ProgramDir;

  // Whether the system screen saver was active when the program started, and
  // whether start-up got as far as asking: only then is it restored at the end.
  bool SavedScreenSaverActive = false;
  bool ScreenSaverStateSaved = false;

  // Copied from Jukebox.ini at start-up; the settings menu changes them.
  bool NextSwitch = true;
  bool StopSwitch = true;
  bool MenuCodeActive = true;
  // The code that opens the settings menu while MenuCodeActive is on.
  std::string MenuCode = kDefaultMenuCode;
  std::string BirthdaySongPath;
  double BirthdayTime = 0.0;  // days since 30.12.1899
  bool KioskMode = true;
  bool AllowDuplicates = true;
  bool FadeEnabled = true;
  bool AutomaticEnabled = true;
  bool PlayOnceEnabled = true;
  std::int32_t MaxTitles = 0;
  std::string JingleSong1;
  std::string JingleSong2;
  std::string JingleSong3;
  std::string JingleSong4;

  // Running values.
  std::int32_t QueueTotalSeconds = 0;
  TFadeAction FadeAction = TFadeAction::None;
  // The birthday song fades out under the music the operator's "Stop" brought
  // back; the fade-out timer frees it. Kept apart from FadeAction, so that a
  // guest's fade started meanwhile cannot leave the song's stream behind.
  bool BirthdaySongFadingOut = false;
  std::int32_t ActiveJingle = 0;  // 0 none, 1..4
  float SavedMusicVolume = 1.0f;
  TScrollDirection ScrollDirection = TScrollDirection::None;
  // Whether the birthday song interrupted music that was playing: only such
  // music is faded, paused and resumed around the song.
  bool BirthdayInterruptedMusic = false;

  // Title numbers (storage order) not yet chosen while play-once is on, and
  // those the automatic has not drawn in its pass.
  TRecordNumberList PlayOnceList;
  TRecordNumberList AutomaticList;

  // The restriction filter's flag: every start begins with the whole collection.
  bool RestrictionActive = false;
};

}  // namespace orvela
