#include "metadata/id3v2_frame.h"

#include <algorithm>

#include "common/codepage.h"

namespace orvela {
namespace {

// Frame format flags (last header byte) that keep the content readable.
constexpr std::uint8_t kV23Grouping = 0x20;
constexpr std::uint8_t kV23Uninterpretable = 0xDF;  // compression, encryption, undefined
constexpr std::uint8_t kV24Grouping = 0x40;
constexpr std::uint8_t kV24Unsynchronised = 0x02;
constexpr std::uint8_t kV24DataLength = 0x01;
constexpr std::uint8_t kV24Uninterpretable = 0xBC;

std::size_t IdLength(std::uint8_t version) { return version == 2 ? 3 : 4; }

std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto hi = bigEndian ? bytes[i] : bytes[i + 1];
    const auto lo = bigEndian ? bytes[i + 1] : bytes[i];
    out.push_back(static_cast<char16_t>((hi << 8) | lo));
  }
  return out;
}

std::string_view AsChars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// UTF-16 that does not open with a byte order mark. Writers that leave the
// mark out start with the text itself, whose first character, if it is one
// the code page can hold at all, has a zero byte; two bytes without one are
// taken as a damaged mark, as before.
bool OpensWithText(std::span<const std::uint8_t> text) {
  const bool mark = (text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF);
  return !mark && (text[0] == 0 || text[1] == 0);
}

// The byte order in which more units are characters of the first 256 (the
// ones a Western code page holds); little-endian where both give as many.
bool ReadsBetterBigEndian(std::span<const std::uint8_t> text) {
  std::size_t little = 0;
  std::size_t big = 0;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    if (text[i + 1] == 0) ++little;
    if (text[i] == 0) ++big;
  }
  return big > little;
}

// Trims each value, drops empty ones (so trailing zeros separate nothing) and
// joins the rest.
std::string JoinValues(const std::vector<std::string>& values) {
  std::string joined;
  for (const std::string& value : values) {
    std::string trimmed = Trim(value);
    if (trimmed.empty()) continue;
    if (!joined.empty()) joined += " / ";
    joined += trimmed;
  }
  return joined;
}

std::vector<std::string> SplitAtZeros(std::string_view text) {
  std::vector<std::string> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t zero = text.find('\0', start);
    values.emplace_back(text.substr(start, zero == std::string_view::npos ? std::string_view::npos : zero - start));
    if (zero == std::string_view::npos) return values;
    start = zero + 1;
  }
}

// Each value of a UTF-16 frame may carry its own mark: dropped, and a value
// marked for the other byte order turned round.
std::vector<std::string> SplitAtZeros(std::u16string_view text) {
  std::vector<std::string> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t zero = text.find(u'\0', start);
    std::u16string value(text.substr(start, zero == std::u16string_view::npos ? std::u16string_view::npos : zero - start));
    if (!value.empty() && value.front() == 0xFFFE) {
      for (char16_t& unit : value) unit = static_cast<char16_t>((unit << 8) | (unit >> 8));
    }
    if (!value.empty() && value.front() == 0xFEFF) value.erase(0, 1);
    values.push_back(Utf16ToCp1252(value));
    if (zero == std::u16string_view::npos) return values;
    start = zero + 1;
  }
}

}  // namespace

TID3v2Frame::TID3v2Frame(std::string_view frameId, std::uint8_t version)
    : Version(version), FrameId(frameId) {
  const bool wellFormed =
      frameId.size() == IdLength(version) &&
      std::all_of(frameId.begin(), frameId.end(),
                  [](char c) { return IsValidIdChar(static_cast<std::uint8_t>(c)); });
  if (!wellFormed) FrameId.assign(IdLength(version), 'X');
}

