// The main window's levelling: titles queued are measured in the background
// and then play at the target; without the section nothing changes.
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "playback/loudness_levelling.h"
#include "playback/loudness_store.h"
#include "playback_fixture.h"

namespace orvela::testing {
namespace {

class LevellingWindowTest : public PlaybackTest {
 protected:
  // knownLoudness: a results line for a.mp3 before the start.
  void StartWith(const std::string& levellingSection, const char* knownLoudness = nullptr) {
    Start(false);
    // Start wrote the settings; the window re-reads them at its next start.
    form.reset();
    std::ifstream in(folder.Path() + "Jukebox.ini", std::ios::binary);
    std::ostringstream ini;
    ini << in.rdbuf() << levellingSection;
    in.close();
    folder.Write("Jukebox.ini", ini.str());
    if (knownLoudness != nullptr) {
      const std::string a = folder.Path() + "a.mp3";
      const std::optional<TFileStamp> stamp = TLoudnessStore::StampOf(a);
      ASSERT_TRUE(stamp.has_value());
      folder.Write("Lautheit.txt", "Orvela-Lautheit 1\n" + std::to_string(stamp->size) + "\t" +
                                       std::to_string(stamp->mtimeNs) + "\t" + knownLoudness + "\tM\t" + a + "\n");
    }
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    queue = form->Player();
  }
  // Turns the event loop until `count` titles are on record or `ms` have
  // passed. The worker runs only when the processor is otherwise idle: on a
  // busy machine that may take a while.
  bool MeasuredWithin(std::size_t count, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (Measured() < count && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return Measured() >= count;
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
  ASSERT_TRUE(MeasuredWithin(3, 30000)) << Measured();
  form->BtnPlayPause->click();
  const float peak = Render(1.0);
  EXPECT_NEAR(20.0 * std::log10(peak), 20.0 * std::log10(0.5) - 14.0, 1.5) << peak;
}

// A jingle is levelled from its first press: it is measured at the start.
TEST_F(LevellingWindowTest, JinglesAndTheBirthdaySongAreMeasuredAtTheStart) {
  StartWith("[Jingle]\r\nSong_1=" + folder.Path() + "a.mp3\r\nSong_3=" + folder.Path() + "b.mp3\r\n" +
            "[Lautheit]\r\nAngleichen=1\r\nZiel=-20\r\n");
  EXPECT_TRUE(MeasuredWithin(2, 30000)) << Measured();
}

// Off, a title whose loudness is on record plays as decoded and the titles
// queued are not measured; the same steps switched on show both happening.
TEST_F(LevellingWindowTest, WithoutTheSectionNothingIsMeasured) {
  struct Case {
    const char* name;
    const char* section;
    bool levelled;
  } cases[] = {
      {"no section", "", false},
      {"switched off", "[Lautheit]\r\nAngleichen=0\r\nZiel=-20\r\n", false},
      {"switched on", "[Lautheit]\r\nAngleichen=1\r\nZiel=-20\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form.reset();
    // As the titles are: about -6 LUFS, peaks at -6 dBFS.
    StartWith(c.section, "-6\t0.5");
    EXPECT_EQ(form->Levelling() != nullptr, c.levelled);
    QueueAll();
    form->BtnPlayPause->click();
    const float peak = Render(1.0);
    // Levelled to -20 it would play 14 dB quieter, about 0.1.
    EXPECT_NEAR(20.0 * std::log10(peak), 20.0 * std::log10(0.5) - (c.levelled ? 14.0 : 0.0), 1.5) << peak;
    // Switched on, the other two titles are measured; off, three seconds
    // (many times what two short titles take) bring nothing.
    EXPECT_EQ(MeasuredWithin(3, c.levelled ? 30000 : 3000), c.levelled) << Measured();
  }
}

}  // namespace
}  // namespace orvela::testing
