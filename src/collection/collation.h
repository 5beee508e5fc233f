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

  // Appends the case-folded units of `text` to *out.
  void AppendFolded(std::string_view text, std::string* out) const {
    for (unsigned char c : text) {
      const FoldEntry& e = fold_[c];
      out->append(e.units, e.count);
    }
  }
  // The units one code-page byte folds to.
  std::string_view FoldedByte(unsigned char c) const { return {fold_[c].units, fold_[c].count}; }

 private:
  TCollation();
  struct FoldEntry {
    char units[3] = {};
    unsigned char count = 0;
  };
  UCollator* collator_ = nullptr;
  std::array<FoldEntry, 256> fold_{};
};

}  // namespace orvela
