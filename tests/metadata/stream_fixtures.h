#pragma once
// Byte builders for the stream readers' tests: MPEG frame headers and frames with
// silent (zero) payload, and ASF headers object by object.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace orvela::testing {

// ---- MPEG ------------------------------------------------------------------

enum : int { kMpeg1 = 1, kMpeg2 = 2, kMpeg25 = 3 };
enum : int { kStereo = 0, kJointStereo = 1, kDualChannel = 2, kMono = 3 };

struct FrameLayout {
  int version = kMpeg1;
  int layer = 3;
  int bitrateIndex = 9;  // 128 kbit/s for MPEG-1 Layer III
  int rateIndex = 0;     // 44100 Hz for MPEG-1
  bool padding = false;
  int channelMode = kStereo;
};

inline std::array<std::uint8_t, 4> HeaderBytes(const FrameLayout& f) {
  const int versionBits = f.version == kMpeg1 ? 3 : f.version == kMpeg2 ? 2 : 0;
  const int layerBits = 4 - f.layer;
  return {0xFF,
          static_cast<std::uint8_t>(0xE0 | (versionBits << 3) | (layerBits << 1) | 0x01),
          static_cast<std::uint8_t>((f.bitrateIndex << 4) | (f.rateIndex << 2) | (f.padding ? 2 : 0)),
          static_cast<std::uint8_t>(f.channelMode << 6)};
}

// One frame of `length` bytes: the header and zero payload.
inline std::string Frame(const FrameLayout& f, std::size_t length) {
  const auto h = HeaderBytes(f);
  std::string frame(length, '\0');
  for (std::size_t i = 0; i < 4 && i < length; ++i) frame[i] = static_cast<char>(h[i]);
  return frame;
}

inline std::string Frames(const FrameLayout& f, std::size_t length, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += Frame(f, length);
  return out;
}

inline void PutBigEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<char>(value >> 24);
  bytes[at + 1] = static_cast<char>(value >> 16);
  bytes[at + 2] = static_cast<char>(value >> 8);
  bytes[at + 3] = static_cast<char>(value);
}

// A frame carrying a Xing header `xingOffset` bytes behind its start, with the
// frame-count flag and count when `frames` is given.
inline std::string XingFrame(const FrameLayout& f, std::size_t length, std::size_t xingOffset,
                             bool withFrameCount, std::uint32_t frames) {
  std::string frame = Frame(f, length);
  frame.replace(xingOffset, 4, "Xing");
  frame[xingOffset + 7] = static_cast<char>(withFrameCount ? 0x0F : 0x0E);
  if (withFrameCount) PutBigEndian32(frame, xingOffset + 8, frames);
  return frame;
}

// ---- ASF -------------------------------------------------------------------

using Guid16 = std::array<std::uint8_t, 16>;

inline constexpr Guid16 kAsfHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid16 kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid16 kAsfStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid16 kAsfContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid16 kAsfExtendedContent = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                               0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
// Some other object the walk must step over (a padding object's GUID).
inline constexpr Guid16 kAsfOther = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                                     0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};

