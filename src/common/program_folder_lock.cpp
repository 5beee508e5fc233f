#include "common/program_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvela {

namespace {

// A lock file that may not be written (another user's, a read-only folder's)
// still takes a lock when opened for reading.
int OpenLockFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd >= 0) return fd;
  if (errno == ENOENT || errno == ELOOP) return -1;
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

bool SameFile(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

}  // namespace

TProgramFolderLock::TProgramFolderLock(const std::filesystem::path& nativeFolder)
    : path_((nativeFolder / kFileName).string()) {
  // A holder that releases removes the file between our open and our flock;
  // the lock we then get is on a file nobody else will ever look at.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = OpenLockFile(path_);
    if (fd < 0) {
      state_ = TState::Unavailable;
      return;
    }
    int locked = 0;
    do {
      locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      state_ = busy ? TState::HeldElsewhere : TState::Unavailable;
      return;
    }
    if (SameFile(fd, path_)) {
      fd_ = fd;
      state_ = TState::Held;
      return;
    }
    ::close(fd);
  }
  state_ = TState::Unavailable;
}

TProgramFolderLock::~TProgramFolderLock() {
  if (fd_ < 0) return;
  // Removed while still held, so whoever opens the name next makes a new file
  // and never locks this one after we let go.
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace orvela
