#include <gtest/gtest.h>

#include "common/codepage.h"
#include "common/file_name.h"

namespace orvela {
namespace {

TEST(FileName, ExtensionOfTheNameOnlyWithSlashAsTheOneSeparator) {
  struct Case {
    const char* path;
    const char* name;
    const char* extension;
  } const cases[] = {
      {"/musik/Lied.MP3", "Lied.MP3", ".MP3"},
      {"Lied.mp3", "Lied.mp3", ".mp3"},
      {"/musik.alt/Lied", "Lied", ""},
      {"/musik/", "", ""},
      {"/musik/.versteckt", ".versteckt", ".versteckt"},
      {"/musik/a.b.wma", "a.b.wma", ".wma"},
      // A backslash is part of a Linux file name, not a separator.
      {"/musik/Band.Name\\Lied", "Band.Name\\Lied", ".Name\\Lied"},
      {"C:\\Musik\\Lied.mp3", "C:\\Musik\\Lied.mp3", ".mp3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
    EXPECT_EQ(FileExtension(c.path), c.extension) << c.path;
  }
}

TEST(FileName, AsciiLowerLeavesCodePageLettersAlone) {
  EXPECT_EQ(AsciiLower(".MP3"), ".mp3");
  EXPECT_EQ(AsciiLower("\xC4RGER"), "\xC4rger");
  EXPECT_TRUE(EqualsAsciiNoCase(".Wma", ".wMA"));
  EXPECT_FALSE(EqualsAsciiNoCase("\xC4", "\xE4"));
}

}  // namespace
}  // namespace orvela
