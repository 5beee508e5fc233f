#include "common/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::ScratchFolderTest {
 protected:
  AtomicFileTest() : ScratchFolderTest("orvela-atomic") {}
  int Entries() const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  }
};

TEST_F(AtomicFileTest, ReplacesContentAndKeepsModeAndOwner) {
  const fs::path file = dir_ / "Musikliste.xml";
  { std::ofstream(file) << "old content that is longer"; }
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // Only a superuser can hand a file to someone else, so only then can the test
  // see that the owner survives; everyone sees the mode survive.
  const bool superuser = geteuid() == 0;
  if (superuser) {
    ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  }
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, std::string("new\0bytes", 9), &error)) << error;
  EXPECT_EQ(ReadWholeFile(file), std::string("new\0bytes", 9));
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  if (superuser) {
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
  }
  EXPECT_EQ(Entries(), 1);
}

TEST_F(AtomicFileTest, CreatesANewFile) {
  const fs::path file = dir_ / "neu.m3u";
  ASSERT_TRUE(WriteFileAtomically(file, ""));
  EXPECT_EQ(ReadWholeFile(file), "");
}

TEST_F(AtomicFileTest, FailureLeavesTheOldContentAndNoTemporaryFile) {
  // A non-empty folder cannot be replaced by a file, whoever runs the test.
  const fs::path blocked = dir_ / "blocked";
  fs::create_directories(blocked / "inside");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(blocked, "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(blocked / "inside"));
  EXPECT_EQ(Entries(), 1);
}

// Read-only as the operator means it: no write permission bit at all, on the file
// or on its folder. That binds a superuser as well, who could write regardless.
TEST_F(AtomicFileTest, ReadOnlyFileOrFolderIsRefusedAndKeepsItsContent) {
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  struct Case {
    const char* name;
    fs::perms filePerms;
    fs::perms folderPerms;
  } const cases[] = {
      {"file r--r--r--", readOnly, fs::perms::owner_all},
      {"file without any permission", fs::perms::none, fs::perms::owner_all},
      {"folder r-xr-xr-x", fs::perms::owner_read | fs::perms::owner_write,
       readOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir_ / "sub";
    fs::create_directory(folder);
    const fs::path file = folder / "Musikliste.xml";
    { std::ofstream(file) << "old"; }
    fs::permissions(file, c.filePerms);
    fs::permissions(folder, c.folderPerms);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(file, "new", &error));
    EXPECT_FALSE(error.empty());
    fs::permissions(folder, fs::perms::owner_all);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadWholeFile(file), "old");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
    fs::remove_all(folder);
  }
}

