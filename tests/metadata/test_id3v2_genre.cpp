#include <gtest/gtest.h>

#include <string>

#include "metadata/id3_genres.h"
#include "metadata/id3v2_tag.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

struct GenreCase {
  std::string text;
  std::string expected;
};

TEST(GenreFromText, ParenthesisRules) {
  const GenreCase cases[] = {
      {"(17)", "Rock"},
      {"(17)Rock and more", "Rock"},  // whatever stands around is replaced
      {"Pop (17)", "Rock"},
      {"17)", "Rock"},                // no "(" at all: everything before ")"
      {"(RX)", "(RX)"},
      {"(CR)", "(CR)"},
      {"(255)", "(255)"},
      {"(300)", "Space"},             // low 8 bits: 44
      {"(-200)", "Southern Rock"},    // low 8 bits of -200: 56
      {"(-1)", "(-1)"},               // 255
      {"(+5)", "Funk"},
      {"(0)", "Blues"},
      {"(125)", "Dance Hall"},
      {"(126)", "(126)"},
      {")17(", ")17("},               // ")" before "(": unchanged
      {"()", "()"},
      {"(17", "(17"},
      {"((17))", "((17))"},           // "(17" between the first pair is no number
      {"(1)(2)", "Classic Rock"},     // the first pair only
      {"( 17)", "( 17)"},
      {"(99999999999)", "(99999999999)"},  // beyond 32 bits: no number
      {"Rock", "Rock"},
      {"17", "17"},                   // a bare number is left alone
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GenreFromText(c.text), c.expected) << "text: " << c.text;
  }
}

TEST(GenreFromText, AppliedByGetGenreOnly) {
  using namespace test;
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(3, 0, Frame23("TCON", Text(0, "(17)")) + Frame23("TIT2", Text(0, "(17)"))));
  EXPECT_EQ(tag.GetGenre(), "Rock");
  EXPECT_EQ(tag.GetTitle(), "(17)");
}

}  // namespace
}  // namespace orvela
