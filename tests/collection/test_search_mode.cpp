#include <gtest/gtest.h>

#include <string>

#include "collection/collection_table.h"
#include "collection/search_mode.h"

namespace orvela {
namespace {

TEST(SearchMode, ExpressionsAndSortOrders) {
  struct Case {
    TSearchMode mode;
    std::string text;
    std::string expression;
  };
  const Case cases[] = {
      {TSearchMode::Interpret, "ABBA", "Interpret like'%ABBA%'"},
      {TSearchMode::Titel, "THE ", "Titel like'%THE %'"},
      {TSearchMode::Interpret, "\xC4" "RZTE", "Interpret like'%\xC4RZTE%'"},
      {TSearchMode::Genre, "RO", "Genre='RO*'"},
      {TSearchMode::Jahr, "198", "Jahr='198*'"},
      {TSearchMode::Genre, "R'N'B", "Genre='R''N''B*'"},
      {TSearchMode::Jahr, "", "Jahr='*'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SearchFilterExpression(c.mode, c.text), c.expression);
  }
  EXPECT_STREQ(SearchModeIndexFieldNames(TSearchMode::Interpret), "Interpret;Titel");
  EXPECT_STREQ(SearchModeIndexFieldNames(TSearchMode::Titel), "Titel;Interpret");
  EXPECT_STREQ(SearchModeIndexFieldNames(TSearchMode::Genre), "Genre;Interpret;Titel");
  EXPECT_STREQ(SearchModeIndexFieldNames(TSearchMode::Jahr), "Jahr;Interpret;Titel");
  EXPECT_EQ(SearchModeFromText("Suche nach Genre"), TSearchMode::Genre);
  EXPECT_EQ(SearchModeFromText("Suche nach"), std::nullopt);
  EXPECT_EQ(SearchModeFromName("TITEL"), TSearchMode::Titel);
  EXPECT_EQ(SearchModeFromName("artist"), std::nullopt);
}

// Typing on the keyboard, one key after the other, as the main window does it.
TEST(SearchMode, KeyPressesNarrowTheCollection) {
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames(SearchModeIndexFieldNames(TSearchMode::Interpret));
  t.AppendRecord("ABBA", "Waterloo", "", "Pop", "1974", "");
  t.AppendRecord("Black Sabbath", "Paranoid", "", "Metal", "1970", "");
  t.AppendRecord("abbey road band", "Come", "", "Rock", "1981", "");
  t.AppendRecord("Nena", "99", "", "Pop", "1983", "");
  t.AppendRecord("The Who", "Tommy", "", "Rock", "1969", "");

  std::string text;
  const struct {
    char key;
    int count;
  } interpretKeys[] = {{'A', 4}, {'B', 3}, {'B', 3}, {'A', 2}};  // Black Sabbath holds abba
  for (const auto& k : interpretKeys) {
    text += k.key;
    t.SetFilter(SearchFilterExpression(TSearchMode::Interpret, text));
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), k.count) << text;
  }
  EXPECT_EQ(t.FieldAsString("Interpret"), "ABBA");

  t.SetIndexFieldNames(SearchModeIndexFieldNames(TSearchMode::Jahr));
  text.clear();
  const struct {
    char key;
    int count;
  } yearKeys[] = {{'1', 5}, {'9', 5}, {'8', 2}};
  for (const auto& k : yearKeys) {
    text += k.key;
    t.SetFilter(SearchFilterExpression(TSearchMode::Jahr, text));
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), k.count) << text;
  }
  EXPECT_EQ(t.FieldAsString("Jahr"), "1981");
}

// A quote in the typed text is looked for like any other character, in every
// mode: it neither breaks the expression nor ends its string early.
TEST(SearchMode, QuotesAreSearchedForAsTyped) {
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("K\xE4pt'n Peng", "Oha", "", "Hip'Hop", "2013", "");
  t.AppendRecord("ABBA", "Rock'n'Roll", "", "Pop", "1974", "");
  t.AppendRecord("Nena", "99 Luftballons", "", "Pop", "1983", "");
  const struct {
    TSearchMode mode;
    const char* text;
    int count;
  } cases[] = {
      {TSearchMode::Interpret, "K\xC4PT'N", 1},
      {TSearchMode::Titel, "'N'", 1},
      {TSearchMode::Genre, "HIP'", 1},
      {TSearchMode::Interpret, "X' OR INTERPRET LIKE '%", 0},
      {TSearchMode::Titel, "X' OR TITEL LIKE '%", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    t.SetIndexFieldNames(SearchModeIndexFieldNames(c.mode));
    ASSERT_NO_THROW(t.SetFilter(SearchFilterExpression(c.mode, c.text)));
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), c.count);
  }
}

// Preparing ahead changes nothing a guest sees, and what is prepared follows
// the rows appended after it.
TEST(SearchMode, PreparedTableAnswersAsAnUnpreparedOne) {
  const auto fill = [](TCollectionTable& t) {
    t.AppendRecord("Nena", "99 Luftballons", "/n.mp3", "Pop", "1983", "");
    t.AppendRecord("ABBA", "Waterloo", "/a.mp3", "Pop", "1974", "");
    t.AppendRecord("The Who", "Tommy", "/w.mp3", "Rock", "1969", "");
  };
  TCollectionTable plain(TCollectionTable::CollectionWidths(), true);
  TCollectionTable prepared(TCollectionTable::CollectionWidths(), true);
  for (TCollectionTable* t : {&plain, &prepared}) {
    t->SetIndexFieldNames(SearchModeIndexFieldNames(TSearchMode::Titel));
    fill(*t);
    t->SetRecNo(2);
  }
  PrepareSearchModes(prepared);
  EXPECT_EQ(prepared.IndexFieldNames(), SearchModeIndexFieldNames(TSearchMode::Titel));
  EXPECT_EQ(prepared.FieldAsString("Titel"), plain.FieldAsString("Titel"));
  EXPECT_EQ(prepared.RecNo(), plain.RecNo());

  for (TCollectionTable* t : {&plain, &prepared}) {
    t->AppendRecord("Abba Tribute", "Mamma Mia", "/t.mp3", "Pop", "1999", "");
  }
  const struct {
    TSearchMode mode;
    const char* text;
  } searches[] = {{TSearchMode::Interpret, "AB"}, {TSearchMode::Titel, "MA"}, {TSearchMode::Genre, "PO"},
                  {TSearchMode::Jahr, "19"}};
  for (const auto& search : searches) {
    SCOPED_TRACE(search.text);
    for (TCollectionTable* t : {&plain, &prepared}) {
      t->SetIndexFieldNames(SearchModeIndexFieldNames(search.mode));
      t->SetFilter(SearchFilterExpression(search.mode, search.text));
      t->SetFiltered(true);
    }
    ASSERT_EQ(prepared.RecordCount(), plain.RecordCount());
    for (int row = 0; row < plain.RecordCount(); ++row) {
      EXPECT_EQ(prepared.ViewField(row, TCollectionTable::Pfad), plain.ViewField(row, TCollectionTable::Pfad));
    }
  }
}

}  // namespace
}  // namespace orvela
