// The collection table at the size of a large venue collection: 100,000 titles.
// Measures what guests and the operator wait for (a key press of the search, a
// change of sort order, stepping through the view, loading and saving the file)
// and how much memory the loaded table keeps. SQLite in memory answers the same
// search as a yardstick.
//
// BM_LoadPeakMemory loads two large files in a child process each and reports the
// peak resident memory the load adds (peak_MB), what the loaded table keeps
// (kept_MB) and both per megabyte of file: a million realistic titles, and a file
// of 104 MB holding nothing but empty rows; and (Arg 2) what the million titles'
// table keeps once every search mode has been used. The files are made once in
// $TMPDIR/orvela_bench_collection.
//
//   cmake -S . -B build-bench -G Ninja -DORVELA_BUILD_BENCH=ON -DORVELA_BUILD_TESTS=OFF
//   cmake --build build-bench --target bench_collection && build-bench/bench/bench_collection
//   build-bench/bench/bench_collection --benchmark_filter=LoadPeakMemory
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "child_figures.h"
#include "generated_titles.h"
#include "collection/collection_table.h"
#include "collection/search_mode.h"
#include "common/codepage.h"

#ifdef ORVELA_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace {

using orvela::bench::ChildFigures;
using orvela::bench::MeasureInChild;
using orvela::bench::Lcg;
using orvela::bench::MakeTitles;
using orvela::bench::Name;
using orvela::bench::kGenres;
using orvela::bench::kWords;

using orvela::TCollectionTable;

constexpr int kTitles = 100000;

struct Collection {
  std::vector<TCollectionTable::Values> rows;
};

const Collection& Generated() {
  static const Collection collection = [] {
    Collection c;
    Lcg rng;
    std::vector<std::string> artists;
    for (int i = 0; i < 9000; ++i) {
      std::string a = Name(rng, 2 + static_cast<int>(rng.Next(3)));
      if (rng.Next(3) != 0) a += " " + Name(rng, 2 + static_cast<int>(rng.Next(3)));
      if (rng.Next(8) == 0) a = "The " + a;
      artists.push_back(a);
    }
    c.rows.reserve(kTitles);
    for (int i = 0; i < kTitles; ++i) {
      // A few artists have many titles, most have a handful.
      const std::string& artist = artists[rng.Next(rng.Next(4) == 0 ? 300 : static_cast<std::uint32_t>(artists.size()))];
      std::string title;
      const int words = 1 + static_cast<int>(rng.Next(5));
      for (int w = 0; w < words; ++w) {
        if (w > 0) title += ' ';
        title += kWords[rng.Next(std::size(kWords))];
      }
      const std::string year = std::to_string(1950 + rng.Next(74));
      char duration[8];
      std::snprintf(duration, sizeof duration, "%.2u:%.2u", 1 + rng.Next(7), rng.Next(60));
      c.rows.push_back({artist, title, "D:\\Musik\\" + artist + "\\" + title + ".mp3",
                        kGenres[rng.Next(std::size(kGenres))], year, duration});
    }
    return c;
  }();
  return collection;
}

std::string CollectionFile() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() / "orvela_bench_collection";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "Musikliste.xml").string();
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    for (const auto& r : Generated().rows) t.AppendRecord(r);
    t.SaveToFile(file);
    return file;
  }();
  return path;
}

std::unique_ptr<TCollectionTable> LoadedTable() {
  auto t = std::make_unique<TCollectionTable>(TCollectionTable::CollectionWidths(), true);
  t->SetIndexFieldNames("Interpret;Titel");
  t->LoadFromFile(CollectionFile());
  return t;
}

// One key press of the search: the filter set and switched on, the count shown,
// the grid on the first record.
void BM_KeyPress(benchmark::State& state) {
  auto t = LoadedTable();
  t->SetFilter("Interpret like'%ab%'");
  t->SetFiltered(true);
  // Two searches neither of which narrows the other, so every iteration filters
  // all rows again (two spellings of one search would be recognised as the same).
  const std::string exprs[] = {"Interpret like'%ab%'", "Interpret like'%ba%'"};
  int i = 0, count = 0;
  for (auto _ : state) {
    t->SetFilter(exprs[i ^= 1]);
    t->SetFiltered(true);
    count = t->RecordCount();
    t->SetRecNo(1);
    benchmark::DoNotOptimize(t->FieldAsString("Pfad"));
  }
  state.counters["matches"] = count;
}
BENCHMARK(BM_KeyPress)->Unit(benchmark::kMillisecond);

