#include "jukebox/jukebox_ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "support/child_process.h"
#include "jukebox/date_time.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvela-ini-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    file_ = dir_ / "Jukebox.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  void Put(const std::string& bytes) const {
    std::ofstream out(file_, std::ios::binary);
    out << bytes;
  }
  std::string Get() const { return ReadWholeFile(file_).value_or("<missing>"); }
  TIniFile Ini() const { return TIniFile(NativePathToCp1252(file_.string())); }

  fs::path dir_;
  fs::path file_;
};

TEST_F(IniTest, OnlyASectionHeaderGivesEveryDefault) {
  Put("[Programm]\r\n");
  const TIniFile ini = Ini();
  EXPECT_TRUE(ini.FileExists());
  EXPECT_TRUE(ini.SectionExists("Programm"));
  EXPECT_FALSE(ini.SectionExists("Jingle"));
  EXPECT_FALSE(ini.ValueExists("Programm", "Kiosk"));
  EXPECT_TRUE(ini.ReadBool("Programm", "Kiosk", true));
  EXPECT_TRUE(ini.ReadBool("Programm", "Maus", true));
  EXPECT_EQ(ini.ReadInteger("Abspielliste", "max", 0), 0);
  EXPECT_EQ(ini.ReadString("Jingle", "Song_1", ""), "");
  EXPECT_EQ(ini.ReadDateTime("Programm", "Geburtzeit", 0.0), 0.0);
}

TEST_F(IniTest, MissingFileReadsDefaults) {
  const TIniFile ini = Ini();
  EXPECT_FALSE(ini.FileExists());
  EXPECT_FALSE(ini.SectionExists("Programm"));
  EXPECT_FALSE(ini.ReadBool("Programm", "Kiosk", false));
  EXPECT_EQ(ini.ReadInteger("Abspielliste", "max", 7), 7);
  EXPECT_EQ(ini.ReadString("Jingle", "Song_1", "x"), "x");
}

TEST_F(IniTest, BooleanAndIntegerValues) {
  struct Case {
    const char* text;
    std::optional<int> integer;  // nullopt: no integer, the default is read
  };
  const Case cases[] = {
      {"ja", std::nullopt},
      {"0", 0},
      {"1", 1},
      {"2", 2},
      {"-1", -1},
      {"0x0", 0},
      {"0x1F", 31},
      {"0XfF", 255},
      {"0xFFFFFFFF", -1},
      {" 12 ", 12},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"1x", std::nullopt},
      {"1.5", std::nullopt},
      {"--1", std::nullopt},
      {"2147483648", std::nullopt},
      {"0x100000000", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Put(std::string("[Programm]\r\nKiosk=") + c.text + "\r\n");
    const TIniFile ini = Ini();
    EXPECT_EQ(ini.ReadInteger("Programm", "Kiosk", 4711), c.integer.value_or(4711));
    EXPECT_EQ(ini.ReadBool("Programm", "Kiosk", true), c.integer ? *c.integer != 0 : true);
    EXPECT_EQ(ini.ReadBool("Programm", "Kiosk", false), c.integer ? *c.integer != 0 : false);
  }
}

