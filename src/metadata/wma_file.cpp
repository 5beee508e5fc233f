#include "metadata/wma_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <istream>
#include <limits>
#include <vector>

#include "common/codepage.h"
#include "common/file_open.h"
#include "metadata/cached_file_buffer.h"

namespace orvela {
namespace {

using Guid = std::array<std::uint8_t, 16>;

// On disk the first three groups are little-endian.
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescriptionObject = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescriptionObject = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                    0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

// An object's GUID and 64-bit size; anything smaller cannot be an object.
constexpr std::int64_t kObjectHeaderSize = 24;

enum Slot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kSlotCount };

constexpr std::array<std::u16string_view, kSlotCount> kAttributeNames = {
    u"WM/TITLE", u"WM/AUTHOR", u"WM/ALBUMTITLE", u"WM/TRACK", u"WM/YEAR", u"WM/GENRE", u"WM/DESCRIPTION"};

// What the header walk collects before it is checked.
struct FileData {
  std::int64_t FileSize = 0;
  std::uint32_t MaxBitRate = 0;  // bit/s
  // From the File Properties object too: what the file's writer knew of it.
  std::uint64_t DeclaredFileSize = 0;
  std::uint64_t PlayDuration = 0;  // 100 ns units, preroll included
  std::uint64_t Preroll = 0;       // ms
  std::uint32_t Flags = 0;
  std::uint16_t Channels = 0;
  std::uint32_t SampleRate = 0;
  std::uint32_t ByteRate = 0;  // average bytes per second
  std::array<std::u16string, kSlotCount> Strings;
};

// A read that runs past the end of the file ends the walk as a failure.
struct ReadPastEnd {};

class Cursor {
 public:
  explicit Cursor(TTagSource& source) : source_(source) {}

  std::int64_t Position() const { return position_; }
  // Like a file seek, a position past the end is allowed; the next read fails.
  void Seek(std::int64_t position) { position_ = position; }
  void Skip(std::int64_t count) { position_ += count; }

  void Read(void* dst, std::size_t count) {
    if (count == 0) return;
    if (position_ < 0) throw ReadPastEnd{};
    const auto got = source_.ReadAt(static_cast<std::uint64_t>(position_), count, storage_);
    if (got.size() != count) throw ReadPastEnd{};
    std::memcpy(dst, got.data(), count);
    position_ += static_cast<std::int64_t>(count);
  }
  std::uint16_t ReadU16() {
    std::array<std::uint8_t, 2> b{};
    Read(b.data(), b.size());
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t ReadU32() {
    std::array<std::uint8_t, 4> b{};
    Read(b.data(), b.size());
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
           (std::uint32_t{b[3]} << 24);
  }
  std::uint64_t ReadU64() {
    const std::uint64_t low = ReadU32();
    return low | (std::uint64_t{ReadU32()} << 32);
  }
  Guid ReadGuid() {
    Guid g{};
    Read(g.data(), g.size());
    return g;
  }

  // A stored string of `bytes` bytes: at most kMaxStringChars UTF-16 units are
  // kept, the rest (and an odd last byte) is skipped, so a damaged length never
  // makes us hold more than that.
  std::u16string ReadWideString(std::size_t bytes) {
    const std::size_t chars = std::min(bytes / 2, TWMAfile::kMaxStringChars);
    std::array<std::uint8_t, TWMAfile::kMaxStringChars * 2> raw{};
    Read(raw.data(), chars * 2);
    std::u16string text(chars, u'\0');
    for (std::size_t i = 0; i < chars; ++i) {
      text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    }
    Skip(static_cast<std::int64_t>(bytes - chars * 2));
    return text;
  }

 private:
  TTagSource& source_;
  std::vector<std::uint8_t> storage_;
  std::int64_t position_ = 0;
};

std::u16string TrimWide(std::u16string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && text[b] <= 0x20) ++b;
  while (e > b && text[e - 1] <= 0x20) --e;
  return std::u16string(text.substr(b, e - b));
}

// Only a to z are folded: the names compared against are plain ASCII.
std::u16string UpperAscii(std::u16string text) {
  for (auto& ch : text) {
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
  }
  return text;
}

// A whole decimal number with an optional sign that fits 32 bits, else 0.
std::int32_t WholeNumberOrZero(std::u16string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return 0;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return 0;
    value = value * 10 + (text[i] - u'0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min()) {
    return 0;
  }
  return static_cast<std::int32_t>(value);
}

void ReadContentDescription(Cursor& in, std::int64_t objectStart, FileData& data) {
  in.Seek(objectStart + 24);
  std::array<std::uint16_t, 5> lengths{};
  for (auto& length : lengths) length = in.ReadU16();
  // title, author, rights notice, description, rating
  constexpr std::array<int, 5> kTargets = {kTitle, kArtist, -1, kComment, -1};
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    if (lengths[i] == 0) continue;
    std::u16string text = in.ReadWideString(lengths[i]);
    if (kTargets[i] >= 0) data.Strings[static_cast<std::size_t>(kTargets[i])] = std::move(text);
  }
}

