#pragma once
// The rows of a table in storage order, packed so that a row costs little more
// than its text: a million title records hold their hundred-odd bytes of text
// each plus about a dozen bytes of bookkeeping, and a file of rows without
// values costs five bytes a row.
//
// A row is one record in a 1 MiB text block: a byte of flags (live, appended,
// which fields have a value), then for each field with a value its length as a
// variable-length number and its bytes. Rows are found through a 32-bit address
// per row (block number and place in the block). Blocks and the address list
// grow a piece at a time, so growing never copies what is already stored.
//
// Deleting a row only marks it: row numbers stay stable, so the sort and filter
// caches keyed by them survive a deletion; Clear() reclaims everything.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace orvela {

class TTableRows {
 public:
  static constexpr int kFields = 6;
  using Fields = std::array<std::string_view, kFields>;
  using Widths = std::array<std::size_t, kFields>;

  TTableRows() = default;
  TTableRows(TTableRows&&) noexcept = default;
  TTableRows& operator=(TTableRows&&) noexcept = default;

  // Stored rows, deleted ones included; row numbers are 0 .. Size()-1.
  std::uint32_t Size() const { return size_; }
  std::size_t LiveCount() const { return live_; }

  std::string_view Field(std::uint32_t row, int field) const;
  // The row of the n-th live row (0-based, n < LiveCount()) and, for a live
  // row, how many live rows come before it. Both are constant time while no row
  // is deleted; after a deletion the first call builds an index of the live rows
  // (4 bytes each) that later calls share until the next deletion, so reading
  // every title by its number stays linear. Not for concurrent readers.
  std::uint32_t LiveRow(std::uint32_t n) const;
  std::uint32_t LiveRank(std::uint32_t row) const;
  bool Live(std::uint32_t row) const { return (*Record(row) & kLive) != 0; }
  // The change mark: appended since the table was last emptied.
  bool Appended(std::uint32_t row) const { return (*Record(row) & kAppended) != 0; }
  void SetAppended(std::uint32_t row) { *Record(row) |= kAppended; }

  // Stores the values as given (cutting is the table's business); returns the row
  // number. Throws TableError when the table cannot address another row.
  std::uint32_t Add(const Fields& values, bool appended);
  void Remove(std::uint32_t row);
  void Clear();
  // Cuts every stored value to its field's width, for a file that declares its
  // widths only after its rows.
  void CutTo(const Widths& widths);
  // Heap bytes held, for the memory figures.
  std::size_t MemoryBytes() const;

 private:
  static constexpr std::uint8_t kLive = 1;
  static constexpr std::uint8_t kAppended = 2;
  static constexpr int kPresentShift = 2;  // bits 2..7: field f has a value
  static constexpr unsigned kBlockBits = 20;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
  static constexpr std::size_t kMaxBlocks = std::size_t{1} << (32 - kBlockBits);
  static constexpr unsigned kAddressChunkBits = 16;
  static constexpr std::uint32_t kAddressChunk = std::uint32_t{1} << kAddressChunkBits;

  std::uint8_t* Record(std::uint32_t row) const {
    const std::uint32_t address = addresses_[row >> kAddressChunkBits][row & (kAddressChunk - 1)];
    return blocks_[address >> kBlockBits].get() + (address & (kBlockSize - 1));
  }

  std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
  std::size_t blockBytes_ = 0;  // heap bytes of all blocks
  std::size_t fill_ = kBlockSize;  // bytes used in the last block; full when it holds one large row
  std::vector<std::unique_ptr<std::uint32_t[]>> addresses_;
  std::uint32_t size_ = 0;
  std::size_t live_ = 0;
  // The live rows in storage order, valid while liveIndexed_; only ever built
  // when rows have been deleted.
  const std::vector<std::uint32_t>& LiveRows() const;
  mutable std::vector<std::uint32_t> liveRows_;
  mutable bool liveIndexed_ = false;
};

}  // namespace orvela
