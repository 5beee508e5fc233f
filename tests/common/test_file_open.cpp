// Opening files that may be pipes, devices or folders, and names written in
// code-page bytes by another system.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "common/file_open.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

class FileOpenTest : public ::testing::Test {
 protected:
  FileOpenTest() {
    dir = fs::temp_directory_path() / ("orvela_file_open_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~FileOpenTest() override { fs::remove_all(dir); }

  std::string Native(const std::string& name) const { return (dir / name).string(); }
  void Write(const std::string& nativePath, const std::string& text) {
    std::ofstream(nativePath, std::ios::binary) << text;
  }
  std::string ReadAll(int fd) {
    std::string out;
    char buf[64];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
  }

  fs::path dir;
};

TEST_F(FileOpenTest, OnlyRegularFilesOpenAndNothingBlocks) {
  Write(Native("plain.txt"), "abc");
  ASSERT_EQ(::mkfifo(Native("pipe.mp3").c_str(), 0600), 0);
  fs::create_directory(dir / "folder.xml");
  fs::create_symlink(dir / "plain.txt", dir / "link.txt");
  fs::create_symlink(dir / "pipe.mp3", dir / "link.mp3");

  // A FIFO without a writer would block a plain open forever; here it is refused.
  for (const char* name : {"pipe.mp3", "link.mp3", "folder.xml", "missing"}) {
    errno = 0;
    EXPECT_EQ(OpenRegularFileForReading(Native(name)), -1) << name;
    EXPECT_FALSE(IsRegularFile(Native(name))) << name;
  }
  EXPECT_EQ(OpenRegularFileForReading("/dev/zero"), -1);

  for (const char* name : {"plain.txt", "link.txt"}) {
    const int fd = OpenRegularFileForReading(Native(name));
    ASSERT_GE(fd, 0) << name;
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "blocking again once open";
    EXPECT_EQ(ReadAll(fd), "abc");
    EXPECT_TRUE(IsRegularFile(Native(name)));
  }
}

TEST_F(FileOpenTest, CodePageNamesOpenUnderEitherSpelling) {
  // "Müller.mp3" as a USB stick written by an older system stores it (Latin-1
  // bytes), beside "Jürgen" written as UTF-8 holding such a name in turn.
  const std::string latin1Name = "M\xFCller.mp3";
  Write(Native(latin1Name), "latin1");
  fs::create_directory(dir / "J\u00FCrgen");
  Write(Native("J\u00FCrgen/" + latin1Name), "mixed");
  Write(Native("\u00C4rger.mp3"), "utf8");

  struct Case {
    std::string nativeName;
    std::string cp1252Name;
    std::string content;
  } const cases[] = {
      {latin1Name, "M\xFCller.mp3", "latin1"},
      {"J\u00FCrgen/" + latin1Name, "J\xFCrgen/M\xFCller.mp3", "mixed"},
      {"\u00C4rger.mp3", "\xC4rger.mp3", "utf8"},
  };
  const std::string cpDir = NativePathToCp1252(dir.string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cp1252Name);
    // Listing the folder gives the code-page name byte for byte...
    const std::string stored = NativePathToCp1252(Native(c.nativeName));
    EXPECT_EQ(stored, cpDir + "/" + c.cp1252Name);
    // ...and the stored name opens the file it came from.
    EXPECT_EQ(ResolveCodePagePath(stored), Native(c.nativeName));
    const int fd = OpenRegularCodePageFile(stored);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadAll(fd), c.content);
  }
  EXPECT_EQ(OpenRegularCodePageFile(cpDir + "/nirgends.mp3"), -1);
  EXPECT_EQ(ResolveCodePagePath(cpDir + "/n\xE4" "chste.mp3"), Native("n\u00E4chste.mp3"));
  // A file still to be written inside a folder named in code-page bytes.
  fs::create_directory(dir / "D\xF6rte");
  EXPECT_EQ(ResolveCodePagePath(cpDir + "/D\xF6rte/n\xE4" "chste.m3u"), Native("D\xF6rte/n\u00E4chste.m3u"));
}

// A file about to be written goes where it is, or else into the folder as it
// exists, whichever spelling that folder has; a new name is written in UTF-8.
TEST_F(FileOpenTest, WritingResolvesTheFolderAndKeepsAnExistingSpelling) {
  fs::create_directory(dir / "Gr\xFC\xDF");  // a Latin-1 folder name
  Write(Native("Gr\xFC\xDF/Alt \xE4.ini"), "old");
  const std::string cpFolder = NativePathToCp1252(dir.string()) + "/Gr\xFC\xDF";
  EXPECT_EQ(ResolveCodePagePathForWriting(cpFolder + "/Alt \xE4.ini"), Native("Gr\xFC\xDF/Alt \xE4.ini"));
  EXPECT_EQ(ResolveCodePagePathForWriting(cpFolder + "/Neu \xE4.ini"), Native("Gr\xFC\xDF/Neu \u00E4.ini"));
  EXPECT_EQ(ResolveCodePagePathForWriting(cpFolder + "/Jukebox.ini"), Native("Gr\xFC\xDF/Jukebox.ini"));
}

// The audio readers' way in: one open, one fstat, positioned reads. The size
// comes from that fstat; what is no regular file is refused at once, under
// either spelling of a stored code-page name.
TEST_F(FileOpenTest, PositionedReadOpenGivesTheSizeAndRefusesWhatIsNoFile) {
  Write(Native("M\xFCller.mp3"), "latin1 bytes");  // a Latin-1 name on disk
  Write(Native("\u00C4rger.mp3"), "utf8");
  ASSERT_EQ(::mkfifo(Native("pipe.mp3").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(Native("R\xF6hre.mp3").c_str(), 0600), 0);
  fs::create_directory(dir / "folder.mp3");
  fs::create_symlink(dir / "pipe.mp3", dir / "link.mp3");
  const std::string cpDir = NativePathToCp1252(dir.string());

  struct Case {
    std::string stored;  // code page
    long size;           // -1: refused
  } const cases[] = {
      {"/M\xFCller.mp3", 12}, {"/\xC4rger.mp3", 4},   {"/pipe.mp3", -1}, {"/R\xF6hre.mp3", -1},
      {"/link.mp3", -1},      {"/folder.mp3", -1}, {"/missing.mp3", -1}, {"/M\xFCller.mp3/x", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    std::uint64_t size = 99;
    const int fd = OpenRegularCodePageFileForPread(cpDir + c.stored, &size);
    if (c.size < 0) {
      EXPECT_EQ(fd, -1);
      continue;
    }
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, static_cast<std::uint64_t>(c.size));
    char buf[4] = {};
    EXPECT_EQ(::pread(fd, buf, 4, 0), 4);
    ::close(fd);
  }
  std::uint64_t size = 0;
  EXPECT_EQ(OpenRegularFileForPread("/dev/zero", &size), -1);
  EXPECT_EQ(OpenRegularFileForPread(Native("pipe.mp3"), &size), -1);
}

}  // namespace
}  // namespace orvela
