// From starting the program to a screen a guest can use, as a whole process:
// each run starts this program afresh (exec), which then does what the jukebox's
// main() does on a program folder holding N generated titles (offscreen, the
// audio on SDL's dummy driver unless SDL_AUDIODRIVER says otherwise), and marks
// two moments through a pipe:
//   paint:  the guest window's collection grid is painted for the first time;
//   usable: a press of the letter "E", posted as a touch arrives once the window
//           is painted, has been handled and the grid and the count repainted.
// The parent's clock runs from just before it starts the process, so dynamic
// loading, Qt, ICU and the collection file all count. Five runs per size; the
// best and the median of each moment, the median CPU time the process had used
// by "usable" (on a busy machine the wall time also holds other programs' time),
// its peak resident memory (peak_MB, the process's VmHWM at "usable") and what
// it holds then (kept_MB, VmRSS: the start's passing buffers given back).
//
// The program folders are made once in $TMPDIR/orvela_bench_start.
//
//   cmake -S . -B build-bench -G Ninja -DORVELA_BUILD_BENCH=ON -DORVELA_BUILD_TESTS=OFF
//   cmake --build build-bench --target bench_start && build-bench/bench/bench_start
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/collection_builder_window.h"
#include "app/collection_grid.h"
#include "app/german_toolkit.h"
#include "app/guarded_application.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/qt_mouse_pointer.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "app/x11_screen_saver.h"
#include "child_figures.h"
#include "collection/collection_table.h"
#include "common/codepage.h"
#include "common/system_clock.h"
#include "generated_titles.h"
#include "metadata/reader_errors.h"
#include "playback/audio/audio_layer.h"

namespace {

namespace fs = std::filesystem;
using namespace orvela;

constexpr const char* kChildFlag = "--start-child";

// What the started process sends at each moment.
struct Mark {
  char moment = 0;  // 'P' painted, 'U' usable
  double cpuSeconds = 0;
  double peakMB = 0;
  double keptMB = 0;
};

using orvela::bench::ProcessCpuSeconds;

void Send(int fd, char moment) {
  const Mark mark{moment, ProcessCpuSeconds(), bench::StatusMB("VmHWM"), bench::StatusMB("VmRSS")};
  [[maybe_unused]] const ssize_t written = write(fd, &mark, sizeof mark);
}

// Watches the guest window's collection grid for its first paint (the window
// itself is covered by its children and gets none); once that is over, a press
// of "E" is posted behind whatever else waits in the queue, as a finger's would be.
class FirstPaint : public QObject {
 public:
  FirstPaint(TForm1& form, int fd) : form_(form), fd_(fd) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == form_.DBMusiksammlung && event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            Send(fd_, 'P');
            QMetaObject::invokeMethod(
                this,
                [this] {
                  form_.SpeedButton5->click();
                  form_.DBMusiksammlung->repaint();
                  form_.StaticTextSucheGefunden->repaint();
                  Send(fd_, 'U');
                  QCoreApplication::quit();
                },
                Qt::QueuedConnection);
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  TForm1& form_;
  int fd_;
  bool seen_ = false;
};

// The start as main() makes it, with the same services; only the marks are added.
int RunStart(const std::string& folder, int fd) {
  static int argc = 1;
  static char name[] = "orvela-jukebox";
  static char* argv[] = {name, nullptr};
  QtDialogs dialogs;
  TGuardedApplication app(argc, argv);
  app.SetDialogs(&dialogs);
  QApplication::setApplicationName(QStringLiteral("Orvela Jukebox"));
  UseGermanToolkit(app);
  X11ScreenSaver screenSaver;
  QtMousePointer mousePointer;
  SystemClock clock;
  SetReaderErrorHandler([&dialogs](const std::string& text) { dialogs.Error(text); });
  audio::AudioLayer audioLayer(audio::MakeSdlOutput());
  TForm1Services services = RealServices(dialogs, screenSaver, mousePointer, clock, audioLayer);
  services.programDir = NativePathToCp1252(folder);
  services.terminate = [&app] { QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection); };

