// Reading the collection file in one pass from front to back.
//
// The file is XML, and it is checked as such: every tag of the whole file must be
// well formed and every element closed, whatever the reader needs of it. The
// reader follows the rules of the XML library the collection was first read with
// (pugixml, with escapes decoded and nothing else converted), so files accepted
// and refused before are accepted and refused now:
// - names begin with a letter, '_', ':' or a byte above 127 and go on with those,
//   digits, '-' and '.'; attributes need blanks between them; '<' is allowed in a
//   value; comments, processing instructions, CDATA sections and (outside all
//   elements) a DOCTYPE are skipped; text may stand outside the elements;
// - the five named escapes and decimal or "x" hexadecimal character references
//   are decoded; any other '&' stays as it stands.
// Two points differ on purpose: a NUL byte, raw or as "&#0;", is a character of a
// value like every other control character (the writer writes it raw, as it
// writes all of them), and outside all elements a NUL ends the document, which
// keeps a file readable whose tail was zero-filled by a crash.
//
// Of the packet, only what the table needs is kept: the widths of the six fields,
// the rows' values (cut to their widths as they are read) and the change marks.
// Memory thus grows with the values, never with the markup.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "collection/collection_file.h"
#include "collection/table_error.h"
#include "common/byte_reader.h"
#include "common/codepage.h"

namespace orvela {
namespace {

constexpr int kEnd = TByteReader::kEnd;
constexpr int kAppendedState = 4;  // the row state of an appended row
// A width beyond this is no text field of ours; it would only make cutting moot.
constexpr std::size_t kMaxWidth = std::size_t{1} << 30;
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

[[noreturn]] void Reject(const std::string& why) { throw TableError("Not a collection file: " + why); }

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(int c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool IsContinuation(int c) { return c >= 0 && (c & 0xC0) == 0x80; }

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
    if (c == kEnd) Reject("the XML declaration is not closed");
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
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f)
    if (name == TCollectionTable::FieldNames()[f]) return f;
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
  TPacketReader(TByteReader& in, bool utf8, TCollectionTable::Widths* widths, TTableRows* rows)
      : in_(in), utf8_(utf8), widths_(widths), rows_(rows) {}

  void Run();

 private:
  [[noreturn]] void Malformed(const std::string& what) const {
    Reject("malformed XML (" + what + " at byte " + std::to_string(in_.Offset()) + ")");
  }

  void Tag();
  void StartTag();
  void EndTag();
  void Attribute(Role role);
  void ProcessingInstruction();
  void Exclamation();
  void Doctype();
  void DoctypeQuoted();
  void DoctypeIgnoreSection();
  void SkipUntil(std::string_view terminator, const char* what);

  Role RoleOf(std::string_view name, std::size_t level);
  void Begin(Role role, std::size_t level);
  void EndOfStartTag(Role role);
  void Close(std::size_t level);
  void FinishFields();

  void ReadName(std::string* name);
  void SkipSpaces() {
    while (IsSpace(in_.Peek())) in_.Get();
  }
  bool SkipText();
  void SkipValue(int quote);
  void ReadValue(int quote, std::string* out, std::size_t limit);
  void Escape(std::string* out, std::size_t limit);
  void PutByte(std::string* out, std::size_t limit, int byte) {
    if (out->size() < limit) out->push_back(static_cast<char>(byte));
  }
  void PutCodePoint(std::string* out, std::size_t limit, std::uint32_t cp) {
    // A code-page file is taken as Latin-1, so references up to 255 are its bytes.
    const bool byteItself = utf8_ ? cp < 0x80 : cp <= 0xFF;
    PutByte(out, limit, byteItself ? static_cast<int>(cp) : static_cast<unsigned char>(CodePointToCp1252(cp)));
  }

  TByteReader& in_;
  const bool utf8_;
  TCollectionTable::Widths* widths_;
  TTableRows* rows_;

