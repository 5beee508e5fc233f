#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace orvela {
namespace {

void SetError(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
  std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    SetError(error, "cannot create a temporary file in " + dir.string());
    return false;
  }
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat st {};
  mode_t mode = 0644;
  if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  fchmod(fd, mode);

  const char* p = bytes.data();
  std::size_t left = bytes.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, "cannot write " + tmpl);
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) {
    SetError(error, "cannot flush " + tmpl);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    SetError(error, "cannot close " + tmpl);
    ok = false;
  }
  if (ok && std::rename(tmpl.c_str(), path.c_str()) != 0) {
    SetError(error, "cannot replace " + path.string());
    ok = false;
  }
  if (!ok) ::unlink(tmpl.c_str());
  return ok;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::size_t>(size) > maxBytes) return std::nullopt;
  in.seekg(0, std::ios::beg);
  std::string data(static_cast<std::size_t>(size), '\0');
  if (size > 0 && !in.read(data.data(), size)) return std::nullopt;
  return data;
}

}  // namespace orvela
