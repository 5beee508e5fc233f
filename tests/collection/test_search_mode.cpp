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

}  // namespace
}  // namespace orvela
