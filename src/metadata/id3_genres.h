#pragma once
// The genre names of the ID3v1 genre byte (with the common extensions up to 125).
// They end up verbatim in the collection's Genre column and in the filter lists,
// so the spellings are part of the behaviour.
#include <array>
#include <string>
#include <string_view>

namespace orvela {

class ID3Genres {
 public:
  static constexpr int Count = 126;

  // All names in index order. Constant data: nothing to build or free.
  static const std::array<std::string_view, Count>& Names();

  // The name at `index`, or an empty view outside 0..125.
  static std::string_view Name(int index);

  // Index of `name` compared case-insensitively (ASCII), or -1.
  static int IndexOf(std::string_view name);
};

// Turns a numeric genre reference of an ID3v2 content-type text into its name:
// when the first "(" comes before the first ")" (or there is no "(" at all) the
// text between them is read as a signed decimal number (anything else counts as
// 255); when its low 8 bits are below 126 the whole text becomes that genre's
// name. Otherwise the text is answered unchanged. Code-page text in and out.
std::string GenreFromText(std::string_view text);

}  // namespace orvela
