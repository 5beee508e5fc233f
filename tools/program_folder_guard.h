#pragma once
// The writing commands' side of the one-writer rule: the program folder's lock
// is taken before the collection is read and held until it has been written,
// so neither the running jukebox nor a second command replaces the file with
// a copy that lacks this command's titles.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/program_folder_lock.h"
#include "field_escape.h"

namespace orvela::tool {

// The lock, or none with the refusal on standard error: when the folder is in
// use (saying by whom, as far as the lock file tells), and when the lock
// cannot be taken at all (a link under the lock file's name, a folder that is
// not there), since writing without it could lose another writer's work.
inline std::unique_ptr<TProgramFolderLock> LockProgramFolder(const char* command, const std::string& folder,
                                                             const char* nothingDone) {
  auto lock = std::make_unique<TProgramFolderLock>(std::filesystem::path(folder),
                                                   std::string(TProgramFolderLock::kToolHolder) + " " + command);
  switch (lock->State()) {
    case TProgramFolderLock::TState::Held:
      return lock;
    case TProgramFolderLock::TState::HeldElsewhere: {
      const std::string process = std::to_string(lock->HolderProcess());
      std::string by = "a running jukebox or another command writing into it";
      if (lock->HeldByTool()) {
        by = "by the command \"" + lock->Holder().substr(std::strlen(TProgramFolderLock::kToolHolder) + 1) +
             "\", process " + process;
      } else if (lock->Holder() == TProgramFolderLock::kJukeboxHolder) {
        by = "by the running jukebox, process " + process;
      }
      std::fprintf(stderr, "%s: the program folder %s is in use (%s); %s\n", command, EscapeField(folder).c_str(),
                   by.c_str(), nothingDone);
      return nullptr;
    }
    case TProgramFolderLock::TState::Unavailable:
      break;
  }
  std::string why;
  switch (lock->Error()) {
    case ELOOP:
      why = "the lock file " + EscapeField(lock->Path()) + " is a symbolic link";
      break;
    case EISDIR:
      why = "the lock file " + EscapeField(lock->Path()) + " is a folder";
      break;
    case EINVAL:
      why = "the lock file " + EscapeField(lock->Path()) + " is not a regular file";
      break;
    case ENOENT:
    case ENOTDIR:
      why = "the program folder " + EscapeField(folder) + " does not exist";
      break;
    default:
      why = "the lock file " + EscapeField(lock->Path()) + " cannot be taken: " + std::strerror(lock->Error());
  }
  std::fprintf(stderr, "%s: cannot lock the program folder: %s; %s\n", command, why.c_str(), nothingDone);
  return nullptr;
}

}  // namespace orvela::tool
