#pragma once
// Byte builders for ID3 fixtures: every test spells out the bytes it reads.
#include <cstdint>
#include <ios>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>

namespace orvela::test {

using Bytes = std::string;

inline Bytes Syncsafe(std::uint32_t n) {
  return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
          static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
}

inline Bytes BigEndian32(std::uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}

inline Bytes Frame22(std::string_view id, std::string_view data) {
  const auto n = static_cast<std::uint32_t>(data.size());
  return Bytes(id) + static_cast<char>(n >> 16) + static_cast<char>(n >> 8) +
         static_cast<char>(n) + Bytes(data);
}

inline Bytes Frame23(std::string_view id, std::string_view data, std::uint8_t formatFlags = 0,
                     std::uint8_t statusFlags = 0) {
  return Bytes(id) + BigEndian32(static_cast<std::uint32_t>(data.size())) +
         static_cast<char>(statusFlags) + static_cast<char>(formatFlags) + Bytes(data);
}

inline Bytes Frame24(std::string_view id, std::string_view data, std::uint8_t formatFlags = 0) {
  return Bytes(id) + Syncsafe(static_cast<std::uint32_t>(data.size())) + '\0' +
         static_cast<char>(formatFlags) + Bytes(data);
}

// A tag whose size field counts `body` (extended header, frames, padding).
inline Bytes Tag(std::uint8_t version, std::uint8_t flags, std::string_view body) {
  return Bytes("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) +
         Syncsafe(static_cast<std::uint32_t>(body.size())) + Bytes(body);
}

// A text frame's content: encoding byte, then the bytes as given.
inline Bytes Text(std::uint8_t encoding, std::string_view bytes) {
  return static_cast<char>(encoding) + Bytes(bytes);
}

// A read-only stream over bytes that counts what is read from it and can be told
// to fail, as a disk error would.
class CountingBuf : public std::streambuf {
 public:
  explicit CountingBuf(Bytes bytes, bool failReads = false)
      : bytes_(std::move(bytes)), failReads_(failReads) {
    char* b = bytes_.data();
    setg(b, b, b);  // nothing buffered: every read goes through xsgetn/underflow
  }
  std::size_t BytesRead() const { return read_; }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type base = dir == std::ios_base::beg ? 0
                          : dir == std::ios_base::cur ? static_cast<off_type>(pos_)
                                                      : static_cast<off_type>(bytes_.size());
    const off_type target = base + off;
    if (target < 0 || target > static_cast<off_type>(bytes_.size())) return pos_type(-1);
    pos_ = static_cast<std::size_t>(target);
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode mode) override {
    return seekoff(off_type(pos), std::ios_base::beg, mode);
  }
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    if (failReads_) throw std::runtime_error("disk gone");
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), bytes_.size() - pos_);
    bytes_.copy(s, count, pos_);
    pos_ += count;
    read_ += count;
    return static_cast<std::streamsize>(count);
  }
  int_type underflow() override {
    if (failReads_) throw std::runtime_error("disk gone");
    return traits_type::eof();
  }

 private:
  Bytes bytes_;
  bool failReads_;
  std::size_t pos_ = 0;
  std::size_t read_ = 0;
};

}  // namespace orvela::test
