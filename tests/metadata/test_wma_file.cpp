#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "metadata/wma_file.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::AsfAttribute;
using testing::AsfBuilder;
using testing::StringAttribute;

// A header padded with zero bytes to a file of `size` bytes.
std::string Padded(std::string header, std::size_t size) {
  header.resize(size, '\0');
  return header;
}

TEST(WmaFileTest, DurationFromFileSizeAndMaximumBitRate) {
  struct Case {
    std::size_t size;
    std::uint32_t maxBitRate;
    double duration;
  };
  for (const Case& c : {Case{5000000, 128000, 312.5}, Case{1000, 16, 500.0}, Case{1001, 16, 500.5},
                        Case{4096, 319999, 4096.0 * 8 / 319999}}) {
    SCOPED_TRACE(c.size);
    TWMAfile wma;
    EXPECT_TRUE(wma.ReadFromBuffer(Padded(AsfBuilder().PlausibleAudio(c.maxBitRate).Build(), c.size)));
    EXPECT_TRUE(wma.Valid);
    EXPECT_DOUBLE_EQ(wma.Duration, c.duration);
    EXPECT_EQ(wma.FileSize, static_cast<std::int64_t>(c.size));
    EXPECT_EQ(wma.Channels, 2);
    EXPECT_EQ(wma.SampleRate, 44100);
    EXPECT_EQ(wma.BitRate, 128);  // 16000 bytes/s
  }
}

TEST(WmaFileTest, LargeFileFromDisk) {
  testing::TempDir dir;
  const std::string path = dir.WriteSparse("big.wma", AsfBuilder().PlausibleAudio(192000).Build(), 300000000);
  TWMAfile wma;
  EXPECT_TRUE(wma.ReadFromFile(Cp1252ToUtf16(path)));
  EXPECT_TRUE(wma.Valid);
  EXPECT_DOUBLE_EQ(wma.Duration, 12500.0);
}

TEST(WmaFileTest, PlausibilityLimits) {
  struct Case {
    const char* name;
    std::uint32_t maxBitRate;
    std::uint16_t channels;
    std::uint32_t sampleRate;
    std::uint32_t byteRate;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"typical", 128000, 2, 44100, 16000, true},
      {"mono at the lowest rates", 1, 1, 8000, 1, true},
      {"highest accepted values", 319999, 2, 96000, 39999, true},
      {"six channels", 128000, 6, 44100, 16000, false},
      {"no channels", 128000, 0, 44100, 16000, false},
      {"192 kHz", 128000, 2, 192000, 16000, false},
      {"7999 Hz", 128000, 2, 7999, 16000, false},
      {"no maximum bit rate", 0, 2, 44100, 16000, false},
      {"maximum bit rate 320000", 320000, 2, 44100, 40000, true},
      {"lossless 24-bit 96 kHz", 4608000, 2, 96000, 576000, true},
      {"highest accepted rates", 10000000, 2, 96000, 1250000, true},
      {"maximum bit rate past 10 Mbit/s", 10000001, 2, 44100, 16000, false},
      {"no byte rate", 128000, 2, 44100, 0, false},
      {"byte rate past 10 Mbit/s", 128000, 2, 44100, 1250001, false},
      // The channel count is 16 bits on disk; only its low byte is kept, after the test.
      {"258 channels", 128000, 258, 44100, 16000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = AsfBuilder()
                                  .FileProperties(c.maxBitRate)
                                  .StreamProperties(c.channels, c.sampleRate, c.byteRate)
                                  .ContentDescription(u"Title", u"Artist")
                                  .Build();
    TWMAfile wma;
    EXPECT_TRUE(wma.ReadFromBuffer(bytes));
    EXPECT_EQ(wma.Valid, c.valid);
    EXPECT_EQ(wma.Title, c.valid ? u"Title" : u"");
    EXPECT_EQ(wma.Artist, c.valid ? u"Artist" : u"");
    if (!c.valid) {
      EXPECT_EQ(wma.Duration, 0.0);
      EXPECT_EQ(wma.SampleRate, 0);
      EXPECT_EQ(wma.FileSize, 0);
    }
  }
}

