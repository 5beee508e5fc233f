// A phone's search must find exactly what the screen finds, in the screen's
// order, without moving what the screen shows; and one phone must not be able
// to take the evening over.
#include "jukebox/phone_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "jukebox/playback_time.h"

namespace orvela {
namespace {

struct Row {
  const char* interpret;
  const char* titel;
  const char* genre;
  const char* jahr;
};

// Spellings where a byte order and the German collation part ways.
const std::vector<Row> kRows = {
    {"K\xE4pt'n Peng", "Die Brettschneider", "Hip Hop", "2007"},
    {"Kaptain Kidd", "Shanty", "Folk", "1999"},
    {"\xC4rzte", "Schrei nach Liebe", "Punk", "1993"},
    {"Arzt", "Sprechstunde", "Pop", "1993"},
    {"abba", "Waterloo", "Pop", "1974"},
    {"ABBA", "Mamma Mia", "Pop", "1975"},
    {"Falco", "Stra\xDF" "e", "", ""},
    {"Nena", "99 Luftballons", "Pop", "1983"},
    {"", "Ohne Interpret", "Pop", "2001"},
};

void Fill(TCollectionTable& t, const std::vector<Row>& rows) {
  for (const Row& r : rows)
    t.AppendRecord(r.interpret, r.titel, std::string("/m/") + r.titel + ".mp3", r.genre, r.jahr, "03:00");
}

std::vector<std::string> ScreenFinds(TSearchMode mode, const std::string& text) {
  TCollectionTable screen(TCollectionTable::CollectionWidths(), true);
  screen.SetIndexFieldNames(SearchModeIndexFieldNames(mode));
  Fill(screen, kRows);
  if (!text.empty()) {
    screen.SetFilter(SearchFilterExpression(mode, text));
    screen.SetFiltered(true);
  }
  std::vector<std::string> out;
  for (int i = 0; i < screen.RecordCount(); ++i) out.push_back(screen.ViewField(i, 0) + "|" + screen.ViewField(i, 1));
  return out;
}

std::vector<std::string> Captions(const TPhoneSearchAnswer& answer) {
  std::vector<std::string> out;
  for (const auto& t : answer.titles) out.push_back(t.interpret + "|" + t.titel);
  return out;
}

TEST(PhoneSearch, FindsWhatTheScreenFindsInItsOrderWhateverTheScreenShows) {
  const struct {
    TSearchMode mode;
    std::string text;
  } cases[] = {
      {TSearchMode::Interpret, ""},      {TSearchMode::Interpret, "K\xE4pt"}, {TSearchMode::Interpret, "kap"},
      {TSearchMode::Interpret, "abba"},  {TSearchMode::Interpret, "'"},       {TSearchMode::Titel, ""},
      {TSearchMode::Titel, "e"},         {TSearchMode::Genre, "Po"},         {TSearchMode::Genre, ""},
      {TSearchMode::Jahr, "19"},         {TSearchMode::Jahr, "1993"},        {TSearchMode::Titel, "nichts"},
  };
  // The phone asks a table whose own view is set to something else entirely.
  TCollectionTable shared(TCollectionTable::CollectionWidths(), true);
  shared.SetIndexFieldNames(SearchModeIndexFieldNames(TSearchMode::Genre));
  Fill(shared, kRows);
  shared.SetFilter(SearchFilterExpression(TSearchMode::Genre, "Pop"));
  shared.SetFiltered(true);
  shared.SetRecNo(2);
  const std::string currentBefore = shared.FieldAsString("Titel");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(SearchModeText(c.mode)) + " '" + c.text + "'");
    const TPhoneSearchAnswer answer = SearchForPhone(shared, c.mode, c.text);
    const std::vector<std::string> expected = ScreenFinds(c.mode, c.text);
    EXPECT_EQ(Captions(answer), expected);
    EXPECT_EQ(answer.total, expected.size());
  }
  EXPECT_EQ(shared.RecordCount(), 5);
  EXPECT_EQ(shared.RecNo(), 2);
  EXPECT_EQ(shared.FieldAsString("Titel"), currentBefore);
  EXPECT_EQ(shared.Filter(), SearchFilterExpression(TSearchMode::Genre, "Pop"));
}

TEST(PhoneSearch, AnswersTheFirstTitlesAndCountsAll) {
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  std::vector<std::string> names;
  for (int i = 0; i < 250; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Band %03d", 249 - i);
    table.AppendRecord(name, "Lied", "/m/x.mp3", "Pop", "2000", "03:00");
  }
  const TPhoneSearchAnswer answer = SearchForPhone(table, TSearchMode::Interpret, "band", 100);
  EXPECT_EQ(answer.total, 250u);
  ASSERT_EQ(answer.titles.size(), 100u);
  EXPECT_EQ(answer.titles.front().interpret, "Band 000");
  EXPECT_EQ(answer.titles.back().interpret, "Band 099");
  // A text past the limit is cut, not refused and not searched whole.
  EXPECT_EQ(SearchForPhone(table, TSearchMode::Interpret, std::string(5000, 'x')).total, 0u);
}

