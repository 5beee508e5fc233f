#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "metadata/id3_genres.h"
#include "metadata/id3v1_tag.h"
#include "metadata/reader_errors.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

using test::Bytes;

Bytes Pad(std::string_view s, std::size_t n) {
  Bytes b(s.substr(0, n));
  b.resize(n, '\0');
  return b;
}

// A 128-byte tag; `comment` gives bytes 97..126 whole, so the test decides bytes 125/126.
Bytes V1(std::string_view title, std::string_view artist, std::string_view year,
         std::string_view comment, std::uint8_t genre, std::string_view marker = "TAG") {
  return Bytes(marker) + Pad(title, 30) + Pad(artist, 30) + Pad("Album", 30) + Pad(year, 4) +
         Pad(comment, 30) + static_cast<char>(genre);
}

TEST(ID3v1Tag, ResultCodes) {
  struct Case {
    const char* name;
    Bytes file;
    std::uint8_t code;
  };
  const Case cases[] = {
      {"empty file", Bytes(), kTagTooShort},
      {"100 bytes", Bytes(100, 'x'), kTagTooShort},
      {"127 bytes ending in a tag", V1("T", "A", "1999", "", 1).substr(1), kTagTooShort},
      {"no tag", Bytes(300, '\xFF'), kTagNotFound},
      {"lower-case marker", V1("T", "A", "1999", "", 1, "tag"), kTagNotFound},
      {"marker one byte early", Bytes(10, '\xFF') + V1("T", "A", "1999", "", 1) + "z", kTagNotFound},
      {"tag alone", V1("T", "A", "1999", "", 1), kTagReadOk},
      {"tag behind audio", Bytes(1000, '\xFB') + V1("T", "A", "1999", "", 1), kTagReadOk},
  };
  for (const auto& c : cases) {
    TID3v1Tag tag;
    EXPECT_EQ(tag.ReadFromBuffer(c.file), c.code) << c.name;
    EXPECT_EQ(tag.Exists, c.code == kTagReadOk) << c.name;
    if (c.code != kTagReadOk) {
      // Fields as after Clear; genre 0 is what the audio file record relies on.
      EXPECT_EQ(tag.Title, Bytes(30, '\0')) << c.name;
      EXPECT_EQ(tag.Year, Bytes(4, '\0')) << c.name;
      EXPECT_EQ(tag.GetTitle(), "") << c.name;
      EXPECT_EQ(tag.GetGenre(), "Blues") << c.name;
    }
  }
}

TEST(ID3v1Tag, VersionDetectionAndComment) {
  struct Case {
    char byte125;
    char byte126;
    bool v11;
    std::uint8_t track;
    Bytes comment;
  };
  const Case cases[] = {
      {'\0', '\x05', true, 5, Pad("note", 28) + Bytes(2, '\0')},
      {'\0', '\0', false, 0, Pad("note", 30)},
      {'x', '\x05', false, 0, Pad("note", 28) + "x\x05"},
      {'x', '\0', false, 0, Pad("note", 28) + Bytes("x\0", 2)},
  };
  for (const auto& c : cases) {
    const Bytes comment = Pad("note", 28) + c.byte125 + c.byte126;
    TID3v1Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(V1("T", "A", "1999", comment, 1)), kTagReadOk);
    EXPECT_EQ(tag.IsVersion11, c.v11) << int(c.byte125) << "/" << int(c.byte126);
    EXPECT_EQ(tag.Track, c.track);
    EXPECT_EQ(tag.Comment, c.comment);
  }
}

TEST(ID3v1Tag, WholeFieldsAndTrimming) {
  const Bytes title = Bytes("Ab\0cd", 5);
  TID3v1Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(V1(title, "  Band \x01", " 99 ", "", 17)), kTagReadOk);
  EXPECT_EQ(tag.Title, Pad(title, 30));         // not cut at the first zero
  EXPECT_EQ(tag.GetTitle(), "Ab");              // the text ends at the first zero
  EXPECT_EQ(tag.GetArtist(), "Band");
  EXPECT_EQ(tag.Year, " 99");                   // stored with only the end trimmed
  EXPECT_EQ(tag.GetYear(), "99");
  EXPECT_EQ(tag.Album, Pad("Album", 30));
  EXPECT_EQ(tag.GetGenre(), "Rock");

  ASSERT_EQ(tag.ReadFromBuffer(V1("Hello", "", "    ", "", 0)), kTagReadOk);
  EXPECT_EQ(tag.GetTitle(), "Hello");
  EXPECT_EQ(tag.GetArtist(), "");
  EXPECT_EQ(tag.Year, "");
  EXPECT_EQ(tag.GetYear(), "");

  // Code-page bytes pass through untouched, and a full 30-byte field is kept whole.
  const Bytes full = "\xC4rger \x80 " + Bytes(22, 'z');
  ASSERT_EQ(tag.ReadFromBuffer(V1(full, "x", "2000", "", 0)), kTagReadOk);
  EXPECT_EQ(tag.GetTitle(), full);
}

