#include <gtest/gtest.h>

#include <cstdint>
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

// Version 2.4 may name a genre by its bare number, as a value of its own.
TEST(GenreFromText, BareNumbersOfVersion24) {
  using namespace test;
  struct Case {
    std::uint8_t version;
    Bytes text;
    std::string expected;
  };
  const Case cases[] = {
      {4, "17", "Rock"},
      {4, "0", "Blues"},
      {4, "125", "Dance Hall"},
      {4, Bytes("17\0Pop", 6), "Rock / Pop"},
      {4, Bytes("Pop\x00" "8", 5), "Pop / Jazz"},
      {4, "126", "126"},
      {4, "1234", "1234"},
      {4, "17a", "17a"},
      {4, "-1", "-1"},
      {4, "(17)", "Rock"},
      {4, "Pop", "Pop"},
      {3, "17", "17"},  // before 2.4 only the parenthesised form is a number
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    const Bytes frame = c.version == 4 ? Frame24("TCON", Text(0, c.text)) : Frame23("TCON", Text(0, c.text));
    tag.ReadFromBuffer(Tag(c.version, 0, frame));
    EXPECT_EQ(tag.GetGenre(), c.expected) << "version " << int(c.version) << ", text: " << c.text;
  }
}

}  // namespace
}  // namespace orvela
