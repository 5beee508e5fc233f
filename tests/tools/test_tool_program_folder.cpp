// The writing commands and the program folder: they say who holds it, refuse
// when its lock cannot be taken at all, check before they write, and never
// write the program's own files through a link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/program_folder_lock.h"
#include "support/collection_file_text.h"
#include "support/mp3_tree.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

const std::string kEmptyCollection = std::string(kCollectionFileHead) + kCollectionFileTail;

class ToolProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
    program = scratch.Path() / "programm";
    music = scratch.Path() / "musik";
    fs::create_directories(program);
    WriteFileBytes(program / "Musikliste.xml", kEmptyCollection);
    WriteTinyMp3(music / "a.mp3");
  }

  struct Command {
    const char* name;
    std::vector<std::string> args;
    const char* nothingDone;
  };
  std::vector<Command> Commands() const {
    return {{"scan", {"scan", music.string(), program.string()}, "nothing was scanned"},
            {"demo", {"demo", program.string()}, "nothing was written"},
            {"loudness", {"loudness", program.string()}, "nothing was measured"}};
  }

  // Nothing of the program folder changed: the collection as it was, no demo
  // titles, no results.
  void ExpectUntouched() const {
    EXPECT_EQ(ReadFileBytes(program / "Musikliste.xml"), kEmptyCollection);
    EXPECT_FALSE(fs::exists(program / "Demo"));
    EXPECT_FALSE(fs::exists(program / "Lautheit.txt"));
  }

  ScratchFolder scratch;
  fs::path program;
  fs::path music;
};

// The refused command says who holds the folder, not "a jukebox or another command".
TEST_F(ToolProgramFolderTest, ARefusalNamesWhoHoldsTheFolder) {
  const struct {
    const char* holder;
    std::string says;
  } holders[] = {
      {"orvela-jukebox", "is in use (by the running jukebox, process " + std::to_string(::getpid()) + ")"},
      {"orvela-jukebox-tool scan", "is in use (by the command \"scan\", process " + std::to_string(::getpid()) + ")"},
  };
  for (const auto& h : holders) {
    const TProgramFolderLock held(program, h.holder);
    ASSERT_EQ(held.State(), TProgramFolderLock::TState::Held);
    for (const Command& c : Commands()) {
      SCOPED_TRACE(std::string(h.holder) + " / " + c.name);
      const ToolRun run = RunTool(c.args);
      EXPECT_TRUE(run.exited && run.status == 1) << run.How();
      EXPECT_NE(run.err.find(h.says), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(c.nothingDone), std::string::npos) << run.err;
      ExpectUntouched();
    }
  }
}

// A lock that cannot be taken (a link under the lock file's name, dangling or
// not, or a folder there) shuts every writer out instead of none: two scans
// could otherwise both write the collection.
TEST_F(ToolProgramFolderTest, ALockThatCannotBeTakenRefusesEveryWriter) {
  const fs::path lockFile = program / TProgramFolderLock::kFileName;
  const fs::path target = scratch.Path() / "ziel";
  const struct {
    const char* name;
    bool link;
    bool targetExists;
    const char* says;
  } cases[] = {
      {"a link to a file", true, true, "is a symbolic link"},
      {"a dangling link", true, false, "is a symbolic link"},
      {"a folder", false, false, "is a folder"},
  };
  for (const auto& k : cases) {
    fs::remove_all(lockFile);
    fs::remove(target);
    if (k.targetExists) WriteFileBytes(target, "fremd");
    if (k.link) {
      fs::create_symlink(target, lockFile);
    } else {
      fs::create_directory(lockFile);
    }
    for (const Command& c : Commands()) {
      SCOPED_TRACE(std::string(k.name) + " / " + c.name);
      const ToolRun run = RunTool(c.args);
      EXPECT_TRUE(run.exited && run.status == 1) << run.How();
      EXPECT_NE(run.err.find("cannot lock the program folder: the lock file " + lockFile.string() + " " + k.says),
                std::string::npos)
          << run.err;
      EXPECT_NE(run.err.find(c.nothingDone), std::string::npos) << run.err;
      ExpectUntouched();
      EXPECT_EQ(fs::exists(target), k.targetExists);
      if (k.targetExists) EXPECT_EQ(ReadFileBytes(target), "fremd");
    }
  }
}

// demo checks that the collection file can be written before it makes a
// single title, so a refused run leaves nothing behind.
TEST_F(ToolProgramFolderTest, DemoIntoAFolderItCannotWriteMakesNothing) {
  const struct {
    const char* name;
    fs::perms folderMode;
    fs::perms collectionMode;
    const char* says;
  } cases[] = {
      {"read-only collection file", fs::perms(0755), fs::perms(0444), "is read-only"},
      {"read-only program folder", fs::perms(0555), fs::perms(0644), "is read-only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::permissions(program / "Musikliste.xml", c.collectionMode);
    fs::permissions(program, c.folderMode);
    const ToolRun run = RunTool({"demo", program.string()});
    fs::permissions(program, fs::perms(0755));
    fs::permissions(program / "Musikliste.xml", fs::perms(0644));
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    ExpectUntouched();
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 1);
  }
}

// loudness replaces a link standing in for its results file instead of
// writing over the file the link names, and says so in the folder's log.
TEST_F(ToolProgramFolderTest, LoudnessReplacesALinkedResultsFile) {
  const fs::path elsewhere = scratch.Path() / "fremd.txt";
  WriteFileBytes(elsewhere, "nicht anfassen\n");
  fs::create_symlink(elsewhere, program / "Lautheit.txt");
  const ToolRun run = RunTool({"loudness", program.string()});
  ASSERT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_EQ(ReadFileBytes(elsewhere), "nicht anfassen\n");
  EXPECT_FALSE(fs::is_symlink(program / "Lautheit.txt"));
  EXPECT_TRUE(fs::is_regular_file(program / "Lautheit.txt"));
  EXPECT_NE(ReadFileBytes(program / "Jukebox.log").find("Lautheit.txt war ein symbolischer Verweis auf " + elsewhere.string()),
            std::string::npos);
}

}  // namespace
}  // namespace orvela::testing
