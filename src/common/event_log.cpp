#include "common/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "common/codepage.h"

namespace orvela {

namespace {

// Cp1252ToCodePoint maps the five bytes the code page leaves undefined to C1
// controls, which some terminals act upon: they are escaped as well.
bool IsControl(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
         byte == 0x9D;
}

bool WriteAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Opens the log's own file, never a link, a FIFO or a folder under its name.
int OpenPlainFile(const std::string& native, int flags) {
  const int fd = ::open(native.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Where the full log cannot be moved aside: its newest half, from the start of
// a line on, becomes the whole file.
void KeepNewestHalf(const std::string& native) {
  const int fd = OpenPlainFile(native, O_RDWR);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0) {
    const off_t keepFrom = info.st_size > EventLog::kMaxBytes / 2 ? info.st_size - EventLog::kMaxBytes / 2 : 0;
    std::string tail(static_cast<std::size_t>(info.st_size - keepFrom), '\0');
    std::size_t have = 0;
    while (have < tail.size()) {
      const ssize_t n = ::pread(fd, tail.data() + have, tail.size() - have, keepFrom + static_cast<off_t>(have));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      have += static_cast<std::size_t>(n);
    }
    tail.resize(have);
    // A cut line at the start is dropped; a log that is one huge line is dropped whole.
    const std::size_t lineStart = keepFrom == 0 ? 0 : tail.find('\n');
    const std::string_view kept =
        lineStart == std::string::npos ? std::string_view() : std::string_view(tail).substr(keepFrom == 0 ? 0 : lineStart + 1);
    std::size_t written = 0;
    bool ok = true;
    while (written < kept.size()) {
      const ssize_t n = ::pwrite(fd, kept.data() + written, kept.size() - written, static_cast<off_t>(written));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      written += static_cast<std::size_t>(n);
    }
    // Even a failed copy must not leave the log at its full size.
    if (::ftruncate(fd, ok ? static_cast<off_t>(kept.size()) : 0) != 0) (void)::ftruncate(fd, 0);
  }
  ::close(fd);
}

}  // namespace

std::string EscapeLogEntry(std::string_view cp1252Line) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(cp1252Line.size() + 8);
  for (const char c : cp1252Line) {
    const auto byte = static_cast<unsigned char>(c);
    if (out.size() >= EventLog::kMaxEntryBytes) {
      out += "...";
      break;
    }
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (IsControl(byte)) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

EventLog EventLog::AtNativePath(std::string nativePath) {
  EventLog log(std::move(nativePath));
  log.native_ = true;
  return log;
}

std::string EventLog::NativePath() const { return native_ ? path_ : Cp1252ToUtf8(path_); }

bool EventLog::Append(std::string_view cp1252Line) const noexcept {
  try {
    const std::string native = NativePath();
    struct stat info {};
    if (::lstat(native.c_str(), &info) == 0) {
      // Something that is not a plain file under the log's name (a FIFO would
      // block the user-interface thread, a link would write elsewhere) is left alone.
      if (!S_ISREG(info.st_mode)) return false;
      if (info.st_size >= kMaxBytes && ::rename(native.c_str(), (native + ".1").c_str()) != 0) {
        KeepNewestHalf(native);
      }
    }
    const int fd = OpenPlainFile(native, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0) return false;
    // The last guard of the bound: a log that could be neither moved nor cut
    // takes no more entries.
    if (::fstat(fd, &info) != 0 || info.st_size >= kMaxBytes) {
      ::close(fd);
      return false;
    }
    std::string text = Cp1252ToUtf8(EscapeLogEntry(cp1252Line));
    text += '\n';
    const bool ok = WriteAll(fd, text);
    ::close(fd);
    return ok;
  } catch (...) {
    return false;
  }
}

bool EventLog::AppendNow(std::string_view cp1252Line) const noexcept {
  try {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    char stamp[32] = "";
    if (::localtime_r(&now, &local) != nullptr) std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S ", &local);
    return Append(std::string(stamp) + std::string(cp1252Line));
  } catch (...) {
    return false;
  }
}

}  // namespace orvela
