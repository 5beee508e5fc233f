// The cover cache's figures: filling the cache for a collection whose files
// each embed a 500 KB picture (titles per second, all cores, as the covers
// command does), a cached title answered again from disk, and the memory the
// screen's cache takes when a guest pages through far more covers than it keeps.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "child_figures.h"
#include "covers/cover_fixtures.h"
#include "covers/cover_cache.h"
#include "covers/cover_store.h"

namespace {

namespace fs = std::filesystem;

// A photograph-like JPEG of about 500 KB (noise does not compress).
std::string BigJpeg() {
  QImage image(1100, 1100, QImage::Format_RGB32);
  std::uint32_t seed = 12345;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      seed = seed * 1664525u + 1013904223u;
      image.setPixel(x, y, qRgb((x + (seed >> 24)) & 255, (y + (seed >> 16)) & 255, (seed >> 8) & 255));
    }
  }
  for (int quality = 95; quality > 10; quality -= 5) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    if (bytes.size() <= 520 * 1024) return bytes.toStdString();
  }
  return {};
}

// A front cover in an ID3v2.3 tag, then a little of what would be the audio.
std::string Mp3WithCover(const std::string& jpeg) {
  return orvela::testing::Id3v23Tag({{3, jpeg}}) + std::string(4000, '\0');
}

struct Collection {
  fs::path root;
  std::vector<std::string> titles;
  std::size_t pictureBytes = 0;
};

// One file, many names (hard links): 10,000 copies of 500 KB would be 5 GB.
// The reads come from the page cache then, as on a machine that played them.
const Collection& MakeCollection(std::size_t count) {
  static Collection c;
  if (!c.titles.empty()) return c;
  std::string tmpl = (fs::temp_directory_path() / "orvela-bench-covers-XXXXXX").string();
  c.root = mkdtemp(tmpl.data());
  fs::create_directories(c.root / "music");
  const std::string jpeg = BigJpeg();
  c.pictureBytes = jpeg.size();
  const fs::path first = c.root / "music" / "t0.mp3";
  std::ofstream(first, std::ios::binary) << Mp3WithCover(jpeg);
  c.titles.push_back(first.string());
  for (std::size_t i = 1; i < count; ++i) {
    const fs::path link = c.root / "music" / ("t" + std::to_string(i) + ".mp3");
    fs::create_hard_link(first, link);
    c.titles.push_back(link.string());
  }
  return c;
}

void FillAll(const orvela::TCoverStore& store, const std::vector<std::string>& titles, unsigned threads) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < titles.size();) benchmark::DoNotOptimize(store.Fetch(titles[i]));
    });
  }
  for (std::thread& w : workers) w.join();
}

using orvela::bench::ProcessCpuSeconds;

void BM_CoversFill(benchmark::State& state) {
  double cpu = 0;
  const Collection& c = MakeCollection(static_cast<std::size_t>(state.range(0)));
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(c.root / "program");
    fs::create_directories(c.root / "program");
    const orvela::TCoverStore store((c.root / "program").string() + "/", orvela::TCoverCache::kThumbnailPixels);
    state.ResumeTiming();
    const double before = ProcessCpuSeconds();
    FillAll(store, c.titles, threads);
    cpu += ProcessCpuSeconds() - before;
  }
  state.counters["cpu_ms_per_title"] = 1000.0 * cpu / static_cast<double>(state.iterations() * state.range(0));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["threads"] = threads;
  state.counters["picture_KB"] = static_cast<double>(c.pictureBytes) / 1024.0;
}
BENCHMARK(BM_CoversFill)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The second run of the command: every title answered from the cache.
void BM_CoversCached(benchmark::State& state) {
  const Collection& c = MakeCollection(10000);
  const orvela::TCoverStore store((c.root / "program").string() + "/", orvela::TCoverCache::kThumbnailPixels);
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  for (auto _ : state) FillAll(store, c.titles, threads);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 10000);
}
BENCHMARK(BM_CoversCached)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// CoversInMemory/N: the screen's cache (one low-priority worker) asked for N
// different titles with a 500 KB cover each, a page of 60 at a time, each page
// read before the next is asked, as a guest paging through the grid. In a
// child process: its peak and kept resident memory, and what the cache counts.
// Nothing is kept per title outside the budget, so N past the budget's ~650
// covers stands for any collection size, a million titles included.
void BM_CoversInMemory(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const Collection& c = MakeCollection(std::max<std::size_t>(count, 10000));
  orvela::bench::ChildFigures figures;
  double cacheMB = 0;
  int pipeFds[2];
  for (auto _ : state) {
    if (pipe(pipeFds) != 0) break;
    figures = orvela::bench::MeasureInChild([&] {
      int argc = 1;
      char name[] = "bench_covers";
      char* argv[] = {name, nullptr};
      QCoreApplication app(argc, argv);
      const fs::path program = c.root / ("memory-" + std::to_string(getpid()));
      fs::create_directories(program);
      // Left alive for the kept figure, as the screen keeps it; the child ends right after.
      auto* cache = new orvela::TCoverCache(program.string() + "/");
      for (std::size_t first = 0; first < count; first += 60) {
        for (std::size_t i = first; i < std::min(count, first + 60); ++i) cache->Thumbnail(c.titles[i]);
        while (cache->Pending() > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
      }
      const double used = static_cast<double>(cache->MemoryUsed()) / (1024.0 * 1024.0);
      fs::remove_all(program);
      [[maybe_unused]] const ssize_t written = write(pipeFds[1], &used, sizeof used);
      return true;
    });
    close(pipeFds[1]);
    if (read(pipeFds[0], &cacheMB, sizeof cacheMB) != static_cast<ssize_t>(sizeof cacheMB)) cacheMB = -1;
    close(pipeFds[0]);
  }
  state.counters["cache_MB"] = cacheMB;
  state.counters["base_MB"] = figures.baseMB;
  state.counters["peak_MB"] = figures.peakMB;
  state.counters["kept_MB"] = figures.keptMB;
  state.counters["budget_MB"] = static_cast<double>(orvela::TCoverCache::kMemoryBudgetBytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_CoversInMemory)->Arg(600)->Arg(3000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (!MakeCollection(1).root.empty()) fs::remove_all(MakeCollection(1).root);
  return 0;
}
