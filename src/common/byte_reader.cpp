#include "common/byte_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvela {

TByteReader::TByteReader(std::string_view bytes)
    : memory_(bytes), bufferStart_(bytes.data()), pos_(bytes.data()), end_(bytes.data() + bytes.size()), eof_(true) {}

TByteReader::TByteReader(int fd, std::size_t blockSize) : fd_(fd), blockSize_(std::max<std::size_t>(blockSize, 64)) {}

bool TByteReader::Fill(std::size_t n) {
  std::size_t kept = static_cast<std::size_t>(end_ - pos_);
  if (kept >= n) return true;
  if (fd_ < 0 || eof_ || failed_) return false;
  // What is still unread moves to the front; the buffer grows only for a window
  // larger than a block, so a long scan never holds more than a block or two.
  bufferOffset_ += static_cast<std::uint64_t>(pos_ - bufferStart_);
  const std::size_t wanted = std::max(blockSize_, n + blockSize_ / 2);
  if (capacity_ < wanted) {
    std::unique_ptr<char[]> bigger(new char[wanted]);
    if (kept > 0) std::memcpy(bigger.get(), pos_, kept);
    buffer_ = std::move(bigger);
    capacity_ = wanted;
  } else if (kept > 0 && pos_ != buffer_.get()) {
    std::memmove(buffer_.get(), pos_, kept);
  }
  bufferStart_ = buffer_.get();
  pos_ = buffer_.get();
  while (kept < n) {
    const ssize_t got = ::read(fd_, buffer_.get() + kept, capacity_ - kept);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      break;
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    kept += static_cast<std::size_t>(got);
  }
  end_ = buffer_.get() + kept;
  return kept >= n;
}

bool TByteReader::Seek(std::uint64_t offset) {
  if (fd_ < 0) {
    if (offset > memory_.size()) return false;
    bufferStart_ = memory_.data();
    bufferOffset_ = 0;
    pos_ = memory_.data() + offset;
    return true;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  bufferOffset_ = offset;
  bufferStart_ = pos_ = end_ = buffer_.get();
  eof_ = false;
  failed_ = false;
  return true;
}

}  // namespace orvela