void BM_SortChange(benchmark::State& state) {
  auto t = LoadedTable();
  const char* orders[] = {"Titel;Interpret", "Interpret;Titel"};
  t->SetIndexFieldNames(orders[0]);  // the ranks of both fields exist from here on
  int i = 0;
  for (auto _ : state) {
    t->SetIndexFieldNames(orders[i ^= 1]);
    benchmark::DoNotOptimize(t->RecNo());
  }
}
BENCHMARK(BM_SortChange)->Unit(benchmark::kMillisecond);

// The first sort on a field the table has not sorted by yet pays for its sort keys.
void BM_SortChangeFirstTime(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto t = LoadedTable();
    state.ResumeTiming();
    t->SetIndexFieldNames("Genre;Interpret;Titel");
    benchmark::DoNotOptimize(t->RecNo());
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SortChangeFirstTime)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RecNoStepping(benchmark::State& state) {
  auto t = LoadedTable();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const int n = t->RecordCount();
    for (int r = 1; r <= n; ++r) {
      t->SetRecNo(r);
      bytes += t->FieldAsString("Pfad").size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kTitles);
}
BENCHMARK(BM_RecNoStepping)->Unit(benchmark::kMillisecond);

// Restricting inversely: every matching title deleted from the filtered view, one
// DeleteCurrent at a time.
void BM_DeleteFilteredView(benchmark::State& state) {
  int deleted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto t = LoadedTable();
    t->SetFilter("Interpret like'%a%'");
    t->SetFiltered(true);
    state.ResumeTiming();
    deleted = t->RecordCount();
    for (int i = 0; i < deleted; ++i) t->DeleteCurrent();
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.counters["deleted"] = deleted;
}
BENCHMARK(BM_DeleteFilteredView)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadWithSortedView(benchmark::State& state) {
  CollectionFile();
  for (auto _ : state) {
    auto t = LoadedTable();
    benchmark::DoNotOptimize(t->RecordCount());
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(CollectionFile())) / 1e6;
}
BENCHMARK(BM_LoadWithSortedView)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  auto t = LoadedTable();
  const std::string out = CollectionFile() + ".out.xml";
  for (auto _ : state) t->SaveToFile(out);
  std::filesystem::remove(out);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

double ResidentMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

