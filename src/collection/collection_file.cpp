#include "collection/collection_file.h"

#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

#include "collection/table_error.h"
#include "common/codepage.h"

namespace orvela {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
constexpr int kAppendedState = 4;  // the row state of an appended row
// A width beyond this is no text field of ours; it would only make cutting moot.
constexpr std::size_t kMaxWidth = std::size_t{1} << 30;

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

[[noreturn]] void Reject(const std::string& why) { throw TableError("Not a collection file: " + why); }

// The encoding the text is in, decided before parsing: a byte order mark or a
// declared UTF-8 that the bytes live up to make it UTF-8, anything else is the
// code page. *start is set past the mark and the declaration.
bool DetectUtf8(std::string_view bytes, std::size_t* start) {
  bool utf8 = false;
  std::size_t pos = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    utf8 = true;
    pos = 3;
  }
  const std::string_view body = bytes.substr(pos);
  while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) >= 1 && static_cast<unsigned char>(bytes[pos]) <= 32)
    ++pos;
  if (pos >= bytes.size() || bytes[pos] != '<') Reject("it does not begin with '<'");
  if (bytes.substr(pos, 2) == "<?") {
    const std::size_t end = bytes.find("?>", pos + 2);
    if (end == std::string_view::npos) Reject("the XML declaration is not closed");
    const std::string_view decl = bytes.substr(pos, end - pos);
    const std::size_t enc = decl.find("encoding");
    if (!utf8 && enc != std::string_view::npos) {
      std::size_t i = enc + 8;
      while (i < decl.size() && (decl[i] == ' ' || decl[i] == '=' || decl[i] == '\t' || decl[i] == '\r' || decl[i] == '\n'))
        ++i;
      if (i < decl.size() && (decl[i] == '"' || decl[i] == '\'')) {
        const char quote = decl[i];
        const std::size_t close = decl.find(quote, i + 1);
        const std::string_view name =
            decl.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
        if (EqualsAsciiNoCase(name, "UTF-8") && IsWellFormedUtf8(body)) utf8 = true;
      }
    }
    pos = end + 2;
  }
  *start = pos;
  return utf8;
}