TEST_F(IniTest, NamesMatchWithoutCaseAndSurroundingBlanks) {
  struct Case {
    const char* file;
    const char* section;
    const char* key;
    const char* value;  // nullptr: not found
  };
  const Case cases[] = {
      {"[programm]\nkiosk=0\n", "Programm", "Kiosk", "0"},  // LF-only lines as well
      {"[PROGRAMM]\r\nKIOSK=0\r\n", "programm", "kiosk", "0"},
      {"[Filter]\r\nFiltermenge=3\r\n", "Filter", " Filtermenge", "3"},
      {"[Filter]\r\n Filtermenge=3\r\n", "Filter", "Filtermenge", "3"},
      {"  [ Filter ]  \r\n\t Filtermenge \t=3\r\n", "Filter", "Filtermenge", "3"},
      {"[\xC4RGER]\r\n\xDC" "ber=1\r\n", "\xE4rger", "\xFC" "ber", "1"},
      {"[Filter]\r\nFiltermengen=3\r\n", "Filter", "Filtermenge", nullptr},
      {"[Jingle]\r\nKiosk=0\r\n[Programm]\r\n", "Programm", "Kiosk", nullptr},
      {"Kiosk=0\r\n[Programm]\r\n", "Programm", "Kiosk", nullptr},
      {"\xEF\xBB\xBF[Programm]\r\nKiosk=0\r\n", "Programm", "Kiosk", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Put(c.file);
    const std::string got = Ini().ReadString(c.section, c.key, "<default>");
    EXPECT_EQ(got, c.value ? c.value : "<default>");
  }
}

TEST_F(IniTest, ValueIsTheLiteralRestOfTheLine) {
  Put("[Jingle]\r\nSong_1= C:\\Musik\\a=b.mp3  \r\nSong_2=\"quoted\"\r\nSong_3=\r\n");
  const TIniFile ini = Ini();
  EXPECT_EQ(ini.ReadString("Jingle", "Song_1", ""), " C:\\Musik\\a=b.mp3  ");
  EXPECT_EQ(ini.ReadString("Jingle", "Song_2", ""), "\"quoted\"");
  // An empty value is a value, not a missing key.
  EXPECT_EQ(ini.ReadString("Jingle", "Song_3", "x"), "");
}

TEST_F(IniTest, LongValues) {
  Put("[Jingle]\r\n");
  TIniFile ini = Ini();
  std::string path = "/musik/";
  while (path.size() < 296) path += "\xE4" "bc/";
  path.resize(296);
  path += ".mp3";
  ASSERT_EQ(path.size(), 300u);
  ini.WriteString("Jingle", "Song_1", path);
  EXPECT_EQ(ini.ReadString("Jingle", "Song_1", ""), path);

  const std::string longValue(3000, 'x');
  ini.WriteString("Jingle", "Song_2", longValue);
  EXPECT_EQ(ini.ReadString("Jingle", "Song_2", ""), std::string(2047, 'x'));
  // The file keeps the whole value; only reading is limited.
  EXPECT_NE(Get().find(longValue), std::string::npos);
}

TEST_F(IniTest, BirthdayMomentTexts) {
  Put("[Programm]\r\n");
  TIniFile ini = Ini();
  const double midnight = EncodeDate(2008, 12, 24);
  ini.WriteDateTime("Programm", "Geburtzeit", midnight);
  EXPECT_EQ(Get(), "[Programm]\r\nGeburtzeit=24.12.2008\r\n");
  EXPECT_EQ(ini.ReadDateTime("Programm", "Geburtzeit", -1.0), midnight);

  const double evening = midnight + EncodeTime(18, 30, 0);
  ini.WriteDateTime("Programm", "Geburtzeit", evening);
  EXPECT_EQ(Get(), "[Programm]\r\nGeburtzeit=24.12.2008 18:30:00\r\n");
  EXPECT_NEAR(ini.ReadDateTime("Programm", "Geburtzeit", -1.0), evening, 1e-9);

  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"00:00:00", 0.0},
      {"18:30:00", EncodeTime(18, 30, 0)},
      {"1.2.2009", EncodeDate(2009, 2, 1)},
      {"kaputt", -1.0},
      {"31.02.2009", -1.0},
      {"", -1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Put(std::string("[Programm]\r\nGeburtzeit=") + c.text + "\r\n");
    EXPECT_NEAR(Ini().ReadDateTime("Programm", "Geburtzeit", -1.0), c.expected, 1e-9);
  }
}

TEST_F(IniTest, WritesInPlaceAppendAndKeepUnknownEntries) {
  Put("; delivered settings\r\n"
      "[Schalter_Einstellungen]\r\n"
      "Schalter_Jingle=1\r\n"
      "Unbekannt=xyz\r\n"
      "\r\n"
      "[Programm]\r\n"
      "kiosk=1\r\n"
      "Maus=1\r\n"
      "[Filter]\r\n"
      "Filtermenge=3\r\n");
  TIniFile ini = Ini();
  ini.WriteBool("Schalter_Einstellungen", "Schalter_Stop_Titel", false);
  ini.WriteBool("Programm", "Kiosk", false);
  ini.WriteInteger("Filter", " Filtermenge", 5);
  ini.WriteInteger("Abspielliste", "max", 50);
  ini.WriteString("abspielliste", "MAX", "60");
  EXPECT_EQ(Get(),
            "; delivered settings\r\n"
            "[Schalter_Einstellungen]\r\n"
            "Schalter_Jingle=1\r\n"
            "Unbekannt=xyz\r\n"
            "Schalter_Stop_Titel=0\r\n"
            "\r\n"
            "[Programm]\r\n"
            "kiosk=0\r\n"
            "Maus=1\r\n"
            "[Filter]\r\n"
            "Filtermenge=5\r\n"
            "[Abspielliste]\r\n"
            "max=60\r\n");
  EXPECT_FALSE(ini.ReadBool("Programm", "Kiosk", true));
  EXPECT_EQ(ini.ReadInteger("Filter", "Filtermenge", 0), 5);
}

