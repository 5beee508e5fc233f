// Restricting the collection, without any window: value lists, slot rules,
// filter expressions, the settings and the actions on the tables and files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/program_state.h"
#include "jukebox/restriction_filter.h"
#include "jukebox/value_list.h"
#include "support/scripted_dialogs.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;
using Row = TCollectionTable::Values;
using K = TFilterKind;

class FakeDisplay : public TRestrictionDisplay {
 public:
  void ShowTitleCount(int n, bool r) override {
    count = n;
    countRestricted = r;
  }
  void ShowCollectionState(bool r) override { stateRestricted = r; }
  void SetRestrictionBox(bool ticked) override { box = ticked; }

  int count = -1;
  std::optional<bool> countRestricted;
  std::optional<bool> stateRestricted;
  std::optional<bool> box;
};

class CountingProgress : public TFilterProgress {
 public:
  void Begin(int n) override {
    total = n;
    position = 0;
  }
  void Advance() override {
    ++position;
    highest = std::max(highest, position);
  }
  void Finish() override {
    position = 0;
    ++finishes;
  }
  int total = -1;
  int position = 0;
  int highest = 0;
  int finishes = 0;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Row Title(std::string interpret, std::string genre, std::string jahr = "1980", std::string pfad = "") {
  if (pfad.empty()) pfad = "/music/" + interpret + ".mp3";
  return {interpret, "Song of " + interpret, pfad, genre, jahr, "03:00"};
}

class RestrictionFilterTest : public ::testing::Test {
 protected:
  RestrictionFilterTest() {
    static std::atomic<int> counter{0};
    dir = fs::temp_directory_path() /
          ("orvela_restriction_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(dir);
    fs::create_directories(dir);
    state.ProgramDir = dir.string() + "/";
    state.PlayOnceEnabled = false;
    collection.SetIndexFieldNames("Interpret;Titel");
  }
  ~RestrictionFilterTest() override {
    std::error_code ec;
    fs::permissions(dir / "TempMusikliste.xml", fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Read(const std::string& name) const { return ReadBytes(dir / name); }

  // The program folder as the settings menu finds it before opening the window,
  // and the collection loaded as at start-up.
  void Install(const std::vector<Row>& rows, const std::string& ini = "[Filter]\r\n") {
    Write("Jukebox.ini", ini);
    TCollectionTable file(TCollectionTable::CollectionWidths(), true);
    for (const Row& row : rows) file.AppendRecord(row);
    file.SaveToFile(state.ProgramDir + "Musikliste.xml");
    TCollectionTable(TCollectionTable::TransferWidths(), false).SaveToFile(state.ProgramDir + "TempMusikliste.xml");
    for (K kind : kFilterKinds) Write(ValueListFileName(kind), "");
    collection.LoadFromFile(state.ProgramDir + "Musikliste.xml");
    collection.SetFiltered(false);
  }

  std::vector<std::string> Column(int field) const {
    std::vector<std::string> values;
    for (int i = 0; i < collection.RecordCount(); ++i) values.push_back(collection.ViewField(i, field));
    return values;
  }

  // The operator ticks or unticks a slot's box: the click flips it first.
  void Click(K kind, int k) {
    filter.Slot(kind, k).ticked = !filter.Slot(kind, k).ticked;
    filter.SlotClicked(kind, k);
  }

  // Opens the window on a fresh genre list and chooses the given genres.
  void ChooseGenres(const std::vector<std::string>& genres) {
    CountingProgress progress;
    ASSERT_TRUE(filter.BuildValueList(K::Genre, progress));
    filter.FormShow();
    filter.Clear();
    filter.Buttons().inverseTicked = false;
    for (std::size_t i = 0; i < genres.size(); ++i) {
      const int k = static_cast<int>(i) + 1;
      Click(K::Genre, k);
      filter.Slot(K::Genre, k).text = genres[i];  // picked or typed
    }
  }

  fs::path dir;
  TProgramState state;
  TCollectionTable collection{TCollectionTable::CollectionWidths(), true};
  TCollectionTable transfer{TCollectionTable::TransferWidths(), false};
  ScriptedDialogs dialogs;
  FakeDisplay display;
  TRestrictionFilter filter{state, collection, transfer, dialogs, display};
};

TEST(ValueList, DistinctAndOrderedWithCaseIgnoredFirstSpellingKept) {
  const struct {
    std::vector<std::string> added;
    std::string file;
  } cases[] = {
      {{"Rock", "rock", "Pop"}, "Pop\r\nRock\r\n"},
      {{"rock", "Pop", "ROCK"}, "Pop\r\nrock\r\n"},
      {{"Rock", "", "Pop", ""}, "\r\nPop\r\nRock\r\n"},
      // Umlauts sit with their base letters; accents still make a value of their own.
      {{"Oz", "\xD6l", "Ob", "Caf\xE9", "Cafe", "CAF\xC9"}, "Cafe\r\nCaf\xE9\r\nOb\r\n\xD6l\r\nOz\r\n"},
      {{"1982", "1980", "1981", "1980"}, "1980\r\n1981\r\n1982\r\n"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    TValueList list;
    for (const std::string& v : c.added) list.Add(v);
    EXPECT_EQ(list.FileText(), c.file);
    // What is written reads back as the same list.
    EXPECT_EQ(TValueList::FromFileText(c.file).FileText(), c.file);
  }
}

TEST(ValueList, ReadingAFileSortsAndMergesWhatAHandLeftUnsorted) {
  EXPECT_EQ(TValueList::FromFileText("Rock\r\nrock\r\n\r\nPop").Values(),
            (std::vector<std::string>{"", "Pop", "Rock"}));
  EXPECT_EQ(TValueList::FromFileText("Jazz\nBlues\n").Values(), (std::vector<std::string>{"Blues", "Jazz"}));
  EXPECT_TRUE(TValueList::FromFileText("").Empty());
  EXPECT_TRUE(ReadValueListFile("/nonexistent/folder/TempGenre.text").Empty());
}

TEST(FilterExpression, LiteralsForOneToFiveValuesAndQuotes) {
  const struct {
    int selection;
    std::array<std::string, 5> texts;
    const char* expression;
  } cases[] = {
      {0, {"Rock"}, ""},
      {1, {"Rock", "Pop"}, "Genre='Rock'"},
      {2, {"Rock", "Pop"}, "(Genre='Rock')or (Genre='Pop')"},
      {13, {"1980", "1981", "1982"}, "(Jahr='1980')or(Jahr='1981')or(Jahr='1982')"},
      {6, {"Rock'n'Roll Trio"}, "Interpret='Rock''n''Roll Trio'"},
      {7, {"A", "B"}, "(Interpret='A')or (Interpret='B')"},
      {10, {"a", "b", "c", "d", "e"}, "(Interpret='a')or(Interpret='b')or(Interpret='c')or(Interpret='d')or(Interpret='e')"},
      {11, {""}, "Jahr=''"},
      {16, {"x"}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildFilterExpression(c.selection, c.texts), c.expression) << c.selection;
}

TEST_F(RestrictionFilterTest, GenreListCoversTheWholeCollectionWhateverAGuestSearchedAndLeavesTheSearchAlone) {
  // Of two spellings the first stored one stands for both.
  Install({Title("B", "rock"), Title("A", "Rock"), Title("C", "Pop")});
  CountingProgress progress;
  ASSERT_TRUE(filter.BuildValueList(K::Genre, progress));
  EXPECT_EQ(Read("TempGenre.text"), "Pop\r\nrock\r\n");
  EXPECT_EQ(progress.total, 3);
  EXPECT_EQ(progress.highest, 3);
  EXPECT_EQ(progress.position, 0);  // back to 0 at the end
  EXPECT_EQ(filter.Items(K::Genre), (std::vector<std::string>{"Pop", "rock"}));

  // A guest's search left on the screen finds only B, on its record.
  collection.SetIndexFieldNames("Titel;Interpret");
  collection.SetFilter("Interpret='B'");
  collection.SetFiltered(true);
  collection.SetRecNo(1);
  ASSERT_TRUE(filter.BuildValueList(K::Genre, progress));
  EXPECT_EQ(Read("TempGenre.text"), "Pop\r\nrock\r\n");
  EXPECT_EQ(progress.total, 3);
  EXPECT_TRUE(collection.Filtered());
  EXPECT_EQ(collection.Filter(), "Interpret='B'");
  EXPECT_EQ(collection.RecordCount(), 1);
  EXPECT_EQ(collection.FieldAsString("Interpret"), "B");
}

TEST_F(RestrictionFilterTest, AValueListThatCannotBeWrittenSaysSoAndKeepsTheOldList) {
  Install({Title("A", "Rock"), Title("B", "Pop")});
  Write("TempGenre.text", "Jazz\r\n");
  filter.FormShow();
  fs::permissions(dir / "TempGenre.text", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  CountingProgress progress;
  EXPECT_FALSE(filter.BuildValueList(K::Genre, progress));
  fs::permissions(dir / "TempGenre.text", fs::perms::owner_all);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("TempGenre.text"), std::string::npos) << dialogs.shown[0].text;
  EXPECT_EQ(Read("TempGenre.text"), "Jazz\r\n");
  EXPECT_EQ(filter.Items(K::Genre), (std::vector<std::string>{"Jazz"}));
  EXPECT_EQ(progress.position, 0);
}

TEST_F(RestrictionFilterTest, EmptyGenreComesFirstAndTickingSelectsTheFirstRealValue) {
  Install({Title("A", "Rock"), Title("B", ""), Title("C", "Pop")});
  CountingProgress progress;
  ASSERT_TRUE(filter.BuildValueList(K::Genre, progress));
  EXPECT_EQ(Read("TempGenre.text"), "\r\nPop\r\nRock\r\n");
  filter.FormShow();
  filter.Clear();
  Click(K::Genre, 1);
  EXPECT_EQ(filter.Slot(K::Genre, 1).text, "Pop");
  EXPECT_EQ(filter.Slot(K::Genre, 1).itemIndex, 1);
  EXPECT_EQ(filter.FilterSelection(), 1);
}

TEST_F(RestrictionFilterTest, SlotsOfAKindWorkLikeAStack) {
  Install({Title("A", "Rock"), Title("B", "Pop"), Title("C", "Jazz")});
  filter.SetItems(K::Genre, {"Jazz", "Pop", "Rock"});
  filter.Clear();
  filter.UpdateBoxStates();
  for (K kind : kFilterKinds) EXPECT_TRUE(filter.Slot(kind, 1).boxEnabled);

  Click(K::Genre, 1);
  EXPECT_EQ(filter.FilterSelection(), 1);
  EXPECT_TRUE(filter.Slot(K::Genre, 1).comboEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).boxEnabled);
  EXPECT_FALSE(filter.Slot(K::Interpret, 1).boxEnabled);  // one kind at a time
  EXPECT_FALSE(filter.Slot(K::Jahr, 1).boxEnabled);
  EXPECT_TRUE(filter.Buttons().aktivieren);
  EXPECT_TRUE(filter.Buttons().leeren);
  EXPECT_TRUE(filter.Buttons().inverseEnabled);
  EXPECT_FALSE(filter.Buttons().deaktivieren);

  Click(K::Genre, 2);
  Click(K::Genre, 3);
  EXPECT_EQ(filter.FilterSelection(), 3);
  // Only the last ticked slot can change, and only the next can be ticked.
  EXPECT_FALSE(filter.Slot(K::Genre, 2).boxEnabled);
  EXPECT_FALSE(filter.Slot(K::Genre, 2).comboEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 3).boxEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 3).comboEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 4).boxEnabled);
  EXPECT_EQ(filter.Slot(K::Genre, 3).text, "Pop");

  Click(K::Genre, 3);  // untick
  EXPECT_EQ(filter.FilterSelection(), 2);
  EXPECT_FALSE(filter.Slot(K::Genre, 3).ticked);
  EXPECT_FALSE(filter.Slot(K::Genre, 3).comboEnabled);
  EXPECT_EQ(filter.Slot(K::Genre, 3).text, "");
  EXPECT_FALSE(filter.Slot(K::Genre, 4).boxEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).boxEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).comboEnabled);

