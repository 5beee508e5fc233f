// Files built to hurt the TagLib path: box trees nested or strewn beyond any
// real file, and what they must come to (an unreadable file, never a crash).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"
#include "metadata/audio_file.h"
#include "metadata/mp4_box_tree.h"
#include "metadata/tag_source.h"
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
    return wrong;
  });
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe();
}

}  // namespace
}  // namespace orvela
