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
  fileSize_ = size_;
}

TTagLibFileStream::TTagLibFileStream(std::string_view bytes)
    : inMemory_(true), memory_(bytes), fileSize_(static_cast<long>(bytes.size())), size_(fileSize_) {}

void TTagLibFileStream::ShowPieces(std::vector<TStreamPiece> pieces) {
  pieces_ = std::move(pieces);
  size_ = 0;
  for (const TStreamPiece& piece : pieces_) size_ += static_cast<long>(piece.length);
  position_ = 0;
}

TTagLibFileStream::~TTagLibFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

TagLib::FileName TTagLibFileStream::name() const { return ""; }

std::size_t TTagLibFileStream::ReadAt(long offset, char* into, std::size_t count) const {
  if (inMemory_) {
    if (offset < 0 || offset >= fileSize_) return 0;
    const std::size_t n = std::min(count, static_cast<std::size_t>(fileSize_ - offset));
    std::copy_n(memory_.data() + offset, n, into);
    return n;
  }
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
  block.bytes.resize(static_cast<std::size_t>(std::min(kBlockSize, std::max(0L, fileSize_ - start))));
  block.bytes.resize(ReadAt(start, block.bytes.data(), block.bytes.size()));
  block.index = index;
  return block;
}

long TTagLibFileStream::CopyFromFile(long offset, long count, char* into) {
  if (count > 2 * kBlockSize) {
    // A picture or a long packet: one read, not worth keeping.
    return static_cast<long>(ReadAt(offset, into, static_cast<std::size_t>(count)));
  }
  long done = 0;
  while (done < count) {
    const long at = offset + done;
    const Block& block = BlockAt(at / kBlockSize);
    const long inBlock = at - block.index * kBlockSize;
    const long take = std::min(count - done, static_cast<long>(block.bytes.size()) - inBlock);
    if (take <= 0) break;  // the file is shorter now than when it was opened
    std::copy_n(block.bytes.data() + inBlock, take, into + done);
    done += take;
  }
  return done;
}

TagLib::ByteVector TTagLibFileStream::readBlock(unsigned long length) {
  if (!isOpen() || position_ >= size_ || length == 0) return {};
  const auto count = static_cast<long>(std::min<unsigned long>(
      {length, static_cast<unsigned long>(size_ - position_), std::numeric_limits<unsigned int>::max()}));
  TagLib::ByteVector bytes(static_cast<unsigned int>(count), '\0');
  long done = 0;
  if (pieces_.empty()) {
    done = CopyFromFile(position_, count, bytes.data());
  } else {
    long pieceStart = 0;
    for (const TStreamPiece& piece : pieces_) {
      const long pieceEnd = pieceStart + static_cast<long>(piece.length);
      const long at = position_ + done;
      if (done < count && at < pieceEnd) {
        const long inPiece = at - pieceStart;
        const long take = std::min(count - done, pieceEnd - at);
        const long got = piece.made.empty()
                             ? CopyFromFile(static_cast<long>(piece.fileOffset) + inPiece, take, bytes.data() + done)
                             : (std::copy_n(piece.made.data() + inPiece, take, bytes.data() + done), take);
        done += got;
        if (got < take) break;  // the file is shorter now than when it was opened
      }
      pieceStart = pieceEnd;
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
