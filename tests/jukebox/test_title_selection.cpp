// The house rules of selection, in their order, without any window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jukebox/program_state.h"
#include "jukebox/title_selection.h"

namespace orvela {
namespace {

TSelectionRequest Choose(std::int32_t number, std::string interpret = "Abba", std::string titel = "Waterloo",
                         std::vector<std::string> queue = {}) {
  TSelectionRequest r;
  r.queuedTitles = static_cast<std::int32_t>(queue.size());
  r.hasRecord = true;
  r.interpret = std::move(interpret);
  r.titel = std::move(titel);
  r.titleNumber = number;
  r.queueCaptions = std::move(queue);
  return r;
}

TProgramState Open() {
  TProgramState s;
  s.MaxTitles = 20;
  s.AllowDuplicates = true;
  s.PlayOnceEnabled = false;
  s.AutomaticEnabled = false;
  return s;
}

TEST(TitleSelection, TheLimitComesFirstThenTheRecord) {
  TProgramState s = Open();
  s.MaxTitles = 5;
  TSelectionRequest r = Choose(1);
  r.queuedTitles = 5;  // the title playing counts
  EXPECT_EQ(SelectTitle(s, r), TSelection::QueueFull);
  r.hasRecord = false;
  EXPECT_EQ(SelectTitle(s, r), TSelection::QueueFull);
  r.queuedTitles = 4;
  EXPECT_EQ(SelectTitle(s, r), TSelection::NoRecord);
  r.hasRecord = true;
  EXPECT_EQ(SelectTitle(s, r), TSelection::Add);
  s.MaxTitles = 0;
  r.queuedTitles = 0;
  EXPECT_EQ(SelectTitle(s, r), TSelection::QueueFull);
}

TEST(TitleSelection, DuplicatesCompareTheQueueCaptionsWithoutCaseOfAtoZOnly) {
  struct Case {
    const char* interpret;
    const char* titel;
    const char* queued;
    bool duplicate;
  } const cases[] = {
      {"Abba", "Waterloo", "ABBA - WATERLOO", true},
      {"Abba", "Waterloo", "Abba - Waterloo ", false},
      {"Die \xC4rzte", "Westerland", "die \xC4RZTE - westerland", true},
      {"Die \xC4rzte", "Westerland", "Die \xE4rzte - Westerland", false},  // Ä and ä differ
      {"", "Westerland", "WESTERLAND", true},                               // no artist: the title alone
      {"Heino", "", "heino", true},                                         // no title: the artist alone
      {"", "", "", true},
      {"Heino", "", "Heino - ", false},
  };
  for (const Case& c : cases) {
    TProgramState s = Open();
    s.AllowDuplicates = false;
    EXPECT_EQ(SelectTitle(s, Choose(1, c.interpret, c.titel, {"Other - Song", c.queued})),
              c.duplicate ? TSelection::Duplicate : TSelection::Add)
        << c.interpret << "|" << c.titel << "|" << c.queued;
    s.AllowDuplicates = true;
    EXPECT_EQ(SelectTitle(s, Choose(1, c.interpret, c.titel, {c.queued})), TSelection::Add);
  }
}

TEST(TitleSelection, PlayOnceWithoutTheAutomaticOnACollectionOfThree) {
  TProgramState s = Open();
  StartPlayOnce(s, 3);
  EXPECT_TRUE(s.PlayOnceEnabled);
  EXPECT_EQ(SelectTitle(s, Choose(2)), TSelection::Add);
  EXPECT_EQ(SelectTitle(s, Choose(2)), TSelection::AlreadyPlayed);
  EXPECT_EQ(SelectTitle(s, Choose(1)), TSelection::Add);
  EXPECT_EQ(SelectTitle(s, Choose(3)), TSelection::Add);
  // The fourth choice, whichever title: play-once ends and this title goes in.
  EXPECT_EQ(SelectTitle(s, Choose(2)), TSelection::AddLastOfOnce);
  EXPECT_FALSE(s.PlayOnceEnabled);
  EXPECT_EQ(SelectTitle(s, Choose(2)), TSelection::Add);
}

TEST(TitleSelection, PlayOnceWithTheAutomaticTakesFromItsList) {
  TProgramState s = Open();
  StartPlayOnce(s, 3);
  s.AutomaticEnabled = true;
  s.AutomaticList.Fill(3);
  s.AutomaticList.Take(1);  // the automatic queued title 1 in this pass
  EXPECT_EQ(SelectTitle(s, Choose(1)), TSelection::AlreadyPlayed);
  EXPECT_EQ(SelectTitle(s, Choose(3)), TSelection::Add);
  EXPECT_EQ(SelectTitle(s, Choose(3)), TSelection::AlreadyPlayed);
  EXPECT_EQ(s.PlayOnceList.Size(), 3U) << "the automatic's list is the one used";
  s.AutomaticList.Take(2);
  EXPECT_EQ(SelectTitle(s, Choose(1)), TSelection::Add) << "an empty list lets every title through";
  EXPECT_TRUE(s.PlayOnceEnabled);
}

TEST(TitleSelection, ARefusedDuplicateKeepsItsPlayOnceEntry) {
  TProgramState s = Open();
  s.AllowDuplicates = false;
  StartPlayOnce(s, 2);
  EXPECT_EQ(SelectTitle(s, Choose(1, "Abba", "Waterloo", {"Abba - Waterloo"})), TSelection::Duplicate);
  EXPECT_EQ(s.PlayOnceList.Numbers(), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(SelectTitle(s, Choose(1)), TSelection::Add);
  EXPECT_EQ(s.PlayOnceList.Numbers(), std::vector<std::int32_t>{2});
  StopPlayOnce(s);
  EXPECT_FALSE(s.PlayOnceEnabled);
  EXPECT_TRUE(s.PlayOnceList.Empty());
}

}  // namespace
}  // namespace orvela
