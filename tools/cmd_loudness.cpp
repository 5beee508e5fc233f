// loudness PROGRAM_FOLDER [--jobs N]: measures the loudness of every title of
// PROGRAM_FOLDER/Musikliste.xml that PROGRAM_FOLDER/Lautheit.txt does not know
// yet (or whose file changed since), on all cores, so the running jukebox
// levels every title from its first play instead of measuring it on the way.
//
// Like scan it takes the program folder's lock: while the jukebox runs (it
// writes the same results file) the command refuses and measures nothing.
// Ctrl-C or SIGTERM stops it; what was measured until then is kept (the file
// is also saved every half minute), and the next run goes on where it stopped.
// The status is then 128 + the signal's number.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio_commands.h"
#include "collection/collection_table.h"
#include "collection/table_error.h"
#include "command.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "field_escape.h"
#include "long_command.h"
#include "metadata/tagged_file_survey.h"
#include "playback/loudness_levelling.h"
#include "program_folder_guard.h"

namespace orvela::tool {
namespace {

constexpr const char* kUsage = "usage: orvela-jukebox-tool loudness PROGRAM_FOLDER [--jobs N]\n";
constexpr auto kSaveEvery = std::chrono::seconds(30);

struct Job {
  std::string path;
  TFileStamp stamp;
};

int RunLoudness(const std::vector<std::string>& args) {
  const std::optional<FolderAndJobs> parsed = ParseFolderAndJobs("loudness", args, kUsage);
  if (!parsed) return 2;
  const unsigned jobs = parsed->jobs;
  const std::filesystem::path folder(parsed->folder);
  const std::filesystem::path collectionFile = folder / "Musikliste.xml";
  const std::filesystem::path resultsFile = folder / TLoudnessStore::kFileName;
  std::error_code statError;
  if (!std::filesystem::is_regular_file(collectionFile, statError)) {
    std::fprintf(stderr, "loudness: the collection file %s does not exist; nothing was measured\n",
                 EscapeField(collectionFile.string()).c_str());
    return 1;
  }
  const auto lock = LockProgramFolder("loudness", parsed->folder, "nothing was measured");
  if (!lock) return 1;
  std::string reason;
  if (!MayReplaceFile(resultsFile.string(), &reason)) {
    std::fprintf(stderr, "loudness: %s cannot be written, nothing was measured: %s\n",
                 EscapeField(resultsFile.string()).c_str(), EscapeField(reason).c_str());
    return 1;
  }

  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  try {
    table.LoadFromFile(NativePathToCp1252(collectionFile.string()));
  } catch (const TableError& e) {
    std::fprintf(stderr, "loudness: cannot load the collection, nothing was measured: %s\n",
                 Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }
  // A damaged results file is only measured anew; it is replaced at the end.
  TLoudnessStore store;
  store.Load(resultsFile.string());

  std::vector<Job> todo;
  std::set<std::string> seen;
  std::size_t known = 0, missing = 0, unkeepable = 0;
  for (int row = 0; row < table.RecordCount(); ++row) {
    const std::string path = table.ViewField(row, TCollectionTable::Pfad);
    if (!seen.insert(path).second) continue;
    // The results file keeps one title a line: a name with a line break in it
    // could not be kept, so measuring it would only be counted, never used.
    if (path.find_first_of("\r\n") != std::string::npos) {
      ++unkeepable;
      continue;
    }
    const std::optional<TFileStamp> stamp = TLoudnessStore::StampOf(path);
    if (!stamp) {
      ++missing;
    } else if (store.Find(path, *stamp)) {
      ++known;
    } else {
      todo.push_back({path, *stamp});
    }
  }

  CatchStopSignals();
  std::mutex storeMutex;  // guards store, measured, failed, outOfBounds
  std::size_t measured = 0, failed = 0, outOfBounds = 0;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> cancel{false};
  std::vector<std::thread> workers;
  const Clock::time_point start = Clock::now();
  const unsigned workerCount = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(todo.size(), 1)));
  for (unsigned w = 0; w < workerCount; ++w) {
    workers.emplace_back([&] {
      for (;;) {
        const std::size_t i = next.fetch_add(1);
        if (i >= todo.size() || cancel.load()) return;
        // Measuring hands the whole file to TagLib (its ReplayGain tags) and
        // to FFmpeg, which take every header at its word: a file past the
        // bounds the tag readers keep to (a 50 MB comment, a box tree nested
        // sixty thousand deep) would cost seconds and hundreds of megabytes,
        // or the process.
        if (!FitsReadBounds(todo[i].path)) {
          std::lock_guard<std::mutex> guard(storeMutex);
          ++outOfBounds;
          continue;
        }
        const std::optional<TLoudnessEntry> entry = TLoudnessLevelling::MeasureTitle(todo[i].path, todo[i].stamp, &cancel);
        if (cancel.load()) return;  // cut short: not a result
        std::lock_guard<std::mutex> guard(storeMutex);
        if (entry) {
          store.Put(todo[i].path, *entry);
          ++measured;
        } else {
          ++failed;
        }
      }
    });
  }

  ProgressLine progress(stdout);
  Clock::time_point lastSave = start;
  bool saveFailed = false;
  auto save = [&] {
    std::lock_guard<std::mutex> guard(storeMutex);
    saveFailed = !store.Save(resultsFile.string()) || saveFailed;
    lastSave = Clock::now();
  };
  for (;;) {
    std::size_t done;
    {
      std::lock_guard<std::mutex> guard(storeMutex);
      done = measured + failed + outOfBounds;
    }
    if (done >= todo.size()) break;
    if (StopSignal() != 0) {
      cancel.store(true);
      break;
    }
    char text[112];
    std::snprintf(text, sizeof text, "loudness: %zu of %zu titles measured, %.1f titles/s", done, todo.size(),
                  Rate(done, SecondsSince(start)));
    progress.Show(text);
    if (Clock::now() - lastSave >= kSaveEvery) save();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (std::thread& worker : workers) worker.join();
  progress.Clear();
  save();
  const double seconds = SecondsSince(start);
  if (saveFailed) {
    std::fprintf(stderr, "loudness: %s could not be written; the measurements are lost\n",
                 EscapeField(resultsFile.string()).c_str());
    return 1;
  }
  std::printf("%zu %s measured in %.2f s (%.1f titles/s), %zu already known", measured,
              measured == 1 ? "title" : "titles", seconds, Rate(measured, seconds),
              known);
  if (failed > 0) std::printf(", %zu could not be decoded", failed);
  if (outOfBounds > 0) std::printf(", %zu not measured: headers or tags past the size bounds", outOfBounds);
  if (missing > 0) std::printf(", %zu missing", missing);
  if (unkeepable > 0) {
    std::printf(", %zu not measured: a line break in the file name cannot be kept in %s", unkeepable,
                TLoudnessStore::kFileName);
  }
  if (StopSignal() != 0) {
    std::printf(", interrupted: %zu left for the next run", todo.size() - measured - failed - outOfBounds);
  }
  std::printf("\n");
  return StopSignal() != 0 ? 128 + StopSignal() : 0;
}

const CommandRegistration kLoudness("loudness", kLoudnessUsage, RunLoudness);

}  // namespace
}  // namespace orvela::tool
