#include "metadata/tag_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "common/file_open.h"

namespace orvela {

TTagSource TTagSource::FromMemory(std::span<const std::uint8_t> bytes) {
  TTagSource source;
  source.kind_ = Kind::kMemory;
  source.memory_ = bytes;
  source.size_ = bytes.size();
  return source;
}

TTagSource TTagSource::FromStream(std::istream& stream) {
  TTagSource source;
  source.stream_ = &stream;
  stream.clear();
  stream.seekg(0, std::ios::end);
  const std::streamoff end = stream.tellg();
  if (!stream || end < 0) {
    stream.clear();
    throw std::runtime_error("Stream seek error");
  }
  source.kind_ = Kind::kStream;
  source.size_ = static_cast<std::uint64_t>(end);
  return source;
}

TTagSource TTagSource::FromDescriptor(int fd) {
  TTagSource source;
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) return source;
  source.kind_ = Kind::kDescriptor;
  source.fd_ = fd;
  // Anything but a regular file (a pipe, a device) has no size to check against.
  source.size_ = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  return source;
}

TTagSource TTagSource::OpenFile(const std::string& path) {
  // A FIFO or a device behind the name is refused, never waited for; reads are
  // positioned, so the descriptor may stay non-blocking.
  std::uint64_t size = 0;
  const int fd = OpenRegularCodePageFileForPread(path, &size);
  TTagSource source;
  if (fd < 0) return source;
  source.kind_ = Kind::kDescriptor;
  source.fd_ = fd;
  source.size_ = size;
  source.ownsFd_ = true;
  return source;
}

TTagSource::TTagSource(TTagSource&& other) noexcept { *this = std::move(other); }

TTagSource& TTagSource::operator=(TTagSource&& other) noexcept {
  if (this != &other) {
    Close();
    kind_ = std::exchange(other.kind_, Kind::kNone);
    size_ = std::exchange(other.size_, 0);
    memory_ = std::exchange(other.memory_, {});
    stream_ = std::exchange(other.stream_, nullptr);
    fd_ = std::exchange(other.fd_, -1);
    ownsFd_ = std::exchange(other.ownsFd_, false);
  }
  return *this;
}

TTagSource::~TTagSource() { Close(); }

void TTagSource::Close() noexcept {
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ownsFd_ = false;
  kind_ = Kind::kNone;
}

std::span<const std::uint8_t> TTagSource::ReadAt(std::uint64_t offset, std::size_t count,
                                                 std::vector<std::uint8_t>& storage) {
  if (offset >= size_) return {};
  // Clamped to the source before anything is allocated: a damaged size field
  // never costs more memory than the file holds.
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  switch (kind_) {
    case Kind::kNone:
      return {};
    case Kind::kMemory:
      return memory_.subspan(static_cast<std::size_t>(offset), wanted);
    case Kind::kStream: {
      stream_->clear();
      stream_->seekg(static_cast<std::streamoff>(offset));
      if (!stream_->fail()) {
        storage.resize(wanted);
        stream_->read(reinterpret_cast<char*>(storage.data()),
                      static_cast<std::streamsize>(wanted));
        storage.resize(static_cast<std::size_t>(std::max<std::streamsize>(stream_->gcount(), 0)));
      } else {
        storage.clear();
      }
      const bool failed = stream_->bad();
      stream_->clear();
      if (failed) throw std::runtime_error("Stream read error");
      return storage;
    }
    case Kind::kDescriptor: {
      storage.resize(wanted);
      std::size_t done = 0;
      while (done < wanted) {
        const ssize_t got = ::pread(fd_, storage.data() + done, wanted - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
          if (errno == EINTR) continue;
          throw std::runtime_error(std::string("Stream read error: ") + std::strerror(errno));
        }
        if (got == 0) break;  // the file shrank since it was opened
        done += static_cast<std::size_t>(got);
      }
      storage.resize(done);
      return storage;
    }
  }
  return {};
}

}  // namespace orvela
