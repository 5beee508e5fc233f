// Reading the collection file in one pass from front to back: the XML goes
// through the pull scanner (xml_pull_scanner.h), which checks all of it, and of
// the packet only what the table needs is kept: the widths of the six fields,
// the rows' values (cut to their widths as they are read) and the change marks.
// Memory thus grows with the values, never with the markup.
#include <array>
#include <charconv>
#include <string>
#include <vector>

#include "collection/collection_file.h"
#include "collection/table_error.h"
#include "collection/xml_pull_scanner.h"
#include "common/byte_reader.h"
#include "common/codepage.h"

namespace orvela {
namespace {

constexpr int kAppendedState = 4;  // the row state of an appended row
// A width beyond this is no text field of ours; it would only make cutting moot.
constexpr std::size_t kMaxWidth = std::size_t{1} << 30;
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

[[noreturn]] void Reject(const std::string& why) { throw TableError("Not a collection file: " + why); }

// Where a buffer of UTF-8 may be cut without splitting a sequence: before a lead
// byte near the end whose sequence is not complete yet.
std::size_t SequenceBoundary(std::string_view bytes) {
  for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? bytes.size() - back : bytes.size();
  }
  return bytes.size();
}

bool RestIsWellFormedUtf8(TByteReader& in) {
  std::size_t need = 1;
  for (;;) {
    const std::string_view window = in.Window(need);
    if (window.size() < need) return window.empty() || IsWellFormedUtf8(window);
    const std::size_t cut = SequenceBoundary(window);
    if (cut == 0) {
      need = window.size() + 1;
      continue;
    }
    if (!IsWellFormedUtf8(window.substr(0, cut))) return false;
    in.Skip(cut);
    need = window.size() - cut + 1;
  }
}

// The encoding the text is in, decided before parsing: a byte order mark or a
// declared UTF-8 that the bytes live up to make it UTF-8, anything else is the
// code page. Leaves the reader behind the mark, leading blanks and the declaration.
bool DetectUtf8(TByteReader& in) {
  bool utf8 = false;
  if (in.Window(3).substr(0, 3) == "\xEF\xBB\xBF") {
    utf8 = true;
    in.Skip(3);
  }
  const std::uint64_t body = in.Offset();
  int c;
  while ((c = in.Peek()) >= 1 && c <= 32) in.Get();
  if (c != '<') Reject("it does not begin with '<'");
  if (in.Window(2).substr(0, 2) != "<?") return utf8;

  in.Skip(2);
  std::string declaration = "<?";
  for (;;) {
    c = in.Get();
    if (c == TByteReader::kEnd) Reject("the XML declaration is not closed");
    if (c == '?' && in.Peek() == '>') {
      in.Get();
      break;
    }
    declaration.push_back(static_cast<char>(c));
  }
  const std::uint64_t afterDeclaration = in.Offset();
  const std::size_t enc = declaration.find("encoding");
  if (!utf8 && enc != std::string::npos) {
    std::size_t i = enc + 8;
    while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '=' || declaration[i] == '\t' ||
                                      declaration[i] == '\r' || declaration[i] == '\n'))
      ++i;
    if (i < declaration.size() && (declaration[i] == '"' || declaration[i] == '\'')) {
      const std::size_t close = declaration.find(declaration[i], i + 1);
      const std::string_view name = std::string_view(declaration).substr(
          i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
      if (EqualsAsciiNoCase(name, "UTF-8")) {
        if (!in.Seek(body)) throw TableError("Cannot read the collection file again");
        utf8 = RestIsWellFormedUtf8(in);
        if (!in.Seek(afterDeclaration)) throw TableError("Cannot read the collection file again");
      }
    }
  }
  return utf8;
}

int FieldOfAttribute(std::string_view name) {
  // The exact spelling first, as every file we write has it.
  static constexpr std::string_view kExact[TCollectionTable::kFieldCount] = {"Interpret", "Titel", "Pfad",
                                                                             "Genre",     "Jahr",  "Dauer"};
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f)
    if (name == kExact[f]) return f;
  return TCollectionTable::FieldIndexOf(name);
}

std::size_t ParseWidth(std::string_view s) {
  std::size_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value == 0 || value > kMaxWidth)
    Reject("a field width is not a positive number: '" + std::string(s) + "'");
  return value;
}

