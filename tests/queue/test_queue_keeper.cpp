// The queue kept in the program folder: what one run leaves behind when it
// ends uncleanly is what the next run takes up, and a clean end leaves nothing.
#include "queue/queue_keeper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
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
        keeper(*queue, folder.string() + "/") {
    queue->InitAudio(dialogs);
    queue->OnPlaylistAddItem = [this](TTiluPlaylist*, TAudioFile* item) { added.push_back(item->FilePath); };
    queue->OnQueueChange = [this](TTiluPlayer*) { keeper.QueueChanged(); };
  }
  ~JukeboxRun() { queue.reset(); }

  PostQueue posts;
  ScriptedDialogs dialogs;
  audio::ManualOutput* output;  // owned by the layer
  audio::AudioLayer layer;
  std::unique_ptr<TTiluPlaylist> queue;
  TQueueKeeper keeper;
  std::vector<std::string> added;
};

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
    EXPECT_FALSE(before.keeper.Restore());
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
  EXPECT_FALSE(after.keeper.Restore());
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
      before.keeper.Restore();
      before.queue->Clear();
      before.queue->Add(titles[0]);
      for (bool playing : c.changes) before.keeper.PlayingChanged(playing);
      EXPECT_EQ(fs::exists(PlayingFile()), c.playsOn);
    }
    JukeboxRun after(dir);
    EXPECT_EQ(after.keeper.Restore(), c.playsOn);
    EXPECT_EQ(after.added, std::vector<std::string>{titles[0]});
  }
}

TEST_F(QueueKeeperTest, TitlesWhoseFilesAreGoneAreLeftOut) {
  {
    JukeboxRun before(dir);
    for (const std::string& title : titles) before.queue->Add(title);
    before.keeper.PlayingChanged(true);
  }
  fs::remove(titles[1]);
  {
    JukeboxRun after(dir);
    EXPECT_TRUE(after.keeper.Restore());
    EXPECT_EQ(after.added, (std::vector<std::string>{titles[0], titles[2]}));
    EXPECT_EQ(Listed(), (std::vector<std::string>{titles[0], titles[2]}));
  }
  // Nothing left to play: the next start waits, whatever played before.
  fs::remove(titles[0]);
  fs::remove(titles[2]);
  JukeboxRun empty(dir);
  EXPECT_FALSE(empty.keeper.Restore());
  EXPECT_TRUE(empty.added.empty());
  EXPECT_FALSE(fs::exists(PlayingFile()));
}

TEST_F(QueueKeeperTest, ACleanEndLeavesNothingAndTheNextStartIsEmpty) {
  {
    JukeboxRun before(dir);
    before.keeper.Restore();
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
  EXPECT_FALSE(after.keeper.Restore());
  EXPECT_TRUE(after.added.empty());
  EXPECT_FALSE(fs::exists(PlayingFile()));
  EXPECT_FALSE(fs::exists(QueueFile()));
}

}  // namespace
}  // namespace orvela::testing