  TForm1 form1(services);
  TFormMenu formMenu(form1, &form1);
  TFormFilter formFilter(form1, &form1);
  THauptmenu hauptmenu(form1, formMenu, formFilter, &form1);
  form1.SetSettingsMenu([&hauptmenu] { hauptmenu.exec(); });
  FirstPaint watch(form1, fd);
  form1.DBMusiksammlung->installEventFilter(&watch);
  if (form1.StartFailed()) return 1;
  form1.show();
  return QApplication::exec();
}

fs::path Folder(int titles) {
  const fs::path dir = fs::temp_directory_path() / "orvela_bench_start" / std::to_string(titles);
  if (fs::exists(dir / "Musikliste.xml")) return dir;
  fs::create_directories(dir);
  // The delivered settings that matter here: a window, no saver, no birthday, no automatic.
  std::ofstream(dir / "Jukebox.ini", std::ios::binary)
      << "[Programm]\r\nPasswortaktiv=1\r\nMenuecode=6813\r\nKiosk=0\r\nBildschirmschoner=0\r\nGeburtstag=0\r\n"
         "Maus=0\r\nTitelDoppel=0\r\nTitelausblenden=1\r\nAutomatik=0\r\nEinmalSpielen=0\r\n"
         "[Abspielliste]\r\nmax=20\r\n";
  const TCollectionTable empty(TCollectionTable::CollectionWidths(), true);
  empty.SaveToFile((dir / "TempMusikliste.xml").string());
  for (const char* file : {"TempGenre.text", "TempInterpret.text", "TempJahr.text"}) std::ofstream(dir / file);
  bench::MeasureInChild([&dir, titles] {
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    bench::MakeTitles(titles, [&t](const TCollectionTable::Values& v) { t.AppendRecord(v); });
    t.SaveToFile((dir / "Musikliste.xml.part").string());
    fs::rename(dir / "Musikliste.xml.part", dir / "Musikliste.xml");
    return true;
  });
  return dir;
}

struct Run {
  double paintMs = 0, usableMs = 0, cpuMs = 0, peakMB = 0, keptMB = 0;
  bool ok = false;
};

Run StartOnce(const fs::path& folder) {
  Run run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (std::getenv("ORVELA_BENCH_VERBOSE") == nullptr) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      dup2(null, STDOUT_FILENO);
    }
    const std::string fd = std::to_string(fds[1]);
    execl("/proc/self/exe", "bench_start", kChildFlag, folder.c_str(), fd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return run;
  }
  Mark marks[2];
  bool got = true;
  for (Mark& m : marks) {
    // A start that waits for a finger (a box) or hangs is ended after two minutes.
    pollfd wait{fds[0], POLLIN, 0};
    got = got && poll(&wait, 1, 120000) == 1 && read(fds[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (got && m.moment == 'P') run.paintMs = ms;
    if (got && m.moment == 'U') run.usableMs = ms;
  }
  close(fds[0]);
  if (!got) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  run.ok = got && marks[0].moment == 'P' && marks[1].moment == 'U' && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.cpuMs = marks[1].cpuSeconds * 1e3;
  run.peakMB = marks[1].peakMB;
  run.keptMB = marks[1].keptMB;
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void StartToUsableScreen(benchmark::State& state) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const fs::path folder = Folder(static_cast<int>(state.range(0)));
  std::vector<double> paint, usable, cpu, peak, kept;
  for (auto _ : state) {
    for (int i = 0; i < 5; ++i) {
      const Run run = StartOnce(folder);
      if (!run.ok) {
        state.SkipWithError("the started program did not reach a usable screen");
        return;
      }
      paint.push_back(run.paintMs);
      usable.push_back(run.usableMs);
      cpu.push_back(run.cpuMs);
      peak.push_back(run.peakMB);
      kept.push_back(run.keptMB);
    }
    state.SetIterationTime(Median(usable) / 1e3);
  }
  state.counters["paint_best_ms"] = *std::min_element(paint.begin(), paint.end());
  state.counters["paint_median_ms"] = Median(paint);
  state.counters["usable_best_ms"] = *std::min_element(usable.begin(), usable.end());
  state.counters["usable_median_ms"] = Median(usable);
  state.counters["cpu_median_ms"] = Median(cpu);
  state.counters["peak_MB"] = Median(peak);
  state.counters["kept_MB"] = Median(kept);
}
BENCHMARK(StartToUsableScreen)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kChildFlag) == 0) return RunStart(argv[2], std::atoi(argv[3]));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