TEST_F(IniTest, MenuCodeInForce) {
  const struct {
    const char* file;
    const char* code;
  } cases[] = {
      {"[Programm]\r\nMenuecode=4711\r\n", "4711"},
      {"[Programm]\r\nmenuecode=0042\r\n", "0042"},  // leading zeros are part of the code
      {"[Programm]\r\nMenuecode=123456789012\r\n", "123456789012"},
      {"[Programm]\r\nMenuecode=9\r\n", "9"},
      {"[Programm]\r\n", "6813"},
      {"", "6813"},
      {"[Programm]\r\nMenuecode=\r\n", "6813"},
      {"[Programm]\r\nMenuecode=12a4\r\n", "6813"},
      {"[Programm]\r\nMenuecode=-123\r\n", "6813"},
      {"[Programm]\r\nMenuecode=12 34\r\n", "6813"},
      {"[Programm]\r\nMenuecode=0x1F\r\n", "6813"},
      {"[Jingle]\r\nMenuecode=4711\r\n", "6813"},
  };
  for (const auto& c : cases) {
    Put(c.file);
    EXPECT_EQ(ReadMenuCode(Ini()), c.code) << c.file;
  }
}

TEST_F(IniTest, DeliveredFileReadsAndRewritesUnchanged) {
  const fs::path delivered =
      fs::path(ORVELA_SOURCE_DIR) / "assets/data/Jukebox.ini";
  const auto bytes = ReadWholeFile(delivered);
  ASSERT_TRUE(bytes) << delivered;
  Put(*bytes);
  TIniFile ini = Ini();
  // Every entry of the delivered file, read with a default it cannot have, and
  // written back as the settings menu does: the file must not change a byte.
  std::string section;
  int entries = 0;
  std::size_t pos = 0;
  while (pos < bytes->size()) {
    const std::size_t end = bytes->find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "delivered lines end in CR LF";
    const std::string line = bytes->substr(pos, end - pos);
    pos = end + 2;
    if (!line.empty() && line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = ini.ReadString(section, key, "<default>");
    EXPECT_EQ(value, line.substr(eq + 1)) << section << "/" << key;
    ini.WriteString(section, key, value);
    ++entries;
  }
  EXPECT_GE(entries, 20);
  EXPECT_EQ(Get(), *bytes);
  EXPECT_EQ(ini.ReadInteger("Filter", "Filtermenge", -1), 0);
  EXPECT_TRUE(ini.ReadDateTime("Programm", "Geburtzeit", -1.0) > 0);
}

TEST_F(IniTest, LfOnlyFileIsRewrittenWithCrLf) {
  Put("[Programm]\nKiosk=1\nMaus=1");
  Ini().WriteBool("Programm", "Maus", false);
  EXPECT_EQ(Get(), "[Programm]\r\nKiosk=1\r\nMaus=0\r\n");
}

TEST_F(IniTest, WriteCreatesAMissingFileWithThatEntryAlone) {
  TIniFile ini = Ini();
  ini.WriteBool("Programm", "Geburtstag", false);
  EXPECT_EQ(Get(), "[Programm]\r\nGeburtstag=0\r\n");
}

TEST_F(IniTest, LineBreaksInAValueCannotAddEntries) {
  Put("[Filter]\r\n");
  TIniFile ini = Ini();
  ini.WriteString("Filter", "Genre Combo1", "Rock\r\nFiltermenge=9");
  EXPECT_EQ(ini.ReadString("Filter", "Genre Combo1", ""), "Rock  Filtermenge=9");
  EXPECT_FALSE(ini.ValueExists("Filter", "Filtermenge"));
}

TEST_F(IniTest, RefusedWriteThrowsWithFullPathAndKeepsTheFile) {
  const std::string original = "[Programm]\r\nKiosk=1\r\n";
  Put(original);
  TIniFile ini = Ini();
  const std::string expectedMessage = "In " + ini.FileName() + " kann nicht geschrieben werden";

  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  try {
    ini.WriteBool("Programm", "Kiosk", false);
    ADD_FAILURE() << "a read-only file was written";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), expectedMessage);
    EXPECT_EQ(e.Path(), ini.FileName());
  }
  EXPECT_EQ(Get(), original);

  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(ini.WriteBool("Programm", "Kiosk", false), IniWriteError);
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(Get(), original);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

TEST_F(IniTest, FileNameIsTheFullPath) {
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  TIniFile ini("Jukebox.ini");
  fs::current_path(old);
  EXPECT_EQ(ini.FileName(), NativePathToCp1252(file_.string()));
  EXPECT_EQ(TIniFile(NativePathToCp1252((dir_ / "a/../Jukebox.ini").string())).FileName(),
            ini.FileName());
}

