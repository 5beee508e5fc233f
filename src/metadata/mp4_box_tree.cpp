#include "metadata/mp4_box_tree.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvela {
namespace {

// The boxes TagLib enters; every other box is stepped over whole.
constexpr std::array<std::string_view, 11> kContainers = {"moov", "udta", "mdia", "meta", "ilst", "stbl",
                                                          "minf", "moof", "traf", "trak", "stsd"};
// A "meta" box whose content opens with one of these is read without the
// version and flags of a full box.
constexpr std::array<std::string_view, 5> kMetaFirstChildren = {"hdlr", "ilst", "mhdr", "ctry", "lang"};

std::uint64_t BigEndian(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (const std::uint8_t b : bytes) value = value << 8 | b;
  return value;
}

std::string_view TypeOf(std::span<const std::uint8_t> header) {
  return {reinterpret_cast<const char*>(header.data()) + 4, 4};
}

// TagLib ends its walk at a type of other bytes than printable ASCII and "©".
bool PrintableType(std::string_view type) {
  return std::all_of(type.begin(), type.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x20 && b <= 0x7E) || b == 0xA9;
  });
}

bool IsOneOf(std::string_view type, std::span<const std::string_view> names) {
  return std::find(names.begin(), names.end(), type) != names.end();
}

}  // namespace

TMp4BoxTree WalkMp4BoxTree(TTagSource& source) {
  const std::uint64_t fileSize = source.Size();
  std::vector<std::uint8_t> storage;
  // The ends of the containers entered, outermost first; the file's top level
  // is read while a whole header still fits, a container while the position
  // lies before its end. A container that is done leaves the position where
  // its last child ended (never stepped back to its own end), as TagLib does.
  std::vector<std::uint64_t> ends;
  std::uint64_t position = 0;
  std::size_t boxes = 0;
  for (;;) {
    const bool more = ends.empty() ? position + 8 <= fileSize : position < ends.back();
    if (!more) {
      if (ends.empty()) return TMp4BoxTree::kBounded;
      ends.pop_back();
      continue;
    }
    if (++boxes > kMaxMp4Boxes) return TMp4BoxTree::kTooMany;
    const auto header = source.ReadAt(position, 8, storage);
    // From here on a damaged box ends TagLib's whole walk: nothing further is read.
    if (header.size() < 8) return TMp4BoxTree::kBounded;
    std::uint64_t length = BigEndian(header.first(4));
    const std::string_view typeBytes = TypeOf(header);
    const std::array<char, 4> type = {typeBytes[0], typeBytes[1], typeBytes[2], typeBytes[3]};
    const std::string_view name(type.data(), type.size());
    std::uint64_t content = position + 8;
    if (length == 0) {
      length = fileSize - position;  // the last box, to the end of the file
    } else if (length == 1) {
      const auto large = source.ReadAt(content, 8, storage);
      if (large.size() < 8) return TMp4BoxTree::kBounded;
      length = BigEndian(large);
      if (length > static_cast<std::uint64_t>(LONG_MAX)) return TMp4BoxTree::kBounded;
      content += 8;
    }
    if (length < 8 || length > fileSize - position || !PrintableType(name)) return TMp4BoxTree::kBounded;
    if (!IsOneOf(name, kContainers)) {
      position += length;
      continue;
    }
    if (ends.size() + 1 > static_cast<std::size_t>(kMaxMp4BoxDepth)) return TMp4BoxTree::kTooDeep;
    if (name == "meta") {
      const auto first = source.ReadAt(content, 8, storage);
      const bool fullBox = first.size() < 8 || !IsOneOf(TypeOf(first), kMetaFirstChildren);
      if (fullBox) content += 4;
    } else if (name == "stsd") {
      content += 8;
    }
    ends.push_back(position + length);
    position = content;
  }
}

}  // namespace orvela
