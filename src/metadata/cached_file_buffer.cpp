#include "metadata/cached_file_buffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ios>

#include "common/file_open.h"

namespace orvela {

TCachedFileBuffer::TCachedFileBuffer(const std::string& nativePath) {
  std::uint64_t size = 0;
  fd_ = OpenRegularFileForPread(nativePath, &size);
  if (fd_ >= 0) size_ = static_cast<std::int64_t>(size);
}

TCachedFileBuffer::TCachedFileBuffer(int fd, std::uint64_t size)
    : fd_(fd < 0 ? -1 : fd), size_(fd < 0 ? 0 : static_cast<std::int64_t>(size)) {}

TCachedFileBuffer::~TCachedFileBuffer() {
  if (fd_ >= 0) ::close(fd_);
}

void TCachedFileBuffer::SyncPosition() {
  if (eback() != nullptr) {
    position_ = getAreaStart_ + (gptr() - eback());
    setg(nullptr, nullptr, nullptr);
  }
}

TCachedFileBuffer::pos_type TCachedFileBuffer::seekoff(off_type offset, std::ios_base::seekdir dir,
                                                       std::ios_base::openmode which) {
  if ((which & std::ios_base::in) == 0 || fd_ < 0) return pos_type(off_type(-1));
  SyncPosition();
  std::int64_t base = 0;
  if (dir == std::ios_base::cur) {
    base = position_;
  } else if (dir == std::ios_base::end) {
    base = size_;
  }
  const std::int64_t target = base + static_cast<std::int64_t>(offset);
  if (target < 0) return pos_type(off_type(-1));
  // Like a file, a position past the end is allowed; reading there gives nothing.
  position_ = target;
  return pos_type(off_type(target));
}

TCachedFileBuffer::pos_type TCachedFileBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

std::streamsize TCachedFileBuffer::xsgetn(char_type* dst, std::streamsize count) {
  SyncPosition();
  std::streamsize done = 0;
  while (done < count && position_ < size_) {
    const auto wanted = static_cast<std::size_t>(count - done);
    if (wanted >= kBlockSize) {
      const std::size_t got = ReadFile(position_, dst + done, wanted);
      done += static_cast<std::streamsize>(got);
      position_ += static_cast<std::int64_t>(got);
      break;
    }
    const Block* block = BlockAt(position_);
    if (block == nullptr) break;
    const auto inBlock = static_cast<std::size_t>(position_ - block->start);
    const std::size_t take = std::min(block->length - inBlock, wanted);
    std::memcpy(dst + done, block->data.data() + inBlock, take);
    done += static_cast<std::streamsize>(take);
    position_ += static_cast<std::int64_t>(take);
  }
  return done;
}

TCachedFileBuffer::int_type TCachedFileBuffer::underflow() {
  SyncPosition();
  Block* block = BlockAt(position_);
  if (block == nullptr) return traits_type::eof();
  // The get area views the block; any seek or block read first folds it back
  // into position_, so it never outlives the block's content.
  char* data = block->data.data();
  getAreaStart_ = block->start;
  setg(data, data + (position_ - block->start), data + block->length);
  return traits_type::to_int_type(*gptr());
}

std::streamsize TCachedFileBuffer::showmanyc() {
  SyncPosition();
  return position_ < size_ ? static_cast<std::streamsize>(size_ - position_) : -1;
}

TCachedFileBuffer::Block* TCachedFileBuffer::BlockAt(std::int64_t offset) {
  if (offset < 0 || offset >= size_) return nullptr;
  for (Block& b : blocks_) {
    if (b.start >= 0 && offset >= b.start && offset < b.start + static_cast<std::int64_t>(b.length)) {
      return &b;
    }
  }
  Block& block = blocks_[nextVictim_];
  nextVictim_ = (nextVictim_ + 1) % blocks_.size();
  const std::int64_t start = offset - offset % static_cast<std::int64_t>(kBlockSize);
  block.start = -1;  // stays empty if the read throws
  // Never asks past the known end: a short read there would cost a second call.
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(kBlockSize, size_ - start));
  block.length = ReadFile(start, block.data.data(), wanted);
  block.start = start;
  // The file shrank since it was opened.
  if (offset >= start + static_cast<std::int64_t>(block.length)) return nullptr;
  return &block;
}

std::size_t TCachedFileBuffer::ReadFile(std::int64_t offset, char* dst, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, dst + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      // The stream turns this into its bad state; the readers count it as an error.
      throw std::ios_base::failure(std::string("read error: ") + std::strerror(errno));
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace orvela
