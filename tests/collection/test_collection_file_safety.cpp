// The collection file where the file system or the machine gets in the way: a
// FIFO or folder where the file should be, too little memory, a read-only file,
// a link, a program folder named in Latin-1 bytes, and files larger than the
// reader's buffer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "collection/collection_table.h"
#include "common/codepage.h"
#include "support/child_process.h"
#include "test_files.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

// Rows whose values are long enough that a few thousand of them make a file
// larger than the reader's buffer, with escapes and code-page bytes throughout.
TCollectionTable::Values LongRow(int i) {
  const std::string n = std::to_string(i);
  return {"K\xFCnstler " + n + " & \"Band\"", std::string(150 + i % 97, 'x') + " <" + n + "> \xE4\xF6\xFC\xDF",
          "D:\\Musik\\" + n + "\\" + std::string(200 + i % 53, 'p') + ".mp3", "Rock", std::to_string(1950 + i % 70),
          "03:" + std::to_string(10 + i % 50)};
}

TEST(CollectionFileSafety, LargeFileRoundTripsAcrossReadBuffers) {
  ScratchDir dir;
  TCollectionTable written(TCollectionTable::CollectionWidths(), true);
  constexpr int kRows = 3000;
  for (int i = 0; i < kRows; ++i) written.AppendRecord(LongRow(i));
  written.SaveToFile(dir.File("big.xml"));
  ASSERT_GT(fs::file_size(dir.File("big.xml")), std::uintmax_t{1} << 20);

  TCollectionTable read(TCollectionTable::CollectionWidths(), true);
  read.LoadFromFile(dir.File("big.xml"));
  ASSERT_EQ(read.RecordCount(), kRows);
  for (int i = 0; i < kRows; ++i) {
    read.SetRecNo(i + 1);
    const auto expected = LongRow(i);
    for (int f = 0; f < TCollectionTable::kFieldCount; ++f) ASSERT_EQ(read.FieldAsString(f), expected[f]) << i << "/" << f;
  }
  read.SaveToFile(dir.File("again.xml"));
  EXPECT_EQ(ReadBytes(dir.File("again.xml")), ReadBytes(dir.File("big.xml")));
}

