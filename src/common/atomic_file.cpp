#include "common/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/codepage.h"
#include "common/event_log.h"
#include "common/file_open.h"

namespace orvela {
namespace {

// The temporary file of a write is ".<target name>.orvela-XXXXXX" beside the
// target: hidden, tied to its target, and unlike any name a person would pick.
constexpr std::string_view kTempInfix = ".orvela-";
constexpr std::size_t kTempRandomChars = 6;  // what mkstemp fills in
constexpr int kMaxLinkHops = 40;             // as the kernel allows

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

bool FailErrno(std::string* error, const std::string& what) {
  const int saved = errno;
  if (error) *error = what + ": " + std::strerror(saved);
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The path a chain of symbolic links ends at; the path itself when it is no
// link. The end need not exist: a link to a file not written yet names it.
bool FollowLinks(std::string path, std::string* target) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *target = std::move(path);
      return true;
    }
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) >= link.size()) continue;  // it changed meanwhile: look again
    link.resize(static_cast<std::size_t>(length));
    path = (!link.empty() && link.front() == '/') || path.find('/') == std::string::npos
               ? link
               : Join(FolderOf(path), link);
  }
  errno = ELOOP;
  return false;
}

bool IsTempRandomPart(std::string_view part) {
  if (part.size() != kTempRandomChars) return false;
  for (const char c : part) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) return false;
  }
  return true;
}

