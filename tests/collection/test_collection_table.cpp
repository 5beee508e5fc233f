#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "test_files.h"

namespace orvela {
namespace {

struct Row {
  std::string interpret, titel, genre, jahr;
};

TCollectionTable MakeCollection(const std::vector<Row>& rows, const std::string& sort = "Interpret;Titel") {
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames(sort);
  for (const auto& r : rows) t.AppendRecord(r.interpret, r.titel, "/m/" + r.titel + ".mp3", r.genre, r.jahr, "03:00");
  return t;
}

// One field of every row of the view, in view order, without moving the cursor.
std::vector<std::string> ViewColumn(const TCollectionTable& t, int field) {
  std::vector<std::string> out;
  for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.ViewField(i, field));
  return out;
}

// A collection with the spellings that matter for searching and ordering.
const std::vector<Row> kRows = {
    {"ABBA", "Waterloo", "Pop", "1974"},
    {"Black Sabbath", "Paranoid", "Heavy Metal", "1970"},
    {"The Who", "My Generation", "Rock", "1965"},
    {"Theodorakis", "Zorbas", "Folk", "1964"},
    {"Elvis", "Hound Dog", "Rock & Roll", "1956"},
    {"Lionel Richie", "Endless LOVE", "Soul", "1981"},
    {"M\xF6tley Cr\xFC" "e", "Kickstart", "Metal", "1985"},
    {"MOTLEY", "Cover", "rock", "1982"},
    {"Falco", "Stra\xDF" "e", "", ""},
    {"Nena", "Don't Stop", "Pop", "1983"},
};

struct FilterCase {
  const char* expression;
  std::vector<std::string> titles;  // in the view's order (Interpret;Titel)
};

TEST(CollectionTableFilter, ExpressionsSelectTheRightRows) {
  const FilterCase cases[] = {
      {"Genre='ro*'", {"Hound Dog", "Cover", "My Generation"}},
      {"Genre='Rock'", {"Cover", "My Generation"}},
      {"Genre='*'", {"Waterloo", "Paranoid", "Hound Dog", "Endless LOVE", "Cover", "Kickstart", "Don't Stop", "My Generation", "Zorbas"}},
      {"Titel like'%love%'", {"Endless LOVE"}},
      {"Interpret like'%ab%'", {"Waterloo", "Paranoid"}},
      {"Interpret like'%ABBA%'", {"Waterloo", "Paranoid"}},  // Black Sabbath
      {"Interpret like'%the %'", {"My Generation"}},
      {"Interpret like'the%'", {"My Generation", "Zorbas"}},  // the blank sorts first
      {"Jahr like'198_'", {"Endless LOVE", "Cover", "Kickstart", "Don't Stop"}},
      {"Titel like'%o%o%'", {"Waterloo", "Hound Dog", "Don't Stop"}},
      {"Titel like'waterloo'", {"Waterloo"}},
      {"Titel like'%'", {"Waterloo", "Paranoid", "Hound Dog", "Stra\xDF" "e", "Endless LOVE", "Cover", "Kickstart", "Don't Stop",
            "My Generation", "Zorbas"}},
      // Umlauts are letters of their own; only case is ignored.
      {"Interpret like'%\xF6%'", {"Kickstart"}},
      {"Interpret like'%\xD6%'", {"Kickstart"}},
      {"Interpret like'%MOT%'", {"Cover"}},
      {"Titel like'%STRA\xDF" "E%'", {"Stra\xDF" "e"}},
      {"Titel like'%STRASSE%'", {}},  // the collator keeps sharp s apart from ss
      {"(Genre='Rock')or (Genre='Pop')", {"Waterloo", "Cover", "Don't Stop", "My Generation"}},
      {"(Jahr='1980')or(Jahr='1981')or(Jahr='1982')", {"Endless LOVE", "Cover"}},
      {"(Jahr='1956')or(Jahr='1964')or(Jahr='1965')or(Jahr='1970')or(Jahr='1974')",
       {"Waterloo", "Paranoid", "Hound Dog", "My Generation", "Zorbas"}},
      {"  ( GENRE = 'soul' ) OR ( genre='folk' )  ", {"Endless LOVE", "Zorbas"}},
      {"Titel LIKE'%generation%'", {"My Generation"}},
      {"Titel='Don''t Stop'", {"Don't Stop"}},
      {"Genre='Jazz'", {}},
      {"", {"Waterloo", "Paranoid", "Hound Dog", "Stra\xDF" "e", "Endless LOVE", "Cover", "Kickstart", "Don't Stop",
            "My Generation", "Zorbas"}},
  };
  TCollectionTable t = MakeCollection(kRows);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expression);
    t.SetFilter(c.expression);
    t.SetFiltered(true);
    EXPECT_EQ(ViewColumn(t, TCollectionTable::Titel), c.titles);
    EXPECT_EQ(t.RecordCount(), static_cast<int>(c.titles.size()));
    EXPECT_EQ(t.RecNo(), c.titles.empty() ? 0 : 1);
    EXPECT_EQ(t.IsEmpty(), c.titles.empty());
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), static_cast<int>(kRows.size()));
  }
}

