#pragma once
// The writing commands' side of the one-writer rule: the program folder's lock
// is taken before the collection is read and held until it has been written,
// so neither the running jukebox nor a second command replaces the file with
// a copy that lacks this command's titles.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/program_folder_lock.h"
#include "field_escape.h"

namespace orvela::tool {

// The lock, or none with the refusal on standard error when the folder is
// in use. A folder that cannot hold a lock file is left to the command's own
// checks, which refuse it if it cannot be written either.
inline std::unique_ptr<TProgramFolderLock> LockProgramFolder(const char* command, const std::string& folder,
                                                             const char* nothingDone) {
  auto lock = std::make_unique<TProgramFolderLock>(std::filesystem::path(folder));
  if (!lock->HeldElsewhere()) return lock;
  std::fprintf(stderr,
               "%s: the program folder %s is in use (a running jukebox or another command writing into it); %s\n",
               command, EscapeField(folder).c_str(), nothingDone);
  return nullptr;
}

}  // namespace orvela::tool