inline void PutLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void PutLeAt(std::string& out, std::size_t at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// UTF-16LE bytes of `text`, with a terminating zero as writers store it.
inline std::string Utf16Le(const std::u16string& text, bool terminate = true) {
  std::string out;
  for (char16_t ch : text) PutLe(out, ch, 2);
  if (terminate) PutLe(out, 0, 2);
  return out;
}

struct AsfAttribute {
  std::u16string name;
  std::uint16_t type = 0;  // 0 string, 3 DWORD
  std::string value;       // raw value bytes
};

class AsfBuilder {
 public:
  // An object whose size field holds `size`, or its real length when not given.
  AsfBuilder& Object(const Guid16& guid, const std::string& body, std::optional<std::uint64_t> size = {}) {
    std::string object(guid.begin(), guid.end());
    PutLe(object, size ? *size : body.size() + 24, 8);
    object += body;
    objects_.push_back(object);
    return *this;
  }
  // Maximum bit rate at offset 100 of a 104-byte object.
  AsfBuilder& FileProperties(std::uint32_t maxBitRate) {
    std::string body(80, '\0');
    PutLeAt(body, 76, maxBitRate, 4);
    return Object(kAsfFileProperties, body);
  }
  // The same with the playing time fields: play duration (100 ns units,
  // preroll included) at 64, preroll (ms) at 80, flags at 88, and the file size
  // the writer stated at 40.
  AsfBuilder& TimedFileProperties(std::uint32_t maxBitRate, std::uint64_t playDuration, std::uint64_t prerollMs,
                                  std::uint32_t flags = 0x02, std::uint64_t statedFileSize = 0) {
    std::string body(80, '\0');
    PutLeAt(body, 40 - 24, statedFileSize, 8);
    PutLeAt(body, 64 - 24, playDuration, 8);
    PutLeAt(body, 80 - 24, prerollMs, 8);
    PutLeAt(body, 88 - 24, flags, 4);
    PutLeAt(body, 76, maxBitRate, 4);
    return Object(kAsfFileProperties, body);
  }
  // The wave format record at offset 78: channels at 80, rate at 82, byte rate at 86.
  AsfBuilder& StreamProperties(std::uint16_t channels, std::uint32_t sampleRate, std::uint32_t byteRate) {
    std::string body(72, '\0');
    PutLeAt(body, 78 - 24, 0x0161, 2);  // format tag of WMA v2
    PutLeAt(body, 80 - 24, channels, 2);
    PutLeAt(body, 82 - 24, sampleRate, 4);
    PutLeAt(body, 86 - 24, byteRate, 4);
    return Object(kAsfStreamProperties, body);
  }
  AsfBuilder& ContentDescription(const std::u16string& title, const std::u16string& author,
                                 const std::u16string& rights = u"", const std::u16string& description = u"",
                                 const std::u16string& rating = u"") {
    const std::array<std::string, 5> texts = {title.empty() ? "" : Utf16Le(title),
                                              author.empty() ? "" : Utf16Le(author),
                                              rights.empty() ? "" : Utf16Le(rights),
                                              description.empty() ? "" : Utf16Le(description),
                                              rating.empty() ? "" : Utf16Le(rating)};
    std::string body;
    for (const auto& t : texts) PutLe(body, t.size(), 2);
    for (const auto& t : texts) body += t;
    return Object(kAsfContentDescription, body);
  }
  AsfBuilder& ExtendedContent(const std::vector<AsfAttribute>& attributes) {
    std::string body;
    PutLe(body, attributes.size(), 2);
    for (const auto& a : attributes) {
      const std::string name = Utf16Le(a.name);
      PutLe(body, name.size(), 2);
      body += name;
      PutLe(body, a.type, 2);
      PutLe(body, a.value.size(), 2);
      body += a.value;
    }
    return Object(kAsfExtendedContent, body);
  }
  // A plausible stereo 44.1 kHz stream with the given maximum bit rate.
  AsfBuilder& PlausibleAudio(std::uint32_t maxBitRate = 128000) {
    return FileProperties(maxBitRate).StreamProperties(2, 44100, 16000);
  }

  // The header object holding every object added; `declaredCount` overrides the
  // object count when it is not negative.
  std::string Build(long declaredCount = -1) const {
    std::string body;
    for (const auto& o : objects_) body += o;
    std::string out(kAsfHeader.begin(), kAsfHeader.end());
    PutLe(out, body.size() + 30, 8);
    PutLe(out, declaredCount >= 0 ? static_cast<std::uint64_t>(declaredCount) : objects_.size(), 4);
    out.push_back(0x01);
    out.push_back(0x02);
    return out + body;
  }

 private:
  std::vector<std::string> objects_;
};

inline AsfAttribute StringAttribute(const std::u16string& name, const std::u16string& value) {
  return {name, 0, Utf16Le(value)};
}

// ---- files -----------------------------------------------------------------

// A private folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvela-stream-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes bytes to name inside the folder; answers the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

  // Writes bytes and extends the file with a hole to `size` bytes, so huge files
  // cost no disk space.
  std::string WriteSparse(const std::string& name, const std::string& bytes, std::uintmax_t size) const {
    const std::string file = Write(name, bytes);
    std::filesystem::resize_file(file, size);
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace orvela::testing
