#include "queue/queue_keeper.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "common/atomic_file.h"
#include "common/file_open.h"
#include "queue/m3u_file.h"

namespace orvela {

namespace {

// The start file and the played-once list are a few lines; anything far
// beyond was not written by the jukebox.
constexpr std::size_t kMaxListBytes = std::size_t{16} << 20;

void RemoveFile(const std::string& codePagePath) {
  std::error_code ignored;
  std::filesystem::remove(ResolveCodePagePath(codePagePath), ignored);
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.size() <= kMaxPathBytes) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& codePagePath) {
  const std::optional<std::string> bytes = ReadOwnFile(ResolveCodePagePath(codePagePath), kMaxListBytes);
  if (!bytes) return std::nullopt;
  return Lines(*bytes);
}

std::string JoinLines(double first, const std::vector<std::string>& rest) {
  char number[64];
  std::snprintf(number, sizeof number, "%.3f", first);
  std::string out = std::string(number) + "\n";
  for (const std::string& line : rest) out += line + "\n";
  return out;
}

}  // namespace

TQueueKeeper::TQueueKeeper(TTiluPlaylist& queue, std::string programDir, LogFunction log)
    : queue_(queue), programDir_(std::move(programDir)), log_(std::move(log)) {
  if (!programDir_.empty() && programDir_.back() != '/') programDir_ += '/';
  resolvedDir_ = ResolvedFolder(programDir_);
}

void TQueueKeeper::Log(const std::string& text) const {
  if (log_) log_(text);
}

void TQueueKeeper::WriteStart(double nowSeconds, const std::set<std::string>& moved) {
  WriteOwnFile(ResolveCodePagePathForWriting(StartPath()),
                      JoinLines(nowSeconds, std::vector<std::string>(moved.begin(), moved.end())));
}

bool TQueueKeeper::Restore(double nowSeconds) {
  if (finished_) return false;
  std::optional<double> lastStart;
  std::set<std::string> moved;
  if (const auto lines = ReadLines(StartPath()); lines && !lines->empty()) {
    char* end = nullptr;
    const double value = std::strtod(lines->front().c_str(), &end);
    if (end != lines->front().c_str() && *end == '\0' && std::isfinite(value)) lastStart = value;
    moved.insert(lines->begin() + 1, lines->end());
  }
  if (!IsOwnFile(ResolveCodePagePath(QueuePath()))) {
    // A marker or a list without its queue belongs to no queue at all.
    RemoveFile(PlayingPath());
    RemoveFile(PlayedOncePath());
    WriteStart(nowSeconds, {});
    return false;
  }
  const bool wasPlaying = IsOwnFile(ResolveCodePagePath(PlayingPath()));
  playing_ = wasPlaying;
  // A clock set back since then says nothing about how soon the end came.
  const bool quickEnd = lastStart && nowSeconds >= *lastStart && nowSeconds - *lastStart < kQuickEndSeconds;
  if (const auto lines = ReadLines(PlayedOncePath())) restoredPlayedOnce_ = *lines;

  TM3UPaths listed;
  try {
    listed = ReadM3UFile(QueuePath());
  } catch (const std::exception&) {
    // Nothing to take up; the file stays until the queue changes.
    Log("Die gespeicherte Warteschlange kann nicht gelesen werden: " + QueuePath());
  }
  if (listed.TooLongPaths > 0) {
    Log("Aus der gespeicherten Warteschlange ausgelassen: " + std::to_string(listed.TooLongPaths) +
        " Eintr\xE4ge mit einem Pfad l\xE4nger als " + std::to_string(kMaxPathBytes) + " Bytes");
  }
  if (listed.TooManyEntries) {
    const std::string limit = std::to_string(kMaxPlaylistEntries);
    Log("Die gespeicherte Warteschlange enth\xE4lt mehr als " + limit + " Titel; nur die ersten " + limit +
        " wurden \xFC" "bernommen.");
  }

  bool rewrite = false;
  if (quickEnd && wasPlaying && !listed.Paths.empty()) {
    // The end came soon after the start, while this title played: started
    // again, it would end the program again, all night long.
    const std::string first = listed.Paths.front();
    if (moved.count(first) != 0 || listed.Paths.size() == 1) {
      listed.Paths.erase(listed.Paths.begin());
      listed.Infos.erase(listed.Infos.begin());
      Log("Titel aus der Warteschlange genommen, die Jukebox endete wiederholt kurz nach seinem Start: " + first);
    } else {
      std::rotate(listed.Paths.begin(), listed.Paths.begin() + 1, listed.Paths.end());
      std::rotate(listed.Infos.begin(), listed.Infos.begin() + 1, listed.Infos.end());
      moved.insert(first);
      Log("Titel ans Ende der Warteschlange gestellt, die Jukebox endete kurz nach seinem Start: " + first);
    }
    rewrite = true;
  }
  WriteStart(nowSeconds, moved);

  {
    const TTiluPlaylist::TChangeBatch batch(queue_);
    restoring_ = true;
    // Reading a title's file takes a moment, and a slow drive or a hostile file
    // many; the screen must not wait for a long queue. What the budget leaves
    // unread is queued from the file's own lines. After a quick end no file
    // is read at all: the reading itself may be what ended the program.
    const auto deadline = std::chrono::steady_clock::now() + readBudget_;
    for (std::size_t i = 0; i < listed.Paths.size(); ++i) {
      const std::string& path = listed.Paths[i];
      const bool read = !quickEnd && std::chrono::steady_clock::now() < deadline &&
                        IsRegularFile(ResolveCodePagePath(path));
      if (read) {
        queue_.Add(path);
      } else {
        const TM3UEntry kept = EntryFromInfo(listed.Infos[i], path);
        TAudioFile record;
        record.FilePath = kept.FilePath;
        record.Duration = kept.Duration;
        record.Artist = kept.Artist;
        record.Title = kept.Title;
        queue_.AddUnread(record);
      }
    }
  }
  restoring_ = false;
  if (rewrite) QueueChanged();
  if (queue_.Items.empty()) PlayingChanged(false);
  return wasPlaying && !queue_.Items.empty();
}

void TQueueKeeper::QueueChanged() {
  // What was taken up is on disk already; writing it again could only lose
  // what this start could not take up.
  if (finished_ || restoring_) return;
  try {
    std::vector<TM3UEntry> entries;
    entries.reserve(queue_.Items.size());
    for (const auto& item : queue_.Items) {
      entries.push_back({item->Duration, item->Artist, item->Title, item->FilePath});
    }
    std::string bytes = FormatM3U(entries, programDir_, resolvedDir_);
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

void TQueueKeeper::PlayedOnceChanged(const std::vector<std::string>& paths) {
  if (finished_) return;
  try {
    std::string bytes;
    for (const std::string& path : paths) bytes += path + "\n";
    if (playedOnceKnown_ && bytes == playedOnceWritten_) return;
    if (WriteOwnFile(ResolveCodePagePathForWriting(PlayedOncePath()), bytes)) {
      playedOnceWritten_ = std::move(bytes);
      playedOnceKnown_ = true;
    }
  } catch (const std::exception&) {
    playedOnceKnown_ = false;
  }
}

void TQueueKeeper::Finish() {
  if (finished_) return;
  finished_ = true;
  // The queue file first: it alone says that the end was unclean.
  RemoveFile(QueuePath());
  RemoveFile(PlayingPath());
  RemoveFile(PlayedOncePath());
  RemoveFile(StartPath());
}

}  // namespace orvela
