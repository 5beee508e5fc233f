#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metadata/id3v2_frame.h"
#include "metadata/id3v2_tag.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

using namespace test;

std::vector<std::uint8_t> Vec(std::string_view s) { return {s.begin(), s.end()}; }

TEST(ID3v2Frame, IdsOutsideTheAlphabetBecomeX) {
  const std::tuple<std::string, std::uint8_t, std::string> cases[] = {
      {"TIT2", 3, "TIT2"}, {"TT2", 2, "TT2"},   {"TIT2", 2, "XXX"}, {"TT2", 4, "XXXX"},
      {"tit2", 3, "XXXX"}, {"TI-2", 4, "XXXX"}, {"", 3, "XXXX"},    {"T\xC4T", 2, "XXX"},
  };
  for (const auto& [id, version, expected] : cases) {
    EXPECT_EQ(TID3v2Frame(id, version).FrameId, expected) << id << " v" << int(version);
  }
}

TEST(ID3v2Frame, RemoveUnsynchronisation) {
  const std::pair<std::string, std::string> cases[] = {
      {Bytes("\xFF\0", 2), "\xFF"},
      {Bytes("\xFF\0\0", 3), Bytes("\xFF\0", 2)},       // each pair once
      {Bytes("\xFF\xFF\0", 3), "\xFF\xFF"},
      {Bytes("\xFF\0\xFF\0", 4), "\xFF\xFF"},
      {Bytes("\0\xFF", 2), Bytes("\0\xFF", 2)},
      {Bytes("\xFF\xE0", 2), "\xFF\xE0"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(RemoveUnsynchronisation(Vec(in)), Vec(out));
  }
}

// The same title and artist laid out by each version's frame header; the title
// is 200 bytes long so that a size read the wrong way loses the artist frame.
TEST(ID3v2Frame, HeaderLayoutPerVersion) {
  const Bytes longTitle = Bytes(200, 'a');
  struct Case {
    const char* name;
    Bytes tag;
  };
  const Case cases[] = {
      {"2.2", Tag(2, 0, Frame22("TT2", Text(0, longTitle)) + Frame22("TP1", Text(0, "Band")))},
      {"2.3", Tag(3, 0, Frame23("TIT2", Text(0, longTitle)) + Frame23("TPE1", Text(0, "Band")))},
      {"2.4", Tag(4, 0, Frame24("TIT2", Text(0, longTitle)) + Frame24("TPE1", Text(0, "Band")))},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(c.tag), kTagReadOk) << c.name;
    ASSERT_EQ(tag.Frames.size(), 2u) << c.name;
    EXPECT_EQ(tag.GetTitle(), longTitle) << c.name;
    EXPECT_EQ(tag.GetArtist(), "Band") << c.name;
    EXPECT_EQ(tag.Frames[0].Header.size(), tag.Version == 2 ? 6u : 10u) << c.name;
    EXPECT_EQ(tag.PaddingSize, 0) << c.name;
  }
}

TEST(ID3v2Frame, FormatFlagsDecideValid) {
  struct Case {
    std::uint8_t version;
    std::uint8_t flags;
    Bytes content;  // as stored, after the frame header
    bool valid;
    std::uint8_t group;
    Bytes text;  // what GetText answers
  };
  const Bytes dli = Bytes("\0\0\0\x05", 4);
  const Case cases[] = {
      {3, 0x00, Text(0, "Song"), true, 0, "Song"},
      {3, 0x80, Text(0, "Song"), false, 0, ""},           // compressed
      {3, 0x40, Text(0, "Song"), false, 0, ""},           // encrypted
      {3, 0x01, Text(0, "Song"), false, 0, ""},           // undefined
      {3, 0x20, "\x07" + Text(0, "Song"), true, 7, "Song"},  // grouping
      {4, 0x00, Text(0, "Song"), true, 0, "Song"},
      {4, 0x08, Text(0, "Song"), false, 0, ""},
      {4, 0x04, Text(0, "Song"), false, 0, ""},
      {4, 0x80, Text(0, "Song"), false, 0, ""},
      {4, 0x10, Text(0, "Song"), false, 0, ""},
      {4, 0x40, "\x09" + Text(0, "Song"), true, 9, "Song"},
      {4, 0x01, dli + Text(0, "Song"), true, 0, "Song"},
      {4, 0x41, "\x03" + dli + Text(0, "Song"), true, 3, "Song"},
      {4, 0x02, Bytes("\0Gr\xFF\0\xFCn", 7), true, 0, "Gr\xFF\xFCn"},  // frame unsynchronised
      // Announce bytes the frame does not have: nothing to interpret.
      {3, 0x20, "", false, 0, ""},
      {4, 0x41, Bytes("\x03\0\0", 3), false, 0, ""},
  };
  for (const auto& c : cases) {
    const Bytes frame = c.version == 3 ? Frame23("TIT2", c.content, c.flags)
                                       : Frame24("TIT2", c.content, c.flags);
    const Bytes next = c.version == 3 ? Frame23("TPE1", Text(0, "Band"))
                                      : Frame24("TPE1", Text(0, "Band"));
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, 0, frame + next)), kTagReadOk);
    const std::string label = "v" + std::to_string(c.version) + " flags " + std::to_string(c.flags);
    // An uninterpretable frame is kept, found, and empty; the next one still reads.
    ASSERT_EQ(tag.Frames.size(), 2u) << label;
    EXPECT_EQ(tag.FindFrame(kFrameTitle), 0) << label;
    EXPECT_EQ(tag.Frames[0].Valid, c.valid) << label;
    EXPECT_EQ(tag.Frames[0].GroupId, c.group) << label;
    EXPECT_EQ(tag.GetTitle(), c.text) << label;
    EXPECT_EQ(tag.GetArtist(), "Band") << label;
    if (!c.valid) {
      EXPECT_EQ(tag.Frames[0].Data, Vec(c.content)) << label;
    }
  }
}

