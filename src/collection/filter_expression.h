#pragma once
// The filter expressions the jukebox sets on its tables, parsed into a list of
// alternatives (a row passes when one of them holds):
//   F like'pattern'        F='text'        F='text*' (prefix)
//   (F='a')or (F='b')      (F='a')or(F='b')or(F='c') ...
// Keywords and field names ignore ASCII case, blanks between tokens do not count,
// and a quote inside a literal is written twice.
#include <string>
#include <string_view>
#include <vector>

namespace orvela {

class TFilterExpression {
 public:
  enum class Kind { Equal, Prefix, Like };
  struct Term {
    int field = 0;     // TCollectionTable field index
    Kind kind = Kind::Equal;
    std::string text;  // the literal; for Prefix without its final "*"
  };

  // Throws TableError with the reason when `text` is not such an expression. A
  // blank text gives an expression every row passes.
  static TFilterExpression Parse(std::string_view text);

  bool PassesEverything() const { return terms_.empty(); }
  const std::vector<Term>& Terms() const { return terms_; }

 private:
  std::vector<Term> terms_;
};

}  // namespace orvela
