// A music folder as venues have it: MP3 beside FLAC, Ogg Vorbis, Opus and M4A
// (names in any case), with covers, a damaged file and a pipe among them,
// scanned into the collection and saved as the collection file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "collection/folder_scan.h"
#include "collection/title_record.h"
#include "metadata/audio_file.h"
#include "support/audio_fixtures.h"
#include "support/mp3_tree.h"
#include "test_files.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

TEST(MusicFormatsScan, TheMaskTakesEveryMusicFormatInAnyCase) {
  const struct {
    const char* name;
    bool matches;
  } cases[] = {
      {"Lied.mp3", true},   {"Lied.FLAC", true},  {"Lied.ogg", true},     {"Lied.OGA", true},
      {"Lied.Opus", true},  {"Lied.m4a", true},   {"Lied.M4A", true},     {"Lied.wav", false},
      {"Lied.wma", false},  {"cover.jpg", false}, {"Lied.m4a.txt", false}, {"Lied.flac~", false},
      {"m4a", false},       {".opus", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, kMusicFileMask), c.matches) << c.name;
  // Each entry of a list counts on its own; an empty entry takes nothing.
  EXPECT_TRUE(MatchesMask("a.b", "*.x;*.b"));
  EXPECT_FALSE(MatchesMask("a.b", "*.x;"));
  EXPECT_FALSE(MatchesMask("a.b", ";"));
}

TEST(MusicFormatsScan, AFolderOfEveryFormatBecomesTheRightRows) {
  ScratchDir dir;
  const fs::path root = dir.File("musik");
  fs::create_directories(root / "Alben" / "Kauf");
  const auto copy = [&root](const char* fixture, const std::string& name) {
    fs::copy_file(AudioFixturePath(fixture), root / name);
  };
  copy("tagged.flac", "a.flac");
  copy("untagged.flac", "B.FLAC");
  copy("tagged.ogg", "c.ogg");
  copy("tagged.opus", "d.Opus");
  copy("oggflac.oga", "e.oga");
  copy("tagged.m4a", "Alben/Kauf/f.M4A");
  copy("alac.m4a", "Alben/Kauf/g.m4a");
  copy("untagged.m4a", "Alben/h.m4a");
  WriteTinyMp3(root / "i.mp3", "MP3 Band");
  WriteBytes((root / "kaputt.flac").string(), "fLaC but nothing a FLAC file holds");
  WriteBytes((root / "cover.jpg").string(), "\xFF\xD8\xFF");
  ASSERT_EQ(::mkfifo((root / "x.flac").c_str(), 0600), 0);

  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  TFolderScanOptions options;
  options.recursive = true;
  TFolderScanCallbacks callbacks;
  callbacks.file = [&table](const std::string& path) {
    TAudioFile file;
    file.LoadFromFile(path);
    AppendTitleRecord(table, file);
  };
  const TFolderScanResult result = ScanFolder(root.string(), options, callbacks);
  EXPECT_EQ(result.skipped, 1u);  // the pipe, never opened

  const std::string r = root.string();
  const std::vector<TCollectionTable::Values> expected = {
      {"", "B.FLAC", r + "/B.FLAC", "Blues", "", "00:02"},
      {"Die \xC4rzte", "Schrei nach Liebe", r + "/a.flac", "Punk", "1993", "00:02"},
      {"Vorbis K\xFCnstler", "\xD6l aus ?\xF3\x64?", r + "/c.ogg", "Jazz", "2001", "00:03"},
      {"Opus Band", "Leise", r + "/d.Opus", "Ambient", "2019", "00:01"},
      {"Ogg FLAC", "Kiste", r + "/e.oga", "Rock", "1977", "00:01"},
      {"MP3 Band", "i.mp3", r + "/i.mp3", "Pop", "", "00:00"},
      {"Titel ist unbekannt", "kaputt.flac", r + "/kaputt.flac", "n.vorhanden", "0000", "00:00"},
      {"", "h.m4a", r + "/Alben/h.m4a", "Blues", "", "00:04"},
      {"AAC Artist", "Caf\xE9", r + "/Alben/Kauf/f.M4A", "Pop", "1985", "00:04"},
      {"Lossless", "Apple", r + "/Alben/Kauf/g.m4a", "Klassik", "2010", "00:02"},
  };
  // What the collection file keeps, not only what the table held.
  const std::string saved = dir.File("Musikliste.xml");
  table.SaveToFile(saved);
  TCollectionTable loaded(TCollectionTable::CollectionWidths(), true);
  loaded.LoadFromFile(saved);
  ASSERT_EQ(loaded.StoredRecordCount(), static_cast<int>(expected.size()));
  for (std::size_t row = 0; row < expected.size(); ++row) {
    for (int field = 0; field < TCollectionTable::kFieldCount; ++field) {
      EXPECT_EQ(loaded.StoredField(static_cast<int>(row) + 1, field), expected[row][field])
          << "row " << row << " field " << field;
    }
  }
}

}  // namespace
}  // namespace orvela::testing
