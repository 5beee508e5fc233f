#include "collection/like_pattern.h"

#include "collection/collation.h"

namespace orvela {

void AppendMatchForm(std::string_view text, bool caseInsensitive, std::string* out) {
  if (caseInsensitive)
    TCollation::Instance().AppendFolded(text, out);
  else
    out->append(text);
}

TLikePattern::TLikePattern(std::string_view pattern, bool caseInsensitive) {
  std::string units;
  for (char c : pattern) {
    if (c == '%') {
      if (elems_.empty() || elems_.back() != kAnyRun) elems_.push_back(kAnyRun);
    } else if (c == '_') {
      elems_.push_back(kAnyOne);
    } else {
      units.clear();
      AppendMatchForm(std::string_view(&c, 1), caseInsensitive, &units);
      for (unsigned char u : units) elems_.push_back(static_cast<int16_t>(u));
    }
  }
  if (elems_.size() >= 3 && elems_.front() == kAnyRun && elems_.back() == kAnyRun) {
    contains_ = true;
    for (std::size_t i = 1; i + 1 < elems_.size(); ++i) {
      if (elems_[i] < 0) {
        contains_ = false;
        needle_.clear();
        break;
      }
      needle_ += static_cast<char>(elems_[i]);
    }
  }
}

bool TLikePattern::Matches(std::string_view form) const {
  if (contains_) return form.find(needle_) != std::string_view::npos;
  // Greedy matching that backtracks only to the last "%": linear for the patterns
  // the jukebox builds, never exponential for odd ones.
  const std::size_t n = elems_.size();
  std::size_t p = 0, i = 0;
  std::size_t starP = std::string_view::npos, starI = 0;
  while (i < form.size()) {
    if (p < n && (elems_[p] == kAnyOne || (elems_[p] >= 0 && elems_[p] == static_cast<unsigned char>(form[i])))) {
      ++p;
      ++i;
    } else if (p < n && elems_[p] == kAnyRun) {
      starP = p++;
      starI = i;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      i = ++starI;
    } else {
      return false;
    }
  }
  while (p < n && elems_[p] == kAnyRun) ++p;
  return p == n;
}

}  // namespace orvela
