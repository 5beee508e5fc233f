#pragma once
// What a guest's phone may ask of the jukebox, as rules over the collection
// table and the queue: the screen's search on a view of its own, each title's
// estimated start, and the fairness between phones. The choice itself goes
// through the screen's house rules (title_selection.h); these only add what a
// phone must be held to on top of them.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/search_mode.h"

namespace orvela {

class TCollectionTable;

// A search longer than this is no guest typing; the page stops at it too.
inline constexpr std::size_t kPhoneSearchMaxCharacters = 100;
// Titles one answer carries: a phone scrolls no further before typing on.
inline constexpr std::size_t kPhoneSearchLimit = 100;

inline constexpr const char* kPhoneStaleText = "Die Musikliste hat sich ge\xE4ndert. Bitte neu suchen.";
inline constexpr const char* kPhoneNoPlayerText = "Die Jukebox kann gerade keine Titel annehmen.";

// A title as a phone sees it: no path, only a handle that is good for the rows
// the table holds now.
struct TPhoneTitle {
  std::string id;  // "generation.row", see PhoneTitleId
  std::string interpret, titel, genre, jahr, dauer;  // code page
};

struct TPhoneSearchAnswer {
  std::vector<TPhoneTitle> titles;
  std::size_t total = 0;  // found in all, of which `titles` are the first
};

// The screen's search for the typed code-page text in this mode: the same
// filter expression, the same sort key list, the same collation; the screen's
// view is not touched. An empty text lists the whole collection.
TPhoneSearchAnswer SearchForPhone(TCollectionTable& table, TSearchMode mode, std::string_view text,
                                  std::size_t limit = kPhoneSearchLimit);

std::string PhoneTitleId(std::uint64_t generation, std::uint32_t row);
struct TPhoneTitleRef {
  std::uint64_t generation = 0;
  std::uint32_t row = 0;
};
// nullopt for anything PhoneTitleId cannot have made.
std::optional<TPhoneTitleRef> ParsePhoneTitleId(std::string_view id);

// Seconds from now until each queue entry starts, by the screen's estimate:
// the rest of the first entry, then the lengths of those between. The first
// entry's is 0.
std::vector<std::int64_t> SecondsUntilStarts(const std::vector<std::int64_t>& durations, double positionSeconds);
// "ca. 21:14" for a start that far from the time of day (seconds since midnight).
std::string PhoneStartText(std::int64_t secondsOfDayNow, std::int64_t secondsFromNow);

// How much one phone may queue: at most `perPhone` of its titles waiting at
// once, and one new title per `intervalSeconds`. Titles chosen at the screen
// are never counted. Queue entries are named by any address that stays the
// entry's while it waits (the queue's own records).
class TPhoneLedger {
 public:
  TPhoneLedger(int perPhone, int intervalSeconds) : perPhone_(perPhone), intervalSeconds_(intervalSeconds) {}

  enum class TVerdict { Ok, TooMany, TooSoon };
  struct TCheck {
    TVerdict verdict = TVerdict::Ok;
    int waitSeconds = 0;  // until the next choice is allowed by the interval
    int waiting = 0;      // of this phone's titles still waiting
  };
  // `waiting`: the queue entries that have not started yet.
  TCheck Check(const std::string& phone, double nowSeconds, const std::vector<const void*>& waiting) const;
  void Record(const std::string& phone, const void* entry, double nowSeconds);
  // The address is given to a new entry: whatever had it before has left the queue.
  void Forget(const void* entry);
  int PerPhone() const { return perPhone_; }
  int IntervalSeconds() const { return intervalSeconds_; }
  void SetLimits(int perPhone, int intervalSeconds) {
    perPhone_ = perPhone;
    intervalSeconds_ = intervalSeconds;
  }
  std::size_t PhonesKnown() const { return phones_.size(); }

  // The refusals' texts, code page.
  static std::string TooManyText(int perPhone);
  static std::string TooSoonText(int seconds);

 private:
  struct Phone {
    std::vector<const void*> entries;
    double lastChoice = -1e300;
  };
  // Forgets phones with nothing waiting whose interval has passed, so that the
  // ledger holds the evening's active phones and not every cookie ever seen.
  void Prune(double nowSeconds);

  int perPhone_;
  int intervalSeconds_;
  std::map<std::string, Phone> phones_;
};

}  // namespace orvela