TEST_F(AtomicFileTest, WritesThroughLinksToTheFileTheyName) {
  const fs::path real = dir_ / "data" / "Musikliste.xml";
  fs::create_directory(dir_ / "data");
  struct Case {
    const char* name;
    fs::path linkTarget;  // what the link says
    bool realExists;
  } const cases[] = {
      {"absolute link", real, true},
      {"relative link", "data/Musikliste.xml", true},
      {"link to a link", dir_ / "second-link", true},
      {"link to a file not written yet", real, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(real);
    if (c.realExists) std::ofstream(real) << "old";
    fs::remove(dir_ / "second-link");
    fs::create_symlink(real, dir_ / "second-link");
    const fs::path link = dir_ / "link.xml";
    fs::remove(link);
    fs::create_symlink(c.linkTarget, link);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(link, "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), c.linkTarget);
    EXPECT_EQ(ReadWholeFile(real), "new");
  }
}

TEST_F(AtomicFileTest, DiscardedWriteLeavesTheOldFile) {
  const fs::path file = dir_ / "Jukebox.ini";
  { std::ofstream(file) << "old"; }
  {
    TAtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(file.string()));
    EXPECT_TRUE(writer.ReplacesAFile());
    ASSERT_TRUE(writer.Write("half of the new"));
  }
  EXPECT_EQ(ReadWholeFile(file), "old");
  EXPECT_EQ(Entries(), 1);
}

// A write killed midway leaves its temporary file; the next write of the same file
// removes it, and nothing else: not another file's, not one a running write holds,
// not a file that only looks similar.
TEST_F(AtomicFileTest, LeftoversOfAKilledWriteGoAtTheNextWrite) {
  const fs::path file = dir_ / "Musikliste.xml";
  { std::ofstream(file) << "old"; }
  const testing::ChildOutcome killed = testing::RunInChild([&file] {
    TAtomicFileWriter writer;
    if (!writer.Open(file.string()) || !writer.Write("half")) return 1;
    ::_exit(0);  // killed: no Commit, no clean-up
  });
  ASSERT_TRUE(killed.Ok()) << killed.Describe();
  std::vector<std::string> leftovers;
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.path().filename() != "Musikliste.xml") leftovers.push_back(e.path().filename().string());
  ASSERT_EQ(leftovers.size(), 1u);
  EXPECT_EQ(leftovers[0].rfind(".Musikliste.xml.", 0), 0u) << leftovers[0];

  const std::vector<std::string> unrelated = {
      ".Musikliste.xml.orvela-AbC12",   ".Musikliste.xml.orvela-AbC1234", ".Musikliste.xml.orvela-AbC12!",
      ".Jukebox.ini.orvela-AbC123",     "Musikliste.xml.orvela-AbC123",   ".Musikliste.xml.backup",
      ".Musikliste.xml.orvela-Held99",  // a write in progress holds it
  };
  for (const auto& name : unrelated) std::ofstream(dir_ / name) << "keep";
  fs::create_directory(dir_ / ".Musikliste.xml.orvela-Folder");
  const int held = ::open((dir_ / ".Musikliste.xml.orvela-Held99").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  ::close(held);
  EXPECT_EQ(ReadWholeFile(file), "new");
  EXPECT_FALSE(fs::exists(dir_ / leftovers[0]));
  for (const auto& name : unrelated) EXPECT_EQ(ReadWholeFile(dir_ / name), "keep") << name;
  EXPECT_TRUE(fs::is_directory(dir_ / ".Musikliste.xml.orvela-Folder"));
}

TEST_F(AtomicFileTest, ReadWholeFileLimits) {
  const fs::path file = dir_ / "ten";
  { std::ofstream(file) << "0123456789"; }
  EXPECT_EQ(ReadWholeFile(file, 10), "0123456789");
  EXPECT_EQ(ReadWholeFile(file, 9), std::nullopt);
  EXPECT_EQ(ReadWholeFile(dir_ / "missing"), std::nullopt);
  { std::ofstream(dir_ / "empty"); }
  EXPECT_EQ(ReadWholeFile(dir_ / "empty"), "");
}

// A FIFO where a file is expected would wait for a writer forever; a folder or a
// device is no file either. None of them is read.
TEST_F(AtomicFileTest, ReadWholeFileReadsRegularFilesOnly) {
  ASSERT_EQ(::mkfifo((dir_ / "Jukebox.ini").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder");
  const fs::path dir = dir_;
  const testing::ChildOutcome verdict = testing::RunInChild([&dir] {
    for (const fs::path& p : {dir / "Jukebox.ini", dir / "folder", fs::path("/dev/zero")})
      if (ReadWholeFile(p).has_value()) return 1;
    return 0;
  });
  EXPECT_TRUE(verdict.Ok()) << verdict.Describe();
}

// The program's own bookkeeping files never lead out of the program folder: a
// link under such a name is replaced by the file itself, its target stays as
// it was (or is not made at all), and the folder's log says what happened.
TEST_F(AtomicFileTest, OwnFilesReplaceALinkInsteadOfWritingThroughIt) {
  fs::create_directory(dir_ / "anderswo");
  const fs::path own = dir_ / "Warteschlange.m3u";
  const fs::path log = dir_ / "Jukebox.log";
  const struct {
    const char* name;
    fs::path linkTarget;  // empty: no link, a file of its own
    bool targetExists;
  } cases[] = {
      {"a link to a file elsewhere", dir_ / "anderswo" / "passwd", true},
      {"a dangling link", dir_ / "anderswo" / "neu", false},
      {"a relative link", "anderswo/passwd", true},
      {"a file of its own", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(own);
    fs::remove(log);
    fs::remove(dir_ / "anderswo" / "passwd");
    fs::remove(dir_ / "anderswo" / "neu");
    if (c.targetExists) std::ofstream(dir_ / "anderswo" / "passwd") << "root:x:0:0";
    if (c.linkTarget.empty()) {
      std::ofstream(own) << "alt";
    } else {
      fs::create_symlink(c.linkTarget, own);
    }
    // Read first, as the start-up does: a link is no file of its own.
    EXPECT_EQ(IsOwnFile(own.string()), c.linkTarget.empty());
    EXPECT_EQ(ReadOwnFile(own.string(), 1000), c.linkTarget.empty() ? std::optional<std::string>("alt") : std::nullopt);
    std::string error;
    ASSERT_TRUE(WriteOwnFile(own.string(), "#EXTM3U\n", &error)) << error;
    EXPECT_FALSE(fs::is_symlink(own));
    EXPECT_EQ(ReadOwnFile(own.string(), 1000), "#EXTM3U\n");
    EXPECT_EQ(ReadWholeFile(dir_ / "anderswo" / "passwd"),
              c.targetExists ? std::optional<std::string>("root:x:0:0") : std::nullopt);
    EXPECT_FALSE(fs::exists(dir_ / "anderswo" / "neu"));
    const std::optional<std::string> logged = ReadWholeFile(log);
    if (c.linkTarget.empty()) {
      EXPECT_FALSE(logged.has_value()) << *logged;
    } else {
      ASSERT_TRUE(logged.has_value());
      // A line for each refused look (two) and one for the replaced link, each naming file and target.
      EXPECT_EQ(std::count(logged->begin(), logged->end(), '\n'), 3) << *logged;
      EXPECT_NE(logged->find("Warteschlange.m3u ist ein symbolischer Verweis auf " + c.linkTarget.string()),
                std::string::npos)
          << *logged;
      EXPECT_NE(logged->find("Warteschlange.m3u war ein symbolischer Verweis auf " + c.linkTarget.string()),
                std::string::npos)
          << *logged;
    }
  }
}

}  // namespace
}  // namespace orvela
