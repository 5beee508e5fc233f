#pragma once
// The restriction filter's value lists (TempGenre.text, TempInterpret.text,
// TempJahr.text): the distinct values of one field of the collection, in the
// collator's order with letter case ignored. Of values that differ only in case
// the first one met stays; an empty value sorts first.
//
// File form: code-page text, one value per line, every line ended by CR LF; an
// empty list is an empty file.
#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvela {

// A value list that cannot be written; what() names the file and the reason.
class ValueListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TValueList {
 public:
  // Places the value by its case-free sort key, unless an equal one is there.
  void Add(std::string_view value);
  std::size_t Size() const { return byKey_.size(); }
  bool Empty() const { return byKey_.empty(); }
  void Clear();
  // In ascending order.
  std::vector<std::string> Values() const;

  // The file's bytes.
  std::string FileText() const;
  // The values of a file's bytes: lines split at LF, a CR before it dropped; a
  // last line without a line break counts as well.
  static TValueList FromFileText(std::string_view bytes);

 private:
  std::map<std::string, std::string> byKey_;
  // Spellings already placed: a collection repeats its genres and years
  // thousands of times, and these need no sort key.
  std::unordered_set<std::string> seen_;
};

// A missing or unreadable file (or one that is not a regular file) reads as an
// empty list. The path is a code-page string.
TValueList ReadValueListFile(const std::string& cp1252Path);
// Replaces the file atomically; throws ValueListError when it cannot be written.
void WriteValueListFile(const std::string& cp1252Path, const TValueList& list);

}  // namespace orvela
