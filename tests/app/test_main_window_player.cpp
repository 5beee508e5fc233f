// The player joins the main window at start-up and leaves it at shut-down.
#include <filesystem>

#include "demo/tone_encoder.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

class MainWindowPlayerTest : public MainWindowTest {
 protected:
  MainWindowPlayerTest() { UseManualOutput(); }

  // A tone long enough to be still playing when the window closes.
  std::string WriteTone() {
    const std::string path = folder.Path() + "tone.wav";
    std::string error;
    EXPECT_TRUE(demo::EncodeAudio(path, demo::Format::Wav, demo::SynthesizeTone(440.0, 8.0, 0.5),
                                  {}, &error))
        << error;
    return path;
  }
};

TEST_F(MainWindowPlayerTest, StartUpSetsUpThePlayerAtFullVolumeWithItsFileFilter) {
  folder.WriteAll(kPlainIni, {});
  auto form = MakeForm();
  ASSERT_FALSE(form->StartFailed());
  TTiluPlaylist* player = form->Player();
  ASSERT_NE(player, nullptr);
  EXPECT_FLOAT_EQ(player->Volume, 1.0F);
  EXPECT_EQ(player->FileFilter.rfind("Alle unterst\xFCtzten Formate|*.mp3;*.ogg;", 0), 0U)
      << player->FileFilter;
  EXPECT_NE(player->FileFilter.find("*.wma"), std::string::npos);
  ASSERT_NE(player->Spectrum(), nullptr);
  EXPECT_TRUE(manualOutput->is_open());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowPlayerTest, AFailedStartSetsUpNoPlayer) {
  folder.WriteAll(kPlainIni, {});
  folder.Remove("TempJahr.text");
  auto form = MakeForm();
  EXPECT_EQ(form->Player(), nullptr);
  EXPECT_FALSE(manualOutput->is_open());
}

TEST_F(MainWindowPlayerTest, ClosingWhilePlayingFadesForTwoSecondsOnlyWithFadeOn) {
  struct Case {
    const char* fade;
    int expectedWait;
  };
  for (const Case& c : {Case{"1", 2000}, Case{"0", 0}}) {
    SCOPED_TRACE(c.fade);
    std::string ini = kPlainIni;
    ini.insert(ini.find("[Programm]\r\n") + 12, std::string("Titelausblenden=") + c.fade + "\r\n");
    folder.WriteAll(ini, {});
    millisecondsSlept = 0;
    auto form = MakeForm();
    TTiluPlaylist* player = form->Player();
    ASSERT_NE(player, nullptr);
    TAudioFile title;
    title.FilePath = WriteTone();
    player->Play(&title);
    manualOutput->Render(4410);
    ASSERT_EQ(player->GetState(), audio::kPlaying);
    form.reset();
    EXPECT_EQ(millisecondsSlept, c.expectedWait);
    EXPECT_FALSE(manualOutput->is_open()) << "the player releases the audio layer";
  }
}

}  // namespace
}  // namespace orvela::testing
