#pragma once
// A "like" pattern compiled against the form the table matches on: "%" matches any
// run of letters, "_" exactly one (one folded unit on a case-insensitive table,
// so "_" does not match the two-letter "ß"), everything else matches itself in
// that form.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

// The form a field is matched in: the collator's case-folded units when the
// table ignores case, the code-page bytes themselves otherwise.
void AppendMatchForm(std::string_view text, bool caseInsensitive, std::string* out);

class TLikePattern {
 public:
  TLikePattern(std::string_view pattern, bool caseInsensitive);

  // `form` is a field value in match form.
  bool Matches(std::string_view form) const;

  // A pattern "%text%" (any number of "%" on each side, no "_", text not empty)
  // is a plain substring search for Needle(); callers can scan many values at once.
  bool IsContains() const { return contains_; }
  const std::string& Needle() const { return needle_; }

 private:
  static constexpr int16_t kAnyRun = -1;
  static constexpr int16_t kAnyOne = -2;
  std::vector<int16_t> elems_;
  bool contains_ = false;
  std::string needle_;
};

}  // namespace orvela
