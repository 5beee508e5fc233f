// The queue kept in the program folder: what one run leaves behind when it
// ends uncleanly is what the next run takes up, and a clean end leaves nothing.
#include "queue/queue_keeper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "playback/player_rig.h"
#include "queue/m3u_file.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

// One run of the jukebox: a queue on its own layer and a keeper in `folder`,
// wired as the main window wires them. Dropping it without Finish is the
// unclean end.
struct JukeboxRun {
  explicit JukeboxRun(const fs::path& folder)
      : output(new audio::ManualOutput),
        layer(std::unique_ptr<audio::AudioOutput>(output)),
        queue(std::make_unique<TTiluPlaylist>(layer, posts.Function())),
        keeper(*queue, folder.string() + "/", [this](const std::string& text) { log.push_back(text); }) {
    queue->InitAudio(dialogs);
    queue->OnPlaylistAddItem = [this](TTiluPlaylist*, TAudioFile* item) { added.push_back(item->FilePath); };
    queue->OnQueueChange = [this](TTiluPlayer*) { keeper.QueueChanged(); };
  }
  ~JukeboxRun() { queue.reset(); }
  // Each run starts an hour after the one before, unless a test says otherwise.
  bool Restore() { return keeper.Restore(clock += 3600.0); }
  static inline double clock = 1.0e9;

  PostQueue posts;
  ScriptedDialogs dialogs;
  audio::ManualOutput* output;  // owned by the layer
  audio::AudioLayer layer;
  std::unique_ptr<TTiluPlaylist> queue;
  std::vector<std::string> log;
  TQueueKeeper keeper;
  std::vector<std::string> added;
};

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    lines.push_back(bytes.substr(start, end - start));
    start = end == std::string::npos ? bytes.size() : end + 2;
  }
  return lines;
}

class QueueKeeperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AudioFiles::Get().Error(), "");
    std::string tmpl = (fs::temp_directory_path() / "orvela-keeper-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    fs::create_directories(dir / "musik");
    for (const char* name : {"tone1.wav", "tone2.mp3", "VBR.MP3"}) {
      fs::copy_file(AudioFiles::Get().Path(name), dir / "musik" / name);
      titles.push_back((dir / "musik" / name).string());
    }
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path QueueFile() const { return dir / TQueueKeeper::kQueueFileName; }
  fs::path PlayingFile() const { return dir / TQueueKeeper::kPlayingFileName; }
  std::vector<std::string> Listed() const { return ReadM3UFile(QueueFile().string()).Paths; }

  fs::path dir;
  std::vector<std::string> titles;
};

TEST_F(QueueKeeperTest, AnUncleanEndIsTakenUpInOrderAsIfChosen) {
  std::vector<std::string> left;
  {
    JukeboxRun before(dir);
    EXPECT_FALSE(before.Restore());
    for (const std::string& title : titles) before.queue->Add(title);
    before.queue->Add(titles[0]);
    // The title played to its end leaves the queue, and the file with it.
    before.queue->RemoveItem(true);
    left = {titles[1], titles[2], titles[0]};
    EXPECT_EQ(Listed(), left);
    // The file is a plain playlist, its paths relative to the program folder.
    TM3UPaths asPlaylist = ParseM3U(ReadWholeFile(QueueFile()).value(), "/anderswo/");
    EXPECT_EQ(asPlaylist.Paths.front(), "/anderswo/musik/tone2.mp3");
  }
  JukeboxRun after(dir);
  EXPECT_FALSE(after.Restore());
  EXPECT_EQ(after.added, left);
  ASSERT_EQ(after.queue->Items.size(), 3U);
  // Read from the titles themselves, so the screen counts their times again.
  TAudioFile vbr;
  vbr.LoadFromFile(titles[2]);
  EXPECT_GT(vbr.Duration, 0);
  EXPECT_EQ(after.queue->Items[1]->Duration, vbr.Duration);
  EXPECT_EQ(Listed(), left);
}

TEST_F(QueueKeeperTest, TheMusicPlaysOnOnlyWhenItPlayedAtTheEnd) {
  const struct {
    const char* name;
    std::vector<bool> changes;
    bool playsOn;
  } cases[] = {
      {"never started", {}, false},
      {"playing", {true}, true},
      {"paused", {true, false}, false},
      {"resumed", {true, false, true}, true},
      {"started twice", {true, true}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      JukeboxRun before(dir);
      before.Restore();
      before.queue->Clear();
      before.queue->Add(titles[0]);
      for (bool playing : c.changes) before.keeper.PlayingChanged(playing);
      EXPECT_EQ(fs::exists(PlayingFile()), c.playsOn);
    }
    JukeboxRun after(dir);
    EXPECT_EQ(after.Restore(), c.playsOn);
    EXPECT_EQ(after.added, std::vector<std::string>{titles[0]});
  }
}