TEST(WmaFileTest, AttributeNamesAreTrimmedAndUpperCased) {
  struct Case {
    const char* label;
    std::u16string name;
    bool sets;
  };
  const std::vector<Case> cases = {
      {"exact", u"WM/Year", true},
      {"upper", u"WM/YEAR", true},
      {"lower with blanks", u"  wm/year \t", true},
      {"mixed", u"wM/yEaR", true},
      {"longer name", u"WM/YearX", false},
      {"other name", u"WM/OriginalYear", false},
      // Only a..z fold: a dotless capital I is no I.
      {"non-ascii letter", u"WM/YEAR\u0130", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string bytes =
        AsfBuilder().PlausibleAudio().ExtendedContent({StringAttribute(c.name, u" 1999 ")}).Build();
    TWMAfile wma;
    EXPECT_TRUE(wma.ReadFromBuffer(bytes));
    EXPECT_EQ(wma.Year, c.sets ? u"1999" : u"");
  }
}

TEST(WmaFileTest, EverySlotAndTheTrackNumber) {
  const std::string bytes = AsfBuilder()
                                .PlausibleAudio()
                                .ExtendedContent({StringAttribute(u"WM/Title", u"T"),
                                                  StringAttribute(u"WM/Author", u"A"),
                                                  StringAttribute(u"WM/AlbumTitle", u"Al"),
                                                  StringAttribute(u"WM/Track", u" 12 "),
                                                  StringAttribute(u"WM/Year", u"2004"),
                                                  StringAttribute(u"WM/Genre", u"Rock"),
                                                  StringAttribute(u"WM/Description", u"C")})
                                .Build();
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromBuffer(bytes));
  EXPECT_EQ(wma.Title, u"T");
  EXPECT_EQ(wma.Artist, u"A");
  EXPECT_EQ(wma.Album, u"Al");
  EXPECT_EQ(wma.Track, 12);
  EXPECT_EQ(wma.Year, u"2004");
  EXPECT_EQ(wma.Genre, u"Rock");
  EXPECT_EQ(wma.Comment, u"C");

  struct TrackCase {
    std::u16string text;
    int track;
  };
  for (const auto& t : {TrackCase{u"7", 7}, TrackCase{u"-3", -3}, TrackCase{u"7/12", 0},
                        TrackCase{u"", 0}, TrackCase{u"99999999999", 0}, TrackCase{u"x", 0}}) {
    TWMAfile w;
    ASSERT_TRUE(w.ReadFromBuffer(
        AsfBuilder().PlausibleAudio().ExtendedContent({StringAttribute(u"WM/TRACK", t.text)}).Build()));
    EXPECT_EQ(w.Track, t.track) << std::string(t.text.begin(), t.text.end());
  }
}

TEST(WmaFileTest, NonStringValuesSetNothing) {
  std::string dword;
  testing::PutLe(dword, 5, 4);
  // A number value between two strings must neither be taken nor inherit the
  // value read before it, and the walk must still find the string behind it.
  const std::string bytes = AsfBuilder()
                                .PlausibleAudio()
                                .ExtendedContent({StringAttribute(u"WM/Genre", u"9"),
                                                  AsfAttribute{u"WM/TRACK", 3, dword},
                                                  AsfAttribute{u"WM/Year", 3, dword},
                                                  StringAttribute(u"WM/Title", u"After")})
                                .Build();
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromBuffer(bytes));
  EXPECT_EQ(wma.Track, 0);
  EXPECT_EQ(wma.Year, u"");
  EXPECT_EQ(wma.Genre, u"9");
  EXPECT_EQ(wma.Title, u"After");
}

TEST(WmaFileTest, LongAndOddStringsAreCutAndSkipped) {
  const std::u16string longTitle(300, u'x');
  std::string oddValue = testing::Utf16Le(u"abc", false) + "Z";  // 7 bytes: 3 characters
  const std::string bytes = AsfBuilder()
                                .PlausibleAudio()
                                .ContentDescription(longTitle, u"Artist")
                                .ExtendedContent({AsfAttribute{u"WM/Year", 0, oddValue},
                                                  StringAttribute(u"WM/Genre", u"Jazz")})
                                .Build();
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromBuffer(bytes));
  EXPECT_EQ(wma.Title, std::u16string(250, u'x'));
  EXPECT_EQ(wma.Artist, u"Artist");  // read behind the skipped rest of the title
  EXPECT_EQ(wma.Year, u"abc");
  EXPECT_EQ(wma.Genre, u"Jazz");
}

