// The search scans packed bytes a block at a time and the table keeps the orders
// of sort key lists used before. Both must give exactly what a plain row-by-row
// check and a freshly sorted table give, whatever the lengths of the values
// (rows that cross block boundaries, empty rows, the last bytes of the column)
// and whatever happened to the rows since an order was kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/collation.h"
#include "collection/collection_table.h"
#include "collection/search_mode.h"
#include "support/child_process.h"
#include "test_files.h"

namespace orvela {
namespace {

using Values = TCollectionTable::Values;

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Next(std::uint32_t range) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33) % range;
  }

 private:
  std::uint64_t state_;
};

// Values of 0 to 150 letters from a small alphabet, so that hits are dense,
// needles repeat inside one value and values run across many 64-byte blocks.
std::string Letters(Rng& rng) {
  static const char kAlphabet[] = {'a', 'b', 'c', 'A', 'B'};
  const std::uint32_t kind = rng.Next(10);
  const std::uint32_t length = kind == 0 ? 0 : kind < 7 ? rng.Next(12) : rng.Next(151);
  std::string s;
  for (std::uint32_t i = 0; i < length; ++i) s += kAlphabet[rng.Next(std::size(kAlphabet))];
  return s;
}

std::vector<Values> LetterRows(int count, std::uint64_t seed) {
  Rng rng(seed);
  std::vector<Values> rows;
  for (int i = 0; i < count; ++i) rows.push_back({Letters(rng), Letters(rng), "/p/" + std::to_string(i), "", "", ""});
  return rows;
}

std::vector<std::string> ViewPaths(const TCollectionTable& t) {
  std::vector<std::string> out;
  for (int i = 0; i < t.RecordCount(); ++i) out.push_back(t.ViewField(i, TCollectionTable::Pfad));
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

enum class How { Contains, Prefix, Equal };

bool Holds(std::string value, std::string needle, How how, bool caseInsensitive) {
  if (value.empty()) return false;
  if (caseInsensitive) {
    value = Lower(value);
    needle = Lower(needle);
  }
  switch (how) {
    case How::Contains: return value.find(needle) != std::string::npos;
    case How::Prefix: return value.compare(0, needle.size(), needle) == 0;
    case How::Equal: return value == needle;
  }
  return false;
}

TEST(CollectionFastPaths, ScannedSearchesFindWhatARowByRowCheckFinds) {
  struct Case {
    How how;
    const char* needle;
  };
  const Case cases[] = {
      {How::Contains, "a"},   {How::Contains, "B"},     {How::Contains, "ab"},   {How::Contains, "ba"},
      {How::Contains, "aa"},  {How::Contains, "abc"},   {How::Contains, "cab"},  {How::Contains, "bbbb"},
      {How::Contains, "abcabcabcabcabcabcab"},          {How::Prefix, "a"},      {How::Prefix, "ab"},
      {How::Prefix, "Bca"},   {How::Equal, "a"},        {How::Equal, "ab"},      {How::Equal, "cab"},
      {How::Contains, "d"},
  };
  // Two sizes: one whose column ends inside the first blocks, one of many blocks.
  for (const int count : {7, 3000}) {
    const std::vector<Values> rows = LetterRows(count, 11 + static_cast<std::uint64_t>(count));
    for (const bool caseInsensitive : {true, false}) {
      TCollectionTable t(TCollectionTable::CollectionWidths(), caseInsensitive);
      t.SetIndexFieldNames("Interpret;Titel");
      for (const auto& r : rows) t.AppendRecord(r);
      const std::vector<std::string> all = ViewPaths(t);
      for (const auto& c : cases) {
        for (const int field : {TCollectionTable::Interpret, TCollectionTable::Titel}) {
          const std::string name = TCollectionTable::FieldNames()[field];
          const std::string expression = c.how == How::Contains ? name + " like'%" + c.needle + "%'"
                                         : c.how == How::Prefix ? name + "='" + c.needle + "*'"
                                                                : name + "='" + c.needle + "'";
          SCOPED_TRACE(expression + (caseInsensitive ? " (case ignored), " : " (exact), ") + std::to_string(count) +
                       " rows");
          std::vector<std::string> expected;
          for (const std::string& path : all) {
            const int row = std::stoi(path.substr(3));
            if (Holds(rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)], c.needle, c.how,
                      caseInsensitive))
              expected.push_back(path);
          }
          t.SetFiltered(false);
          t.SetFilter(expression);
          t.SetFiltered(true);
          ASSERT_EQ(ViewPaths(t), expected);
        }
      }
      // Two alternatives mark some rows twice; the count must not.
      t.SetFilter("(Interpret like'%ab%')or(Titel like'%ab%')");
      std::vector<std::string> expected;
      for (const std::string& path : all) {
        const Values& r = rows[static_cast<std::size_t>(std::stoi(path.substr(3)))];
        if (Holds(r[0], "ab", How::Contains, caseInsensitive) || Holds(r[1], "ab", How::Contains, caseInsensitive))
          expected.push_back(path);
      }
      EXPECT_EQ(ViewPaths(t), expected);
    }
  }
}

