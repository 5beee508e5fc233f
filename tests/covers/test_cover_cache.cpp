// The screen's side of the covers: nothing waits for a read, results arrive
// as signals, memory stays within its budget, the latest request goes first.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "cover_fixtures.h"
#include "covers/cover_cache.h"
#include "support/scratch_folder.h"

namespace orvela {
namespace {

using testing::SolidPicture;
using testing::WriteBytes;
namespace fs = std::filesystem;

// Runs the event loop until `count` covers have arrived or 20 s went by.
std::vector<std::string> WaitForCovers(TCoverCache& cache, std::size_t count) {
  std::vector<std::string> arrived;
  QEventLoop loop;
  QObject::connect(&cache, &TCoverCache::CoverReady, &loop, [&](const QString& path) {
    arrived.push_back(Utf16ToCp1252(path.toStdU16String()));
    if (arrived.size() >= count) loop.quit();
  });
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  if (count > 0) loop.exec();
  return arrived;
}

class CoverCache : public testing::ScratchFolderTest {
 protected:
  CoverCache() : ScratchFolderTest("orvela-cover-cache") {}
  void SetUp() override {
    ScratchFolderTest::SetUp();
    fs::create_directories(dir_ / "program");
  }
  std::string ProgramDir() const { return (dir_ / "program").string() + "/"; }
  // A title with its own picture (or none) in a folder of its own.
  std::string Title(const std::string& name, bool withCover) {
    const fs::path folder = dir_ / "music" / name;
    fs::create_directories(folder);
    const std::string tag = withCover ? testing::Id3v23Tag({{3, SolidPicture(Qt::blue, 200, 200)}}) : "";
    WriteBytes(folder / "a.mp3", tag + std::string(1000, '\0'));
    return (folder / "a.mp3").string();
  }
};

TEST_F(CoverCache, AnswersAtOnceAndDeliversTheCoverLater) {
  TCoverCache cache(ProgramDir());
  const std::string with = Title("with", true);
  const std::string without = Title("without", false);
  EXPECT_TRUE(cache.Thumbnail(with).isNull());
  EXPECT_TRUE(cache.Thumbnail(without).isNull());
  EXPECT_FALSE(cache.KnownWithoutCover(without));  // not read yet
  // Asked again while queued: one read, one signal.
  EXPECT_TRUE(cache.Thumbnail(with).isNull());
  const std::vector<std::string> arrived = WaitForCovers(cache, 2);
  EXPECT_EQ(std::multiset<std::string>(arrived.begin(), arrived.end()), (std::multiset<std::string>{with, without}));
  const QImage image = cache.Thumbnail(with);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(TCoverCache::kThumbnailPixels, TCoverCache::kThumbnailPixels));
  EXPECT_FALSE(cache.KnownWithoutCover(with));
  EXPECT_TRUE(cache.Thumbnail(without).isNull());
  EXPECT_TRUE(cache.KnownWithoutCover(without));
  EXPECT_EQ(cache.Pending(), 0u);
}

TEST_F(CoverCache, MemoryStaysWithinItsBudgetWhateverIsAsked) {
  // Without a cache on disk: this is about memory, and every entry written costs a sync.
  TCoverCache cache("");
  // One picture in a shared folder, many titles: more thumbnails than the budget holds.
  const fs::path folder = dir_ / "music" / "many";
  fs::create_directories(folder);
  WriteBytes(folder / "folder.jpg", SolidPicture(Qt::red, 200, 200));
  const std::size_t perThumbnail = TCoverCache::kThumbnailPixels * TCoverCache::kThumbnailPixels * 4;
  const std::size_t titles = TCoverCache::kMemoryBudgetBytes / perThumbnail + 60;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < titles; ++i) {
    paths.push_back((folder / ("t" + std::to_string(i) + ".mp3")).string());
    WriteBytes(paths.back(), std::string(100, '\0'));
    cache.Thumbnail(paths.back());
  }
  WaitForCovers(cache, titles);
  EXPECT_LE(cache.MemoryUsed(), TCoverCache::kMemoryBudgetBytes);
  EXPECT_GT(cache.MemoryUsed(), TCoverCache::kMemoryBudgetBytes * 9 / 10);
  // Which ones went depends on how far the worker had got while they were
  // asked for (it takes the latest first, but may start at once): only how
  // many is certain.
  std::size_t gone = 0;
  for (const std::string& path : paths) gone += cache.Thumbnail(path).isNull() ? 1 : 0;
  EXPECT_GE(gone, 60u);
  cache.CancelPending();
}

TEST_F(CoverCache, TheLatestRequestIsReadFirstAndCancelledOnesNever) {
  TCoverCache cache(ProgramDir());
  std::vector<std::string> titles;
  for (int i = 0; i < 6; ++i) titles.push_back(Title("t" + std::to_string(i), true));
  for (const std::string& t : titles) cache.Thumbnail(t);
  const std::vector<std::string> arrived = WaitForCovers(cache, titles.size());
  ASSERT_EQ(arrived.size(), titles.size());
  // The worker may have taken the first before the others came; after it, newest first.
  std::vector<std::string> rest(arrived.begin(), arrived.end());
  if (rest.front() == titles.front()) rest.erase(rest.begin());
  std::vector<std::string> newestFirst(titles.rbegin(), titles.rend());
  if (rest.size() < newestFirst.size()) newestFirst.pop_back();
  EXPECT_EQ(rest, newestFirst);

  std::vector<std::string> later;
  for (int i = 0; i < 40; ++i) later.push_back(Title("later" + std::to_string(i), true));
  for (const std::string& t : later) cache.Thumbnail(t);
  cache.CancelPending();
  EXPECT_LE(cache.Pending(), 1u);  // at most the one under way
  const std::vector<std::string> afterCancel = WaitForCovers(cache, cache.Pending());
  EXPECT_LE(afterCancel.size(), 1u);
  // A cancelled title asked again is queued again and arrives.
  EXPECT_TRUE(cache.Thumbnail(later[5]).isNull() || cache.KnownWithoutCover(later[5]) == false);
  const std::vector<std::string> again = WaitForCovers(cache, cache.Pending());
  EXPECT_FALSE(cache.Thumbnail(later[5]).isNull());
}

TEST_F(CoverCache, GoingAwayWithReadsQueuedDoesNotWaitForThem) {
  std::vector<std::string> titles;
  for (int i = 0; i < 200; ++i) titles.push_back(Title("q" + std::to_string(i), true));
  const auto start = std::chrono::steady_clock::now();
  {
    TCoverCache cache(ProgramDir());
    for (const std::string& t : titles) cache.Thumbnail(t);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // Nothing delivered to the object that is gone (a crash here otherwise).
  QCoreApplication::processEvents();
}

}  // namespace
}  // namespace orvela
