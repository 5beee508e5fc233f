// The queue over real audio files on a manual output: its index rules, its
// events, and its playlist files on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "playback/player_rig.h"
#include "queue/m3u_file.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

class PlaylistTest : public ::testing::Test {
 protected:
  PlaylistTest()
      : output_(new audio::ManualOutput), layer_(std::unique_ptr<audio::AudioOutput>(output_)) {
    queue = std::make_unique<TTiluPlaylist>(layer_, posts.Function());
    queue->InitAudio(dialogs);
    queue->SetVolume(1.0f);
    queue->OnPlaylistAddItem = [this](TTiluPlaylist* sender, TAudioFile* item) {
      EXPECT_EQ(sender, queue.get());
      added.push_back(item->FilePath);
    };
    queue->OnPlaylistClear = [this](TTiluPlayer*) { events.push_back("clear"); };
    queue->OnTiluStop = [this](TTiluPlayer*) { events.push_back("stop"); };
    queue->OnTiluPlay = [this](TTiluPlayer*) { events.push_back("play"); };
    std::string tmpl = (fs::temp_directory_path() / "orvela-queue-XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) dir = tmpl;
  }
  ~PlaylistTest() override {
    queue.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void SetUp() override {
    ASSERT_EQ(AudioFiles::Get().Error(), "");
    ASSERT_FALSE(dir.empty());
  }

  static std::string Fixture(const std::string& name) { return AudioFiles::Get().Path(name); }
  static TAudioFile Read(const std::string& path) {
    TAudioFile file;
    file.LoadFromFile(path);
    return file;
  }
  std::string InDir(const std::string& name) const { return (dir / name).string(); }
  void AddThree() {
    for (const char* name : {"tone1.wav", "tone2.mp3", "song8.wav"}) queue->Add(Fixture(name));
  }
  std::string ReadText(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  PostQueue posts;
  ScriptedDialogs dialogs;
  std::vector<std::string> added;
  std::vector<std::string> events;
  fs::path dir;

 private:
  audio::ManualOutput* output_;  // owned by the layer
  audio::AudioLayer layer_;

 public:
  std::unique_ptr<TTiluPlaylist> queue;  // destroyed before the layer
};

TEST_F(PlaylistTest, AddReadsTheFileAndReportsTheNewEntry) {
  queue->Add(Fixture("tone2.mp3"));
  ASSERT_EQ(queue->Items.size(), 1U);
  EXPECT_EQ(added, std::vector<std::string>{Fixture("tone2.mp3")});
  EXPECT_GE(queue->Items[0]->Duration, 1);
  EXPECT_EQ(queue->Items[0]->Duration, Read(Fixture("tone2.mp3")).Duration);
  EXPECT_EQ(queue->CurrentItem, nullptr);
  EXPECT_EQ(queue->ItemIndex, 0);
}

TEST_F(PlaylistTest, IndexRules) {
  AddThree();
  queue->ItemIndex = 2;
  EXPECT_EQ(queue->NextIndex(), 0);  // wraps around
  queue->ItemIndex = 0;
  EXPECT_EQ(queue->NextIndex(), 1);
  EXPECT_EQ(queue->ItemIndex, 0);

  queue->PlayIndex(5);  // past the end: the last entry
  EXPECT_EQ(queue->ItemIndex, 2);
  EXPECT_EQ(queue->CurrentItem, queue->Items[2].get());
  EXPECT_EQ(queue->CurrentFile->FilePath, Fixture("song8.wav"));
  EXPECT_EQ(queue->GetState(), audio::kPlaying);

  queue->Next(true);
  EXPECT_EQ(queue->ItemIndex, 0);
  EXPECT_EQ(queue->CurrentFile->FilePath, Fixture("tone1.wav"));
  queue->Next(false);
  EXPECT_EQ(queue->ItemIndex, 1);
  EXPECT_EQ(queue->CurrentFile->FilePath, Fixture("tone2.mp3"));
}

TEST_F(PlaylistTest, RemovingEntries) {
  queue->Add(Fixture("tone1.wav"));
  queue->RemoveItem(false);  // never the only entry: it is the title being played
  EXPECT_EQ(queue->Items.size(), 1U);

  queue->Add(Fixture("tone5.wav"));
  queue->Add(Fixture("song8.wav"));
  queue->RemoveItem(false);  // the last one
  ASSERT_EQ(queue->Items.size(), 2U);
  EXPECT_EQ(queue->Items[1]->FilePath, Fixture("tone5.wav"));

  queue->PlayIndex(-1);
  ASSERT_EQ(queue->CurrentItem, queue->Items[0].get());
  queue->RemoveItem(true);  // the current entry leaves; nothing refers to it any more
  ASSERT_EQ(queue->Items.size(), 1U);
  EXPECT_EQ(queue->CurrentItem, nullptr);
  EXPECT_EQ(queue->Items[0]->FilePath, Fixture("tone5.wav"));
}

TEST_F(PlaylistTest, ClearStopsEmptiesAndReports) {
  AddThree();
  queue->PlayIndex(1);
  events.clear();
  queue->Clear();
  EXPECT_EQ(events, (std::vector<std::string>{"stop", "clear"}));
  EXPECT_TRUE(queue->Items.empty());
  EXPECT_EQ(queue->CurrentItem, nullptr);
  EXPECT_EQ(queue->ItemIndex, 0);
  EXPECT_NE(queue->GetState(), audio::kPlaying);

  events.clear();
  queue->PlayIndex(-1);  // an empty queue plays nothing and says nothing
  EXPECT_TRUE(events.empty());
}

TEST_F(PlaylistTest, AddToCollectionHandsTheRecordOnAndLeavesTheQueue) {
  std::vector<std::string> records;
  queue->AppendTitleRecord = [&](const TAudioFile& file) {
    records.push_back(file.FilePath + "|" + std::to_string(file.Duration));
  };
  queue->AddToCollection(Fixture("tone2.mp3"));
  EXPECT_EQ(records, std::vector<std::string>{Fixture("tone2.mp3") + "|" +
                                              std::to_string(Read(Fixture("tone2.mp3")).Duration)});
  EXPECT_TRUE(queue->Items.empty());
  EXPECT_TRUE(added.empty());
}

TEST_F(PlaylistTest, SavedPlaylistLoadsBackTheSameTitles) {
  // The titles live in a sibling folder of the playlist's.
  fs::create_directories(dir / "musik");
  fs::create_directories(dir / "listen");
  for (const char* name : {"tone2.mp3", "VBR.MP3"}) fs::copy_file(Fixture(name), dir / "musik" / name);
  queue->Add(InDir("musik/tone2.mp3"));
  queue->Add(InDir("musik/VBR.MP3"));
  // The raw fields go into the file, not the substitutes shown on the screen.
  queue->Items[0]->Artist = "Die \xC4rzte";
  queue->Items[0]->Title = "Westerland";
  queue->Items[1]->Artist = "";
  queue->Items[1]->Title = "Ohne K\xFCnstler";
  const std::string vbr = std::to_string(queue->Items[1]->Duration);
  const std::string tone = std::to_string(queue->Items[0]->Duration);

  queue->SavePlaylist(InDir("listen/Abend.M3U"));  // the extension in capitals counts
  EXPECT_EQ(ReadText(InDir("listen/Abend.M3U")),
            "#EXTM3U\r\n#EXTINF:" + tone + ",Die \xC4rzte - Westerland\r\n../musik/tone2.mp3\r\n" +
                "#EXTINF:" + vbr + ", - Ohne K\xFCnstler\r\n../musik/VBR.MP3\r\n");

  queue->Clear();
  added.clear();
  queue->LoadPlaylist(InDir("listen/Abend.M3U"));
  EXPECT_EQ(added, (std::vector<std::string>{InDir("musik/tone2.mp3"), InDir("musik/VBR.MP3")}));
  EXPECT_EQ(queue->Items[1]->Duration, Read(Fixture("VBR.MP3")).Duration);

  // Only ".m3u" files are playlists.
  queue->SavePlaylist(InDir("listen/Abend.txt"));
  EXPECT_FALSE(fs::exists(dir / "listen" / "Abend.txt"));
  queue->LoadPlaylist(InDir("listen/Abend.pls"));
  EXPECT_EQ(queue->Items.size(), 2U);
}

TEST_F(PlaylistTest, ReadingErrorsKeepTheEntriesBeforeThem) {
  std::ofstream(InDir("kaputt.m3u"), std::ios::binary)
      << "#EXTM3U\r\n#EXTINF:1,a - b\r\n" << Fixture("tone1.wav") << "\r\n#EXTINF:5,c - d\r\n";
  try {
    queue->LoadPlaylist(InDir("kaputt.m3u"));
    ADD_FAILURE() << "no error";
  } catch (const TPlaylistError& e) {
    EXPECT_NE(std::string(e.what()).find("#EXTINF"), std::string::npos) << e.what();
  }
  EXPECT_EQ(added, std::vector<std::string>{Fixture("tone1.wav")});

  EXPECT_THROW(queue->LoadPlaylist(InDir("fehlt.m3u")), TPlaylistError);
  EXPECT_EQ(queue->Items.size(), 1U);
  // A folder where the playlist should be written.
  fs::create_directory(dir / "belegt.m3u");
  EXPECT_THROW(queue->SavePlaylist(InDir("belegt.m3u")), TPlaylistError);
}

// Whoever keeps a copy of the queue hears of every change once, after it, and
// of a whole playlist once: a copy per entry would cost thousands of copies.
TEST_F(PlaylistTest, EveryChangeIsReportedOnceAPlaylistAsAWhole) {
  std::vector<std::size_t> reported;  // the queue's length at each report
  queue->OnQueueChange = [this, &reported](TTiluPlayer*) { reported.push_back(queue->Items.size()); };
  std::string many = "#EXTM3U\r\n";
  for (int i = 0; i < 300; ++i) many += Fixture(i % 2 == 0 ? "tone1.wav" : "tone2.mp3") + "\r\n";
  std::ofstream(InDir("viele.m3u"), std::ios::binary) << many;
  std::ofstream(InDir("kaputt.m3u"), std::ios::binary)
      << "#EXTM3U\r\n" << Fixture("tone1.wav") << "\r\n#EXTINF:5,c - d\r\n";

  const struct {
    const char* step;
    std::function<void()> act;
    std::vector<std::size_t> expected;
  } steps[] = {
      {"add", [&] { queue->Add(Fixture("tone1.wav")); }, {1}},
      {"playlist", [&] { queue->LoadPlaylist(InDir("viele.m3u")); }, {301}},
      {"broken playlist", [&] { EXPECT_THROW(queue->LoadPlaylist(InDir("kaputt.m3u")), TPlaylistError); }, {302}},
      {"unreadable playlist", [&] { EXPECT_THROW(queue->LoadPlaylist(InDir("fehlt.m3u")), TPlaylistError); }, {}},
      {"remove current", [&] { queue->RemoveItem(true); }, {301}},
      {"remove last", [&] { queue->RemoveItem(false); }, {300}},
      {"clear", [&] { queue->Clear(); }, {0}},
      {"add again", [&] { queue->Add(Fixture("tone1.wav")); }, {1}},
      {"the only title stays", [&] { queue->RemoveItem(false); }, {}},
      {"playing changes nothing", [&] { queue->PlayIndex(0); queue->Stop(); }, {}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    reported.clear();
    s.act();
    EXPECT_EQ(reported, s.expected);
  }
  // Batches nest: only the outermost one reports.
  reported.clear();
  {
    const TTiluPlaylist::TChangeBatch outer(*queue);
    {
      const TTiluPlaylist::TChangeBatch inner(*queue);
      queue->Add(Fixture("tone1.wav"));
    }
    EXPECT_TRUE(reported.empty());
    queue->Add(Fixture("tone1.wav"));
  }
  EXPECT_EQ(reported, std::vector<std::size_t>{3});
  reported.clear();
  { const TTiluPlaylist::TChangeBatch nothing(*queue); }
  EXPECT_TRUE(reported.empty());
}

TEST_F(PlaylistTest, APlaylistOverTheLimitQueuesTheFirstTitlesAndSaysSo) {
  {
    std::ofstream list(InDir("lang.m3u"), std::ios::binary);
    for (std::size_t i = 0; i <= kMaxPlaylistEntries; ++i) list << "t" << i << ".mp3\n";
  }
  try {
    queue->LoadPlaylist(InDir("lang.m3u"));
    ADD_FAILURE() << "no error";
  } catch (const TPlaylistError& e) {
    EXPECT_NE(std::string(e.what()).find("mehr als 10000 Titel. Nur die ersten 10000 wurden \xFC" "bernommen."),
              std::string::npos)
        << e.what();
  }
  ASSERT_EQ(queue->Items.size(), kMaxPlaylistEntries);
  EXPECT_EQ(queue->Items.back()->FilePath, InDir("t9999.mp3"));
}

// The queue holds what a playlist may add, so that the queue written out as a
// playlist (the kept queue among them) reads back whole.
TEST_F(PlaylistTest, TheQueueHoldsAtMostWhatAPlaylistAddsAndSaysWhatItTook) {
  const std::size_t limit = TTiluPlaylist::kMaxEntries;
  ASSERT_EQ(limit, kMaxPlaylistEntries);
  {
    std::ofstream list(InDir("voll.m3u"), std::ios::binary);
    for (std::size_t i = 0; i < limit - 2; ++i) list << "t" << i << ".mp3\n";
  }
  std::ofstream(InDir("fuenf.m3u"), std::ios::binary) << "a.mp3\nb.mp3\nc.mp3\nd.mp3\ne.mp3\n";
  queue->LoadPlaylist(InDir("voll.m3u"));
  ASSERT_EQ(queue->Items.size(), limit - 2);
  try {
    queue->LoadPlaylist(InDir("fuenf.m3u"));
    ADD_FAILURE() << "no error";
  } catch (const TPlaylistError& e) {
    EXPECT_EQ(std::string(e.what()), "Die Warteschlange fasst h\xF6" "chstens 10000 Titel. Von der Playlist " +
                                         InDir("fuenf.m3u") + " wurden nur die ersten 2 \xFC" "bernommen.");
  }
  ASSERT_EQ(queue->Items.size(), limit);
  EXPECT_EQ(queue->Items.back()->FilePath, InDir("b.mp3"));
  // Nor does anyone else add past it.
  added.clear();
  EXPECT_FALSE(queue->Add(Fixture("tone1.wav")));
  EXPECT_FALSE(queue->AddUnread(Read(Fixture("tone1.wav"))));
  EXPECT_TRUE(added.empty());
  queue->RemoveItem(false);
  EXPECT_TRUE(queue->Add(Fixture("tone1.wav")));
  EXPECT_EQ(queue->Items.size(), limit);
}

TEST_F(PlaylistTest, ListedFilesThatAreMissingAreStillQueuedWithDefaults) {
  std::ofstream(InDir("liste.m3u"), std::ios::binary) << "weg.mp3\r\n";
  queue->LoadPlaylist(InDir("liste.m3u"));
  ASSERT_EQ(queue->Items.size(), 1U);
  EXPECT_EQ(queue->Items[0]->FilePath, InDir("weg.mp3"));
  EXPECT_EQ(queue->Items[0]->Title, "weg.mp3");
  events.clear();
  queue->PlayIndex(-1);  // cannot be opened: nothing starts, nothing is reported
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace orvela::testing