// Positions (1-based, storage order) the CHANGE_LOG marks as appended.
std::vector<std::uint32_t> ReadChangeLog(std::string_view log) {
  std::vector<std::uint32_t> appended;
  std::size_t i = 0;
  int inTriple = 0;
  std::size_t position = 0;
  while (i < log.size()) {
    if (static_cast<unsigned char>(log[i]) <= 0x20) {
      ++i;
      continue;
    }
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(log.data() + i, log.data() + log.size(), value);
    if (ec != std::errc()) Reject("CHANGE_LOG holds something other than numbers");
    if (inTriple == 0) position = value;
    if (inTriple == 2 && (value & kAppendedState) && position <= UINT32_MAX)
      appended.push_back(static_cast<std::uint32_t>(position));
    inTriple = (inTriple + 1) % 3;
    i = static_cast<std::size_t>(end - log.data());
  }
  if (inTriple != 0) Reject("CHANGE_LOG is not a list of number triples");
  return appended;
}

// The parts of the packet the reader keeps an eye on; everything else is only checked.
enum class Role { Other, Packet, Metadata, Fields, Field, Params, Rowdata, Row };

class TPacketReader {
 public:
  TPacketReader(TXmlPullScanner& xml, TCollectionTable::Widths* widths, TTableRows* rows)
      : xml_(xml), widths_(widths), rows_(rows) {}

  void Run();

 private:
  Role RoleOf(std::string_view name, std::size_t level);
  void Begin(Role role, std::size_t level);
  void Attribute(Role role);
  void EndOfStartTag(Role role);
  void Close(std::size_t level);
  void FinishFields();

  TXmlPullScanner& xml_;
  TCollectionTable::Widths* widths_;
  TTableRows* rows_;

  bool anyElement_ = false;
  bool packetIsContainer_ = false;  // the first element is DATAPACKET
  bool packetOpen_ = false;
  bool metadataSeen_ = false, metadataOpen_ = false;
  bool fieldsSeen_ = false, fieldsOpen_ = false;
  bool paramsSeen_ = false;
  bool changeLogSeen_ = false;
  bool rowdataSeen_ = false, rowdataOpen_ = false;
  std::size_t metadataLevel_ = 0, fieldsLevel_ = 0, rowdataLevel_ = 0;

  // The widths as FIELDS declares them; rows read before they are known are cut later.
  TCollectionTable::Widths widths{};
  std::array<bool, TCollectionTable::kFieldCount> fieldSeen_{};
  bool widthsKnown_ = false;
  bool cutLater_ = false;
  std::vector<std::uint32_t> changeLog_;

  // The FIELD element being read: its first attrname, tagname, fieldtype and WIDTH.
  std::array<std::string, 4> fieldAttributes_;
  std::array<bool, 4> fieldHas_{};
  // The ROW element being read.
  std::array<std::string, TCollectionTable::kFieldCount> values_;
  bool appended_ = false;
};

void TPacketReader::Run() {
  Role role = Role::Other;  // of the element whose start tag is being read
  for (;;) {
    switch (xml_.Next()) {
      case TXmlPullScanner::Token::StartTag:
        role = RoleOf(xml_.Name(), xml_.Level());
        Begin(role, xml_.Level());
        break;
      case TXmlPullScanner::Token::Attribute: Attribute(role); break;
      case TXmlPullScanner::Token::StartTagEnd: EndOfStartTag(role); break;
      case TXmlPullScanner::Token::EndTag: Close(xml_.Level()); break;
      case TXmlPullScanner::Token::End: {
        if (!anyElement_) Reject("it holds no element");
        if (!metadataSeen_) Reject("METADATA is missing");
        if (!fieldsSeen_) Reject("FIELDS is missing");
        if (!rowdataSeen_) Reject("ROWDATA is missing");
        if (cutLater_) rows_->CutTo(widths);
        *widths_ = widths;
        for (const std::uint32_t position : changeLog_)
          if (position >= 1 && position <= rows_->Size()) rows_->SetAppended(position - 1);
        return;
      }
    }
  }
}

Role TPacketReader::RoleOf(std::string_view name, std::size_t level) {
  if (!anyElement_) {
    anyElement_ = true;
    // The packet element may be left out: then METADATA and ROWDATA stand on their own.
    if (name == "DATAPACKET") {
      packetIsContainer_ = true;
      return Role::Packet;
    }
  }
  const bool inContainer = packetIsContainer_ ? level == 1 && packetOpen_ : level == 0;
  if (inContainer) {
    if (name == "METADATA" && !metadataSeen_) return Role::Metadata;
    if (name == "ROWDATA" && !rowdataSeen_) return Role::Rowdata;
    return Role::Other;
  }
  if (metadataOpen_ && level == metadataLevel_ + 1) {
    if (name == "FIELDS" && !fieldsSeen_) return Role::Fields;
    if (name == "PARAMS" && !paramsSeen_) return Role::Params;
  }
  if (fieldsOpen_ && level == fieldsLevel_ + 1 && name == "FIELD") return Role::Field;
  if (rowdataOpen_ && level == rowdataLevel_ + 1 && name == "ROW") return Role::Row;
  return Role::Other;
}

