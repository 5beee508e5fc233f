// What the whole main screen costs while it plays, and how soon "Abspielen"
// is heard.
//
// ScreenPlaying: the real main window (offscreen) plays an MP3 through SDL in
// real time with every timer running (position bar and spectrum every 100 ms,
// time displays every second). cpu_percent is the process's CPU time as a share
// of one core; the aim is under 3 %.
//
// PressToFirstSample: from the press of "Abspielen" to the first block of the
// title's audio leaving the mixer (a manual output asks for the block at once,
// so this is the program's own share; a real device adds up to one device
// block, 23 ms at 1024 frames). The aim is under 30 ms in all.
#include <benchmark/benchmark.h>

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QPushButton>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "collection/collection_table.h"
#include "demo/tone_encoder.h"
#include "playback/audio/audio_layer.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_platform.h"

namespace {

using namespace orvela;
namespace fs = std::filesystem;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_main_screen";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A program folder with its data files and a 60-second MP3 of a changing melody.
struct Folder {
  Folder() {
    dir = fs::temp_directory_path() / "orvela-bench-screen";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "Jukebox.ini", std::ios::binary)
        << "[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\nTitelausblenden=0\r\n";
    TCollectionTable empty(TCollectionTable::CollectionWidths(), true);
    empty.SaveToFile((dir / "Musikliste.xml").string());
    empty.SaveToFile((dir / "TempMusikliste.xml").string());
    for (const char* name : {"TempGenre.text", "TempInterpret.text", "TempJahr.text"}) std::ofstream(dir / name);
    std::vector<demo::Note> notes;
    for (int i = 0; i < 240; ++i) notes.push_back({demo::MidiNoteFrequency(48 + (i * 5) % 36), 0.25, 0.6});
    demo::EncodeOptions opt;
    opt.bitRate = 192000;
    ok = demo::EncodeAudio((dir / "melody.mp3").string(), demo::Format::Mp3,
                           demo::SynthesizeMelody(notes, demo::Waveform::Sawtooth), opt);
  }
  ~Folder() { fs::remove_all(dir); }
  std::string Path() const { return dir.string() + "/"; }
  fs::path dir;
  bool ok = false;
};

struct Screen {
  explicit Screen(audio::AudioLayer& layer, const Folder& folder) {
    TForm1Services services;
    services.dialogs = &dialogs;
    services.screenSaver = &screenSaver;
    services.mousePointer = &mousePointer;
    services.clock = &clock;
    services.programDir = folder.Path();
    services.terminate = [] {};
    services.audioLayerAvailable = [] { return true; };
    services.wmaPluginAvailable = [] { return true; };
    services.audioLayer = &layer;
    services.sleepOneMillisecond = [] {};
    form = std::make_unique<TForm1>(services);
    form->show();
  }
  ScriptedDialogs dialogs;
  ScriptedScreenSaver screenSaver{false};
  ScriptedMousePointer mousePointer;
  ScriptedClock clock{46000.5};
  std::unique_ptr<TForm1> form;
};

void ScreenPlaying(benchmark::State& state) {
  App();
  Folder folder;
  if (!folder.ok) {
    state.SkipWithError("cannot encode the MP3");
    return;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  audio::AudioLayer layer(audio::MakeSdlOutput());
  Screen screen(layer, folder);
  TTiluPlaylist* queue = screen.form->Player();
  queue->Add(folder.Path() + "melody.mp3");
  screen.form->BtnPlayPause->click();

  const double cpuStart = ProcessCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  for (auto _ : state) {
    // One second of the program's own event loop, sleeping between events as it does.
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
  }
  state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpuStart) / (wall.elapsed() / 1000.0);
  state.counters["playing"] = queue->GetState() == audio::kPlaying ? 1 : 0;
}
BENCHMARK(ScreenPlaying)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void PressToFirstSample(benchmark::State& state) {
  App();
  Folder folder;
  if (!folder.ok) {
    state.SkipWithError("cannot encode the MP3");
    return;
  }
  auto output = std::make_unique<audio::ManualOutput>();
  audio::ManualOutput* manual = output.get();
  audio::AudioLayer layer(std::move(output));
  Screen screen(layer, folder);
  TTiluPlaylist* queue = screen.form->Player();
  queue->Add(folder.Path() + "melody.mp3");
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    screen.form->BtnPlayPause->click();
    float peak = 0.0F;
    while (peak < 0.01F) {
      for (float v : manual->Render(256)) peak = std::max(peak, std::fabs(v));
    }
    const auto heard = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(heard - start).count());
    state.PauseTiming();
    queue->Stop();
    state.ResumeTiming();
  }
}
BENCHMARK(PressToFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
