// The phones' page under load, on the loopback address, against the real main
// window over 100,000 titles.
//
// PhonesSearchAndQueue/0: 50 phones at once, each typing searches (one answer
// per letter, as the page asks) and now and then queueing a title; p50_ms and
// p99_ms are the answer times a phone sees (choice_* those of the choices
// alone). All 50 start at the same instant and keep in step (120 ms between
// letters): the worst case, where the last of a burst waits for the 49 before
// it on the one event loop. PhonesSearchAndQueue/1: the same phones as guests
// use them, each starting at a random moment of the first second and taking
// 60 to 180 ms between letters. Meanwhile the screen's guest types
// on the on-screen keyboard: key_p99_ms is a key press through the whole
// screen (search and grid), measured on the screen's thread. Aims: p99 under
// 50 ms, the key press within a frame (16 ms).
//
// LiveChannels: 20 phones holding the live channel open while nothing
// happens: cpu_percent_idle is the process's CPU over 10 s as a share of one
// core, cpu_percent_without the same without phones; kb_per_connection the
// resident memory each open channel costs.
#include <benchmark/benchmark.h>

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/phone_desk.h"
#include "collection/collection_table.h"
#include "demo/tone_encoder.h"
#include "jukebox/phone_settings.h"
#include "phones/phone_server.h"
#include "playback/audio/audio_layer.h"
#include "support/manual_output.h"
#include "support/raw_client.h"
#include "bench_screen.h"
#include "child_figures.h"

namespace {

using namespace orvela;
namespace fs = std::filesystem;

using orvela::bench::ProcessCpuSeconds;

long ResidentKb() { return std::lround(bench::StatusMB("VmRSS") * 1024.0); }

QApplication& App() { return bench::BenchApp(); }

const char* const kWords[] = {"Nacht", "Sonne", "Regen", "Liebe", "Stra\xDF" "e", "K\xE4pt'n", "Blues",
                              "Rock",  "M\xFChle", "Tanz",  "Wind",  "Meer",   "Herz",   "Stern"};

// 100,000 titles of invented bands, all pointing at one short real MP3.
struct Folder {
  Folder() {
    dir = fs::temp_directory_path() / "orvela-bench-phones";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "Jukebox.ini", std::ios::binary)
        << "[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\nTitelausblenden=0\r\n"
           "TitelDoppel=1\r\n[Abspielliste]\r\nmax=10000\r\n";
    ok = demo::EncodeAudio((dir / "lied.mp3").string(), demo::Format::Mp3, demo::SynthesizeTone(440.0, 1.0), {});
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    std::mt19937 random(7);
    const std::string path = (dir / "lied.mp3").string();
    for (int i = 0; i < 100'000; ++i) {
      const std::string band = std::string(kWords[random() % std::size(kWords)]) + " " + kWords[random() % std::size(kWords)] + " " +
                               std::to_string(i % 977);
      const std::string title = std::string(kWords[random() % std::size(kWords)]) + " am " + kWords[random() % std::size(kWords)];
      table.AppendRecord(band, title, path, kWords[random() % std::size(kWords)], std::to_string(1950 + i % 70), "03:20");
    }
    table.SaveToFile((dir / "Musikliste.xml").string());
    TCollectionTable empty(TCollectionTable::CollectionWidths(), true);
    empty.SaveToFile((dir / "TempMusikliste.xml").string());
    for (const char* name : {"TempGenre.text", "TempInterpret.text", "TempJahr.text"}) std::ofstream(dir / name);
  }
  ~Folder() { fs::remove_all(dir); }
  fs::path dir;
  bool ok = false;
};

// The screen with its phones' page listening on a free port of the loopback.
struct Screen : bench::BenchScreen {
  Screen(audio::AudioLayer& layer, const Folder& folder) : BenchScreen(layer, folder.dir.string() + "/", 46000.875) {
    TPhoneSettings settings;
    settings.enabled = true;
    settings.port = 0;
    settings.perPhone = 1000;
    settings.intervalSeconds = 0;
    started = form->StartPhones(settings, QHostAddress::LocalHost);
  }
  bool started = false;
};

// The folder, the window on a silent output and its listening page.
struct Rig {
  bool Ready() const { return folder.ok && screen.started; }
  int Port() { return screen.form->Phones()->Server().Port(); }
  std::string Code() { return screen.form->Phones()->Server().AccessCode().toStdString(); }
  // The application before any window.
  bool app = (App(), true);
  Folder folder;
  audio::AudioLayer layer{std::make_unique<audio::ManualOutput>()};
  Screen screen{layer, folder};
};

std::string Percent(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(q * static_cast<double>(values.size())))];
}

