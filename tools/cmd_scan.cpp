// scan [--recursive] FOLDER PROGRAM_FOLDER: what the collection building
// window's scan does, without a screen: every music file (MP3, FLAC, Ogg,
// Opus, M4A: kMusicFileMask) of FOLDER, and with --recursive of its subfolders,
// is read and appended as a title record to
// PROGRAM_FOLDER/Musikliste.xml, which is written once at the end.
//
// Ctrl-C or SIGTERM stops the walk after the file being read; what was scanned
// until then is saved all the same, and the status is 128 + the signal's number
// so a script knows the scan is incomplete. A collection file that is missing,
// cannot be read or cannot be replaced ends the run with status 1 before
// anything is read, and so does a program folder in use by the running jukebox
// or another command.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "collection/folder_scan.h"
#include "collection/title_record.h"
#include "command.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_open.h"
#include "field_escape.h"
#include "long_command.h"
#include "metadata/audio_file.h"
#include "program_folder_guard.h"

namespace orvela::tool {
namespace {

constexpr const char* kUsage = "usage: orvela-jukebox-tool scan [--recursive] FOLDER PROGRAM_FOLDER\n";

int RunScan(const std::vector<std::string>& args) {
  bool recursive = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "--recursive") {
      recursive = true;
    } else if (!arg.empty() && arg[0] != '-') {
      paths.push_back(arg);
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  if (paths.size() != 2) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  // The walk's paths are what the collection stores: a relative folder would
  // store titles only a run from this working folder could find.
  std::string folder = paths[0];
  std::error_code absoluteError;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, absoluteError);
  if (!absoluteError && !ResolveStepsUp(absolute.string(), &folder)) folder = absolute.lexically_normal().string();
  const std::filesystem::path collectionFile = std::filesystem::path(paths[1]) / "Musikliste.xml";
  const std::string shownFile = EscapeField(collectionFile.string());

  std::error_code folderError;
  if (!std::filesystem::is_directory(folder, folderError)) {
    std::fprintf(stderr, "scan: %s is not a folder; nothing was scanned\n", EscapeField(paths[0]).c_str());
    return 1;
  }
  // Nothing is read before the collection is known to be there: a scan of
  // hours into a file that cannot be written back would be lost.
  std::error_code statError;
  const auto status = std::filesystem::status(collectionFile, statError);
  if (!std::filesystem::exists(status)) {
    std::fprintf(stderr, "scan: the collection file %s does not exist; nothing was scanned\n", shownFile.c_str());
    return 1;
  }
  if (!std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "scan: %s is not a file; nothing was scanned\n", shownFile.c_str());
    return 1;
  }
  const auto lock = LockProgramFolder("scan", paths[1], "nothing was scanned");
  if (!lock) return 1;
  std::string reason;
  if (!MayReplaceFile(collectionFile.string(), &reason)) {
    std::fprintf(stderr, "scan: the collection file cannot be written, nothing was scanned: %s\n",
                 EscapeField(reason).c_str());
    return 1;
  }
  const std::string storedFile = NativePathToCp1252(collectionFile.string());
  // Storage order, no sort key: appending stays cheap however large the collection.
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  try {
    table.LoadFromFile(storedFile);
  } catch (const TableError& e) {
    std::fprintf(stderr, "scan: cannot load the collection, nothing was scanned: %s\n",
                 Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }

  CatchStopSignals();
  TFolderScanOptions options;
  options.mask = kMusicFileMask;
  options.recursive = recursive;
  options.maxPathBytes = table.FieldWidth(TCollectionTable::Pfad);
  ProgressLine progress(stderr);
  const Clock::time_point start = Clock::now();
  std::size_t appended = 0;
  TFolderScanCallbacks callbacks;
  callbacks.file = [&](const std::string& path) {
    TAudioFile file;
    file.LoadFromFile(path);
    AppendTitleRecord(table, file);
    ++appended;
  };
  callbacks.pause = [&] {
    if (progress.Due()) {
      char text[96];
      std::snprintf(text, sizeof text, "scan: %zu files read, %.0f files/s", appended, Rate(appended, SecondsSince(start)));
      progress.Show(text);
    }
    return StopSignal() == 0;
  };
  const TFolderScanResult result = ScanFolder(folder, options, callbacks);
  progress.Clear();

  try {
    table.SaveToFile(storedFile);
  } catch (const TableError& e) {
    std::fprintf(stderr, "scan: %zu titles read but not saved: %s\n", appended, Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }
  const double seconds = SecondsSince(start);
  std::printf("%zu %s added in %.2f s (%.0f files/s)", appended, appended == 1 ? "title" : "titles", seconds,
              Rate(appended, seconds));
  if (result.leftOut > 0) {
    std::printf(", %zu %s left out (names the collection cannot hold)", result.leftOut,
                result.leftOut == 1 ? "file" : "files");
  }
  if (result.skipped > 0) {
    std::printf(", %zu %s skipped (gone or not a regular file)", result.skipped, result.skipped == 1 ? "file" : "files");
  }
  if (result.unreadableFolders > 0) {
    std::printf(", %zu %s could not be read", result.unreadableFolders,
                result.unreadableFolders == 1 ? "folder" : "folders");
  }
  if (result.stopped) std::printf(", interrupted: the rest was not scanned");
  std::printf("\n");
  return result.stopped && StopSignal() != 0 ? 128 + StopSignal() : 0;
}

const CommandRegistration kScan("scan",
                                "scan [--recursive] FOLDER PROGRAM_FOLDER\n"
                                "                   append the music files of FOLDER (*.mp3 *.flac *.ogg *.oga *.opus\n"
                                "                   *.m4a) to PROGRAM_FOLDER/Musikliste.xml",
                                RunScan);

}  // namespace
}  // namespace orvela::tool