TEST(CollectionTableFilter, TableWithoutCaseOptionComparesExactly) {
  TCollectionTable t(TCollectionTable::TransferWidths(), false);
  t.AppendRecord("A", "x", "", "Rock", "", "");
  t.AppendRecord("B", "y", "", "rock", "", "");
  t.SetFilter("Genre='rock'");
  t.SetFiltered(true);
  EXPECT_EQ(ViewColumn(t, TCollectionTable::Interpret), (std::vector<std::string>{"B"}));
  t.SetFilter("Interpret like'%a%'");
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST(CollectionTableFilter, UnparsableExpressionsThrowWhenSwitchedOn) {
  const char* bad[] = {"Genre=",        "Genre='Pop",         "Foo='x'",          "Genre like 'x' and Jahr='1'",
                       "(Genre='Pop'",  "Genre='Pop')",       "Genre=Pop",        "(Genre='a')or",
                       "Genre=='a'",    "Interpret like'%it's%'", "like'x'",     "'x'=Genre"};
  TCollectionTable t = MakeCollection(kRows);
  for (const char* expr : bad) {
    SCOPED_TRACE(expr);
    t.SetFilter(expr);  // only stored while the filter is off
    EXPECT_THROW(t.SetFiltered(true), TableError);
    EXPECT_FALSE(t.Filtered());
    EXPECT_EQ(t.RecordCount(), static_cast<int>(kRows.size()));
  }
  // While on, a bad expression is refused and the working one stays.
  t.SetFilter("Genre='Pop'");
  t.SetFiltered(true);
  EXPECT_THROW(t.SetFilter("Genre='Pop"), TableError);
  EXPECT_EQ(t.Filter(), "Genre='Pop'");
  EXPECT_EQ(t.RecordCount(), 2);
}

struct SortCase {
  const char* sort;
  std::vector<Row> rows;
  int field;
  std::vector<std::string> expected;
};

TEST(CollectionTableSort, OrdersAsTheCollatorDoes) {
  const SortCase cases[] = {
      {"Interpret;Titel",
       {{"Beta", "1", "", ""}, {"Alpha", "2", "", ""}, {"alpha", "3", "", ""}, {"\xC4pfel", "4", "", ""},
        {"", "5", "", ""}, {"Zeta", "6", "", ""}, {"\xE4pfel", "7", "", ""}},
       TCollectionTable::Interpret,
       {"", "alpha", "Alpha", "\xE4pfel", "\xC4pfel", "Beta", "Zeta"}},
      {"Interpret;Titel",
       {{"Mutter", "", "", ""}, {"M\xFCller", "", "", ""}, {"Mueller", "", "", ""}, {"Muller", "", "", ""}},
       TCollectionTable::Interpret,
       {"Mueller", "Muller", "M\xFCller", "Mutter"}},
      {"Interpret;Titel",
       {{"X", "b", "", ""}, {"x", "c", "", ""}, {"X", "a", "", ""}},
       TCollectionTable::Titel,
       {"c", "a", "b"}},
      {"Titel;Interpret",
       {{"B", "Same", "", ""}, {"A", "Same", "", ""}, {"C", "Earlier", "", ""}},
       TCollectionTable::Interpret,
       {"C", "A", "B"}},
      {"Jahr;Interpret;Titel",
       {{"A", "1", "", "1999"}, {"B", "2", "", ""}, {"C", "3", "", "1970"}, {"D", "4", "", ""}},
       TCollectionTable::Interpret,
       {"B", "D", "C", "A"}},
      {"Genre;Interpret;Titel",
       {{"B", "1", "rock", ""}, {"A", "2", "Rock", ""}, {"C", "3", "Pop", ""}, {"D", "4", "", ""}},
       TCollectionTable::Interpret,
       {"D", "C", "B", "A"}},
      // Four keys take the general comparison instead of packed ranks.
      {"Genre;Jahr;Interpret;Titel",
       {{"B", "2", "Pop", "1980"}, {"B", "1", "Pop", "1980"}, {"A", "9", "Pop", "1980"}, {"Z", "0", "Pop", "1970"},
        {"C", "0", "Jazz", "1999"}},
       TCollectionTable::Titel,
       {"0", "0", "9", "1", "2"}},
      // Rows equal in every key keep their storage order.
      {"Genre",
       {{"3", "", "Pop", ""}, {"1", "", "Pop", ""}, {"2", "", "Pop", ""}},
       TCollectionTable::Interpret,
       {"3", "1", "2"}},
      {"",
       {{"Z", "", "", ""}, {"A", "", "", ""}},
       TCollectionTable::Interpret,
       {"Z", "A"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sort);
    // Built two ways: sorted after loading, and kept sorted while appending.
    TCollectionTable appended = MakeCollection(c.rows, c.sort);
    EXPECT_EQ(ViewColumn(appended, c.field), c.expected);
    TCollectionTable resorted = MakeCollection(c.rows, "");
    resorted.SetIndexFieldNames(c.sort);
    EXPECT_EQ(ViewColumn(resorted, c.field), c.expected);
  }
}

TEST(CollectionTableSort, ChangingTheSortKeepsTheCurrentRow) {
  TCollectionTable t = MakeCollection(kRows);
  t.SetRecNo(1);
  EXPECT_EQ(t.FieldAsString("Interpret"), "ABBA");
  t.SetIndexFieldNames("Titel;Interpret");
  EXPECT_EQ(t.FieldAsString("Interpret"), "ABBA");
  EXPECT_EQ(t.RecNo(), static_cast<int>(kRows.size()) - 1);  // only Zorbas sorts after Waterloo
  EXPECT_EQ(t.IndexFieldNames(), "Titel;Interpret");
  EXPECT_THROW(t.SetIndexFieldNames("Titel;Laenge"), TableError);
  EXPECT_EQ(t.IndexFieldNames(), "Titel;Interpret");
}

TEST(CollectionTable, AppendedRowBecomesCurrentAtItsSortedPlace) {
  TCollectionTable t = MakeCollection({{"Beta", "", "", ""}, {"Delta", "", "", ""}});
  t.AppendRecord("Charlie", "", "", "", "", "");
  EXPECT_EQ(t.RecNo(), 2);
  EXPECT_EQ(t.FieldAsString("Interpret"), "Charlie");
  t.AppendRecord("Alpha", "", "", "", "", "");
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.RecordCount(), 4);
  // A row the filter rejects is stored but the current record stays.
  t.SetFilter("Interpret like'%a%'");
  t.SetFiltered(true);
  t.SetRecNo(2);
  const std::string current = t.FieldAsString("Interpret");
  t.AppendRecord("Omo", "", "", "", "", "");
  EXPECT_EQ(t.FieldAsString("Interpret"), current);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 5);
}

