// FLAC, Ogg (Vorbis, Opus, FLAC) and M4A (AAC, ALAC) files through
// TAudioFile: the committed FFmpeg fixtures under their own and other names,
// tags rewritten by TagLib itself, and files that are damaged or something else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/xiphcomment.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "metadata/audio_file.h"
#include "metadata/tagged_file.h"
#include "record_check.h"
#include "stream_fixtures.h"
#include "support/audio_fixtures.h"
#include "support/child_process.h"

namespace orvela {
namespace {

using testing::AudioFixtureBytes;
using testing::AudioFixturePath;
using testing::TempDir;

using testing::ExpectRecord;
using testing::Record;

Record Defaults(const std::string& fileName) { return {fileName, "Titel ist unbekannt", "0000", "n.vorhanden", 0}; }

// What an MP3 without any tag gives: the file name, no artist or year, the
// genre of an absent ID3v1 tag.
Record Untagged(const std::string& fileName, int seconds) { return {fileName, "", "", "Blues", seconds}; }

std::string Copy(const TempDir& dir, const std::string& fixture, const std::string& name) {
  const std::filesystem::path target = dir.Path() / name;
  std::filesystem::copy_file(AudioFixturePath(fixture), target, std::filesystem::copy_options::overwrite_existing);
  return NativePathToCp1252(target.string());
}

// Lengths are 2.75, 3.6, 1.9065, 4.5, 2.2 and 1.3 s (FFprobe's figures): whole
// seconds are cut as the MPEG reader cuts them, never rounded up.
TEST(TaggedFileTest, FixturesGiveTheirTagsAndTheirWholeSeconds) {
  TempDir dir;
  const Record flac = {"Schrei nach Liebe", "Die \xC4rzte", "1993", "Punk", 2};
  // "Öl aus Łódź": the two letters Windows-1252 lacks become question marks.
  const Record vorbis = {"\xD6l aus ?\xF3\x64?", "Vorbis K\xFCnstler", "2001", "Jazz", 3};
  const Record opus = {"Leise", "Opus Band", "2019", "Ambient", 1};
  const Record aac = {"Caf\xE9", "AAC Artist", "1985", "Pop", 4};
  struct Case {
    const char* fixture;
    std::string name;
    Record expected;
  };
  const std::vector<Case> cases = {
      {"tagged.flac", "tagged.flac", flac},
      {"tagged.flac", "LIED.FLAC", flac},
      {"untagged.flac", "untagged.flac", Untagged("untagged.flac", 2)},
      {"untagged.flac", "Ohne Tags.Flac", Untagged("Ohne Tags.Flac", 2)},
      {"tagged.ogg", "tagged.ogg", vorbis},
      {"tagged.ogg", "VORBIS.OGG", vorbis},
      {"tagged.ogg", "vorbis.oga", vorbis},
      {"untagged.ogg", "untagged.ogg", Untagged("untagged.ogg", 3)},
      {"tagged.opus", "tagged.opus", opus},
      {"tagged.opus", "LEISE.OPUS", opus},
      {"tagged.opus", "opus-in-ogg.ogg", opus},  // the extension names the container, not the codec
      {"untagged.opus", "untagged.opus", Untagged("untagged.opus", 1)},
      {"tagged.m4a", "tagged.m4a", aac},
      {"tagged.m4a", "KAUF.M4A", aac},
      {"untagged.m4a", "untagged.m4a", Untagged("untagged.m4a", 4)},
      {"alac.m4a", "alac.m4a", {"Apple", "Lossless", "2010", "Klassik", 2}},
      // Its stream info counts no samples; the last Ogg page does.
      {"oggflac.oga", "oggflac.oga", {"Kiste", "Ogg FLAC", "1977", "Rock", 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Copy(dir, c.fixture, c.name);
    TAudioFile f;
    f.LoadFromFile(path);
    EXPECT_EQ(f.FilePath, path);
    ExpectRecord(f, c.expected);
    TAudioFile fromMemory;
    fromMemory.LoadFromBuffer(c.name, AudioFixtureBytes(c.fixture));
    ExpectRecord(fromMemory, c.expected);
  }
}

std::string Garbage(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 24);
  }
  return bytes;
}

// Files TagLib cannot take for what their name says are read like an MP3 without
// a single frame: the values of a file that cannot be read.
TEST(TaggedFileTest, DamagedForeignAndMissingFilesGetTheDefaults) {
  TempDir dir;
  struct Case {
    std::string name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"garbage.flac", Garbage(4096)},
      {"garbage.ogg", Garbage(4096)},
      {"garbage.opus", Garbage(4096)},
      {"garbage.m4a", Garbage(4096)},
      {"empty.flac", ""},
      {"empty.m4a", ""},
      {"cut.flac", AudioFixtureBytes("tagged.flac").substr(0, 20)},
      {"cut.ogg", AudioFixtureBytes("tagged.ogg").substr(0, 40)},
      {"cut.opus", AudioFixtureBytes("tagged.opus").substr(0, 40)},
      {"cut.m4a", AudioFixtureBytes("tagged.m4a").substr(0, 40)},
      {"ogg-inside.flac", AudioFixtureBytes("tagged.ogg")},
      {"flac-inside.m4a", AudioFixtureBytes("tagged.flac")},
      {"m4a-inside.ogg", AudioFixtureBytes("tagged.m4a")},
      {"id3-only.flac", "ID3\x03" + Garbage(300)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = NativePathToCp1252(dir.Write(c.name, c.bytes));
    TAudioFile f;
    f.LoadFromFile(path);
    ExpectRecord(f, Defaults(c.name));
    TAudioFile fromMemory;
    fromMemory.LoadFromBuffer(c.name, c.bytes);
    ExpectRecord(fromMemory, Defaults(c.name));
  }
  std::filesystem::create_directory(dir.Path() / "folder.flac");
  for (const char* name : {"folder.flac", "missing.opus"}) {
    SCOPED_TRACE(name);
    TAudioFile f;
    f.LoadFromFile(NativePathToCp1252((dir.Path() / name).string()));
    ExpectRecord(f, Defaults(name));
  }
}

// TagLib opens by name and would wait on a FIFO for a writer; it must never be
// handed one.
TEST(TaggedFileTest, PipesNamedLikeTheseFilesReadAsUnreadableWithoutWaiting) {
  TempDir dir;
  const std::vector<std::string> names = {"pipe.flac", "pipe.OGG", "pipe.opus", "pipe.m4a", "link.oga"};
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    ASSERT_EQ(::mkfifo((dir.Path() / names[i]).c_str(), 0600), 0);
  }
  std::filesystem::create_symlink(dir.Path() / "pipe.flac", dir.Path() / "link.oga");
  const std::string root = NativePathToCp1252(dir.Path().string());
  const testing::ChildOutcome outcome = testing::RunInChild(
      [&] {
        int wrong = 0;
        for (const std::string& name : names) {
          TAudioFile f;
          f.LoadFromFile(root + "/" + name);
          if (f.Title != name || f.Artist != "Titel ist unbekannt" || f.Duration != 0) ++wrong;
        }
        return wrong;
      },
      0, 30);
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

// Tags as other programs write them, written here by TagLib into copies of the
// fixtures: repeated and blank values, a year inside a longer text, a FLAC file
// whose tags are in an ID3v2 tag, text the code page cannot hold.
TEST(TaggedFileTest, TagsWrittenByTagLibAreReadAsTheyMean) {
  TempDir dir;
  struct Case {
    const char* fixture;
    std::string name;
    void (*write)(const char* path);
    Record expected;
  };
  const std::vector<Case> cases = {
      {"untagged.flac", "repeated.flac",
       [](const char* path) {
         TagLib::FLAC::File file(path);
         TagLib::Ogg::XiphComment* c = file.xiphComment(true);
         c->addField("ARTIST", "  ", false);
         c->addField("ARTIST", " Erste ", false);
         c->addField("ARTIST", "Zweite", false);
         c->addField("TITLE", " Titel\t");
         c->addField("YEAR", "ca. 1975");
         c->addField("GENRE", "17");  // a text, not an ID3v1 genre number
         file.save();
       },
       {"Titel", "Erste", "1975", "17", 2}},
      {"untagged.flac", "id3v2.flac",
       [](const char* path) {
         TagLib::FLAC::File file(path);
         TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
         tag->setArtist(TagLib::String("ID3 K\u00fcnstler", TagLib::String::UTF8));
         tag->setTitle("ID3 Titel");
         tag->setYear(1999);
         tag->setGenre("Soul");
         file.save();
       },
       {"ID3 Titel", "ID3 K\xFCnstler", "1999", "Soul", 2}},
      {"untagged.m4a", "kauf.m4a",
       [](const char* path) {
         TagLib::MP4::File file(path);
         TagLib::MP4::Tag* tag = file.tag();
         tag->setTitle(TagLib::String("5 \u20ac f\u00fcr \u266b", TagLib::String::UTF8));
         tag->setItem("\251day", TagLib::StringList("2004-05-06T00:00:00Z"));
         file.save();
       },
       {"5 \x80 f\xFCr ?", "", "2004", "Blues", 4}},
      {"untagged.opus", "genres.opus",
       [](const char* path) {
         TagLib::Ogg::Opus::File file(path);
         TagLib::Ogg::XiphComment* c = file.tag();
         c->addField("DATE", "Mai 2019");
         c->addField("GENRE", "", false);
         c->addField("GENRE", "Techno", false);
         c->addField("GENRE", "House", false);
         file.save();
       },
       {"genres.opus", "", "2019", "Techno", 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Copy(dir, c.fixture, c.name);
    c.write(path.c_str());
    TAudioFile f;
    f.LoadFromFile(path);
    ExpectRecord(f, c.expected);
  }
}

TEST(TaggedFileTest, YearIsTheFirstFourDigitsOfTheDate) {
  const struct {
    const char* date;
    const char* year;
  } cases[] = {
      {"1993-06-07", "1993"}, {"07.06.1993", "1993"}, {"20190101", "2019"}, {"ca. 1975", "1975"},
      {"'93 / 1994", "1994"}, {"93", ""},             {"", ""},              {"12-345-6789", "6789"},
  };
  for (const auto& c : cases) EXPECT_EQ(YearOfDate(c.date), c.year) << c.date;
}

}  // namespace
}  // namespace orvela
