#include "collection/collection_file.h"

#include <string>

namespace orvela {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
// The writer hands its bytes on in pieces of about this size, so saving a large
// collection never holds the whole file in memory.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

void AppendEscaped(std::string_view value, std::string* out) {
  for (char c : value) {
    switch (c) {
      case '<': out->append("&lt;"); break;
      case '>': out->append("&gt;"); break;
      case '&': out->append("&amp;"); break;
      case '\'': out->append("&apos;"); break;
      case '"': out->append("&quot;"); break;
      case '\r': out->append("&#013;"); break;
      case '\n': out->append("&#010;"); break;
      case '\t': out->append("&#009;"); break;
      case '\\': out->append("&#092;"); break;
      default: out->push_back(c);
    }
  }
}

void AppendAttribute(std::string_view name, std::string_view value, std::string* out) {
  out->push_back(' ');
  out->append(name);
  out->append("=\"");
  AppendEscaped(value, out);
  out->push_back('"');
}

}  // namespace

void WriteCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows,
                         const std::function<void(std::string_view)>& sink) {
  const auto& names = TCollectionTable::FieldNames();
  std::string out;
  out.reserve(kPieceBytes + 4096);
  const auto flushIfFull = [&] {
    if (out.size() >= kPieceBytes) {
      sink(out);
      out.clear();
    }
  };

  out.append(kDeclaration);
  out.append("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f) {
    out.append("<FIELD");
    AppendAttribute("attrname", names[f], &out);
    AppendAttribute("fieldtype", "string", &out);
    AppendAttribute("WIDTH", std::to_string(widths[f]), &out);
    out.append("/>");
  }
  out.append("</FIELDS><PARAMS");
  // The change list is written as it goes rather than gathered first: a collection
  // built in one go marks every row.
  bool anyAppended = false;
  std::size_t position = 0;
  for (std::uint32_t row = 0; row < rows.Size(); ++row) {
    if (!rows.Live(row)) continue;
    ++position;
    if (!rows.Appended(row)) continue;
    out.append(anyAppended ? " " : " CHANGE_LOG=\"");
    anyAppended = true;
    out.append(std::to_string(position));
    out.append(" 0 4");
    flushIfFull();
  }
  if (anyAppended) out.push_back('"');
  out.append("/></METADATA><ROWDATA>");
  for (std::uint32_t row = 0; row < rows.Size(); ++row) {
    if (!rows.Live(row)) continue;
    out.append("<ROW");
    if (rows.Appended(row)) out.append(" RowState=\"4\"");
    for (int f = 0; f < TCollectionTable::kFieldCount; ++f) {
      const std::string_view value = rows.Field(row, f);
      if (!value.empty()) AppendAttribute(names[f], value, &out);
    }
    out.append("/>");
    flushIfFull();
  }
  out.append("</ROWDATA></DATAPACKET>");
  sink(out);
}

std::string FormatCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows) {
  std::string file;
  WriteCollectionFile(widths, rows, [&file](std::string_view piece) { file.append(piece); });
  return file;
}

}  // namespace orvela
