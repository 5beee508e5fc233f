// The main window's levelling: titles queued are measured in the background
// and then play at the target; without the section nothing changes.
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "playback_fixture.h"

namespace orvela::testing {
namespace {

class LevellingWindowTest : public PlaybackTest {
 protected:
  void StartWith(const std::string& levellingSection) {
    Start(false);
    // Start wrote the settings; the window re-reads them at its next start.
    form.reset();
    std::ifstream in(folder.Path() + "Jukebox.ini", std::ios::binary);
    std::ostringstream ini;
    ini << in.rdbuf() << levellingSection;
    in.close();
    folder.Write("Jukebox.ini", ini.str());
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    queue = form->Player();
  }
  std::size_t Measured() const {
    std::ifstream in(folder.Path() + "Lautheit.txt", std::ios::binary);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines > 0 ? lines - 1 : 0;
  }
};

// The titles are at about -6 LUFS: levelled to -20 they play 14 dB quieter.
TEST_F(LevellingWindowTest, QueuedTitlesAreMeasuredAndPlayLevelled) {
  StartWith("[Lautheit]\r\nAngleichen=1\r\nZiel=-20\r\n");
  QueueAll();
  ASSERT_TRUE(Deliver([&] { return Measured() == 3; })) << Measured();
  form->BtnPlayPause->click();
  const float peak = Render(1.0);
  EXPECT_NEAR(20.0 * std::log10(peak), 20.0 * std::log10(0.5) - 14.0, 1.5) << peak;
}

// A jingle is levelled from its first press: it is measured at the start.
TEST_F(LevellingWindowTest, JinglesAndTheBirthdaySongAreMeasuredAtTheStart) {
  StartWith("[Jingle]\r\nSong_1=" + folder.Path() + "a.mp3\r\nSong_3=" + folder.Path() + "b.mp3\r\n" +
            "[Lautheit]\r\nAngleichen=1\r\nZiel=-20\r\n");
  EXPECT_TRUE(Deliver([&] { return Measured() == 2; })) << Measured();
}

TEST_F(LevellingWindowTest, WithoutTheSectionNothingIsMeasured) {
  StartWith("");
  QueueAll();
  form->BtnPlayPause->click();
  EXPECT_GT(Render(1.0), 0.4F);  // as encoded, about 0.5
  QApplication::processEvents();
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "Lautheit.txt"));
}

}  // namespace
}  // namespace orvela::testing
