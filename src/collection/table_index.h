#pragma once
// Per-field caches that make sorting and filtering a large table cheap, built on
// first use and kept while rows are only appended or deleted:
// - ranks: each row's position in the collator's order of that field's values
//   (equal values share a rank), so a sort on several fields compares integers;
//   held in one, two or four bytes a row, whatever the field's count of distinct
//   values needs (genres and years fit a byte);
// - match forms: each row's value in match form (see like_pattern.h), packed into
//   one buffer with a 0 byte after each row, so a substring filter is one pass of
//   memmem over compact bytes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/table_rows.h"

namespace orvela {

class TRankColumn {
 public:
  std::uint32_t Size() const { return size_; }
  // The highest rank; 0 when every row holds the same value.
  std::uint32_t MaxRank() const { return maxRank_; }
  std::uint32_t operator[](std::uint32_t row) const {
    switch (width_) {
      case 1: return narrow_[row];
      case 2: return medium_[row];
      default: return wide_[row];
    }
  }
  // Takes the ranks of all rows, stored as narrow as maxRank allows.
  void Assign(const std::vector<std::uint32_t>& ranks, std::uint32_t maxRank);
  void Release();
  bool Built() const { return built_; }
  std::size_t MemoryBytes() const {
    return narrow_.capacity() + medium_.capacity() * 2 + wide_.capacity() * 4;
  }

 private:
  std::vector<std::uint8_t> narrow_;
  std::vector<std::uint16_t> medium_;
  std::vector<std::uint32_t> wide_;
  std::uint32_t size_ = 0;
  std::uint32_t maxRank_ = 0;
  int width_ = 1;
  bool built_ = false;
};

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
  const TRankColumn& Ranks(int field);
  // Match forms of all stored rows for a field; extended for appended rows.
  const FormColumn& Forms(int field);
  // Builds the match forms and the ranks of the given fields now, as far as they
  // are not built yet, on worker threads where the machine has the cores: each
  // field's column is its own, and the rows are only read.
  void BuildAhead(const std::vector<int>& formFields, const std::vector<int>& rankFields);

  std::size_t MemoryBytes() const;

 private:
  const TTableRows& rows_;
  bool caseInsensitive_;
  std::array<TRankColumn, TTableRows::kFields> ranks_;
  std::array<FormColumn, TTableRows::kFields> forms_;
};

}  // namespace orvela