bool TID3v2Frame::ReadFromBuffer(std::span<const std::uint8_t> area, std::size_t& pos, bool plainSize) {
  Valid = true;
  const std::size_t rest = Version == 2 ? 3 : 6;
  if (pos > area.size() || area.size() - pos < rest) return false;
  const std::uint8_t* h = area.data() + pos;  // header bytes behind the ID

  std::uint64_t size = 0;
  std::uint8_t flags = 0;
  if (Version == 2) {
    size = (std::uint64_t{h[0]} << 16) | (std::uint64_t{h[1]} << 8) | h[2];
  } else if (Version == 3 || plainSize) {
    size = (std::uint64_t{h[0]} << 24) | (std::uint64_t{h[1]} << 16) |
           (std::uint64_t{h[2]} << 8) | h[3];
    flags = h[5];
    if (Version == 3 ? (flags & kV23Uninterpretable) != 0 : (flags & kV24Uninterpretable) != 0) {
      Valid = false;
    }
  } else {
    // Syncsafe, with the bytes taken whole as they stand.
    size = (std::uint64_t{h[0]} << 21) + (std::uint64_t{h[1]} << 14) +
           (std::uint64_t{h[2]} << 7) + h[3];
    flags = h[5];
    if (flags & kV24Uninterpretable) Valid = false;
  }
  // The size is checked against what is there before any buffer is made.
  if (area.size() - pos - rest < size) return false;

  Header.assign(FrameId.begin(), FrameId.end());
  Header.insert(Header.end(), h, h + rest);
  std::span<const std::uint8_t> content = area.subspan(pos + rest, static_cast<std::size_t>(size));

  std::vector<std::uint8_t> resynchronised;
  if (Version == 4 && (flags & kV24Unsynchronised)) {
    resynchronised = RemoveUnsynchronisation(content);
    content = resynchronised;
  }

  GroupId = 0;
  DataLengthIndicator = {};
  if (Valid) {
    const bool grouped = (Version == 3 && (flags & kV23Grouping)) ||
                         (Version == 4 && (flags & kV24Grouping));
    const bool hasLength = Version == 4 && (flags & kV24DataLength);
    const std::size_t prefix = (grouped ? 1 : 0) + (hasLength ? 4 : 0);
    if (content.size() < prefix) {
      // Announces a group byte or length bytes it does not have: nothing to read
      // in it, but its stated size still says where the next frame begins.
      Valid = false;
    } else {
      std::size_t at = 0;
      if (grouped) GroupId = content[at++];
      if (hasLength) {
        std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(at), 4,
                    DataLengthIndicator.begin());
        at += 4;
      }
      content = content.subspan(at);
    }
  }
  Data.assign(content.begin(), content.end());
  pos += rest + static_cast<std::size_t>(size);
  return true;
}

std::string TID3v2Frame::GetText() const {
  if (!Valid || Data.empty()) return {};
  const std::span<const std::uint8_t> text = std::span(Data).subspan(1);
  // 2.4 separates several values by zero characters; writers of 2.3 tags do
  // the same (a UTF-16 value each with its own mark), so a zero is never shown
  // in any version: what follows it is joined on as another value.
  std::u16string wide;
  switch (Data[0]) {
    case 1: {
      if (text.size() < 2) return {};
      if (OpensWithText(text)) {
        wide = DecodeUtf16(text, ReadsBetterBigEndian(text));
      } else {
        // Big-endian only when the mark says so; anything else counts as the
        // mark of little-endian text.
        wide = DecodeUtf16(text.subspan(2), text[0] == 0xFE && text[1] == 0xFF);
      }
      break;
    }
    case 2:
      wide = DecodeUtf16(text, true);
      break;
    case 3: {
      return JoinValues(SplitAtZeros(Utf8ToCp1252(AsChars(text))));
    }
    default:
      // Already code-page text.
      return JoinValues(SplitAtZeros(AsChars(text)));
  }
  return JoinValues(SplitAtZeros(wide));
}

std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  std::uint8_t previous = 0;
  for (const std::uint8_t b : bytes) {
    if (!(b == 0x00 && previous == 0xFF)) out.push_back(b);
    previous = b;
  }
  return out;
}

}  // namespace orvela
