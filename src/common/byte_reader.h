#pragma once
// Reading a file once from front to back, a buffer at a time, for the readers of
// the program's own files: what they keep grows with what they take from the
// file, never with the file itself. The same reader runs over bytes in memory,
// so tests and fuzz targets drive exactly the code that reads the files.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace orvela {

class TByteReader {
 public:
  static constexpr int kEnd = -1;

  explicit TByteReader(std::string_view bytes);
  // Reads from an open descriptor, which stays the caller's, blockSize bytes at a time.
  explicit TByteReader(int fd, std::size_t blockSize = std::size_t{1} << 18);
  TByteReader(const TByteReader&) = delete;
  TByteReader& operator=(const TByteReader&) = delete;

  // The next byte (0..255) without taking it; kEnd at the end or after a read error.
  int Peek() { return pos_ != end_ || Fill(1) ? static_cast<unsigned char>(*pos_) : kEnd; }
  int Get() { return pos_ != end_ || Fill(1) ? static_cast<unsigned char>(*pos_++) : kEnd; }

  // The bytes buffered from the current position on: at least n of them unless the
  // source ends first. The view is valid until the next call that reads or moves.
  std::string_view Window(std::size_t n) {
    if (static_cast<std::size_t>(end_ - pos_) < n) Fill(n);
    return {pos_, static_cast<std::size_t>(end_ - pos_)};
  }
  // Takes n bytes of the current window.
  void Skip(std::size_t n) { pos_ += n; }

  // Bytes taken since the start of the source.
  std::uint64_t Offset() const { return bufferOffset_ + static_cast<std::uint64_t>(pos_ - bufferStart_); }
  // Continues at the given offset; false when the source cannot get there.
  bool Seek(std::uint64_t offset);
  // A read failed (as opposed to the source ending); what was read before stays valid.
  bool Failed() const { return failed_; }

 private:
  bool Fill(std::size_t n);

  int fd_ = -1;
  std::size_t blockSize_ = 0;
  std::unique_ptr<char[]> buffer_;  // left uninitialised: reads fill what is used
  std::size_t capacity_ = 0;
  std::string_view memory_;
  const char* bufferStart_ = nullptr;  // the byte at bufferOffset_
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  std::uint64_t bufferOffset_ = 0;
  bool eof_ = false;
  bool failed_ = false;
};

}  // namespace orvela
