#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "metadata/id3v2_tag.h"
#include "metadata/reader_errors.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

using namespace test;

const Bytes kFrames = Frame23("TIT2", Text(0, "Song")) + Frame23("TPE1", Text(0, "Band"));

TEST(ID3v2Tag, HeaderResultCodes) {
  struct Case {
    const char* name;
    Bytes file;
    std::uint8_t code;
    bool exists;
  };
  const Case cases[] = {
      {"empty", "", kTagTooShort, false},
      {"nine bytes", Bytes("ID3\x03\0\0\0\0\0", 9), kTagTooShort, false},
      {"no marker", Bytes(64, '\xFF'), kTagNotFound, false},
      {"lower-case marker", "id3" + Tag(3, 0, kFrames).substr(3), kTagNotFound, false},
      {"version 1", Tag(1, 0, kFrames), kTagBadVersion, false},
      {"version 5", Tag(5, 0, kFrames), kTagBadVersion, false},
      {"version 255", Tag(255, 0, kFrames), kTagBadVersion, false},
      {"version 2.3", Tag(3, 0, kFrames), kTagReadOk, true},
      {"header only", Tag(3, 0, ""), kTagReadOk, true},
      {"compressed 2.2", Tag(2, 0x40, Frame22("TT2", Text(0, "Song"))), kTagCompressed, true},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    EXPECT_EQ(tag.ReadFromBuffer(c.file), c.code) << c.name;
    EXPECT_EQ(tag.Exists, c.exists) << c.name;
    if (c.code != kTagReadOk) {
      EXPECT_TRUE(tag.Frames.empty()) << c.name;
      EXPECT_EQ(tag.GetTitle(), "") << c.name;
    }
  }
}

TEST(ID3v2Tag, CompressedVersion22KeepsItsSize) {
  TID3v2Tag tag;
  const Bytes body = Frame22("TT2", Text(0, "Song")) + Bytes(20, '\0');
  ASSERT_EQ(tag.ReadFromBuffer(Tag(2, 0x40, body)), kTagCompressed);
  EXPECT_TRUE(tag.Compressed);
  EXPECT_EQ(tag.TagSize, static_cast<std::int32_t>(10 + body.size()));
  EXPECT_TRUE(tag.Frames.empty());
  EXPECT_EQ(tag.GetGenre(), "");
}

TEST(ID3v2Tag, HeaderFlagsByVersion) {
  struct Case {
    std::uint8_t version, flags;
    bool unsync, compressed, extended, experimental, footer, undefined;
  };
  const Case cases[] = {
      {2, 0x80, true, false, false, false, false, false},
      {2, 0x20, false, false, false, false, false, true},
      {2, 0x01, false, false, false, false, false, true},
      {3, 0x20, false, false, false, true, false, false},
      {3, 0x10, false, false, false, false, false, true},  // a footer bit means nothing in 2.3
      {3, 0x01, false, false, false, false, false, true},
      {4, 0x20, false, false, false, true, false, false},
      {4, 0x10, false, false, false, false, true, false},
      {4, 0x08, false, false, false, false, false, true},
      {4, 0x80, true, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, c.flags, "")), kTagReadOk);
    const std::string label = "v" + std::to_string(c.version) + " " + std::to_string(c.flags);
    EXPECT_EQ(tag.Unsynchronised, c.unsync) << label;
    EXPECT_EQ(tag.Compressed, c.compressed) << label;
    EXPECT_EQ(tag.ExtendedHeader, c.extended) << label;
    EXPECT_EQ(tag.Experimental, c.experimental) << label;
    EXPECT_EQ(tag.HasFooter, c.footer) << label;
    EXPECT_EQ(tag.UndefinedFlags, c.undefined) << label;
    EXPECT_EQ(tag.Version, c.version);
  }
}

