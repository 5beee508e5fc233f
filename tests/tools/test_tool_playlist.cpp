// playlist and play on M3U files, run as the user runs them: the queue the
// settings menu would build, what --save writes, and a playlist played to its
// end title after title.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "tool_process.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

bool Built() {
  return fs::exists(ToolPath()) && fs::exists(ProgramFile("orvela-jukebox-tool-audio"));
}

// A tagged MP3 of a tone; the MPEG reader truncates its length to whole seconds.
void WriteTitle(const fs::path& path, const std::string& artist, const std::string& title, double seconds,
                double frequency) {
  std::string error;
  const std::string audio =
      demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(frequency, seconds), {}, &error);
  ASSERT_FALSE(audio.empty()) << error;
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(demo::WriteTaggedMp3(path.string(),
                                   demo::BuildId3v2Tag(3, {{"TPE1", artist, ""}, {"TIT2", title, ""}}), audio, ""));
}

// R/musik/a.mp3 "Die Ärzte - Westerland" (2 s), R/musik/b.mp3 "Zweite - Zwei"
// (1 s), R/musik/pipe.mp3 a named pipe, R/lists/ for the playlists.
class PlaylistFolder {
 public:
  PlaylistFolder() {
    WriteTitle(Root() / "musik" / "a.mp3", "Die \xC3\x84rzte", "Westerland", 2.4, 440.0);
    WriteTitle(Root() / "musik" / "b.mp3", "Zweite", "Zwei", 1.4, 660.0);
    EXPECT_EQ(::mkfifo((Root() / "musik" / "pipe.mp3").c_str(), 0600), 0);
    fs::create_directories(Root() / "lists");
  }
  fs::path Root() const { return scratch_.Path(); }
  std::string A() const { return Root().string() + "/musik/a.mp3\tDie \xC3\x84rzte\tWesterland\t2\n"; }
  std::string B() const { return Root().string() + "/musik/b.mp3\tZweite\tZwei\t1\n"; }

 private:
  ScratchFolder scratch_;
};

TEST(ToolPlaylist, PrintsTheQueueThePlaylistBuilds) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  PlaylistFolder folder;
  const std::string root = folder.Root().string();
  const struct {
    const char* name;
    const char* file;                   // below the root
    std::optional<std::string> bytes;   // none: the file is not there
    std::string out;
    int status;
    const char* err;  // a part of standard error; "" for none at all
  } cases[] = {
      {"extended: the records come from the titles, not from #EXTINF", "lists/ext.m3u",
       "#EXTM3U\r\n#EXTINF:99,Falsch - Falsch\r\n../musik/a.mp3\r\n#EXTINF:7,x - y\r\n../musik/b.mp3\r\n",
       folder.A() + folder.B(), 0, ""},
      {"plain, absolute and relative", "plain.m3u", root + "/musik/b.mp3\nmusik/a.mp3\n", folder.B() + folder.A(), 0,
       ""},
      {"Windows separators", "lists/win.m3u", "#EXTM3U\r\n#EXTINF:2,Die \xC4rzte - Westerland\r\n..\\musik\\a.mp3\r\n",
       folder.A(), 0, ""},
      {"upper-case extension, CR line ends", "lists/GROSS.M3U", "..\\musik\\b.mp3\r../musik/./a.mp3\r",
       folder.B() + folder.A(), 0, ""},
      {"a missing title keeps its place with the values of an unreadable file, in UTF-8 and escaped",
       "lists/weg.m3u", "../musik/M\xFCller\tneu.mp3\n../musik/b.mp3\n",
       root + "/musik/M\xC3\xBCller\\tneu.mp3\tTitel ist unbekannt\tM\xC3\xBCller\\tneu.mp3\t0\n" + folder.B(), 0, ""},
      {"the path line after the last #EXTINF is missing", "lists/kurz.m3u",
       "#EXTM3U\r\n#EXTINF:2,Die \xC4rzte - Westerland\r\n../musik/a.mp3\r\n#EXTINF:1,Zweite - Zwei\r\n", folder.A(),
       1, "ist unvollst\xC3\xA4ndig"},
      {"another extension", "lists/liste.txt", "../musik/a.mp3\n", "", 1, "lists/liste.txt is not an M3U playlist"},
      {"no such playlist", "lists/fehlt.m3u", std::nullopt, "", 1, "fehlt.m3u kann nicht gelesen werden"},
      {"a named pipe listed as a title is not waited for", "lists/pipe.m3u", "../musik/b.mp3\n../musik/pipe.mp3\n",
       "", 1, "musik/pipe.mp3 listed in "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = folder.Root() / c.file;
    if (c.bytes) WriteFileBytes(file, *c.bytes);
    const ToolRun run = RunTool({"playlist", file.string()});
    EXPECT_TRUE(run.exited && run.status == c.status) << run.How() << run.err;
    EXPECT_EQ(run.out, c.out);
    if (*c.err == '\0') {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
      EXPECT_EQ(run.err.rfind("playlist: ", 0), 0u) << run.err;
    }
  }
  // The pipe is the one under the root; the tool must not have replaced it.
  EXPECT_TRUE(fs::is_fifo(folder.Root() / "musik" / "pipe.mp3"));
}

