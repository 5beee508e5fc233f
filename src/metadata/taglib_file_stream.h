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
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

// A piece of what TagLib is shown in place of the file: a run of the file's
// own bytes, or bytes made here (a header with another flag, a smaller tag).
struct TStreamPiece {
  std::uint64_t fileOffset = 0;
  std::uint64_t length = 0;
  std::string made;  // when not empty: these bytes instead (length is their size)

  static TStreamPiece File(std::uint64_t offset, std::uint64_t length) { return {offset, length, {}}; }
  static TStreamPiece Made(std::string bytes) {
    const std::uint64_t length = bytes.size();
    return {0, length, std::move(bytes)};
  }
};

class TTagLibFileStream final : public TagLib::IOStream {
 public:
  static constexpr long kBlockSize = 16 * 1024;

  // Takes over `fd` (open for reading) and closes it. A descriptor whose size
  // cannot be asked reads as an empty file.
  explicit TTagLibFileStream(int fd);
  // The same over bytes in memory, which must outlive the stream.
  explicit TTagLibFileStream(std::string_view bytes);
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
  bool isOpen() const override { return fd_ >= 0 || inMemory_; }

  // From here on TagLib sees these pieces one after the other instead of the
  // file (the position starts over). A file piece past the file's end reads
  // as far as the file goes.
  void ShowPieces(std::vector<TStreamPiece> pieces);
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
  // Up to `count` of the file's bytes from `offset`, through the blocks.
  long CopyFromFile(long offset, long count, char* into);

  int fd_ = -1;
  bool inMemory_ = false;
  std::string_view memory_;
  long fileSize_ = 0;
  std::vector<TStreamPiece> pieces_;  // empty: the file as it is
  long size_ = 0;
  long position_ = 0;
  std::array<Block, 4> blocks_;
  std::size_t nextBlock_ = 0;
};

}  // namespace orvela