TEST(WmaFileTest, LaterObjectWins) {
  const auto withExtendedLast = AsfBuilder()
                                    .PlausibleAudio()
                                    .ContentDescription(u"First", u"Author", u"(c)", u"Desc", u"R")
                                    .ExtendedContent({StringAttribute(u"WM/Title", u"Second")})
                                    .Build();
  const auto withContentLast = AsfBuilder()
                                   .PlausibleAudio()
                                   .ExtendedContent({StringAttribute(u"WM/Title", u"Second")})
                                   .ContentDescription(u"First", u"Author", u"(c)", u"Desc", u"R")
                                   .Build();
  TWMAfile a;
  ASSERT_TRUE(a.ReadFromBuffer(withExtendedLast));
  EXPECT_EQ(a.Title, u"Second");
  EXPECT_EQ(a.Artist, u"Author");
  EXPECT_EQ(a.Comment, u"Desc");
  TWMAfile b;
  ASSERT_TRUE(b.ReadFromBuffer(withContentLast));
  EXPECT_EQ(b.Title, u"First");

  // Several stream objects: the last one counts, here an implausible one.
  TWMAfile c;
  ASSERT_TRUE(c.ReadFromBuffer(AsfBuilder().PlausibleAudio().StreamProperties(6, 44100, 16000).Build()));
  EXPECT_FALSE(c.Valid);
}

TEST(WmaFileTest, WalkSkipsUnknownObjects) {
  const std::string bytes = AsfBuilder()
                                .Object(testing::kAsfOther, std::string(500, '\x7F'))
                                .PlausibleAudio()
                                .Object(testing::kAsfOther, std::string(3, '\0'))
                                .ContentDescription(u"Title", u"")
                                .Build();
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromBuffer(bytes));
  EXPECT_TRUE(wma.Valid);
  EXPECT_EQ(wma.Title, u"Title");
}

TEST(WmaFileTest, DamagedAndForeignFiles) {
  const std::string good = AsfBuilder().PlausibleAudio().ContentDescription(u"T", u"A").Build();
  struct Case {
    const char* name;
    std::string bytes;
    bool answer;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"complete", good, true, true},
      {"empty file", "", false, false},
      {"shorter than a GUID", good.substr(0, 15), false, false},
      {"MPEG audio", std::string("\xFF\xFB\x90\x00", 4) + std::string(1000, '\0'), true, false},
      {"cut inside the header object", good.substr(0, 28), false, false},
      {"cut inside the content description", good.substr(0, good.size() - 3), false, false},
      // The object count promises a fourth object the file does not hold.
      {"too many objects", AsfBuilder().PlausibleAudio().ContentDescription(u"T", u"A").Build(4), false, false},
      // A count of 0 walks nothing: no bit rate, so implausible.
      {"no objects", AsfBuilder().PlausibleAudio().Build(0), true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TWMAfile wma;
    EXPECT_EQ(wma.ReadFromBuffer(c.bytes), c.answer);
    EXPECT_EQ(wma.Valid, c.valid);
    if (!c.valid) {
      EXPECT_EQ(wma.Title, u"");
      EXPECT_EQ(wma.Duration, 0.0);
    }
  }
}

TEST(WmaFileTest, UndersizedObjectEndsTheWalk) {
  // Size fields of 0 and 23 would hold the walk on one spot or move it back;
  // the walk stops there and keeps what it had, whatever the object count says.
  for (std::uint64_t size : {0u, 1u, 23u}) {
    SCOPED_TRACE(size);
    const std::string bytes = AsfBuilder()
                                  .PlausibleAudio()
                                  .Object(testing::kAsfOther, std::string(40, '\0'), size)
                                  .ContentDescription(u"Behind", u"")
                                  .Build(0xFFFFFFFF);
    TWMAfile wma;
    EXPECT_TRUE(wma.ReadFromBuffer(bytes));
    EXPECT_TRUE(wma.Valid);
    EXPECT_EQ(wma.Title, u"");
  }
}

TEST(WmaFileTest, MissingFileAnswersFalse) {
  testing::TempDir dir;
  TWMAfile wma;
  EXPECT_FALSE(wma.ReadFromFile(Cp1252ToUtf16((dir.Path() / "none.wma").string())));
  EXPECT_FALSE(wma.Valid);
}

}  // namespace
}  // namespace orvela
