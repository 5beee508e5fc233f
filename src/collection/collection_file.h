#pragma once
// The collection file (Musikliste.xml, TempMusikliste.xml): one line of XML in the
// code page, written by hand so every byte is the one older installations expect.
//
// Reading scans the file once from front to back (collection_reader.cpp) and keeps
// only the rows: a collection costs the memory of its values, not of its markup.
#include <functional>
#include <string>
#include <string_view>

#include "collection/collection_table.h"
#include "collection/table_rows.h"

namespace orvela {

// Hands the file's bytes for these widths and the live rows of `rows` (storage
// order, with their change marks) to `sink`, a piece of about a megabyte at a time.
void WriteCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows,
                         const std::function<void(std::string_view)>& sink);
// The same bytes as one string.
std::string FormatCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows);

// Reads a collection file. On success *widths and *rows hold its content (each
// value cut to its field's width, rows marked as the file marks them); on failure
// a TableError says why and the outputs are unspecified.
void ParseCollectionFile(std::string_view bytes, TCollectionTable::Widths* widths, TTableRows* rows);
// The same for an open file, read blockSize bytes at a time; the descriptor stays
// the caller's.
void ReadCollectionFile(int fd, TCollectionTable::Widths* widths, TTableRows* rows,
                        std::size_t blockSize = std::size_t{1} << 18);

}  // namespace orvela
