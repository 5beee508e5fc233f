// The jukebox and its program folder's lock and bookkeeping files: a refused
// start says who holds the folder (or why the lock cannot be had), writes it
// into the log and does not wait for ever for a finger nobody may give; the
// kept queue and its marker never lead out of the folder through a link.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/german_toolkit.h"
#include "app/qt_dialogs.h"
#include "common/codepage.h"
#include "common/program_folder_lock.h"
#include "demo/tone_encoder.h"
#include "main_window_fixture.h"
#include "queue/queue_keeper.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class MainWindowProgramFolderTest : public MainWindowTest {
 protected:
  void SetUp() override { folder.WriteAll(kPlainIni, {}); }
  fs::path Dir() const { return fs::path(folder.Path()); }
  std::string Log() const { return ReadBytes(Dir() / "Jukebox.log").value_or(""); }
};

// Who holds the folder decides what the refused start says; a lock that
// cannot be taken at all refuses the start too (two jukeboxes on one folder
// would delete each other's kept queue). Each refusal is in the log as well.
TEST_F(MainWindowProgramFolderTest, ARefusedStartSaysWhyAndIsLogged) {
  const std::string lockFile = folder.Path() + TProgramFolderLock::kFileName;
  const std::string process = std::to_string(::getpid());
  const struct {
    const char* name;
    const char* holder;  // nullptr: no holder, a dangling link under the lock file's name
    std::string text;    // UTF-8
  } cases[] = {
      {"another jukebox", "orvela-jukebox",
       "Die Jukebox läuft bereits mit diesem Programmordner. Orvela Jukebox wird nicht gestartet."},
      {"the tool", "orvela-jukebox-tool scan",
       "Das Werkzeug orvela-jukebox-tool (Befehl scan, Prozess " + process +
           ") schreibt gerade in diesen Programmordner. Orvela Jukebox wird nicht gestartet."},
      // A holder that names nobody (an older program, or one that has only just taken it).
      {"a holder that names nobody", "",
       "Die Jukebox oder das Werkzeug orvela-jukebox-tool benutzt gerade diesen Programmordner. Orvela Jukebox wird "
       "nicht gestartet."},
      {"a linked lock file", nullptr,
       "Die Sperrdatei " + lockFile + " ist ein symbolischer Verweis. Orvela Jukebox wird nicht gestartet."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Clear();
    terminateRequests = 0;
    fs::remove(Dir() / "Jukebox.log");
    std::optional<TProgramFolderLock> held;
    if (c.holder != nullptr) {
      held.emplace(Dir(), c.holder);
      ASSERT_EQ(held->State(), TProgramFolderLock::TState::Held);
    } else {
      fs::create_symlink(Dir() / "anderswo", lockFile);
    }
    {
      auto form = MakeForm();
      EXPECT_TRUE(form->StartFailed());
      EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Utf8ToCp1252(c.text)});
      EXPECT_EQ(terminateRequests, 1);
      EXPECT_EQ(screenSaver.queries, 0);
    }
    // The date of the scripted clock, then the box's text.
    EXPECT_EQ(Log(), "30.12.1899 " + c.text + "\n");
    EXPECT_FALSE(fs::exists(Dir() / "anderswo"));
    EXPECT_FALSE(fs::exists(Dir() / TQueueKeeper::kQueueFileName));
    fs::remove(lockFile);
  }
}

// A second jukebox's box can stand behind the first one's kiosk window where
// nobody sees it: it answers itself after a while, and the start ends.
TEST_F(MainWindowProgramFolderTest, ARefusedStartDoesNotWaitForeverForAFinger) {
  const TProgramFolderLock held(Dir(), TProgramFolderLock::kJukeboxHolder);
  ASSERT_EQ(held.State(), TProgramFolderLock::TState::Held);
  QtDialogs boxes;
  TForm1Services services;
  services.dialogs = &boxes;
  services.screenSaver = &screenSaver;
  services.mousePointer = &mousePointer;
  services.clock = &clock;
  services.programDir = folder.Path();
  services.terminate = [this] { ++terminateRequests; };
  services.audioLayerAvailable = [] { return true; };
  services.wmaPluginAvailable = [] { return true; };
  services.refusedStartBoxWait = std::chrono::milliseconds(300);
  // Stands in for the finger should the box wait for one after all.
  bool fingerNeeded = false;
  QTimer finger;
  finger.setSingleShot(true);
  QObject::connect(&finger, &QTimer::timeout, [&] {
    fingerNeeded = true;
    AnswerWaitingBox();
  });
  finger.start(10000);
  const auto start = std::chrono::steady_clock::now();
  TForm1 form(services);
  EXPECT_TRUE(form.StartFailed());
  EXPECT_FALSE(fingerNeeded);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(terminateRequests, 1);
  EXPECT_NE(Log().find("Die Jukebox l\xC3\xA4uft bereits"), std::string::npos) << Log();
}

// The kept queue and its marker are the program's own files: a link standing
// in for one is neither read nor written through, and the first write puts a
// file of its own in its place.
TEST_F(MainWindowProgramFolderTest, TheKeptQueueNeverLeadsOutOfTheFolderThroughALink) {
  UseManualOutput();
  const std::string title = folder.Path() + "titel.mp3";
  std::string error;
  ASSERT_TRUE(demo::EncodeAudio(title, demo::Format::Mp3, demo::SynthesizeTone(440.0, 3.0), {}, &error)) << error;
  fs::create_directory(Dir() / "anderswo");
  const fs::path elsewhere = Dir() / "anderswo" / "wichtig.m3u";
  const std::string elsewhereBytes = "#EXTM3U\n" + title + "\n" + title + "\n";
  { std::ofstream(elsewhere) << elsewhereBytes; }
  fs::create_symlink(elsewhere, Dir() / TQueueKeeper::kQueueFileName);

  auto form = MakeForm();
  ASSERT_FALSE(form->StartFailed());
  // Nothing was taken up from the file the link names, and it is as it was.
  EXPECT_TRUE(form->Player()->Items.empty());
  EXPECT_EQ(ReadBytes(elsewhere), elsewhereBytes);
  // A marker link left at start goes with the start's tidying; one put there
  // while the jukebox runs must not make its target on "Abspielen".
  fs::create_symlink(Dir() / "anderswo" / "neu", Dir() / TQueueKeeper::kPlayingFileName);

  form->Player()->Add(title);
  form->BtnPlayPause->click();
  EXPECT_EQ(ReadBytes(elsewhere), elsewhereBytes);
  EXPECT_FALSE(fs::exists(Dir() / "anderswo" / "neu"));
  for (const char* name : {TQueueKeeper::kQueueFileName, TQueueKeeper::kPlayingFileName}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Dir() / name))) << name;
    EXPECT_NE(Log().find(std::string(name) + " war ein symbolischer Verweis auf "), std::string::npos) << Log();
  }
  EXPECT_NE(ReadBytes(Dir() / TQueueKeeper::kQueueFileName)->find("titel.mp3"), std::string::npos);
}

}  // namespace
}  // namespace orvela::testing
