#include "collection/search_mode.h"

#include <algorithm>
#include <array>
#include <vector>

#include "collection/collection_table.h"
#include "common/codepage.h"

namespace orvela {
namespace {

struct ModeInfo {
  TSearchMode mode;
  const char* name;
  const char* indexFieldNames;
  const char* text;
};

constexpr std::array<ModeInfo, 4> kModes{{
    {TSearchMode::Interpret, "interpret", "Interpret;Titel", "Suche nach Interpret"},
    {TSearchMode::Titel, "titel", "Titel;Interpret", "Suche nach Titel"},
    {TSearchMode::Genre, "genre", "Genre;Interpret;Titel", "Suche nach Genre"},
    {TSearchMode::Jahr, "jahr", "Jahr;Interpret;Titel", "Suche nach Jahr"},
}};

const ModeInfo& Info(TSearchMode mode) {
  for (const auto& info : kModes)
    if (info.mode == mode) return info;
  return kModes[0];
}

}  // namespace

const char* SearchModeIndexFieldNames(TSearchMode mode) { return Info(mode).indexFieldNames; }

const char* SearchModeText(TSearchMode mode) { return Info(mode).text; }

std::optional<TSearchMode> SearchModeFromText(std::string_view text) {
  for (const auto& info : kModes)
    if (text == info.text) return info.mode;
  return std::nullopt;
}

std::optional<TSearchMode> SearchModeFromName(std::string_view name) {
  for (const auto& info : kModes)
    if (EqualsAsciiNoCase(name, info.name)) return info.mode;
  return std::nullopt;
}

std::string SearchFilterExpression(TSearchMode mode, std::string_view text) {
  // The text goes into a quoted string of the expression: each ' in it is
  // doubled, or a name such as "Kapt'n" would end the string early.
  const auto quoted = [text] {
    std::string out;
    for (char c : text) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out;
  };
  switch (mode) {
    case TSearchMode::Interpret:
    case TSearchMode::Titel:
      return std::string(mode == TSearchMode::Interpret ? "Interpret" : "Titel") + " like'%" + quoted() + "%'";
    case TSearchMode::Genre:
    case TSearchMode::Jahr:
      return std::string(mode == TSearchMode::Genre ? "Genre='" : "Jahr='") + quoted() + "*'";
  }
  return {};
}

void PrepareSearchModes(TCollectionTable& table) {
  // Every mode filters on its first field and sorts on all of its fields: those
  // columns are built side by side first, then each order from them.
  std::vector<int> filterFields, sortFields;
  for (const auto& info : kModes) {
    const std::string_view names = info.indexFieldNames;
    filterFields.push_back(TCollectionTable::FieldIndexOf(names.substr(0, names.find(';'))));
    for (std::size_t at = 0; at <= names.size();) {
      const std::size_t end = std::min(names.find(';', at), names.size());
      const int field = TCollectionTable::FieldIndexOf(names.substr(at, end - at));
      if (std::find(sortFields.begin(), sortFields.end(), field) == sortFields.end()) sortFields.push_back(field);
      at = end + 1;
    }
  }
  table.PrepareFields(filterFields, sortFields);
  const std::string order = table.IndexFieldNames();
  for (const auto& info : kModes) table.SetIndexFieldNames(info.indexFieldNames);
  table.SetIndexFieldNames(order);
}

}  // namespace orvela