TEST(CollectionTable, DeleteCurrentOnAFilteredView) {
  TCollectionTable t = MakeCollection(kRows);
  t.SetFilter("Genre='ro*'");
  t.SetFiltered(true);
  const int n = t.RecordCount();
  ASSERT_EQ(n, 3);
  t.SetRecNo(2);
  const std::string third = t.ViewField(2, TCollectionTable::Titel);
  t.DeleteCurrent();
  EXPECT_EQ(t.RecordCount(), n - 1);
  EXPECT_EQ(t.FieldAsString("Titel"), third);  // the next row moved up
  t.DeleteCurrent();                            // the last one: the previous becomes current
  EXPECT_EQ(t.RecNo(), 1);
  t.DeleteCurrent();
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_THROW(t.DeleteCurrent(), TableError);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), static_cast<int>(kRows.size()) - n);
}

// Deleting anywhere in the view, as the restriction does, against a plain list.
TEST(CollectionTable, DeletionsAnywhereKeepViewAndOrder) {
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames("Interpret");
  std::vector<std::string> model;  // the view's Interpret values
  for (int i = 0; i < 60; ++i) {
    const std::string name = (i % 3 == 0 ? "Keep " : "Match ") + std::to_string(100 + (i * 37) % 60);
    t.AppendRecord(name, "", "", "", "", "");
    if (i % 3 != 0) model.push_back(name);
  }
  std::sort(model.begin(), model.end());
  t.SetFilter("Interpret like'match%'");
  t.SetFiltered(true);
  ASSERT_EQ(ViewColumn(t, TCollectionTable::Interpret), model);
  std::uint32_t seed = 3;
  bool resorted = false;
  while (!model.empty()) {
    seed = seed * 1103515245u + 12345u;
    const int at = static_cast<int>((seed >> 8) % model.size());
    t.SetRecNo(at + 1);
    t.DeleteCurrent();
    model.erase(model.begin() + at);
    ASSERT_EQ(ViewColumn(t, TCollectionTable::Interpret), model);
    if (!model.empty()) {
      const int expected = at < static_cast<int>(model.size()) ? at : at - 1;
      EXPECT_EQ(t.FieldAsString("Interpret"), model[static_cast<std::size_t>(expected)]);
    }
    if (model.size() == 20 && !resorted) {  // a new sort and an append in between
      resorted = true;
      t.SetIndexFieldNames("Titel;Interpret");
      t.SetIndexFieldNames("Interpret");
      t.AppendRecord("Match 000", "", "", "", "", "");
      model.insert(model.begin(), "Match 000");
      ASSERT_EQ(ViewColumn(t, TCollectionTable::Interpret), model);
    }
  }
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 20);
}

