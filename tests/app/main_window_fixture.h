#pragma once
// A scratch program folder and a main window built on it with scripted
// services, offscreen. Shared by the main-window tests.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "common/network_address.h"
#include "collection/collection_table.h"
#include "playback/audio/audio_layer.h"
#include "support/manual_output.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_platform.h"

namespace orvela::testing {

using Row = TCollectionTable::Values;

class ProgramFolder {
 public:
  ProgramFolder() {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("orvela_main_window_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~ProgramFolder() { std::filesystem::remove_all(dir_); }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  // Everything start-up asks for, with the given settings and collection.
  void WriteAll(const std::string& ini, const std::vector<Row>& rows) {
    Write("Jukebox.ini", ini);
    WriteCollection("Musikliste.xml", rows);
    WriteCollection("TempMusikliste.xml", {});
    Write("TempGenre.text", "");
    Write("TempInterpret.text", "");
    Write("TempJahr.text", "");
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << bytes;
  }
  void WriteCollection(const std::string& name, const std::vector<Row>& rows) {
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    for (const Row& row : rows) {
      table.AppendRecord(row);
    }
    table.SaveToFile(Path() + name);
  }
  void Remove(const std::string& name) { std::filesystem::remove(dir_ / name); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  // With the trailing "/" the window expects.
  std::string Path() const { return dir_.string() + "/"; }

 private:
  std::filesystem::path dir_;
};

// A manual output that can, for a moment, behave as a sound device does: it
// does not wait for the decoders, so a stream it outruns is stalled.
class StallingOutput : public audio::ManualOutput {
 public:
  bool WaitsForData() const override { return waits; }
  bool waits = true;
};

// Settings of a bar that wants the window, the pointer and the menu open, and
// fills its queue by hand.
inline const char* const kPlainIni =
    "[Schalter_Einstellungen]\r\n"
    "[Programm]\r\nPasswortaktiv=1\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\n"
    "Automatik=0\r\n"
    "[Abspielliste]\r\nmax=20\r\n";

class MainWindowTest : public ::testing::Test {
 protected:

  // On the scratch folder, or on another program folder (code page, with "/").
  // Gives the window an audio layer on a manual output, for tests that play.
  void UseManualOutput() {
    auto output = std::make_unique<StallingOutput>();
    manualOutput = output.get();
    audioLayer = std::make_unique<audio::AudioLayer>(std::move(output));
  }

  // Runs the output ahead of the decoders, as a device does while the disk is
  // slow, until the stream is starved; true once it is. The output waits for
  // the decoders again afterwards, so the stream recovers at the next block.
  bool Stall(audio::Handle stream) {
    manualOutput->waits = false;
    // More than the decoder keeps ready (about 1.5 s), in one block.
    for (int i = 0; i < 8 && audioLayer->ChannelIsActive(stream) == audio::kPlaying; ++i) {
      manualOutput->Render(70000);
    }
    manualOutput->waits = true;
    return audioLayer->ChannelIsActive(stream) == audio::kStalled;
  }

  std::unique_ptr<TForm1> MakeForm(const std::string& programDir = {}) {
    TForm1Services services;
    services.dialogs = &dialogs;
    services.screenSaver = &screenSaver;
    services.mousePointer = &mousePointer;
    services.clock = &clock;
    services.programDir = programDir.empty() ? folder.Path() : programDir;
    services.terminate = [this] { ++terminateRequests; };
    services.audioLayerAvailable = [this] { return audioAvailable; };
    services.wmaPluginAvailable = [this] { return wmaAvailable; };
    services.audioLayer = audioLayer.get();
    services.sleepOneMillisecond = [this] { ++millisecondsSlept; };
    services.random = &random;
    services.networkAddress = networkAddress;
    auto form = std::make_unique<TForm1>(services);
    form->SetSettingsMenu([this] { ++menuOpenings; });
    return form;
  }

  ProgramFolder folder;
  ScriptedDialogs dialogs;
  ScriptedScreenSaver screenSaver{true};
  ScriptedMousePointer mousePointer;
  ScriptedClock clock{0.0};
  ScriptedRandom random;
  bool audioAvailable = true;
  bool wmaAvailable = true;
  int terminateRequests = 0;
  int menuOpenings = 0;
  // Tests that want a player give the window a layer on a manual output.
  std::unique_ptr<audio::AudioLayer> audioLayer;
  StallingOutput* manualOutput = nullptr;
  int millisecondsSlept = 0;
  // The machine's address for the phones' QR code; none unless a test sets one.
  NetworkAddress* networkAddress = nullptr;
};

}  // namespace orvela::testing
