#pragma once
// Where a tag reader gets its bytes: a file opened just for the read, a file or
// stream the caller already holds open, or bytes in memory. Every read names its
// offset and length, so a reader asks for exactly the bytes it needs and can check
// a claimed size against Size() before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

namespace orvela {

class TTagSource {
 public:
  // Bytes in memory; they must outlive the source. Reads copy nothing.
  static TTagSource FromMemory(std::span<const std::uint8_t> bytes);
  // An open, seekable stream (borrowed). Its position moves with every read.
  // Throws std::runtime_error when the stream cannot tell its size.
  static TTagSource FromStream(std::istream& stream);
  // An open file descriptor (borrowed, not closed); reads do not move its offset.
  static TTagSource FromDescriptor(int fd);
  // Opens a regular file by its code-page path (the UTF-8 spelling first, then
  // the bytes as they stand), read-only; closed with the source. A file that
  // cannot be opened, or is no regular file, gives a source of size 0 (IsOpen
  // false).
  static TTagSource OpenFile(const std::string& path);

  TTagSource(TTagSource&& other) noexcept;
  TTagSource& operator=(TTagSource&& other) noexcept;
  TTagSource(const TTagSource&) = delete;
  TTagSource& operator=(const TTagSource&) = delete;
  ~TTagSource();

  bool IsOpen() const { return kind_ != Kind::kNone; }
  std::uint64_t Size() const { return size_; }

  // Up to `count` bytes from `offset`: fewer at the end of the source, none past
  // it. The answer views either the memory or `storage`. Throws
  // std::runtime_error when the operating system or the stream reports a failure
  // (a short source is no failure).
  std::span<const std::uint8_t> ReadAt(std::uint64_t offset, std::size_t count,
                                       std::vector<std::uint8_t>& storage);

 private:
  enum class Kind { kNone, kMemory, kStream, kDescriptor };
  TTagSource() = default;
  void Close() noexcept;

  Kind kind_ = Kind::kNone;
  std::uint64_t size_ = 0;
  std::span<const std::uint8_t> memory_;
  std::istream* stream_ = nullptr;
  int fd_ = -1;
  bool ownsFd_ = false;
};

}  // namespace orvela