TEST(PhoneSearch, AnIdIsGoodOnlyForTheRowsHeldWhenItWasGiven) {
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  table.SetIndexFieldNames("Interpret;Titel");
  Fill(table, kRows);
  const TPhoneSearchAnswer before = SearchForPhone(table, TSearchMode::Interpret, "nena");
  ASSERT_EQ(before.titles.size(), 1u);
  const auto ref = ParsePhoneTitleId(before.titles[0].id);
  ASSERT_TRUE(ref.has_value());
  EXPECT_EQ(ref->generation, table.RowsGeneration());
  EXPECT_EQ(table.RowField(ref->row, 2).value_or(""), "/m/99 Luftballons.mp3");

  // A deleted row is found no more and its handle reads nothing.
  table.SetFilter(SearchFilterExpression(TSearchMode::Interpret, "nena"));
  table.SetFiltered(true);
  table.DeleteCurrent();
  EXPECT_FALSE(table.RowField(ref->row, 2).has_value());
  EXPECT_EQ(SearchForPhone(table, TSearchMode::Interpret, "nena").total, 0u);
  EXPECT_EQ(SearchForPhone(table, TSearchMode::Interpret, "").total, kRows.size() - 1);

  // Rows held anew (a restriction loads another file) make every old id stale.
  const std::uint64_t generation = table.RowsGeneration();
  table.Empty();
  EXPECT_NE(table.RowsGeneration(), generation);
}

TEST(PhoneSearch, IdsThatCannotHaveBeenGiven) {
  EXPECT_TRUE(ParsePhoneTitleId("3.17").has_value());
  for (const char* id : {"", ".", "3.", ".17", "3.17.1", "a.b", "-1.2", "3.-2", "3.4294967296",
                         "99999999999999999999.1", " 3.1", "3.1 ", "../etc/passwd"}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(ParsePhoneTitleId(id).has_value());
  }
}

TEST(PhoneQueue, StartsAgreeWithTheScreensEstimate) {
  const std::vector<std::int64_t> durations = {200, 185, 61, 3600};
  const std::vector<std::string> texts = {"3:20", "3:05", "1:01", "60:00"};
  const double position = 42.6;
  const std::vector<std::int64_t> starts = SecondsUntilStarts(durations, position);
  ASSERT_EQ(starts.size(), durations.size());
  const std::int64_t now = 21 * 3600 + 10 * 60 + 5;
  for (int row = 1; row < 4; ++row) {
    const std::string screen = EstimateStartTime(texts, row, position, true, "21:10:05");
    EXPECT_EQ(TimeToSeconds(screen.substr(0, screen.size() - 4)), now + starts[static_cast<std::size_t>(row)]);
  }
  EXPECT_EQ(PhoneStartText(now, starts[1]), "ca. 21:12");
  EXPECT_EQ(PhoneStartText(23 * 3600 + 59 * 60, 120), "ca. 00:01");
}

TEST(PhoneLedger, HoldsEachPhoneToItsShareAndNotTheOthers) {
  TPhoneLedger ledger(2, 30);
  int a1 = 0, a2 = 0, a3 = 0, b1 = 0;
  std::vector<const void*> waiting;
  using V = TPhoneLedger::TVerdict;

  EXPECT_EQ(ledger.Check("a", 0, waiting).verdict, V::Ok);
  ledger.Record("a", &a1, 0);
  waiting.push_back(&a1);
  auto check = ledger.Check("a", 10, waiting);
  EXPECT_EQ(check.verdict, V::TooSoon);
  EXPECT_EQ(check.waitSeconds, 20);
  EXPECT_EQ(ledger.Check("b", 10, waiting).verdict, V::Ok);  // another phone is not held back
  ledger.Record("b", &b1, 10);
  waiting.push_back(&b1);

  EXPECT_EQ(ledger.Check("a", 30, waiting).verdict, V::Ok);
  ledger.Record("a", &a2, 30);
  waiting.push_back(&a2);
  check = ledger.Check("a", 100, waiting);
  EXPECT_EQ(check.verdict, V::TooMany);
  EXPECT_EQ(check.waiting, 2);

  // Its first title starts playing: it no longer waits, a place is free.
  std::erase(waiting, &a1);
  EXPECT_EQ(ledger.Check("a", 100, waiting).verdict, V::Ok);
  ledger.Record("a", &a3, 100);
  waiting.push_back(&a3);
  EXPECT_EQ(ledger.Check("a", 200, waiting).verdict, V::TooMany);

  // An address handed to an entry chosen at the screen is not the phone's any more.
  ledger.Forget(&a2);
  std::erase(waiting, &a2);
  waiting.push_back(&a2);
  EXPECT_EQ(ledger.Check("a", 200, waiting).waiting, 1);
}

TEST(PhoneLedger, RefusalsSayWhatToDo) {
  EXPECT_EQ(TPhoneLedger::TooSoonText(25), "Du kannst in 25 Sekunden wieder w\xE4hlen.");
  EXPECT_NE(TPhoneLedger::TooManyText(2).find("2 Titel"), std::string::npos);
}

}  // namespace
}  // namespace orvela