TEST(CollectionTable, RecNoAndFieldAccess) {
  TCollectionTable t = MakeCollection(kRows);
  t.SetRecNo(3);
  EXPECT_EQ(t.RecNo(), 3);
  EXPECT_EQ(t.FieldAsString("Interpret"), t.ViewField(2, TCollectionTable::Interpret));
  EXPECT_EQ(t.FieldAsString("interpret"), t.FieldAsString(TCollectionTable::Interpret));
  t.SetRecNo(1000);
  EXPECT_EQ(t.RecNo(), static_cast<int>(kRows.size()));
  t.SetRecNo(-5);
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.ViewField(-1, 0), "");
  EXPECT_EQ(t.ViewField(t.RecordCount(), 0), "");
  EXPECT_THROW(t.FieldAsString("Laenge"), TableError);
  EXPECT_THROW(t.ViewField(0, 6), TableError);
  t.SetFilter("Genre='Jazz'");
  t.SetFiltered(true);
  EXPECT_EQ(t.FieldAsString("Interpret"), "");
  t.SetRecNo(1);
  EXPECT_EQ(t.RecNo(), 0);
}

TEST(CollectionTable, StorageNumbersNameTheSameTitleUnderEveryFilterAndSort) {
  TCollectionTable t = MakeCollection(kRows);
  EXPECT_EQ(t.StoredRecordCount(), static_cast<int>(kRows.size()));
  const auto numberOf = [&](const std::string& titel) {
    for (int recNo = 1; recNo <= t.RecordCount(); ++recNo) {
      t.SetRecNo(recNo);
      if (t.FieldAsString("Titel") == titel) return t.StorageNumber();
    }
    return -1;
  };
  // Appended in kRows' order: "Hound Dog" is the fifth stored title.
  for (const char* sort : {"Interpret;Titel", "Titel;Interpret", "Jahr;Interpret;Titel", ""}) {
    t.SetIndexFieldNames(sort);
    EXPECT_EQ(numberOf("Hound Dog"), 5) << sort;
    EXPECT_EQ(numberOf("Waterloo"), 1) << sort;
    EXPECT_EQ(t.StoredField(5, TCollectionTable::Titel), "Hound Dog") << sort;
  }
  t.SetFilter("Genre like'%Rock%'");
  t.SetFiltered(true);
  EXPECT_EQ(numberOf("Hound Dog"), 5);
  // Read by number, a title outside the filter's view is still there.
  EXPECT_EQ(t.StoredField(1, TCollectionTable::Titel), "Waterloo");
  for (int outside : {0, -1, static_cast<int>(kRows.size()) + 1}) {
    EXPECT_EQ(t.StoredField(outside, TCollectionTable::Titel), "") << outside;
  }
  EXPECT_EQ(t.StoredRecordCount(), static_cast<int>(kRows.size())) << "the filter does not count";
  // A deleted row leaves no gap in the numbering.
  t.SetFiltered(false);
  t.SetIndexFieldNames("");
  t.SetRecNo(2);
  t.DeleteCurrent();
  EXPECT_EQ(t.StoredRecordCount(), static_cast<int>(kRows.size()) - 1);
  EXPECT_EQ(numberOf("Hound Dog"), 4);
  EXPECT_EQ(t.StoredField(4, TCollectionTable::Titel), "Hound Dog");
  EXPECT_EQ(t.StoredField(static_cast<int>(kRows.size()), TCollectionTable::Titel), "")
      << "the last number is gone with the deleted row";
  t.SetFilter("Genre='Jazz'");
  t.SetFiltered(true);
  EXPECT_EQ(t.StorageNumber(), 0);
}