  Click(K::Genre, 1);  // untick the first: everything back to the start
  EXPECT_EQ(filter.FilterSelection(), 0);
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      const TFilterSlot& s = filter.Slot(kind, k);
      EXPECT_FALSE(s.ticked);
      EXPECT_EQ(s.boxEnabled, k == 1);
      EXPECT_FALSE(s.comboEnabled);
      EXPECT_EQ(s.text, "");
    }
  }
  EXPECT_FALSE(filter.Buttons().aktivieren);
  EXPECT_FALSE(filter.Buttons().leeren);
  EXPECT_FALSE(filter.Buttons().inverseEnabled);
}

TEST_F(RestrictionFilterTest, ASingleEntryListSelectsNothing) {
  Install({Title("A", "Rock")});
  filter.SetItems(K::Genre, {"Rock"});
  filter.Clear();
  Click(K::Genre, 1);
  EXPECT_EQ(filter.FilterSelection(), 1);
  EXPECT_EQ(filter.Slot(K::Genre, 1).text, "");
  EXPECT_EQ(filter.Slot(K::Genre, 1).itemIndex, -1);
}

TEST_F(RestrictionFilterTest, AnEmptyListSaysWhatToUpdateFirst) {
  Install({Title("A", "Rock")});
  const struct {
    K kind;
    int slot;
    std::string text;
  } cases[] = {
      {K::Genre, 1, "Sie m\xFCssen zuerst das Genre aktualisieren !"},
      {K::Interpret, 1, "Sie m\xFCssen zuerst die Interpreten aktualisieren !"},
      {K::Jahr, 1, "Sie m\xFCssen zuerst die Jahre aktualisieren !"},
      {K::Jahr, 4, "Sie m\xFCssen zuerst die Jahren aktualisieren !"},
  };
  for (const auto& c : cases) {
    filter.Slot(c.kind, 1).ticked = true;
    dialogs.Clear();
    Click(c.kind, c.slot);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Information);
    EXPECT_EQ(dialogs.shown[0].text, c.text);
    EXPECT_FALSE(filter.Slot(c.kind, 1).ticked);
    EXPECT_EQ(filter.FilterSelection(), 0);
  }
}

