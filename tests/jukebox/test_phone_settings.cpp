// The phones' own section of Jukebox.ini: nothing listens unless it is there,
// and a slip in a value falls back to its default instead of opening the door wide.
#include "jukebox/phone_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/scratch_folder.h"

namespace orvela {
namespace {

class PhoneSettingsTest : public testing::ScratchFolderTest {
 protected:
  PhoneSettingsTest() : ScratchFolderTest("orvela-phone-ini") {}
  TPhoneSettings Read(const std::string& bytes) const {
    const std::string file = (dir_ / "Jukebox.ini").string();
    std::ofstream(file, std::ios::binary) << bytes;
    return ReadPhoneSettings(TIniFile(file));
  }
};

TEST_F(PhoneSettingsTest, ValuesAndTheirDefaults) {
  struct Case {
    const char* name;
    const char* ini;
    bool enabled;
    int port;
    int perPhone;
    int interval;
  } cases[] = {
      {"a file written without phones", "[Programm]\r\nKiosk=1\r\n", false, 8080, 2, 30},
      {"switched on, defaults", "[Handy]\r\nAktiv=1\r\n", true, 8080, 2, 30},
      {"every key", "[Handy]\r\nAktiv=1\r\nPort=9000\r\nProHandy=3\r\nAbstand=0\r\n", true, 9000, 3, 0},
      {"a privileged port", "[Handy]\r\nAktiv=1\r\nPort=80\r\n", true, 8080, 2, 30},
      {"no port number", "[Handy]\r\nAktiv=1\r\nPort=70000\r\n", true, 8080, 2, 30},
      {"no limit per phone", "[Handy]\r\nAktiv=1\r\nProHandy=0\r\n", true, 8080, 2, 30},
      {"a negative interval", "[Handy]\r\nAktiv=1\r\nAbstand=-5\r\n", true, 8080, 2, 30},
      {"words instead of numbers", "[Handy]\r\nAktiv=1\r\nPort=acht\r\nProHandy=x\r\n", true, 8080, 2, 30},
      {"switched off", "[Handy]\r\nAktiv=0\r\nPort=9000\r\n", false, 9000, 2, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TPhoneSettings settings = Read(c.ini);
    EXPECT_EQ(settings.enabled, c.enabled);
    EXPECT_EQ(settings.port, c.port);
    EXPECT_EQ(settings.perPhone, c.perPhone);
    EXPECT_EQ(settings.intervalSeconds, c.interval);
  }
}

}  // namespace
}  // namespace orvela
