// Any bytes as the start of a file: the ID3v2 reader must answer without
// crashing, hanging or allocating beyond the input, and reading the same bytes
// from memory and through a stream must give the same tag.
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>

#include "metadata/id3_genres.h"
#include "metadata/id3v2_tag.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  const std::span<const std::uint8_t> bytes(data, size);

  TID3v2Tag tag;
  const std::uint8_t code = tag.ReadFromBuffer(bytes);
  Check(code == 0 || code == 6 || code == 9 || code == 10 || code == 11);
  Check(tag.PaddingSize >= 0 && tag.PaddingSize <= tag.TagSize);
  if (tag.Exists) Check(tag.TagSize >= 10);
  if (!tag.Exists || code != 0) Check(tag.Frames.empty());

  std::size_t dataBytes = 0;
  for (const TID3v2Frame& frame : tag.Frames) {
    Check(frame.FrameId.size() == (tag.Version == 2 ? 3u : 4u));
    dataBytes += frame.Data.size();
    (void)frame.GetText();
  }
  // Frames are cut from the input, never made up.
  Check(dataBytes <= size);

  const std::string title = tag.GetTitle();
  const std::string artist = tag.GetArtist();
  const std::string year = tag.GetYear();
  const std::string genre = tag.GetGenre();
  for (int row = -1; row < 8; ++row) Check(tag.FindFrame(row) < static_cast<int>(tag.Frames.size()));

  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  TID3v2Tag viaStream;
  Check(viaStream.ReadFromStream(stream) == code);
  Check(viaStream.TagSize == tag.TagSize && viaStream.PaddingSize == tag.PaddingSize);
  Check(viaStream.Frames.size() == tag.Frames.size());
  Check(viaStream.GetTitle() == title && viaStream.GetArtist() == artist &&
        viaStream.GetYear() == year && viaStream.GetGenre() == genre);
  return 0;
}
