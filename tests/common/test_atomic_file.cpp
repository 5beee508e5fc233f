#include "common/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvela {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvela-atomic-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  int Entries() const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  }
  fs::path dir_;
};

TEST_F(AtomicFileTest, ReplacesContentAndKeepsPermissions) {
  const fs::path file = dir_ / "Musikliste.xml";
  { std::ofstream(file) << "old content that is longer"; }
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, std::string("new\0bytes", 9), &error)) << error;
  EXPECT_EQ(ReadWholeFile(file), std::string("new\0bytes", 9));
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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

TEST_F(AtomicFileTest, ReadOnlyFolderRefusesTheWrite) {
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
  const fs::path file = dir_ / "Jukebox.ini";
  { std::ofstream(file) << "old"; }
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(WriteFileAtomically(file, "new"));
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(ReadWholeFile(file), "old");
  EXPECT_EQ(Entries(), 1);
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

}  // namespace
}  // namespace orvela