// Rows whose sort values tie in the collator's eyes (case, an ignorable control
// byte) and repeat, so that ties between kept orders and fresh sorts show.
std::vector<Values> TieRows(int count, std::uint64_t seed, const std::string& pathPrefix) {
  const char* const artists[] = {"Eris", "eris", "ERIS", "Eris\x01", "\xC9ris", "Meier", "", "Abba", "abba"};
  const char* const titles[] = {"Erde", "erde", "Liebe", "", "Ri\xDF", "Riss", "Herz"};
  const char* const genres[] = {"Rock", "rock", "Pop", "", "Jazz"};
  const char* const years[] = {"1980", "1985", "", "1999"};
  Rng rng(seed);
  std::vector<Values> rows;
  for (int i = 0; i < count; ++i)
    rows.push_back({artists[rng.Next(std::size(artists))], titles[rng.Next(std::size(titles))],
                    pathPrefix + std::to_string(i), genres[rng.Next(std::size(genres))],
                    years[rng.Next(std::size(years))], "03:00"});
  return rows;
}

// The main window's four orders, a list that names a field twice, and storage order.
const char* const kOrders[] = {"Interpret;Titel", "Titel;Interpret", "Genre;Interpret;Titel", "Jahr;Interpret;Titel",
                               "Titel;Interpret;Titel", "Jahr", ""};

std::vector<std::string> FreshView(const std::vector<Values>& rows, const std::string& order,
                                   const std::string& filter) {
  TCollectionTable fresh(TCollectionTable::CollectionWidths(), true);
  fresh.SetIndexFieldNames(order);
  for (const auto& r : rows) fresh.AppendRecord(r);
  if (!filter.empty()) {
    fresh.SetFilter(filter);
    fresh.SetFiltered(true);
  }
  return ViewPaths(fresh);
}

// Goes round every order twice (so that kept orders are used and new ones are
// built from them) and compares each view with a fresh table's.
void CheckEveryOrder(TCollectionTable& t, const std::vector<Values>& rows, const std::string& filter) {
  for (int round = 0; round < 2; ++round) {
    for (const char* order : kOrders) {
      SCOPED_TRACE(std::string("order '") + order + "', round " + std::to_string(round));
      t.SetIndexFieldNames(order);
      ASSERT_EQ(ViewPaths(t), FreshView(rows, order, filter));
    }
  }
}

TEST(CollectionFastPaths, KeptOrdersFollowEveryChangeOfTheRows) {
  testing::ScratchDir dir;
  std::vector<Values> rows = TieRows(500, 3, "/a/");
  const std::vector<Values> other = TieRows(300, 5, "/b/");
  {
    TCollectionTable source(TCollectionTable::CollectionWidths(), true);
    for (const auto& r : other) source.AppendRecord(r);
    source.SaveToFile(dir.File("other.xml"));
  }
  for (const std::string filter : {"", "Interpret like'%ri%'"}) {
    SCOPED_TRACE("filter '" + filter + "'");
    std::vector<Values> current = rows;
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.SetIndexFieldNames("Interpret;Titel");
    for (const auto& r : current) t.AppendRecord(r);
    if (!filter.empty()) {
      t.SetFilter(filter);
      t.SetFiltered(true);
    }
    {
      SCOPED_TRACE("as built");
      CheckEveryOrder(t, current, filter);
    }
    {
      SCOPED_TRACE("after appending");
      const Values added{"Abba", "Erde", "/new/1", "Rock", "1980", "01:00"};
      t.AppendRecord(added);
      current.push_back(added);
      CheckEveryOrder(t, current, filter);
    }
    {
      SCOPED_TRACE("after deleting");
      for (int i = 0; i < 5; ++i) {
        t.SetRecNo(3 + 7 * i);
        const std::string path = t.FieldAsString(TCollectionTable::Pfad);
        t.DeleteCurrent();
        std::erase_if(current, [&path](const Values& v) { return v[TCollectionTable::Pfad] == path; });
      }
      CheckEveryOrder(t, current, filter);
    }
    {
      SCOPED_TRACE("after loading another file");
      t.LoadFromFile(dir.File("other.xml"));
      current = other;
      CheckEveryOrder(t, current, filter);
    }
    {
      SCOPED_TRACE("after emptying and appending");
      t.Empty();
      current = TieRows(200, 9, "/c/");
      for (const auto& r : current) t.AppendRecord(r);
      CheckEveryOrder(t, current, filter);
    }
    {
      SCOPED_TRACE("after closing and opening");
      t.Close();
      t.SetIndexFieldNames("Titel;Interpret");
      t.Open();
      current.clear();
      for (const auto& r : TieRows(50, 13, "/d/")) {
        t.AppendRecord(r);
        current.push_back(r);
      }
      CheckEveryOrder(t, current, filter);
    }
  }
}