TEST(ID3v2Tag, TagSizeAndRevision) {
  TID3v2Tag tag;
  Bytes file = Tag(3, 0, kFrames + Bytes(300, '\0')) + "\xFF\xFB audio";
  file[4] = 7;
  ASSERT_EQ(tag.ReadFromBuffer(file), kTagReadOk);
  EXPECT_EQ(tag.Revision, 7);
  EXPECT_EQ(tag.TagSize, static_cast<std::int32_t>(10 + kFrames.size() + 300));
  EXPECT_EQ(tag.PaddingSize, 300);

  // Size bytes taken whole as they stand, even when not syncsafe: 1 << 7 | 0xFF.
  ASSERT_EQ(tag.ReadFromBuffer(Bytes("ID3\x03\0\0\0\0\x01\xFF", 10)), kTagReadOk);
  EXPECT_EQ(tag.TagSize, 0xFF + 10);
}

TEST(ID3v2Tag, FooterOfVersion24) {
  const Bytes body = Frame24("TIT2", Text(0, "Song")) + Frame24("TPE1", Text(0, "Band"));
  Bytes file = Tag(4, 0x10, body);
  file += "3DI\x04" + Bytes("\0\x10", 2) + Syncsafe(static_cast<std::uint32_t>(body.size()));
  file += "\xFF\xFB";
  TID3v2Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(file), kTagReadOk);
  EXPECT_EQ(tag.TagSize, static_cast<std::int32_t>(body.size() + 20));
  EXPECT_EQ(tag.Frames.size(), 2u);
  EXPECT_EQ(tag.GetArtist(), "Band");
  EXPECT_EQ(tag.PaddingSize, 0);  // the footer is no padding
}

TEST(ID3v2Tag, ExtendedHeaderIsSkipped) {
  struct Case {
    const char* name;
    std::uint8_t version;
    Bytes extended;
  };
  const Case cases[] = {
      // 2.3: the size does not count its own four bytes.
      {"2.3 size 6", 3, BigEndian32(6) + Bytes(6, '\0')},
      {"2.3 size 10 with CRC", 3, BigEndian32(10) + Bytes("\x80\0\0\0\0\0\x12\x34\x56\x78", 10)},
      // 2.4: syncsafe, counting the whole extended header.
      {"2.4 size 6", 4, Syncsafe(6) + Bytes("\x01\0", 2)},
      {"2.4 size 12", 4, Syncsafe(12) + Bytes("\x01\x20\x05", 3) + Bytes("\x01\x02\x03\x04\x05", 5)},
      // Too small to be one: the reader never steps back into the bytes it read.
      {"2.4 size 0", 4, Syncsafe(0) + Bytes("\x01\0", 2)},
  };
  for (const auto& c : cases) {
    const Bytes frames = c.version == 3 ? kFrames
                                        : Frame24("TIT2", Text(0, "Song")) +
                                              Frame24("TPE1", Text(0, "Band"));
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, 0x40, c.extended + frames + Bytes(8, '\0'))),
              kTagReadOk)
        << c.name;
    EXPECT_TRUE(tag.ExtendedHeader) << c.name;
    EXPECT_EQ(tag.Frames.size(), 2u) << c.name;
    EXPECT_EQ(tag.GetTitle(), "Song") << c.name;
    EXPECT_EQ(tag.PaddingSize, 8) << c.name;
  }
}

// What a writer does to a whole tag before 2.4: a zero after every 0xFF. The
// sizes inside still count the bytes as they were before.
Bytes Unsynchronise(std::string_view plain) {
  Bytes stored;
  for (char c : plain) {
    stored += c;
    if (c == '\xFF') stored += '\0';
  }
  return stored;
}

