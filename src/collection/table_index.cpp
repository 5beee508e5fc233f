#include "collection/table_index.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "collection/collation.h"
#include "collection/like_pattern.h"

namespace orvela {

void TTableIndex::Reset() {
  for (auto& r : ranks_) std::vector<std::uint32_t>().swap(r);
  for (auto& f : forms_) f = FormColumn{};
}

const std::vector<std::uint32_t>& TTableIndex::Ranks(int field) {
  std::vector<std::uint32_t>& ranks = ranks_[field];
  const std::uint32_t n = rows_.Size();
  if (ranks.size() == n) return ranks;

  // Artists, genres and years repeat a lot: key and sort each distinct value once.
  std::unordered_map<std::string_view, std::uint32_t> ids;
  ids.reserve(n);
  std::vector<std::string_view> distinct;
  std::vector<std::uint32_t> rowId(n);
  for (std::uint32_t r = 0; r < n; ++r) {
    const std::string_view v = rows_.Field(r, field);
    const auto [it, inserted] = ids.emplace(v, static_cast<std::uint32_t>(distinct.size()));
    if (inserted) distinct.push_back(v);
    rowId[r] = it->second;
  }
  std::unordered_map<std::string_view, std::uint32_t>().swap(ids);

  const TCollation& collation = TCollation::Instance();
  std::string keys;
  std::vector<std::uint32_t> keyStart(distinct.size() + 1);
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    keyStart[i] = static_cast<std::uint32_t>(keys.size());
    collation.AppendSortKey(distinct[i], &keys);
  }
  keyStart[distinct.size()] = static_cast<std::uint32_t>(keys.size());

  // The first eight key bytes as a big-endian number settle most comparisons
  // without touching the key buffer.
  struct Entry {
    std::uint64_t head;
    std::uint32_t id;
  };
  std::vector<Entry> entries(distinct.size());
  for (std::uint32_t i = 0; i < distinct.size(); ++i) {
    std::uint64_t head = 0;
    const std::uint32_t len = keyStart[i + 1] - keyStart[i];
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

  std::vector<std::uint32_t> rankOfId(distinct.size());
  std::uint32_t rank = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0 && (entries[i].head != entries[i - 1].head || keyOf(entries[i].id) != keyOf(entries[i - 1].id)))
      ++rank;
    rankOfId[entries[i].id] = rank;
  }
  ranks.resize(n);
  for (std::uint32_t r = 0; r < n; ++r) ranks[r] = rankOfId[rowId[r]];
  return ranks;
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
  for (const auto& r : ranks_) total += r.capacity() * sizeof(std::uint32_t);
  for (const auto& f : forms_) total += f.bytes.capacity() + f.start.capacity() * sizeof(std::uint32_t);
  return total;
}

}  // namespace orvela
