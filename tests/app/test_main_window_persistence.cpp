// The jukebox and its program folder across runs: a queue that an unclean end
// left behind is taken up at the next start, and a second jukebox on the same
// folder leaves without touching it.
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/program_folder_lock.h"
#include "demo/tone_encoder.h"
#include "main_window_fixture.h"
#include "queue/queue_keeper.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

// No fades: every button acts at once.
std::string NoFadeIni() {
  std::string ini = kPlainIni;
  ini.insert(ini.find("[Programm]\r\n") + 12, "Titelausblenden=0\r\n");
  return ini;
}

class MainWindowPersistenceTest : public MainWindowTest {
 protected:
  MainWindowPersistenceTest() { UseManualOutput(); }

  void SetUp() override {
    folder.WriteAll(NoFadeIni(), {});
    for (int i = 0; i < 3; ++i) {
      const std::string path = folder.Path() + "titel" + std::to_string(i) + ".mp3";
      std::string error;
      ASSERT_TRUE(demo::EncodeAudio(path, demo::Format::Mp3, demo::SynthesizeTone(440.0 + 110.0 * i, 3.4 + i),
                                    {}, &error))
          << error;
      titles.push_back(path);
    }
  }

  std::optional<std::string> Kept(const char* name) const {
    return ReadWholeFile(fs::path(folder.Path()) / name);
  }

  std::vector<std::string> titles;
};

// What a kill -9 leaves is the folder as it was at that moment: the files are
// copied aside before the clean end removes them, and put back afterwards.
TEST_F(MainWindowPersistenceTest, AnUncleanEndIsTakenUpAndPlaysOnOnlyIfItPlayed) {
  enum class Then { KeepsPlaying, Pause, Stop };
  const struct {
    const char* name;
    Then then;
  } cases[] = {{"playing", Then::KeepsPlaying}, {"paused", Then::Pause}, {"stopped", Then::Stop}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string> queueFile;
    std::optional<std::string> playingFile;
    {
      auto form = MakeForm();
      ASSERT_FALSE(form->StartFailed());
      for (const std::string& title : titles) form->Player()->Add(title);
      form->BtnPlayPauseClick();
      manualOutput->Render(4410);
      // The first title is skipped: it leaves the file with the queue.
      form->BtnNextClick();
      ASSERT_EQ(form->Player()->GetState(), audio::kPlaying);
      if (c.then == Then::Pause) form->BtnPlayPauseClick();
      if (c.then == Then::Stop) form->BtnStopClick();
      queueFile = Kept(TQueueKeeper::kQueueFileName);
      playingFile = Kept(TQueueKeeper::kPlayingFileName);
    }
    // The clean end of that run.
    EXPECT_FALSE(Kept(TQueueKeeper::kQueueFileName));
    EXPECT_FALSE(Kept(TQueueKeeper::kPlayingFileName));
    ASSERT_TRUE(queueFile);
    EXPECT_EQ(playingFile.has_value(), c.then == Then::KeepsPlaying);
    folder.Write(TQueueKeeper::kQueueFileName, *queueFile);
    if (playingFile) folder.Write(TQueueKeeper::kPlayingFileName, *playingFile);

    auto form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    EXPECT_TRUE(dialogs.Texts().empty());
    TTiluPlaylist* player = form->Player();
    ASSERT_EQ(player->Items.size(), 2U);
    EXPECT_EQ(player->Items[0]->FilePath, titles[1]);
    EXPECT_EQ(player->Items[1]->FilePath, titles[2]);
    // Counted and timed as if just chosen.
    EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 2);
    EXPECT_EQ(form->LabelTitelJukeWert->text(), "2");
    const std::int32_t total = player->Items[0]->Duration + player->Items[1]->Duration;
    EXPECT_EQ(total, 4 + 5);
    EXPECT_EQ(form->State.QueueTotalSeconds, total);
    if (c.then == Then::KeepsPlaying) {
      EXPECT_EQ(player->GetState(), audio::kPlaying);
      EXPECT_EQ(player->CurrentItem, player->Items[0].get());
      EXPECT_LT(player->GetPositionSeconds(), 0.5);
      EXPECT_EQ(form->BtnPlayPause->text(), "Pause");
    } else {
      EXPECT_EQ(player->GetState(), audio::kStopped);
      EXPECT_EQ(form->BtnPlayPause->text(), "Abspielen");
    }
    // The taken-up queue is kept from the start.
    EXPECT_EQ(Kept(TQueueKeeper::kQueueFileName), queueFile);
  }
}

TEST_F(MainWindowPersistenceTest, ASecondJukeboxOnTheFolderLeavesWithoutTouchingIt) {
  auto first = MakeForm();
  ASSERT_FALSE(first->StartFailed());
  first->Player()->Add(titles[0]);
  const std::optional<std::string> kept = Kept(TQueueKeeper::kQueueFileName);
  ASSERT_TRUE(kept);
  const int queriesBefore = screenSaver.queries;
  {
    auto second = MakeForm();
    EXPECT_TRUE(second->StartFailed());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Utf8ToCp1252(
                                   "Die Jukebox läuft bereits mit diesem Programmordner. Orvela Jukebox wird "
                                   "nicht gestartet.")});
    EXPECT_EQ(terminateRequests, 1);
    EXPECT_EQ(screenSaver.queries, queriesBefore);
    EXPECT_TRUE(second->Player() == nullptr || second->Player()->Items.empty());
  }
  // Its end changed nothing of the first one's.
  EXPECT_EQ(Kept(TQueueKeeper::kQueueFileName), kept);
  EXPECT_EQ(TProgramFolderLock(fs::path(folder.Path())).State(), TProgramFolderLock::TState::HeldElsewhere);
  first.reset();
  EXPECT_EQ(TProgramFolderLock(fs::path(folder.Path())).State(), TProgramFolderLock::TState::Held);
}

// The tool's writing commands hold the same lock while they write.
TEST_F(MainWindowPersistenceTest, AFolderHeldByAToolCommandRefusesTheStart) {
  const TProgramFolderLock tool(fs::path(folder.Path()));
  ASSERT_EQ(tool.State(), TProgramFolderLock::TState::Held);
  auto form = MakeForm();
  EXPECT_TRUE(form->StartFailed());
  EXPECT_EQ(dialogs.Texts().size(), 1U);
  EXPECT_EQ(terminateRequests, 1);
  EXPECT_EQ(screenSaver.queries, 0);
}

}  // namespace
}  // namespace orvela::testing
