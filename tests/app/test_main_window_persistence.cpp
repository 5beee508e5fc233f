// The jukebox and its program folder across runs: a queue that an unclean end
// left behind is taken up at the next start, and a second jukebox on the same
// folder leaves without touching it.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/program_folder_lock.h"
#include "demo/tone_encoder.h"
#include "jukebox/title_selection.h"
#include "main_window_fixture.h"
#include "queue/queue_keeper.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"

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
  // Everything the keeper leaves in the folder, as a kill -9 would find it.
  std::map<std::string, std::string> KeptFiles() const {
    std::map<std::string, std::string> files;
    for (const char* name : {TQueueKeeper::kQueueFileName, TQueueKeeper::kPlayingFileName,
                             TQueueKeeper::kStartFileName, TQueueKeeper::kPlayedOnceFileName}) {
      if (const auto bytes = Kept(name)) files[name] = *bytes;
    }
    return files;
  }
  void PutBack(const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files) folder.Write(name, bytes);
  }
  std::string Log() const { return Kept(TForm1::kEventLogName).value_or(""); }

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

// The program folder reached through a link (~/jukebox naming another disk's
// folder), the music beside the link.
TEST_F(MainWindowPersistenceTest, ThroughALinkedProgramFolderTheKeptQueueComesBackWhole) {
  const fs::path home = fs::path(folder.Path()).parent_path().string() + "_home";
  fs::create_directories(home / "Musik");
  fs::create_directory_symlink(fs::path(folder.Path()).parent_path(), home / "jukebox");
  std::vector<std::string> music;
  for (const std::string& title : titles) {
    music.push_back((home / "Musik" / fs::path(title).filename()).string());
    fs::copy_file(title, music.back());
  }
  const std::string programDir = (home / "jukebox").string() + "/";
  std::map<std::string, std::string> left;
  {
    auto form = MakeForm(programDir);
    ASSERT_FALSE(form->StartFailed());
    for (const std::string& title : music) form->Player()->Add(title);
    form->BtnPlayPauseClick();
    left = KeptFiles();
  }
  PutBack(left);
  clock.AdvanceSeconds(3600.0);
  auto form = MakeForm(programDir);
  ASSERT_EQ(form->Player()->Items.size(), 3U);
  for (std::size_t i = 0; i < music.size(); ++i) EXPECT_EQ(form->Player()->Items[i]->FilePath, music[i]);
  EXPECT_EQ(form->Player()->GetState(), audio::kPlaying);
  form.reset();
  fs::remove_all(home);
}

TEST_F(MainWindowPersistenceTest, ARestartSoonAfterTheStartPlaysTheNextTitleAndSaysWhyInTheLog) {
  clock.now = 46000.5;
  std::map<std::string, std::string> left;
  {
    auto form = MakeForm();
    for (const std::string& title : titles) form->Player()->Add(title);
    form->BtnPlayPauseClick();
    manualOutput->Render(4410);
    left = KeptFiles();
  }
  PutBack(left);
  clock.AdvanceSeconds(4.0);
  auto form = MakeForm();
  TTiluPlaylist* player = form->Player();
  ASSERT_EQ(player->Items.size(), 3U);
  EXPECT_EQ(player->Items[0]->FilePath, titles[1]);
  EXPECT_EQ(player->Items[2]->FilePath, titles[0]);
  EXPECT_EQ(player->GetState(), audio::kPlaying);
  EXPECT_EQ(player->CurrentFile->FilePath, titles[1]);
  const std::string log = Log();
  EXPECT_NE(log.find("ans Ende der Warteschlange gestellt"), std::string::npos) << log;
  EXPECT_NE(log.find(titles[0]), std::string::npos) << log;
  EXPECT_TRUE(dialogs.Texts().empty());
}

// The birthday song pauses the music and gives it back at its end: an end in
// between must bring the music back too.
TEST_F(MainWindowPersistenceTest, TheBirthdaySongsPauseLeavesTheMusicMarkedAsPlaying) {
  std::string ini = NoFadeIni();
  ini.replace(ini.find("Geburtstag=0"), 12, "Geburtstag=1");
  folder.Write("Jukebox.ini", ini);
  clock.now = 46000.5;  // long after the birthday moment of day zero
  std::map<std::string, std::string> left;
  {
    auto form = MakeForm();
    for (const std::string& title : titles) form->Player()->Add(title);
    form->BtnPlayPauseClick();
    manualOutput->Render(4410);
    form->TimerGeburtstagTimer();
    ASSERT_EQ(form->Player()->GetState(), audio::kPaused);
    EXPECT_TRUE(Kept(TQueueKeeper::kPlayingFileName));
    left = KeptFiles();
  }
  PutBack(left);
  clock.AdvanceSeconds(3600.0);
  auto form = MakeForm();
  EXPECT_EQ(form->Player()->GetState(), audio::kPlaying);
}

// A sound output that appears some time after the program has started (a
// sound server that comes up late), for the tests that need one missing first.
class LateOutput : public audio::AudioOutput {
 public:
  bool Open(int rate, RenderFunction render) override { return there && inner.Open(rate, std::move(render)); }
  void Close() override { inner.Close(); }
  bool WaitsForData() const override { return true; }

  bool there = false;
  audio::ManualOutput inner;
};

