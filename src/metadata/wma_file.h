#pragma once
// Reads the header of a Windows Media Audio (ASF) file: title, artist, year and
// the playing time the header states, or else the one worked out from the file
// size and the maximum bit rate.
#include <cstdint>
#include <string>
#include <string_view>

#include "metadata/tag_source.h"

namespace orvela {

class TWMAfile {
 public:
  // Longest string kept from the header, in UTF-16 units; the rest is skipped.
  static constexpr std::size_t kMaxStringChars = 250;

  bool Valid = false;  // the header values passed the plausibility test
  // 64-bit although the header values it combines with are 32-bit: a file past
  // 2 GiB must not come out with a negative playing time.
  std::int64_t FileSize = 0;
  std::uint8_t Channels = 0;
  std::int32_t SampleRate = 0;
  double Duration = 0.0;  // seconds
  std::int32_t BitRate = 0;  // kbit/s, from the average byte rate
  std::u16string Title;
  std::u16string Artist;
  std::u16string Album;
  std::int32_t Track = 0;  // 0 when the track text is not a whole number
  std::u16string Year;
  std::u16string Genre;
  std::u16string Comment;

  TWMAfile() { Clear(); }

  void Clear();

  // True when the file could be opened and its header walked without running
  // past the end of the file. A file that is not ASF at all, or whose values are
  // implausible, also answers true, with Valid false and every field cleared.
  // The path is code-page text held as UTF-16. Never throws.
  bool ReadFromFile(const std::u16string& path);
  // The same over a block of memory holding the whole file.
  bool ReadFromBuffer(std::string_view bytes);
  // Any source; the one the others share.
  bool ReadFromSource(TTagSource& source);
};

}  // namespace orvela
