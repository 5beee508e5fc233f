// Tags as real writers leave them: 2.4 frames with 2.3's plain sizes, UTF-16
// without a byte order mark, several values in one 2.4 frame, and ID3v1 fields
// with garbage behind their end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"
#include "metadata/id3v1_tag.h"
#include "metadata/id3v2_tag.h"
#include "stream_fixtures.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

using test::BigEndian32;
using test::Bytes;
using test::Frame23;
using test::Frame24;
using test::Tag;
using test::Text;

// A 2.4 frame whose size is written the 2.3 way, as a plain 32-bit number.
Bytes PlainFrame24(std::string_view id, std::string_view data) {
  return Bytes(id) + BigEndian32(static_cast<std::uint32_t>(data.size())) + Bytes(2, '\0') + Bytes(data);
}

// Bytes that hold no frame ID anywhere, as a picture's would.
Bytes Binary(std::size_t n) {
  Bytes b(n, '\0');
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<char>(0x80 + (i % 50));
  return b;
}

TEST(Id3WriterQuirksTest, PlainFrameSizesInVersion24) {
  const Bytes picture = Text(0, "image/jpeg") + Bytes(2, '\0') + Binary(700);  // 714 bytes
  const Bytes longTitle = Text(0, Bytes(299, 'L'));                              // 300 bytes
  struct Case {
    const char* name;
    Bytes body;
    std::string title;
    std::string artist;
    std::size_t frames;
  };
  const std::vector<Case> cases = {
      {"picture first, all plain", PlainFrame24("APIC", picture) + PlainFrame24("TIT2", Text(0, "Song")) +
                                       PlainFrame24("TPE1", Text(0, "Band")) + Bytes(100, '\0'),
       "Song", "Band", 3},
      {"long plain title last, then padding",
       PlainFrame24("TPE1", Text(0, "Band")) + PlainFrame24("TIT2", longTitle) + Bytes(30, '\0'), Bytes(299, 'L'),
       "Band", 2},
      {"long plain title filling the tag", PlainFrame24("TPE1", Text(0, "Band")) + PlainFrame24("TIT2", longTitle),
       Bytes(299, 'L'), "Band", 2},
      // Written right: the syncsafe size lands on the next frame and wins, even
      // where the plain one would land on a frame boundary as well.
      {"syncsafe sizes", Frame24("APIC", picture) + Frame24("TIT2", Text(0, "Song")) +
                             Frame24("TPE1", Text(0, "Band")) + Bytes(2000, '\0'),
       "Song", "Band", 3},
      // Neither reading fits: the frames end there, as before.
      {"damaged size", Frame24("TIT2", Text(0, "Song")) + "TPE1" + Bytes("\0\0\x7F\x7F", 4) + Bytes(2, '\0') +
                           Text(0, "Band") + Binary(900),
       "Song", "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(4, 0, c.body) + "\xFF\xFB\x90\x00"), kTagReadOk);
    EXPECT_EQ(tag.Frames.size(), c.frames);
    EXPECT_EQ(tag.GetTitle(), c.title);
    EXPECT_EQ(tag.GetArtist(), c.artist);
  }
}

TEST(Id3WriterQuirksTest, TextEncodings) {
  struct Case {
    const char* name;
    int version;
    Bytes data;  // encoding byte first
    Bytes expected;
  };
  const std::vector<Case> cases = {
      // UTF-16 without a byte order mark: nothing is skipped.
      {"utf16 le without mark", 3, Text(1, Bytes("R\0o\0g\0e\0r\0 \0S\0u\0b\0i\0r\0a\0n\0a\0\0\0", 30)),
       "Roger Subirana"},
      {"utf16 be without mark", 3, Text(1, Bytes("\0R\0o\0g\0e\0r", 10)), "Roger"},
      {"utf16 without mark, code page letter first", 3, Text(1, Bytes("\xC4\0r\0z\0t\0e\0", 10)), "\xC4rzte"},
      {"utf16 one character without mark", 3, Text(1, Bytes("A\0", 2)), "A"},
      // With a mark nothing changes.
      {"utf16 le with mark", 3, Text(1, Bytes("\xFF\xFER\0o\0", 6)), "Ro"},
      {"utf16 be with mark", 3, Text(1, Bytes("\xFE\xFF\0R\0o", 6)), "Ro"},
      // Several values in a 2.4 frame.
      {"latin1 values", 4, Text(0, Bytes("ArtistOne\0ArtistTwo", 19)), "ArtistOne / ArtistTwo"},
      {"trailing zeros separate nothing", 4, Text(0, Bytes("Artist\0\0", 8)), "Artist"},
      {"empty and blank values dropped", 4, Text(0, Bytes("A\0\0 B \0 \0", 9)), "A / B"},
      {"utf8 values", 4, Text(3, Bytes("Gr\xC3\xBC\xC3\x9F" "e\0Tsch\xC3\xBCss\0", 17)), "Gr\xFC\xDF" "e / Tsch\xFCss"},
      {"utf16 values, each with its mark", 4, Text(1, Bytes("\xFF\xFE" "A\0\0\0\xFF\xFE" "B\0\0\0", 12)), "A / B"},
      {"utf16 value marked the other way", 4, Text(1, Bytes("\xFF\xFE" "A\0\0\0\xFE\xFF\0B\0\0", 12)), "A / B"},
      {"utf16be values", 4, Text(2, Bytes("\0A\0\0\0B", 6)), "A / B"},
      // 2.3 writers separate values the same way; a zero is never shown.
      {"2.3 joins at the inner zero", 3, Text(0, Bytes("A\0B", 3)), "A / B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes frame = c.version == 4 ? Frame24("TPE1", c.data) : Frame23("TPE1", c.data);
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(static_cast<std::uint8_t>(c.version), 0, frame)), kTagReadOk);
    EXPECT_EQ(tag.GetArtist(), c.expected);
  }
}