TEST_F(RestrictionFilterTest, AMissingSectionOpensWithEveryBoxTickedAndNothingChosen) {
  Install({Title("A", "Rock")}, "[Programm]\r\nKiosk=0\r\n");
  filter.FormShow();
  EXPECT_EQ(filter.FilterSelection(), 0);
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      const TFilterSlot& s = filter.Slot(kind, k);
      EXPECT_TRUE(s.ticked);
      EXPECT_EQ(s.boxEnabled, k == 1 || k == 5) << k;
      EXPECT_EQ(s.comboEnabled, k == 5) << k;
    }
  }
  const TFilterButtons& b = filter.Buttons();
  EXPECT_FALSE(b.aktivieren);
  EXPECT_FALSE(b.deaktivieren);
  EXPECT_FALSE(b.leeren);
  EXPECT_FALSE(b.inverseEnabled);
  EXPECT_TRUE(b.inverseTicked);
}

TEST_F(RestrictionFilterTest, TheDeliveredSettingsOpenWithNothingChosen) {
  const fs::path delivered = fs::path(ORVELA_SOURCE_DIR) / "assets/data/Jukebox.ini";
  const std::string bytes = ReadBytes(delivered);
  ASSERT_FALSE(bytes.empty()) << delivered;
  Install({Title("A", "Rock")}, bytes);
  filter.FormShow();
  EXPECT_EQ(filter.FilterSelection(), 0);
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      EXPECT_FALSE(filter.Slot(kind, k).ticked);
      EXPECT_EQ(filter.Slot(kind, k).boxEnabled, k == 1);
      EXPECT_FALSE(filter.Slot(kind, k).comboEnabled);
    }
  }
  EXPECT_FALSE(filter.Buttons().inverseTicked);
  // Saving what was loaded leaves the file as delivered.
  filter.SaveFilterSettings();
  EXPECT_EQ(Read("Jukebox.ini"), bytes);
}

