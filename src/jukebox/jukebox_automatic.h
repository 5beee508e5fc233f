#pragma once
// The jukebox automatic's drawing rules: which title it queues next.
//
// Titles are numbered by their place in the collection table's storage order
// (as the play-once rule numbers them), so a guest's search or sort order does
// not change which title a number stands for.
#include <cstdint>

namespace orvela {

class RandomSource;
class TRecordNumberList;

// Fewer titles than this and the automatic refuses to start.
inline constexpr std::int32_t kAutomaticMinimumTitles = 6;
// The automatic tops the queue up to this many titles, the one playing included.
inline constexpr std::int32_t kAutomaticQueueLength = 5;

inline constexpr const char* kAutomaticTooFewTitlesText =
    "Wenn weniger als 6 Titel in der Musiksammlung vorhanden sind macht die Jukeboxautomatik keinen Sinn.";

// The number drawn for a collection of `titleCount` titles (at least 1): 0 to
// titleCount - 1 with equal chances, 0 counted as 1. So title 1 is drawn twice
// as often and the last title never directly; the list's order brings it in as
// the last of its pass.
std::int32_t DrawTitleNumber(std::int32_t titleCount, RandomSource& random);

// The title to queue for the drawn number: the drawn one while the pass still
// holds it, otherwise one of the pass's other titles, never its last entry
// while more are left. An empty pass starts a new one over `titleCount`
// titles. Numbers beyond `titleCount` (the collection shrank since the pass
// began) are dropped first; when that empties the list, a new pass begins.
std::int32_t PickRandomTitle(TRecordNumberList& pass, std::int32_t drawn, std::int32_t titleCount,
                             RandomSource& random);

}  // namespace orvela
