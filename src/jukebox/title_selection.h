#pragma once
// The house rules between a guest's choice and the queue, in their fixed
// order: the queue limit, duplicates, and "each title only once".
//
// A title is identified for the play-once rule (and the automatic's list) by
// its number in the collection table's storage order, 1-based: it stays the
// same title whatever search filter or sort order the guests use, as long as
// the table's content stays the same (the lists are rebuilt when it changes).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

struct TProgramState;

// Title numbers not yet chosen, unsorted.
class TRecordNumberList {
 public:
  // "1" to `count`, in this order.
  void Fill(std::int32_t count);
  void Clear() { numbers_.clear(); }
  bool Empty() const { return numbers_.empty(); }
  std::size_t Size() const { return numbers_.size(); }
  // Removes `number`; false when it is not in the list.
  bool Take(std::int32_t number);
  void Add(std::int32_t number) { numbers_.push_back(number); }
  const std::vector<std::int32_t>& Numbers() const { return numbers_; }

 private:
  std::vector<std::int32_t> numbers_;
};

// What a guest's press of "In Abspielliste übernehmen" comes to.
enum class TSelection {
  Add,             // into the queue
  QueueFull,       // "Maximale Titelauswahl ist erreicht."
  NoRecord,        // nothing shown: silent
  Duplicate,       // "Titel ist schon vorhanden !"
  AlreadyPlayed,   // "Titel wurde schon gespielt."
  AddLastOfOnce,   // every title was chosen once: play-once ends, this one goes in
};

struct TSelectionRequest {
  std::int32_t queuedTitles = 0;
  bool hasRecord = false;
  std::string interpret;
  std::string titel;
  std::int32_t titleNumber = 0;  // storage number of the record
  std::vector<std::string> queueCaptions;
};

inline constexpr const char* kQueueFullText = "Maximale Titelauswahl ist erreicht.";
inline constexpr const char* kDuplicateText = "Titel ist schon vorhanden !";
inline constexpr const char* kAlreadyPlayedText = "Titel wurde schon gespielt.";
inline constexpr const char* kAllTitlesPlayedText =
    "Es wurden alle Titel gespielt oder ausgew\xE4hlt.Funktion Titel nur einmal spielen wurde ausgeschaltet.";

// The queue caption a record would have: "Interpret - Titel", Titel alone
// without an artist, Interpret alone without a title.
std::string SelectionLabel(std::string_view interpret, std::string_view titel);

// Whether a queue caption equals the label, A-Z compared without case (umlauts as they are).
bool IsTitleInQueue(std::string_view label, const std::vector<std::string>& queueCaptions);

// Play-once without the automatic. An empty list ends play-once (the state's
// list freed, PlayOnceEnabled false) and answers false; otherwise the title's
// number is taken out of the list (false) or was taken before (true).
bool CheckPlayOnce(TProgramState& state, std::int32_t titleNumber, bool* listRanEmpty = nullptr);
// Play-once with the automatic: the titles the automatic has not drawn in its
// pass, each once. An empty list lets every title through.
bool TakeFromAutomaticList(TProgramState& state, std::int32_t titleNumber);

void StartPlayOnce(TProgramState& state, std::int32_t titleCount);
void StopPlayOnce(TProgramState& state);

// The rules in their order. A title that passes has been taken out of the
// play-once (or the automatic's) list; a refused one keeps its entry.
TSelection SelectTitle(TProgramState& state, const TSelectionRequest& request);

}  // namespace orvela
