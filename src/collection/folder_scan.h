#pragma once
// Walking a folder for the collection builder: the window's scan and the
// terminal's scan both walk with this, so they find the same files in the
// same order.
//
// Order: the matching files of a folder first, then (recursive) each subfolder
// depth-first. The entries of a folder are taken in byte order of their names:
// a Linux folder lists its entries in no order of its own, and the same tree
// must give the same collection every time.
//
// Hidden and read-only files count like any other. A folder that cannot be
// read is passed over, never the end of the walk. A link to a folder is
// followed, but no real folder is walked twice in one walk, so a link loop
// ends. A file whose path the collection cannot hold is left out and counted:
// one with characters the code page lacks (its stored path would name another
// file or none), and one whose path is longer than the collection's path field
// (the stored path would be cut). A matching name that is no regular file when
// its turn comes (removed meanwhile, a link to nothing, a named pipe, a device)
// is passed over and counted; a pipe is never opened.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace orvela {

// The music files a collection is built from: the MP3 files it always took,
// and FLAC, Ogg Vorbis, Opus and MP4 audio (metadata/tagged_file.h).
inline constexpr const char* kMusicFileMask = "*.mp3;*.flac;*.ogg;*.oga;*.opus;*.m4a";

// Whether a file name matches a mask of "*" (any run) and "?" (any one byte),
// A-Z compared without case: "Lied.MP3" matches "*.mp3". A mask may list
// several, separated by ";" as in a file dialog's filter: "*.mp3;*.flac".
bool MatchesMask(std::string_view name, std::string_view mask);

struct TFolderScanCallbacks {
  // Every matching file, as a code-page path, in walk order.
  std::function<void(const std::string& path)> file;
  // After every file and every folder: the caller's moment to let its screen
  // and its signals in. false ends the walk there.
  std::function<bool()> pause;
};

struct TFolderScanResult {
  std::size_t files = 0;              // handed to the file callback
  std::size_t leftOut = 0;            // matching files whose path the collection cannot hold
  std::size_t skipped = 0;            // matching names that were no regular file when read
  std::size_t unreadableFolders = 0;  // folders passed over
  bool stopped = false;               // the pause callback ended the walk
};

struct TFolderScanOptions {
  std::string mask = kMusicFileMask;
  bool recursive = false;
  // Longest code-page path a file may have; 0: no limit.
  std::size_t maxPathBytes = 0;
};

// Walks `nativeFolder` (the path as the file system spells it; a trailing "/"
// is not doubled).
TFolderScanResult ScanFolder(const std::string& nativeFolder, const TFolderScanOptions& options,
                             const TFolderScanCallbacks& callbacks);

// The code-page path a native path is stored under, or nothing when that
// stored path would not lead back to this very file (see above).
bool StoredPathOf(const std::string& nativePath, std::string* cp1252Path);

}  // namespace orvela
