#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "record_check.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::AsfBuilder;
using testing::StringAttribute;
using testing::TempDir;

// 128 kbit/s MPEG-1 Layer III frames with silent payload: `count` frames take
// count * 417 bytes, so 300 frames are 125,100 bytes, 7 whole seconds.
std::string SilentMp3(int count = 300) { return testing::Frames({}, 417, count); }

using testing::ExpectRecord;
using testing::Record;

std::string V1Tag(const std::string& title, const std::string& artist, const std::string& year = "",
                  int genre = 255) {
  demo::Id3v1Fields fields;
  fields.title = title;
  fields.artist = artist;
  fields.year = year;
  fields.genre = genre;
  return demo::BuildId3v1Tag(fields);
}

Record Defaults(const std::string& fileName) { return {fileName, "Titel ist unbekannt", "0000", "n.vorhanden", 0}; }

TEST(AudioFileTest, NewRecordIsEmpty) {
  const TAudioFile f;
  ExpectRecord(f, {"", "", "", "", 0});
  EXPECT_EQ(f.FilePath, "");
}

TEST(AudioFileTest, DefaultsForUnreadableFiles) {
  TempDir dir;
  const std::string root = dir.Path().string();
  dir.Write("song.ogg", SilentMp3());  // MPEG audio, but the extension decides
  dir.Write("noext", SilentMp3());
  dir.Write("text.mp3", "ID3 is not enough, nor is TAG");
  const std::string taggedText = demo::BuildId3v2Tag(3, {{"TIT2", "Tagged", ""}, {"TPE1", "Someone", ""}}) +
                                 std::string(2000, 'x') + V1Tag("V1 Title", "V1 Artist");
  dir.Write("tagged-text.mp3", taggedText);
  dir.Write("asf.mp3", AsfBuilder().PlausibleAudio().ContentDescription(u"T", u"A").Build());
  dir.Write("short.wma", "0123456789");
  std::filesystem::create_directory(dir.Path() / "folder.mp3");

  struct Case {
    std::string path;
    std::string fileName;
  };
  const std::vector<Case> cases = {
      {root + "/song.ogg", "song.ogg"},
      {root + "/missing.ogg", "missing.ogg"},
      {root + "/noext", "noext"},
      {root + "/sub.dir/noext", "noext"},  // a dot in a folder name is no extension
      {root + "/missing.mp3", "missing.mp3"},
      {root + "/MISSING.MP3", "MISSING.MP3"},
      {root + "/missing.wma", "missing.wma"},
      {root + "/text.mp3", "text.mp3"},
      {root + "/tagged-text.mp3", "tagged-text.mp3"},  // tags, but no frame: tags ignored
      {root + "/asf.mp3", "asf.mp3"},
      {root + "/short.wma", "short.wma"},  // too short for an ASF header: unreadable
      {root + "/folder.mp3", "folder.mp3"},
      {"relative.wav", "relative.wav"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TAudioFile f;
    f.LoadFromFile(c.path);
    EXPECT_EQ(f.FilePath, c.path);
    ExpectRecord(f, Defaults(c.fileName));
  }
}

TEST(AudioFileTest, ExtensionChoosesTheReaderIgnoringCase) {
  TempDir dir;
  struct Case {
    std::string name;
    Record expected;
  };
  const std::vector<Case> cases = {
      {"a.mp3", {"a.mp3", "", "", "Blues", 7}},
      {"b.MP3", {"b.MP3", "", "", "Blues", 7}},
      {"c.Mp2", {"c.Mp2", "", "", "Blues", 7}},
      {"d.mp1", {"d.mp1", "", "", "Blues", 7}},
      {"e.mp3.ogg", Defaults("e.mp3.ogg")},
      // MPEG audio behind a .wma name: not ASF, so the file name and nothing else.
      {"f.WMA", {"f.WMA", "", "", "", 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TAudioFile f;
    f.LoadFromFile(dir.Write(c.name, SilentMp3()));
    ExpectRecord(f, c.expected);
    TAudioFile fromMemory;
    fromMemory.LoadFromBuffer(c.name, SilentMp3());
    ExpectRecord(fromMemory, c.expected);
  }
}

TEST(AudioFileTest, TagsArePreferredFieldByField) {
  using demo::Id3Frame;
  using demo::Id3TextEncoding;
  struct Case {
    const char* name;
    std::string before;
    std::string after;
    Record expected;
  };
  const std::string v1 = V1Tag("V1 Title", "V1 Artist", "1987", 17);
  const std::vector<Case> cases = {
      {"v2 title, v1 artist",
       demo::BuildId3v2Tag(3, {{"TIT2", "V2 Title", ""}}), v1, {"V2 Title", "V1 Artist", "1987", "Rock", 7}},
      {"v2 over v1 everywhere",
       demo::BuildId3v2Tag(3, {{"TIT2", "T2", ""}, {"TPE1", "A2", ""}, {"TYER", "2001", ""}, {"TCON", "Jazz", ""}}),
       v1, {"T2", "A2", "2001", "Jazz", 7}},
      {"numeric genre and full recording date",
       demo::BuildId3v2Tag(4, {{"TDRC", "2001-05-17", ""}, {"TCON", "(17)", ""}}), "",
       {"f.mp3", "", "2001-05-17", "Rock", 7}},
      {"v1 only", "", v1, {"V1 Title", "V1 Artist", "1987", "Rock", 7}},
      {"v1 genre none", "", V1Tag("", ""), {"f.mp3", "", "", "", 7}},
      {"UTF-16 text to the code page",
       demo::BuildId3v2Tag(3, {{"TIT2", "Müller – 日本", ""}}, Id3TextEncoding::Utf16), "",
       {"M\xFCller \x96 ??", "", "", "Blues", 7}},
      {"UTF-8 text to the code page",
       demo::BuildId3v2Tag(4, {{"TPE1", "Bj\xC3\xB6rk", ""}}, Id3TextEncoding::Utf8), "",
       {"f.mp3", "Bj\xF6rk", "", "Blues", 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TAudioFile f;
    f.LoadFromBuffer("/music/f.mp3", c.before + SilentMp3() + c.after);
    // The ID3v1 tag counts into the duration; 128 more bytes do not change it.
    ExpectRecord(f, c.expected);
  }
}

TEST(AudioFileTest, SearchStartsBehindTheId3v2Tag) {
  // A tag whose private frame holds a perfect 32 kbit/s frame triple: read from
  // offset 0 it would be taken for the audio and give a far longer duration.
  const std::string decoy = testing::Frames({1, 3, 1, 0, false, 0}, 104, 3);
  const std::string tag = demo::BuildId3v2Tag(3, {{"TIT2", "Decoy", ""}, {"PRIV", "", std::string("owner\0", 6) + decoy}});
  TAudioFile f;
  f.LoadFromBuffer("x.mp3", tag + SilentMp3());
  EXPECT_EQ(f.Title, "Decoy");
  EXPECT_EQ(f.Duration, 7);
}

TEST(AudioFileTest, WmaFields) {
  const std::string header = AsfBuilder()
                                 .FileProperties(128000)
                                 .StreamProperties(2, 44100, 16000)
                                 .ContentDescription(u"Titel \u2013 \u65E5", u"K\u00FCnstler")
                                 .ExtendedContent({StringAttribute(u"WM/Year", u"1999"),
                                                   StringAttribute(u"WM/Genre", u"Pop")})
                                 .Build();
  TempDir dir;
  TAudioFile f;
  f.LoadFromFile(dir.Write("song.wma", header + std::string(5000000 - header.size(), '\0')));
  // 312.5 s to the even neighbour; the genre is read but never stored.
  ExpectRecord(f, {"Titel \x96 ?", "K\xFCnstler", "1999", "", 312});

  TAudioFile untitled;
  untitled.Genre = "kept";
  untitled.LoadFromBuffer("/m/untitled.wma", AsfBuilder().PlausibleAudio().Build());
  EXPECT_EQ(untitled.Title, "untitled.wma");
  EXPECT_EQ(untitled.Genre, "kept");
}

TEST(AudioFileTest, WmaDurationRoundsHalvesToEven) {
  struct Case {
    std::size_t size;
    std::uint32_t maxBitRate;
    int seconds;
  };
  // size * 8 / maxBitRate: 200.5, 201.5, 2.5, 3.5, 0.5, 1.5, 200.4, 200.6
  for (const Case& c : {Case{802, 32, 200}, Case{806, 32, 202}, Case{1000, 3200, 2}, Case{1400, 3200, 4},
                        Case{1000, 16000, 0}, Case{1500, 8000, 2}, Case{1002, 40, 200}, Case{1003, 40, 201}}) {
    SCOPED_TRACE(c.size * 8.0 / c.maxBitRate);
    std::string bytes = AsfBuilder().PlausibleAudio(c.maxBitRate).Build();
    ASSERT_LE(bytes.size(), c.size);
    bytes.resize(c.size, '\0');
    TAudioFile f;
    f.LoadFromBuffer("r.wma", bytes);
    EXPECT_EQ(f.Duration, c.seconds);
  }
}

TEST(AudioFileTest, GettersSubstituteOnlyWhenNothingIsThere) {
  struct Case {
    std::string value;
    std::string artist, title, year, genre;
  };
  const std::vector<Case> cases = {
      {"", "Interpret ist unbekannt", "Titel ist unbekannt", "0000", "n.vorhanden"},
      {" \t\r\n", "Interpret ist unbekannt", "Titel ist unbekannt", " \t\r\n", " \t\r\n"},
      {std::string(1, '\0'), "Interpret ist unbekannt", "Titel ist unbekannt", std::string(1, '\0'),
       std::string(1, '\0')},
      {" x ", " x ", " x ", " x ", " x "},
  };
  for (const auto& c : cases) {
    TAudioFile f;
    f.Artist = f.Title = f.Year = f.Genre = c.value;
    EXPECT_EQ(f.GetArtist(), c.artist);
    EXPECT_EQ(f.GetTitle(), c.title);
    EXPECT_EQ(f.GetYear(), c.year);
    EXPECT_EQ(f.GetGenre(), c.genre);
  }
}

TEST(AudioFileTest, DisplayName) {
  struct Case {
    std::string artist, title, shown;
  };
  for (const auto& c : {Case{"A", "T", "A - T"}, Case{"   ", "T", "T"}, Case{" A", "T ", " A - T "},
                        Case{"", "", ""}, Case{"A", "", "A - "}}) {
    TAudioFile f;
    f.Artist = c.artist;
    f.Title = c.title;
    EXPECT_EQ(f.GetDisplayName(), c.shown) << "[" << c.artist << "]";
  }
}

TEST(AudioFileTest, AssignReplacesEveryField) {
  TAudioFile source;
  source.Genre = "Rock";
  source.Year = "1970";
  source.Artist = "Artist";
  source.Title = "Title";
  source.FilePath = "/a/b.mp3";
  source.Duration = 321;
  TAudioFile target;
  target.LoadFromFile("/old/other.ogg");
  target.Assign(source);
  ExpectRecord(target, {"Title", "Artist", "1970", "Rock", 321});
  EXPECT_EQ(target.FilePath, "/a/b.mp3");
  source.Title = "changed";
  EXPECT_EQ(target.Title, "Title");
}

// Real encoded streams of a 12.5 s tone: whatever the encoder puts in front (a
// Xing or Info frame, an ID3v2 tag, padding), the truncated time must be 12 s.
TEST(AudioFileTest, EncodedFilesHaveTheirDuration) {
  struct Case {
    const char* name;
    demo::Format format;
    demo::EncodeOptions options;
    int rate;
    int channels;
  };
  auto opts = [](int bitRate, bool vbr, bool xing, int id3) {
    demo::EncodeOptions o;
    o.bitRate = bitRate;
    o.vbr = vbr;
    o.writeXing = xing;
    o.id3v2Version = id3;
    return o;
  };
  const std::vector<Case> cases = {
      {"mp3 cbr 128k", demo::Format::Mp3, opts(128000, false, false, 0), 44100, 2},
      {"mp3 cbr with info frame and id3v2", demo::Format::Mp3, opts(128000, false, true, 3), 44100, 2},
      {"mp3 vbr with xing", demo::Format::Mp3, opts(128000, true, true, 4), 44100, 2},
      {"mp3 mpeg-2 mono 32k", demo::Format::Mp3, opts(32000, false, false, 0), 22050, 1},
      {"mp2 192k 48 kHz", demo::Format::Mp2, opts(192000, false, false, 0), 48000, 2},
      {"mp2 mpeg-2 stereo 32k", demo::Format::Mp2, opts(32000, false, false, 0), 24000, 2},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (demo::EncoderFor(c.format) == nullptr) GTEST_SKIP() << "no encoder for " << c.name;
    const demo::Pcm pcm = demo::SynthesizeTone(440.0, 12.5, 0.5, c.rate, c.channels);
    const std::string path = (dir.Path() / (std::string("tone") + demo::FormatExtension(c.format))).string();
    std::string error;
    ASSERT_TRUE(demo::EncodeAudio(path, c.format, pcm, c.options, &error)) << error;
    TAudioFile f;
    f.LoadFromFile(path);
    EXPECT_EQ(f.Duration, 12);
    EXPECT_EQ(f.Title, std::string("tone") + demo::FormatExtension(c.format));
  }
}

TEST(AudioFileTest, EncodedFileWithBothTags) {
  if (demo::EncoderFor(demo::Format::Mp3) == nullptr) GTEST_SKIP() << "no MP3 encoder";
  const std::string audio = demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(330.0, 5.5));
  ASSERT_FALSE(audio.empty());
  TempDir dir;
  const std::string path = (dir.Path() / "Gr\xC3\xBC\xC3\x9F" "e.mp3").string();  // "Grüße.mp3"
  ASSERT_TRUE(demo::WriteTaggedMp3(path, demo::BuildId3v2Tag(3, {{"TPE1", "Die Ärzte", ""}}),
                                   audio, V1Tag("Westerland", "ignored", "1988", 13)));
  TAudioFile f;
  const std::string cpPath = NativePathToCp1252(path);
  f.LoadFromFile(cpPath);
  EXPECT_EQ(f.FilePath, cpPath);
  ExpectRecord(f, {"Westerland", "Die \xC4rzte", "1988", "Pop", 5});
}

}  // namespace
}  // namespace orvela
