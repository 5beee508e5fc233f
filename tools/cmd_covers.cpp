// covers PROGRAM_FOLDER [--jobs N]: makes the cover thumbnail of every title of
// PROGRAM_FOLDER/Musikliste.xml that the cover cache (PROGRAM_FOLDER/Cover)
// does not hold yet, or whose file changed since, on all cores, so the
// jukebox's screen shows every cover at once instead of reading them on the way.
//
// Like scan and loudness it takes the program folder's lock: while the jukebox
// runs (it writes the same cache) the command refuses and reads nothing.
// Ctrl-C or SIGTERM stops it; every thumbnail made until then is kept (each is
// its own file, written whole), and the next run goes on where it stopped. The
// status is then 128 + the signal's number.

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio_commands.h"
#include "collection/collection_table.h"
#include "collection/table_error.h"
#include "command.h"
#include "common/codepage.h"
#include "covers/cover_cache.h"
#include "covers/cover_store.h"
#include "field_escape.h"
#include "long_command.h"
#include "program_folder_guard.h"

namespace orvela::tool {
namespace {

constexpr const char* kUsage = "usage: orvela-jukebox-tool covers PROGRAM_FOLDER [--jobs N]\n";

// A damaged picture is an ordinary answer here (no cover); the image readers'
// complaints about it would bury the progress line.
void QuietImageReaders(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) std::fprintf(stderr, "covers: %s\n", message.toLocal8Bit().constData());
}

int RunCovers(const std::vector<std::string>& args) {
  const std::optional<FolderAndJobs> parsed = ParseFolderAndJobs("covers", args, kUsage);
  if (!parsed) return 2;
  const unsigned jobs = parsed->jobs;
  const std::filesystem::path folder(parsed->folder);
  const std::filesystem::path collectionFile = folder / "Musikliste.xml";
  std::error_code statError;
  if (!std::filesystem::is_regular_file(collectionFile, statError)) {
    std::fprintf(stderr, "covers: the collection file %s does not exist; nothing was read\n",
                 EscapeField(collectionFile.string()).c_str());
    return 1;
  }
  const auto lock = LockProgramFolder("covers", parsed->folder, "nothing was read");
  if (!lock) return 1;

  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  try {
    table.LoadFromFile(NativePathToCp1252(collectionFile.string()));
  } catch (const TableError& e) {
    std::fprintf(stderr, "covers: cannot load the collection, nothing was read: %s\n", Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }
  std::vector<std::string> todo;
  std::set<std::string> seen;
  for (int row = 0; row < table.RecordCount(); ++row) {
    std::string path = table.ViewField(row, TCollectionTable::Pfad);
    if (seen.insert(path).second) todo.push_back(std::move(path));
  }
  seen.clear();

  qInstallMessageHandler(QuietImageReaders);
  const TCoverStore store(folder.string() + "/", TCoverCache::kThumbnailPixels);
  CatchStopSignals();
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> made{0}, kept{0}, without{0}, missing{0}, unsaved{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  const Clock::time_point start = Clock::now();
  const auto workerCount = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(todo.size(), 1)));
  for (unsigned w = 0; w < workerCount; ++w) {
    workers.emplace_back([&] {
      for (;;) {
        const std::size_t i = next.fetch_add(1);
        if (i >= todo.size() || stop.load()) return;
        const std::optional<TCoverThumbnail> thumbnail = store.Fetch(todo[i]);
        if (!thumbnail) {
          ++missing;
        } else if (thumbnail->fromDisk) {
          ++kept;
        } else {
          ++(thumbnail->image.isNull() ? without : made);
          if (!thumbnail->stored) ++unsaved;
        }
      }
    });
  }

  ProgressLine progress(stdout);
  auto done = [&] { return made.load() + kept.load() + without.load() + missing.load(); };
  for (;;) {
    const std::size_t now = done();
    if (now >= todo.size()) break;
    if (StopSignal() != 0) {
      stop.store(true);
      break;
    }
    char text[112];
    std::snprintf(text, sizeof text, "covers: %zu of %zu titles, %.1f titles/s", now, todo.size(),
                  Rate(now, SecondsSince(start)));
    progress.Show(text);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (std::thread& worker : workers) worker.join();
  progress.Clear();
  const double seconds = SecondsSince(start);
  const std::size_t read = made + without;
  std::printf("%zu %s read in %.2f s (%.1f titles/s): %zu with a cover, %zu without; %zu already in the cache",
              read, read == 1 ? "title" : "titles", seconds, Rate(read, seconds), made.load(), without.load(),
              kept.load());
  if (missing > 0) std::printf(", %zu missing", missing.load());
  if (StopSignal() != 0) std::printf(", interrupted: %zu left for the next run", todo.size() - done());
  std::printf("\n");
  if (unsaved > 0) {
    std::fprintf(stderr, "covers: %zu %s could not be written into %s; they are read again next time\n",
                 unsaved.load(), unsaved == 1 ? "thumbnail" : "thumbnails", EscapeField(store.Folder()).c_str());
    return 1;
  }
  return StopSignal() != 0 ? 128 + StopSignal() : 0;
}

const CommandRegistration kCovers("covers", kCoversUsage, RunCovers);

}  // namespace
}  // namespace orvela::tool
