// The one-writer lock of a program folder: who holds it shuts everyone else
// out, and it never outlives its holder.
#include "common/program_folder_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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

// A folder that cannot hold a lock file shuts nobody out.
TEST_F(ProgramFolderLockTest, NoLockFileNoLock) {
  EXPECT_EQ(TProgramFolderLock(dir_ / "gibt es nicht").State(), State::Unavailable);
  if (::geteuid() == 0) GTEST_SKIP() << "a superuser writes into a read-only folder";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(TProgramFolderLock(dir_).State(), State::Unavailable);
  EXPECT_FALSE(fs::exists(LockFile()));
}

}  // namespace
}  // namespace orvela
