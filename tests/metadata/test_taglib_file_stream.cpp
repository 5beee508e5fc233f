// The descriptor stream TagLib reads through: whatever the blocks it keeps,
// every read must give exactly the file's bytes at the position, and seeks
// must behave as TagLib expects of a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "metadata/taglib_file_stream.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

using testing::TempDir;

constexpr long kBlock = TTagLibFileStream::kBlockSize;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

std::string AsString(const TagLib::ByteVector& bytes) { return std::string(bytes.data(), bytes.size()); }

TEST(TagLibFileStreamTest, ReadsGiveTheFileBytesWhereverTheBlocksLie) {
  TempDir dir;
  const std::string content = Pattern(3 * kBlock + 123);
  const long size = static_cast<long>(content.size());
  const std::string path = dir.Write("data.bin", content);
  TTagLibFileStream stream(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(stream.isOpen());
  EXPECT_EQ(stream.length(), size);
  EXPECT_TRUE(stream.readOnly());

  using P = TagLib::IOStream::Position;
  struct Case {
    long offset;
    P from;
    unsigned long length;
    long at;  // where the read starts; -1: nothing is read
  };
  const std::vector<Case> cases = {
      {0, P::Beginning, 1024, 0},
      {kBlock - 10, P::Beginning, 20, kBlock - 10},           // across two blocks
      {5, P::Current, 100, kBlock + 15},                      // from where the last read ended
      {-128, P::End, 128, size - 128},                        // a tail tag
      {-10, P::End, 100, size - 10},                          // cut at the end
      {100, P::Beginning, 3 * kBlock, 100},                   // larger than the blocks kept
      {kBlock / 2, P::Beginning, 2 * kBlock + 1, kBlock / 2},
      {size, P::Beginning, 10, -1},                           // at the end
      {size + 5000, P::Beginning, 10, -1},                    // past it
      {1, P::Beginning, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + " " + std::to_string(static_cast<int>(c.from)) + " " +
                 std::to_string(c.length));
    stream.seek(c.offset, c.from);
    const std::string read = AsString(stream.readBlock(c.length));
    if (c.at < 0) {
      EXPECT_TRUE(read.empty());
      continue;
    }
    EXPECT_EQ(read, content.substr(static_cast<std::size_t>(c.at), c.length));
    EXPECT_EQ(stream.tell(), c.at + static_cast<long>(read.size()));
  }

  // Before the start is refused and the position stays.
  stream.seek(300, P::Beginning);
  stream.seek(-301, P::Current);
  EXPECT_EQ(stream.tell(), 300);
  stream.seek(-size - 1, P::End);
  EXPECT_EQ(stream.tell(), 300);

  // Nothing is ever written.
  stream.writeBlock(TagLib::ByteVector("xx", 2));
  stream.truncate(0);
  EXPECT_EQ(std::filesystem::file_size(path), content.size());
}

// A file cut short while it is read (a copy still running) gives what is there.
TEST(TagLibFileStreamTest, AFileThatShrinksGivesWhatIsLeft) {
  TempDir dir;
  const std::string content = Pattern(2 * kBlock);
  const std::string path = dir.Write("shrinks.bin", content);
  TTagLibFileStream stream(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::filesystem::resize_file(path, 100);
  stream.seek(50, TagLib::IOStream::Beginning);
  EXPECT_EQ(AsString(stream.readBlock(1000)), content.substr(50, 50));
  stream.seek(kBlock, TagLib::IOStream::Beginning);
  EXPECT_TRUE(stream.readBlock(10).isEmpty());
}

TEST(TagLibFileStreamTest, WithoutADescriptorItIsClosedAndEmpty) {
  TTagLibFileStream stream(-1);
  EXPECT_FALSE(stream.isOpen());
  EXPECT_EQ(stream.length(), 0);
  EXPECT_TRUE(stream.readBlock(10).isEmpty());
}

}  // namespace
}  // namespace orvela
