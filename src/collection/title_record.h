#pragma once
// One audio file as a title record of the collection: the way the collection
// builder's window, the terminal scan and the demo collection all turn a read
// TAudioFile into a row, so every one of them stores the same text.
#include <cstdint>
#include <string>

#include "collection/collection_table.h"
#include "metadata/audio_file.h"

namespace orvela {

// "%.2d:%.2d" of minutes and seconds: 225 -> "03:45", 6000 -> "100:00".
std::string FormatDauer(std::int32_t seconds);

// The row of a file: the fields as they were read (no substitute texts) and
// its duration as FormatDauer.
TCollectionTable::Values TitleRecordOf(const TAudioFile& file);

// Appends the file's row to the table; the table's errors propagate (TableError).
void AppendTitleRecord(TCollectionTable& table, const TAudioFile& file);

}  // namespace orvela
