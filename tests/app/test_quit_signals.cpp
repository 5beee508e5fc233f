// SIGTERM and SIGINT end the program through its shut-down instead of killing
// it or being swallowed by the audio library.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/quit_signals.h"
#include "main_window_fixture.h"

extern char** environ;

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

// Turns the event loop until `done` or a generous limit; a handler that never
// arrives fails the test instead of hanging it.
template <typename Done>
bool LoopUntil(Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return done();
}

TEST(QuitSignals, EachSignalRunsTheCallInTheEventLoop) {
  QObject owner;
  int calls = 0;
  ASSERT_TRUE(RunOnQuitSignals(&owner, [&] { ++calls; }));
  ASSERT_EQ(::raise(SIGTERM), 0);
  EXPECT_EQ(calls, 0);  // nothing runs inside the signal handler itself
  EXPECT_TRUE(LoopUntil([&] { return calls == 1; }));
  ASSERT_EQ(::raise(SIGINT), 0);
  EXPECT_TRUE(LoopUntil([&] { return calls == 2; }));
}

fs::path ProgramPath() {
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "program" / "orvela-jukebox";
}

// Whether the process has its own handler for `signal` (SigCgt in its status).
bool CatchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) {
      const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
      return (mask >> (signal - 1)) & 1ULL;
    }
  }
  return false;
}

class ProgramSignalTest : public ::testing::TestWithParam<int> {
 protected:
  // Starts a copy of the program in `folder`, sends the signal once it has its
  // own handler (and `settle` later), and answers how it ended.
  void SignalProgram(ProgramFolder& folder, std::chrono::milliseconds settle, int* status) {
    const std::string exe = folder.Path() + "orvela-jukebox";
    fs::copy_file(ProgramPath(), exe);
    SignalProgramAt(exe, {}, folder.Path(), settle, status);
  }

  // The same for a copy of the program at `exe`, started with `args`.
  void SignalProgramAt(const std::string& exe, std::vector<std::string> args, const std::string& home,
                       std::chrono::milliseconds settle, int* status) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy", "HOME=" + home};
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv = {const_cast<char*>(exe.c_str())};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);

    // Wait until the program is up with its own handler in place.
    bool ready = false;
    for (int i = 0; i < 400 && !ready; ++i) {
      ready = CatchesSignal(pid, GetParam());
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_TRUE(ready) << "the program never took the signal over";
    std::this_thread::sleep_for(settle);
    ASSERT_EQ(::kill(pid, GetParam()), 0);

    pid_t ended = 0;
    for (int i = 0; i < 400 && ended == 0; ++i) {
      ended = ::waitpid(pid, status, WNOHANG);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (ended == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, status, 0);
      FAIL() << "the program ignored the signal";
    }
  }
};

TEST_P(ProgramSignalTest, EndsThroughItsShutDown) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "orvela-jukebox is not built";
  // The program reads its data files beside its executable.
  ProgramFolder folder;
  folder.WriteAll(kPlainIni, {{"ABBA", "Waterloo", "/m/w.mp3", "Pop", "1974", "02:46"}});
  int status = 0;
  ASSERT_NO_FATAL_FAILURE(SignalProgram(folder, std::chrono::milliseconds(0), &status));
  // Leaving main normally is what runs the main window's destruction, the
  // shut-down; a process killed by the signal would report the signal instead.
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A start refused with a box (a missing file, a folder in use) waits for a
// finger nobody may give: a service stopping it must not wait for one too.
TEST_P(ProgramSignalTest, EndsWhileAStartUpBoxWaits) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "orvela-jukebox is not built";
  ProgramFolder folder;
  folder.WriteAll(kPlainIni, {});
  folder.Remove("TempJahr.text");
  int status = 0;
  ASSERT_NO_FATAL_FAILURE(SignalProgram(folder, std::chrono::milliseconds(1500), &status));
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
}

// A program folder the jukebox cannot use is refused before the event loop
// runs, with one box saying why; a quit while a box of that time waits is not
// lost (the toolkit ignores a quit before its loop), so no second box follows
// that would wait for another signal. Nothing is made in a folder whose name
// the code page cannot spell.
TEST_P(ProgramSignalTest, EndsAtTheFirstSignalBeforeTheEventLoop) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "orvela-jukebox is not built";
  ProgramFolder root;
  // The installed layout, so that a given folder is filled from the delivered files.
  const fs::path lib = fs::path(root.Path()) / "lib" / "orvela-jukebox";
  const fs::path data = fs::path(root.Path()) / "share" / "orvela-jukebox";
  fs::create_directories(lib);
  fs::create_directories(data);
  std::ofstream(data / "Jukebox.ini") << kPlainIni;
  const std::string exe = (lib / "orvela-jukebox").string();
  fs::copy_file(ProgramPath(), exe);
  std::ofstream(fs::path(root.Path()) / "eine-datei") << "x";
  const struct {
    const char* name;
    std::string folder;
  } cases[] = {
      // The delivered files cannot be copied there, and the files are then missing: two boxes.
      {"a folder nothing can be copied into", "/proc"},
      {"a file", root.Path() + "eine-datei"},
      {"a name outside the code page", root.Path() + "\xE6\x97\xA5\xE6\x9C\xAC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int status = 0;
    ASSERT_NO_FATAL_FAILURE(
        SignalProgramAt(exe, {"--program-folder", c.folder}, root.Path(), std::chrono::milliseconds(1500), &status));
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  }
  EXPECT_FALSE(fs::exists(root.Path() + "\xE6\x97\xA5\xE6\x9C\xAC"));
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ProgramSignalTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return info.param == SIGTERM ? "Term" : "Int"; });

}  // namespace
}  // namespace orvela::testing
