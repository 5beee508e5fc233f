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

  // The sort key of the same comparison with letter case ignored (accents
  // still count): equal keys for texts that differ only in case. The order and
  // sameness of the restriction filter's value lists.
  void AppendCaseFreeSortKey(std::string_view text, std::string* out) const;

  // Appends the case-folded units of `text` to *out. Every byte's three unit
  // slots are copied whole and the end moves on by its count: no branch per byte.
  void AppendFolded(std::string_view text, std::string* out) const {
    const std::size_t at = out->size();
    out->resize(at + text.size() * sizeof(FoldEntry::units));
    char* p = out->data() + at;
    for (unsigned char c : text) {
      const FoldEntry& e = fold_[c];
      std::memcpy(p, e.units, sizeof e.units);
      p += e.count;
    }
    out->resize(static_cast<std::size_t>(p - out->data()));
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
  UCollator* caseFreeCollator_ = nullptr;
  std::array<FoldEntry, 256> fold_{};

  friend class TSortKeyMaker;
};

// Sort keys (the same as TCollation::AppendSortKey) made on a worker thread: each
// maker holds its own copy of the collator, so makers on several threads share
// nothing but the collator's read-only data.
class TSortKeyMaker {
 public:
  explicit TSortKeyMaker(const TCollation& collation);
  ~TSortKeyMaker();
  TSortKeyMaker(const TSortKeyMaker&) = delete;
  TSortKeyMaker& operator=(const TSortKeyMaker&) = delete;

  void Append(std::string_view text, std::string* out) const;

 private:
  UCollator* collator_ = nullptr;
};

}  // namespace orvela