  std::string open_;  // names of the open elements, each followed by a 0 byte
  std::size_t depth_ = 0;
  bool textBefore_ = false;  // text with more than blanks came right before this '<'
  std::string name_;
  std::string attribute_;

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
  for (;;) {
    const int c = in_.Get();
    if (c == kEnd) break;
    if (c == '<') {
      Tag();
      textBefore_ = false;
    } else if (c == 0) {
      if (depth_ == 0) break;
      Malformed("a NUL byte in the text");
    } else {
      textBefore_ = SkipText() || !IsSpace(c);
    }
  }
  if (in_.Failed()) throw TableError("Cannot read the collection file to its end");
  if (depth_ != 0) Malformed("an element is not closed");
  if (!anyElement_) Reject("it holds no element");
  if (!metadataSeen_) Reject("METADATA is missing");
  if (!fieldsSeen_) Reject("FIELDS is missing");
  if (!rowdataSeen_) Reject("ROWDATA is missing");
  if (cutLater_) rows_->CutTo(widths);
  *widths_ = widths;
  for (const std::uint32_t position : changeLog_)
    if (position >= 1 && position <= rows_->Size()) rows_->SetAppended(position - 1);
}

// Text between tags; true when it holds more than blanks.
bool TPacketReader::SkipText() {
  bool content = false;
  for (;;) {
    const std::string_view window = in_.Window(1);
    if (window.empty()) return content;
    std::size_t i = 0;
    for (; i < window.size() && window[i] != '<' && window[i] != '\0'; ++i)
      content = content || !IsSpace(static_cast<unsigned char>(window[i]));
    in_.Skip(i);
    if (i < window.size()) return content;
  }
}

void TPacketReader::Tag() {
  const int c = in_.Peek();
  // A stray '<' as the file's last byte, straight after text outside all elements,
  // has always been let pass.
  if (c == kEnd && depth_ == 0 && textBefore_) return;
  if (IsNameStart(c)) {
    StartTag();
  } else if (c == '/') {
    in_.Get();
    EndTag();
  } else if (c == '?') {
    in_.Get();
    ProcessingInstruction();
  } else if (c == '!') {
    in_.Get();
    Exclamation();
  } else {
    Malformed("an unrecognized tag");
  }
}

void TPacketReader::ReadName(std::string* name) {
  name->clear();
  for (;;) {
    const std::string_view window = in_.Window(1);
    std::size_t i = 0;
    while (i < window.size() && IsNameChar(static_cast<unsigned char>(window[i]))) ++i;
    name->append(window.substr(0, i));
    in_.Skip(i);
    if (i < window.size() || window.empty()) return;
  }
}

void TPacketReader::StartTag() {
  ReadName(&name_);
  const std::size_t level = depth_;
  const Role role = RoleOf(name_, level);
  open_.append(name_);
  open_.push_back('\0');
  ++depth_;
  Begin(role, level);

  bool empty = false;
  const int c = in_.Get();
  if (c == '/') {
    if (in_.Get() != '>') Malformed("a bad start tag");
    empty = true;
  } else if (IsSpace(c)) {
    for (;;) {
      SkipSpaces();
      const int next = in_.Peek();
      if (IsNameStart(next)) {
        Attribute(role);
      } else if (next == '/') {
        in_.Get();
        if (in_.Get() != '>') Malformed("a bad start tag");
        empty = true;
        break;
      } else if (next == '>') {
        in_.Get();
        break;
      } else {
        Malformed("a bad start tag");
      }
    }
  } else if (c != '>') {
    Malformed("a bad start tag");
  }
  EndOfStartTag(role);
  if (empty) {
    open_.resize(open_.size() - name_.size() - 1);
    --depth_;
    Close(level);
  }
}

void TPacketReader::EndTag() {
  if (depth_ == 0) Malformed("an end tag without a start tag");
  const std::size_t before = open_.rfind('\0', open_.size() - 2);
  const std::size_t nameStart = before == std::string::npos ? 0 : before + 1;
  const std::string_view open = std::string_view(open_).substr(nameStart, open_.size() - 1 - nameStart);
  std::size_t matched = 0;
  for (int c; IsNameChar(c = in_.Peek()); ++matched) {
    if (matched >= open.size() || static_cast<unsigned char>(open[matched]) != c)
      Malformed("an end tag that does not match its start tag");
    in_.Get();
  }
  if (matched != open.size()) Malformed("an end tag that does not match its start tag");
  open_.resize(nameStart);
  --depth_;
  SkipSpaces();
  if (in_.Get() != '>') Malformed("a bad end tag");
  Close(depth_);
}

void TPacketReader::Attribute(Role role) {
  ReadName(&attribute_);
  int c = in_.Get();
  if (IsSpace(c)) {
    SkipSpaces();
    c = in_.Get();
  }
  if (c != '=') Malformed("an attribute without a value");
  SkipSpaces();
  const int quote = in_.Get();
  if (quote != '"' && quote != '\'') Malformed("an attribute value without quotes");

  switch (role) {
    case Role::Row: {
      if (attribute_ == "RowState") {
        std::string state;
        ReadValue(quote, &state, kUnlimited);
        int value = 0;
        std::from_chars(state.data(), state.data() + state.size(), value);
        appended_ = (value & kAppendedState) != 0;
        break;
      }
      const int f = FieldOfAttribute(attribute_);
      if (f < 0) {
        SkipValue(quote);
        break;
      }
      values_[f].clear();
      ReadValue(quote, &values_[f], widthsKnown_ ? widths[f] : kUnlimited);
      break;
    }
    case Role::Field: {
      static constexpr const char* kNames[] = {"attrname", "tagname", "fieldtype", "WIDTH"};
      int which = -1;
      for (int k = 0; k < 4; ++k)
        if (attribute_ == kNames[k] && !fieldHas_[k]) which = k;
      if (which < 0) {
        SkipValue(quote);
        break;
      }
      fieldHas_[which] = true;
      ReadValue(quote, &fieldAttributes_[which], kUnlimited);
      break;
    }
    case Role::Params:
      if (attribute_ == "CHANGE_LOG" && !changeLogSeen_) {
        changeLogSeen_ = true;
        std::string log;
        ReadValue(quote, &log, kUnlimited);
        changeLog_ = ReadChangeLog(log);
        break;
      }
      SkipValue(quote);
      break;
    default:
      SkipValue(quote);
      break;
  }
  if (IsNameStart(in_.Peek())) Malformed("attributes without a blank between them");
}

void TPacketReader::SkipValue(int quote) {
  for (;;) {
    const std::string_view window = in_.Window(1);
    if (window.empty()) Malformed("an attribute value that is not closed");
    const void* hit = std::memchr(window.data(), quote, window.size());
    if (hit != nullptr) {
      in_.Skip(static_cast<std::size_t>(static_cast<const char*>(hit) - window.data()) + 1);
      return;
    }
    in_.Skip(window.size());
  }
}

void TPacketReader::ReadValue(int quote, std::string* out, std::size_t limit) {
  for (;;) {
    // Runs of plain bytes go in one piece.
    const std::string_view window = in_.Window(1);
    std::size_t plain = 0;
    while (plain < window.size()) {
      const auto b = static_cast<unsigned char>(window[plain]);
      if (b == quote || b == '&' || (utf8_ && b >= 0x80)) break;
      ++plain;
    }
    if (out->size() < limit) out->append(window.substr(0, std::min(plain, limit - out->size())));
    in_.Skip(plain);
    const int c = in_.Get();
    if (c == kEnd) Malformed("an attribute value that is not closed");
    if (c == quote) return;
    if (c == '&') {
      Escape(out, limit);
    } else if (c < 0x80 || !utf8_) {
      PutByte(out, limit, c);
    } else {
      // A UTF-8 sequence; a broken one counts as one unknown character per byte.
      const std::string_view next = in_.Window(3);
      const auto at = [&next](std::size_t i) { return i < next.size() ? static_cast<unsigned char>(next[i]) : kEnd; };
      std::uint32_t cp = '?';
      std::size_t more = 0;
      if ((c & 0xE0) == 0xC0 && IsContinuation(at(0))) {
        cp = ((c & 0x1Fu) << 6) | (at(0) & 0x3Fu);
        more = 1;
      } else if ((c & 0xF0) == 0xE0 && IsContinuation(at(0)) && IsContinuation(at(1))) {
        cp = ((c & 0x0Fu) << 12) | ((at(0) & 0x3Fu) << 6) | (at(1) & 0x3Fu);
        more = 2;
      } else if ((c & 0xF8) == 0xF0 && IsContinuation(at(0)) && IsContinuation(at(1)) && IsContinuation(at(2))) {
        cp = ((c & 0x07u) << 18) | ((at(0) & 0x3Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu);
        more = 3;
      }
      in_.Skip(more);
      PutByte(out, limit, more == 0 ? '?' : static_cast<unsigned char>(CodePointToCp1252(cp)));
    }
  }
}

// After an '&': one of the five named escapes or a character reference is decoded;
// anything else stays as it stands, and the byte that ended the attempt is read on
// as part of the value.
void TPacketReader::Escape(std::string* out, std::size_t limit) {
  std::string seen = "&";
  const auto literal = [&] {
    for (const char ch : seen) PutByte(out, limit, static_cast<unsigned char>(ch));
  };
  if (in_.Peek() == '#') {
    seen.push_back(static_cast<char>(in_.Get()));
    const bool hex = in_.Peek() == 'x';
    if (hex) seen.push_back(static_cast<char>(in_.Get()));
    std::uint32_t cp = 0;
    bool digits = false;
    for (;;) {
      const int c = in_.Peek();
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit >= 0) {
        seen.push_back(static_cast<char>(in_.Get()));
        cp = cp * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
        if (cp > 0x10FFFF) cp = 0x110000;  // beyond Unicode: one unknown character
        digits = true;
        continue;
      }
      if (c == ';' && digits) {
        in_.Get();
        PutCodePoint(out, limit, cp);
        return;
      }
      literal();
      return;
    }
  }
  static constexpr std::string_view kNames[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
  static constexpr char kChars[] = {'<', '>', '&', '\'', '"'};
  for (;;) {
    const int c = in_.Peek();
    const std::string_view sofar = std::string_view(seen).substr(1);
    bool extends = false;
    for (std::size_t k = 0; k < std::size(kNames); ++k) {
      if (kNames[k].size() > sofar.size() && kNames[k].substr(0, sofar.size()) == sofar &&
          static_cast<unsigned char>(kNames[k][sofar.size()]) == c) {
        extends = true;
        if (kNames[k].size() == sofar.size() + 1) {
          in_.Get();
          PutByte(out, limit, static_cast<unsigned char>(kChars[k]));
          return;
        }
      }
    }
    if (!extends) {
      literal();
      return;
    }
    seen.push_back(static_cast<char>(in_.Get()));
  }
}

void TPacketReader::SkipUntil(std::string_view terminator, const char* what) {
  for (;;) {
    const int c = in_.Get();
    if (c == kEnd || c == 0) Malformed(std::string(what) + " that is not closed");
    if (c == static_cast<unsigned char>(terminator[0]) &&
        in_.Window(terminator.size() - 1).substr(0, terminator.size() - 1) == terminator.substr(1)) {
      in_.Skip(terminator.size() - 1);
      return;
    }
  }
}

void TPacketReader::ProcessingInstruction() {
  if (!IsNameStart(in_.Peek())) Malformed("a bad processing instruction");
  ReadName(&name_);
  if (in_.Peek() == kEnd) Malformed("a processing instruction that is not closed");
  SkipUntil("?>", "a processing instruction");
}

void TPacketReader::Exclamation() {
  const std::string_view ahead = in_.Window(7);
  if (ahead.substr(0, 2) == "--") {
    in_.Skip(2);
    SkipUntil("-->", "a comment");
  } else if (!ahead.empty() && ahead[0] == '-') {
    Malformed("a bad comment");
  } else if (ahead.substr(0, 7) == "[CDATA[") {
    in_.Skip(7);
    SkipUntil("]]>", "a CDATA section");
  } else if (!ahead.empty() && ahead[0] == '[') {
    Malformed("a bad CDATA section");
  } else if (ahead.substr(0, 7) == "DOCTYPE") {
    if (depth_ != 0) Malformed("a DOCTYPE inside an element");
    in_.Skip(7);
    Doctype();
  } else {
    Malformed("an unrecognized tag");
  }
}

// A DOCTYPE is skipped as a whole: nested declarations, quoted strings, comments,
// processing instructions and ignored sections, up to its own '>'.
void TPacketReader::Doctype() {
  std::size_t nesting = 0;
  for (;;) {
    const std::string_view ahead = in_.Window(3);
    if (ahead.empty()) Malformed("a DOCTYPE that is not closed");
    const char c = ahead[0];
    if (ahead.substr(0, 2) == "<!" && (ahead.size() < 3 || ahead[2] != '-')) {
      if (ahead.size() >= 3 && ahead[2] == '[') {
        DoctypeIgnoreSection();
      } else {
        in_.Skip(2);
        ++nesting;
      }
    } else if (c == '<' || c == '"' || c == '\'') {
      DoctypeQuoted();
    } else if (c == '>') {
      in_.Get();
      if (nesting == 0) return;
      --nesting;
    } else if (c == '\0') {
      Malformed("a NUL byte in a DOCTYPE");
    } else {
      in_.Get();
    }
  }
}

void TPacketReader::DoctypeQuoted() {
  const std::string_view ahead = in_.Window(4);
  if (ahead[0] == '"' || ahead[0] == '\'') {
    const int quote = in_.Get();
    for (int c; (c = in_.Get()) != quote;)
      if (c == kEnd || c == 0) Malformed("a DOCTYPE string that is not closed");
  } else if (ahead.substr(0, 2) == "<?") {
    in_.Skip(2);
    SkipUntil("?>", "a processing instruction");
  } else if (ahead.substr(0, 4) == "<!--") {
    in_.Skip(4);
    SkipUntil("-->", "a comment");
  } else {
    Malformed("a bad DOCTYPE");
  }
}

void TPacketReader::DoctypeIgnoreSection() {
  in_.Skip(3);
  std::size_t nesting = 0;
  for (;;) {
    const std::string_view ahead = in_.Window(3);
    if (ahead.empty() || ahead[0] == '\0') Malformed("an ignored section that is not closed");
    if (ahead.substr(0, 3) == "<![") {
      in_.Skip(3);
      ++nesting;
    } else if (ahead.substr(0, 3) == "]]>") {
      in_.Skip(3);
      if (nesting == 0) return;
      --nesting;
    } else {
      in_.Get();
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
  const bool utf8 = DetectUtf8(in);
  TPacketReader(in, utf8, widths, rows).Run();
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