// A field with tens of thousands of distinct values has its sort keys made in
// slices (on several threads where the machine has the cores): the order must be
// the collator's all the same, across the slices' seams, for a file loaded and
// for an order chosen after appending. Neighbours are compared with the collator
// itself, which needs no sort keys. Checked in a child process: the memory the
// worker threads leave to the allocator would otherwise stay in this one, whose
// out-of-memory tests count on having none to spare.
TEST(CollectionFastPaths, ManyDistinctValuesOrderAsTheCollatorDoes) {
  static const char* const kPieces[] = {"a", "A", "\xE4", "\xC4", "b", "B", "\xDF", "ss", "e", "\xE9", "E",
                                        "o", "\xF6", " ", "-", "1", "9", "z", "\x80", "M\xFC"};
  Rng rng(29);
  std::vector<Values> rows;
  for (int i = 0; i < 40000; ++i) {
    std::string value;
    for (std::uint32_t n = 1 + rng.Next(8); n > 0; --n) value += kPieces[rng.Next(std::size(kPieces))];
    rows.push_back({value, "", "/p/" + std::to_string(i), "", "", ""});
  }
  testing::ScratchDir dir;
  {
    TCollectionTable source(TCollectionTable::CollectionWidths(), true);
    for (const auto& r : rows) source.AppendRecord(r);
    source.SaveToFile(dir.File("many.xml"));
  }
  const std::string file = dir.File("many.xml");
  const testing::ChildOutcome outcome = testing::RunInChild([&rows, &file] {
    TCollectionTable loaded(TCollectionTable::CollectionWidths(), true);
    loaded.SetIndexFieldNames("Interpret");
    loaded.LoadFromFile(file);
    TCollectionTable appended(TCollectionTable::CollectionWidths(), true);
    for (const auto& r : rows) appended.AppendRecord(r);
    appended.SetIndexFieldNames("Interpret");
    const TCollation& collation = TCollation::Instance();
    for (const TCollectionTable* t : {&loaded, &appended}) {
      const char* const how = t == &loaded ? "loaded" : "appended";
      if (t->RecordCount() != static_cast<int>(rows.size())) return 1;
      for (int i = 1; i < t->RecordCount(); ++i) {
        const std::string before = t->ViewField(i - 1, TCollectionTable::Interpret);
        const std::string after = t->ViewField(i, TCollectionTable::Interpret);
        const int order = collation.Compare(before, after);
        // Equal values keep their storage order, which the paths' numbers give.
        const auto number = [t](int row) { return std::stoi(t->ViewField(row, TCollectionTable::Pfad).substr(3)); };
        if (order > 0 || (order == 0 && number(i - 1) > number(i))) {
          std::fprintf(stderr, "%s: view rows %d and %d: '%s' before '%s'\n", how, i - 1, i, before.c_str(),
                       after.c_str());
          return 2;
        }
      }
    }
    // Built ahead side by side, the columns must search and sort as those built on use.
    PrepareSearchModes(loaded);
    for (const char* order : {"Titel;Interpret", "Interpret"}) {
      loaded.SetIndexFieldNames(order);
      appended.SetIndexFieldNames(order);
      for (const char* filter : {"Interpret like'%\xE4" "b%'", "Interpret like'%ss%'", "Interpret='M\xFC*'"}) {
        for (TCollectionTable* t : {&loaded, &appended}) {
          t->SetFilter(filter);
          t->SetFiltered(true);
        }
        if (ViewPaths(loaded) != ViewPaths(appended)) {
          std::fprintf(stderr, "order %s, filter %s: the views differ\n", order, filter);
          return 3;
        }
      }
      loaded.SetFiltered(false);
      appended.SetFiltered(false);
    }
    return 0;
  });
  EXPECT_TRUE(outcome.Ok()) << outcome.Describe() << " (1: rows lost, 2: out of order, 3: prepared columns differ)";
}

