#include "common/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/codepage.h"

namespace orvela {

bool EventLog::Append(std::string_view cp1252Line) const noexcept {
  try {
    const std::string native = Cp1252ToUtf8(path_);
    struct stat info {};
    if (::lstat(native.c_str(), &info) == 0) {
      // Something that is not a plain file under the log's name (a FIFO would
      // block the user-interface thread) is left alone.
      if (!S_ISREG(info.st_mode)) return false;
      if (info.st_size >= kMaxBytes) ::rename(native.c_str(), (native + ".1").c_str());
    }
    const int fd = ::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    std::string text = Cp1252ToUtf8(cp1252Line);
    text += '\n';
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return done == text.size();
  } catch (...) {
    return false;
  }
}

}  // namespace orvela
