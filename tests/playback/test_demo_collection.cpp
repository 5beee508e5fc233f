// The demo collection must look to the jukebox exactly like a scanned folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "collection/collection_table.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "demo/audio_check.h"
#include "demo/demo_collection.h"

namespace orvela::demo {
namespace {

namespace fs = std::filesystem;

std::string MakeTempDir() {
  std::string p = (fs::temp_directory_path() / "orvela-demo-coll-XXXXXX").string();
  return mkdtemp(p.data()) ? p : std::string();
}

std::string CollectionIn(const fs::path& dir) {
  return NativePathToCp1252((dir / "Musikliste.xml").string());
}

// One generated demo serves every test that needs it: encoding a dozen titles is
// the slow part, and those tests only read or copy the result. Made on first use,
// so a test process that runs none of them pays nothing.
struct SharedDemo {
  fs::path folder;
  bool ok = false;
  DemoResult result;
  std::string error;
  SharedDemo() {
    folder = MakeTempDir();
    if (!folder.empty()) ok = WriteDemoCollection(folder.string(), &result, &error);
  }
  ~SharedDemo() {
    std::error_code ec;
    if (!folder.empty()) fs::remove_all(folder, ec);
  }
  static const SharedDemo& Get() {
    static const SharedDemo demo;
    return demo;
  }
};

class DemoFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir();
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // The shared demo's folder; the calling test stops when it could not be made.
  static const SharedDemo& Demo() {
    const SharedDemo& d = SharedDemo::Get();
    EXPECT_TRUE(d.ok) << d.error;
    return d;
  }
  fs::path dir_;
};

TEST(DemoRecords, DauerIsMinutesAndSecondsWithAtLeastTwoDigits) {
  const struct {
    std::int32_t seconds;
    const char* text;
  } cases[] = {{0, "00:00"}, {59, "00:59"}, {60, "01:00"}, {225, "03:45"}, {6000, "100:00"}};
  for (const auto& c : cases) EXPECT_EQ(FormatDauer(c.seconds), c.text) << c.seconds;
}

TEST(DemoRecords, TitleRecordTakesTheFieldsAsTheyAre) {
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  TAudioFile f;
  f.Artist = " \xC4rzte ";  // untrimmed, code page
  f.Title = "";             // no substitute text for an empty title
  f.FilePath = "/m/a&b.mp3";
  f.Genre = std::string(30, 'g');  // cut to the collection width of 20
  f.Year = "1999";
  f.Duration = 225;
  AppendTitleRecord(table, f);
  ASSERT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(table.FieldAsString("Interpret"), " \xC4rzte ");
  EXPECT_EQ(table.FieldAsString("Titel"), "");
  EXPECT_EQ(table.FieldAsString("Pfad"), "/m/a&b.mp3");
  EXPECT_EQ(table.FieldAsString("Genre"), std::string(20, 'g'));
  EXPECT_EQ(table.FieldAsString("Jahr"), "1999");
  EXPECT_EQ(table.FieldAsString("Dauer"), "03:45");
}

TEST(DemoRecords, TracksAreDistinctAndWithinTheirLengths) {
  const auto& tracks = DemoTracks();
  ASSERT_EQ(tracks.size(), 12u);
  std::set<std::string> artists, names;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    EXPECT_GE(tracks[i].seconds, 20);
    EXPECT_LE(tracks[i].seconds, 40);
    artists.insert(tracks[i].artist);
    names.insert(DemoFileName(i));
  }
  EXPECT_EQ(artists.size(), 12u);
  EXPECT_EQ(names.size(), 12u);
}

TEST_F(DemoFolder, TracksAreTaggedTunesThatDiffer) {
  const SharedDemo& demo = Demo();
  if (!demo.ok) return;
  const fs::path& shared = demo.folder;
  std::set<long> pitches;
  for (std::size_t i = 0; i < DemoTracks().size(); ++i) {
    SCOPED_TRACE(i);
    const DemoTrack& t = DemoTracks()[i];
    const fs::path path = shared / "Demo" / DemoFileName(i);
    const std::string bytes = ReadWholeFile(path).value_or("");
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("ID3") + static_cast<char>(t.id3Version));
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 3) == "TAG", t.id3v1);
    Pcm pcm;
    std::string error;
    ASSERT_TRUE(DecodeAudioFile(path.string(), &pcm, &error)) << error;
    // Only the Xing/LAME frame of the VBR titles tells the decoder the encoder delay.
    EXPECT_NEAR(pcm.DurationSeconds(), t.seconds + 0.4, t.vbr ? 0.03 : 0.1);
    const double level = RmsLevel(pcm, 1.0, 5.0);
    EXPECT_GT(level, 0.05);
    EXPECT_LT(RmsLevel(pcm, pcm.DurationSeconds() - 0.1, 0.1), level / 10);  // faded out
    pitches.insert(std::lround(DominantFrequency(pcm, 1.0, 4.0, 2000.0) / 5.0));
  }
  // Different keys, scales and tunes: the strongest pitch differs for most of them.
  EXPECT_GE(pitches.size(), 8u);
}

