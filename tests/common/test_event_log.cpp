// The program folder's log: one line per entry whatever the entry holds,
// UTF-8 on disk, bounded in size whatever happens, and never written through
// anything but a plain file of its own.
#include "common/event_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class EventLogTest : public testing::ScratchFolderTest {
 protected:
  EventLogTest() : ScratchFolderTest("orvela-log") {}
  fs::path LogFile() const { return dir_ / EventLog::kFileName; }
  EventLog Log() const { return EventLog::AtNativePath(LogFile().string()); }
};

// The entry is code-page text; the file is UTF-8, and a name's line break,
// tab, control byte or backslash stays inside its one line.
TEST_F(EventLogTest, EachEntryIsOneUtf8Line) {
  const struct {
    const char* name;
    std::string entry;
    std::string line;
  } cases[] = {
      {"umlauts and euro", "T\xFCr \x80 \xC4rger", "T\xC3\xBCr \xE2\x82\xAC \xC3\x84rger"},
      {"a forged second entry", "a.mp3\n11.12.2026 03:00:00 alles gut", "a.mp3\\n11.12.2026 03:00:00 alles gut"},
      {"carriage return and tab", "a\rb\tc", "a\\rb\\tc"},
      {"other controls", std::string("a\x01" "b\x1B[2J\x7F", 8) + std::string(1, '\0') + "z",
       "a\\x01b\\x1b[2J\\x7f\\x00z"},
      {"undefined code-page bytes", "x\x81y\x9Dz", "x\\x81y\\x9dz"},
      {"a backslash", "C:\\Musik\\n.mp3", "C:\\\\Musik\\\\n.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(LogFile());
    ASSERT_TRUE(Log().Append(c.entry));
    EXPECT_EQ(ReadBytes(LogFile()), c.line + "\n");
  }
}

TEST_F(EventLogTest, AnOverlongEntryIsCutNotWrittenWhole) {
  ASSERT_TRUE(Log().Append(std::string(10 * EventLog::kMaxEntryBytes, 'a')));
  const std::string text = ReadBytes(LogFile());
  EXPECT_LE(text.size(), EventLog::kMaxEntryBytes + 5);
  EXPECT_EQ(text.substr(text.size() - 4), "...\n");
}

TEST_F(EventLogTest, AFullLogIsMovedAsideAndANewOneBegun) {
  const std::string old = std::string(EventLog::kMaxBytes - 1, 'x') + "\n";
  WriteBytes(LogFile(), old);
  ASSERT_TRUE(Log().Append("neu"));
  EXPECT_EQ(ReadBytes(fs::path(LogFile().string() + ".1")), old);
  EXPECT_EQ(ReadBytes(LogFile()), "neu\n");
}

// Where the full log cannot be moved aside, it is cut to its newest entries
// instead of growing on: a folder under the old log's name, or a program
// folder that may not be changed at all but holds a writable log.
TEST_F(EventLogTest, ALogThatCannotBeMovedAsideStaysBounded) {
  const struct {
    const char* name;
    bool readOnlyFolder;
  } cases[] = {{"a folder named like the old log", false}, {"a folder that may not be changed", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.readOnlyFolder && ::geteuid() == 0) continue;  // a superuser renames there all the same
    fs::remove_all(dir_ / "Jukebox.log.1");
    fs::remove(LogFile());
    if (!c.readOnlyFolder) fs::create_directory(dir_ / "Jukebox.log.1");
    WriteBytes(LogFile(), "");
    if (c.readOnlyFolder) fs::permissions(dir_, fs::perms(0555));
    const EventLog log = Log();
    const std::string padding(200, 'p');
    int written = 0;
    long long largest = 0;
    for (int i = 0; i < 3 * EventLog::kMaxBytes / 200; ++i) {
      if (log.Append("Eintrag " + std::to_string(i) + " " + padding)) ++written;
      largest = std::max<long long>(largest, static_cast<long long>(fs::file_size(LogFile())));
    }
    fs::permissions(dir_, fs::perms(0755));
    EXPECT_EQ(written, 3 * EventLog::kMaxBytes / 200);
    EXPECT_LE(largest, EventLog::kMaxBytes + 300);
    // Whole entries only, the newest last.
    const std::vector<std::string> lines = Lines(ReadBytes(LogFile()));
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("Eintrag ", 0), 0U) << line.substr(0, 40);
    EXPECT_EQ(lines.back(), "Eintrag " + std::to_string(written - 1) + " " + padding);
    EXPECT_TRUE(fs::is_directory(dir_ / "Jukebox.log.1") || c.readOnlyFolder);
  }
}

// A FIFO would hang the screen's thread; a link would write wherever it
// points. Neither is written, and nothing is made in its place.
TEST_F(EventLogTest, OnlyAPlainFileOfItsOwnIsWritten) {
  const fs::path target = dir_ / "anderswo.txt";
  const struct {
    const char* name;
    void (*make)(const fs::path& log, const fs::path& target);
    bool targetExists;
  } cases[] = {
      {"fifo", [](const fs::path& log, const fs::path&) { ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0); }, false},
      {"link to a file",
       [](const fs::path& log, const fs::path& target) {
         WriteBytes(target, "fremd\n");
         fs::create_symlink(target, log);
       },
       true},
      {"dangling link", [](const fs::path& log, const fs::path& target) { fs::create_symlink(target, log); }, false},
      {"folder", [](const fs::path& log, const fs::path&) { fs::create_directory(log); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(LogFile());
    fs::remove(target);
    c.make(LogFile(), target);
    const auto before = fs::symlink_status(LogFile()).type();
    EXPECT_FALSE(Log().Append("Eintrag"));
    EXPECT_EQ(fs::symlink_status(LogFile()).type(), before);
    EXPECT_EQ(fs::exists(target), c.targetExists);
    if (c.targetExists) {
      EXPECT_EQ(ReadBytes(target), "fremd\n");
    }
  }
}

}  // namespace
}  // namespace orvela
