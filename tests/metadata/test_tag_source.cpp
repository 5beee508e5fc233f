#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "metadata/id3v1_tag.h"
#include "metadata/id3v2_tag.h"
#include "metadata/tag_source.h"
#include "test_id3_fixture.h"

namespace orvela {
namespace {

using test::Bytes;

std::string AsString(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class TagSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::path(testing::TempDir()) / "tag source.bin";
    std::ofstream(path_, std::ios::binary) << content_;
  }
  void TearDown() override { std::filesystem::remove(path_); }

  // Every kind of source answers the same clamped reads.
  static void ExpectClampedReads(TTagSource& source) {
    std::vector<std::uint8_t> storage;
    ASSERT_EQ(source.Size(), 10u);
    EXPECT_EQ(AsString(source.ReadAt(0, 4, storage)), "0123");
    EXPECT_EQ(AsString(source.ReadAt(8, 100, storage)), "89");
    EXPECT_EQ(AsString(source.ReadAt(10, 1, storage)), "");
    EXPECT_EQ(AsString(source.ReadAt(~std::uint64_t{0}, 1, storage)), "");
    // A claimed size far beyond the source costs no more than the source holds.
    EXPECT_EQ(AsString(source.ReadAt(3, std::size_t{1} << 40, storage)), "3456789");
    EXPECT_LE(storage.capacity(), 4096u);
  }

  const Bytes content_ = "0123456789";
  std::filesystem::path path_;
};

TEST_F(TagSourceTest, EveryKindClampsToItsSize) {
  const auto* mem = reinterpret_cast<const std::uint8_t*>(content_.data());
  TTagSource memory = TTagSource::FromMemory({mem, content_.size()});
  ExpectClampedReads(memory);

  std::istringstream stream(content_);
  TTagSource fromStream = TTagSource::FromStream(stream);
  ExpectClampedReads(fromStream);

  TTagSource file = TTagSource::OpenFile(path_.string());
  ASSERT_TRUE(file.IsOpen());
  ExpectClampedReads(file);
}

TEST_F(TagSourceTest, MemoryReadsCopyNothing) {
  const auto* mem = reinterpret_cast<const std::uint8_t*>(content_.data());
  TTagSource memory = TTagSource::FromMemory({mem, content_.size()});
  std::vector<std::uint8_t> storage;
  EXPECT_EQ(memory.ReadAt(2, 3, storage).data(), mem + 2);
  EXPECT_TRUE(storage.empty());
}

TEST_F(TagSourceTest, BorrowedDescriptorStaysOpenAndInPlace) {
  const int fd = ::open(path_.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
  {
    TTagSource source = TTagSource::FromDescriptor(fd);
    ExpectClampedReads(source);
    TTagSource moved = std::move(source);
    EXPECT_FALSE(source.IsOpen());  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_TRUE(moved.IsOpen());
  }
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 5);
  EXPECT_EQ(::close(fd), 0);  // not closed by the source
}

TEST_F(TagSourceTest, WhatCannotBeReadIsEmpty) {
  struct Case {
    const char* name;
    std::string path;
  };
  const Case cases[] = {
      {"missing file", (std::filesystem::path(testing::TempDir()) / "missing.mp3").string()},
      {"a folder", testing::TempDir()},
      {"empty path", ""},
  };
  for (const auto& c : cases) {
    TTagSource source = TTagSource::OpenFile(c.path);
    EXPECT_EQ(source.Size(), 0u) << c.name;
    TID3v1Tag v1;
    EXPECT_EQ(v1.ReadFromFile(c.path), kTagTooShort) << c.name;
    TID3v2Tag v2;
    EXPECT_EQ(v2.ReadFromFile(c.path), kTagTooShort) << c.name;
  }
}

TEST_F(TagSourceTest, FailingStreamThrowsForTheReaderToCatch) {
  test::CountingBuf buf(content_, true);
  std::istream stream(&buf);
  TTagSource source = TTagSource::FromStream(stream);
  std::vector<std::uint8_t> storage;
  EXPECT_THROW(source.ReadAt(0, 4, storage), std::runtime_error);
}

}  // namespace
}  // namespace orvela
