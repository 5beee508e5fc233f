// The levelling's own section of Jukebox.ini: off unless it is there, and kept
// whole when the program rewrites its own keys around it.
#include "jukebox/levelling_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/scratch_folder.h"

namespace orvela {
namespace {

class LevellingSettingsTest : public testing::ScratchFolderTest {
 protected:
  LevellingSettingsTest() : ScratchFolderTest("orvela-levelling-ini") {}
  std::string File() const { return (dir_ / "Jukebox.ini").string(); }
  void Put(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
  std::string Bytes() const {
    std::ifstream in(File(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(LevellingSettingsTest, OffUnlessTheSectionSwitchesItOn) {
  struct Case {
    const char* name;
    const char* ini;
    bool enabled;
    double target;
  } cases[] = {
      {"a file written without levelling", "[Programm]\r\nKiosk=1\r\n", false, -16.0},
      {"the delivered settings", "[Programm]\r\nKiosk=0\r\n[Lautheit]\r\nAngleichen=1\r\nZiel=-16\r\n", true, -16.0},
      {"another target", "[Lautheit]\r\nAngleichen=1\r\nZiel=-23\r\n", true, -23.0},
      {"names in any case", "[lautheit]\nangleichen = 1\n ziel=-14\n", true, -14.0},
      {"switched off", "[Lautheit]\r\nAngleichen=0\r\nZiel=-20\r\n", false, -20.0},
      {"a target that is no number", "[Lautheit]\r\nAngleichen=1\r\nZiel=laut\r\n", true, -16.0},
      {"a target far too loud", "[Lautheit]\r\nAngleichen=1\r\nZiel=0\r\n", true, -16.0},
      {"a target far too quiet", "[Lautheit]\r\nAngleichen=1\r\nZiel=-60\r\n", true, -16.0},
      {"the range's ends", "[Lautheit]\r\nAngleichen=1\r\nZiel=-5\r\n", true, -5.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(c.ini);
    const TLevellingSettings settings = ReadLevellingSettings(TIniFile(File()));
    EXPECT_EQ(settings.enabled, c.enabled);
    EXPECT_EQ(settings.targetLufs, c.target);
  }
  const TLevellingSettings missing = ReadLevellingSettings(TIniFile((dir_ / "fehlt.ini").string()));
  EXPECT_FALSE(missing.enabled);
}

// What the settings menu's close does: a batch of every key of its own
// sections, a new key among them. The levelling section, between and after
// them, stays byte for byte.
TEST_F(LevellingSettingsTest, TheSectionSurvivesTheProgramsRewrite) {
  Put("[Programm]\r\nKiosk=0\r\n[Lautheit]\r\nAngleichen=1\r\nZiel=-18\r\n[Jingle]\r\nSong_1=\r\n");
  TIniFile ini(File());
  TIniBatch batch;
  batch.WriteBool("Programm", "Kiosk", true);
  batch.WriteBool("Programm", "Maus", true);
  batch.WriteString("Jingle", "Song_1", "/musik/jingle.mp3");
  batch.WriteInteger("Abspielliste", "max", 20);
  ini.Write(batch);
  ini.WriteBool("Programm", "Geburtstag", false);
  EXPECT_EQ(Bytes(),
            "[Programm]\r\nKiosk=1\r\nMaus=1\r\nGeburtstag=0\r\n[Lautheit]\r\nAngleichen=1\r\nZiel=-18\r\n"
            "[Jingle]\r\nSong_1=/musik/jingle.mp3\r\n[Abspielliste]\r\nmax=20\r\n");
  const TLevellingSettings settings = ReadLevellingSettings(ini);
  EXPECT_TRUE(settings.enabled);
  EXPECT_EQ(settings.targetLufs, -18.0);
}

}  // namespace
}  // namespace orvela
