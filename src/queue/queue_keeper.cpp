#include "queue/queue_keeper.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/atomic_file.h"
#include "common/file_open.h"
#include "queue/m3u_file.h"

namespace orvela {

namespace {

void RemoveFile(const std::string& codePagePath) {
  std::error_code ignored;
  std::filesystem::remove(ResolveCodePagePath(codePagePath), ignored);
}

}  // namespace

TQueueKeeper::TQueueKeeper(TTiluPlaylist& queue, std::string programDir)
    : queue_(queue), programDir_(std::move(programDir)) {
  if (!programDir_.empty() && programDir_.back() != '/') programDir_ += '/';
}

bool TQueueKeeper::Restore() {
  if (finished_) return false;
  if (!IsOwnFile(ResolveCodePagePath(QueuePath()))) {
    // A marker without its queue belongs to no queue at all.
    RemoveFile(PlayingPath());
    return false;
  }
  const bool wasPlaying = IsOwnFile(ResolveCodePagePath(PlayingPath()));
  playing_ = wasPlaying;
  TM3UPaths listed;
  try {
    listed = ReadM3UFile(QueuePath());
  } catch (const TPlaylistError&) {
    // Nothing to take up; the next change writes the file anew.
  }
  {
    const TTiluPlaylist::TChangeBatch batch(queue_);
    for (const std::string& path : listed.Paths) {
      // A title deleted meanwhile, or on a drive no longer there, is left out
      // here rather than queued for the player to pass over and log later.
      if (IsRegularFile(ResolveCodePagePath(path))) queue_.Add(path);
    }
  }
  QueueChanged();
  if (queue_.Items.empty()) PlayingChanged(false);
  return wasPlaying && !queue_.Items.empty();
}

void TQueueKeeper::QueueChanged() {
  if (finished_) return;
  try {
    std::vector<TM3UEntry> entries;
    entries.reserve(queue_.Items.size());
    for (const auto& item : queue_.Items) {
      entries.push_back({item->Duration, item->Artist, item->Title, item->FilePath});
    }
    std::string bytes = FormatM3U(entries, programDir_);
    if (writtenKnown_ && bytes == written_) return;
    if (WriteOwnFile(ResolveCodePagePathForWriting(QueuePath()), bytes)) {
      written_ = std::move(bytes);
      writtenKnown_ = true;
    }
  } catch (const std::exception&) {
    // Out of memory for a copy of the queue: the file keeps the last one.
    writtenKnown_ = false;
  }
}

void TQueueKeeper::PlayingChanged(bool playing) {
  if (finished_ || playing == playing_) return;
  if (playing) {
    if (!WriteOwnFile(ResolveCodePagePathForWriting(PlayingPath()), "")) return;
  } else {
    RemoveFile(PlayingPath());
  }
  playing_ = playing;
}

void TQueueKeeper::Finish() {
  if (finished_) return;
  finished_ = true;
  // The queue file first: it alone says that the end was unclean.
  RemoveFile(QueuePath());
  RemoveFile(PlayingPath());
}

}  // namespace orvela