TEST(ID3v2Tag, TagLevelUnsynchronisationBefore24) {
  struct Case {
    std::uint8_t version;
    Bytes plain;
  };
  const Case cases[] = {
      // The title's 0xFF bytes, and the 0xFF of a size field, get a zero each.
      {3, Frame23("TIT2", Text(0, "\xFF\xE0 A\xFF")) + Frame23("TPE1", Text(0, "Band")) +
              Frame23("COMM", Bytes(255, 'c')) + Bytes(4, '\0')},
      {2, Frame22("TT2", Text(0, "\xFF\xE0 A\xFF")) + Frame22("TP1", Text(0, "Band")) +
              Frame22("COM", Bytes(255, 'c')) + Bytes(4, '\0')},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, 0x80, Unsynchronise(c.plain))), kTagReadOk);
    EXPECT_TRUE(tag.Unsynchronised);
    EXPECT_EQ(tag.Frames.size(), 3u) << int(c.version);
    EXPECT_EQ(tag.GetTitle(), "\xFF\xE0 A\xFF") << int(c.version);
    EXPECT_EQ(tag.GetArtist(), "Band") << int(c.version);
    EXPECT_EQ(tag.PaddingSize, 4) << int(c.version);
  }

  // Without the flag the stuffed zero stays, and separates two values.
  TID3v2Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(Tag(3, 0, Frame23("TIT2", Bytes("\0\xFF\0x", 4)))), kTagReadOk);
  EXPECT_EQ(tag.GetTitle(), "\xFF / x");
  // Version 2.4 ignores the tag flag: only frames flagged themselves are restored.
  ASSERT_EQ(tag.ReadFromBuffer(Tag(4, 0x80, Frame24("TIT2", Bytes("\0\xFF\0x", 4)))), kTagReadOk);
  EXPECT_EQ(tag.GetTitle(), "\xFF / x");
}

TEST(ID3v2Tag, PaddingAndGarbageEndTheFrames) {
  struct Case {
    const char* name;
    Bytes body;
    std::size_t frames;
    std::int32_t padding;
  };
  const Case cases[] = {
      {"frames fill the tag", kFrames, 2, 0},
      {"zero padding", kFrames + Bytes(100, '\0'), 2, 100},
      {"garbage", kFrames + "tit2" + Bytes(10, 'x'), 2, 14},
      {"padding shorter than an ID", kFrames + Bytes(2, '\0'), 2, 2},
      {"ID cut off by the tag end", kFrames + "TI", 2, 0},
      {"padding only", Bytes(50, '\0'), 0, 50},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(3, 0, c.body) + "\xFF\xFB\x90\x00"), kTagReadOk) << c.name;
    EXPECT_EQ(tag.Frames.size(), c.frames) << c.name;
    EXPECT_EQ(tag.PaddingSize, c.padding) << c.name;
  }
}

TEST(ID3v2Tag, FirstOfTwoFramesWinsAndVersionPicksTheIds) {
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(3, 0, Frame23("TIT2", Text(0, "First")) + Frame23("TIT2", Text(0, "Second"))));
  EXPECT_EQ(tag.GetTitle(), "First");
  EXPECT_EQ(tag.FindFrame(kFrameTitle), 0);
  EXPECT_EQ(tag.FindFrame(kFrameLeadArtist), -1);
  EXPECT_EQ(tag.FindFrame(1), -1);  // a row the reader has no ID for
  EXPECT_EQ(tag.FindFrame(999), -1);

  struct Case {
    std::uint8_t version;
    Bytes body;
  };
  const Case cases[] = {
      {2, Frame22("TT2", Text(0, "T")) + Frame22("TP1", Text(0, "A")) + Frame22("TYE", Text(0, "1999")) +
              Frame22("TCO", Text(0, "(13)"))},
      {3, Frame23("TIT2", Text(0, "T")) + Frame23("TPE1", Text(0, "A")) + Frame23("TYER", Text(0, "1999")) +
              Frame23("TDRC", Text(0, "2001")) + Frame23("TCON", Text(0, "(13)"))},
      {4, Frame24("TIT2", Text(0, "T")) + Frame24("TPE1", Text(0, "A")) + Frame24("TYER", Text(0, "2001")) +
              Frame24("TDRC", Text(0, "1999")) + Frame24("TCON", Text(0, "(13)"))},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, 0, c.body)), kTagReadOk);
    EXPECT_EQ(tag.GetTitle(), "T") << int(c.version);
    EXPECT_EQ(tag.GetArtist(), "A") << int(c.version);
    EXPECT_EQ(tag.GetYear(), "1999") << int(c.version);
    EXPECT_EQ(tag.GetGenre(), "Pop") << int(c.version);
  }
}

