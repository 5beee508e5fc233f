#include "common/program_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace orvela {

namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

int FlockNow(int fd) {
  int locked = 0;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  return locked;
}

// A lock file that may not be written (another user's, a read-only folder's)
// still takes a lock when opened for reading. Nothing but a regular file is
// taken: a link would lock whatever it names, or nothing at all.
int OpenLockFile(int folderFd, const char* name, bool* writable) {
  *writable = true;
  int fd = ::openat(folderFd, name, O_RDWR | O_CREAT | kOpenFlags, 0644);
  if (fd < 0 && errno != ELOOP && errno != EISDIR && errno != ENOENT && errno != ENOTDIR) {
    *writable = false;
    fd = ::openat(folderFd, name, O_RDONLY | kOpenFlags);
  }
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = reason;
    return -1;
  }
  return fd;
}

bool SameFile(int fd, int folderFd, const char* name) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

int LockFileInFolder(int folderFd, const char* name, bool* writable, const std::function<void()>& betweenOpenAndLock) {
  // A holder that releases removes the file between our open and our flock;
  // the lock we then get is on a file nobody else will ever look at.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = OpenLockFile(folderFd, name, writable);
    if (fd < 0) return -1;
    if (betweenOpenAndLock) betweenOpenAndLock();
    if (FlockNow(fd) != 0) {
      const int reason = errno;
      ::close(fd);
      errno = reason;
      return -1;
    }
    if (SameFile(fd, folderFd, name)) return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

TProgramFolderLock::TProgramFolderLock(const std::filesystem::path& nativeFolder, std::string_view holder)
    : path_((nativeFolder / kFileName).string()) {
  folderFd_ = ::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that may be entered but not listed is still locked through its file.
  if (folderFd_ < 0 && errno == EACCES) folderFd_ = ::open(nativeFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) {
    error_ = errno;
    return;
  }
  bool folderLocked = false;
  if (FlockNow(folderFd_) == 0) {
    folderLocked = true;
  } else if (errno == EWOULDBLOCK) {
    Refused(TState::HeldElsewhere, 0);
    return;
  }
  // Else a file system that cannot lock a folder: the file alone holds it.

  bool writable = false;
  fd_ = LockFileInFolder(folderFd_, kFileName, &writable);
  if (fd_ < 0) {
    const int reason = errno;
    if (reason == EWOULDBLOCK) {
      Refused(TState::HeldElsewhere, 0);
      return;
    }
    // A read-only folder without a lock file is still held through the folder.
    if (!(folderLocked && reason == ENOENT)) {
      Refused(TState::Unavailable, reason);
      return;
    }
  }
  state_ = TState::Held;
  if (fd_ >= 0 && writable && !holder.empty()) {
    const std::string text = std::string(holder) + " " + std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) == 0) (void)::pwrite(fd_, text.data(), text.size(), 0);
  }
}

void TProgramFolderLock::Refused(TState state, int error) {
  state_ = state;
  error_ = error;
  if (state == TState::HeldElsewhere) ReadHolder(folderFd_);
  // A refused lock lets go of the folder at once, not only when it is destroyed.
  ::close(folderFd_);
  folderFd_ = -1;
}

void TProgramFolderLock::ReadHolder(int folderFd) {
  const int fd = ::openat(folderFd, kFileName, O_RDONLY | kOpenFlags);
  if (fd < 0) return;
  struct stat info {};
  char text[256];
  ssize_t n = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) n = ::pread(fd, text, sizeof text - 1, 0);
  ::close(fd);
  if (n <= 0) return;
  std::string line(text, static_cast<std::size_t>(n));
  line = line.substr(0, line.find('\n'));
  const std::size_t blank = line.rfind(' ');
  if (blank == std::string::npos) return;
  char* end = nullptr;
  const long process = std::strtol(line.c_str() + blank + 1, &end, 10);
  if (end == line.c_str() + blank + 1 || *end != '\0' || process <= 0) return;
  // Only what a holder of ours writes; anything else says nothing.
  for (std::size_t i = 0; i < blank; ++i) {
    const char c = line[i];
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ' ')) return;
  }
  holder_ = line.substr(0, blank);
  holderProcess_ = process;
}

bool TProgramFolderLock::HeldByTool() const {
  const std::string_view tool = kToolHolder;
  return holder_.compare(0, tool.size(), tool) == 0 && (holder_.size() == tool.size() || holder_[tool.size()] == ' ');
}

TProgramFolderLock::~TProgramFolderLock() {
  if (fd_ >= 0) {
    // Removed while still held, so whoever opens the name next makes a new file
    // and never locks this one after we let go. A file put there by hand
    // meanwhile is not ours to remove.
    if (SameFile(fd_, folderFd_, kFileName)) ::unlinkat(folderFd_, kFileName, 0);
    ::close(fd_);
  }
  if (folderFd_ >= 0) ::close(folderFd_);
}

}  // namespace orvela