// A file declaring UTF-8 is UTF-8 only when every byte of it lives up to that; the
// check runs through the whole file, a buffer at a time, and a sequence cut by a
// buffer's end must not count as broken.
TEST(CollectionFileSafety, DeclaredUtf8IsCheckedThroughTheWholeFile) {
  ScratchDir dir;
  std::string fields;
  for (const char* name : {"Interpret", "Titel", "Pfad", "Genre", "Jahr", "Dauer"})
    fields += std::string("<FIELD attrname=\"") + name + "\" fieldtype=\"string\" WIDTH=\"500\"/>";
  std::string rows;
  // Odd-length prefixes shift the two-byte sequences across every buffer boundary.
  for (int i = 0; i < 2500; ++i) {
    std::string title(i % 7, 'a');
    for (int k = 0; k < 100; ++k) title += "\xC3\xBC";
    rows += "<ROW Interpret=\"" + std::to_string(i) + "\" Titel=\"" + title + "\"/>";
  }
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" +
                           fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>";
  const std::string wellFormed = head + rows + "</ROWDATA></DATAPACKET>";
  const std::string latin1Tail = head + rows + "<ROW Interpret=\"M\xFCller\"/></ROWDATA></DATAPACKET>";
  ASSERT_GT(wellFormed.size(), std::size_t{1} << 19);

  struct Case {
    const char* name;
    const std::string& bytes;
    std::string umlaut;  // what "ü" of the rows reads as
  } const cases[] = {
      {"well-formed UTF-8", wellFormed, "\xFC"},
      {"a Latin-1 byte at the end", latin1Tail, "\xC3\xBC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.File("utf8.xml"), c.bytes);
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.LoadFromFile(dir.File("utf8.xml"));
    for (int row : {1, 1234, 2500}) {
      t.SetRecNo(row);
      std::string expected(static_cast<std::size_t>((row - 1) % 7), 'a');
      for (int k = 0; k < 100; ++k) expected += c.umlaut;
      ASSERT_EQ(t.FieldAsString("Titel"), expected) << row;
    }
  }
}

// A FIFO would make a plain open wait for a writer forever, at program start.
TEST(CollectionFileSafety, FifoOrFolderInPlaceOfTheFileFailsTheLoad) {
  ScratchDir dir;
  ASSERT_EQ(::mkfifo(dir.File("Musikliste.xml").c_str(), 0600), 0);
  fs::create_directory(dir.File("TempMusikliste.xml"));
  const std::string fifo = dir.File("Musikliste.xml");
  const std::string folder = dir.File("TempMusikliste.xml");
  const testing::ChildOutcome verdict = testing::RunInChild([&] {
    for (const std::string& path : {fifo, folder}) {
      TCollectionTable t(TCollectionTable::CollectionWidths(), true);
      try {
        t.LoadFromFile(path);
        return 1;
      } catch (const TableError&) {
      }
      if (t.Active()) return 2;
    }
    return 0;
  });
  EXPECT_TRUE(verdict.Ok()) << verdict.Describe();
}

// Running out of memory while loading is a failed load like any other: the table
// is closed and the caller gets the table's error, which every window handler and
// the tool turn into their message. An escaping std::bad_alloc would end the
// program instead.
TEST(CollectionFileSafety, RunningOutOfMemoryFailsTheLoadAndTheSave) {
  if (!testing::kMemoryLimitsWork) GTEST_SKIP() << "address space limits do not work under the sanitizer";
  ScratchDir dir;
  {
    TCollectionTable big(TCollectionTable::CollectionWidths(), true);
    for (int i = 0; i < 60000; ++i) big.AppendRecord(LongRow(i));  // some 30 MB of values
    big.SaveToFile(dir.File("big.xml"));
  }
  TCollectionTable reference(TCollectionTable::CollectionWidths(), true);
  reference.AppendRecord("Alt", "Bestand", "", "", "", "");
  reference.SaveToFile(dir.File("Musikliste.xml"));
  const std::string before = ReadBytes(dir.File("Musikliste.xml"));
  const std::string bigFile = dir.File("big.xml");
  const std::string listFile = dir.File("Musikliste.xml");

  const testing::ChildOutcome load = testing::RunInChild([&] {
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.SetIndexFieldNames("Interpret;Titel");
    t.AppendRecord("b", "", "", "", "", "");
    t.AppendRecord("a", "", "", "", "", "");  // the collator is ready before the limit
    if (!testing::LimitGrowth(std::size_t{12} << 20)) return 10;
    try {
      t.LoadFromFile(bigFile);
      return 1;  // loaded despite the limit: the test proves nothing
    } catch (const TableError& e) {
      if (std::string(e.what()).find("memory") == std::string::npos) return 4;  // failed for another reason
    }
    if (t.Active() || t.RecordCount() != 0) return 2;
    t.Open();
    t.AppendRecord("after", "", "", "", "", "");
    return t.RecordCount() == 1 ? 0 : 3;
  });
  EXPECT_TRUE(load.Ok()) << load.Describe();

  const testing::ChildOutcome save = testing::RunInChild([&] {
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    for (int i = 0; i < 100; ++i) t.AppendRecord(LongRow(i));
    if (!testing::LimitGrowth(std::size_t{64} << 10)) return 10;
    try {
      t.SaveToFile(listFile);
      return 1;
    } catch (const TableError& e) {
      if (std::string(e.what()).find("memory") == std::string::npos) return 4;
    }
    return 0;
  });
  EXPECT_TRUE(save.Ok()) << save.Describe();
  EXPECT_EQ(ReadBytes(dir.File("Musikliste.xml")), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(fs::path(listFile).parent_path())) ++entries;
  EXPECT_EQ(entries, 2) << "a temporary file was left behind";
}

TEST(CollectionFileSafety, ReadOnlyFileIsNotReplaced) {
  ScratchDir dir;
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SaveToFile(dir.File("Musikliste.xml"));
  const std::string before = ReadBytes(dir.File("Musikliste.xml"));
  fs::permissions(dir.File("Musikliste.xml"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  t.AppendRecord("Neu", "", "", "", "", "");
  EXPECT_THROW(t.SaveToFile(dir.File("Musikliste.xml")), TableError);
  EXPECT_EQ(ReadBytes(dir.File("Musikliste.xml")), before);
  fs::permissions(dir.File("Musikliste.xml"), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(CollectionFileSafety, SavingThroughALinkKeepsTheLink) {
  ScratchDir dir;
  fs::create_directory(dir.File("daten"));
  WriteBytes(dir.File("daten/Musikliste.xml"), "old");
  fs::create_symlink("daten/Musikliste.xml", dir.File("Musikliste.xml"));
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("Alpha", "Song", "", "", "", "");
  t.SaveToFile(dir.File("Musikliste.xml"));
  EXPECT_TRUE(fs::is_symlink(dir.File("Musikliste.xml")));
  TCollectionTable back(TCollectionTable::CollectionWidths(), true);
  back.LoadFromFile(dir.File("daten/Musikliste.xml"));
  ASSERT_EQ(back.RecordCount(), 1);
  EXPECT_EQ(back.FieldAsString("Interpret"), "Alpha");
}

// An older system wrote the program folder's name in Latin-1 bytes; the program
// gets it as a code-page path and must still find and write its files there.
TEST(CollectionFileSafety, ProgramFolderNamedInLatin1Bytes) {
  ScratchDir dir;
  const std::string nativeFolder = dir.File("M\xFCller");  // not UTF-8
  ASSERT_TRUE(fs::create_directory(nativeFolder));
  const std::string programDir = NativePathToCp1252(nativeFolder) + "/";

  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("S\xE4nger", "Lied", "", "", "", "");
  t.SaveToFile(programDir + "Musikliste.xml");
  EXPECT_TRUE(fs::is_regular_file(nativeFolder + "/Musikliste.xml"));
  EXPECT_FALSE(fs::exists(Cp1252ToNativePath(programDir)));  // no second folder in UTF-8

  TCollectionTable back(TCollectionTable::CollectionWidths(), true);
  back.LoadFromFile(programDir + "Musikliste.xml");
  ASSERT_EQ(back.RecordCount(), 1);
  EXPECT_EQ(back.FieldAsString("Interpret"), "S\xE4nger");
}

}  // namespace
}  // namespace orvela
