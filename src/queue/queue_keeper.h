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
// Every write goes through the atomic writer on the user-interface thread, never
// from the audio threads. A write that fails (a full disk, a read-only program
// folder) is passed over silently: the music goes on, and the next change tries
// again.
#include <string>

#include "queue/tilu_playlist.h"

namespace orvela {

class TQueueKeeper {
 public:
  static constexpr const char* kQueueFileName = "Warteschlange.m3u";
  static constexpr const char* kPlayingFileName = "Warteschlange.spielt";

  // programDir: code page, with or without its trailing "/".
  TQueueKeeper(TTiluPlaylist& queue, std::string programDir);

  // Takes up the queue an unclean end left behind: its titles whose files are
  // still there, in their order, through the queue's Add (so whoever listens
  // to it sees them as chosen), and the queue file rewritten once after them.
  // Answers whether the music was playing then and something is left to play.
  // Without a queue file (the last end was clean) the queue stays as it is and
  // the answer is false.
  bool Restore();
  // Writes the queue as it stands, unless the file already says exactly that.
  void QueueChanged();
  // The music started or resumed (true), or it paused or stopped (false).
  void PlayingChanged(bool playing);
  // A clean end: both files go, and nothing is written any more.
  void Finish();

 private:
  std::string QueuePath() const { return programDir_ + kQueueFileName; }
  std::string PlayingPath() const { return programDir_ + kPlayingFileName; }

  TTiluPlaylist& queue_;
  std::string programDir_;
  // The bytes the queue file holds, as far as this run knows.
  std::string written_;
  bool writtenKnown_ = false;
  bool playing_ = false;
  bool finished_ = false;
};

}  // namespace orvela
