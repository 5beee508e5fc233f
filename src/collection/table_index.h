#pragma once
// Per-field caches that make sorting and filtering a large table cheap, built on
// first use and kept while rows are only appended or deleted:
// - ranks: each row's position in the collator's order of that field's values
//   (equal values share a rank), so a sort on several fields compares integers;
// - match forms: each row's value in match form (see like_pattern.h), packed into
//   one buffer with a 0 byte after each row, so a substring filter is one pass of
//   memmem over compact bytes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/table_rows.h"

namespace orvela {

class TTableIndex {
 public:
  struct FormColumn {
    std::string bytes;                 // row forms in storage order, each followed by 0
    std::vector<std::uint32_t> start;  // start of row r's form; start.back() = end
    std::string_view Form(std::uint32_t row) const {
      return {bytes.data() + start[row], start[row + 1] - start[row] - 1};
    }
  };

  TTableIndex(const TTableRows& rows, bool caseInsensitive) : rows_(rows), caseInsensitive_(caseInsensitive) {}

  // Forget everything: the rows were replaced or removed.
  void Reset();

  // Ranks of all stored rows for a field; rebuilt when rows were appended since.
  const std::vector<std::uint32_t>& Ranks(int field);
  // Match forms of all stored rows for a field; extended for appended rows.
  const FormColumn& Forms(int field);

  std::size_t MemoryBytes() const;

 private:
  const TTableRows& rows_;
  bool caseInsensitive_;
  std::array<std::vector<std::uint32_t>, TTableRows::kFields> ranks_;
  std::array<FormColumn, TTableRows::kFields> forms_;
};

}  // namespace orvela
