// scan: a folder tree appended to a program folder's collection file from the
// terminal, in the order the window's scan appends it; interrupted, it keeps
// what it read; without a collection file, or while the jukebox or another
// command holds the program folder, it changes nothing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "collection/collection_table.h"
#include "common/program_folder_lock.h"
#include "support/audio_fixtures.h"
#include "support/collection_file_text.h"
#include "support/mp3_tree.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

const std::string kEmptyCollection = std::string(kCollectionFileHead) + kCollectionFileTail;

bool ToolBuilt() { return fs::exists(ToolPath()); }

class ToolScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolBuilt()) GTEST_SKIP() << "orvela-jukebox-tool is not built";
    program = scratch.Path() / "programm";
    music = scratch.Path() / "musik";
    fs::create_directories(program);
    WriteFileBytes(program / "Musikliste.xml", kEmptyCollection);
    for (const char* name : {"b.mp3", "A.MP3", "sub/c.mp3", "sub/tief/d.mp3", "zwei/e.mp3"}) WriteTinyMp3(music / name);
  }

  std::vector<std::string> StoredPaths() const {
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    table.LoadFromFile((program / "Musikliste.xml").string());
    std::vector<std::string> paths;
    for (int row = 0; row < table.RecordCount(); ++row) paths.push_back(table.ViewField(row, TCollectionTable::Pfad));
    return paths;
  }

  std::vector<std::string> Music(const std::vector<std::string>& names) const {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back((music / name).string());
    return paths;
  }

  ScratchFolder scratch;
  fs::path program;
  fs::path music;
};

TEST_F(ToolScanTest, AppendsInWalkOrderAndTwiceDoublesEveryTitle) {
  const std::vector<std::string> recursive = Music({"A.MP3", "b.mp3", "sub/c.mp3", "sub/tief/d.mp3", "zwei/e.mp3"});
  const ToolRun first = RunTool({"scan", "--recursive", music.string(), program.string()});
  ASSERT_TRUE(first.exited && first.status == 0) << first.How() << first.err;
  EXPECT_EQ(StoredPaths(), recursive);
  EXPECT_EQ(first.out.rfind("5 titles added in ", 0), 0u) << first.out;
  EXPECT_EQ(first.out.find("left out"), std::string::npos);
  EXPECT_TRUE(first.err.empty()) << first.err;  // no progress line off a terminal

  const ToolRun second = RunTool({"scan", "--recursive", music.string() + "/", program.string()});
  ASSERT_TRUE(second.exited && second.status == 0) << second.How() << second.err;
  std::vector<std::string> twice = recursive;
  twice.insert(twice.end(), recursive.begin(), recursive.end());
  EXPECT_EQ(StoredPaths(), twice);

  // Without --recursive the folder's own files only.
  const ToolRun own = RunTool({"scan", (music / "sub").string(), program.string()});
  ASSERT_TRUE(own.exited && own.status == 0) << own.How() << own.err;
  EXPECT_EQ(StoredPaths().back(), (music / "sub/c.mp3").string());
  EXPECT_EQ(StoredPaths().size(), 11u);
}