TEST_F(IniTest, CodePagePathIsTheNativeUtf8Name) {
  TIniFile ini(NativePathToCp1252(dir_.string()) + "/Einstellungen f\xFCr \xC4rger.ini");
  ini.WriteInteger("Abspielliste", "max", 3);
  EXPECT_TRUE(fs::exists(dir_ / "Einstellungen f\xC3\xBCr \xC3\x84rger.ini"));
  EXPECT_EQ(ini.ReadInteger("Abspielliste", "max", 0), 3);
}

TEST_F(IniTest, WritingThroughALinkKeepsTheLink) {
  const fs::path real = dir_ / "real.ini";
  { std::ofstream(real, std::ios::binary) << "[Programm]\r\nKiosk=1\r\n"; }
  fs::create_symlink(real, file_);
  Ini().WriteBool("Programm", "Kiosk", false);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ReadWholeFile(real).value_or(""), "[Programm]\r\nKiosk=0\r\n");
}

TEST_F(IniTest, DamagedFilesNeverCrash) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string cases[] = {
      binary,
      std::string(100000, '['),
      std::string(100000, '='),
      "[Programm" + std::string(5000, 'x') + "\r\nKiosk=0",
      "[Programm]\r\nKiosk=" + std::string(1 << 20, '9'),
      std::string("[Programm]\0\r\nKiosk=0\r\n", 21),
      "\r\r\r\n\n\n",
  };
  for (const std::string& bytes : cases) {
    Put(bytes);
    const TIniFile ini = Ini();
    (void)ini.ReadString("Programm", "Kiosk", "");
    const int kiosk = ini.ReadInteger("Programm", "Kiosk", 42);
    EXPECT_TRUE(kiosk == 0 || kiosk == 42) << kiosk;
    (void)ini.ReadDateTime("Programm", "Geburtzeit", 0.0);
  }
  // Not a file at all: a folder, or a FIFO, which an open for reading would wait
  // on for a writer (the watchdog turns such a wait into a failure).
  fs::remove(file_);
  fs::create_directory(file_);
  EXPECT_EQ(Ini().ReadInteger("Programm", "Kiosk", 42), 42);
  EXPECT_THROW(Ini().WriteBool("Programm", "Kiosk", false), IniWriteError);
  fs::remove(file_);
  ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
  const TIniFile fifo = Ini();
  const testing::ChildOutcome verdict = testing::RunInChild([&fifo] {
    TIniFile ini = fifo;
    if (ini.FileExists() || ini.SectionExists("Programm") || ini.ReadInteger("Programm", "Kiosk", 42) != 42) return 1;
    try {
      ini.WriteBool("Programm", "Kiosk", false);
      return 2;
    } catch (const IniWriteError&) {
    }
    return 0;
  });
  EXPECT_TRUE(verdict.Ok()) << verdict.Describe();
  EXPECT_TRUE(fs::is_fifo(file_));
}

// Reading looks at each byte about once and holds at most a buffer of the file:
// lines longer than that buffer and runs of blank lines longer than it must read
// exactly as short ones do.
TEST_F(IniTest, LongLinesAndBlankRunsReadLikeShortOnes) {
  std::string blanks;
  while (blanks.size() < (std::size_t{1} << 20)) blanks += "\r\n \t\r\n\n   \r\n";
  const std::string longValue(3000, 'v');
  const std::string file = "\xEF\xBB\xBF" + std::string(200000, 'j') + "\r\n" + blanks + "  [Programm]  \r\n" +
                           std::string(70000, 'k') + "=1\r\n" + blanks + "Geburtstagssong=" + longValue + "\r\n" +
                           "Kiosk=0" + std::string(100000, ' ') + "\r\n" + blanks + "Maus=0";
  Put(file);
  TIniFile ini = Ini();
  EXPECT_TRUE(ini.SectionExists("Programm"));
  EXPECT_EQ(ini.ReadString("Programm", "Geburtstagssong", ""), longValue.substr(0, TIniFile::kMaxValueLength));
  EXPECT_EQ(ini.ReadInteger("Programm", "Kiosk", 42), 0);
  EXPECT_FALSE(ini.ReadBool("Programm", "Maus", true));

  ini.WriteBool("Programm", "Automatik", false);
  EXPECT_FALSE(ini.ReadBool("Programm", "Automatik", true));
  EXPECT_EQ(ini.ReadInteger("Programm", "Kiosk", 42), 0);
  EXPECT_EQ(ini.ReadString("Programm", "Geburtstagssong", ""), longValue.substr(0, TIniFile::kMaxValueLength));
  EXPECT_NE(Get().find("Maus=0\r\nAutomatik=0\r\n"), std::string::npos);
}