void PhonesSearchAndQueue(benchmark::State& state) {
  Rig rig;
  if (!rig.Ready()) {
    state.SkipWithError("no folder or no server");
    return;
  }
  Screen& screen = rig.screen;
  const int port = rig.Port();
  const std::string code = rig.Code();
  std::vector<double> answers;
  std::vector<double> choices;  // of the answers, those to a choice
  std::vector<double> keys;
  for (auto _ : state) {
    std::mutex lock;
    std::atomic<int> running{50};
    std::vector<std::thread> phones;
    for (int p = 0; p < 50; ++p) {
      phones.emplace_back([&, p] {
        std::mt19937 random(static_cast<unsigned>(p));
        const bool ownPace = state.range(0) != 0;
        if (ownPace) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
        // Each phone its own address: the per-address limits are for floods, not for this.
        const std::string from = "127.0.1." + std::to_string(p + 1);
        const std::string cookie = "Cookie: orvela_handy=" + std::string(31, 'a') + "bcdefghijklmnop"[p % 15] + "\r\n";
        std::vector<double> mine, myChoices;
        for (int round = 0; round < 4; ++round) {
          const std::string word = kWords[random() % std::size(kWords)];
          std::string first;
          for (std::size_t letters = 1; letters <= std::min<std::size_t>(word.size(), 5); ++letters) {
            const auto start = std::chrono::steady_clock::now();
            const testing::RawReply reply = testing::Exchange(
                port, "GET /api/suche?k=" + code + "&modus=interpret&text=" + Percent(word.substr(0, letters)) +
                          " HTTP/1.1\r\nHost: j\r\n\r\n", 5000, from.c_str());
            mine.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            const std::size_t at = reply.bytes.find("\"id\":\"");
            if (at != std::string::npos) first = reply.bytes.substr(at + 6, reply.bytes.find('"', at + 6) - at - 6);
            // A thumb between letters.
            std::this_thread::sleep_for(std::chrono::milliseconds(ownPace ? 60 + random() % 121 : 120));
          }
          if (!first.empty()) {
            const std::string body = "{\"id\":\"" + first + "\"}";
            const auto start = std::chrono::steady_clock::now();
            testing::Exchange(port, "POST /api/waehlen?k=" + code + " HTTP/1.1\r\nHost: j\r\n" + cookie +
                                        "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
                              5000, from.c_str());
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            mine.push_back(ms);
            myChoices.push_back(ms);
          }
        }
        std::lock_guard<std::mutex> guard(lock);
        answers.insert(answers.end(), mine.begin(), mine.end());
        choices.insert(choices.end(), myChoices.begin(), myChoices.end());
        --running;
      });
    }
    // The screen's guest types while the phones ask.
    const char typed[] = "nacht";
    int k = 0;
    QElapsedTimer sinceKey;
    sinceKey.start();
    while (running > 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (sinceKey.elapsed() >= 150) {
        sinceKey.restart();
        const auto start = std::chrono::steady_clock::now();
        if (k % 6 == 5) {
          screen.form->SetSearchText("");
          screen.form->ApplySearch();
        } else {
          screen.form->SearchKeyClick(typed[k % 6]);
        }
        screen.form->repaint();
        keys.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        ++k;
      }
    }
    for (auto& t : phones) t.join();
  }
  state.counters["p50_ms"] = Quantile(answers, 0.50);
  state.counters["p99_ms"] = Quantile(answers, 0.99);
  state.counters["requests"] = static_cast<double>(answers.size());
  state.counters["choice_p50_ms"] = Quantile(choices, 0.50);
  state.counters["choice_p99_ms"] = Quantile(choices, 0.99);
  state.counters["key_p50_ms"] = Quantile(keys, 0.50);
  state.counters["key_p99_ms"] = Quantile(keys, 0.99);
}
BENCHMARK(PhonesSearchAndQueue)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Serves the event loop for `seconds` and answers the CPU share it took.
double CpuWhileIdle(double seconds) {
  const double cpuStart = ProcessCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  return 100.0 * (ProcessCpuSeconds() - cpuStart) / (static_cast<double>(wall.elapsed()) / 1000.0);
}

void LiveChannels(benchmark::State& state) {
  Rig rig;
  if (!rig.Ready()) {
    state.SkipWithError("no folder or no server");
    return;
  }
  Screen& screen = rig.screen;
  const int port = rig.Port();
  const std::string code = rig.Code();
  for (auto _ : state) {
    const double without = CpuWhileIdle(10);
    const long before = ResidentKb();
    std::vector<int> open;
    for (int p = 0; p < 20; ++p) {
      const std::string from = "127.0.2." + std::to_string(p + 1);
      const int fd = testing::WhileServing([&] { return testing::OpenIdle(port, from.c_str()); });
      const std::string upgrade = "GET /live?k=" + code +
                                  " HTTP/1.1\r\nHost: j\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
      testing::WhileServing([&] { return testing::SendOn(fd, upgrade); });
      open.push_back(fd);
    }
    testing::ServeFor(1000);
    const long after = ResidentKb();
    state.counters["live"] = screen.form->Phones()->Server().LiveConnections();
    state.counters["kb_per_connection"] = static_cast<double>(after - before) / 20.0;
    state.counters["cpu_percent_without"] = without;
    state.counters["cpu_percent_idle"] = CpuWhileIdle(10);
    for (int fd : open) testing::CloseFd(fd);
  }
}
BENCHMARK(LiveChannels)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
