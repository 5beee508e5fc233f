#pragma once
// Locale-aware text comparison for the collection: ICU's German collator, so
// letters order alphabetically first, umlauts sit with their base letters, and
// accents and then case (lower before upper) only break ties.
//
// Two derived forms keep the table fast on large collections:
// - sort keys, whose byte order is the collator's order, computed once per value;
// - a case-folded form for the case-insensitive filter: every code-page byte maps
//   to zero to three one-byte "units", one per letter as the collator sees it with
//   case (and width) ignored but accents kept. Equal folded forms mean the
//   collator finds the texts equal when case is ignored, and a folded text that
//   contains another's folded form contains that text in this sense, so
//   searching is a plain byte search. Units are never 0.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct UCollator;

namespace orvela {

class TCollation {
 public:
  // The one instance, built on first use (opening the collator is not cheap).
  static const TCollation& Instance();

  ~TCollation();
  TCollation(const TCollation&) = delete;
  TCollation& operator=(const TCollation&) = delete;

  // <0, 0, >0 as a sorts before, with or after b (code-page text).
  int Compare(std::string_view a, std::string_view b) const;
  // Appends the sort key of `text` (without the collator's final 0) to *out.
  void AppendSortKey(std::string_view text, std::string* out) const;

  // The most units one code-page byte folds to.
  static constexpr std::size_t kMaxUnits = 3;

  // Writes the case-folded units of `text` from `out` on, which must have room
  // for kMaxUnits a byte, and returns the end of what was written. Folding a
  // large column is a wait the guest sees: nearly every byte is one unit, and
  // taking that case apart keeps the next write's place from waiting for a
  // count read from the table.
  char* FoldInto(std::string_view text, char* out) const {
    for (unsigned char c : text) {
      const FoldEntry& e = fold_[c];
      if (e.count == 1) {
        *out++ = e.units[0];
        continue;
      }
      std::memcpy(out, e.units, kMaxUnits);
      out += e.count;
    }
    return out;
  }

  // Appends the case-folded units of `text` to *out.
  void AppendFolded(std::string_view text, std::string* out) const {
    const std::size_t base = out->size();
    out->resize(base + text.size() * kMaxUnits);
    char* end = FoldInto(text, out->data() + base);
    out->resize(static_cast<std::size_t>(end - out->data()));
  }
  // The units one code-page byte folds to.
  std::string_view FoldedByte(unsigned char c) const { return {fold_[c].units, fold_[c].count}; }

 private:
  TCollation();
  struct FoldEntry {
    char units[kMaxUnits] = {};
    unsigned char count = 0;
  };
  UCollator* collator_ = nullptr;
  std::array<FoldEntry, 256> fold_{};
};

}  // namespace orvela