TEST_F(RestrictionFilterTest, SettingsAreWrittenInTheirOrderAndReadBack) {
  Install({Title("A", "Rock")}, "[Programm]\r\nKiosk=0\r\n[Filter]\r\n");
  filter.SetItems(K::Jahr, {"1980", "1981", "1982"});
  filter.Clear();
  Click(K::Jahr, 1);
  Click(K::Jahr, 2);
  filter.Slot(K::Jahr, 2).text = "19*";
  filter.Buttons().inverseTicked = false;
  filter.SaveFilterSettings();

  std::string expected = "[Programm]\r\nKiosk=0\r\n[Filter]\r\n";
  for (const char* kind : {"Genre", "Interpret", "Jahr"}) {
    for (int k = 1; k <= 5; ++k) {
      const bool ticked = std::string(kind) == "Jahr" && k <= 2;
      const std::string text = !ticked ? "" : k == 1 ? "1981" : "19*";
      expected += std::string(kind) + " Filter " + std::to_string(k) + " aktiv=" + (ticked ? "1" : "0") + "\r\n";
      expected += std::string(kind) + " Combo" + std::to_string(k) + "=" + text + "\r\n";
    }
  }
  expected += " Filtermenge=12\r\nFilterart=0\r\n";
  EXPECT_EQ(Read("Jukebox.ini"), expected);

  // A restart: the program forgets the restriction, the window shows the choice.
  TProgramState restarted;
  restarted.ProgramDir = state.ProgramDir;
  TRestrictionFilter reopened(restarted, collection, transfer, dialogs, display);
  reopened.FormShow();
  EXPECT_EQ(reopened.FilterSelection(), 12);
  EXPECT_TRUE(reopened.Slot(K::Jahr, 2).ticked);
  EXPECT_EQ(reopened.Slot(K::Jahr, 2).text, "19*");
  EXPECT_TRUE(reopened.Slot(K::Jahr, 2).comboEnabled);
  EXPECT_FALSE(reopened.Slot(K::Jahr, 1).comboEnabled);
  EXPECT_TRUE(reopened.Buttons().aktivieren);
  EXPECT_TRUE(reopened.Buttons().inverseEnabled);
  EXPECT_FALSE(reopened.Buttons().inverseTicked);

  // The key written by hand without its blank is the same entry.
  Write("Jukebox.ini", "[Filter]\r\nFiltermenge=3\r\n");
  reopened.LoadFilterSettings();
  EXPECT_EQ(reopened.FilterSelection(), 3);
}

