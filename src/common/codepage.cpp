#include "common/codepage.h"

#include <array>

namespace orvela {
namespace {

// 0x80..0x9F of Windows-1252; the undefined bytes keep their C1 value so that
// every byte survives a round trip through Unicode.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns U+FFFF... as
// kInvalid for anything that is not a well-formed shortest-form sequence.
constexpr char32_t kInvalid = 0xFFFFFFFF;

char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1; cp = b0 & 0x1F; min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2; cp = b0 & 0x0F; min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3; cp = b0 & 0x07; min = 0x10000;
  } else {
    ++i;
    return kInvalid;
  }
  std::size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
      i = j;  // resynchronise at the first byte that does not continue
      return kInvalid;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
  }
  i = j;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kInvalid;
  return cp;
}

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighTable[byte - 0x80];
  return byte;
}

char CodePointToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t k = 0; k < kHighTable.size(); ++k) {
    if (kHighTable[k] == cp) return static_cast<char>(0x80 + k);
  }
  return '?';
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char c : text) AppendUtf8(out, Cp1252ToCodePoint(c));
  return out;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(static_cast<char16_t>(Cp1252ToCodePoint(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, i);
    out.push_back(cp == kInvalid ? '?' : CodePointToCp1252(cp));
  }
  return out;
}

std::string Utf16ToCp1252(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      ++i;  // a pair lies outside the code page in any case
      out.push_back('?');
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back('?');
    } else {
      out.push_back(CodePointToCp1252(u));
    }
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (DecodeUtf8(bytes, i) == kInvalid) return false;
  }
  return true;
}

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return std::string(text.substr(b, e - b));
}

bool IsBlank(std::string_view text) {
  for (unsigned char c : text) {
    if (c > 0x20) return false;
  }
  return true;
}

std::string Cp1252ToNativePath(std::string_view path) { return Cp1252ToUtf8(path); }

std::string NativePathToCp1252(std::string_view path) {
  if (IsWellFormedUtf8(path)) return Utf8ToCp1252(path);
  // A name that is not UTF-8 was written by an older system in Latin-1 or the
  // code page itself: its bytes already are code-page text. Each level is
  // judged on its own, as a UTF-8 folder may hold such a name.
  std::string out;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = path.find('/', start);
    const std::string_view part =
        path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    out += IsWellFormedUtf8(part) ? Utf8ToCp1252(part) : std::string(part);
    if (slash == std::string_view::npos) break;
    out += '/';
    start = slash + 1;
  }
  return out;
}

}  // namespace orvela
