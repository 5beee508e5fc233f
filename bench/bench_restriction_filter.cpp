// Restricting a collection of 100,000 titles, as the operator waits for it:
// "Filter aktivieren" in the normal mode (filter, copy into the transfer table,
// write TempMusikliste.xml, load it back) and in the inverse mode (copy the
// file, load it, delete the matches one by one), each with the settings written
// to Jukebox.ini; and building the artist value list, of the whole collection
// and of what an inverse restriction left. The program folder lies
// in $TMPDIR/orvela_bench_restriction.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVELA_BUILD_TESTS=OFF -DORVELA_BUILD_BENCH=ON
//   cmake --build build-bench --target bench_restriction_filter && build-bench/bench/bench_restriction_filter
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "collection/collection_table.h"
#include "generated_titles.h"
#include "jukebox/program_state.h"
#include "jukebox/restriction_filter.h"
#include "support/scripted_dialogs.h"

namespace {

using namespace orvela;

constexpr int kTitles = 100000;

using bench::Lcg;

const char* const kGenres[] = {"Pop",   "Rock",    "Schlager", "Jazz",   "Blues",     "Country", "Dance",  "Disco",
                               "Metal", "Hip-Hop", "Soul",     "Funk",   "Reggae",    "Folk",    "Oldies", "Punk",
                               "Latin", "Techno",  "House",    "Gospel", "Rock & Roll"};
const char* const kSyllables[] = {"ab", "ba", "ka", "lo", "mi", "ne", "ro", "sa", "ti", "vu", "der", "mon",
                                  "tal", "ber", "gen", "lin", "har", "wol", "f\xFC", "m\xF6", "k\xE4", "ei"};

std::string Word(Lcg& rng, int syllables) {
  std::string s;
  for (int i = 0; i < syllables; ++i) s += kSyllables[rng.Next(std::size(kSyllables))];
  s[0] = static_cast<char>(s[0] >= 'a' && s[0] <= 'z' ? s[0] - 32 : s[0]);
  return s;
}

class NoDisplay : public TRestrictionDisplay {
 public:
  void ShowTitleCount(int, bool) override {}
  void ShowCollectionState(bool) override {}
  void SetRestrictionBox(bool) override {}
};

class NoProgress : public TFilterProgress {
 public:
  void Begin(int) override {}
  void Advance() override {}
  void Finish() override {}
};

struct Venue {
  Venue() {
    dir = std::filesystem::temp_directory_path() / "orvela_bench_restriction";
    std::filesystem::create_directories(dir);
    state.ProgramDir = dir.string() + "/";
    state.PlayOnceEnabled = true;
    std::ofstream(dir / "Jukebox.ini", std::ios::binary) << "[Programm]\r\nKiosk=0\r\n[Filter]\r\n";
    for (const char* name : {"TempGenre.text", "TempInterpret.text", "TempJahr.text"})
      std::ofstream(dir / name, std::ios::binary);
    TCollectionTable file(TCollectionTable::CollectionWidths(), true);
    Lcg rng;
    // About 8,000 artists with a dozen titles each, 21 genres, 60 years.
    for (int i = 0; i < kTitles; ++i) {
      const std::string artist = Word(rng, 2 + static_cast<int>(rng.Next(3)));
      file.AppendRecord(artist, Word(rng, 3) + " " + Word(rng, 2),
                        "/srv/musik/" + artist + "/" + std::to_string(i) + ".mp3",
                        kGenres[rng.Next(std::size(kGenres))], std::to_string(1960 + rng.Next(60)), "03:30");
    }
    file.SaveToFile(state.ProgramDir + "Musikliste.xml");
    TCollectionTable(TCollectionTable::TransferWidths(), false).SaveToFile(state.ProgramDir + "TempMusikliste.xml");
    collection.SetIndexFieldNames("Interpret;Titel");
  }
  void LoadWhole() {
    collection.LoadFromFile(state.ProgramDir + "Musikliste.xml");
    collection.SetFiltered(false);
    state.RestrictionActive = false;
  }

