#pragma once
// One writer per program folder. The running jukebox rewrites Musikliste.xml
// from the table it holds in memory, so anything another process appended in
// the meantime would be gone with the next write; the tool's writing commands
// have the same read-change-replace pattern. Each of them holds this lock while
// it may write: the jukebox for its whole run, a tool command for its own.
//
// The lock is flock(2) on "Jukebox.lock" in the folder. The kernel drops it
// with the process, so a crash or kill -9 never leaves the folder locked; the
// file itself is removed again when the lock is released. A lock taken through
// a path whose file was replaced or removed meanwhile is taken again, so two
// processes can never both believe they hold it.
#include <filesystem>
#include <string>

namespace orvela {

class TProgramFolderLock {
 public:
  static constexpr const char* kFileName = "Jukebox.lock";

  enum class TState {
    Held,          // this object holds the lock
    HeldElsewhere, // another process (or another open of the file) holds it
    // The lock file can neither be created nor opened (a missing or read-only
    // folder): nobody can hold a lock there, and nothing can be written there
    // either, so the caller goes on and meets the folder's own failure.
    Unavailable,
  };

  // Tries once, without waiting.
  explicit TProgramFolderLock(const std::filesystem::path& nativeFolder);
  ~TProgramFolderLock();
  TProgramFolderLock(const TProgramFolderLock&) = delete;
  TProgramFolderLock& operator=(const TProgramFolderLock&) = delete;

  TState State() const { return state_; }
  bool HeldElsewhere() const { return state_ == TState::HeldElsewhere; }

 private:
  std::string path_;
  int fd_ = -1;
  TState state_ = TState::Unavailable;
};

}  // namespace orvela
