// Reading and writing playlists: the two forms, line breaks, separators
// written on Windows, and paths relative to the playlist's folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "queue/m3u_file.h"

namespace orvela {
namespace {

using Paths = std::vector<std::string>;

TEST(M3UFile, ListedPathsInBothForms) {
  struct Case {
    const char* name;
    std::string bytes;
    Paths paths;
    bool missingLastPath = false;
  } const cases[] = {
      {"extended with a Windows path", "#EXTM3U\r\n#EXTINF:215,ABBA - Waterloo\r\nMusic\\b.mp3\r\n",
       {"/pl/Music/b.mp3"}},
      {"plain with blank lines", "a.mp3\r\n\r\n  \r\n", {"/pl/a.mp3"}},
      {"lower-case header is plain",
       "#extm3u\n#EXTINF:1,x - y\nc.mp3\n",
       {"/pl/#extm3u", "/pl/#EXTINF:1,x - y", "/pl/c.mp3"}},
      {"header with a blank is plain", "#EXTM3U \na.mp3\n", {"/pl/#EXTM3U ", "/pl/a.mp3"}},
      {"extended skips blanks, takes bare paths", "#EXTM3U\n\na.mp3\n#EXTINF:3,-\n/abs/b.mp3\n",
       {"/pl/a.mp3", "/abs/b.mp3"}},
      {"line after EXTINF is a path whatever it holds", "#EXTM3U\n#EXTINF:1,a - b\n#comment.mp3\n",
       {"/pl/#comment.mp3"}},
      {"CR only, LF only, mixed", "x.mp3\ry.mp3\nz.mp3\r\n", {"/pl/x.mp3", "/pl/y.mp3", "/pl/z.mp3"}},
      {"blanks around a path stay", " a b.mp3 \n", {"/pl/ a b.mp3 "}},
      {"steps up are resolved", "../other/c.mp3\n./d.mp3\n", {"/other/c.mp3", "/pl/d.mp3"}},
      {"code-page bytes kept", "M\xFCller.mp3\n", {"/pl/M\xFCller.mp3"}},
      {"no lines", "", {}},
      {"EXTINF without a path line ends the list", "#EXTM3U\na.mp3\n#EXTINF:10,a - b\n",
       {"/pl/a.mp3"}, true},
      {"EXTINF as the last line without a break", "#EXTM3U\r\n#EXTINF:10,a - b", {}, true},
      {"byte order mark before the header", "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,a - b\r\na.mp3\r\n", {"/pl/a.mp3"}},
      {"byte order mark before a plain first line", "\xEF\xBB\xBF" "a.mp3\nb.mp3\n", {"/pl/a.mp3", "/pl/b.mp3"}},
      {"other directives of an extended list name no file",
       "#EXTM3U\n#PLAYLIST:Abend\n#EXTGRP:Rock\n#EXTINF:1,a - b\na.mp3\n#EXTVLCOPT:start-time=3\nb.mp3\n",
       {"/pl/a.mp3", "/pl/b.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TM3UPaths parsed = ParseM3U(c.bytes, "/pl/");
    EXPECT_EQ(parsed.Paths, c.paths);
    EXPECT_EQ(parsed.MissingLastPath, c.missingLastPath);
  }
  EXPECT_EQ(ParseM3U("a.mp3\n", "/pl").Paths, Paths{"/pl/a.mp3"});  // the trailing "/" is optional
}

// Only listed titles count toward the limit, and what follows it is not read.
TEST(M3UFile, AtMostTheLimitOfTitles) {
  const std::size_t limit = kMaxPlaylistEntries;
  const auto lines = [](std::size_t count, const std::string& line) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) bytes += line;
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;
    bool tooMany;
  } const cases[] = {
      {"plain, exactly the limit", lines(limit, "a\n"), false},
      {"plain, one more", lines(limit + 1, "a\n"), true},
      {"blank lines and comments are no titles", "#EXTM3U\n" + lines(limit, "\n#EXTGRP:x\n#EXTINF:1,a - b\na\n"), false},
      {"extended, one more", "#EXTM3U\n" + lines(limit + 1, "#EXTINF:1,a - b\na\n"), true},
      {"the limit reached before a missing last path", lines(limit + 1, "a\n") + "#EXTINF:1,a - b\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TM3UPaths parsed = ParseM3U(c.bytes, "/pl/");
    EXPECT_EQ(parsed.Paths.size(), limit);
    EXPECT_EQ(parsed.TooManyEntries, c.tooMany);
    EXPECT_FALSE(parsed.MissingLastPath);
  }
}

// A playlist folder reached through a link: "../" leads beside the folder the
// link names, as "cd" would; where the folders are not there, the text decides.
TEST(M3UFile, StepsUpFollowTheLinkedFolder) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "orvela-m3u-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const fs::path root = fs::canonical(tmpl);
  fs::create_directories(root / "platte" / "listen");
  fs::create_directories(root / "platte" / "musik");
  fs::create_directory_symlink(root / "platte" / "listen", root / "listen");
  std::ofstream(root / "platte" / "listen" / "abend.m3u", std::ios::binary)
      << "#EXTM3U\r\n#EXTINF:1,a - b\r\n../musik/a.mp3\r\n../fehlt/../b.mp3\r\n./c.mp3\r\n";

  EXPECT_EQ(ReadM3UFile((root / "listen" / "abend.m3u").string()).Paths,
            (Paths{(root / "platte" / "musik" / "a.mp3").string(), (root / "b.mp3").string(),
                   (root / "listen" / "c.mp3").string()}));
  fs::remove_all(root);
}

// What the system could never open is no entry, however the line came about;
// and a line of megabytes costs one look, not a walk through its folders.
TEST(M3UFile, APathLongerThanTheSystemsLimitIsNoEntry) {
  const std::string longest = "/" + std::string(kMaxPathBytes - 1, 'a');
  const std::string folders = [] {
    std::string text;
    while (text.size() < 8 * 1024 * 1024) text += "\xFC/../";
    return text;
  }();
  struct Case {
    const char* name;
    std::string bytes;
    Paths paths;
    std::size_t tooLong;
  } const cases[] = {
      {"the longest path the system opens", longest + "\n", {longest}, 0},
      {"one byte more", longest + "b\nc.mp3\n", {"/pl/c.mp3"}, 1},
      {"short line, too long with its folder", std::string(kMaxPathBytes - 2, 'a') + "\n", {}, 1},
      {"megabytes of folders after EXTINF", "#EXTM3U\n#EXTINF:1,a - b\n" + folders + "\nc.mp3\n", {"/pl/c.mp3"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TM3UPaths parsed = ParseM3U(c.bytes, "/pl/");
    EXPECT_EQ(parsed.Paths, c.paths);
    EXPECT_EQ(parsed.Infos.size(), parsed.Paths.size());
    EXPECT_EQ(parsed.TooLongPaths, c.tooLong);
  }
}

TEST(M3UFile, AnExtinfTextGivesTheRecordItWasWrittenFrom) {
  struct Case {
    const char* info;
    std::int32_t duration;
    const char* artist;
    const char* title;
  } const cases[] = {
      {"215,ABBA - Waterloo", 215, "ABBA", "Waterloo"},
      {"61, - Ohne K\xFCnstler", 61, "", "Ohne K\xFCnstler"},
      {"5,A - B - C", 5, "A", "B - C"},
      {"7,Nur ein Titel", 7, "", "Nur ein Titel"},
      {"-1,a - b", 0, "a", "b"},
      {"99999999999999999999,a - b", 0, "a", "b"},
      {"", 0, "", ""},
      {"12", 12, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    const TM3UEntry entry = EntryFromInfo(c.info, "/m/x.mp3");
    EXPECT_EQ(entry.Duration, c.duration);
    EXPECT_EQ(entry.Artist, c.artist);
    EXPECT_EQ(entry.Title, c.title);
    EXPECT_EQ(entry.FilePath, "/m/x.mp3");
  }
  // Written and read back, the line is the same whatever the split.
  const TM3UPaths parsed = ParseM3U("#EXTM3U\r\n#EXTINF:5,A - B - C\r\nx.mp3\r\nbare.mp3\r\n", "/m/");
  EXPECT_EQ(parsed.Infos, (Paths{"5,A - B - C", ""}));
  EXPECT_EQ(FormatM3U({EntryFromInfo(parsed.Infos[0], parsed.Paths[0])}, "/m/"),
            "#EXTM3U\r\n#EXTINF:5,A - B - C\r\nx.mp3\r\n");
}

// A folder reached through a link (~/jukebox naming /mnt/data/jukebox, the
// music in ~/Musik): what is written must read back as the same files.
TEST(M3UFile, SavedThroughALinkedFolderReadsBackTheSameFiles) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "orvela-m3u-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const fs::path root = fs::canonical(tmpl);
  fs::create_directories(root / "mnt" / "data" / "jukebox" / "Listen");
  fs::create_directories(root / "mnt" / "data" / "Musik");
  fs::create_directories(root / "home" / "Musik");
  fs::create_directories(root / "srv" / "Platten");
  fs::create_directory_symlink(root / "mnt" / "data" / "jukebox", root / "home" / "jukebox");
  fs::create_directory_symlink(root / "srv" / "Platten", root / "home" / "Platten");
  const std::string home = (root / "home").string();
  struct Case {
    const char* name;
    std::string playlist;
    std::string title;
    const char* written;  // the path line, when it matters
  } const cases[] = {
      {"music beside the link", home + "/jukebox/Abend.m3u", home + "/Musik/a.mp3", nullptr},
      {"music inside the linked folder", home + "/jukebox/Abend.m3u", home + "/jukebox/Musik/b.mp3", "Musik/b.mp3"},
      {"music beside the folder the link names", home + "/jukebox/Abend.m3u",
       (root / "mnt" / "data" / "Musik" / "c.mp3").string(), "../Musik/c.mp3"},
      {"music through a second link", home + "/jukebox/Listen/Abend.m3u", home + "/Platten/d.mp3", nullptr},
      {"no link at all", (root / "mnt" / "data" / "Listen.m3u").string(),
       (root / "mnt" / "data" / "Musik" / "e.mp3").string(), "Musik/e.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteM3UFile(c.playlist, {{1, "a", "b", c.title}});
    if (c.written != nullptr) {
      std::ifstream in(c.playlist, std::ios::binary);
      std::string header, info, path;
      std::getline(in, header);
      std::getline(in, info);
      std::getline(in, path);
      EXPECT_EQ(path, std::string(c.written) + "\r");
    }
    EXPECT_EQ(ReadM3UFile(c.playlist).Paths, Paths{c.title});
  }
  fs::remove_all(root);
}

TEST(M3UFile, PathsRelativeToThePlaylistFolder) {
  struct Case {
    const char* path;
    const char* folder;
    const char* relative;
  } const cases[] = {
      {"/musik/a.mp3", "/musik/", "a.mp3"},
      {"/musik/rock/b.mp3", "/musik/", "rock/b.mp3"},
      {"/musik/pop/c.mp3", "/musik/listen/", "../pop/c.mp3"},
      {"/other/d.mp3", "/musik/listen", "../../other/d.mp3"},
      {"relative/e.mp3", "/musik/", "relative/e.mp3"},
  };
  for (const Case& c : cases) EXPECT_EQ(RelativePath(c.path, c.folder), c.relative) << c.path;
}

TEST(M3UFile, WritesExtendedLinesWithCrLf) {
  const std::vector<TM3UEntry> entries = {
      {215, "ABBA", "Waterloo", "/musik/abba/waterloo.mp3"},
      {61, "", "Ohne K\xFCnstler", "/musik/listen/x.mp3"},
  };
  EXPECT_EQ(FormatM3U(entries, "/musik/listen/"),
            "#EXTM3U\r\n"
            "#EXTINF:215,ABBA - Waterloo\r\n"
            "../abba/waterloo.mp3\r\n"
            "#EXTINF:61, - Ohne K\xFCnstler\r\n"
            "x.mp3\r\n");
  // What is written reads back to the same files.
  EXPECT_EQ(ParseM3U(FormatM3U(entries, "/musik/listen/"), "/musik/listen/").Paths,
            (Paths{"/musik/abba/waterloo.mp3", "/musik/listen/x.mp3"}));
}

}  // namespace
}  // namespace orvela
