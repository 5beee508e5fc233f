#include "jukebox/value_list.h"

#include "collection/collation.h"
#include "common/atomic_file.h"
#include "common/file_open.h"

namespace orvela {
namespace {

// A value list holds at most every title's value once; far beyond a collection's
// size it is no list of ours.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

}  // namespace

void TValueList::Add(std::string_view value) {
  std::string spelling(value);
  if (seen_.contains(spelling)) return;
  std::string key;
  TCollation::Instance().AppendCaseFreeSortKey(value, &key);
  byKey_.try_emplace(std::move(key), spelling);
  seen_.insert(std::move(spelling));
}

void TValueList::Clear() {
  byKey_.clear();
  seen_.clear();
}

std::vector<std::string> TValueList::Values() const {
  std::vector<std::string> values;
  values.reserve(byKey_.size());
  for (const auto& [key, value] : byKey_) values.push_back(value);
  return values;
}

std::string TValueList::FileText() const {
  std::string text;
  for (const auto& [key, value] : byKey_) text.append(value).append("\r\n");
  return text;
}

TValueList TValueList::FromFileText(std::string_view bytes) {
  TValueList list;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    const bool broken = end != std::string_view::npos;
    if (!broken) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    if (broken && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    list.Add(line);
    pos = broken ? end + 1 : end;
  }
  return list;
}

TValueList ReadValueListFile(const std::string& cp1252Path) {
  const auto bytes = ReadWholeFile(ResolveCodePagePath(cp1252Path), kMaxFileBytes);
  if (!bytes) return {};
  return TValueList::FromFileText(*bytes);
}

void WriteValueListFile(const std::string& cp1252Path, const TValueList& list) {
  std::string error;
  if (!WriteFileAtomically(ResolveCodePagePathForWriting(cp1252Path), list.FileText(), &error))
    throw ValueListError("Cannot write the value list " + cp1252Path + ": " + error);
}

}  // namespace orvela