// A mode change keeps the current title when it is still in the view, also when
// the new order comes from a kept one.
TEST(CollectionFastPaths, KeptOrdersKeepTheCurrentTitle) {
  const std::vector<Values> rows = TieRows(300, 17, "/a/");
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames("Interpret;Titel");
  for (const auto& r : rows) t.AppendRecord(r);
  for (int round = 0; round < 2; ++round) {
    for (const char* order : kOrders) {
      t.SetRecNo(1 + (round * 37 + static_cast<int>(std::string(order).size()) * 11) % t.RecordCount());
      const std::string path = t.FieldAsString(TCollectionTable::Pfad);
      t.SetIndexFieldNames(order);
      EXPECT_EQ(t.FieldAsString(TCollectionTable::Pfad), path) << order;
    }
  }
}

// With the filter on, a new sort order re-orders the filtered view only when it
// is read next. Whatever comes first after the change (a read, another change, an
// append, a deletion, a narrower or the same expression) must see the view and the
// current title a table sorted that way from the start shows.
TEST(CollectionFastPaths, SortChangesWithTheFilterOnAreSeenByWhateverComesNext) {
  const std::vector<Values> rows = TieRows(400, 21, "/a/");
  const std::string filter = "Interpret like'%ri%'";
  enum class Next { Read, SecondChange, Append, Delete, Narrower, Same, FilterOff };
  const std::pair<Next, const char*> nexts[] = {{Next::Read, "read"},         {Next::SecondChange, "second change"},
                                                {Next::Append, "append"},     {Next::Delete, "delete"},
                                                {Next::Narrower, "narrower"}, {Next::Same, "same expression"},
                                                {Next::FilterOff, "filter off"}};
  for (const auto& [next, name] : nexts) {
    SCOPED_TRACE(name);
    std::vector<Values> current = rows;
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.SetIndexFieldNames("Interpret;Titel");
    for (const auto& r : current) t.AppendRecord(r);
    t.SetFilter(filter);
    t.SetFiltered(true);
    t.SetRecNo(t.RecordCount() / 2);
    const std::string shown = t.FieldAsString(TCollectionTable::Pfad);
    t.SetIndexFieldNames("Titel;Interpret");
    std::string order = "Titel;Interpret";
    std::string expression = filter;
    switch (next) {
      case Next::Read:
        EXPECT_EQ(t.FieldAsString(TCollectionTable::Pfad), shown);
        break;
      case Next::SecondChange:
        t.SetIndexFieldNames("Genre;Interpret;Titel");
        order = "Genre;Interpret;Titel";
        EXPECT_EQ(t.FieldAsString(TCollectionTable::Pfad), shown);
        break;
      case Next::Append: {
        const Values added{"Eris", "Zeit", "/new/1", "Pop", "1990", "01:00"};
        t.AppendRecord(added);
        current.push_back(added);
        EXPECT_EQ(t.FieldAsString(TCollectionTable::Pfad), "/new/1");
        break;
      }
      case Next::Delete: {
        t.DeleteCurrent();
        std::erase_if(current, [&shown](const Values& v) { return v[TCollectionTable::Pfad] == shown; });
        break;
      }
      case Next::Narrower:
        expression = "Interpret like'%ris%'";
        t.SetFilter(expression);
        EXPECT_EQ(t.RecNo(), 1);
        break;
      case Next::Same:
        t.SetFilter(filter);
        t.SetFiltered(true);
        break;
      case Next::FilterOff:
        t.SetFiltered(false);
        expression.clear();
        EXPECT_EQ(t.RecNo(), 1);
        break;
    }
    EXPECT_EQ(ViewPaths(t), FreshView(current, order, expression));
  }
}

}  // namespace
}  // namespace orvela