TEST_F(RestrictionFilterTest, WithoutJukeboxIniTheSettingsAreLeftAlone) {
  Install({Title("A", "Rock")});
  fs::remove(dir / "Jukebox.ini");
  filter.SetFilterSelection(4);
  filter.LoadFilterSettings();
  filter.SaveFilterSettings();
  EXPECT_EQ(filter.FilterSelection(), 4);
  EXPECT_FALSE(fs::exists(dir / "Jukebox.ini"));
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{IniMissingText(), IniMissingText()}));
}

TEST_F(RestrictionFilterTest, ActivatingRestrictsTheCollectionToTheChosenGenres) {
  Install({Title("A", "Rock"), Title("B", "Pop"), Title("C", "Jazz"), Title("D", "rock")});
  state.PlayOnceEnabled = true;
  StartPlayOnce(state, 4);
  ChooseGenres({"Rock", "Jazz"});
  CountingProgress progress;
  ASSERT_TRUE(filter.Activate(progress));

  EXPECT_EQ(Column(TCollectionTable::Interpret), (std::vector<std::string>{"A", "C", "D"}));
  EXPECT_FALSE(collection.Filtered());
  EXPECT_EQ(progress.highest, 3);
  EXPECT_EQ(progress.position, 0);
  EXPECT_EQ(display.count, 3);
  EXPECT_EQ(display.countRestricted, true);
  EXPECT_EQ(display.stateRestricted, true);
  EXPECT_EQ(display.box, true);
  EXPECT_TRUE(state.RestrictionActive);
  // Play-once starts afresh on the restricted collection.
  EXPECT_TRUE(state.PlayOnceEnabled);
  EXPECT_EQ(state.PlayOnceList.Numbers(), (std::vector<std::int32_t>{1, 2, 3}));

  const TFilterButtons& b = filter.Buttons();
  EXPECT_FALSE(b.aktivieren);
  EXPECT_TRUE(b.deaktivieren);
  EXPECT_FALSE(b.leeren);
  EXPECT_FALSE(b.inverseEnabled);
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      EXPECT_FALSE(filter.Slot(kind, k).boxEnabled);
      EXPECT_FALSE(filter.Slot(kind, k).comboEnabled);
    }
  }
  EXPECT_EQ(TIniFile(state.ProgramDir + "Jukebox.ini").ReadInteger("Filter", "Filtermenge", -1), 2);

  // The restricted copy has the transfer table's widths and the chosen titles.
  TCollectionTable copy(TCollectionTable::TransferWidths(), false);
  copy.LoadFromFile(state.ProgramDir + "TempMusikliste.xml");
  EXPECT_EQ(copy.RecordCount(), 3);
  EXPECT_NE(Read("TempMusikliste.xml").find("<FIELD attrname=\"Jahr\" fieldtype=\"string\" WIDTH=\"4\"/>"),
            std::string::npos);

  // Lifting it brings the whole collection back; the choice stays.
  dialogs.Clear();
  ASSERT_TRUE(filter.Deactivate());
  EXPECT_EQ(collection.RecordCount(), 4);
  EXPECT_EQ(display.count, 4);
  EXPECT_EQ(display.countRestricted, false);
  EXPECT_EQ(display.stateRestricted, false);
  EXPECT_EQ(display.box, false);
  EXPECT_FALSE(state.RestrictionActive);
  EXPECT_EQ(state.PlayOnceList.Size(), 4u);
  EXPECT_TRUE(b.aktivieren);
  EXPECT_FALSE(b.deaktivieren);
  EXPECT_TRUE(b.leeren);
  EXPECT_TRUE(b.inverseEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).ticked);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).boxEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 2).comboEnabled);
  EXPECT_TRUE(filter.Slot(K::Genre, 3).boxEnabled);
  EXPECT_TRUE(dialogs.Texts().empty());
}