TEST(ID3v2Frame, StatusFlagsOfVersion23AreIgnored) {
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(3, 0, Frame23("TIT2", Text(0, "Song"), 0, 0xE0)));
  EXPECT_EQ(tag.GetTitle(), "Song");
}

TEST(ID3v2Frame, DataLengthIndicatorKeptRaw) {
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(4, 0, Frame24("TIT2", Bytes("\x01\x02\x03\x04", 4) + Text(0, "S"), 0x01)));
  ASSERT_EQ(tag.Frames.size(), 1u);
  EXPECT_EQ(tag.Frames[0].DataLengthIndicator, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(tag.Frames[0].Data, Vec(Text(0, "S")));
}

TEST(ID3v2Frame, EncodingsAndTrimming) {
  struct Case {
    const char* name;
    Bytes data;      // the whole frame content, encoding byte first
    Bytes expected;  // Windows-1252
  };
  const Case cases[] = {
      {"latin1 one letter", Text(0, "A"), "A"},
      {"latin1 trimmed", Text(0, Bytes(" \t Hello \0\0", 11)), "Hello"},
      {"latin1 code page bytes", Text(0, "\xC4rger \x80"), "\xC4rger \x80"},
      {"latin1 inner zero joins", Text(0, Bytes("A\0B\0", 4)), "A / B"},
      {"unknown encoding as 8-bit", Text(7, " x "), "x"},
      {"utf16 le with mark", Text(1, Bytes("\xFF\xFEH\0i\0", 6)), "Hi"},
      {"utf16 be with mark, last char", Text(1, Bytes("\xFE\xFF\0H\0i", 6)), "Hi"},
      {"utf16 odd last byte", Text(1, Bytes("\xFF\xFEH\0i", 5)), "H"},
      {"utf16 other mark counts as le", Text(1, Bytes("xxH\0", 4)), "H"},
      {"utf16 half a be mark counts as le", Text(1, Bytes("\xFE\xFEH\0", 4)), "H"},
      {"utf16 mark only", Text(1, "\xFF\xFE"), ""},
      {"utf16 one byte", Text(1, "\xFF"), ""},
      {"utf16 terminator", Text(1, Bytes("\xFF\xFE\xE4\0 \0\0\0", 8)), "\xE4"},
      {"utf16 euro and cjk", Text(1, Bytes("\xFF\xFE\xAC\x20\x2D\x4E", 6)), "\x80?"},
      {"utf16 surrogate pair", Text(1, Bytes("\xFF\xFE\x3D\xD8\x00\xDE", 6)), "?"},
      {"utf16 inner zero joins", Text(1, Bytes("\xFF\xFE" "A\0\0\0B\0", 8)), "A / B"},
      // Several values, each with its own mark, as 2.3 writers put them.
      {"utf16 values each marked", Text(1, Bytes("\xFF\xFE" "A\0b\0\0\0" "\xFF\xFE" "C\0\0\0", 14)), "Ab / C"},
      {"utf16 second value marked be", Text(1, Bytes("\xFF\xFE" "A\0\0\0" "\xFE\xFF\0C\0\0", 12)), "A / C"},
      {"utf16be values", Text(2, Bytes("\0A\0\0\0B", 6)), "A / B"},
      {"utf8 inner zero joins", Text(3, Bytes("x\0y", 3)), "x / y"},
      {"utf16be", Text(2, Bytes("\0H\0i", 4)), "Hi"},
      {"utf16be odd", Text(2, Bytes("\0H\0", 3)), "H"},
      {"utf16be trimmed", Text(2, Bytes("\0 \0H\0\0", 6)), "H"},
      {"utf8", Text(3, "Gr\xC3\xBC\xC3\x9F" "e"), "Gr\xFC\xDF" "e"},
      {"utf8 outside the code page", Text(3, "\xE4\xB8\xAD!"), "?!"},
      {"utf8 malformed", Text(3, "a\xC3"), "a?"},
      {"utf8 trimmed", Text(3, Bytes(" x\0", 3)), "x"},
      {"encoding byte only", Text(1, ""), ""},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    tag.ReadFromBuffer(Tag(3, 0, Frame23("TIT2", c.data)));
    EXPECT_EQ(tag.GetTitle(), c.expected) << c.name;
  }
}

TEST(ID3v2Frame, EmptyFrameDisturbsNothing) {
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(3, 0, Frame23("TIT2", "") + Frame23("TPE1", Text(0, "Band")) +
                                   Frame23("TYER", Text(0, "1999"))));
  ASSERT_EQ(tag.Frames.size(), 3u);
  EXPECT_EQ(tag.GetTitle(), "");
  EXPECT_EQ(tag.GetArtist(), "Band");
  EXPECT_EQ(tag.GetYear(), "1999");
}

}  // namespace
}  // namespace orvela
