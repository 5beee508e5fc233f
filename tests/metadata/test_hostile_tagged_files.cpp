// Files built to hurt the TagLib path: box trees nested or strewn beyond any
// real file, and what they must come to (an unreadable file, never a crash).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"
#include "metadata/audio_file.h"
#include "metadata/mp4_box_tree.h"
#include "metadata/tag_source.h"
#include "metadata/replay_gain.h"
#include "metadata/tagged_file_survey.h"
#include "record_check.h"
#include "stream_fixtures.h"
#include "support/audio_fixtures.h"
#include "support/child_process.h"

namespace orvela {
namespace {

using testing::AudioFixtureBytes;
using testing::TempDir;

std::string BigEndian32(std::uint64_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string Box(std::string_view type, std::string_view content) {
  return BigEndian32(8 + content.size()) + std::string(type) + std::string(content);
}

const std::string kFtyp = Box("ftyp", std::string("M4A ") + BigEndian32(0) + "M4A isom");

// `depth` boxes, each holding the next right behind its header (and behind
// `gap` further bytes, as "meta" and "stsd" have), around `inner`. Built in
// one go: sixty thousand levels by concatenation would copy gigabytes.
std::string Nested(const std::vector<std::string_view>& types, int depth, std::size_t gap = 0,
                   std::string_view inner = "") {
  const std::size_t level = 8 + gap;
  const std::size_t total = level * static_cast<std::size_t>(depth) + inner.size();
  std::string out(total, '\0');
  for (int k = 0; k < depth; ++k) {
    const std::size_t at = level * static_cast<std::size_t>(k);
    const std::string header = BigEndian32(total - at) + std::string(types[static_cast<std::size_t>(k) % types.size()]);
    out.replace(at, 8, header);
  }
  out.replace(level * static_cast<std::size_t>(depth), inner.size(), inner);
  return out;
}

TMp4BoxTree Walk(const std::string& bytes) {
  TTagSource source = TTagSource::FromMemory({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return WalkMp4BoxTree(source);
}

TEST(Mp4BoxTreeTest, NestingAndCountAreBoundedAsTagLibWouldWalkThem) {
  std::string tinyBoxes;
  for (int i = 0; i < 50'001; ++i) tinyBoxes += Box("free", "");
  std::string fewBoxes;
  for (int i = 0; i < 1'000; ++i) fewBoxes += Box("free", "");
  // A 64-bit size: size field 1, the real size in the eight bytes behind the type.
  std::string large;
  for (int k = 0; k < 40; ++k) large = BigEndian32(1) + "moov" + BigEndian32(0) + BigEndian32(16 + large.size()) + large;
  struct Case {
    const char* name;
    std::string bytes;
    TMp4BoxTree expected;
  };
  const std::vector<Case> cases = {
      {"a real file", AudioFixtureBytes("tagged.m4a"), TMp4BoxTree::kBounded},
      {"nothing", "", TMp4BoxTree::kBounded},
      {"32 levels", kFtyp + Nested({"moov"}, 32), TMp4BoxTree::kBounded},
      {"33 levels", kFtyp + Nested({"moov"}, 33), TMp4BoxTree::kTooDeep},
      {"60,000 levels", kFtyp + Nested({"moov"}, 60'000), TMp4BoxTree::kTooDeep},
      {"every kind of container",
       kFtyp + Nested({"moov", "trak", "mdia", "minf", "stbl", "udta", "ilst", "moof", "traf"}, 40),
       TMp4BoxTree::kTooDeep},
      // Version and flags behind each "meta" header are stepped over...
      {"meta as a full box", kFtyp + Nested({"meta"}, 40, 4), TMp4BoxTree::kTooDeep},
      // ...unless the first child's header follows at once.
      {"meta without version", kFtyp + Nested({"meta", "ilst"}, 40), TMp4BoxTree::kTooDeep},
      {"stsd with its count", kFtyp + Nested({"stsd"}, 40, 8), TMp4BoxTree::kTooDeep},
      {"64-bit sizes", kFtyp + large, TMp4BoxTree::kTooDeep},
      // Boxes that are no containers are stepped over, whatever they hold.
      {"deep inside a leaf", kFtyp + Box("mdat", Nested({"moov"}, 100)), TMp4BoxTree::kBounded},
      // A damaged size ends TagLib's walk: what follows is never read.
      {"deep behind a damaged box", kFtyp + BigEndian32(3) + "moov" + Nested({"moov"}, 100), TMp4BoxTree::kBounded},
      {"1,000 boxes", kFtyp + fewBoxes, TMp4BoxTree::kBounded},
      {"50,001 boxes", kFtyp + tinyBoxes, TMp4BoxTree::kTooMany},
      {"50,001 boxes in a container", kFtyp + Box("moov", tinyBoxes), TMp4BoxTree::kTooMany},
  };
  for (const Case& c : cases) EXPECT_EQ(Walk(c.bytes), c.expected) << c.name;
}

// The crafted file from disk and from memory: the values of a file that cannot
// be read, in a child, so that a crash shows as a failure and not as the end of
// every other test.
TEST(HostileTaggedFileTest, BoxesNestedSixtyThousandDeepAreAnUnreadableFile) {
  TempDir dir;
  const std::string bytes = kFtyp + Nested({"moov", "udta", "meta", "ilst"}, 60'000);
  const std::string path = NativePathToCp1252(dir.Write("tief.m4a", bytes));
  const testing::ChildOutcome outcome = testing::RunInChild([&] {
    TAudioFile fromFile;
    fromFile.LoadFromFile(path);
    TAudioFile fromMemory;
    fromMemory.LoadFromBuffer(path, bytes);
    int wrong = 0;
    for (const TAudioFile* f : {&fromFile, &fromMemory}) {
      if (f->Title != "tief.m4a" || f->Artist != "Titel ist unbekannt" || f->Duration != 0) ++wrong;
    }
    // The levelling asks the same file for its gain tags.
    if (ReadReplayGain(path)) ++wrong;
    return wrong;
  });
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

// ---- Ogg and FLAC built from the fixtures ----------------------------------

std::string LittleEndian32(std::uint64_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

// The body of a Vorbis comment: vendor, count, "NAME=value" fields.
std::string CommentBody(const std::vector<std::string>& fields) {
  std::string body = LittleEndian32(4) + "test" + LittleEndian32(fields.size());
  for (const std::string& field : fields) body += LittleEndian32(field.size()) + field;
  return body;
}

// Replaces an Ogg file's comment packet (the second): its first `headers`
// packets are laid on pages of their own, the audio pages follow as they were.
// The checksums are left at zero; the tag reader does not check them.
std::string WithOggComment(const std::string& ogg, std::size_t headers, const std::string& comment) {
  std::vector<std::string> packets(1);
  std::size_t at = 0;
  while (packets.size() <= headers) {
    const std::size_t segments = static_cast<unsigned char>(ogg[at + 26]);
    std::size_t body = at + 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) {
      const std::size_t length = static_cast<unsigned char>(ogg[at + 27 + i]);
      packets.back() += ogg.substr(body, length);
      body += length;
      if (length < 255) packets.emplace_back();
    }
    at = body;
  }
  packets.resize(headers);
  packets[1] = comment;
  std::string out;
  std::uint32_t sequence = 0;
  for (const std::string& packet : packets) {
    std::vector<unsigned char> lacing(packet.size() / 255, 255);
    lacing.push_back(static_cast<unsigned char>(packet.size() % 255));
    for (std::size_t segment = 0, from = 0; segment < lacing.size(); ++sequence) {
      const std::size_t count = std::min<std::size_t>(255, lacing.size() - segment);
      std::string page = std::string("OggS\0", 5) + (segment == 0 ? '\0' : '\x01') + std::string(8, '\0') +
                         ogg.substr(14, 4) + LittleEndian32(sequence) + std::string(4, '\0') +
                         static_cast<char>(count);
      std::size_t length = 0;
      for (std::size_t i = 0; i < count; ++i) {
        page += static_cast<char>(lacing[segment + i]);
        length += lacing[segment + i];
      }
      out += page + packet.substr(from, length);
      from += length;
      segment += count;
    }
  }
  return out + ogg.substr(at);
}

struct FlacBlock {
  int type;
  std::string body;
};

std::vector<FlacBlock> FlacBlocks(const std::string& flac, std::string* audio) {
  std::vector<FlacBlock> blocks;
  std::size_t at = 4;
  for (bool last = false; !last;) {
    last = (static_cast<unsigned char>(flac[at]) & 0x80) != 0;
    const std::size_t length = (std::size_t{static_cast<unsigned char>(flac[at + 1])} << 16) |
                               (std::size_t{static_cast<unsigned char>(flac[at + 2])} << 8) |
                               static_cast<unsigned char>(flac[at + 3]);
    blocks.push_back({static_cast<unsigned char>(flac[at]) & 0x7F, flac.substr(at + 4, length)});
    at += 4 + length;
  }
  *audio = flac.substr(at);
  return blocks;
}

std::string FlacFile(const std::vector<FlacBlock>& blocks, const std::string& audio) {
  std::string out = "fLaC";
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::size_t length = blocks[i].body.size();
    out += static_cast<char>(blocks[i].type | (i + 1 == blocks.size() ? 0x80 : 0));
    out += {static_cast<char>(length >> 16), static_cast<char>(length >> 8), static_cast<char>(length)};
    out += blocks[i].body;
  }
  return out + audio;
}

// A PICTURE block's body of `size` bytes, its image bytes 0xFF.
std::string PictureBody(std::size_t size) {
  std::string body = std::string("\0\0\0\x03", 4) + std::string("\0\0\0\x0A", 4) + "image/jpeg" +
                     std::string(4, '\0') + std::string(16, '\0') + std::string(4, '\0');
  const std::size_t image = size - body.size() - 4;
  return body + BigEndian32(image) + std::string(image, '\xFF');
}

std::string WithStreamInfo(std::string streamInfo, std::uint32_t rate, std::uint64_t samples) {
  streamInfo[10] = static_cast<char>(rate >> 12);
  streamInfo[11] = static_cast<char>(rate >> 4);
  streamInfo[12] = static_cast<char>(((rate & 0x0F) << 4) | (streamInfo[12] & 0x0F));
  streamInfo[13] = static_cast<char>((streamInfo[13] & 0xF0) | ((samples >> 32) & 0x0F));
  streamInfo.replace(14, 4, BigEndian32(samples & 0xFFFFFFFF));
  return streamInfo;
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

// What each file comes to, read from disk (and, where it fits, from memory),
// in a child whose memory may grow by 64 MiB at most: a field, a picture or a
// search past the bounds is given up, the rest of the file read as far as it
// is sound.
TEST(HostileTaggedFileTest, OversizedTagsPicturesAndSearchesAreGivenUp) {
  TempDir dir;
  const std::string huge(12 * kMiB, 'x');
  const std::string large(2 * kMiB, 'x');
  std::string audio;
  const std::vector<FlacBlock> tagged = FlacBlocks(AudioFixtureBytes("tagged.flac"), &audio);
  std::string untaggedAudio;
  const std::vector<FlacBlock> untagged = FlacBlocks(AudioFixtureBytes("untagged.flac"), &untaggedAudio);
  std::vector<FlacBlock> pictures = {tagged[0]};
  for (int i = 0; i < 4; ++i) pictures.push_back({6, PictureBody(16 * kMiB - 64)});
  pictures.insert(pictures.end(), tagged.begin() + 1, tagged.end());
  std::vector<FlacBlock> bigComment = {untagged[0], {4, CommentBody({"TITLE=" + large, "ARTIST=Band", "DATE=1999"})}};
  // 2^36 samples at 44.1 kHz (eighteen days) in 132 KB.
  std::vector<FlacBlock> forged = {{0, WithStreamInfo(untagged[0].body, 44100, std::uint64_t{1} << 36)}};
  std::vector<FlacBlock> honest = {{0, WithStreamInfo(untagged[0].body, 44100, 44100 * 2)}};
  const std::string padding(124 * 1024, '\0');
  const std::string id3(10 + 2 * kMiB, '\0');
  const std::string id3Header("ID3\x03\0\0\x01\0\0\0", 10);  // 2 MiB, syncsafe

  struct Case {
    std::string name;
    std::string bytes;
    std::uint64_t sparseSize;  // 0: as it is
    testing::Record expected;
  };
  const std::vector<Case> cases = {
      {"huge-comment.opus",
       WithOggComment(AudioFixtureBytes("tagged.opus"), 2,
                      "OpusTags" + CommentBody({"ARTIST=Band", "TITLE=" + huge, "DATE=2019"})),
       0, {"huge-comment.opus", "Band", "2019", "Blues", 1}},
      {"large-comment.ogg",
       WithOggComment(AudioFixtureBytes("tagged.ogg"), 3,
                      "\x03vorbis" + CommentBody({"TITLE=" + large, "ARTIST=Band", "GENRE=Jazz"}) + "\x01"),
       0, {"large-comment.ogg", "Band", "", "Jazz", 3}},
      // No page within the last 64 KiB: the tags, but no playing time.
      {"zeros-behind.ogg", AudioFixtureBytes("tagged.ogg"), std::uint64_t{1} << 30,
       {"\xD6l aus ?\xF3\x64?", "Vorbis K\xFCnstler", "2001", "Jazz", 0}},
      {"pictures.flac", FlacFile(pictures, audio), 0, {"Schrei nach Liebe", "Die \xC4rzte", "1993", "Punk", 2}},
      {"large-comment.flac", FlacFile(bigComment, untaggedAudio), 0, {"large-comment.flac", "Band", "1999", "Blues", 2}},
      {"marker-far.flac", std::string(2 * kMiB, 'j') + AudioFixtureBytes("tagged.flac"), 0,
       {"marker-far.flac", "Titel ist unbekannt", "0000", "n.vorhanden", 0}},
      {"id3-large.flac", id3Header + id3.substr(10) + AudioFixtureBytes("tagged.flac"), 0,
       {"Schrei nach Liebe", "Die \xC4rzte", "1993", "Punk", 2}},
      {"forged-length.flac", FlacFile(forged, untaggedAudio + padding), 0, {"forged-length.flac", "", "", "Blues", 0}},
      {"honest-length.flac", FlacFile(honest, untaggedAudio + padding), 0, {"honest-length.flac", "", "", "Blues", 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = NativePathToCp1252(
        c.sparseSize > 0 ? dir.WriteSparse(c.name, c.bytes, c.sparseSize) : dir.Write(c.name, c.bytes));
    const testing::ChildOutcome outcome = testing::RunInChild(
        [&] {
          TAudioFile f;
          f.LoadFromFile(path);
          const bool right = f.Title == c.expected.title && f.Artist == c.expected.artist &&
                             f.Year == c.expected.year && f.Genre == c.expected.genre &&
                             f.Duration == c.expected.duration;
          if (!right) std::fprintf(stderr, "%s|%s|%s|%s|%d\n", f.Title.substr(0, 40).c_str(), f.Artist.c_str(),
                                   f.Year.c_str(), f.Genre.c_str(), f.Duration);
          return right ? 0 : 1;
        },
        testing::kMemoryLimitsWork ? 64 * kMiB : 0);
    EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
    if (c.sparseSize == 0) {
      TAudioFile fromMemory;
      fromMemory.LoadFromBuffer(path, c.bytes);
      testing::ExpectRecord(fromMemory, c.expected);
    }
  }
}

// Whether a file may go whole to readers that take every header at its word.
TEST(HostileTaggedFileTest, WhatFitsTheReadBoundsWhateverItsName) {
  TempDir dir;
  const std::string large(2 * kMiB, 'x');
  struct Case {
    std::string name;
    std::string bytes;
    std::uint64_t sparseSize;
    bool fits;
  };
  const std::vector<Case> cases = {
      {"a.flac", AudioFixtureBytes("tagged.flac"), 0, true},
      {"a.ogg", AudioFixtureBytes("tagged.ogg"), 0, true},
      {"a.opus", AudioFixtureBytes("tagged.opus"), 0, true},
      {"a.m4a", AudioFixtureBytes("tagged.m4a"), 0, true},
      {"a.oga", AudioFixtureBytes("oggflac.oga"), 0, true},
      {"small-tag.mp3", std::string("ID3\x03\0\0\0\0\x10\0", 10) + std::string(2048, '\0'), 0, true},
      {"deep.mp3", kFtyp + Nested({"moov"}, 100), 0, false},
      {"comment.wav", WithOggComment(AudioFixtureBytes("tagged.opus"), 2, "OpusTags" + CommentBody({"T=" + large})), 0,
       false},
      {"zeros-behind.ogg", AudioFixtureBytes("tagged.ogg"), std::uint64_t{1} << 30, false},
      {"big-tag.mp3", std::string("ID3\x03\0\0\x03\0\0\0", 10) + std::string(6 * kMiB, '\0'), 0, false},
  };
  for (const Case& c : cases) {
    const std::string path = NativePathToCp1252(
        c.sparseSize > 0 ? dir.WriteSparse(c.name, c.bytes, c.sparseSize) : dir.Write(c.name, c.bytes));
    EXPECT_EQ(FitsReadBounds(path), c.fits) << c.name;
  }
  EXPECT_TRUE(FitsReadBounds(NativePathToCp1252((dir.Path() / "missing.flac").string())));
}

}  // namespace
}  // namespace orvela
