#pragma once
// One frame of an ID3v2 tag, as read; only text frames are ever interpreted.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

class TID3v2Frame {
 public:
  std::uint8_t Version = 3;                   // the tag's major version
  std::string FrameId;                        // 3 characters (2.2) or 4
  std::vector<std::uint8_t> Header;           // 6 bytes (2.2) or 10, as read
  std::vector<std::uint8_t> Data;             // content behind group and length bytes
  std::uint8_t GroupId = 0;                   // grouping byte, when the frame has one
  std::array<std::uint8_t, 4> DataLengthIndicator{};  // version 2.4, kept raw
  bool Valid = true;                          // the content can be interpreted

  // An ID of the wrong length or with a character outside 0-9, A-Z becomes
  // "XXX" (version 2.2) or "XXXX".
  TID3v2Frame(std::string_view frameId, std::uint8_t version);

  // Reads the rest of the frame header and the content from `area`, starting at
  // `pos`, which stands just behind the frame ID. On success `pos` is moved past
  // the frame. Answers false, leaving `pos` alone, when the header or the stated
  // content does not fit into `area`; nothing is allocated in that case.
  // `plainSize`: a version 2.4 frame whose size was written as a plain 32-bit
  // number, as version 2.3 has it, instead of syncsafe (the tag reader decides).
  bool ReadFromBuffer(std::span<const std::uint8_t> area, std::size_t& pos, bool plainSize = false);

  // The frame's text as Windows-1252 (characters the code page cannot hold become
  // '?'), trimmed of 0x00..0x20 at both ends; empty when not Valid or no content.
  // UTF-16 without a byte order mark is read whole, in the byte order that
  // gives characters. Several values separated by zero characters (2.4 has
  // them, and 2.3 writers put them there too) come joined by " / ", each
  // without its own byte order mark.
  std::string GetText() const;

  static bool IsValidIdChar(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
  }
};

// Drops every 0x00 byte that directly follows a 0xFF byte of the input.
std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> bytes);

}  // namespace orvela