TEST(Id3WriterQuirksTest, Id3v1FieldsEndAtTheirFirstZero) {
  Bytes tag = "TAG" + Bytes(125, '\0');
  tag.replace(3, 14, Bytes("Hello\0garbage!", 14));
  tag.replace(33, 8, Bytes("Band\0\xFF\xFF\xFF", 8));
  tag.replace(93, 4, Bytes("19\0" "7", 4));
  tag[127] = 17;
  TID3v1Tag v1;
  ASSERT_EQ(v1.ReadFromBuffer(tag), kTagReadOk);
  EXPECT_EQ(v1.GetTitle(), "Hello");
  EXPECT_EQ(v1.GetArtist(), "Band");
  EXPECT_EQ(v1.GetYear(), "19");
  EXPECT_EQ(v1.Title.size(), 30u);  // the field itself is kept whole
}

// The whole way through the record, with the demo builder's real tags.
TEST(Id3WriterQuirksTest, RecordOfAFileWithEveryQuirk) {
  const Bytes v24 = Tag(4, 0,
                        PlainFrame24("APIC", Text(0, "image/png") + Bytes(2, '\0') + Binary(1000)) +
                            PlainFrame24("TPE1", Text(0, Bytes("Die \xC4rzte\0Farin Urlaub", 22))) +
                            PlainFrame24("TCON", Text(0, "(17)")) + Bytes(64, '\0'));
  demo::Id3v1Fields fields;
  Bytes v1 = demo::BuildId3v1Tag(fields);
  v1.replace(3, 16, Bytes("Westerland\0\xFF\xFE\x01zz", 16));
  testing::TempDir dir;
  TAudioFile record;
  record.LoadFromFile(dir.Write("quirks.mp3", v24 + testing::Frames({}, 417, 300) + v1));
  EXPECT_EQ(record.Artist, "Die \xC4rzte / Farin Urlaub");
  EXPECT_EQ(record.Title, "Westerland");
  EXPECT_EQ(record.Genre, "Rock");
  EXPECT_EQ(record.Duration, 7);
}

}  // namespace
}  // namespace orvela
