// Reading Jukebox.ini as the main window does at start-up: 23 reads, each of which
// loads the file afresh. The delivered file is what a venue has; the same file
// behind 16 MB of blank lines (just below the 16 MiB the reader accepts) is what
// a damaged or hand-mangled file may look like, and must still cost no more than
// its reading. Each figure comes from a child process of its own: the time of the
// 23 reads and the peak resident memory they add (peak_MB). One write of a key
// (read, change, replace) is measured the same way, and so are the settings
// menu's twenty values written one by one and as one batch.
//
//   cmake -S . -B build-bench -G Ninja -DORVELA_BUILD_BENCH=ON -DORVELA_BUILD_TESTS=OFF
//   cmake --build build-bench --target bench_jukebox_ini && build-bench/bench/bench_jukebox_ini
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "child_figures.h"
#include "common/codepage.h"
#include "jukebox/jukebox_ini.h"

namespace {

using orvela::bench::ChildFigures;
using orvela::bench::MeasureInChild;

using orvela::TIniFile;

std::string Delivered() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "assets/data/Jukebox.ini";
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The settings file of a test case, written afresh into a scratch folder.
std::string SettingsFile(bool blankLinesFirst) {
  const auto dir = std::filesystem::temp_directory_path() / "orvela_bench_ini";
  std::filesystem::create_directories(dir);
  const auto path = dir / (blankLinesFirst ? "Blank.ini" : "Delivered.ini");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (blankLinesFirst) {
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += "\r\n";
    for (int i = 0; i < 80; ++i) out << lines;  // 16,000,000 bytes
  }
  out << Delivered();
  return orvela::NativePathToCp1252(path.string());
}

// The start-up's reads, in the main window's order.
bool StartUpReads(const std::string& path) {
  const TIniFile ini(path);
  int trueCount = 0;
  trueCount += ini.ReadBool("Schalter_Einstellungen", "Schalter_Naechster_Titel", true);
  trueCount += ini.ReadBool("Schalter_Einstellungen", "Schalter_Stop_Titel", true);
  for (int jingle = 0; jingle < 4; ++jingle) trueCount += ini.ReadBool("Schalter_Einstellungen", "Schalter_Jingle", true);
  trueCount += ini.ReadBool("Schalter_Einstellungen", "Schalter_Lautstaerkeregler", true);
  trueCount += ini.ReadBool("Programm", "Passwortaktiv", true);
  const std::string song = ini.ReadString("Programm", "Geburtstagssong", "");
  const double birthday = ini.ReadDateTime("Programm", "Geburtzeit", 0.0);
  for (const char* key : {"Geburtstag", "Kiosk", "Bildschirmschoner", "Maus", "TitelDoppel", "Titelausblenden",
                          "Automatik", "EinmalSpielen"})
    trueCount += ini.ReadBool("Programm", key, true);
  const int max = ini.ReadInteger("Abspielliste", "max", 0);
  for (const char* key : {"Song_1", "Song_2", "Song_3", "Song_4"}) benchmark::DoNotOptimize(ini.ReadString("Jingle", key, ""));
  // The delivered file's values: wrong answers make the figures worthless.
  return trueCount == 9 && song.empty() && birthday > 0 && max == 20;
}

void Report(benchmark::State& state, const ChildFigures& figures) {
  if (!figures.ok) state.SkipWithError("the reads gave wrong values or the child failed");
  state.counters["peak_MB"] = figures.peakMB - figures.baseMB;
}

void BM_StartUpReads(benchmark::State& state) {
  const std::string path = SettingsFile(state.range(0) != 0);
  ChildFigures figures;
  for (auto _ : state) {
    figures = MeasureInChild([&path] { return StartUpReads(path); });
    state.SetIterationTime(figures.seconds);
  }
  state.SetLabel(state.range(0) != 0 ? "behind 16 MB of blank lines" : "delivered file");
  Report(state, figures);
}
BENCHMARK(BM_StartUpReads)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WriteOneKey(benchmark::State& state) {
  ChildFigures figures;
  for (auto _ : state) {
    const std::string path = SettingsFile(state.range(0) != 0);
    figures = MeasureInChild([&path] {
      TIniFile ini(path);
      ini.WriteBool("Programm", "Geburtstag", true);
      return ini.ReadBool("Programm", "Geburtstag", false);
    });
    state.SetIterationTime(figures.seconds);
  }
  state.SetLabel(state.range(0) != 0 ? "behind 16 MB of blank lines" : "delivered file");
  Report(state, figures);
}
BENCHMARK(BM_WriteOneKey)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// What the settings menu's closing writes: its twenty values, as twenty single
// writes (each a replacement of the file made durable) and as one batch.
orvela::TIniBatch MenuValues() {
  orvela::TIniBatch batch;
  for (const char* key : {"Schalter_Naechster_Titel", "Schalter_Stop_Titel", "Schalter_Jingle",
                          "Schalter_Lautstaerkeregler"})
    batch.WriteBool("Schalter_Einstellungen", key, true);
  for (const char* key : {"Passwortaktiv", "Kiosk", "Bildschirmschoner", "Geburtstag"}) batch.WriteBool("Programm", key, false);
  batch.WriteString("Programm", "Geburtstagssong", "/lieder/happy birthday.mp3");
  batch.WriteString("Programm", "Geburtzeit", "24.12.2026 18:30:00");
  for (const char* key : {"Maus", "TitelDoppel", "Titelausblenden", "Automatik", "EinmalSpielen"})
    batch.WriteBool("Programm", key, false);
  for (const char* key : {"Song_1", "Song_2", "Song_3", "Song_4"}) batch.WriteString("Jingle", key, "/jingles/a.mp3");
  batch.WriteInteger("Abspielliste", "max", 20);
  return batch;
}

void BM_MenuClosingWrites(benchmark::State& state) {
  const bool asBatch = state.range(0) != 0;
  ChildFigures figures;
  for (auto _ : state) {
    const std::string path = SettingsFile(false);
    figures = MeasureInChild([&path, asBatch] {
      TIniFile ini(path);
      const orvela::TIniBatch batch = MenuValues();
      if (asBatch) {
        ini.Write(batch);
      } else {
        for (const orvela::TIniEntry& e : batch.Entries()) ini.WriteString(e.section, e.key, e.value);
      }
      return ini.ReadInteger("Abspielliste", "max", 0) == 20 && !ini.ReadBool("Programm", "Maus", true);
    });
    state.SetIterationTime(figures.seconds);
  }
  state.SetLabel(asBatch ? "one batch" : "twenty single writes");
  Report(state, figures);
}
BENCHMARK(BM_MenuClosingWrites)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
