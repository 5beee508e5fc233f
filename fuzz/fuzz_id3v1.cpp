// Any bytes as a whole file: the ID3v1 reader looks at the last 128 of them. The
// same bytes also feed the genre-reference parser, which sees free tag text.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "metadata/id3_genres.h"
#include "metadata/id3v1_tag.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  TID3v1Tag tag;
  const std::uint8_t code = tag.ReadFromBuffer(std::span<const std::uint8_t>(data, size));
  Check(code == 0 || code == 6 || code == 9);
  Check(tag.Exists == (code == 0));
  Check(tag.Title.size() == 30 && tag.Artist.size() == 30 && tag.Album.size() == 30 &&
        tag.Comment.size() == 30 && tag.Year.size() <= 4);
  Check(tag.GetTitle().size() <= 30 && tag.GetArtist().size() <= 30);
  Check(tag.GetYear().size() <= 4);
  const std::string genre = tag.GetGenre();
  Check(genre.empty() == (tag.Genre > 125));

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string named = GenreFromText(text);
  // Either the text unchanged or one of the table's names.
  Check(named == text || ID3Genres::IndexOf(named) >= 0);
  return 0;
}