// A file of tens of millions of one-letter lines: the first titles are
// queued and printed, the rest is refused in a message, and the lines beyond
// the limit cost no memory.
TEST(ToolPlaylist, AHugePlaylistQueuesTheFirstTitlesOnly) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  ScratchFolder folder;
  std::string lines;
  for (int i = 0; i < 33000000; ++i) lines += "a\n";
  WriteFileBytes(folder.File("riesig.m3u"), lines);
  lines = std::string();
  ToolRunOptions options;
  // The audio tool's libraries and the file's bytes fit in it many times over.
  options.addressSpaceLimit = rlim_t{512} << 20;
  const ToolRun run = RunTool({"playlist", folder.File("riesig.m3u")}, options);
  EXPECT_TRUE(run.exited && run.status == 1) << run.How() << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 10000);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), folder.File("a") + "\tTitel ist unbekannt\ta\t0\n");
  EXPECT_EQ(run.err, "playlist: Die Playlist " + folder.File("riesig.m3u") +
                         " enth\xC3\xA4lt mehr als 10000 Titel. Nur die ersten 10000 wurden \xC3\xBC" "bernommen.\n");
}

// The path printed is the title's name on disk, also where the record spells
// it otherwise: a UTF-8 name with characters the code page lacks.
TEST(ToolPlaylist, PrintsThePathAsOnDisk) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  ScratchFolder folder;
  const std::string name = "\xC5\x82\xC3\xB3\x64\xC5\xBA.mp3";  // "łódź.mp3"
  WriteFileBytes(folder.File(name), "kein MPEG");
  WriteFileBytes(folder.File("liste.m3u"), name + "\n");
  const ToolRun run = RunTool({"playlist", folder.File("liste.m3u")});
  EXPECT_TRUE(run.exited && run.status == 0) << run.How() << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\t')), folder.File(name));
}

TEST(ToolPlaylist, SaveWritesTheQueueRelativeToItsOwnFolder) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  PlaylistFolder folder;
  WriteFileBytes(folder.Root() / "lists" / "in.m3u",
                 "#EXTM3U\r\n#EXTINF:5,Alt - Alt\r\n../musik/a.mp3\r\n..\\musik\\b.mp3\r\n../musik/weg.mp3\r\n");
  fs::create_directories(folder.Root() / "out" / "sub");
  // Both names relative to the working folder, as typed in a shell: the
  // entries must still point at the titles from the written file's folder.
  const fs::path here = fs::current_path();
  const std::string in = fs::relative(folder.Root() / "lists" / "in.m3u", here).string();
  const std::string out = fs::relative(folder.Root() / "out" / "sub" / "out.m3u", here).string();
  ASSERT_FALSE(in.empty() || in.front() == '/') << in;

  const ToolRun save = RunTool({"playlist", in, "--save", out});
  ASSERT_TRUE(save.exited && save.status == 0) << save.How() << save.err;
  const std::string missing = folder.Root().string() + "/musik/weg.mp3\tTitel ist unbekannt\tweg.mp3\t0\n";
  EXPECT_EQ(save.out, folder.A() + folder.B() + missing);
  EXPECT_EQ(ReadFileBytes(folder.Root() / "out" / "sub" / "out.m3u"),
            "#EXTM3U\r\n"
            "#EXTINF:2,Die \xC4rzte - Westerland\r\n../../musik/a.mp3\r\n"
            "#EXTINF:1,Zweite - Zwei\r\n../../musik/b.mp3\r\n"
            "#EXTINF:0,Titel ist unbekannt - weg.mp3\r\n../../musik/weg.mp3\r\n");

  // Read back, the written playlist builds the same queue.
  const ToolRun again = RunTool({"playlist", (folder.Root() / "out" / "sub" / "out.m3u").string()});
  EXPECT_TRUE(again.exited && again.status == 0) << again.How() << again.err;
  EXPECT_EQ(again.out, save.out);
}

