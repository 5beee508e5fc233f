#pragma once
// A look at an MP4 file's box tree before TagLib builds it. TagLib reads the
// tree by recursion, one call per level, and keeps every box it meets: a
// crafted file of boxes nested sixty thousand deep ends the process on a
// stack overflow, one of a million tiny boxes costs a gigabyte. The walk here
// follows the very steps TagLib takes (which boxes it enters, where it reads
// the next header) with a stack of its own and stops at the first bound.
#include <cstddef>

#include "metadata/tag_source.h"

namespace orvela {

// Real files nest fewer than 20 levels and hold a few hundred boxes (a
// fragmented hour a few ten thousand).
inline constexpr int kMaxMp4BoxDepth = 32;
inline constexpr std::size_t kMaxMp4Boxes = 50'000;

enum class TMp4BoxTree {
  kBounded,   // TagLib may read it (a damaged tree included: TagLib stops where it does)
  kTooDeep,   // containers nested deeper than kMaxMp4BoxDepth
  kTooMany,   // more than kMaxMp4Boxes boxes
};

// Reads box headers only, never a box's content; never throws for a short or
// damaged file (a read error of the source is passed on).
TMp4BoxTree WalkMp4BoxTree(TTagSource& source);

}  // namespace orvela
