#include "jukebox/phone_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "collection/collection_table.h"
#include "jukebox/playback_time.h"

namespace orvela {

TPhoneSearchAnswer SearchForPhone(TCollectionTable& table, TSearchMode mode, std::string_view text,
                                  std::size_t limit) {
  TPhoneSearchAnswer answer;
  if (text.size() > kPhoneSearchMaxCharacters) text = text.substr(0, kPhoneSearchMaxCharacters);
  const std::string expression = text.empty() ? std::string() : SearchFilterExpression(mode, text);
  const TCollectionTable::QueryAnswer found = table.Query(expression, SearchModeIndexFieldNames(mode), limit);
  answer.total = found.total;
  const std::uint64_t generation = table.RowsGeneration();
  answer.titles.reserve(found.rows.size());
  for (std::uint32_t row : found.rows) {
    TPhoneTitle title;
    title.id = PhoneTitleId(generation, row);
    title.interpret = table.RowField(row, 0).value_or("");
    title.titel = table.RowField(row, 1).value_or("");
    title.genre = table.RowField(row, 3).value_or("");
    title.jahr = table.RowField(row, 4).value_or("");
    title.dauer = table.RowField(row, 5).value_or("");
    answer.titles.push_back(std::move(title));
  }
  return answer;
}

std::string PhoneTitleId(std::uint64_t generation, std::uint32_t row) {
  return std::to_string(generation) + "." + std::to_string(row);
}

std::optional<TPhoneTitleRef> ParsePhoneTitleId(std::string_view id) {
  const std::size_t dot = id.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 >= id.size()) return std::nullopt;
  TPhoneTitleRef ref;
  const char* end = id.data() + dot;
  auto [p1, e1] = std::from_chars(id.data(), end, ref.generation);
  if (e1 != std::errc() || p1 != end) return std::nullopt;
  const char* last = id.data() + id.size();
  auto [p2, e2] = std::from_chars(end + 1, last, ref.row);
  if (e2 != std::errc() || p2 != last) return std::nullopt;
  return ref;
}

std::vector<std::int64_t> SecondsUntilStarts(const std::vector<std::int64_t>& durations, double positionSeconds) {
  std::vector<std::int64_t> starts;
  starts.reserve(durations.size());
  std::int64_t ahead = 0;
  for (std::size_t i = 0; i < durations.size(); ++i) {
    starts.push_back(ahead);
    std::int64_t d = durations[i];
    if (i == 0) d -= RoundSeconds(positionSeconds);
    ahead += d;
  }
  return starts;
}

std::string PhoneStartText(std::int64_t secondsOfDayNow, std::int64_t secondsFromNow) {
  const std::int64_t at = ((secondsOfDayNow + std::max<std::int64_t>(secondsFromNow, 0)) % 86400 + 86400) % 86400;
  char text[16];
  std::snprintf(text, sizeof text, "ca. %.2d:%.2d", static_cast<int>(at / 3600), static_cast<int>(at / 60 % 60));
  return text;
}

TPhoneLedger::TCheck TPhoneLedger::Check(const std::string& phone, double nowSeconds,
                                         const std::vector<const void*>& waiting) const {
  TCheck check;
  const auto it = phones_.find(phone);
  if (it == phones_.end()) return check;
  for (const void* entry : it->second.entries)
    if (std::find(waiting.begin(), waiting.end(), entry) != waiting.end()) ++check.waiting;
  const double since = nowSeconds - it->second.lastChoice;
  if (since < intervalSeconds_) check.waitSeconds = static_cast<int>(std::ceil(intervalSeconds_ - since));
  if (check.waiting >= perPhone_) {
    check.verdict = TVerdict::TooMany;
  } else if (check.waitSeconds > 0) {
    check.verdict = TVerdict::TooSoon;
  }
  return check;
}

void TPhoneLedger::Record(const std::string& phone, const void* entry, double nowSeconds) {
  Prune(nowSeconds);
  Phone& p = phones_[phone];
  p.entries.push_back(entry);
  p.lastChoice = nowSeconds;
}

void TPhoneLedger::Forget(const void* entry) {
  for (auto& [name, phone] : phones_) std::erase(phone.entries, entry);
}

void TPhoneLedger::Prune(double nowSeconds) {
  // Entries that left the queue are only known when their address comes back,
  // so a phone is dropped by time: a whole evening of its titles has played by then.
  constexpr double kForgetAfter = 6 * 3600.0;
  std::erase_if(phones_, [&](const auto& item) {
    return nowSeconds - item.second.lastChoice > std::max<double>(intervalSeconds_, kForgetAfter);
  });
}

std::string TPhoneLedger::TooManyText(int perPhone) {
  return "Von diesem Handy warten schon " + std::to_string(perPhone) +
         " Titel. Sobald einer l\xE4uft, kannst du wieder w\xE4hlen.";
}

std::string TPhoneLedger::TooSoonText(int seconds) {
  return "Du kannst in " + std::to_string(seconds) + " Sekunden wieder w\xE4hlen.";
}

}  // namespace orvela