TEST(ID3v1Tag, GenreByte) {
  const std::pair<std::uint8_t, std::string> cases[] = {
      {0, "Blues"}, {17, "Rock"}, {125, "Dance Hall"}, {126, ""}, {255, ""}};
  for (const auto& [genre, name] : cases) {
    TID3v1Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(V1("T", "A", "1999", "", genre)), kTagReadOk);
    EXPECT_EQ(tag.Genre, genre);
    EXPECT_EQ(tag.GetGenre(), name) << int(genre);
  }
}

TEST(ID3v1Tag, ReadAgainStartsFromClear) {
  TID3v1Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(V1("Old", "Band", "1999", "", 17)), kTagReadOk);
  EXPECT_EQ(tag.ReadFromBuffer(Bytes(200, 'x')), kTagNotFound);
  EXPECT_FALSE(tag.Exists);
  EXPECT_EQ(tag.GetTitle(), "");
  EXPECT_EQ(tag.GetGenre(), "Blues");
}

TEST(ID3v1Tag, FileAndStreamReadOnlyTheLastBytes) {
  const Bytes file = Bytes(5000, '\xAA') + V1("Song", "Band", "2001", "", 13);
  const auto path = std::filesystem::path(testing::TempDir()) / "id3v1 \xC3\xA4.mp3";
  std::ofstream(path, std::ios::binary) << file;

  TID3v1Tag fromFile;
  EXPECT_EQ(fromFile.ReadFromFile("" + std::string(testing::TempDir()) + "/id3v1 \xE4.mp3"),
            kTagReadOk);  // the path is code-page text
  EXPECT_EQ(fromFile.GetTitle(), "Song");
  EXPECT_EQ(fromFile.GetGenre(), "Pop");

  test::CountingBuf buf(file);
  std::istream stream(&buf);
  TID3v1Tag fromStream;
  EXPECT_EQ(fromStream.ReadFromStream(stream), kTagReadOk);
  EXPECT_EQ(fromStream.GetArtist(), "Band");
  EXPECT_EQ(buf.BytesRead(), 128u);

  TID3v1Tag missing;
  EXPECT_EQ(missing.ReadFromFile(std::string(testing::TempDir()) + "/no such file.mp3"),
            kTagTooShort);
  EXPECT_FALSE(missing.Exists);
  std::filesystem::remove(path);
}

TEST(ID3v1Tag, ReadFailureIsReportedNotThrown) {
  std::string reported;
  SetReaderErrorHandler([&](const std::string& text) { reported = text; });
  test::CountingBuf buf(Bytes(1000, 'x') + V1("Song", "Band", "2001", "", 13), true);
  std::istream stream(&buf);
  TID3v1Tag tag;
  EXPECT_EQ(tag.ReadFromStream(stream), kTagError);
  SetReaderErrorHandler(nullptr);
  EXPECT_FALSE(reported.empty());
  EXPECT_FALSE(tag.Exists);
  EXPECT_EQ(tag.Title, Bytes(30, '\0'));
  EXPECT_EQ(tag.GetGenre(), "Blues");
}

TEST(ID3Genres, TableAsTheCollectionShowsIt) {
  ASSERT_EQ(ID3Genres::Names().size(), 126u);
  const std::pair<int, const char*> spot[] = {
      {0, "Blues"},          {14, "R&B"},          {29, "Jazz+Funk"},
      {40, "AlternRock"},    {60, "Top 40"},       {62, "Pop/Funk"},
      {67, "Psychadelic"},   {78, "Rock & Roll"},  {85, "Bebob"},
      {90, "Avantgarde"},    {92, "Progessive Rock"}, {93, "Psychedelic Rock"},
      {100, "Humour"},       {109, "Porn Groove"}, {123, "A capella"},
      {124, "Euro-House"},   {125, "Dance Hall"},
  };
  for (const auto& [index, name] : spot) EXPECT_EQ(ID3Genres::Name(index), name) << index;
  EXPECT_EQ(ID3Genres::Name(-1), "");
  EXPECT_EQ(ID3Genres::Name(126), "");
  // Names are unique, so IndexOf finds each at its own place.
  for (int i = 0; i < ID3Genres::Count; ++i) EXPECT_EQ(ID3Genres::IndexOf(ID3Genres::Name(i)), i);
  EXPECT_EQ(ID3Genres::IndexOf("rOCK"), 17);
  EXPECT_EQ(ID3Genres::IndexOf("Rock "), -1);
  EXPECT_EQ(ID3Genres::IndexOf(""), -1);
}

}  // namespace
}  // namespace orvela
