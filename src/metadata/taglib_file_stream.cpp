#include "metadata/taglib_file_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace orvela {

TTagLibFileStream::TTagLibFileStream(int fd) : fd_(fd) {
  struct stat info {};
  if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && info.st_size > 0) size_ = static_cast<long>(info.st_size);
}

TTagLibFileStream::~TTagLibFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

TagLib::FileName TTagLibFileStream::name() const { return ""; }

std::size_t TTagLibFileStream::ReadAt(long offset, char* into, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, into + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

const TTagLibFileStream::Block& TTagLibFileStream::BlockAt(long index) {
  for (const Block& block : blocks_) {
    if (block.index == index) return block;
  }
  Block& block = blocks_[nextBlock_];
  nextBlock_ = (nextBlock_ + 1) % blocks_.size();
  const long start = index * kBlockSize;
  block.bytes.resize(static_cast<std::size_t>(std::min(kBlockSize, std::max(0L, size_ - start))));
  block.bytes.resize(ReadAt(start, block.bytes.data(), block.bytes.size()));
  block.index = index;
  return block;
}

TagLib::ByteVector TTagLibFileStream::readBlock(unsigned long length) {
  if (fd_ < 0 || position_ >= size_ || length == 0) return {};
  const auto count = static_cast<long>(std::min<unsigned long>(
      {length, static_cast<unsigned long>(size_ - position_), std::numeric_limits<unsigned int>::max()}));
  TagLib::ByteVector bytes(static_cast<unsigned int>(count), '\0');
  long done = 0;
  if (count > 2 * kBlockSize) {
    // A picture or a long packet: one read, not worth keeping.
    done = static_cast<long>(ReadAt(position_, bytes.data(), static_cast<std::size_t>(count)));
  } else {
    while (done < count) {
      const long at = position_ + done;
      const Block& block = BlockAt(at / kBlockSize);
      const long offset = at - block.index * kBlockSize;
      const long take = std::min(count - done, static_cast<long>(block.bytes.size()) - offset);
      if (take <= 0) break;  // the file is shorter now than when it was opened
      std::copy_n(block.bytes.data() + offset, take, bytes.data() + done);
      done += take;
    }
  }
  bytes.resize(static_cast<unsigned int>(done));
  position_ += done;
  return bytes;
}

void TTagLibFileStream::seek(long offset, Position p) {
  long base = 0;
  if (p == Current) base = position_;
  if (p == End) base = size_;
  if (offset < 0 && base < -offset) return;
  position_ = offset > 0 && base > std::numeric_limits<long>::max() - offset ? std::numeric_limits<long>::max()
                                                                             : base + offset;
}

}  // namespace orvela
