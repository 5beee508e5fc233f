#include "collection/table_rows.h"

namespace orvela {

std::uint32_t TTableRows::Add(const Fields& values, bool appended) {
  Row row{};
  row.offset = bytes_.size();
  std::uint32_t end = 0;
  for (int f = 0; f < kFields; ++f) {
    bytes_.append(values[f]);
    end += static_cast<std::uint32_t>(values[f].size());
    row.end[f] = end;
  }
  row.flags = static_cast<std::uint8_t>(kLive | (appended ? kAppended : 0));
  rows_.push_back(row);
  ++live_;
  return static_cast<std::uint32_t>(rows_.size() - 1);
}

void TTableRows::Remove(std::uint32_t row) {
  if (rows_[row].flags & kLive) {
    rows_[row].flags &= static_cast<std::uint8_t>(~kLive);
    --live_;
  }
}

void TTableRows::Clear() {
  std::string().swap(bytes_);
  std::vector<Row>().swap(rows_);
  live_ = 0;
}

void TTableRows::Reserve(std::size_t rows, std::size_t bytes) {
  rows_.reserve(rows);
  bytes_.reserve(bytes);
}

void TTableRows::ShrinkToFit() {
  bytes_.shrink_to_fit();
  rows_.shrink_to_fit();
}

}  // namespace orvela
