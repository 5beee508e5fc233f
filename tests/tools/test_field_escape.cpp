// The one written form of a field: each record stays one line, no control byte
// reaches the terminal, and distinct values stay distinct.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "field_escape.h"

namespace orvela::tool {
namespace {

using namespace std::string_view_literals;

TEST(FieldEscape, WritesEachByteInTheDocumentedForm) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {""sv, ""sv},
      {"ABBA - Waterloo (1974)"sv, "ABBA - Waterloo (1974)"sv},
      {"M\xC3\xB6tley Cr\xC3\xBC" "e \xE2\x82\xAC"sv, "M\xC3\xB6tley Cr\xC3\xBC" "e \xE2\x82\xAC"sv},  // UTF-8 stays
      {"a\tb"sv, "a\\tb"sv},
      {"a\nb"sv, "a\\nb"sv},
      {"a\rb"sv, "a\\rb"sv},
      {"C:\\Musik"sv, "C:\\\\Musik"sv},
      {"\\t"sv, "\\\\t"sv},  // a written backslash-t never reads back as a TAB
      {"A\0B"sv, "A\\x00B"sv},
      {"\x1B[31mrot"sv, "\\x1b[31mrot"sv},
      {"\x01\x07\x08\x0B\x0C\x1F"sv, "\\x01\\x07\\x08\\x0b\\x0c\\x1f"sv},
      {"del\x7F"sv, "del\\x7f"sv},
      {" ~"sv, " ~"sv},  // the printable range's ends pass
      {"\xFF\x80 kein UTF-8"sv, "\xFF\x80 kein UTF-8"sv},  // bytes above 0x7F pass unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.in)));
    EXPECT_EQ(EscapeField(c.in), c.out);
  }
}

TEST(FieldEscape, AppendsToWhatIsThere) {
  std::string line = "x\t";
  AppendEscapedField("\t", &line);
  EXPECT_EQ(line, "x\t\\t");
}

}  // namespace
}  // namespace orvela::tool
