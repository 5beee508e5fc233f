#include "collection/xml_pull_scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "collection/table_error.h"
#include "common/codepage.h"

namespace orvela {
namespace {

constexpr int kEnd = TByteReader::kEnd;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
constexpr bool IsNameStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
constexpr bool IsNameChar(int c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// Names are read a byte at a time over the whole file: one look-up per byte.
constexpr std::array<bool, 256> kNameChars = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = IsNameChar(c);
  return table;
}();
bool IsNameByte(char c) { return kNameChars[static_cast<unsigned char>(c)]; }

// The value of a decimal or hexadecimal digit, or -1.
int DigitValue(int c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
bool IsContinuation(int c) { return c >= 0 && (c & 0xC0) == 0x80; }

}  // namespace

void TXmlPullScanner::Malformed(const std::string& what) const {
  throw TableError("Not a collection file: malformed XML (" + what + " at byte " + std::to_string(in_.Offset()) + ")");
}

TXmlPullScanner::Token TXmlPullScanner::Next() {
  if (valuePending_) SkipValue();
  for (;;) {
    switch (state_) {
      case State::Done:
        return Token::End;
      case State::Content:
        return Content();
      case State::EmptyEnd:
        open_.resize(open_.rfind('\0', open_.size() - 2) + 1);  // npos + 1 == 0: the outermost
        --depth_;
        level_ = depth_;
        state_ = State::Content;
        return Token::EndTag;
      case State::AfterName: {
        // The name ends in a blank, the end of the tag, or the end of an empty tag.
        const int c = in_.Get();
        if (c == '>') {
          state_ = State::Content;
          return Token::StartTagEnd;
        }
        if (c == '/') {
          if (in_.Get() != '>') Malformed("a bad start tag");
          state_ = State::EmptyEnd;
          return Token::StartTagEnd;
        }
        if (!IsSpace(c)) Malformed("a bad start tag");
        state_ = State::Attributes;
        break;
      }
      case State::Attributes: {
        if (afterValue_ && IsNameStart(in_.Peek())) Malformed("attributes without a blank between them");
        afterValue_ = false;
        SkipSpaces();
        const int c = in_.Peek();
        if (IsNameStart(c)) {
          AttributeHead();
          return Token::Attribute;
        }
        in_.Get();
        if (c == '>') {
          state_ = State::Content;
          return Token::StartTagEnd;
        }
        if (c != '/' || in_.Get() != '>') Malformed("a bad start tag");
        state_ = State::EmptyEnd;
        return Token::StartTagEnd;
      }
    }
  }
}

TXmlPullScanner::Token TXmlPullScanner::Content() {
  for (;;) {
    const int c = in_.Get();
    if (c == kEnd) return Finish();
    if (c == 0) {
      if (depth_ == 0) return Finish();
      Malformed("a NUL byte in the text");
    }
    if (c != '<') {
      textBefore_ = SkipText() || !IsSpace(c);
      continue;
    }
    const int next = in_.Peek();
    // A stray '<' as the file's last byte, straight after text outside all elements,
    // has always been let pass.
    if (next == kEnd && depth_ == 0 && textBefore_) return Finish();
    textBefore_ = false;
    if (IsNameStart(next)) {
      ReadName(&name_);
      level_ = depth_;
      open_.append(name_);
      open_.push_back('\0');
      ++depth_;
      state_ = State::AfterName;
      return Token::StartTag;
    }
    in_.Get();
    if (next == '/') {
      EndTag();
      level_ = depth_;
      return Token::EndTag;
    }
    if (next == '?') {
      ProcessingInstruction();
    } else if (next == '!') {
      Exclamation();
    } else {
      Malformed("an unrecognized tag");
    }
  }
}

TXmlPullScanner::Token TXmlPullScanner::Finish() {
  if (in_.Failed()) throw TableError("Cannot read the file to its end");
  if (depth_ != 0) Malformed("an element is not closed");
  state_ = State::Done;
  return Token::End;
}

void TXmlPullScanner::SkipSpaces() {
  while (IsSpace(in_.Peek())) in_.Get();
}

void TXmlPullScanner::AttributeHead() {
  ReadName(&name_);
  int c = in_.Get();
  if (IsSpace(c)) {
    SkipSpaces();
    c = in_.Get();
  }
  if (c != '=') Malformed("an attribute without a value");
  SkipSpaces();
  quote_ = in_.Get();
  if (quote_ != '"' && quote_ != '\'') Malformed("an attribute value without quotes");
  valuePending_ = true;
  afterValue_ = true;
}

void TXmlPullScanner::PutCodePoint(std::string* out, std::size_t limit, std::uint32_t cp) {
  // A code-page file is taken as Latin-1, so references up to 255 are its bytes.
  const bool byteItself = utf8_ ? cp < 0x80 : cp <= 0xFF;
  PutByte(out, limit, byteItself ? static_cast<int>(cp) : static_cast<unsigned char>(CodePointToCp1252(cp)));
}

// Text between tags; true when it holds more than blanks.
bool TXmlPullScanner::SkipText() {
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

void TXmlPullScanner::ReadName(std::string* name) {
  name->clear();
  for (;;) {
    const std::string_view window = in_.Window(1);
    std::size_t i = 0;
    while (i < window.size() && IsNameByte(window[i])) ++i;
    name->append(window.substr(0, i));
    in_.Skip(i);
    if (i < window.size() || window.empty()) return;
  }
}

void TXmlPullScanner::EndTag() {
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
}

void TXmlPullScanner::SkipValue() {
  for (;;) {
    const std::string_view window = in_.Window(1);
    if (window.empty()) Malformed("an attribute value that is not closed");
    const void* hit = std::memchr(window.data(), quote_, window.size());
    if (hit != nullptr) {
      in_.Skip(static_cast<std::size_t>(static_cast<const char*>(hit) - window.data()) + 1);
      valuePending_ = false;
      return;
    }
    in_.Skip(window.size());
  }
}

void TXmlPullScanner::ReadValue(std::string* out, std::size_t limit) {
  if (!valuePending_) return;
  valuePending_ = false;
  const int quote = quote_;
  for (;;) {
    // Runs of plain bytes go in one piece.
    const std::string_view window = in_.Window(1);
    std::size_t plain = 0;
    if (utf8_) {
      while (plain < window.size()) {
        const auto b = static_cast<unsigned char>(window[plain]);
        if (b == quote || b == '&' || b >= 0x80) break;
        ++plain;
      }
    } else {
      // The closing quote bounds the search for an escape: two library searches.
      const void* end = std::memchr(window.data(), quote, window.size());
      plain = end == nullptr ? window.size() : static_cast<std::size_t>(static_cast<const char*>(end) - window.data());
      if (const void* amp = std::memchr(window.data(), '&', plain))
        plain = static_cast<std::size_t>(static_cast<const char*>(amp) - window.data());
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

// The common case of Escape: a complete escape or character reference within the
// buffered bytes, decoded without taking a byte at a time. False, with nothing
// taken, for anything else (an unknown or unfinished escape, the buffer's end).
bool TXmlPullScanner::WholeEscape(std::string* out, std::size_t limit) {
  // "&#x10FFFF;" is the longest reference whose digits have no leading zeros.
  const std::string_view ahead = in_.Window(10);
  if (!ahead.empty() && ahead[0] == '#') {
    const bool hex = ahead.size() > 1 && ahead[1] == 'x';
    std::size_t i = hex ? 2 : 1;
    std::uint32_t cp = 0;
    const std::size_t first = i;
    for (int digit; i < ahead.size() && (digit = DigitValue(static_cast<unsigned char>(ahead[i]), hex)) >= 0; ++i) {
      cp = cp * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
      if (cp > 0x10FFFF) return false;  // the long way saturates it
    }
    if (i == first || i == ahead.size() || ahead[i] != ';') return false;
    in_.Skip(i + 1);
    PutCodePoint(out, limit, cp);
    return true;
  }
  static constexpr std::string_view kNames[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
  static constexpr char kChars[] = {'<', '>', '&', '\'', '"'};
  for (std::size_t k = 0; k < std::size(kNames); ++k) {
    if (ahead.substr(0, kNames[k].size()) == kNames[k]) {
      in_.Skip(kNames[k].size());
      PutByte(out, limit, static_cast<unsigned char>(kChars[k]));
      return true;
    }
  }
  return false;
}

// After an '&': one of the five named escapes or a character reference is decoded;
// anything else stays as it stands, and the byte that ended the attempt is read on
// as part of the value.
void TXmlPullScanner::Escape(std::string* out, std::size_t limit) {
  if (WholeEscape(out, limit)) return;
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

void TXmlPullScanner::SkipUntil(std::string_view terminator, const char* what) {
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

void TXmlPullScanner::ProcessingInstruction() {
  if (!IsNameStart(in_.Peek())) Malformed("a bad processing instruction");
  ReadName(&name_);
  if (in_.Peek() == kEnd) Malformed("a processing instruction that is not closed");
  SkipUntil("?>", "a processing instruction");
}

void TXmlPullScanner::Exclamation() {
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
void TXmlPullScanner::Doctype() {
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

void TXmlPullScanner::DoctypeQuoted() {
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

void TXmlPullScanner::DoctypeIgnoreSection() {
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

}  // namespace orvela
