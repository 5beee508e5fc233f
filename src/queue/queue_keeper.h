#pragma once
// What the guests chose survives an unclean end of the program (a power cut, a
// crash, kill -9): while the jukebox runs, its queue is kept in the program
// folder as Warteschlange.m3u, rewritten whenever the queue changes, and beside
// it the empty file Warteschlange.spielt while the music plays. A clean end
// removes both, so finding the queue file at start-up means the last run did
// not end cleanly, and the queue is taken up again.
//
// The playing state is a file of its own rather than a line in the playlist:
// the queue file stays a plain playlist that the settings menu or the tool can
// load like any other, and starting or pausing the music touches no more than
// an empty file.
//
// Beside them lie the time of the last start (Warteschlange.start), so that a
// title that ends the program soon after every start does not do so all night,
// and the titles guests may not choose again (Warteschlange.einmal).
//
// Every write goes through the atomic writer on the user-interface thread, never
// from the audio threads. A write that fails (a full disk, a read-only program
// folder) is passed over silently: the music goes on, and the next change tries
// again.
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "queue/tilu_playlist.h"

namespace orvela {

class TQueueKeeper {
 public:
  static constexpr const char* kQueueFileName = "Warteschlange.m3u";
  static constexpr const char* kPlayingFileName = "Warteschlange.spielt";
  static constexpr const char* kStartFileName = "Warteschlange.start";
  static constexpr const char* kPlayedOnceFileName = "Warteschlange.einmal";
  // An unclean end this soon after the start it followed counts as caused by
  // the title then playing: about the length of a long title, since a file
  // may break the program anywhere in it.
  static constexpr double kQuickEndSeconds = 600.0;
  // How long the start-up spends reading the taken-up titles' files; the rest
  // are queued from the queue file's own lines and read when they play.
  static constexpr std::chrono::milliseconds kDefaultReadBudget{500};

  // A line for the operator's log (code page, without date or line break).
  using LogFunction = std::function<void(const std::string& text)>;

  // programDir: code page, with or without its trailing "/".
  TQueueKeeper(TTiluPlaylist& queue, std::string programDir, LogFunction log = {});

  void SetReadBudget(std::chrono::steady_clock::duration budget) { readBudget_ = budget; }

  // Takes up the queue an unclean end left behind, in its order, through the
  // queue's Add (so whoever listens to it sees them as chosen). Titles whose
  // files are missing now (a drive that mounts late) are kept: they are
  // passed over at their turn if still missing then. The queue file is not
  // written again until the queue changes, so a start never shrinks it.
  // After an unclean end within kQuickEndSeconds of the start before it, that
  // start reads no title's file, and with the music playing the title then
  // playing goes to the end of the queue, or is left out when it did so
  // before or is the only one. `nowSeconds` is this start's wall-clock time.
  // Answers whether the music was playing then and something is left to play.
  // Without a queue file (the last end was clean) the queue stays as it is and
  // the answer is false.
  bool Restore(double nowSeconds);
  // Writes the queue as it stands, unless the file already says exactly that.
  void QueueChanged();
  // The music started or resumed (true), or it paused or stopped (false).
  void PlayingChanged(bool playing);
  // The paths of the titles that may not be chosen again; written when they changed.
  void PlayedOnceChanged(const std::vector<std::string>& paths);
  // What Restore found of them after an unclean end (empty otherwise).
  const std::vector<std::string>& RestoredPlayedOnce() const { return restoredPlayedOnce_; }
  // A clean end: the files go, and nothing is written any more.
  void Finish();

 private:
  std::string QueuePath() const { return programDir_ + kQueueFileName; }
  std::string PlayingPath() const { return programDir_ + kPlayingFileName; }
  std::string StartPath() const { return programDir_ + kStartFileName; }
  std::string PlayedOncePath() const { return programDir_ + kPlayedOnceFileName; }
  void Log(const std::string& text) const;
  void WriteStart(double nowSeconds, const std::set<std::string>& moved);

  TTiluPlaylist& queue_;
  std::string programDir_;
  // The program folder with its links resolved, for the paths that lead out of it.
  std::string resolvedDir_;
  LogFunction log_;
  std::chrono::steady_clock::duration readBudget_ = kDefaultReadBudget;
  // The bytes the queue file holds, as far as this run knows.
  std::string written_;
  bool writtenKnown_ = false;
  std::string playedOnceWritten_;
  bool playedOnceKnown_ = false;
  std::vector<std::string> restoredPlayedOnce_;
  bool playing_ = false;
  bool restoring_ = false;
  bool finished_ = false;
};

}  // namespace orvela
