#pragma once
// The rows of a table in storage order, packed: all field bytes of all rows in one
// buffer and a small fixed record per row. A hundred thousand title records cost
// their text plus 40 bytes each instead of six heap strings.
//
// Deleting a row only marks it: row numbers stay stable, so the sort and filter
// caches keyed by them survive a deletion; Clear() reclaims everything.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

class TTableRows {
 public:
  static constexpr int kFields = 6;
  using Fields = std::array<std::string_view, kFields>;

  // Stored rows, deleted ones included; row numbers are 0 .. Size()-1.
  std::uint32_t Size() const { return static_cast<std::uint32_t>(rows_.size()); }
  std::size_t LiveCount() const { return live_; }

  std::string_view Field(std::uint32_t row, int field) const {
    const Row& r = rows_[row];
    const std::uint32_t start = field == 0 ? 0 : r.end[field - 1];
    return {bytes_.data() + r.offset + start, r.end[field] - start};
  }
  bool Live(std::uint32_t row) const { return (rows_[row].flags & kLive) != 0; }
  // The change mark: appended since the table was last emptied.
  bool Appended(std::uint32_t row) const { return (rows_[row].flags & kAppended) != 0; }
  void SetAppended(std::uint32_t row) { rows_[row].flags |= kAppended; }

  // Stores the values as given (cutting is the table's business); returns the row number.
  std::uint32_t Add(const Fields& values, bool appended);
  void Remove(std::uint32_t row);
  void Clear();
  void Reserve(std::size_t rows, std::size_t bytes);
  void ShrinkToFit();
  // Heap bytes held, for the memory figures.
  std::size_t MemoryBytes() const { return bytes_.capacity() + rows_.capacity() * sizeof(Row); }

 private:
  static constexpr std::uint8_t kLive = 1;
  static constexpr std::uint8_t kAppended = 2;
  struct Row {
    std::uint64_t offset;
    std::uint32_t end[kFields];  // end of each field, relative to offset
    std::uint8_t flags;
  };
  std::string bytes_;
  std::vector<Row> rows_;
  std::size_t live_ = 0;
};

}  // namespace orvela
