#include "collection/table_index.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <functional>
#include <string_view>
#include <system_error>
#include <thread>

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

// The sort keys of a run of distinct values (numbers first .. first + size - 1),
// packed: key i is keys[start[i] .. start[i + 1]).
struct TKeySlice {
  std::uint32_t first = 0;
  std::string keys;
  std::vector<std::size_t> start;
};

// Below this many distinct values one thread makes the keys sooner than several
// are started.
constexpr std::uint32_t kKeysPerThread = 8192;
constexpr unsigned kMaxKeyThreads = 4;
// Below this many rows the columns built ahead are built on the calling thread.
constexpr std::uint32_t kRowsPerThread = 32768;

template <class Append>
void MakeSlice(const TTableRows& rows, int field, const std::vector<std::uint32_t>& firstRow, TKeySlice& slice,
               std::uint32_t end, const Append& append) {
  std::size_t textBytes = 0;
  for (std::uint32_t i = slice.first; i < end; ++i) textBytes += rows.Field(firstRow[i], field).size();
  slice.keys.reserve(textBytes * 2 + std::size_t{end - slice.first} * 8);
  slice.start.reserve(end - slice.first + 1);
  for (std::uint32_t i = slice.first; i < end; ++i) {
    slice.start.push_back(slice.keys.size());
    append(rows.Field(firstRow[i], field), &slice.keys);
  }
  slice.start.push_back(slice.keys.size());
}

// The collator's sort key of every distinct value. Keying is most of the cost of a
// field's ranks and each key depends on its value alone, so a large field is cut
// into slices keyed on worker threads, each with its own copy of the collator;
// they only read the rows, and all are joined before the keys are used.
std::vector<TKeySlice> MakeSortKeys(const TTableRows& rows, int field, const std::vector<std::uint32_t>& firstRow) {
  const auto count = static_cast<std::uint32_t>(firstRow.size());
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned threads = std::min({kMaxKeyThreads, cores, std::max(1u, count / kKeysPerThread)});
  std::vector<TKeySlice> slices(threads);
  for (unsigned s = 0; s < threads; ++s)
    slices[s].first = static_cast<std::uint32_t>(std::uint64_t{count} * s / threads);
  const auto endOf = [&](unsigned s) { return s + 1 < threads ? slices[s + 1].first : count; };

  std::vector<std::exception_ptr> failures(threads);
  std::vector<std::thread> workers;
  const auto work = [&](unsigned s) {
    try {
      const TSortKeyMaker maker(TCollation::Instance());
      MakeSlice(rows, field, firstRow, slices[s], endOf(s),
                [&maker](std::string_view text, std::string* out) { maker.Append(text, out); });
    } catch (...) {
      failures[s] = std::current_exception();
    }
  };
  for (unsigned s = 1; s < threads; ++s) {
    try {
      workers.emplace_back(work, s);
    } catch (const std::system_error&) {
      work(s);  // no thread to be had: the slice is keyed here
    }
  }
  try {
    const TCollation& collation = TCollation::Instance();
    MakeSlice(rows, field, firstRow, slices[0], endOf(0),
              [&collation](std::string_view text, std::string* out) { collation.AppendSortKey(text, out); });
  } catch (...) {
    failures[0] = std::current_exception();
  }
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  return slices;
}

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
    std::vector<TKeySlice> slices = MakeSortKeys(rows_, field, firstRow);
    std::vector<std::uint32_t>().swap(firstRow);
    std::vector<std::string_view> keys(count);
    for (const TKeySlice& slice : slices)
      for (std::size_t i = 0; i + 1 < slice.start.size(); ++i)
        keys[slice.first + i] = std::string_view(slice.keys.data() + slice.start[i], slice.start[i + 1] - slice.start[i]);

    // The first eight key bytes as a big-endian number settle most comparisons
    // without touching the key buffer.
    struct Entry {
      std::uint64_t head;
      std::uint32_t id;
    };
    std::vector<Entry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t head = 0;
      const std::string_view key = keys[i];
      for (std::uint32_t b = 0; b < 8; ++b)
        head = (head << 8) | (b < key.size() ? static_cast<unsigned char>(key[b]) : 0u);
      entries[i] = {head, i};
    }
    const auto keyOf = [&keys](std::uint32_t id) { return keys[id]; };
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
    std::size_t total = 0, longest = 0;
    for (std::uint32_t r = 0; r < n; ++r) {
      const std::size_t size = rows_.Field(r, field).size();
      total += size + 1;
      longest = std::max(longest, size);
    }
    // Folding writes up to three units a byte before it settles on the count: room
    // for that on the last row, so the buffer is not doubled at its end.
    column.bytes.reserve(total + total / 8 + 3 * longest);
    column.start.reserve(n + 1);
  }
  for (; built < n; ++built) {
    AppendMatchForm(rows_.Field(built, field), caseInsensitive_, &column.bytes);
    column.bytes.push_back('\0');
    column.start.push_back(static_cast<std::uint32_t>(column.bytes.size()));
  }
  return column;
}

void TTableIndex::BuildAhead(const std::vector<int>& formFields, const std::vector<int>& rankFields) {
  std::vector<std::function<void()>> tasks;
  for (const int field : formFields) tasks.emplace_back([this, field] { Forms(field); });
  for (const int field : rankFields) tasks.emplace_back([this, field] { Ranks(field); });
  std::atomic<std::size_t> next{0};
  std::vector<std::exception_ptr> failures(tasks.size());
  const auto work = [&] {
    for (std::size_t t; (t = next.fetch_add(1)) < tasks.size();) {
      try {
        tasks[t]();
      } catch (...) {
        failures[t] = std::current_exception();
      }
    }
  };
  if (tasks.empty()) return;
  // A small table is done sooner than a thread is started.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t helpers =
      rows_.Size() < kRowsPerThread ? 0 : std::min<std::size_t>(std::min(cores, kMaxKeyThreads) - 1, tasks.size() - 1);
  std::vector<std::thread> workers;
  for (std::size_t h = 0; h < helpers; ++h) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // the calling thread does the rest
    }
  }
  work();
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

std::size_t TTableIndex::MemoryBytes() const {
  std::size_t total = 0;
  for (const auto& r : ranks_) total += r.MemoryBytes();
  for (const auto& f : forms_) total += f.bytes.capacity() + f.start.capacity() * sizeof(std::uint32_t);
  return total;
}

}  // namespace orvela