// Titles "t0", "t1", ... in storage order, the genre naming the step that deletes them.
TCollectionTable NumberedCollection(int count, const std::vector<std::string>& genres) {
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  for (int i = 0; i < count; ++i) {
    const std::string titel = "t" + std::to_string(i);
    t.AppendRecord("A", titel, "/m/" + titel + ".mp3", genres[static_cast<std::size_t>(i) % genres.size()], "", "");
  }
  return t;
}

void DeleteGenre(TCollectionTable& t, const std::string& genre) {
  t.SetFilter("Genre='" + genre + "'");
  t.SetFiltered(true);
  while (t.RecordCount() > 0) t.DeleteCurrent();
  t.SetFiltered(false);
}

TEST(CollectionTable, StorageNumbersFollowEveryDeletionAppendAndLoad) {
  testing::ScratchDir dir;
  const std::vector<std::string> genres = {"keep", "odd", "third"};
  TCollectionTable t = NumberedCollection(30, genres);
  struct Title {
    std::string titel, genre;
  };
  std::vector<Title> stored;  // as numbered 1, 2, ...
  for (int i = 0; i < 30; ++i) stored.push_back({"t" + std::to_string(i), genres[static_cast<std::size_t>(i) % 3]});
  const auto drop = [&stored, &t](const std::string& genre) {
    DeleteGenre(t, genre);
    stored.erase(std::remove_if(stored.begin(), stored.end(), [&genre](const Title& s) { return s.genre == genre; }),
                 stored.end());
  };
  const auto append = [&stored, &t](const std::string& titel) {
    t.AppendRecord("A", titel, "/m/" + titel + ".mp3", "new", "", "");
    stored.push_back({titel, "new"});
  };
  struct Step {
    const char* what;
    std::function<void()> run;
  };
  const Step steps[] = {
      {"nothing deleted", [] {}},
      {"a third deleted", [&] { drop("odd"); }},
      {"appended after the deletion", [&] { append("n1"); append("n2"); }},
      {"deleted again after reading", [&] { drop("third"); }},
      {"the appended ones deleted", [&] { drop("new"); }},
      {"saved and loaded", [&] {
         t.SaveToFile(dir.File("c.xml"));
         t.LoadFromFile(dir.File("c.xml"));
       }},
      {"appended after the load", [&] { append("n3"); }},
  };
  for (const Step& step : steps) {
    step.run();
    ASSERT_EQ(t.StoredRecordCount(), static_cast<int>(stored.size())) << step.what;
    for (std::size_t n = 0; n < stored.size(); ++n)
      EXPECT_EQ(t.StoredField(static_cast<int>(n) + 1, TCollectionTable::Titel), stored[n].titel) << step.what << " #" << n + 1;
    EXPECT_EQ(t.StoredField(static_cast<int>(stored.size()) + 1, TCollectionTable::Titel), "") << step.what;
    // Every record's number leads back to it, from the other end of the view too.
    for (int recNo = t.RecordCount(); recNo >= 1; --recNo) {
      t.SetRecNo(recNo);
      const int number = t.StorageNumber();
      ASSERT_GE(number, 1) << step.what;
      ASSERT_LE(number, static_cast<int>(stored.size())) << step.what;
      EXPECT_EQ(stored[static_cast<std::size_t>(number) - 1].titel, t.FieldAsString(TCollectionTable::Titel)) << step.what;
    }
  }
}