void ReadExtendedContentDescription(Cursor& in, std::int64_t objectStart, FileData& data) {
  in.Seek(objectStart + 24);
  const std::uint16_t count = in.ReadU16();
  for (std::uint16_t a = 0; a < count; ++a) {
    const std::uint16_t nameLength = in.ReadU16();
    const std::u16string name = UpperAscii(TrimWide(in.ReadWideString(nameLength)));
    const std::uint16_t valueType = in.ReadU16();
    const std::uint16_t valueLength = in.ReadU16();
    if (valueType != 0) {
      // Numbers and flags set nothing, not even from a value read earlier.
      in.Skip(valueLength);
      continue;
    }
    std::u16string value = in.ReadWideString(valueLength);
    for (std::size_t slot = 0; slot < kAttributeNames.size(); ++slot) {
      if (name == kAttributeNames[slot]) {
        data.Strings[slot] = std::move(value);
        break;
      }
    }
  }
}

void WalkHeader(Cursor& in, FileData& data) {
  if (in.ReadGuid() != kHeaderObject) return;  // not ASF: nothing to collect
  in.Skip(8);  // header object size
  const std::uint32_t objectCount = in.ReadU32();
  in.Skip(2);  // reserved
  for (std::uint32_t i = 0; i < objectCount; ++i) {
    const std::int64_t start = in.Position();
    const Guid guid = in.ReadGuid();
    // Only the low 32 bits: a header object beyond 4 GiB does not exist.
    const std::int64_t size = in.ReadU32();
    if (guid == kFilePropertiesObject) {
      in.Seek(start + 40);
      data.DeclaredFileSize = in.ReadU64();
      in.Seek(start + 64);
      data.PlayDuration = in.ReadU64();
      in.Skip(8);  // send duration
      data.Preroll = in.ReadU64();
      data.Flags = in.ReadU32();
      in.Seek(start + 100);
      data.MaxBitRate = in.ReadU32();
    } else if (guid == kStreamPropertiesObject) {
      in.Seek(start + 80);
      data.Channels = in.ReadU16();
      data.SampleRate = in.ReadU32();
      data.ByteRate = in.ReadU32();
    } else if (guid == kContentDescriptionObject) {
      ReadContentDescription(in, start, data);
    } else if (guid == kExtendedContentDescriptionObject) {
      ReadExtendedContentDescription(in, start, data);
    }
    // A size below the object's own GUID and size field would keep the walk on
    // the same spot or send it backwards; such a header is damaged from here on.
    if (size < kObjectHeaderSize) return;
    in.Seek(start + size);
  }
}

// The highest rate a file may state. Lossless WMA and 320 kbit/s files are
// real; the largest stream the channel and sample-rate limits below let in,
// two channels of 32-bit samples at 96 kHz, is 6.1 Mbit/s uncompressed, so
// this leaves headroom for the container and still refuses nonsense.
constexpr std::uint32_t kMaxBitRate = 10000000;
constexpr std::uint32_t kMaxByteRate = kMaxBitRate / 8;

bool IsPlausible(const FileData& d) {
  return d.MaxBitRate >= 1 && d.MaxBitRate <= kMaxBitRate && (d.Channels == 1 || d.Channels == 2) &&
         d.SampleRate >= 8000 && d.SampleRate <= 96000 && d.ByteRate >= 1 && d.ByteRate <= kMaxByteRate;
}