// A drive that mounts a few seconds after the jukebox starts: its titles are
// missing at the start and must neither be lost nor shown as file names.
TEST_F(QueueKeeperTest, TitlesMissingAtTheStartAreKeptWithTheirLinesAndTheFileIsNotShrunk) {
  std::vector<TAudioFile> records;
  {
    JukeboxRun before(dir);
    for (const std::string& title : titles) before.queue->Add(title);
    for (const auto& item : before.queue->Items) records.push_back(*item);
    before.keeper.PlayingChanged(true);
  }
  const std::string keptBytes = ReadWholeFile(QueueFile()).value();
  fs::rename(dir / "musik", dir / "ausgehaengt");
  {
    JukeboxRun after(dir);
    EXPECT_TRUE(after.Restore());
    ASSERT_EQ(after.added, titles);
    for (std::size_t i = 0; i < titles.size(); ++i) {
      SCOPED_TRACE(titles[i]);
      EXPECT_EQ(after.queue->Items[i]->Duration, records[i].Duration);
      EXPECT_EQ(after.queue->Items[i]->GetDisplayName(), records[i].GetDisplayName());
    }
    // Neither the start nor a second one before anything changed touches the file.
    EXPECT_EQ(ReadWholeFile(QueueFile()), keptBytes);
  }
  {
    JukeboxRun again(dir);
    EXPECT_TRUE(again.Restore());
    EXPECT_EQ(ReadWholeFile(QueueFile()), keptBytes);
    // The drive is back when the first title's turn comes: it plays with its tags.
    fs::rename(dir / "ausgehaengt", dir / "musik");
    again.queue->PlayIndex(0);
    EXPECT_EQ(again.queue->GetState(), audio::kPlaying);
    EXPECT_EQ(again.queue->CurrentFile->FilePath, titles[0]);
    // A guest's change writes the queue as it stands, all of it.
    again.queue->Add(titles[1]);
    EXPECT_EQ(Listed(), (std::vector<std::string>{titles[0], titles[1], titles[2], titles[1]}));
  }
}