// A write that was killed leaves its temporary file behind; the next write of
// the same file removes it. A write still running holds a lock on its file, so
// its temporary file is never taken away from under it.
void RemoveLeftovers(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const int dirFd = ::dirfd(dir);
  const std::string prefix = "." + name + std::string(kTempInfix);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName(entry->d_name);
    if (entryName.size() != prefix.size() + kTempRandomChars || entryName.substr(0, prefix.size()) != prefix ||
        !IsTempRandomPart(entryName.substr(prefix.size())))
      continue;
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(dirFd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// A folder's entry survives a power cut only once the folder itself is flushed.
bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;  // file systems without folder flushing
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

}  // namespace

TAtomicFileWriter::~TAtomicFileWriter() { Discard(); }

void TAtomicFileWriter::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

namespace {

// What Open decides before it touches the folder: the file the path ends at,
// and whether (and as what) it may be replaced.
struct Replacement {
  std::string target;
  std::string folder;
  bool exists = false;
  bool replacesLink = false;
  struct stat info {};
};

bool CheckFolder(const std::string& folder, std::string* error) {
  struct stat folderInfo {};
  if (::stat(folder.c_str(), &folderInfo) != 0) return FailErrno(error, "cannot examine the folder " + folder);
  if (!S_ISDIR(folderInfo.st_mode)) return Fail(error, folder + " is not a folder");
  if ((folderInfo.st_mode & 0222) == 0) return Fail(error, "the folder " + folder + " is read-only");
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return FailErrno(error, "cannot write in the folder " + folder);
  return true;
}

bool CheckReplacement(const std::string& nativePath, TLinkRule links, Replacement* r, std::string* error) {
  if (links == TLinkRule::Follow) {
    if (!FollowLinks(nativePath, &r->target)) return FailErrno(error, "cannot follow the link " + nativePath);
  } else {
    r->target = nativePath;
  }
  if (::lstat(r->target.c_str(), &r->info) == 0) {
    if (S_ISLNK(r->info.st_mode)) {
      // Met only where links are not followed: the link goes as a new file would come.
      r->replacesLink = true;
      r->folder = FolderOf(r->target);
      return CheckFolder(r->folder, error);
    }
    if (!S_ISREG(r->info.st_mode)) return Fail(error, r->target + " is not a regular file");
    if ((r->info.st_mode & 0222) == 0) return Fail(error, r->target + " is read-only");
    if (::access(r->target.c_str(), W_OK) != 0) return FailErrno(error, "cannot write " + r->target);
    r->exists = true;
  } else if (errno != ENOENT) {
    return FailErrno(error, "cannot examine " + r->target);
  }
  r->folder = FolderOf(r->target);
  return CheckFolder(r->folder, error);
}

}  // namespace

bool MayReplaceFile(const std::string& nativePath, std::string* error, TLinkRule links) {
  Replacement r;
  return CheckReplacement(nativePath, links, &r, error);
}

bool TAtomicFileWriter::Open(const std::string& nativePath, std::string* error, TLinkRule links) {
  Discard();
  replaces_ = false;
  replacesLink_ = false;
  mode_ = 0644;
  uid_ = gid_ = -1;
  Replacement r;
  if (!CheckReplacement(nativePath, links, &r, error)) return false;
  target_ = r.target;
  folder_ = r.folder;
  replacesLink_ = r.replacesLink;
  if (r.exists) {
    replaces_ = true;
    mode_ = r.info.st_mode & 07777;
    uid_ = r.info.st_uid;
    gid_ = r.info.st_gid;
  }

  const std::string name = NameOf(target_);
  RemoveLeftovers(folder_, name);
  std::string temp = Join(folder_, "." + name + std::string(kTempInfix) + std::string(kTempRandomChars, 'X'));
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return FailErrno(error, "cannot create a temporary file in " + folder_);
  fd_ = fd;
  temp_ = std::move(temp);
  // Held until the rename, so that no other write takes the file for a leftover.
  ::flock(fd_, LOCK_EX);
  return true;
}

bool TAtomicFileWriter::Write(std::string_view bytes, std::string* error) {
  if (fd_ < 0) return Fail(error, "no file is open for writing");
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FailErrno(error, "cannot write " + temp_);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TAtomicFileWriter::Commit(std::string* error) {
  if (fd_ < 0) return Fail(error, "no file is open for writing");
  if (replaces_) {
    // Only a superuser may give a file away; anyone may keep a group they belong to.
    if (::fchown(fd_, static_cast<uid_t>(uid_), static_cast<gid_t>(gid_)) != 0)
      (void)::fchown(fd_, static_cast<uid_t>(-1), static_cast<gid_t>(gid_));
  }
  ::fchmod(fd_, static_cast<mode_t>(mode_));
  if (::fsync(fd_) != 0) {
    FailErrno(error, "cannot flush " + temp_);
    Discard();
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    FailErrno(error, "cannot replace " + target_);
    Discard();
    return false;
  }
  temp_.clear();
  ::close(fd_);
  fd_ = -1;
  if (!SyncFolder(folder_)) return FailErrno(error, "cannot flush the folder " + folder_);
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
  TAtomicFileWriter writer;
  return writer.Open(path.string(), error) && writer.Write(bytes, error) && writer.Commit(error);
}

namespace {

std::optional<std::string> ReadOpenFile(int fd, std::size_t maxBytes);

std::string LinkText(const std::string& nativePath) {
  std::error_code ignored;
  return std::filesystem::read_symlink(nativePath, ignored).string();
}

void LogOwnFile(const std::string& nativePath, const std::string& utf8Text) {
  const std::string folder = FolderOf(nativePath);
  EventLog::AtNativePath(Join(folder, EventLog::kFileName)).AppendNow(Utf8ToCp1252(utf8Text));
}

}  // namespace

bool WriteOwnFile(const std::string& nativePath, std::string_view bytes, std::string* error) {
  TAtomicFileWriter writer;
  if (!writer.Open(nativePath, error, TLinkRule::Replace)) return false;
  const std::string link = writer.ReplacesALink() ? LinkText(nativePath) : std::string();
  if (!writer.Write(bytes, error) || !writer.Commit(error)) return false;
  if (writer.ReplacesALink()) {
    LogOwnFile(nativePath, NameOf(nativePath) + " war ein symbolischer Verweis auf " + link +
                               "; an seiner Stelle steht jetzt eine eigene Datei, das Ziel blieb unverändert.");
  }
  return true;
}

bool IsOwnFile(const std::string& nativePath) {
  struct stat info {};
  if (::lstat(nativePath.c_str(), &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) {
    LogOwnFile(nativePath, NameOf(nativePath) + " ist ein symbolischer Verweis auf " + LinkText(nativePath) +
                               " und wird nicht gelesen.");
  }
  return S_ISREG(info.st_mode);
}

std::optional<std::string> ReadOwnFile(const std::string& nativePath, std::size_t maxBytes) {
  if (!IsOwnFile(nativePath)) return std::nullopt;
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const std::optional<std::string> data = ReadOpenFile(fd, maxBytes);
  ::close(fd);
  return data;
}

namespace {

// The whole of an open regular file, up to maxBytes; the caller closes it.
std::optional<std::string> ReadOpenFile(int fd, std::size_t maxBytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  // A regular file's reads do not heed O_NONBLOCK.
  std::string data(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t have = 0;
  bool ok = true;
  for (;;) {
    if (have == data.size()) {
      // At the size the file had: one more byte tells a file that grew meanwhile.
      char probe;
      const ssize_t more = ::read(fd, &probe, 1);
      if (more < 0 && errno == EINTR) continue;
      if (more <= 0) {
        ok = more == 0;
        break;
      }
      data.push_back(probe);
      ++have;
      data.resize(have + std::min<std::size_t>(maxBytes - std::min(maxBytes, have) + 1, 65536));
    } else {
      const ssize_t n = ::read(fd, data.data() + have, data.size() - have);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      have += static_cast<std::size_t>(n);
    }
    if (have > maxBytes) {
      ok = false;
      break;
    }
  }
  if (!ok) return std::nullopt;
  data.resize(have);
  return data;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  const int fd = OpenRegularFileForReading(path.string());
  if (fd < 0) return std::nullopt;
  const std::optional<std::string> data = ReadOpenFile(fd, maxBytes);
  ::close(fd);
  return data;
}

}  // namespace orvela