TEST_F(RestrictionFilterTest, TypedValuesAndEmptyValuesRestrictAsTheyRead) {
  const std::vector<Row> rows{Title("A", "Rock"), Title("B", "Rock & Roll"), Title("C", "Pop"),
                              Title("D", "Progressive")};
  const struct {
    std::string typed;
    std::vector<std::string> artists;
  } cases[] = {
      {"Ro*", {"A", "B"}},
      {"ro*", {"A", "B"}},
      {"rock", {"A"}},
      {"", {}},  // an empty slot matches no title
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Install(rows);
    ChooseGenres({c.typed});
    CountingProgress progress;
    ASSERT_TRUE(filter.Activate(progress));
    EXPECT_EQ(Column(TCollectionTable::Interpret), c.artists);
    EXPECT_EQ(display.count, static_cast<int>(c.artists.size()));
    ASSERT_TRUE(filter.Deactivate());
  }
}

TEST_F(RestrictionFilterTest, ALongPathSurvivesTheRestriction) {
  const std::string longPath = "/music/" + std::string(290, 'x') + ".mp3";
  Install({Title("A", "Rock", "1980", longPath), Title("B", "Pop")});
  ChooseGenres({"Rock"});
  filter.Buttons().inverseTicked = false;
  CountingProgress progress;
  ASSERT_TRUE(filter.Activate(progress));
  ASSERT_EQ(collection.RecordCount(), 1);
  EXPECT_EQ(collection.FieldAsString("Pfad"), longPath);
}

TEST_F(RestrictionFilterTest, InverseModeRemovesTheMatchesFromTheTableOnly) {
  Install({Title("A", "Rock"), Title("B", "Pop"), Title("C", "pop"), Title("D", "Jazz")});
  Write("TempMusikliste.xml", "left from before");
  ChooseGenres({"Pop"});
  filter.Buttons().inverseTicked = true;
  transfer.AppendRecord(Title("Z", "Old"));
  CountingProgress progress;
  ASSERT_TRUE(filter.Activate(progress));
  EXPECT_EQ(Column(TCollectionTable::Interpret), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(progress.highest, 2);
  EXPECT_EQ(Read("TempMusikliste.xml"), Read("Musikliste.xml"));
  EXPECT_FALSE(transfer.Active());
  EXPECT_EQ(display.count, 2);
  EXPECT_TRUE(state.RestrictionActive);
  EXPECT_EQ(TIniFile(state.ProgramDir + "Jukebox.ini").ReadBool("Filter", "Filterart", false), true);
}

TEST_F(RestrictionFilterTest, AMissingFileStopsEveryActionBeforeItChangesAnything) {
  for (const std::string& missing : RestrictionFileNames()) {
    SCOPED_TRACE(missing);
    Install({Title("A", "Rock"), Title("B", "Pop")});
    filter.SetItems(K::Genre, {"Pop", "Rock"});
    filter.Clear();
    Click(K::Genre, 1);
    fs::remove(dir / missing);
    dialogs.Clear();
    CountingProgress progress;
    EXPECT_FALSE(filter.BuildValueList(K::Genre, progress));
    EXPECT_FALSE(filter.Activate(progress));
    EXPECT_FALSE(filter.Deactivate());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>(3, MissingFilesText()));
    EXPECT_EQ(collection.RecordCount(), 2);
    EXPECT_FALSE(state.RestrictionActive);
    EXPECT_EQ(display.count, -1);
  }
}