// A value list reads every title by its number; after a restriction deleted
// rows, counting the live ones afresh for each number took seconds for
// 40,000 titles and froze the screen.
TEST(CollectionTable, ReadingEveryStoredTitleAfterDeletionsStaysLinear) {
  TCollectionTable t = NumberedCollection(200000, {"keep", "gone"});
  DeleteGenre(t, "gone");
  ASSERT_EQ(t.StoredRecordCount(), 100000);
  const auto start = std::chrono::steady_clock::now();
  std::size_t bytes = 0;
  for (int n = 1; n <= t.StoredRecordCount(); ++n) bytes += t.StoredField(n, TCollectionTable::Titel).size();
  for (int recNo = 1; recNo <= t.RecordCount(); recNo += 97) {
    t.SetRecNo(recNo);
    EXPECT_EQ(t.StorageNumber(), recNo);
  }
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(t.StoredField(100000, TCollectionTable::Titel), "t199998");
  EXPECT_GT(bytes, 100000u);
  // Linear, this is a few milliseconds; counting afresh, tens of seconds.
  EXPECT_LT(spent, std::chrono::seconds(2));
}

TEST(CollectionTable, ClosedTableRefusesWork) {
  TCollectionTable t = MakeCollection(kRows);
  t.SetFilter("Genre='Pop'");
  t.SetFiltered(true);
  t.Close();
  EXPECT_FALSE(t.Active());
  EXPECT_THROW(t.AppendRecord("a", "b", "c", "d", "e", "f"), TableError);
  EXPECT_THROW(t.DeleteCurrent(), TableError);
  EXPECT_THROW(t.RecNo(), TableError);
  EXPECT_THROW(t.SetRecNo(1), TableError);
  EXPECT_THROW(t.Empty(), TableError);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_EQ(t.FieldAsString("Titel"), "");
  // Filter and sort survive closing; opening gives an empty table again.
  t.Open();
  EXPECT_TRUE(t.Active());
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_TRUE(t.Filtered());
  EXPECT_EQ(t.Filter(), "Genre='Pop'");
  EXPECT_EQ(t.IndexFieldNames(), "Interpret;Titel");
  t.AppendRecord("Nena", "99", "", "Pop", "", "");
  t.AppendRecord("Other", "x", "", "Jazz", "", "");
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST(CollectionTable, LoadKeepsFilterAndSortAndShowsTheFirstRecord) {
  testing::ScratchDir dir;
  TCollectionTable source = MakeCollection(kRows, "");
  source.SaveToFile(dir.File("m.xml"));

  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames("Titel;Interpret");
  t.SetFilter("Genre='ro*'");
  t.SetFiltered(true);
  t.LoadFromFile(dir.File("m.xml"));
  EXPECT_EQ(ViewColumn(t, TCollectionTable::Titel),
            (std::vector<std::string>{"Cover", "Hound Dog", "My Generation"}));
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(t.FieldAsString("Titel"), "Cover");
  t.Empty();
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_TRUE(t.Filtered());
}

}  // namespace
}  // namespace orvela
