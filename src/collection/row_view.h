#pragma once
// The rows of a table's view, in view order. A vector with a movable front: a
// deletion shifts the shorter side, so deleting the first record over and over
// (as restricting a collection does, thousands of times) costs nothing per step,
// while positions stay O(1).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace orvela {

class TRowView {
 public:
  std::size_t size() const { return rows_.size() - front_; }
  bool empty() const { return size() == 0; }
  std::uint32_t operator[](std::size_t i) const { return rows_[front_ + i]; }
  const std::uint32_t* begin() const { return rows_.data() + front_; }
  const std::uint32_t* end() const { return rows_.data() + rows_.size(); }

  void clear() {
    rows_.clear();
    front_ = 0;
  }
  void reserve(std::size_t n) { rows_.reserve(n); }
  void push_back(std::uint32_t row) { rows_.push_back(row); }
  void assign(std::vector<std::uint32_t>&& rows) {
    rows_ = std::move(rows);
    front_ = 0;
  }
  void insert(std::size_t at, std::uint32_t row) {
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(front_ + at), row);
  }
  void erase(std::size_t at) {
    if (at < size() / 2) {
      std::memmove(rows_.data() + front_ + 1, rows_.data() + front_, at * sizeof(std::uint32_t));
      ++front_;
    } else {
      rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(front_ + at));
    }
  }
  template <class Pred>
  void remove_if(Pred pred) {
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(front_));
    front_ = 0;
    std::erase_if(rows_, pred);
  }
  // Position of a row, or size() when it is not in the view.
  std::size_t find(std::uint32_t row) const { return static_cast<std::size_t>(std::find(begin(), end(), row) - begin()); }
  void release() {
    std::vector<std::uint32_t>().swap(rows_);
    front_ = 0;
  }

 private:
  std::vector<std::uint32_t> rows_;
  std::size_t front_ = 0;
};

}  // namespace orvela
