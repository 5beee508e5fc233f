#include "metadata/id3_genres.h"

#include <charconv>
#include <cstdint>

#include "common/codepage.h"

namespace orvela {
namespace {

constexpr std::array<std::string_view, ID3Genres::Count> kNames = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical",
    "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock",
    "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance",
    "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap",
    "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro",
    "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde",
    "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire",
    "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul",
    "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella", "Euro-House", "Dance Hall"};

// A whole text as a signed decimal number; 255 (no genre) for anything else,
// including a number too large for 32 bits.
std::int32_t NumberOr255(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return 255;
  }
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 255;
  return value;
}

}  // namespace

const std::array<std::string_view, ID3Genres::Count>& ID3Genres::Names() { return kNames; }

std::string_view ID3Genres::Name(int index) {
  if (index < 0 || index >= Count) return {};
  return kNames[static_cast<std::size_t>(index)];
}

int ID3Genres::IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (EqualsAsciiNoCase(kNames[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::string GenreFromText(std::string_view text) {
  // Positions count from 1, 0 standing for "not there"; with no "(" at all the
  // number is everything before the first ")".
  const std::size_t open = text.find('(');
  const std::size_t close = text.find(')');
  const std::size_t a = open == std::string_view::npos ? 0 : open + 1;
  const std::size_t b = close == std::string_view::npos ? 0 : close + 1;
  if (a < b) {
    const std::string_view inner = text.substr(a, b - a - 1);
    const auto low = static_cast<std::uint8_t>(static_cast<std::uint32_t>(NumberOr255(inner)));
    if (low < ID3Genres::Count) return std::string(kNames[low]);
  }
  return std::string(text);
}

}  // namespace orvela
