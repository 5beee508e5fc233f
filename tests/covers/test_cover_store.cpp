// The thumbnails kept on disk: read again when a file changed, when the cache
// is damaged, and never through a symbolic link.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/atomic_file.h"
#include "cover_fixtures.h"
#include "covers/cover_store.h"
#include "support/audio_fixtures.h"
#include "support/scratch_folder.h"

namespace orvela {
namespace {

using testing::SolidPicture;
using testing::WriteBytes;
namespace fs = std::filesystem;

const QColor kRed(220, 30, 30), kBlue(30, 40, 220), kGreen(30, 200, 40);

QColor Centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }
bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

// Moves a file's modification time by whole seconds, as a later save would.
void Touch(const fs::path& path, int seconds) {
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  timeval times[2] = {{info.st_atime, 0}, {info.st_mtime + seconds, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

class CoverStore : public testing::ScratchFolderTest {
 protected:
  CoverStore() : ScratchFolderTest("orvela-cover-store") {}
  void SetUp() override {
    ScratchFolderTest::SetUp();
    program_ = dir_ / "program";
    music_ = dir_ / "music";
    fs::create_directories(program_);
    fs::create_directories(music_);
    audio_ = music_ / "a.mp3";
    WriteMp3(kBlue);
  }
  void WriteMp3(QColor colour) {
    WriteBytes(audio_, testing::Id3v23Tag({{3, SolidPicture(colour, 40, 40)}}) + std::string(2000, '\0'));
  }
  TCoverStore Store() const { return TCoverStore(program_.string() + "/", 160); }

  fs::path program_, music_, audio_;
};

TEST_F(CoverStore, ASecondFetchComesFromDiskAndAChangedFileIsReadAgain) {
  const TCoverStore store = Store();
  auto first = store.Fetch(audio_.string());
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->fromDisk);
  EXPECT_TRUE(Near(Centre(first->image), kBlue));
  EXPECT_TRUE(fs::is_regular_file(store.EntryPath(audio_.string())));

  auto second = store.Fetch(audio_.string());
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->fromDisk);
  EXPECT_TRUE(Near(Centre(second->image), kBlue));

  WriteMp3(kRed);
  Touch(audio_, 5);
  auto changed = store.Fetch(audio_.string());
  ASSERT_TRUE(changed);
  EXPECT_FALSE(changed->fromDisk);
  EXPECT_TRUE(Near(Centre(changed->image), kRed));
  // A restart finds the new one.
  auto again = Store().Fetch(audio_.string());
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->fromDisk);
  EXPECT_TRUE(Near(Centre(again->image), kRed));
}

TEST_F(CoverStore, AFolderCoverAddedOrReplacedLaterIsSeen) {
  WriteBytes(audio_, std::string(2000, '\0'));
  const TCoverStore store = Store();
  auto none = store.Fetch(audio_.string());
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->image.isNull());
  EXPECT_TRUE(store.Fetch(audio_.string())->fromDisk);

  WriteBytes(music_ / "folder.jpg", SolidPicture(kGreen, 60, 60));
  Touch(music_, 5);
  auto added = store.Fetch(audio_.string());
  ASSERT_TRUE(added);
  EXPECT_FALSE(added->fromDisk);
  EXPECT_TRUE(Near(Centre(added->image), kGreen));

  // Overwritten in place: the folder keeps its time, the picture's changes.
  WriteBytes(music_ / "folder.jpg", SolidPicture(kRed, 60, 60));
  Touch(music_ / "folder.jpg", 7);
  auto replaced = store.Fetch(audio_.string());
  ASSERT_TRUE(replaced);
  EXPECT_FALSE(replaced->fromDisk);
  EXPECT_TRUE(Near(Centre(replaced->image), kRed));
}

struct DamageCase {
  const char* what;
  std::function<std::string(const std::string& entry)> damage;
};

class CoverStoreDamage : public CoverStore, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(CoverStoreDamage, MeansReadingAgainAndMendsTheEntry) {
  const DamageCase& c = GetParam();
  const TCoverStore store = Store();
  ASSERT_TRUE(store.Fetch(audio_.string()));
  const std::string entry = store.EntryPath(audio_.string());
  const std::optional<std::string> good = ReadWholeFile(entry);
  ASSERT_TRUE(good);
  WriteBytes(entry, c.damage(*good));

