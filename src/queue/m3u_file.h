#pragma once
// Playlist files in M3U form, plain and extended, as the jukebox reads and
// writes them: code-page text, paths relative to the playlist's own folder.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvela {

// A playlist that cannot be read or written, or that breaks off in the middle
// of an entry; the message is the operator's German text.
// The reason, where one is known, is the system's own wording for a terminal;
// the operator's box shows the message only.
class TPlaylistError : public std::runtime_error {
 public:
  explicit TPlaylistError(const std::string& message, std::string reason = {})
      : std::runtime_error(message), reason_(std::move(reason)) {}
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

struct TM3UEntry {
  std::int32_t Duration = 0;  // whole seconds
  std::string Artist;
  std::string Title;
  std::string FilePath;  // absolute, code page, "/" separators
};

// The most titles one playlist adds to the queue. Far more than an evening
// plays; a file that lists more is a whole disk's listing or no playlist, and
// reading it all would cost memory that grows with every line.
inline constexpr std::size_t kMaxPlaylistEntries = 10000;

// The longest path the system opens. A longer line names no file; reading it
// as one would cost time and memory for nothing.
inline constexpr std::size_t kMaxPathBytes = 4096;

struct TM3UPaths {
  std::vector<std::string> Paths;  // absolute, in file order
  // Beside each path, what its "#EXTINF:" line says after the colon ("" for a
  // path without one): the duration and "artist - title" the list was saved with.
  std::vector<std::string> Infos;
  // An extended list whose last entry has an "#EXTINF" line and no path after it.
  bool MissingLastPath = false;
  // The file lists more than kMaxPlaylistEntries titles; Paths holds the first
  // ones and the rest was not read.
  bool TooManyEntries = false;
  // Lines passed over because the path they name is longer than kMaxPathBytes.
  std::size_t TooLongPaths = 0;
};

// What an "#EXTINF:" text says: the whole seconds before the comma (0 when
// they do not read as a number) and the "artist - title" after it, split at
// its first " - " (no artist when there is none).
TM3UEntry EntryFromInfo(std::string_view info, std::string filePath);

// The folder of a file path, with its trailing "/" ("" when it has none).
std::string FolderOf(std::string_view path);

// The paths a playlist lists, each as it stands on its line (blanks kept) with
// "\" read as "/" and made absolute against `folder` (a trailing "/" is
// optional); ".." steps are taken as the file system takes them where the
// folders exist (see ResolveStepsUp). A path longer than kMaxPathBytes is no
// entry (counted in TooLongPaths). Lines end in CR LF, LF or CR; a UTF-8 byte
// order mark before the first line is passed over. In an extended list a line
// starting with "#" is a comment unless it is an "#EXTINF" line.
TM3UPaths ParseM3U(std::string_view bytes, std::string_view folder);

// An extended playlist: "#EXTM3U", then per entry "#EXTINF:" with the duration
// and "artist - title", and the path relative to `folder`; CR LF after every line.
// `resolvedFolder` is the same folder with its links resolved (see
// ResolvedFolder); "" when the text is all there is.
std::string FormatM3U(const std::vector<TM3UEntry>& entries, std::string_view folder,
                      std::string_view resolvedFolder = {});

// `path` as seen from `folder`: the bare name in the same folder, "../" steps
// for a sibling. Both absolute; a relative `path` is given back as it is.
std::string RelativePath(std::string_view path, std::string_view folder);
// The same for a folder that may be reached through a link: a path below the
// folder goes down from it by name; one that needs "../" steps counts them from
// `resolvedFolder`, where the reader's steps up lead (see ParseM3U).
std::string RelativePath(std::string_view path, std::string_view folder, std::string_view resolvedFolder);

// The folder as it lies on disk, links resolved (code page, with its trailing
// "/"); "" when it cannot be resolved.
std::string ResolvedFolder(std::string_view folder);

// Reading and writing the file itself (code-page paths). Throws TPlaylistError
// with the operator's message when the file cannot be read or written; writing
// replaces the file atomically.
TM3UPaths ReadM3UFile(const std::string& path);
void WriteM3UFile(const std::string& path, const std::vector<TM3UEntry>& entries);

}  // namespace orvela