// Resident memory the loaded table adds, after a search and both sort orders
// have built their caches; the parser's buffers are gone by then.
void BM_ResidentMemory(benchmark::State& state) {
  CollectionFile();
  double before = 0, after = 0;
  for (auto _ : state) {
    malloc_trim(0);
    before = ResidentMB();
    auto t = LoadedTable();
    t->SetFilter("Interpret like'%ab%'");
    t->SetFiltered(true);
    t->SetIndexFieldNames("Titel;Interpret");
    t->SetIndexFieldNames("Interpret;Titel");
    malloc_trim(0);
    after = ResidentMB();
    benchmark::DoNotOptimize(t->RecordCount());
  }
  state.counters["table_MB"] = after - before;
}
BENCHMARK(BM_ResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

std::filesystem::path LargeFileFolder() {
  const auto dir = std::filesystem::temp_directory_path() / "orvela_bench_collection";
  std::filesystem::create_directories(dir);
  return dir;
}

// A million titles, saved by the table itself.
std::string MillionTitlesFile() {
  const std::string file = (LargeFileFolder() / "Million.xml").string();
  if (!std::filesystem::exists(file)) {
    MeasureInChild([&file] {
      TCollectionTable t(TCollectionTable::CollectionWidths(), true);
      MakeTitles(1000000, [&t](const TCollectionTable::Values& v) { t.AppendRecord(v); });
      t.SaveToFile(file + ".part");
      std::filesystem::rename(file + ".part", file);
      return true;
    });
  }
  return file;
}

// 104 MB of rows without values: markup and nothing else.
std::string EmptyRowsFile() {
  const std::string file = (LargeFileFolder() / "EmptyRows.xml").string();
  if (!std::filesystem::exists(file)) {
    TCollectionTable empty(TCollectionTable::CollectionWidths(), true);
    empty.SaveToFile(file + ".empty");
    std::ifstream in(file + ".empty", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t rowsAt = bytes.find("</ROWDATA>");
    std::ofstream out(file + ".part", std::ios::binary);
    out << bytes.substr(0, rowsAt);
    const std::string block = [] {
      std::string b;
      for (int i = 0; i < 10000; ++i) b += "<ROW/>";
      return b;
    }();
    for (std::size_t written = 0; written < 104000000; written += block.size()) out << block;
    out << bytes.substr(rowsAt);
    out.close();
    std::filesystem::remove(file + ".empty");
    std::filesystem::rename(file + ".part", file);
  }
  return file;
}

// Loading as the main window does: the table sorted by artist and title.
void BM_LoadPeakMemory(benchmark::State& state) {
  const std::string file = state.range(0) == 1 ? EmptyRowsFile() : MillionTitlesFile();
  const bool searched = state.range(0) == 2;
  const double fileMB = static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
  ChildFigures figures;
  int rows = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) break;
    figures = MeasureInChild([&file, &fds, searched] {
      // Left for the child's end on purpose: what it keeps is measured after the work.
      auto* t = new TCollectionTable(TCollectionTable::CollectionWidths(), true);
      t->SetIndexFieldNames("Interpret;Titel");
      t->LoadFromFile(file);
      if (searched) {
        // Every mode used once with a letter typed: the caches of all four searches
        // and sort orders are what the table keeps after a while in use.
        const std::pair<orvela::TSearchMode, const char*> uses[] = {{orvela::TSearchMode::Titel, "E"},
                                                                    {orvela::TSearchMode::Genre, "R"},
                                                                    {orvela::TSearchMode::Jahr, "1"},
                                                                    {orvela::TSearchMode::Interpret, "E"}};
        for (const auto& [mode, letter] : uses) {
          t->SetIndexFieldNames(orvela::SearchModeIndexFieldNames(mode));
          t->SetFilter(orvela::SearchFilterExpression(mode, letter));
          t->SetFiltered(true);
        }
        t->SetFiltered(false);
      }
      const int count = t->RecordCount();
      [[maybe_unused]] const ssize_t written = write(fds[1], &count, sizeof count);
      return true;
    });
    [[maybe_unused]] const ssize_t got = read(fds[0], &rows, sizeof rows);
    close(fds[0]);
    close(fds[1]);
    state.SetIterationTime(figures.seconds);
  }
  if (!figures.ok) state.SkipWithError("the measuring child failed");
  state.SetLabel(state.range(0) == 0   ? "1,000,000 titles"
                 : state.range(0) == 1 ? "104 MB of empty rows"
                                       : "1,000,000 titles, every mode searched once");
  state.counters["rows"] = rows;
  state.counters["file_MB"] = fileMB;
  state.counters["peak_MB"] = figures.peakMB - figures.baseMB;
  state.counters["kept_MB"] = figures.keptMB - figures.baseMB;
  state.counters["peak_per_file_MB"] = (figures.peakMB - figures.baseMB) / fileMB;
}
BENCHMARK(BM_LoadPeakMemory)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The search on a million titles, as the main window's keyboard drives it: every
// key press sets the whole expression and switches the filter on, "löschen" takes
// the last character back, and the empty text switches the filter off. Reports
// each step's thread CPU time (cpu_ms_<typed text>, "<" after a "löschen", off
// for the last one) and the slowest step (worst_ms, worst_cpu_ms); the time is per
// key press.
std::unique_ptr<TCollectionTable> LoadedMillion() {
  auto t = std::make_unique<TCollectionTable>(TCollectionTable::CollectionWidths(), true);
  t->SetIndexFieldNames("Interpret;Titel");
  t->LoadFromFile(MillionTitlesFile());
  return t;
}

