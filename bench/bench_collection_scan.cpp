// How fast a folder tree becomes a collection, on a tree of 20,000 small MP3
// files (100 folders of 200, each file four frames and an ID3v1 tag) with a
// warm cache (the tree is walked once before anything is timed).
//
// TerminalScan: what `orvela-jukebox-tool scan --recursive` does: walk, read
// every file, append its title record, write Musikliste.xml once. Aim: 20,000
// files/s.
//
// WindowScan: the collection building window's button "Ordner mit
// Unterverzeichnisen der Musiklsammlung hinzufügen" on a shown main window,
// events processed after every file and the title counter repainted at most
// every TFormMenu::kRepaintIntervalMs. Aim: 5,000 files/s.
//
// WindowAppendsWithoutEvents: the window's appends with no event let in, for
// comparison. WindowScanRepaintEveryFile: the same walk with the counter
// repainted after every file, the cost the window avoids.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/collection_builder_window.h"
#include "app/main_window.h"
#include "collection/collection_table.h"
#include "collection/folder_scan.h"
#include "collection/title_record.h"
#include "metadata/audio_file.h"
#include "support/mp3_tree.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_platform.h"

namespace {

using namespace orvela;
namespace fs = std::filesystem;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 200;
constexpr int kFiles = kFolders * kFilesPerFolder;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_collection_scan";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Tree {
  Tree() {
    root = fs::temp_directory_path() / "orvela-bench-scan";
    fs::remove_all(root);
    music = root / "musik";
    for (int f = 0; f < kFolders; ++f) {
      const fs::path folder = music / ("Album " + std::to_string(f));
      fs::create_directories(folder);
      for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string title = "Titel " + std::to_string(i);
        std::ofstream(folder / (title + ".mp3"), std::ios::binary)
            << orvela::testing::TinyMp3("Interpret " + std::to_string(f), title);
      }
    }
    program = root / "programm";
    fs::create_directories(program);
    std::ofstream(program / "Jukebox.ini", std::ios::binary)
        << "[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\nAutomatik=0\r\n"
           "EinmalSpielen=0\r\n";
    ResetCollection();
    for (const char* name : {"TempMusikliste.xml"}) fs::copy_file(program / "Musikliste.xml", program / name);
    for (const char* name : {"TempGenre.text", "TempInterpret.text", "TempJahr.text"}) std::ofstream(program / name);
    // Warm the cache: every folder listed and every file read once.
    TFolderScanOptions options;
    options.recursive = true;
    TFolderScanCallbacks callbacks;
    callbacks.file = [](const std::string& path) {
      TAudioFile file;
      file.LoadFromFile(path);
    };
    ScanFolder(music.string(), options, callbacks);
  }
  ~Tree() { fs::remove_all(root); }
  void ResetCollection() const {
    TCollectionTable empty(TCollectionTable::CollectionWidths(), true);
    empty.SaveToFile((program / "Musikliste.xml").string());
  }
  fs::path root;
  fs::path music;
  fs::path program;
};

Tree& TheTree() {
  static Tree tree;
  return tree;
}

void TerminalScan(benchmark::State& state) {
  const Tree& tree = TheTree();
  const std::string collectionFile = (tree.program / "Musikliste.xml").string();
  std::size_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tree.ResetCollection();
    state.ResumeTiming();
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    table.LoadFromFile(collectionFile);
    TFolderScanOptions options;
    options.recursive = true;
    options.maxPathBytes = table.FieldWidth(TCollectionTable::Pfad);
    TFolderScanCallbacks callbacks;
    callbacks.file = [&table](const std::string& path) {
      TAudioFile file;
      file.LoadFromFile(path);
      AppendTitleRecord(table, file);
    };
    const TFolderScanResult result = ScanFolder(tree.music.string(), options, callbacks);
    table.SaveToFile(collectionFile);
    files += result.files;
    if (result.files != kFiles) state.SkipWithError("the walk did not find every file");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(files));
}
BENCHMARK(TerminalScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

struct Screen {
  explicit Screen(const Tree& tree) {
    TForm1Services services;
    services.dialogs = &dialogs;
    services.screenSaver = &screenSaver;
    services.mousePointer = &mousePointer;
    services.clock = &clock;
    services.programDir = tree.program.string() + "/";
    services.terminate = [] {};
    services.audioLayerAvailable = [] { return true; };
    services.wmaPluginAvailable = [] { return true; };
    services.sleepOneMillisecond = [] {};
    form = std::make_unique<TForm1>(services);
    form->show();
    menu = std::make_unique<TFormMenu>(*form);
    QCoreApplication::processEvents();
  }
  ScriptedDialogs dialogs;
  ScriptedScreenSaver screenSaver{false};
  ScriptedMousePointer mousePointer;
  ScriptedClock clock{46000.5};
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> menu;
};

void WindowScan(benchmark::State& state) {
  App();
  const Tree& tree = TheTree();
  tree.ResetCollection();
  Screen screen(tree);
  if (!screen.menu->SelectFolder(QString::fromStdString(tree.music.string()))) {
    state.SkipWithError("the folder tree does not know the music folder");
    return;
  }
  std::int64_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    screen.form->CollectionTable().Empty();
    state.ResumeTiming();
    screen.dialogs.questionAnswers = {true};
    screen.menu->SpeedButton_Musiksammlung_neu_erstellenClick();
    files += screen.form->CollectionTable().RecordCount();
  }
  if (files != static_cast<std::int64_t>(state.iterations()) * kFiles) state.SkipWithError("titles are missing");
  state.SetItemsProcessed(files);
}
BENCHMARK(WindowScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The main window's appends, reading and appending as the window's scan does;
// with `events`, every pending event is processed after each file, which is
// the whole screen repainting its counter every time.
void WindowAppends(benchmark::State& state, bool events) {
  App();
  const Tree& tree = TheTree();
  tree.ResetCollection();
  Screen screen(tree);
  std::int64_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    screen.form->CollectionTable().Empty();
    state.ResumeTiming();
    TFolderScanOptions options;
    options.recursive = true;
    TFolderScanCallbacks callbacks;
    callbacks.file = [&screen](const std::string& path) {
      TAudioFile file;
      file.LoadFromFile(path);
      screen.form->AppendTitleRecord(file);
    };
    if (events) {
      callbacks.pause = [] {
        QCoreApplication::processEvents();
        return true;
      };
    }
    files += static_cast<std::int64_t>(ScanFolder(tree.music.string(), options, callbacks).files);
    screen.form->CollectionTable().SaveToFile((tree.program / "Musikliste.xml").string());
  }
  state.SetItemsProcessed(files);
}

// What the window's scan costs beyond the terminal's before the screen gets its share.
void WindowAppendsWithoutEvents(benchmark::State& state) { WindowAppends(state, false); }
BENCHMARK(WindowAppendsWithoutEvents)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void WindowScanRepaintEveryFile(benchmark::State& state) { WindowAppends(state, true); }
BENCHMARK(WindowScanRepaintEveryFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
