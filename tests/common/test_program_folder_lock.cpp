// The one-writer lock of a program folder: who holds it shuts everyone else
// out, and it never outlives its holder.
#include "common/program_folder_lock.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include "support/scratch_folder.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;
using State = TProgramFolderLock::TState;

class ProgramFolderLockTest : public testing::ScratchFolderTest {
 protected:
  ProgramFolderLockTest() : ScratchFolderTest("orvela-lock") {}
  fs::path LockFile() const { return dir_ / TProgramFolderLock::kFileName; }
};

TEST_F(ProgramFolderLockTest, OneHolderAtATimeAndReleasingLeavesNoFile) {
  auto first = std::make_unique<TProgramFolderLock>(dir_);
  ASSERT_EQ(first->State(), State::Held);
  EXPECT_TRUE(fs::exists(LockFile()));
  // Each lock opens the file anew, so a second one conflicts even in one process.
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);
  // The refused one must not take the file away from the holder.
  EXPECT_TRUE(fs::exists(LockFile()));
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);

  first.reset();
  EXPECT_FALSE(fs::exists(LockFile()));
  const TProgramFolderLock next(dir_);
  EXPECT_EQ(next.State(), State::Held);
}

// A holder killed without a chance to clean up leaves its file, but not its lock.
TEST_F(ProgramFolderLockTest, AKilledHolderLeavesTheFolderFree) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(60);
    const TProgramFolderLock held(dir_);
    const char state = held.State() == State::Held ? 'H' : 'x';
    if (::write(ready[1], &state, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(state, 'H');
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(fs::exists(LockFile()));
  const TProgramFolderLock after(dir_);
  EXPECT_EQ(after.State(), State::Held);
}

// A folder that cannot hold a lock file is still locked through the folder
// itself; one that is not there cannot be locked at all.
TEST_F(ProgramFolderLockTest, AReadOnlyFolderIsHeldWithoutAFile) {
  const TProgramFolderLock missing(dir_ / "gibt es nicht");
  EXPECT_EQ(missing.State(), State::Unavailable);
  EXPECT_EQ(missing.Error(), ENOENT);
  if (::geteuid() == 0) GTEST_SKIP() << "a superuser writes into a read-only folder";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  auto held = std::make_unique<TProgramFolderLock>(dir_);
  EXPECT_EQ(held->State(), State::Held);
  EXPECT_FALSE(fs::exists(LockFile()));
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);
}

// Removing the lock file by hand while the folder is held frees nothing.
TEST_F(ProgramFolderLockTest, ADeletedLockFileDoesNotFreeTheFolder) {
  const TProgramFolderLock held(dir_);
  ASSERT_EQ(held.State(), State::Held);
  ASSERT_TRUE(fs::remove(LockFile()));
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);
  // Nor does a new file put in its place, which the holder leaves alone.
  std::ofstream(LockFile()) << "von Hand\n";
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::HeldElsewhere);
}

// Whoever is refused learns who holds the folder, as far as the file says.
TEST_F(ProgramFolderLockTest, TheRefusedLearnWhoHoldsTheFolder) {
  const struct {
    const char* holder;
    bool tool;
  } cases[] = {{"orvela-jukebox", false}, {"orvela-jukebox-tool scan", true}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holder);
    const TProgramFolderLock held(dir_, c.holder);
    ASSERT_EQ(held.State(), State::Held);
    const TProgramFolderLock refused(dir_, "orvela-jukebox");
    ASSERT_EQ(refused.State(), State::HeldElsewhere);
    EXPECT_EQ(refused.Holder(), c.holder);
    EXPECT_EQ(refused.HolderProcess(), *c.holder ? static_cast<long>(::getpid()) : 0L);
    EXPECT_EQ(refused.HeldByTool(), c.tool);
  }
  // What a stranger wrote there names nobody.
  std::ofstream(LockFile()) << "\x1b[2J jemand 12\n";
  const TProgramFolderLock held(dir_);
  const TProgramFolderLock refused(dir_);
  EXPECT_EQ(refused.Holder(), "");
}

// Anything but a file under the lock file's name refuses the lock instead of
// switching the rule off, and a link's target is neither made nor changed.
TEST_F(ProgramFolderLockTest, ALockFileThatIsNoFileRefusesTheLock) {
  const fs::path target = dir_ / "ziel";
  const struct {
    const char* name;
    void (*make)(const fs::path& lock, const fs::path& target);
    int error;
  } cases[] = {
      {"link to a file",
       [](const fs::path& lock, const fs::path& target) {
         std::ofstream(target) << "fremd";
         fs::create_symlink(target, lock);
       },
       ELOOP},
      {"dangling link", [](const fs::path& lock, const fs::path& target) { fs::create_symlink(target, lock); }, ELOOP},
      {"folder", [](const fs::path& lock, const fs::path&) { fs::create_directory(lock); }, EISDIR},
      {"fifo", [](const fs::path& lock, const fs::path&) { ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0); }, EINVAL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(LockFile());
    fs::remove(target);
    c.make(LockFile(), target);
    const bool targetBefore = fs::exists(target);
    {
      const TProgramFolderLock lock(dir_);
      EXPECT_EQ(lock.State(), State::Unavailable);
      EXPECT_EQ(lock.Error(), c.error);
      EXPECT_EQ(lock.Path(), LockFile().string());
      // A refused lock holds nothing back.
      EXPECT_EQ(TProgramFolderLock(dir_).State(), State::Unavailable);
    }
    EXPECT_EQ(fs::exists(target), targetBefore);
    if (targetBefore) {
      std::ifstream in(target);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "fremd");
    }
  }
}

// The lock file replaced between the open and the lock: the file locked is not
// the one at the name, and only the one at the name counts.
TEST_F(ProgramFolderLockTest, AFileReplacedBeforeItWasLockedIsTakenAgain) {
  const int folderFd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folderFd, 0);
  const struct {
    const char* name;
    bool newFileHeld;  // another process took the new file at once
  } cases[] = {{"the holder let go", false}, {"a new holder came", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(LockFile());
    int newHolder = -1;
    int attempts = 0;
    const auto replace = [&] {
      if (attempts++ > 0) return;
      fs::remove(LockFile());
      if (!c.newFileHeld) return;
      newHolder = ::open(LockFile().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      ASSERT_EQ(::flock(newHolder, LOCK_EX | LOCK_NB), 0);
    };
    bool writable = false;
    const int fd = LockFileInFolder(folderFd, TProgramFolderLock::kFileName, &writable, replace);
    const int error = errno;
    EXPECT_EQ(attempts, 2);
    if (c.newFileHeld) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(error, EWOULDBLOCK);
    } else {
      ASSERT_GE(fd, 0);
      struct stat opened {};
      struct stat named {};
      ASSERT_EQ(::fstat(fd, &opened), 0);
      ASSERT_EQ(::stat(LockFile().c_str(), &named), 0);
      EXPECT_EQ(opened.st_ino, named.st_ino);
      ::close(fd);
    }
    if (newHolder >= 0) ::close(newHolder);
  }
  ::close(folderFd);
}

}  // namespace
}  // namespace orvela
