// The covers' own section of Jukebox.ini: without it the screen stays text
// only, and a slip in the wait falls back to its default.
#include "jukebox/cover_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/scratch_folder.h"

namespace orvela {
namespace {

class CoverSettingsTest : public testing::ScratchFolderTest {
 protected:
  CoverSettingsTest() : ScratchFolderTest("orvela-cover-ini") {}
  TCoverSettings Read(const std::string& bytes) const {
    const std::string file = (dir_ / "Jukebox.ini").string();
    std::ofstream(file, std::ios::binary) << bytes;
    return ReadCoverSettings(TIniFile(file));
  }
};

TEST_F(CoverSettingsTest, ValuesAndTheirDefaults) {
  struct Case {
    const char* name;
    const char* ini;
    bool enabled;
    int idleMinutes;
  } cases[] = {
      {"a file written without covers", "[Programm]\r\nKiosk=1\r\n", false, 10},
      {"switched on, default wait", "[Cover]\r\nAktiv=1\r\n", true, 10},
      {"another wait", "[Cover]\r\nAktiv=1\r\nLeerlauf=3\r\n", true, 3},
      {"never", "[Cover]\r\nAktiv=1\r\nLeerlauf=0\r\n", true, 0},
      {"a day, the longest", "[Cover]\r\nAktiv=1\r\nLeerlauf=1440\r\n", true, 1440},
      {"longer than a day", "[Cover]\r\nAktiv=1\r\nLeerlauf=1441\r\n", true, 10},
      {"a negative wait", "[Cover]\r\nAktiv=1\r\nLeerlauf=-1\r\n", true, 10},
      {"a wait that is no number", "[Cover]\r\nAktiv=1\r\nLeerlauf=zehn\r\n", true, 10},
      {"names in any case", "[cover]\naktiv = 1\n leerlauf=7\n", true, 7},
      {"switched off", "[Cover]\r\nAktiv=0\r\nLeerlauf=5\r\n", false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TCoverSettings settings = Read(c.ini);
    EXPECT_EQ(settings.enabled, c.enabled);
    EXPECT_EQ(settings.idleMinutes, c.idleMinutes);
  }
  EXPECT_FALSE(ReadCoverSettings(TIniFile((dir_ / "fehlt.ini").string())).enabled);
}

}  // namespace
}  // namespace orvela
