#pragma once
// TagLib's view of one audio file: a descriptor we opened (a regular file,
// never waited for), read through a few cached blocks. TagLib's own file
// stream goes through stdio and seeks before nearly every read; finding an Ogg
// file's last page or an MP4 file's atoms that way costs dozens of system
// calls for a few kilobytes. Here a seek is arithmetic, and the header reads
// at the start and the end of a file are served by one read each.
#include <taglib/tiostream.h>

#include <array>
#include <cstddef>
#include <vector>

namespace orvela {

class TTagLibFileStream final : public TagLib::IOStream {
 public:
  static constexpr long kBlockSize = 16 * 1024;

  // Takes over `fd` (open for reading) and closes it. A descriptor whose size
  // cannot be asked reads as an empty file.
  explicit TTagLibFileStream(int fd);
  ~TTagLibFileStream() override;
  TTagLibFileStream(const TTagLibFileStream&) = delete;
  TTagLibFileStream& operator=(const TTagLibFileStream&) = delete;

  TagLib::FileName name() const override;
  TagLib::ByteVector readBlock(unsigned long length) override;
  // Audio files are never written: every change is refused without effect.
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return fd_ >= 0; }
  // A position before the start is refused, as a file seek refuses it; one
  // past the end is allowed and reads nothing.
  void seek(long offset, Position p) override;
  void clear() override {}
  long tell() const override { return position_; }
  long length() override { return size_; }
  void truncate(long) override {}

 private:
  struct Block {
    long index = -1;  // -1: empty
    std::vector<char> bytes;  // fewer than kBlockSize at the end of the file
  };

  const Block& BlockAt(long index);
  // Reads up to `count` bytes at `offset` straight from the file.
  std::size_t ReadAt(long offset, char* into, std::size_t count) const;

  int fd_;
  long size_ = 0;
  long position_ = 0;
  std::array<Block, 4> blocks_;
  std::size_t nextBlock_ = 0;
};

}  // namespace orvela
