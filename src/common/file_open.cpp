#include "common/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"

namespace orvela {

int OpenRegularFileForPread(const std::string& nativePath, std::uint64_t* size) {
  // Without O_NONBLOCK an open of a FIFO would wait for a writer forever.
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  if (size != nullptr) *size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

int OpenRegularFileForReading(const std::string& nativePath) {
  const int fd = OpenRegularFileForPread(nativePath, nullptr);
  if (fd < 0) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool IsRegularFile(const std::string& nativePath) {
  struct stat info {};
  return ::stat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ResolveStepsUp(const std::string& nativePath, std::string* resolved) {
  namespace fs = std::filesystem;
  const fs::path path(nativePath);
  if (!path.is_absolute()) return false;
  fs::path upTo;
  fs::path after;
  bool stepUp = false;
  for (const fs::path& part : path) {
    after /= part;
    if (part == "..") {
      upTo /= after;
      after.clear();
      stepUp = true;
    }
  }
  if (!stepUp) return false;
  std::error_code error;
  const fs::path real = fs::canonical(upTo, error);
  if (error) return false;
  *resolved = after.empty() ? real.string() : (real / after).lexically_normal().string();
  return true;
}

namespace {

bool Exists(const std::string& nativePath) {
  struct stat info {};
  return ::lstat(nativePath.c_str(), &info) == 0;
}

// Walks the path one level at a time, taking at each level the spelling that
// exists: a UTF-8 folder may hold a file named in code-page bytes. Built in
// place, so the cost grows with the path's length, not with its square; past
// the longest path the system looks up, nothing more can exist.
std::string ResolveByLevels(std::string_view cp1252Path) {
  constexpr std::size_t kLongestLookup = 4096;
  std::string resolved;
  resolved.reserve(cp1252Path.size() + cp1252Path.size() / 2);
  std::size_t start = 0;
  while (start <= cp1252Path.size()) {
    const std::size_t slash = cp1252Path.find('/', start);
    const std::size_t end = slash == std::string_view::npos ? cp1252Path.size() : slash;
    const std::string_view part = cp1252Path.substr(start, end - start);
    const std::string utf8 = Cp1252ToUtf8(part);
    const std::size_t level = resolved.size();
    resolved += utf8;
    if (utf8 != part && resolved.size() < kLongestLookup && !Exists(resolved)) {
      resolved.resize(level);
      resolved += part;
      if (!Exists(resolved)) {
        resolved.resize(level);
        resolved += utf8;
      }
    }
    if (slash == std::string_view::npos) break;
    resolved += '/';
    start = slash + 1;
  }
  return resolved;
}

}  // namespace

std::string ResolveCodePagePath(std::string_view cp1252Path) {
  const std::string utf8 = Cp1252ToUtf8(cp1252Path);
  if (Exists(utf8)) return utf8;
  const std::string bytes(cp1252Path);
  if (bytes == utf8) return utf8;  // pure ASCII: there is no other spelling
  if (Exists(bytes)) return bytes;
  // Also right for a file still to be written: its folders as they exist, its
  // own name in UTF-8.
  return ResolveByLevels(cp1252Path);
}

std::string ResolveCodePagePathForWriting(std::string_view cp1252Path) {
  const std::string existing = ResolveCodePagePath(cp1252Path);
  if (Exists(existing)) return existing;
  const std::size_t slash = cp1252Path.rfind('/');
  if (slash == std::string_view::npos) return existing;
  const std::string_view folder = cp1252Path.substr(0, slash);
  return (folder.empty() ? std::string() : ResolveCodePagePath(folder)) + "/" +
         Cp1252ToUtf8(cp1252Path.substr(slash + 1));
}

int OpenRegularCodePageFile(std::string_view cp1252Path) {
  return OpenRegularFileForReading(ResolveCodePagePath(cp1252Path));
}

int OpenRegularCodePageFileForPread(std::string_view cp1252Path, std::uint64_t* size) {
  const std::string utf8 = Cp1252ToUtf8(cp1252Path);
  const int fd = OpenRegularFileForPread(utf8, size);
  if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
  // Not there under its UTF-8 name: the other spellings, looked up only now.
  const std::string resolved = ResolveCodePagePath(cp1252Path);
  if (resolved == utf8) {
    errno = ENOENT;
    return -1;
  }
  return OpenRegularFileForPread(resolved, size);
}

}  // namespace orvela