// A batch must leave exactly the file that the same writes one after another
// leave: same places for new keys and sections, last value wins, spelling of
// existing keys kept, BOM and LF-only lines normalised the same way.
TEST_F(IniTest, BatchWritesAsTheSingleWritesWouldOneAfterAnother) {
  const TIniEntry entries[] = {
      {"Schalter_Einstellungen", "Schalter_Jingle", "0"},
      {"Programm", "kiosk", "1"},
      {"Programm", "Geburtstagssong", "C:\\Lieder\\Happy Birthday.mp3"},
      {"Programm", "Neu", "a"},
      {"Programm", "Neu", "b"},
      {"Jingle", "Song_1", "x=y"},
      {"Jingle", "Song_2", "zwei\r\nSong_3=drei"},
      {"abspielliste", "max", "7"},
      {"Abspielliste", "MAX", "8"},
  };
  const std::string starts[] = {
      "",
      "; delivered\r\n[Programm]\r\nKIOSK=0\r\n\r\n[Filter]\r\n Filtermenge=3\r\n",
      "\xEF\xBB\xBF[Jingle]\nSong_1=alt\n[Programm]\nNeu=0\nKiosk=0",
      "[Programm]\r\nKiosk=0\r\n[Programm]\r\nKiosk=1\r\n[Abspielliste]\r\n\r\n\r\n",
  };
  for (const std::string& start : starts) {
    SCOPED_TRACE(start);
    Put(start);
    TIniFile one = Ini();
    for (const TIniEntry& e : entries) one.WriteString(e.section, e.key, e.value);
    const std::string expected = Get();

    Put(start);
    TIniBatch batch;
    for (const TIniEntry& e : entries) batch.WriteString(e.section, e.key, e.value);
    Ini().Write(batch);
    EXPECT_EQ(Get(), expected);
  }
  // A missing file too, which the writes create.
  fs::remove(file_);
  TIniBatch batch;
  batch.WriteBool("Programm", "Maus", false);
  batch.WriteInteger("Abspielliste", "max", 0);
  batch.WriteDateTime("Programm", "Geburtzeit", EncodeDate(2008, 12, 24));
  Ini().Write(batch);
  EXPECT_EQ(Get(), "[Programm]\r\nMaus=0\r\nGeburtzeit=24.12.2008\r\n[Abspielliste]\r\nmax=0\r\n");
}

TEST_F(IniTest, BatchIsAllOrNothingAndAnEmptyOneTouchesNothing) {
  TIniFile ini = Ini();
  ini.Write(TIniBatch());
  EXPECT_FALSE(fs::exists(file_)) << "an empty batch created the file";

  const std::string original = "[Programm]\r\nKiosk=1\r\n";
  Put(original);
  fs::permissions(file_, fs::perms::owner_read);
  TIniBatch batch;
  batch.WriteBool("Programm", "Kiosk", false);
  batch.WriteBool("Programm", "Maus", false);
  try {
    ini.Write(batch);
    ADD_FAILURE() << "a read-only file was written";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(e.Path(), ini.FileName());
  }
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Get(), original);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

// An older system wrote the program folder's name in Latin-1 bytes; the program
// gets it as a code-page path and must still find and write Jukebox.ini there.
TEST_F(IniTest, ProgramFolderNamedInLatin1Bytes) {
  const fs::path folder = dir_ / "M\xFCller";  // not UTF-8
  ASSERT_TRUE(fs::create_directory(folder));
  const std::string path = NativePathToCp1252(folder.string()) + "/Jukebox.ini";
  TIniFile ini(path);
  EXPECT_FALSE(ini.FileExists());
  ini.WriteInteger("Abspielliste", "max", 12);
  EXPECT_TRUE(fs::is_regular_file(folder / "Jukebox.ini"));
  EXPECT_FALSE(fs::exists(Cp1252ToNativePath(NativePathToCp1252(folder.string()))));  // no UTF-8 twin
  EXPECT_TRUE(ini.FileExists());
  EXPECT_EQ(TIniFile(path).ReadInteger("Abspielliste", "max", 0), 12);
  ini.WriteInteger("Abspielliste", "max", 13);
  EXPECT_EQ(ini.ReadInteger("Abspielliste", "max", 0), 13);
}

}  // namespace
}  // namespace orvela