constexpr std::uint32_t kBroadcastFlag = 0x01;  // live stream: duration and size not filled in
// Half the lowest rate any WMA codec writes (4 to 5 kbit/s): a playing time
// that would spread the file thinner than this is no playing time of it.
constexpr double kLowestBitsPerSecond = 2000.0;

// The playing time the header states, play duration less preroll, in seconds;
// 0 when it is not there or not to be trusted. The size-based time is right
// only for constant-rate files (a variable-rate file states a maximum rate far
// from its average), so the stated time goes first wherever it is sound: not
// a live stream, more than nothing, and a file that is neither cut short
// (smaller than the size it states) nor too small to hold that much audio.
double StatedPlayingTime(const FileData& d) {
  if ((d.Flags & kBroadcastFlag) != 0 || d.PlayDuration == 0) return 0.0;
  const double seconds = static_cast<double>(d.PlayDuration) / 1e7 - static_cast<double>(d.Preroll) / 1000.0;
  if (!(seconds > 0.0)) return 0.0;
  if (d.DeclaredFileSize != 0 && static_cast<std::uint64_t>(d.FileSize) < d.DeclaredFileSize) return 0.0;
  if (static_cast<double>(d.FileSize) * 8.0 < seconds * kLowestBitsPerSecond) return 0.0;
  return seconds;
}

void Store(const FileData& data, TWMAfile& wma) {
  wma.Valid = true;
  wma.FileSize = data.FileSize;
  wma.Channels = static_cast<std::uint8_t>(data.Channels & 0xFF);
  wma.SampleRate = static_cast<std::int32_t>(data.SampleRate);
  const double stated = StatedPlayingTime(data);
  wma.Duration = stated > 0.0 ? stated
                              : static_cast<double>(data.FileSize * 8) / static_cast<double>(data.MaxBitRate);
  wma.BitRate = static_cast<std::int32_t>(std::int64_t{data.ByteRate} * 8 / 1000);
  wma.Title = TrimWide(data.Strings[kTitle]);
  wma.Artist = TrimWide(data.Strings[kArtist]);
  wma.Album = TrimWide(data.Strings[kAlbum]);
  wma.Year = TrimWide(data.Strings[kYear]);
  wma.Genre = TrimWide(data.Strings[kGenre]);
  wma.Comment = TrimWide(data.Strings[kComment]);
  wma.Track = WholeNumberOrZero(TrimWide(data.Strings[kTrack]));
}

}  // namespace

void TWMAfile::Clear() {
  Valid = false;
  FileSize = 0;
  Channels = 0;
  SampleRate = 0;
  Duration = 0.0;
  BitRate = 0;
  Title.clear();
  Artist.clear();
  Album.clear();
  Track = 0;
  Year.clear();
  Genre.clear();
  Comment.clear();
}

bool TWMAfile::ReadFromFile(const std::u16string& path) {
  Clear();
  try {
    // The walk reads a few bytes at a time; two cached blocks keep that from
    // turning into one system call each.
    std::uint64_t size = 0;
    const int fd = OpenRegularCodePageFileForPread(Utf16ToCp1252(path), &size);
    TCachedFileBuffer buffer(fd, size);
    if (!buffer.IsOpen()) return false;
    std::istream stream(&buffer);
    TTagSource source = TTagSource::FromStream(stream);
    return ReadFromSource(source);
  } catch (...) {
    Clear();
    return false;
  }
}

bool TWMAfile::ReadFromBuffer(std::string_view bytes) {
  TTagSource source = TTagSource::FromMemory(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return ReadFromSource(source);
}

bool TWMAfile::ReadFromSource(TTagSource& source) {
  Clear();
  FileData data;
  try {
    data.FileSize = static_cast<std::int64_t>(source.Size());
    Cursor in(source);
    WalkHeader(in, data);
  } catch (...) {
    Clear();
    return false;
  }
  if (!IsPlausible(data)) return true;
  try {
    Store(data, *this);
  } catch (...) {
    Clear();  // out of memory while copying the texts: nothing half filled
  }
  return true;
}

}  // namespace orvela