TEST(ID3v2Tag, RecordingTimeStaysWhole) {
  TID3v2Tag tag;
  tag.ReadFromBuffer(Tag(4, 0, Frame24("TDRC", Text(3, "2001-05-06"))));
  EXPECT_EQ(tag.GetYear(), "2001-05-06");
}

TEST(ID3v2Tag, HostileSizes) {
  const Bytes title = Frame23("TIT2", Text(0, "Song"));
  struct Case {
    const char* name;
    Bytes file;
    std::size_t frames;
  };
  Bytes hugeTag = Tag(3, 0, title);
  hugeTag.replace(6, 4, "\x7F\x7F\x7F\x7F");  // 256 MiB claimed, a few bytes there
  Bytes hugeWholeBytes = Tag(3, 0, title);
  hugeWholeBytes.replace(6, 4, "\xFF\xFF\xFF\xFF");
  const Case cases[] = {
      {"tag larger than the file", hugeTag, 1},
      {"size bytes all 0xFF", hugeWholeBytes, 1},
      {"2.3 frame of 4 GiB", Tag(3, 0, title + "TPE1\xFF\xFF\xFF\xFF" + Bytes(2, '\0') + "Band"), 1},
      {"2.4 frame size bytes all 0xFF",
       Tag(4, 0, Frame24("TIT2", Text(0, "Song")) + "TPE1\xFF\xFF\xFF\xFF" + Bytes(2, '\0') + "B"), 1},
      {"2.2 frame larger than the tag", Tag(2, 0, Frame22("TT2", Text(0, "S")) + "TP1\xFF\xFF\xFF" + "x"), 1},
      {"frame header cut off", Tag(3, 0, title + "TPE1\0\0"), 1},
      {"2.3 extended header of 4 GiB", Tag(3, 0x40, BigEndian32(0xFFFFFFFF) + Bytes(6, '\0') + title), 0},
      {"extended header cut off", Bytes("ID3\x03\0\x40\0\0\0\x20\0\0", 12), 0},
      {"2.4 extended header all 0xFF", Tag(4, 0x40, "\xFF\xFF\xFF\xFF\x01\0" + Frame24("TIT2", "\0x")), 0},
  };
  for (const auto& c : cases) {
    TID3v2Tag tag;
    EXPECT_EQ(tag.ReadFromBuffer(c.file), kTagReadOk) << c.name;
    EXPECT_TRUE(tag.Exists) << c.name;
    EXPECT_EQ(tag.Frames.size(), c.frames) << c.name;
    if (c.frames > 0) {
      EXPECT_EQ(tag.GetTitle().substr(0, 1), "S") << c.name;
    }
  }
}

TEST(ID3v2Tag, FrameMayNotReachBehindTheTag) {
  // The size field says 20 bytes, the frame claims 30: the 10 bytes behind the
  // tag are audio data, not title text.
  Bytes file = Tag(3, 0, Frame23("TPE1", Text(0, "Band")) + "TIT2" + BigEndian32(30) + Bytes(2, '\0') + Text(0, "Song"));
  file += Bytes(40, 'z');
  TID3v2Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(file), kTagReadOk);
  EXPECT_EQ(tag.Frames.size(), 1u);
  EXPECT_EQ(tag.GetTitle(), "");
  EXPECT_EQ(tag.GetArtist(), "Band");
}