// FLAC, Ogg, Opus and M4A files are music too, whatever the case of their
// names; other files beside them are not.
TEST_F(ToolScanTest, TakesFlacOggOpusAndM4aBesideMp3) {
  fs::copy_file(AudioFixturePath("tagged.flac"), music / "f.FLAC");
  fs::copy_file(AudioFixturePath("tagged.ogg"), music / "g.ogg");
  fs::copy_file(AudioFixturePath("tagged.opus"), music / "sub/h.opus");
  fs::copy_file(AudioFixturePath("tagged.m4a"), music / "zwei/i.M4a");
  WriteFileBytes(music / "cover.jpg", "\xFF\xD8\xFF");
  const ToolRun run = RunTool({"scan", "--recursive", music.string(), program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_EQ(StoredPaths(), Music({"A.MP3", "b.mp3", "f.FLAC", "g.ogg", "sub/c.mp3", "sub/h.opus", "sub/tief/d.mp3",
                                  "zwei/e.mp3", "zwei/i.M4a"}));
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  table.LoadFromFile((program / "Musikliste.xml").string());
  std::vector<std::string> artists;
  for (int row = 0; row < table.RecordCount(); ++row) {
    artists.push_back(table.ViewField(row, TCollectionTable::Interpret));
  }
  EXPECT_EQ(artists, (std::vector<std::string>{"Band", "Band", "Die \xC4rzte", "Vorbis K\xFCnstler", "Band",
                                               "Opus Band", "Band", "Band", "AAC Artist"}));
}

TEST_F(ToolScanTest, FilesTheCollectionCannotNameAreCountedInTheSummary) {
  WriteTinyMp3(music / "\xC5\x82\x61.mp3");  // "ła": ł is not in the code page
  const ToolRun run = RunTool({"scan", "--recursive", music.string(), program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_NE(run.out.find("5 titles added"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 file left out"), std::string::npos) << run.out;
  EXPECT_EQ(StoredPaths().size(), 5u);
}

// A relative FOLDER is taken from the working folder, and the collection
// stores where the titles are, not where they were seen from.
TEST_F(ToolScanTest, ARelativeFolderStoresAbsolutePaths) {
  const struct {
    const char* name;
    fs::path workingFolder;
    std::string folder;
    std::string programFolder;
  } cases[] = {
      {"a folder below", scratch.Path(), "musik/sub", "programm"},
      {"the working folder itself", music / "sub", ".", "../../programm"},
  };
  const fs::path here = fs::current_path();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(program / "Musikliste.xml", kEmptyCollection);
    fs::current_path(c.workingFolder);
    const ToolRun run = RunTool({"scan", c.folder, c.programFolder});
    fs::current_path(here);
    ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
    EXPECT_EQ(StoredPaths(), Music({"sub/c.mp3"}));
  }
}

// Names that are no regular file when read are not stored, and the summary says so.
TEST_F(ToolScanTest, WhatIsNoRegularFileIsSkippedAndCounted) {
  fs::create_symlink(music / "nirgends.mp3", music / "c.mp3");
  ASSERT_EQ(::mkfifo((music / "d.mp3").c_str(), 0600), 0);
  const ToolRun run = RunTool({"scan", music.string(), program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_EQ(StoredPaths(), Music({"A.MP3", "b.mp3"}));
  EXPECT_NE(run.out.find("2 titles added"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 files skipped (gone or not a regular file)"), std::string::npos) << run.out;
}

TEST_F(ToolScanTest, WithoutAUsableCollectionFileOrAFolderNothingChanges) {
  const struct {
    const char* name;
    const char* content;  // nullptr: no collection file at all
    const char* folder;   // inside the music folder
    const char* message;
    fs::perms fileMode = fs::perms(0644);
    fs::perms programMode = fs::perms(0755);
  } cases[] = {
      {"missing", nullptr, "", "does not exist; nothing was scanned"},
      {"not a collection", "kein XML", "", "cannot load the collection, nothing was scanned"},
      {"no such folder", kEmptyCollection.c_str(), "gibt es nicht", "is not a folder; nothing was scanned"},
      {"a file, not a folder", kEmptyCollection.c_str(), "b.mp3", "is not a folder; nothing was scanned"},
      // Without any write permission bit, for root too.
      {"a read-only collection file", kEmptyCollection.c_str(), "", "cannot be written, nothing was scanned",
       fs::perms(0444)},
      {"a read-only program folder", kEmptyCollection.c_str(), "", "cannot be written, nothing was scanned",
       fs::perms(0644), fs::perms(0555)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = program / "Musikliste.xml";
    fs::remove(file);
    if (c.content != nullptr) {
      WriteFileBytes(file, c.content);
      fs::permissions(file, c.fileMode);
    }
    fs::permissions(program, c.programMode);
    const ToolRun run = RunTool({"scan", "--recursive", (music / c.folder).string(), program.string()});
    fs::permissions(program, fs::perms(0755));
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    if (c.content == nullptr) {
      EXPECT_FALSE(fs::exists(file));
    } else {
      EXPECT_EQ(ReadFileBytes(file), c.content);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), c.content ? 1 : 0);
  }
}

// A running jukebox (or another command) holds the program folder: the writing
// commands leave it exactly as it is, and work again once it is free.
TEST_F(ToolScanTest, AProgramFolderInUseIsLeftAlone) {
  const std::string collection = ReadFileBytes(program / "Musikliste.xml");
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {"scan", {"scan", "--recursive", music.string(), program.string()}, "nothing was scanned"},
      {"demo", {"demo", program.string()}, "nothing was written"},
  };
  auto holder = std::make_unique<TProgramFolderLock>(program);
  ASSERT_EQ(holder->State(), TProgramFolderLock::TState::Held);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(c.args);
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find("is in use"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(program / "Musikliste.xml"), collection);
    EXPECT_FALSE(fs::exists(program / "Demo"));
  }
  holder.reset();
  const ToolRun free = RunTool(cases[0].args);
  ASSERT_TRUE(free.exited && free.status == 0) << free.How() << free.err;
  EXPECT_EQ(StoredPaths().size(), 5u);
  // The scan let go of the folder when it ended.
  EXPECT_EQ(TProgramFolderLock(program).State(), TProgramFolderLock::TState::Held);
}

// The file the child has open, if it is one of the slow ones.
std::string SlowFileOpenIn(pid_t pid) {
  std::error_code error;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::string target = fs::read_symlink(fd.path(), error).string();
    if (target.find("/langsam") != std::string::npos) return target;
  }
  return {};
}

// Files without a frame are read to their end: sparse ones of 32 MiB make the
// walk slow enough to be caught in the middle.
void WriteSlowFiles(const fs::path& music) {
  for (int i = 1; i <= 4; ++i) {
    const fs::path slow = music / ("zwei/langsam" + std::to_string(i) + ".mp3");
    WriteFileBytes(slow, "");
    fs::resize_file(slow, std::uintmax_t{32} << 20);
  }
}

// A scan in a child process, caught while it reads one of the slow files
// (returned in *caught, empty if it never got there).
pid_t StartCaughtScan(const fs::path& music, const fs::path& program, std::string* caught) {
  const std::string tool = ToolPath().string();
  const std::string folderArg = music.string();
  const std::string programArg = program.string();
  const pid_t child = ::fork();
  if (child == 0) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::alarm(120);
    ::execl(tool.c_str(), tool.c_str(), "scan", "--recursive", folderArg.c_str(), programArg.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (child <= 0) return child;
  caught->clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (caught->empty() && std::chrono::steady_clock::now() < deadline) {
    *caught = SlowFileOpenIn(child);
    if (caught->empty()) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return child;
}

// Ctrl-C stops the walk after the file being read, and what was read is saved.
TEST_F(ToolScanTest, AnInterruptedScanKeepsWhatItRead) {
  WriteSlowFiles(music);
  const std::vector<std::string> order =
      Music({"A.MP3", "b.mp3", "sub/c.mp3", "sub/tief/d.mp3", "zwei/e.mp3", "zwei/langsam1.mp3", "zwei/langsam2.mp3",
             "zwei/langsam3.mp3", "zwei/langsam4.mp3"});

  std::string caught;
  const pid_t child = StartCaughtScan(music, program, &caught);
  ASSERT_GT(child, 0);
  ::kill(child, SIGINT);
  int raw = 0;
  ::waitpid(child, &raw, 0);
  ASSERT_FALSE(caught.empty()) << "the scan never reached the slow files";
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 128 + SIGINT) << raw;

  const std::vector<std::string> stored = StoredPaths();
  const auto reached = std::find(order.begin(), order.end(), caught);
  ASSERT_NE(reached, order.end()) << caught;
  const auto atLeast = static_cast<std::size_t>(reached - order.begin()) + 1;
  // Everything up to the file it was reading, perhaps the next one, never the rest.
  EXPECT_GE(stored.size(), atLeast);
  EXPECT_LE(stored.size(), atLeast + 1);
  EXPECT_LT(stored.size(), order.size());
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), order.begin()));
}

// Two scans into one folder: the second would load the collection before the
// first writes it and then write it over the first one's titles.
TEST_F(ToolScanTest, ASecondScanIsRefusedWhileTheFirstRuns) {
  WriteSlowFiles(music);
  const fs::path other = scratch.Path() / "andere";
  WriteTinyMp3(other / "f.mp3");
  std::string caught;
  const pid_t first = StartCaughtScan(music, program, &caught);
  ASSERT_GT(first, 0);
  const ToolRun second = RunTool({"scan", other.string(), program.string()});
  ::kill(first, SIGINT);
  int raw = 0;
  ::waitpid(first, &raw, 0);
  ASSERT_FALSE(caught.empty()) << "the first scan never reached the slow files";
  EXPECT_TRUE(second.exited && second.status == 1) << second.How();
  EXPECT_NE(second.err.find("is in use"), std::string::npos) << second.err;
  // Only the first scan's titles, and the folder is free again.
  const std::vector<std::string> stored = StoredPaths();
  ASSERT_FALSE(stored.empty());
  for (const std::string& path : stored) EXPECT_EQ(path.rfind(music.string(), 0), 0u) << path;
  EXPECT_FALSE(fs::exists(program / TProgramFolderLock::kFileName));
}

}  // namespace
}  // namespace orvela::testing
