#include "jukebox/title_selection.h"

#include <algorithm>

#include "common/codepage.h"
#include "jukebox/program_state.h"

namespace orvela {

void TRecordNumberList::Fill(std::int32_t count) {
  numbers_.clear();
  numbers_.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (std::int32_t n = 1; n <= count; ++n) numbers_.push_back(n);
}

bool TRecordNumberList::Take(std::int32_t number) {
  const auto it = std::find(numbers_.begin(), numbers_.end(), number);
  if (it == numbers_.end()) return false;
  numbers_.erase(it);
  return true;
}

std::string SelectionLabel(std::string_view interpret, std::string_view titel) {
  if (interpret.empty()) return std::string(titel);
  if (titel.empty()) return std::string(interpret);
  return std::string(interpret) + " - " + std::string(titel);
}

bool IsTitleInQueue(std::string_view label, const std::vector<std::string>& queueCaptions) {
  return std::any_of(queueCaptions.begin(), queueCaptions.end(),
                     [&](const std::string& caption) { return EqualsAsciiNoCase(caption, label); });
}

bool CheckPlayOnce(TProgramState& state, std::int32_t titleNumber, bool* listRanEmpty) {
  if (listRanEmpty != nullptr) *listRanEmpty = false;
  if (state.PlayOnceList.Empty()) {
    if (listRanEmpty != nullptr) *listRanEmpty = true;
    StopPlayOnce(state);
    return false;
  }
  return !state.PlayOnceList.Take(titleNumber);
}

bool TakeFromAutomaticList(TProgramState& state, std::int32_t titleNumber) {
  if (state.AutomaticList.Empty()) return false;
  return !state.AutomaticList.Take(titleNumber);
}

void StartPlayOnce(TProgramState& state, std::int32_t titleCount) {
  state.PlayOnceList.Fill(titleCount);
  state.PlayOnceEnabled = true;
}

void StopPlayOnce(TProgramState& state) {
  if (state.PlayOnceEnabled) state.PlayOnceList.Clear();
  state.PlayOnceEnabled = false;
}

TSelection SelectTitle(TProgramState& state, const TSelectionRequest& request) {
  if (request.queuedTitles >= state.MaxTitles) return TSelection::QueueFull;
  if (!request.hasRecord) return TSelection::NoRecord;
  if (!state.AllowDuplicates &&
      IsTitleInQueue(SelectionLabel(request.interpret, request.titel), request.queueCaptions)) {
    return TSelection::Duplicate;
  }
  if (state.PlayOnceEnabled && state.AutomaticEnabled) {
    if (TakeFromAutomaticList(state, request.titleNumber)) return TSelection::AlreadyPlayed;
  } else if (state.PlayOnceEnabled) {
    bool ranEmpty = false;
    if (CheckPlayOnce(state, request.titleNumber, &ranEmpty)) return TSelection::AlreadyPlayed;
    if (ranEmpty) return TSelection::AddLastOfOnce;
  }
  return TSelection::Add;
}

}  // namespace orvela