// A tag past 4 MiB is not read whole: its frames are read one by one, those
// past 1 MiB (a picture, a forged text) left out, so the texts around a huge
// frame are still found.
TEST(ID3v2Tag, FramesOfAHugeTagAreReadOneByOne) {
  const Bytes huge(5 << 20, 'x');
  struct Case {
    std::uint8_t version;
    Bytes body;
    std::size_t frames;
    const char* title;
    const char* artist;
  };
  const Case cases[] = {
      {3, Frame23("TIT2", Text(0, "Titel")) + Frame23("TXXX", Text(0, huge)) + Frame23("TPE1", Text(0, "Band")), 2,
       "Titel", "Band"},
      {4, Frame24("APIC", huge) + Frame24("TIT2", Text(3, "Titel")) + Frame24("TPE1", Text(3, "Band")) +
              Bytes(1000, '\0'),
       2, "Titel", "Band"},
      {2, Frame22("TT2", Text(0, "Titel")) + Frame22("PIC", huge.substr(0, (1 << 24) - 1)) + Frame22("TP1", Text(0, "B")),
       2, "Titel", "B"},
      // The texts before the cut are read, a frame cut short is not.
      {3, Frame23("TIT2", Text(0, "Titel")) + Frame23("TXXX", Text(0, huge)) + "TPE1" + BigEndian32(1 << 30), 1,
       "Titel", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.version));
    TID3v2Tag tag;
    ASSERT_EQ(tag.ReadFromBuffer(Tag(c.version, 0, c.body)), kTagReadOk);
    EXPECT_EQ(tag.Frames.size(), c.frames);
    EXPECT_EQ(tag.GetTitle(), c.title);
    EXPECT_EQ(tag.GetArtist(), c.artist);
    EXPECT_EQ(tag.TagSize, static_cast<std::int32_t>(c.body.size() + 10));
  }
}

TEST(ID3v2Tag, ReadsOnlyTheTagFromFileAndStream) {
  const Bytes tagBytes = Tag(3, 0, kFrames + Bytes(64, '\0'));
  const Bytes file = tagBytes + Bytes(100000, '\xFB');

  CountingBuf buf(file);
  std::istream stream(&buf);
  TID3v2Tag tag;
  ASSERT_EQ(tag.ReadFromStream(stream), kTagReadOk);
  EXPECT_EQ(tag.GetTitle(), "Song");
  // The header read may look six bytes ahead for an extended header.
  EXPECT_LE(buf.BytesRead(), tagBytes.size() + 6);

  const auto path = std::filesystem::path(testing::TempDir()) / "id3v2 test.mp3";
  std::ofstream(path, std::ios::binary) << file;
  TID3v2Tag fromFile;
  ASSERT_EQ(fromFile.ReadFromFile(path.string()), kTagReadOk);
  EXPECT_EQ(fromFile.GetArtist(), "Band");
  EXPECT_EQ(fromFile.TagSize, static_cast<std::int32_t>(tagBytes.size()));
  std::filesystem::remove(path);

  TID3v2Tag missing;
  EXPECT_EQ(missing.ReadFromFile(path.string()), kTagTooShort);
  EXPECT_FALSE(missing.Exists);
}

TEST(ID3v2Tag, ReadFailureIsReportedNotThrown) {
  std::string reported;
  SetReaderErrorHandler([&](const std::string& text) { reported = text; });
  CountingBuf buf(Tag(3, 0, kFrames), true);
  std::istream stream(&buf);
  TID3v2Tag tag;
  EXPECT_EQ(tag.ReadFromStream(stream), kTagError);
  SetReaderErrorHandler(nullptr);
  EXPECT_FALSE(reported.empty());
  EXPECT_FALSE(tag.Exists);
  EXPECT_TRUE(tag.Frames.empty());
}

TEST(ID3v2Tag, ReadAgainStartsFromClear) {
  TID3v2Tag tag;
  ASSERT_EQ(tag.ReadFromBuffer(Tag(4, 0x10, Frame24("TIT2", Text(0, "Song")))), kTagReadOk);
  EXPECT_EQ(tag.ReadFromBuffer(Bytes(20, 'x')), kTagNotFound);
  EXPECT_FALSE(tag.Exists);
  EXPECT_FALSE(tag.HasFooter);
  EXPECT_EQ(tag.Version, 3);
  EXPECT_EQ(tag.TagSize, 0);
  EXPECT_TRUE(tag.Frames.empty());
}

}  // namespace
}  // namespace orvela