TEST(ToolPlaylist, SaveFailsWithoutTouchingAGoodPlaylist) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  PlaylistFolder folder;
  const std::string good = (folder.Root() / "lists" / "gut.m3u").string();
  const std::string broken = (folder.Root() / "lists" / "kaputt.m3u").string();
  WriteFileBytes(good, "../musik/a.mp3\n");
  WriteFileBytes(broken, "#EXTM3U\r\n../musik/b.mp3\r\n#EXTINF:1,Zweite - Zwei\r\n");
  const std::string old = "#EXTM3U\r\n#EXTINF:2,Die \xC4rzte - Westerland\r\n../musik/a.mp3\r\n";
  const struct {
    const char* name;
    std::string in;
    std::string out;
    const char* err;
  } cases[] = {
      {"an incomplete playlist is not saved over another", broken, good, "gut.m3u not written"},
      {"an unreadable playlist is not saved over another", good + ".fehlt.m3u", good, "gut.m3u not written"},
      {"OUT of another extension", good, (folder.Root() / "lists" / "gut.txt").string(), "is not an M3U playlist"},
      {"OUT in a folder that does not exist", good, (folder.Root() / "nirgends" / "x.m3u").string(),
       "kann nicht gespeichert werden. (cannot examine the folder "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(good, old);
    const ToolRun run = RunTool({"playlist", c.in, "--save", c.out});
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(good), old);
    if (c.out != good) {
      EXPECT_FALSE(fs::exists(c.out));
    }
  }
}

TEST(ToolPlaylist, PlayGoesThroughThePlaylistTitleAfterTitle) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  ScratchFolder folder;
  WriteTitle(folder.Path() / "eins.mp3", "Erste", "Eins", 0.6, 440.0);
  WriteTitle(folder.Path() / "zwei.mp3", "Zweite", "Zwei", 0.6, 660.0);
  const struct {
    const char* name;
    std::string playlist;
    int status;
    std::string err;
  } cases[] = {
      {"two titles", "#EXTM3U\r\n#EXTINF:0,Erste - Eins\r\neins.mp3\r\n#EXTINF:0,Zweite - Zwei\r\nzwei.mp3\r\n", 0, ""},
      {"a title that cannot be opened is passed over", "eins.mp3\nweg.mp3\nzwei.mp3\n", 1,
       "play: cannot open " + folder.File("weg.mp3") + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(folder.File("liste.m3u"), c.playlist);
    // The limit only guards against a run that never ends.
    const ToolRun run = RunTool({"play", folder.File("liste.m3u"), "--seconds", "60"});
    EXPECT_TRUE(run.exited && run.status == c.status) << run.How() << run.err;
    EXPECT_EQ(run.err, c.err);
    const std::size_t first = run.out.find("Erste - Eins\nlength ");
    const std::size_t second = run.out.find("Zweite - Zwei\nlength ");
    ASSERT_NE(first, std::string::npos) << run.out;
    ASSERT_NE(second, std::string::npos) << run.out;
    EXPECT_LT(first, run.out.find("end of file at ", first)) << run.out;
    EXPECT_LT(run.out.find("end of file at ", first), second) << run.out;
    EXPECT_NE(run.out.find("end of file at ", second), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("stopped at "), std::string::npos) << run.out;
  }
}

TEST(ToolPlaylist, PlayRefusesWhatItCannotPlay) {
  if (!Built()) GTEST_SKIP() << "the tool is not built";
  ScratchFolder folder;
  WriteFileBytes(folder.File("leer.m3u"), "#EXTM3U\r\n");
  WriteFileBytes(folder.File("kurz.m3u"), "#EXTM3U\r\n#EXTINF:1,a - b\r\n");
  ASSERT_EQ(::mkfifo(folder.File("pipe.mp3").c_str(), 0600), 0);
  WriteFileBytes(folder.File("pipe.m3u"), "pipe.mp3\n");
  const struct {
    std::string file;
    std::string err;
  } cases[] = {
      {folder.File("leer.m3u"), "play: " + folder.File("leer.m3u") + " lists no titles\n"},
      {folder.File("kurz.m3u"), "ist unvollst\xC3\xA4ndig"},
      {folder.File("fehlt.m3u"), "kann nicht gelesen werden"},
      {folder.File("pipe.m3u"), "pipe.mp3 listed in "},
      {folder.File("pipe.mp3"), "play: " + folder.File("pipe.mp3") + " is not a file\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ToolRun run = RunTool({"play", c.file, "--seconds", "60"});
    EXPECT_TRUE(run.exited && run.status == 1) << run.How();
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace orvela::testing
