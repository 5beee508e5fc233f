#include "collection/table_index.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "collection/collation.h"
#include "collection/like_pattern.h"

namespace orvela {

void TRankColumn::Assign(const std::vector<std::uint32_t>& ranks, std::uint32_t maxRank) {
  Release();
  size_ = static_cast<std::uint32_t>(ranks.size());
  maxRank_ = maxRank;
  if (maxRank <= UINT8_MAX) {
    width_ = 1;
    narrow_.assign(ranks.begin(), ranks.end());
  } else if (maxRank <= UINT16_MAX) {
    width_ = 2;
    medium_.assign(ranks.begin(), ranks.end());
  } else {
    width_ = 4;
    wide_ = ranks;
  }
  built_ = true;
}

void TRankColumn::Release() {
  std::vector<std::uint8_t>().swap(narrow_);
  std::vector<std::uint16_t>().swap(medium_);
  std::vector<std::uint32_t>().swap(wide_);
  size_ = 0;
  maxRank_ = 0;
  width_ = 1;
  built_ = false;
}

void TTableIndex::Reset() {
  for (auto& r : ranks_) r.Release();
  for (auto& f : forms_) f = FormColumn{};
}

namespace {

// Numbers the distinct values of a field in order of first appearance. The hash
// table holds value numbers only (the values stay in the rows), so it costs a few
// bytes per distinct value, not per row.
class TDistinctValues {
 public:
  TDistinctValues(const TTableRows& rows, int field) : rows_(rows), field_(field), slots_(1024, 0) {}

  std::uint32_t IdOf(std::uint32_t row) {
    const std::string_view value = rows_.Field(row, field_);
    std::size_t slot = Hash(value) & (slots_.size() - 1);
    for (;;) {
      const std::uint32_t entry = slots_[slot];
      if (entry == 0) break;
      if (rows_.Field(firstRow_[entry - 1], field_) == value) return entry - 1;
      slot = (slot + 1) & (slots_.size() - 1);
    }
    const auto id = static_cast<std::uint32_t>(firstRow_.size());
    firstRow_.push_back(row);
    slots_[slot] = id + 1;
    if (firstRow_.size() * 2 > slots_.size()) Grow();
    return id;
  }

  // A row holding each value, by value number.
  std::vector<std::uint32_t> TakeFirstRows() {
    std::vector<std::uint32_t>().swap(slots_);
    return std::move(firstRow_);
  }

 private:
  static std::size_t Hash(std::string_view value) { return std::hash<std::string_view>{}(value); }

  void Grow() {
    std::vector<std::uint32_t> bigger(slots_.size() * 2, 0);
    for (std::uint32_t id = 0; id < firstRow_.size(); ++id) {
      std::size_t slot = Hash(rows_.Field(firstRow_[id], field_)) & (bigger.size() - 1);
      while (bigger[slot] != 0) slot = (slot + 1) & (bigger.size() - 1);
      bigger[slot] = id + 1;
    }
    slots_.swap(bigger);
  }

  const TTableRows& rows_;
  int field_;
  std::vector<std::uint32_t> slots_;  // value number + 1; 0 = free
  std::vector<std::uint32_t> firstRow_;
};

}  // namespace

const TRankColumn& TTableIndex::Ranks(int field) {
  TRankColumn& column = ranks_[field];
  const std::uint32_t n = rows_.Size();
  if (column.Built() && column.Size() == n) return column;
  column.Release();

  // Artists, genres and years repeat a lot: key and sort each distinct value once.
  std::vector<std::uint32_t> ids(n);  // value number of each row, later its rank
  std::vector<std::uint32_t> firstRow;
  {
    TDistinctValues distinct(rows_, field);
    for (std::uint32_t r = 0; r < n; ++r) ids[r] = distinct.IdOf(r);
    firstRow = distinct.TakeFirstRows();
  }
  const auto count = static_cast<std::uint32_t>(firstRow.size());

  std::vector<std::uint32_t> rankOfId(count, 0);
  if (count > 1) {
    const TCollation& collation = TCollation::Instance();
    std::size_t textBytes = 0;
    for (const std::uint32_t row : firstRow) textBytes += rows_.Field(row, field).size();
    std::string keys;
    keys.reserve(textBytes * 2 + std::size_t{count} * 8);
    std::vector<std::uint64_t> keyStart(count + 1);
    for (std::uint32_t i = 0; i < count; ++i) {
      keyStart[i] = keys.size();
      collation.AppendSortKey(rows_.Field(firstRow[i], field), &keys);
    }
    keyStart[count] = keys.size();
    std::vector<std::uint32_t>().swap(firstRow);

    // The first eight key bytes as a big-endian number settle most comparisons
    // without touching the key buffer.
    struct Entry {
      std::uint64_t head;
      std::uint32_t id;
    };
    std::vector<Entry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t head = 0;
      const std::uint64_t len = keyStart[i + 1] - keyStart[i];
      for (std::uint32_t b = 0; b < 8; ++b)
        head = (head << 8) | (b < len ? static_cast<unsigned char>(keys[keyStart[i] + b]) : 0u);
      entries[i] = {head, i};
    }
    const auto keyOf = [&](std::uint32_t id) {
      return std::string_view(keys.data() + keyStart[id], keyStart[id + 1] - keyStart[id]);
    };
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
      if (a.head != b.head) return a.head < b.head;
      return keyOf(a.id) < keyOf(b.id);
    });
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i > 0 && (entries[i].head != entries[i - 1].head || keyOf(entries[i].id) != keyOf(entries[i - 1].id)))
        ++rank;
      rankOfId[entries[i].id] = rank;
    }
  }
  std::uint32_t maxRank = 0;
  for (std::uint32_t& id : ids) {
    id = rankOfId[id];
    maxRank = std::max(maxRank, id);
  }
  std::vector<std::uint32_t>().swap(rankOfId);
  column.Assign(ids, maxRank);
  return column;
}

const TTableIndex::FormColumn& TTableIndex::Forms(int field) {
  FormColumn& column = forms_[field];
  const std::uint32_t n = rows_.Size();
  if (column.start.empty()) column.start.push_back(0);
  std::uint32_t built = static_cast<std::uint32_t>(column.start.size() - 1);
  if (built == n) return column;
  if (built == 0) {
    std::size_t total = 0;
    for (std::uint32_t r = 0; r < n; ++r) total += rows_.Field(r, field).size() + 1;
    column.bytes.reserve(total + total / 8);
    column.start.reserve(n + 1);
  }
  for (; built < n; ++built) {
    AppendMatchForm(rows_.Field(built, field), caseInsensitive_, &column.bytes);
    column.bytes.push_back('\0');
    column.start.push_back(static_cast<std::uint32_t>(column.bytes.size()));
  }
  return column;
}

std::size_t TTableIndex::MemoryBytes() const {
  std::size_t total = 0;
  for (const auto& r : ranks_) total += r.MemoryBytes();
  for (const auto& f : forms_) total += f.bytes.capacity() + f.start.capacity() * sizeof(std::uint32_t);
  return total;
}

}  // namespace orvela