// The files are read within a time budget; what it leaves unread comes from
// the queue file's own lines and is read when it plays.
TEST_F(QueueKeeperTest, TitlesLeftUnreadShowTheirLinesAndAreReadWhenTheyPlay) {
  {
    JukeboxRun before(dir);
    for (const std::string& title : titles) before.queue->Add(title);
  }
  // The lines say something the files' tags do not.
  std::string kept;
  for (const char* line : {"#EXTM3U", "#EXTINF:61,Erste - aus der Liste", "musik/tone1.wav",
                           "#EXTINF:62, - Ohne Interpret", "musik/tone2.mp3", "#EXTINF:63,A - B - C",
                           "musik/VBR.MP3"}) {
    kept += std::string(line) + "\r\n";
  }
  WriteFileAtomically(QueueFile(), kept);
  const struct {
    const char* name;
    std::chrono::milliseconds budget;
    bool fromLines;
  } cases[] = {{"no time to read", std::chrono::milliseconds(0), true},
               {"time enough", std::chrono::milliseconds(60000), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JukeboxRun run(dir);
    run.keeper.SetReadBudget(c.budget);
    run.Restore();
    ASSERT_EQ(run.added, titles);
    TTiluPlaylist& queue = *run.queue;
    TAudioFile vbr;
    vbr.LoadFromFile(titles[2]);
    if (c.fromLines) {
      EXPECT_EQ(queue.Items[0]->GetDisplayName(), "Erste - aus der Liste");
      EXPECT_EQ(queue.Items[1]->GetDisplayName(), "Ohne Interpret");
      EXPECT_EQ(queue.Items[2]->GetDisplayName(), "A - B - C");
      EXPECT_EQ(queue.Items[2]->Duration, 63);
      // Played, the title shows its own tags; its counted length stays.
      queue.PlayIndex(2);
      EXPECT_EQ(queue.CurrentFile->Title, vbr.Title);
      EXPECT_EQ(queue.CurrentFile->Artist, vbr.Artist);
      EXPECT_EQ(queue.Items[2]->Duration, 63);
    } else {
      EXPECT_EQ(queue.Items[2]->GetDisplayName(), vbr.GetDisplayName());
      EXPECT_EQ(queue.Items[2]->Duration, vbr.Duration);
    }
    WriteFileAtomically(QueueFile(), kept);
  }
}

// A title whose file ends the program is started again at every restart;
// under a service that restarts the program at once, all night.
TEST_F(QueueKeeperTest, AnEndSoonAfterTheStartMovesThePlayingTitleToTheEndThenLeavesItOut) {
  const struct {
    const char* name;
    bool playing;
    double secondsLater;
    std::vector<int> order;  // into titles
    const char* logged;
    bool readsFiles;
  } cases[] = {
      {"playing, ended a few seconds after the start", true, 5.0, {1, 2, 0}, "ans Ende", false},
      {"playing, ended within a title's length", true, 590.0, {1, 2, 0}, "ans Ende", false},
      {"playing, ended long after the start", true, 700.0, {0, 1, 2}, nullptr, true},
      {"paused: nothing was started again", false, 5.0, {0, 1, 2}, nullptr, false},
      {"the clock was set back", true, -30.0, {0, 1, 2}, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir / TQueueKeeper::kStartFileName);
    const double start = 2.0e9;
    {
      JukeboxRun before(dir);
      before.keeper.Restore(start);
      before.queue->Clear();
      for (const std::string& title : titles) before.queue->Add(title);
      before.keeper.PlayingChanged(c.playing);
    }
    // The lines tell whether a title's file was read at the start.
    std::string kept;
    for (const std::string& line : Lines(ReadWholeFile(QueueFile()).value())) {
      kept += (line.rfind("#EXTINF:", 0) == 0 ? std::string("#EXTINF:99,Aus - der Liste") : line) + "\r\n";
    }
    WriteFileAtomically(QueueFile(), kept);
    JukeboxRun after(dir);
    after.keeper.Restore(start + c.secondsLater);
    std::vector<std::string> expected;
    for (int i : c.order) expected.push_back(titles[static_cast<std::size_t>(i)]);
    ASSERT_EQ(after.added, expected);
    if (c.logged == nullptr) {
      EXPECT_TRUE(after.log.empty());
    } else {
      ASSERT_EQ(after.log.size(), 1U);
      EXPECT_NE(after.log[0].find(c.logged), std::string::npos) << after.log[0];
      EXPECT_NE(after.log[0].find(titles[0]), std::string::npos) << after.log[0];
      // Kept so: the next start does not bring the title back to the front.
      EXPECT_EQ(Listed(), expected);
    }
    // After a quick end no file is read: the reading may be what ended the program.
    EXPECT_EQ(after.queue->Items[0]->Duration == 99, !c.readsFiles);
    after.keeper.PlayingChanged(false);
    after.keeper.Finish();
  }
}

TEST_F(QueueKeeperTest, ATitleThatEndsTheProgramAgainIsLeftOutAndTheLoopEnds) {
  double now = 3.0e9;
  {
    JukeboxRun first(dir);
    first.keeper.Restore(now);
    for (const std::string& title : {titles[0], titles[1]}) first.queue->Add(title);
    first.keeper.PlayingChanged(true);
  }
  // titles[0] ends the program twice: moved the first time, left out the second.
  {
    JukeboxRun second(dir);
    EXPECT_TRUE(second.keeper.Restore(now += 3.0));
    EXPECT_EQ(second.added, (std::vector<std::string>{titles[1], titles[0]}));
  }
  {
    // titles[1] played to its end long after that start; titles[0] is first again.
    JukeboxRun third(dir);
    EXPECT_TRUE(third.keeper.Restore(now += 700.0));
    third.queue->RemoveItem(true);
    EXPECT_EQ(Listed(), std::vector<std::string>{titles[0]});
  }
  {
    JukeboxRun fourth(dir);
    EXPECT_FALSE(fourth.keeper.Restore(now += 2.0)) << "nothing left to play";
    EXPECT_TRUE(fourth.added.empty());
    ASSERT_EQ(fourth.log.size(), 1U);
    EXPECT_NE(fourth.log[0].find("aus der Warteschlange genommen"), std::string::npos) << fourth.log[0];
    EXPECT_EQ(Listed(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(PlayingFile()));
  }
  // A lone title that ends the program soon after the start cannot go further back.
  {
    JukeboxRun fifth(dir);
    fifth.keeper.Restore(now += 3600.0);
    fifth.queue->Add(titles[2]);
    fifth.keeper.PlayingChanged(true);
  }
  JukeboxRun sixth(dir);
  EXPECT_FALSE(sixth.keeper.Restore(now += 1.0));
  EXPECT_TRUE(sixth.added.empty());
}

// The queue emptied by the operator must not come back: the empty queue is on
// disk before the playing mark goes.
TEST_F(QueueKeeperTest, ClearingEmptiesTheKeptQueueBeforeTheMusicStops) {
  JukeboxRun run(dir);
  run.Restore();
  for (const std::string& title : titles) run.queue->Add(title);
  run.queue->PlayIndex(0);
  run.keeper.PlayingChanged(true);
  std::optional<std::vector<std::string>> listedAtStop;
  run.queue->OnTiluStop = [&](TTiluPlayer*) {
    listedAtStop = Listed();
    run.keeper.PlayingChanged(false);
  };
  run.queue->Clear();
  ASSERT_TRUE(listedAtStop);
  EXPECT_EQ(*listedAtStop, std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(PlayingFile()));
}

TEST_F(QueueKeeperTest, ThePlayedOnceListLivesAndDiesWithTheQueue) {
  const std::vector<std::string> chosen = {titles[2], "/musik/M\xFCller.mp3"};
  {
    JukeboxRun before(dir);
    before.Restore();
    before.queue->Add(titles[0]);
    before.keeper.PlayedOnceChanged(chosen);
  }
  {
    JukeboxRun after(dir);
    after.Restore();
    EXPECT_EQ(after.keeper.RestoredPlayedOnce(), chosen);
    after.keeper.Finish();
  }
  // After a clean end, or without a queue file, every title is open again.
  WriteFileAtomically(dir / TQueueKeeper::kPlayedOnceFileName, titles[0] + "\n");
  JukeboxRun clean(dir);
  clean.Restore();
  EXPECT_TRUE(clean.keeper.RestoredPlayedOnce().empty());
  EXPECT_FALSE(fs::exists(dir / TQueueKeeper::kPlayedOnceFileName));
}

TEST_F(QueueKeeperTest, LinesThatAreNoTitlesAreLeftOutAndNamedInTheLog) {
  std::string kept = "#EXTM3U\r\n#EXTINF:1,a - b\r\n/" + std::string(5000, 'x') + "\r\nmusik/tone1.wav\r\n";
  WriteFileAtomically(QueueFile(), kept);
  {
    JukeboxRun run(dir);
    run.Restore();
    EXPECT_EQ(run.added, std::vector<std::string>{titles[0]});
    ASSERT_EQ(run.log.size(), 1U);
    EXPECT_NE(run.log[0].find("1 Eintr\xE4ge mit einem Pfad l\xE4nger als 4096 Bytes"), std::string::npos)
        << run.log[0];
    // Left as it was until the queue changes.
    EXPECT_EQ(ReadWholeFile(QueueFile()), kept);
  }
  std::string many = "#EXTM3U\r\n";
  for (std::size_t i = 0; i <= kMaxPlaylistEntries; ++i) many += "musik/fehlt" + std::to_string(i) + ".mp3\r\n";
  WriteFileAtomically(QueueFile(), many);
  JukeboxRun run(dir);
  run.Restore();
  EXPECT_EQ(run.added.size(), kMaxPlaylistEntries);
  ASSERT_EQ(run.log.size(), 1U);
  EXPECT_NE(run.log[0].find("mehr als 10000 Titel"), std::string::npos) << run.log[0];
  EXPECT_TRUE(ReadWholeFile(QueueFile()) == many) << "the kept file was rewritten";
}

TEST_F(QueueKeeperTest, ACleanEndLeavesNothingAndTheNextStartIsEmpty) {
  {
    JukeboxRun before(dir);
    before.Restore();
    for (const std::string& title : titles) before.queue->Add(title);
    before.keeper.PlayingChanged(true);
    before.keeper.Finish();
    EXPECT_FALSE(fs::exists(QueueFile()));
    EXPECT_FALSE(fs::exists(PlayingFile()));
    // The shut-down still stops and frees the queue; none of it is written.
    before.queue->Clear();
    before.keeper.PlayingChanged(true);
    EXPECT_FALSE(fs::exists(QueueFile()));
    EXPECT_FALSE(fs::exists(PlayingFile()));
  }
  // A marker without a queue file means nothing.
  WriteFileAtomically(PlayingFile(), "");
  JukeboxRun after(dir);
  EXPECT_FALSE(after.Restore());
  EXPECT_TRUE(after.added.empty());
  EXPECT_FALSE(fs::exists(PlayingFile()));
  EXPECT_FALSE(fs::exists(QueueFile()));
}

}  // namespace
}  // namespace orvela::testing
