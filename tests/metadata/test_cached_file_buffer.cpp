#include <gtest/gtest.h>

#include <istream>
#include <string>
#include <vector>

#include "metadata/cached_file_buffer.h"
#include "stream_fixtures.h"

namespace orvela {
namespace {

constexpr std::int64_t kBlock = TCachedFileBuffer::kBlockSize;

// Every byte differs from its neighbours, so a read from the wrong place shows.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST(CachedFileBufferTest, ReadsMatchTheFileAnywhere) {
  const std::string content = Pattern(3 * kBlock + 123);
  testing::TempDir dir;
  TCachedFileBuffer buffer(dir.Write("data.bin", content));
  ASSERT_TRUE(buffer.IsOpen());
  EXPECT_EQ(buffer.Size(), static_cast<std::int64_t>(content.size()));
  std::istream in(&buffer);

  struct Read {
    std::int64_t offset;
    std::size_t count;
  };
  // Ordered to hit cached blocks, evicted blocks, block edges, reads spanning
  // two blocks, reads larger than a block and reads running off the end.
  const std::vector<Read> reads = {
      {static_cast<std::int64_t>(content.size()) - 128, 128}, {0, 10}, {10, 300}, {kBlock - 2, 4},
      {kBlock - 1, 1}, {kBlock, 1}, {2 * kBlock + 5, 100}, {1, 3}, {100, kBlock + 1}, {0, 3 * kBlock + 123},
      {3 * kBlock + 100, 100}, {static_cast<std::int64_t>(content.size()), 5}, {3 * kBlock + 200, 5},
  };
  for (const auto& r : reads) {
    SCOPED_TRACE(r.offset);
    in.clear();
    in.seekg(r.offset);
    ASSERT_TRUE(in.good());
    std::string got(r.count, '\0');
    in.read(got.data(), static_cast<std::streamsize>(r.count));
    const auto expectedLength = static_cast<std::size_t>(
        std::max<std::int64_t>(0, std::min<std::int64_t>(static_cast<std::int64_t>(r.count),
                                                          static_cast<std::int64_t>(content.size()) - r.offset)));
    ASSERT_EQ(static_cast<std::size_t>(in.gcount()), expectedLength);
    EXPECT_EQ(got.substr(0, expectedLength), content.substr(static_cast<std::size_t>(
                                                  std::min<std::int64_t>(r.offset, static_cast<std::int64_t>(content.size()))),
                                              expectedLength));
  }
}

TEST(CachedFileBufferTest, CharacterReadsAndPositionsStayInStep) {
  const std::string content = Pattern(kBlock + 50);
  testing::TempDir dir;
  TCachedFileBuffer buffer(dir.Write("data.bin", content));
  std::istream in(&buffer);
  in.seekg(kBlock - 3);
  for (std::int64_t i = kBlock - 3; i < kBlock + 3; ++i) {
    EXPECT_EQ(in.tellg(), i);
    EXPECT_EQ(in.get(), static_cast<unsigned char>(content[static_cast<std::size_t>(i)]));
  }
  // A block read after character reads continues where they stopped.
  char two[2];
  in.read(two, 2);
  EXPECT_EQ(std::string(two, 2), content.substr(kBlock + 3, 2));
  EXPECT_EQ(in.tellg(), kBlock + 5);
  in.seekg(-1, std::ios::end);
  EXPECT_EQ(in.get(), static_cast<unsigned char>(content.back()));
  EXPECT_EQ(in.get(), std::char_traits<char>::eof());
}

TEST(CachedFileBufferTest, OnlyRegularFilesOpen) {
  testing::TempDir dir;
  EXPECT_FALSE(TCachedFileBuffer((dir.Path() / "missing").string()).IsOpen());
  EXPECT_FALSE(TCachedFileBuffer(dir.Path().string()).IsOpen());
  TCachedFileBuffer empty(dir.Write("empty", ""));
  EXPECT_TRUE(empty.IsOpen());
  std::istream in(&empty);
  char c;
  EXPECT_FALSE(in.read(&c, 1));
  EXPECT_EQ(in.gcount(), 0);
}

}  // namespace
}  // namespace orvela
