#include "collection/table_rows.h"

#include <algorithm>
#include <cstring>

#include "collection/table_error.h"

namespace orvela {
namespace {

std::size_t VarintSize(std::uint64_t value) {
  std::size_t n = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++n;
  }
  return n;
}

std::uint8_t* PutVarint(std::uint64_t value, std::uint8_t* out) {
  while (value >= 0x80) {
    *out++ = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<std::uint8_t>(value);
  return out;
}

std::uint64_t GetVarint(const std::uint8_t*& in) {
  std::uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const std::uint8_t byte = *in++;
    value |= std::uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0) return value;
  }
}

}  // namespace

std::string_view TTableRows::Field(std::uint32_t row, int field) const {
  const std::uint8_t* p = Record(row);
  const unsigned present = static_cast<unsigned>(*p++) >> kPresentShift;
  if ((present >> field & 1u) == 0) return {};
  for (int f = 0; f < field; ++f) {
    if (present >> f & 1u) {
      const std::uint64_t length = GetVarint(p);
      p += length;
    }
  }
  const std::uint64_t length = GetVarint(p);
  return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(length)};
}

std::uint32_t TTableRows::Add(const Fields& values, bool appended) {
  if (size_ == UINT32_MAX) throw TableError("The table cannot hold more rows");
  std::size_t bytes = 1;
  std::uint8_t flags = static_cast<std::uint8_t>(kLive | (appended ? kAppended : 0));
  for (int f = 0; f < kFields; ++f) {
    if (values[f].empty()) continue;
    bytes += VarintSize(values[f].size()) + values[f].size();
    flags = static_cast<std::uint8_t>(flags | (1u << (kPresentShift + f)));
  }

  // A row larger than a block gets a block of its own.
  const bool large = bytes > kBlockSize;
  if (large || fill_ + bytes > kBlockSize) {
    if (blocks_.size() == kMaxBlocks) throw TableError("The table cannot hold more text");
    const std::size_t blockSize = large ? bytes : kBlockSize;
    // Left uninitialised on purpose: untouched pages of the last block cost nothing.
    blocks_.emplace_back(new std::uint8_t[blockSize]);
    blockBytes_ += blockSize;
    fill_ = 0;
  }
  if (size_ % kAddressChunk == 0) addresses_.emplace_back(new std::uint32_t[kAddressChunk]);

  const auto block = static_cast<std::uint32_t>(blocks_.size() - 1);
  std::uint8_t* out = blocks_.back().get() + fill_;
  addresses_.back()[size_ % kAddressChunk] = (block << kBlockBits) | static_cast<std::uint32_t>(fill_);
  *out++ = flags;
  for (int f = 0; f < kFields; ++f) {
    if (values[f].empty()) continue;
    out = PutVarint(values[f].size(), out);
    std::memcpy(out, values[f].data(), values[f].size());
    out += values[f].size();
  }
  fill_ = large ? kBlockSize : fill_ + bytes;
  ++live_;
  // A new row is live and last: an index of the live rows stays valid with it.
  if (liveIndexed_) liveRows_.push_back(size_);
  return size_++;
}

void TTableRows::Remove(std::uint32_t row) {
  std::uint8_t* flags = Record(row);
  if (*flags & kLive) {
    *flags = static_cast<std::uint8_t>(*flags & ~kLive);
    --live_;
    liveIndexed_ = false;
  }
}

const std::vector<std::uint32_t>& TTableRows::LiveRows() const {
  if (!liveIndexed_) {
    liveRows_.clear();
    liveRows_.reserve(live_);
    for (std::uint32_t row = 0; row < size_; ++row)
      if (Live(row)) liveRows_.push_back(row);
    liveIndexed_ = true;
  }
  return liveRows_;
}

std::uint32_t TTableRows::LiveRow(std::uint32_t n) const {
  if (live_ == size_) return n;
  return LiveRows()[n];
}

std::uint32_t TTableRows::LiveRank(std::uint32_t row) const {
  if (live_ == size_) return row;
  const std::vector<std::uint32_t>& live = LiveRows();
  return static_cast<std::uint32_t>(std::lower_bound(live.begin(), live.end(), row) - live.begin());
}

void TTableRows::Clear() {
  std::vector<std::unique_ptr<std::uint8_t[]>>().swap(blocks_);
  std::vector<std::unique_ptr<std::uint32_t[]>>().swap(addresses_);
  blockBytes_ = 0;
  fill_ = kBlockSize;
  size_ = 0;
  live_ = 0;
  std::vector<std::uint32_t>().swap(liveRows_);
  liveIndexed_ = false;
}

void TTableRows::CutTo(const Widths& widths) {
  TTableRows cut;
  Fields values;
  for (std::uint32_t row = 0; row < size_; ++row) {
    for (int f = 0; f < kFields; ++f) {
      const std::string_view value = Field(row, f);
      values[f] = value.substr(0, std::min(value.size(), widths[f]));
    }
    cut.Add(values, Appended(row));
    if (!Live(row)) cut.Remove(row);
  }
  *this = std::move(cut);
}

std::size_t TTableRows::MemoryBytes() const {
  return blockBytes_ + addresses_.size() * kAddressChunk * sizeof(std::uint32_t) +
         liveRows_.capacity() * sizeof(std::uint32_t) + (blocks_.capacity() + addresses_.capacity()) * sizeof(void*);
}

}  // namespace orvela
