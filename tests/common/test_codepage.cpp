#include "common/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace orvela {
namespace {

TEST(CodePage, EveryByteRoundTripsThroughUnicode) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
  EXPECT_TRUE(IsWellFormedUtf8(Cp1252ToUtf8(all)));
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(b));
    EXPECT_EQ(static_cast<unsigned char>(CodePointToCp1252(cp)), b) << b;
  }
}

TEST(CodePage, KnownCharacters) {
  struct Case {
    unsigned char byte;
    char32_t cp;
  };
  const Case cases[] = {{'A', U'A'},      {0x80, U'\u20AC'}, {0x8A, U'\u0160'},
                        {0x93, U'\u201C'}, {0x9F, U'\u0178'}, {0xA0, U'\u00A0'},
                        {0xC4, U'\u00C4'}, {0xDF, U'\u00DF'}, {0xFC, U'\u00FC'},
                        {0x81, U'\u0081'}, {0x9D, U'\u009D'}};
  for (const Case& c : cases) {
    EXPECT_EQ(Cp1252ToCodePoint(c.byte), c.cp) << int(c.byte);
  }
  EXPECT_EQ(Cp1252ToUtf8("Gr\xFC\xDF" "e \x80"), "Gr\u00FC\u00DFe \u20AC");
  EXPECT_EQ(Cp1252ToUtf16("\xC4"), u"\u00C4");
}

TEST(CodePage, WhatTheCodePageCannotHoldBecomesQuestionMark) {
  EXPECT_EQ(Utf8ToCp1252("a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("\U0001F3B5"), "?");
  EXPECT_EQ(Utf16ToCp1252(u"x\U0001F3B5y"), "x?y");
  EXPECT_EQ(Utf16ToCp1252(std::u16string{u'a', char16_t(0xD800), u'b'}), "a?b");
  EXPECT_EQ(Utf16ToCp1252(std::u16string{char16_t(0xDC00)}), "?");
  EXPECT_EQ(CodePointToCp1252(0x110000), '?');
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarksWithoutEatingNeighbours) {
  const char* broken[] = {
      "\x80",              // lone continuation byte
      "\xC3",              // truncated two-byte sequence
      "\xE2\x82",          // truncated three-byte sequence
      "\xC0\xAF",          // overlong '/'
      "\xE0\x80\xAF",      // overlong, three bytes
      "\xED\xA0\x80",      // encoded surrogate
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xFF",
  };
  for (const char* b : broken) {
    SCOPED_TRACE(testing::PrintToString(std::string(b)));
    EXPECT_FALSE(IsWellFormedUtf8(b));
    const std::string out = Utf8ToCp1252(std::string("a") + b + "b");
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.front(), 'a');
    EXPECT_EQ(out.back(), 'b');
    EXPECT_EQ(out.find_first_not_of('?', 1), out.size() - 1) << out;
  }
}

TEST(CodePage, WellFormedUtf8) {
  const char* good[] = {"", "abc", "\u00FC", "\u20AC", "\U0001F3B5", "\xEF\xBB\xBF" "x",
                        "\xF4\x8F\xBF\xBF"};
  for (const char* g : good) EXPECT_TRUE(IsWellFormedUtf8(g)) << g;
  EXPECT_TRUE(IsWellFormedUtf8(std::string("a\0b", 3)));
}

TEST(CodePage, TrimRemovesControlCharactersAndBlanksOnly) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},
      {"   ", ""},
      {std::string("\0\t a b \r\n\x1F", 9), "a b"},
      {"\xA0x\xA0", "\xA0x\xA0"},  // a no-break space is text
      {"!x!", "!x!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.in), c.out);
    EXPECT_EQ(IsBlank(c.in), c.out.empty());
  }
}

TEST(CodePage, NativePathsAreUtf8) {
  EXPECT_EQ(Cp1252ToNativePath("/musik/\xC4rger.mp3"), "/musik/\u00C4rger.mp3");
  EXPECT_EQ(NativePathToCp1252("/musik/\u00C4rger.mp3"), "/musik/\xC4rger.mp3");
}

}  // namespace
}  // namespace orvela