void TPacketReader::Begin(Role role, std::size_t level) {
  switch (role) {
    case Role::Packet: packetOpen_ = true; break;
    case Role::Metadata:
      metadataSeen_ = metadataOpen_ = true;
      metadataLevel_ = level;
      break;
    case Role::Fields:
      fieldsSeen_ = fieldsOpen_ = true;
      fieldsLevel_ = level;
      break;
    case Role::Params: paramsSeen_ = true; break;
    case Role::Rowdata:
      rowdataSeen_ = rowdataOpen_ = true;
      rowdataLevel_ = level;
      break;
    case Role::Field:
      for (auto& a : fieldAttributes_) a.clear();
      fieldHas_ = {};
      break;
    case Role::Row:
      for (auto& v : values_) v.clear();
      appended_ = false;
      break;
    case Role::Other: break;
  }
}

void TPacketReader::Attribute(Role role) {
  const std::string_view name = xml_.Name();
  switch (role) {
    case Role::Row: {
      if (name == std::string_view("RowState")) {
        std::string state;
        xml_.ReadValue(&state);
        int value = 0;
        std::from_chars(state.data(), state.data() + state.size(), value);
        appended_ = (value & kAppendedState) != 0;
        return;
      }
      const int f = FieldOfAttribute(name);
      if (f < 0) return;
      values_[f].clear();
      xml_.ReadValue(&values_[f], widthsKnown_ ? widths[f] : kUnlimited);
      return;
    }
    case Role::Field: {
      static constexpr const char* kNames[] = {"attrname", "tagname", "fieldtype", "WIDTH"};
      for (int k = 0; k < 4; ++k) {
        if (name == kNames[k] && !fieldHas_[k]) {
          fieldHas_[k] = true;
          xml_.ReadValue(&fieldAttributes_[k]);
          return;
        }
      }
      return;
    }
    case Role::Params:
      if (name == "CHANGE_LOG" && !changeLogSeen_) {
        changeLogSeen_ = true;
        std::string log;
        xml_.ReadValue(&log);
        changeLog_ = ReadChangeLog(log);
      }
      return;
    default:
      return;  // the scanner skips the value
  }
}

void TPacketReader::EndOfStartTag(Role role) {
  if (role == Role::Row) {
    TTableRows::Fields views;
    for (int f = 0; f < TCollectionTable::kFieldCount; ++f) views[f] = values_[f];
    if (!widthsKnown_) cutLater_ = true;
    rows_->Add(views, appended_);
    return;
  }
  if (role != Role::Field) return;
  // Exactly our six names, each once, all strings with a positive width.
  const bool hasName = fieldHas_[0] || fieldHas_[1];
  if (!hasName) Reject("a FIELD has no name");
  const std::string& name = fieldHas_[0] ? fieldAttributes_[0] : fieldAttributes_[1];
  const int index = TCollectionTable::FieldIndexOf(name);
  if (index < 0) Reject("unknown field '" + name + "'");
  if (fieldSeen_[index]) Reject("field '" + name + "' is declared twice");
  if (fieldAttributes_[2] != "string") Reject("field '" + name + "' is not of type string");
  if (!fieldHas_[3]) Reject("field '" + name + "' has no WIDTH");
  widths[index] = ParseWidth(fieldAttributes_[3]);
  fieldSeen_[index] = true;
}

void TPacketReader::Close(std::size_t level) {
  if (packetOpen_ && level == 0) packetOpen_ = false;
  if (metadataOpen_ && level == metadataLevel_) metadataOpen_ = false;
  if (rowdataOpen_ && level == rowdataLevel_) rowdataOpen_ = false;
  if (fieldsOpen_ && level == fieldsLevel_) {
    fieldsOpen_ = false;
    FinishFields();
  }
}

void TPacketReader::FinishFields() {
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f)
    if (!fieldSeen_[f]) Reject(std::string("field '") + TCollectionTable::FieldNames()[f] + "' is missing");
  widthsKnown_ = true;
}

void ReadPacket(TByteReader& in, TCollectionTable::Widths* widths, TTableRows* rows) {
  rows->Clear();
  TXmlPullScanner xml(in, DetectUtf8(in));
  TPacketReader(xml, widths, rows).Run();
}

}  // namespace

void ParseCollectionFile(std::string_view bytes, TCollectionTable::Widths* widths, TTableRows* rows) {
  TByteReader in(bytes);
  ReadPacket(in, widths, rows);
}

void ReadCollectionFile(int fd, TCollectionTable::Widths* widths, TTableRows* rows, std::size_t blockSize) {
  TByteReader in(fd, blockSize);
  ReadPacket(in, widths, rows);
}

}  // namespace orvela