TEST_F(RestrictionFilterTest, ACopyThatCannotBeWrittenLeavesTheWholeCollection) {
  Install({Title("A", "Rock"), Title("B", "Pop")});
  ChooseGenres({"Rock"});
  filter.Buttons().inverseTicked = false;
  fs::permissions(dir / "TempMusikliste.xml", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  CountingProgress progress;
  EXPECT_FALSE(filter.Activate(progress));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_NE(dialogs.shown[0].text.find("TempMusikliste.xml"), std::string::npos);
  // Not left showing only the restriction's titles under a "complete" status.
  EXPECT_FALSE(collection.Filtered());
  EXPECT_EQ(collection.RecordCount(), 2);
  EXPECT_FALSE(state.RestrictionActive);
  EXPECT_FALSE(display.box.has_value());
  EXPECT_TRUE(filter.Buttons().aktivieren);
}

TEST_F(RestrictionFilterTest, AnUnreadableRestrictedCopyBringsTheWholeCollectionBack) {
  Install({Title("A", "Rock"), Title("B", "Pop"), Title("C", "Jazz")});
  ChooseGenres({"Rock"});
  filter.Buttons().inverseTicked = true;
  // The inverse mode loads the copy of Musikliste.xml; a damaged collection
  // file fails there, after the table was emptied.
  Write("Musikliste.xml", "<broken");
  CountingProgress progress;
  EXPECT_FALSE(filter.Activate(progress));
  EXPECT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_FALSE(state.RestrictionActive);
  EXPECT_EQ(display.count, collection.RecordCount());
}

TEST_F(RestrictionFilterTest, LeerenForgetsTheChoice) {
  Install({Title("A", "Rock"), Title("B", "Pop")});
  ChooseGenres({"Rock", "Pop"});
  filter.Clear();
  EXPECT_EQ(filter.FilterSelection(), 0);
  EXPECT_FALSE(state.RestrictionActive);
  for (K kind : kFilterKinds) {
    for (int k = 1; k <= 5; ++k) {
      EXPECT_FALSE(filter.Slot(kind, k).ticked);
      EXPECT_EQ(filter.Slot(kind, k).boxEnabled, k == 1);
      EXPECT_FALSE(filter.Slot(kind, k).comboEnabled);
      EXPECT_EQ(filter.Slot(kind, k).text, "");
    }
  }
  EXPECT_FALSE(filter.Buttons().aktivieren);
  EXPECT_EQ(collection.RecordCount(), 2);
  filter.Close();
  EXPECT_EQ(display.box, false);
  EXPECT_EQ(TIniFile(state.ProgramDir + "Jukebox.ini").ReadInteger("Filter", "Filtermenge", -1), 0);
}

TEST_F(RestrictionFilterTest, CopyFileToProgramDirTakesOnlyTheTargetsName) {
  Install({Title("A", "Rock")});
  CopyFileToProgramDir(state.ProgramDir, "Musikliste.xml", "/elsewhere/sub\\Copy.xml");
  EXPECT_EQ(Read("Copy.xml"), Read("Musikliste.xml"));
  EXPECT_THROW(CopyFileToProgramDir(state.ProgramDir, "Missing.xml", "Copy.xml"), std::runtime_error);
  EXPECT_EQ(Read("Copy.xml"), Read("Musikliste.xml"));
}

}  // namespace
}  // namespace orvela