void ApplySearch(TCollectionTable& t, const std::string& typed) {
  if (typed.empty()) {
    t.SetFiltered(false);
  } else {
    t.SetFilter("Interpret like'%" + typed + "%'");
    t.SetFiltered(true);
  }
  benchmark::DoNotOptimize(t.RecordCount());
  benchmark::DoNotOptimize(t.FieldAsString("Pfad"));
}

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void BM_MillionKeyPresses(benchmark::State& state) {
  auto t = LoadedMillion();
  ApplySearch(*t, "E");  // the folded forms of the field exist from here on
  ApplySearch(*t, "");
  const std::string word = "ERIS";
  std::vector<std::string> steps;
  for (std::size_t n = 1; n <= word.size(); ++n) steps.push_back(word.substr(0, n));
  for (std::size_t n = word.size(); n-- > 0;) steps.push_back(word.substr(0, n));
  // Thread CPU time as well as wall time: on a busy machine the wall time also
  // holds the time other programs ran.
  std::vector<double> total(steps.size(), 0.0);
  double worst = 0, worstCpu = 0;
  for (auto _ : state) {
    double all = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = ThreadCpuMs();
      ApplySearch(*t, steps[i]);
      const double cpu = ThreadCpuMs() - cpuStart;
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      total[i] += cpu;
      worst = std::max(worst, ms);
      worstCpu = std::max(worstCpu, cpu);
      all += ms;
    }
    state.SetIterationTime(all / 1000.0 / static_cast<double>(steps.size()));
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::string name = "cpu_ms_" + (steps[i].empty() ? std::string("off") : steps[i]) + (i >= word.size() ? "<" : "");
    state.counters[name] = total[i] / static_cast<double>(state.iterations());
  }
  state.counters["worst_ms"] = worst;
  state.counters["worst_cpu_ms"] = worstCpu;
}
BENCHMARK(BM_MillionKeyPresses)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The mode button on a million titles: a new sort key list with the filter off
// (Arg 0), with "ER" typed (Arg 1), and going round three sort key lists with the
// filter off (Arg 2), so that no change returns to the order just left, and
// going round the four modes' sort key lists (Arg 3).
void BM_MillionSortChange(benchmark::State& state) {
  auto t = LoadedMillion();
  const std::vector<const char*> orders =
      state.range(0) == 3   ? std::vector<const char*>{"Titel;Interpret", "Genre;Interpret;Titel", "Jahr;Interpret;Titel",
                                                       "Interpret;Titel"}
      : state.range(0) == 2 ? std::vector<const char*>{"Titel;Interpret", "Genre;Interpret;Titel", "Interpret;Titel"}
                            : std::vector<const char*>{"Titel;Interpret", "Interpret;Titel"};
  for (const char* o : orders) t->SetIndexFieldNames(o);  // the ranks of every field exist from here on
  if (state.range(0) == 1) ApplySearch(*t, "ER");
  std::size_t i = 0;
  for (auto _ : state) {
    t->SetIndexFieldNames(orders[i++ % orders.size()]);
    benchmark::DoNotOptimize(t->RecNo());
  }
}
BENCHMARK(BM_MillionSortChange)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(10);

