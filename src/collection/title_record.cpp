#include "collection/title_record.h"

#include <cstdio>

namespace orvela {

std::string FormatDauer(std::int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2d:%.2d", seconds / 60, seconds % 60);
  return text;
}

TCollectionTable::Values TitleRecordOf(const TAudioFile& file) {
  return {file.Artist, file.Title, file.FilePath, file.Genre, file.Year, FormatDauer(file.Duration)};
}

void AppendTitleRecord(TCollectionTable& table, const TAudioFile& file) {
  table.AppendRecord(file.Artist, file.Title, file.FilePath, file.Genre, file.Year, FormatDauer(file.Duration));
}

}  // namespace orvela
