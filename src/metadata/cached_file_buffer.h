#pragma once
// A read-only stream buffer over one file that keeps two 4 KiB blocks in
// memory. Reading a record asks for a dozen small pieces (the ID3v1 tail, the
// ID3v2 header and frames, the 512-byte search window, the frames behind it),
// nearly all inside the first and the last block: through this buffer they
// cost two reads from the operating system instead of one each. Reads larger
// than a block go straight to the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>

namespace orvela {

class TCachedFileBuffer final : public std::streambuf {
 public:
  static constexpr std::size_t kBlockSize = 4096;

  // Opens a regular file read-only by its native path. A missing file, a folder,
  // a FIFO or device (never waited for) or a file we may not read leaves the
  // buffer closed.
  explicit TCachedFileBuffer(const std::string& nativePath);
  // Takes over a descriptor opened for positioned reads (OpenRegularFileForPread
  // and its code-page twin) with the size its one fstat gave; closed with the
  // buffer. A negative descriptor gives a closed buffer.
  TCachedFileBuffer(int fd, std::uint64_t size);
  ~TCachedFileBuffer() override;
  TCachedFileBuffer(const TCachedFileBuffer&) = delete;
  TCachedFileBuffer& operator=(const TCachedFileBuffer&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  std::int64_t Size() const { return size_; }

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  std::streamsize xsgetn(char_type* dst, std::streamsize count) override;
  int_type underflow() override;
  std::streamsize showmanyc() override;

 private:
  struct Block {
    std::int64_t start = -1;  // -1: empty
    std::size_t length = 0;
    std::array<char, kBlockSize> data;  // only the first `length` bytes are ever read
  };

  // Folds the characters taken from the get area into position_ and drops it.
  void SyncPosition();
  // The cached block holding `offset`, reading it when needed; nullptr at the
  // end of the file. Throws std::ios_base::failure on a read error.
  Block* BlockAt(std::int64_t offset);
  std::size_t ReadFile(std::int64_t offset, char* dst, std::size_t count);

  int fd_ = -1;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
  std::int64_t getAreaStart_ = 0;  // file offset of eback() while a get area is set
  std::array<Block, 2> blocks_;
  std::size_t nextVictim_ = 0;
};

}  // namespace orvela