// The first change to each mode's sort order after loading a million titles, in
// thread CPU time (cpu_ms_<first field>): what nothing kept can serve. The ranks
// of Interpret and Titel exist from the load; Genre and Jahr pay for theirs here.
void BM_MillionFirstSortChange(benchmark::State& state) {
  const char* const orders[] = {"Titel;Interpret", "Genre;Interpret;Titel", "Jahr;Interpret;Titel"};
  double total[std::size(orders)] = {};
  for (auto _ : state) {
    state.PauseTiming();
    auto t = LoadedMillion();
    state.ResumeTiming();
    for (std::size_t i = 0; i < std::size(orders); ++i) {
      const double cpuStart = ThreadCpuMs();
      t->SetIndexFieldNames(orders[i]);
      benchmark::DoNotOptimize(t->RecNo());
      total[i] += ThreadCpuMs() - cpuStart;
    }
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  for (std::size_t i = 0; i < std::size(orders); ++i) {
    const std::string order = orders[i];
    state.counters["cpu_ms_" + order.substr(0, order.find(';'))] = total[i] / static_cast<double>(state.iterations());
  }
}
BENCHMARK(BM_MillionFirstSortChange)->Unit(benchmark::kMillisecond)->Iterations(3);

// A guest's session on a million titles, every press as the main window handles
// it: a letter or "löschen" sets the mode's expression anew (or switches the filter
// off for an empty text), pressing the search field switches it off, and a mode
// button sets the mode's sort order and searches again with the text typed.
// Each iteration loads the table afresh and goes through the session twice: the
// first round pays for what each column and order needs on first use (cold_*),
// the second is every later session (the per-press figures cpu_ms_<n>_<press>,
// thread CPU time averaged over the iterations). Summaries, in thread CPU time
// and wall time: the slowest key press (letter, "löschen", clearing) and the
// slowest mode button, each for both rounds. The time is per press of the second
// round.
struct Press {
  char kind;  // 't' type, '<' löschen, 'c' clear, 'm' mode
  const char* arg;
};

void BM_MillionSearchSession(benchmark::State& state) {
  const std::vector<Press> presses = {
      {'t', "E"}, {'t', "R"}, {'t', "O"}, {'<', ""}, {'<', ""}, {'<', ""}, {'t', "E"}, {'t', "R"},
      {'m', "titel"}, {'t', "N"}, {'<', ""}, {'c', ""}, {'t', "L"}, {'t', "I"}, {'m', "genre"}, {'c', ""},
      {'t', "R"}, {'t', "O"}, {'m', "jahr"}, {'c', ""}, {'t', "1"}, {'t', "9"}, {'t', "8"}, {'m', "interpret"},
      {'c', ""}, {'t', "A"}, {'m', "titel"}, {'m', "interpret"}, {'c', ""}};
  std::vector<double> total(presses.size(), 0.0);
  // [round][0 key, 1 mode]
  double worstCpu[2][2] = {}, worstWall[2][2] = {};
  // Argument 1: the table is prepared after loading, as the main window does.
  const bool prepared = state.range(0) == 1;
  double prepareMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto t = LoadedMillion();
    if (prepared) {
      const auto start = std::chrono::steady_clock::now();
      orvela::PrepareSearchModes(*t);
      prepareMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    state.ResumeTiming();
    orvela::TSearchMode mode = orvela::TSearchMode::Interpret;
    std::string typed;
    double all = 0;
    for (int round = 0; round < 2; ++round) {
      for (std::size_t i = 0; i < presses.size(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        switch (presses[i].kind) {
          case 't': typed += presses[i].arg; break;
          case '<': if (!typed.empty()) typed.pop_back(); break;
          case 'c': typed.clear(); break;
          case 'm':
            mode = *orvela::SearchModeFromName(presses[i].arg);
            t->SetIndexFieldNames(orvela::SearchModeIndexFieldNames(mode));
            break;
        }
        if (typed.empty()) {
          t->SetFiltered(false);
        } else {
          t->SetFilter(orvela::SearchFilterExpression(mode, typed));
          t->SetFiltered(true);
        }
        benchmark::DoNotOptimize(t->RecordCount());
        benchmark::DoNotOptimize(t->FieldAsString("Pfad"));
        const double cpu = ThreadCpuMs() - cpuStart;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const int kind = presses[i].kind == 'm' ? 1 : 0;
        worstCpu[round][kind] = std::max(worstCpu[round][kind], cpu);
        worstWall[round][kind] = std::max(worstWall[round][kind], ms);
        if (round == 1) {
          total[i] += cpu;
          all += ms;
        }
      }
    }
    state.SetIterationTime(all / 1000.0 / static_cast<double>(presses.size()));
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  for (std::size_t i = 0; i < presses.size(); ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "cpu_ms_%02zu_%c%s", i, presses[i].kind, presses[i].arg);
    state.counters[name] = total[i] / static_cast<double>(state.iterations());
  }
  state.counters["prepare_ms"] = prepareMs / static_cast<double>(state.iterations());
  state.counters["cold_worst_key_cpu_ms"] = worstCpu[0][0];
  state.counters["cold_worst_mode_cpu_ms"] = worstCpu[0][1];
  state.counters["cold_worst_key_ms"] = worstWall[0][0];
  state.counters["cold_worst_mode_ms"] = worstWall[0][1];
  state.counters["worst_key_cpu_ms"] = worstCpu[1][0];
  state.counters["worst_mode_cpu_ms"] = worstCpu[1][1];
  state.counters["worst_key_ms"] = worstWall[1][0];
  state.counters["worst_mode_ms"] = worstWall[1][1];
}
BENCHMARK(BM_MillionSearchSession)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef ORVELA_HAVE_SQLITE
// The same search in SQLite, in memory, with an index that serves the ORDER BY.
void BM_SqliteKeyPress(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db, "CREATE TABLE t(Interpret TEXT, Titel TEXT, Pfad TEXT, Genre TEXT, Jahr TEXT, Dauer TEXT)", nullptr,
               nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
  for (const auto& r : Generated().rows) {
    for (int f = 0; f < 6; ++f) {
      const std::string utf8 = orvela::Cp1252ToUtf8(r[f]);
      sqlite3_bind_text(insert, f + 1, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "CREATE INDEX byArtist ON t(Interpret, Titel)", nullptr, nullptr, nullptr);

  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db, "SELECT Pfad FROM t WHERE Interpret LIKE '%ab%' ORDER BY Interpret, Titel", -1, &query,
                     nullptr);
  int count = 0;
  for (auto _ : state) {
    count = 0;
    while (sqlite3_step(query) == SQLITE_ROW) {
      if (count == 0) benchmark::DoNotOptimize(sqlite3_column_text(query, 0));
      ++count;
    }
    sqlite3_reset(query);
  }
  state.counters["matches"] = count;
  sqlite3_finalize(query);
  sqlite3_close(db);
}
BENCHMARK(BM_SqliteKeyPress)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