  auto read = store.Fetch(audio_.string());
  ASSERT_TRUE(read) << c.what;
  EXPECT_FALSE(read->fromDisk) << c.what;
  EXPECT_TRUE(Near(Centre(read->image), kBlue)) << c.what;
  auto mended = store.Fetch(audio_.string());
  ASSERT_TRUE(mended);
  EXPECT_TRUE(mended->fromDisk) << c.what;
}

const DamageCase kDamageCases[] = {
    {"empty", [](const std::string&) { return std::string(); }},
    {"cut in half", [](const std::string& e) { return e.substr(0, e.size() / 2); }},
    {"last byte gone", [](const std::string& e) { return e.substr(0, e.size() - 1); }},
    {"a byte flipped in the picture", [](const std::string& e) {
       std::string d = e;
       d[d.size() - 40] = static_cast<char>(d[d.size() - 40] ^ 0x20);
       return d;
     }},
    {"a byte more", [](const std::string& e) { return e + "x"; }},
    {"another layout", [](const std::string& e) { return "ORVCOV9\n" + e.substr(8); }},
    {"larger than an entry may be", [](const std::string& e) { return e + std::string(TCoverStore::kMaxEntryBytes, 'x'); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, CoverStoreDamage, ::testing::ValuesIn(kDamageCases));

TEST_F(CoverStore, AnEntryOfAnotherPathUnderTheSameNameIsNotTaken) {
  const TCoverStore store = Store();
  const fs::path other = music_ / "b.mp3";
  WriteBytes(other, testing::Id3v23Tag({{3, SolidPicture(kRed, 40, 40)}}) + std::string(2000, '\0'));
  ASSERT_TRUE(store.Fetch(other.string()));
  ASSERT_TRUE(store.Fetch(audio_.string()));
  // As if both names hashed alike: b's entry where a's belongs.
  fs::copy_file(store.EntryPath(other.string()), store.EntryPath(audio_.string()), fs::copy_options::overwrite_existing);
  auto read = store.Fetch(audio_.string());
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->fromDisk);
  EXPECT_TRUE(Near(Centre(read->image), kBlue));
}

TEST_F(CoverStore, ALinkInTheCacheIsNeverFollowed) {
  // The cache folder itself a link: nothing is written where it leads.
  const fs::path elsewhere = dir_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, program_ / TCoverStore::kFolderName);
  auto read = Store().Fetch(audio_.string());
  ASSERT_TRUE(read);
  EXPECT_TRUE(Near(Centre(read->image), kBlue));
  EXPECT_TRUE(fs::is_empty(elsewhere));

  // An entry that is a link: replaced by the cache's own file, its target untouched.
  fs::remove(program_ / TCoverStore::kFolderName);
  const TCoverStore store = Store();
  ASSERT_TRUE(store.Fetch(audio_.string()));
  const std::string entry = store.EntryPath(audio_.string());
  const fs::path victim = dir_ / "victim.txt";
  WriteBytes(victim, "keep me");
  fs::remove(entry);
  fs::create_symlink(victim, entry);
  auto again = store.Fetch(audio_.string());
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->fromDisk);
  EXPECT_EQ(ReadWholeFile(victim), std::optional<std::string>("keep me"));
  EXPECT_FALSE(fs::is_symlink(entry));
}

TEST_F(CoverStore, AMissingTitleIsNoAnswerAndLeavesNoEntry) {
  const TCoverStore store = Store();
  const std::string gone = (music_ / "gone.mp3").string();
  EXPECT_FALSE(store.Fetch(gone));
  EXPECT_FALSE(fs::exists(store.EntryPath(gone)));
}

TEST_F(CoverStore, AProgramFolderThatCannotBeWrittenStillAnswers) {
  if (::geteuid() == 0) GTEST_SKIP() << "a superuser writes anyway";
  fs::permissions(program_, fs::perms::owner_read | fs::perms::owner_exec);
  auto read = Store().Fetch(audio_.string());
  ASSERT_TRUE(read);
  EXPECT_TRUE(Near(Centre(read->image), kBlue));
}

}  // namespace
}  // namespace orvela