TEST_F(MainWindowPersistenceTest, MusicThatFindsNoSoundOutputAtTheRestartIsStartedOnceItComes) {
  const struct {
    const char* name;
    bool stoppedMeanwhile;
  } cases[] = {{"nobody touches it", false}, {"a guest presses Stop meanwhile", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write(TQueueKeeper::kQueueFileName,
                 "#EXTM3U\r\n#EXTINF:4,a - b\r\ntitel1.mp3\r\n#EXTINF:5,c - d\r\ntitel2.mp3\r\n");
    folder.Write(TQueueKeeper::kPlayingFileName, "");
    auto late = std::make_unique<LateOutput>();
    LateOutput* output = late.get();
    audioLayer = std::make_unique<audio::AudioLayer>(std::move(late));
    auto form = MakeForm();
    TTiluPlaylist* player = form->Player();
    ASSERT_EQ(player->Items.size(), 2U);
    EXPECT_NE(player->GetState(), audio::kPlaying);
    ASSERT_TRUE(form->TimerWiederaufnahme->isActive());
    form->TimerWiederaufnahmeTimer();
    EXPECT_NE(player->GetState(), audio::kPlaying);
    EXPECT_TRUE(Kept(TQueueKeeper::kPlayingFileName)) << "still meant to play";
    if (c.stoppedMeanwhile) form->BtnStopClick();
    output->there = true;
    if (form->TimerWiederaufnahme->isActive()) form->TimerWiederaufnahmeTimer();
    EXPECT_EQ(player->GetState() == audio::kPlaying, !c.stoppedMeanwhile);
    EXPECT_FALSE(form->TimerWiederaufnahme->isActive());
    EXPECT_EQ(Kept(TQueueKeeper::kPlayingFileName).has_value(), !c.stoppedMeanwhile);
    if (!c.stoppedMeanwhile) {
      EXPECT_EQ(player->CurrentFile->FilePath, titles[1]);
      EXPECT_EQ(form->BtnPlayPause->text(), "Pause");
      output->inner.Render(4410);
      EXPECT_GT(player->GetPositionSeconds(), 0.05);
    }
    form.reset();
    audioLayer.reset();
  }
}

// A power cut, the music on a drive that mounts some seconds after the jukebox
// has started: the queue waits for it a while instead of passing over every
// title at once.
TEST_F(MainWindowPersistenceTest, MusicOnADriveThatMountsLateIsWaitedForAWhile) {
  const fs::path drive = fs::path(folder.Path()) / "laufwerk";
  const fs::path unmounted = fs::path(folder.Path()) / "nicht_da";
  fs::create_directories(drive);
  std::string kept = "#EXTM3U\r\n";
  for (std::size_t i = 0; i < titles.size(); ++i) {
    fs::copy_file(titles[i], drive / fs::path(titles[i]).filename());
    kept += "#EXTINF:4,a - b\r\nlaufwerk/" + fs::path(titles[i]).filename().string() + "\r\n";
  }
  fs::rename(drive, unmounted);
  const struct {
    const char* name;
    int mountedAfterTicks;  // -1: never
  } cases[] = {{"mounted after a few seconds", 3}, {"never mounted", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write(TQueueKeeper::kQueueFileName, kept);
    folder.Write(TQueueKeeper::kPlayingFileName, "");
    clock.AdvanceSeconds(3600.0);
    auto form = MakeForm();
    TTiluPlaylist* player = form->Player();
    ASSERT_EQ(player->Items.size(), 3U);
    int ticks = 0;
    while (form->TimerWiederaufnahme->isActive() && ticks <= TForm1::kResumeWaitTicks) {
      EXPECT_EQ(player->Items.size(), 3U) << "nothing passed over while waiting";
      if (ticks == c.mountedAfterTicks) fs::rename(unmounted, drive);
      form->TimerWiederaufnahmeTimer();
      ++ticks;
    }
    EXPECT_FALSE(form->TimerWiederaufnahme->isActive());
    if (c.mountedAfterTicks >= 0) {
      EXPECT_EQ(ticks, c.mountedAfterTicks + 1);
      EXPECT_EQ(player->GetState(), audio::kPlaying);
      EXPECT_EQ(player->Items.size(), 3U);
      EXPECT_EQ(player->CurrentFile->FilePath, (drive / fs::path(titles[0]).filename()).string());
      form.reset();
      fs::rename(drive, unmounted);
    } else {
      EXPECT_EQ(ticks, TForm1::kResumeWaitTicks);
      // Then the rule for titles that have gone: each passed over and named.
      EXPECT_TRUE(player->Items.empty());
      EXPECT_NE(Log().find("laufwerk/titel2.mp3"), std::string::npos) << Log();
    }
  }
}

TEST_F(MainWindowPersistenceTest, TitlesChosenOnceStayChosenAfterAnUncleanEnd) {
  std::string ini = NoFadeIni();
  ini.insert(ini.find("[Programm]\r\n") + 12, "EinmalSpielen=1\r\n");
  std::vector<Row> rows;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    rows.push_back({"Interpret " + std::to_string(i), "Titel " + std::to_string(i), titles[i], "", "", "00:04"});
  }
  folder.WriteAll(ini, rows);
  const auto choose = [this](TForm1& form, int recNo) {
    dialogs.Clear();
    form.CollectionTable().SetRecNo(recNo);
    form.Abspielliste_uebernehmen_SpeedBtn->click();
    return dialogs.Texts().empty() ? std::string() : dialogs.Texts().back();
  };
  std::map<std::string, std::string> left;
  {
    auto form = MakeForm();
    ASSERT_EQ(choose(*form, 2), "");
    left = KeptFiles();
  }
  const struct {
    const char* name;
    bool unclean;
    const char* again;
  } cases[] = {{"after an unclean end", true, kAlreadyPlayedText}, {"after a clean end", false, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.unclean) PutBack(left);
    clock.AdvanceSeconds(3600.0);
    auto form = MakeForm();
    EXPECT_EQ(choose(*form, 2), c.again);
    EXPECT_EQ(choose(*form, 1), "");
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
