#pragma once
// The collection file (Musikliste.xml, TempMusikliste.xml): one line of XML in the
// code page, written by hand so every byte is the one older installations expect,
// and read with pugixml.
#include <string>
#include <string_view>

#include "collection/collection_table.h"
#include "collection/table_rows.h"

namespace orvela {

// The file's bytes for these widths and the live rows of `rows` in storage order,
// with their change marks.
std::string FormatCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows);

// Parses a collection file. On success *widths and *rows hold its content (each
// value cut to its field's width, rows marked as the file marks them); on failure
// a TableError says why and the outputs are unspecified.
void ParseCollectionFile(std::string_view bytes, TCollectionTable::Widths* widths, TTableRows* rows);

}  // namespace orvela
