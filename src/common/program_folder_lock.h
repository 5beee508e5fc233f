#pragma once
// One writer per program folder. The running jukebox rewrites Musikliste.xml
// from the table it holds in memory, so anything another process appended in
// the meantime would be gone with the next write; the tool's writing commands
// have the same read-change-replace pattern. Each of them holds this lock while
// it may write: the jukebox for its whole run, a tool command for its own.
//
// The lock is flock(2) on the program folder itself and on "Jukebox.lock" in
// it. The folder cannot be deleted from under its holder the way a file can,
// so a lock file removed by hand frees nothing; the file names the holder for
// whoever is refused, and carries the lock alone where a file system cannot
// lock a folder. The kernel drops both with the process, so a crash or kill -9
// never leaves the folder locked; the file itself is removed again when the
// lock is released. A lock taken through a path whose file was replaced or
// removed meanwhile is taken again, so two processes can never both believe
// they hold it.
//
// The rule fails closed: a lock that cannot be taken for any reason but
// another holder (a link or anything else but a file under the lock file's
// name, a folder that is not there) is Unavailable, and every caller refuses
// to write then.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace orvela {

class TProgramFolderLock {
 public:
  static constexpr const char* kFileName = "Jukebox.lock";
  // What the holders write into the lock file: the jukebox, and the tool
  // followed by a blank and its command.
  static constexpr const char* kJukeboxHolder = "orvela-jukebox";
  static constexpr const char* kToolHolder = "orvela-jukebox-tool";

  enum class TState {
    Held,           // this object holds the lock
    HeldElsewhere,  // another process (or another open of the folder) holds it
    Unavailable,    // it cannot be taken; Error() says why
  };

  // Tries once, without waiting. `holder` (for example "orvela-jukebox-tool
  // scan") is written with the process id into the lock file, so that whoever
  // is refused can say who holds the folder.
  explicit TProgramFolderLock(const std::filesystem::path& nativeFolder, std::string_view holder = {});
  ~TProgramFolderLock();
  TProgramFolderLock(const TProgramFolderLock&) = delete;
  TProgramFolderLock& operator=(const TProgramFolderLock&) = delete;

  TState State() const { return state_; }
  bool HeldElsewhere() const { return state_ == TState::HeldElsewhere; }

  // For HeldElsewhere: the holder as its lock file names it ("" where it does
  // not, for a moment after the holder took it or from an older program), and
  // its process id (0 when unknown).
  const std::string& Holder() const { return holder_; }
  long HolderProcess() const { return holderProcess_; }
  bool HeldByTool() const;

  // For Unavailable: an errno value. ELOOP: the lock file is a symbolic link;
  // EISDIR, EINVAL: it is a folder or something else that is no file; ENOENT,
  // ENOTDIR: the program folder is not there or no folder.
  int Error() const { return error_; }
  // The lock file, native.
  const std::string& Path() const { return path_; }

 private:
  void Refused(TState state, int error);
  void ReadHolder(int folderFd);

  std::string path_;
  int folderFd_ = -1;
  int fd_ = -1;
  TState state_ = TState::Unavailable;
  int error_ = 0;
  std::string holder_;
  long holderProcess_ = 0;
};

// Locks (flock, without waiting) the regular file `name` in the folder
// `folderFd`, creating it where the folder allows, and makes sure the name
// still leads to the file locked; a file removed or replaced between the open
// and the lock is opened again. Answers the descriptor, or -1 with errno
// (EWOULDBLOCK: held; ELOOP: a link; EINVAL or EISDIR: not a file; ENOENT: no
// file and none can be made). *writable tells whether it was opened for
// writing. `betweenOpenAndLock`, if given, runs in that gap on every attempt.
int LockFileInFolder(int folderFd, const char* name, bool* writable,
                     const std::function<void()>& betweenOpenAndLock = {});

}  // namespace orvela