TEST_F(DemoFolder, CollectionHoldsEveryTrackAsTheScannerWouldStoreIt) {
  const SharedDemo& demo = Demo();
  if (!demo.ok) return;
  const fs::path& shared = demo.folder;
  EXPECT_EQ(demo.result.written, 12);
  EXPECT_EQ(demo.result.appended, 12);

  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  table.LoadFromFile(CollectionIn(shared));
  ASSERT_EQ(table.RecordCount(), 12);
  const auto& tracks = DemoTracks();
  for (int row = 0; row < 12; ++row) {
    SCOPED_TRACE(row);
    const DemoTrack& t = tracks[row];  // rows in storage order = track order
    const std::string path =
        NativePathToCp1252((fs::absolute(shared) / "Demo" / DemoFileName(row)).string());
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Pfad), path);
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Interpret), Utf8ToCp1252(t.artist));
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Titel), Utf8ToCp1252(t.title));
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Genre), t.genre);
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Jahr), t.year);
    EXPECT_EQ(table.ViewField(row, TCollectionTable::Dauer), FormatDauer(t.seconds));
    EXPECT_TRUE(fs::exists(Cp1252ToNativePath(path)));
  }
  // The appended marks make it a file the collection builder could have written.
  const std::string xml = ReadWholeFile(shared / "Musikliste.xml").value_or("");
  EXPECT_NE(xml.find("CHANGE_LOG=\"1 0 4 2 0 4 3 0 4"), std::string::npos);
  EXPECT_NE(xml.find("Br\xF6tchen &amp; S\xF6hne"), std::string::npos);
}

TEST_F(DemoFolder, ExistingCollectionKeepsItsRowsAndGetsNoDuplicates) {
  const SharedDemo& demo = Demo();
  if (!demo.ok) return;
  const fs::path& shared = demo.folder;
  std::error_code ec;
  fs::copy(shared / "Demo", dir_ / "Demo", ec);
  ASSERT_FALSE(ec) << ec.message();
  {
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    table.AppendRecord("A", "B", "/x/b.mp3", "Pop", "2000", "01:00");
    table.SaveToFile(CollectionIn(dir_));
  }
  std::string error;
  DemoResult first, second;
  ASSERT_TRUE(WriteDemoCollection(dir_.string(), &first, &error)) << error;
  ASSERT_TRUE(WriteDemoCollection(dir_.string(), &second, &error)) << error;
  EXPECT_EQ(first.written, 0);  // the copied files are kept
  EXPECT_EQ(first.appended, 12);
  EXPECT_EQ(second.appended, 0);
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  table.LoadFromFile(CollectionIn(dir_));
  EXPECT_EQ(table.RecordCount(), 13);
  EXPECT_EQ(table.ViewField(0, TCollectionTable::Pfad), "/x/b.mp3");
  EXPECT_EQ(table.ViewField(12, TCollectionTable::Pfad),
            NativePathToCp1252((fs::absolute(dir_) / "Demo" / DemoFileName(11)).string()));
}

TEST_F(DemoFolder, UnreadableCollectionIsLeftAlone) {
  const fs::path list = dir_ / "Musikliste.xml";
  ASSERT_TRUE(WriteFileAtomically(list, "not a collection"));
  DemoResult result;
  std::string error;
  EXPECT_FALSE(WriteDemoCollection(dir_.string(), &result, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadWholeFile(list).value_or(""), "not a collection");
  EXPECT_EQ(result.written, 0);
}

TEST_F(DemoFolder, FolderTheCodePageCannotSpellIsRefused) {
  const fs::path folder = dir_ / "\xD0\x96urnal";  // a Cyrillic letter
  DemoResult result;
  std::string error;
  EXPECT_FALSE(WriteDemoCollection(folder.string(), &result, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(folder));
}

}  // namespace
}  // namespace orvela::demo