  std::filesystem::path dir;
  TProgramState state;
  TCollectionTable collection{TCollectionTable::CollectionWidths(), true};
  TCollectionTable transfer{TCollectionTable::TransferWidths(), false};
  ScriptedDialogs dialogs;
  NoDisplay display;
  NoProgress progress;
  TRestrictionFilter filter{state, collection, transfer, dialogs, display};
};

Venue& TheVenue() {
  static Venue venue;
  return venue;
}

// Five genres: about a quarter of the collection matches.
void ChooseFiveGenres(TRestrictionFilter& filter) {
  filter.SetFilterSelection(5);
  const char* chosen[] = {"Pop", "Rock", "Jazz", "Soul", "Punk"};
  for (int k = 1; k <= 5; ++k) {
    filter.Slot(TFilterKind::Genre, k).ticked = true;
    filter.Slot(TFilterKind::Genre, k).text = chosen[k - 1];
  }
}

void Activate(benchmark::State& s, bool inverse) {
  Venue& v = TheVenue();
  ChooseFiveGenres(v.filter);
  v.filter.Buttons().inverseTicked = inverse;
  int restricted = 0;
  for (auto _ : s) {
    s.PauseTiming();
    v.LoadWhole();
    s.ResumeTiming();
    if (!v.filter.Activate(v.progress)) s.SkipWithError("activation failed");
    restricted = v.collection.RecordCount();
  }
  s.counters["titles_left"] = restricted;
}

void BM_ActivateNormal(benchmark::State& s) { Activate(s, false); }
void BM_ActivateInverse(benchmark::State& s) { Activate(s, true); }

void BM_BuildArtistList(benchmark::State& s) {
  Venue& v = TheVenue();
  v.LoadWhole();
  for (auto _ : s) {
    if (!v.filter.BuildValueList(TFilterKind::Interpret, v.progress)) s.SkipWithError("list failed");
  }
  s.counters["artists"] = static_cast<double>(v.filter.Items(TFilterKind::Interpret).size());
}

// The rows an inverse restriction deleted keep their place in storage; the
// list reads the titles left by their numbers.
void BM_BuildArtistListAfterInverse(benchmark::State& s) {
  Venue& v = TheVenue();
  v.LoadWhole();
  ChooseFiveGenres(v.filter);
  v.filter.Buttons().inverseTicked = true;
  if (!v.filter.Activate(v.progress)) s.SkipWithError("activation failed");
  for (auto _ : s) {
    if (!v.filter.BuildValueList(TFilterKind::Interpret, v.progress)) s.SkipWithError("list failed");
  }
  s.counters["titles"] = v.collection.StoredRecordCount();
  s.counters["artists"] = static_cast<double>(v.filter.Items(TFilterKind::Interpret).size());
}

void BM_BuildGenreList(benchmark::State& s) {
  Venue& v = TheVenue();
  v.LoadWhole();
  for (auto _ : s) {
    if (!v.filter.BuildValueList(TFilterKind::Genre, v.progress)) s.SkipWithError("list failed");
  }
}

// The 32 keys of section "Filter", each written as its own atomic replacement.
void BM_SaveFilterSettings(benchmark::State& s) {
  Venue& v = TheVenue();
  ChooseFiveGenres(v.filter);
  for (auto _ : s) v.filter.SaveFilterSettings();
}

// The inverse mode's byte copy of Musikliste.xml, replaced atomically (data on disk first).
void BM_CopyCollectionFile(benchmark::State& s) {
  Venue& v = TheVenue();
  for (auto _ : s) CopyFileToProgramDir(v.state.ProgramDir, "Musikliste.xml", "TempMusikliste.xml");
}

// Loading the whole collection, as both modes and "Filter deaktivieren" do once.
void BM_LoadCollection(benchmark::State& s) {
  Venue& v = TheVenue();
  for (auto _ : s) v.LoadWhole();
}

BENCHMARK(BM_CopyCollectionFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadCollection)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveFilterSettings)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ActivateNormal)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ActivateInverse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BuildArtistList)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BuildArtistListAfterInverse)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildGenreList)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