// pugixml hands every text out as UTF-8. A code-page file was parsed as Latin-1,
// so code points up to 255 are its bytes; above that (a character reference) and
// for real UTF-8 files the code page's own mapping applies.
void AppendCodePage(const char* utf8, bool fileIsUtf8, std::size_t limit, std::string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  std::size_t taken = 0;
  while (*p != 0 && taken < limit) {
    // Most text is ASCII: copy runs of it at once.
    const unsigned char* run = p;
    while (*p != 0 && *p < 0x80 && taken < limit) {
      ++p;
      ++taken;
    }
    out->append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
    if (*p == 0 || taken >= limit) break;
    char32_t cp;
    if ((*p & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
      cp = (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
      p += 2;
    } else if ((*p & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      cp = (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
      p += 3;
    } else if ((*p & 0xF8) == 0xF0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 && (p[3] & 0xC0) == 0x80) {
      cp = (char32_t{p[0] & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) | (char32_t{p[2] & 0x3Fu} << 6) |
           (p[3] & 0x3Fu);
      p += 4;
    } else {
      cp = U'?';
      ++p;
    }
    out->push_back(!fileIsUtf8 && cp <= 0xFF ? static_cast<char>(cp) : CodePointToCp1252(cp));
    ++taken;
  }
}

// Field of an attribute name: the exact spelling first, as every file we write has it.
int FieldOfAttribute(const char* name) {
  int f = -1;
  switch (name[0]) {
    case 'I': f = TCollectionTable::Interpret; break;
    case 'T': f = TCollectionTable::Titel; break;
    case 'P': f = TCollectionTable::Pfad; break;
    case 'G': f = TCollectionTable::Genre; break;
    case 'J': f = TCollectionTable::Jahr; break;
    case 'D': f = TCollectionTable::Dauer; break;
    default: break;
  }
  if (f >= 0 && std::strcmp(name, TCollectionTable::FieldNames()[f]) == 0) return f;
  return TCollectionTable::FieldIndexOf(name);
}

std::size_t ParseWidth(const char* text) {
  const std::string_view s(text);
  std::size_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value == 0 || value > kMaxWidth)
    Reject("a field width is not a positive number: '" + std::string(s) + "'");
  return value;
}

// Field widths from METADATA/FIELDS: exactly our six names, each once, all strings.
TCollectionTable::Widths ReadFields(const pugi::xml_node& fields) {
  TCollectionTable::Widths widths{};
  std::array<bool, TCollectionTable::kFieldCount> seen{};
  for (const pugi::xml_node& field : fields.children("FIELD")) {
    pugi::xml_attribute name = field.attribute("attrname");
    if (!name) name = field.attribute("tagname");
    if (!name) Reject("a FIELD has no name");
    const int index = TCollectionTable::FieldIndexOf(name.value());
    if (index < 0) Reject(std::string("unknown field '") + name.value() + "'");
    if (seen[index]) Reject(std::string("field '") + name.value() + "' is declared twice");
    if (std::strcmp(field.attribute("fieldtype").value(), "string") != 0)
      Reject(std::string("field '") + name.value() + "' is not of type string");
    const pugi::xml_attribute width = field.attribute("WIDTH");
    if (!width) Reject(std::string("field '") + name.value() + "' has no WIDTH");
    widths[index] = ParseWidth(width.value());
    seen[index] = true;
  }
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f)
    if (!seen[f]) Reject(std::string("field '") + TCollectionTable::FieldNames()[f] + "' is missing");
  return widths;
}

// Positions (1-based, storage order) the CHANGE_LOG marks as appended.
std::vector<std::size_t> ReadChangeLog(std::string_view log) {
  std::vector<std::size_t> numbers;
  std::size_t i = 0;
  while (i < log.size()) {
    if (static_cast<unsigned char>(log[i]) <= 0x20) {
      ++i;
      continue;
    }
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(log.data() + i, log.data() + log.size(), value);
    if (ec != std::errc()) Reject("CHANGE_LOG holds something other than numbers");
    numbers.push_back(value);
    i = static_cast<std::size_t>(end - log.data());
  }
  if (numbers.size() % 3 != 0) Reject("CHANGE_LOG is not a list of number triples");
  std::vector<std::size_t> appended;
  for (std::size_t k = 0; k < numbers.size(); k += 3)
    if (numbers[k + 2] & kAppendedState) appended.push_back(numbers[k]);
  return appended;
}

}  // namespace

std::string FormatCollectionFile(const TCollectionTable::Widths& widths, const TTableRows& rows) {
  const auto& names = TCollectionTable::FieldNames();
  std::string out;
  out.reserve(600 + rows.LiveCount() * 160);
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
  std::string log;
  std::size_t position = 0;
  for (std::uint32_t row = 0; row < rows.Size(); ++row) {
    if (!rows.Live(row)) continue;
    ++position;
    if (!rows.Appended(row)) continue;
    if (!log.empty()) log.push_back(' ');
    log.append(std::to_string(position));
    log.append(" 0 4");
  }
  if (!log.empty()) AppendAttribute("CHANGE_LOG", log, &out);
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
  }
  out.append("</ROWDATA></DATAPACKET>");
  return out;
}

void ParseCollectionFile(std::string_view bytes, TCollectionTable::Widths* widths, TTableRows* rows) {
  std::size_t start = 0;
  const bool utf8 = DetectUtf8(bytes, &start);
  const std::string_view xml = bytes.substr(start);

  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_minimal | pugi::parse_escapes | pugi::parse_fragment,
                      utf8 ? pugi::encoding_utf8 : pugi::encoding_latin1);
  if (!parsed)
    Reject(std::string("malformed XML (") + parsed.description() + " at byte " +
           std::to_string(static_cast<std::size_t>(parsed.offset) + start) + ")");

  pugi::xml_node packet = doc.first_child();
  while (packet && packet.type() != pugi::node_element) packet = packet.next_sibling();
  if (!packet) Reject("it holds no element");
  // The packet element may be left out: then METADATA and ROWDATA stand on their own.
  const pugi::xml_node container = std::strcmp(packet.name(), "DATAPACKET") == 0 ? packet : doc;
  const pugi::xml_node metadata = container.child("METADATA");
  if (!metadata) Reject("METADATA is missing");
  const pugi::xml_node fields = metadata.child("FIELDS");
  if (!fields) Reject("FIELDS is missing");
  const pugi::xml_node rowdata = container.child("ROWDATA");
  if (!rowdata) Reject("ROWDATA is missing");
  *widths = ReadFields(fields);

  rows->Clear();

  std::array<std::string, TCollectionTable::kFieldCount> values;
  TTableRows::Fields views;
  for (const pugi::xml_node& row : rowdata.children("ROW")) {
    for (auto& v : values) v.clear();
    bool appended = false;
    for (const pugi::xml_attribute& attr : row.attributes()) {
      const char* name = attr.name();
      if (name[0] == 'R' && std::strcmp(name, "RowState") == 0) {
        int state = 0;
        const std::string_view s(attr.value());
        std::from_chars(s.data(), s.data() + s.size(), state);
        appended = (state & kAppendedState) != 0;
        continue;
      }
      const int f = FieldOfAttribute(name);
      if (f < 0) continue;
      values[f].clear();
      AppendCodePage(attr.value(), utf8, (*widths)[f], &values[f]);
    }
    for (int f = 0; f < TCollectionTable::kFieldCount; ++f) views[f] = values[f];
    rows->Add(views, appended);
  }

  if (const pugi::xml_node params = metadata.child("PARAMS")) {
    if (const pugi::xml_attribute log = params.attribute("CHANGE_LOG")) {
      for (std::size_t position : ReadChangeLog(log.value()))
        if (position >= 1 && position <= rows->Size()) rows->SetAppended(static_cast<std::uint32_t>(position - 1));
    }
  }
}

}  // namespace orvela
