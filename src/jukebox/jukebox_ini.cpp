#include "jukebox/jukebox_ini.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "jukebox/date_time.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

// A settings file is a few kilobytes; anything far beyond is not ours and is
// neither loaded into memory nor rewritten.
constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

// Case folding of the code page's letters: ASCII, the Latin-1 block and the
// few extra letters Windows-1252 places in 0x80..0x9F.
unsigned char FoldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return c;
  }
}

std::string FoldName(std::string_view name) {
  std::string folded = Trim(name);
  for (char& c : folded) c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
  return folded;
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, untrimmed
  std::string_view value;  // entries only: everything after the first '='
};

ParsedLine Parse(std::string_view line) {
  ParsedLine parsed;
  std::size_t start = 0;
  while (start < line.size() && static_cast<unsigned char>(line[start]) <= 0x20) ++start;
  if (start < line.size() && line[start] == '[') {
    const std::size_t close = line.find(']', start + 1);
    parsed.kind = LineKind::Section;
    parsed.name = line.substr(start + 1, close == std::string_view::npos ? std::string_view::npos
                                                                         : close - start - 1);
    return parsed;
  }
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Entry;
  parsed.name = line.substr(0, eq);
  parsed.value = line.substr(eq + 1);
  return parsed;
}

// The file as lines without their ends; CR LF and LF alone both end a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  // A byte-order mark left by an editor must not hide the first section.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = next;
  }
  return lines;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t FindSection(const std::vector<std::string_view>& lines, std::string_view section) {
  const std::string wanted = FoldName(section);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine p = Parse(lines[i]);
    if (p.kind == LineKind::Section && FoldName(p.name) == wanted) return i;
  }
  return kNone;
}

// One past the last line of the section whose header is at index header.
std::size_t SectionEnd(const std::vector<std::string_view>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && Parse(lines[i]).kind != LineKind::Section) ++i;
  return i;
}

std::size_t FindKey(const std::vector<std::string_view>& lines, std::size_t header,
                    std::string_view key) {
  const std::string wanted = FoldName(key);
  const std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const ParsedLine p = Parse(lines[i]);
    if (p.kind == LineKind::Entry && FoldName(p.name) == wanted) return i;
  }
  return kNone;
}

// Decimal, or hexadecimal after "0x", with an optional sign; the whole
// (trimmed) text must be the number and it must fit 32 bits.
std::optional<int> ParseInteger(std::string_view text) {
  const std::string t = Trim(text);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < t.size() && (t[pos] == '-' || t[pos] == '+')) negative = t[pos++] == '-';
  bool hex = false;
  if (t.size() - pos > 2 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= t.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; pos < t.size(); ++pos) {
    const char c = t[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  std::int64_t result;
  if (hex) {
    // Eight hex digits are a 32-bit pattern: 0xFFFFFFFF is -1.
    result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  } else {
    if (value > static_cast<std::uint64_t>(INT_MAX) + (negative ? 1 : 0)) return std::nullopt;
    result = static_cast<std::int64_t>(value);
  }
  if (negative) result = -result;
  if (result < INT_MIN || result > INT_MAX) return std::nullopt;
  return static_cast<int>(result);
}

// A line break inside a name or value would split the entry and let a value
// inject entries of its own; it is written as a blank instead.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

bool NoWriteBits(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

// Read-only in the sense the operator means it: no write permission bits at all
// (which even a superuser's process respects here), or none for this process.
bool RefusesWriting(const fs::path& p) {
  return NoWriteBits(p) || (::access(p.c_str(), W_OK) != 0 && errno != ENOENT);
}

}  // namespace

IniWriteError::IniWriteError(const std::string& fullPath)
    : std::runtime_error("In " + fullPath + " kann nicht geschrieben werden"), path_(fullPath) {}

TIniFile::TIniFile(std::string path) {
  fs::path native(Cp1252ToNativePath(path));
  std::error_code ec;
  if (native.is_relative()) {
    fs::path absolute = fs::absolute(native, ec);
    if (!ec) native = absolute;
  }
  path_ = NativePathToCp1252(native.lexically_normal().string());
}

bool TIniFile::FileExists() const {
  std::error_code ec;
  return fs::is_regular_file(fs::path(Cp1252ToNativePath(path_)), ec);
}

namespace {

std::optional<std::string> LoadText(const std::string& cp1252Path) {
  const fs::path native(Cp1252ToNativePath(cp1252Path));
  std::error_code ec;
  if (!fs::is_regular_file(native, ec)) return std::nullopt;
  return ReadWholeFile(native, kMaxFileBytes);
}

std::optional<std::string> Lookup(const std::string& path, const std::string& section,
                                  const std::string& key) {
  const auto text = LoadText(path);
  if (!text) return std::nullopt;
  const auto lines = SplitLines(*text);
  const std::size_t header = FindSection(lines, section);
  if (header == kNone) return std::nullopt;
  const std::size_t at = FindKey(lines, header, key);
  if (at == kNone) return std::nullopt;
  return std::string(Parse(lines[at]).value.substr(0, TIniFile::kMaxValueLength));
}

}  // namespace

bool TIniFile::SectionExists(const std::string& section) const {
  const auto text = LoadText(path_);
  return text && FindSection(SplitLines(*text), section) != kNone;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Lookup(path_, section, key).has_value();
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return Lookup(path_, section, key).value_or(defaultValue);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  const auto text = Lookup(path_, section, key);
  if (!text) return defaultValue;
  const auto value = ParseInteger(*text);
  return value ? *value != 0 : defaultValue;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
  const auto text = Lookup(path_, section, key);
  if (!text) return defaultValue;
  return ParseInteger(*text).value_or(defaultValue);
}

double TIniFile::ReadDateTime(const std::string& section, const std::string& key,
                              double defaultValue) const {
  const auto text = Lookup(path_, section, key);
  if (!text) return defaultValue;
  return ParseGermanDateTime(*text).value_or(defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  const fs::path given(Cp1252ToNativePath(path_));
  std::error_code ec;
  // Writing through a link keeps the link and changes the file it points to.
  fs::path target = given;
  if (fs::is_symlink(given, ec)) {
    fs::path resolved = fs::canonical(given, ec);
    if (!ec) target = resolved;
  }
  const bool exists = fs::exists(target, ec);
  if (ec || (exists && !fs::is_regular_file(target, ec))) throw IniWriteError(path_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (RefusesWriting(folder) || (exists && RefusesWriting(target))) throw IniWriteError(path_);

  std::string text;
  if (exists) {
    // The file must be read whole before it is replaced; if it cannot be, the
    // write is refused rather than losing what the file holds.
    auto current = ReadWholeFile(target, kMaxFileBytes);
    if (!current) throw IniWriteError(path_);
    text = std::move(*current);
  }

  std::vector<std::string_view> lines = SplitLines(text);
  const std::string sectionName = OneLine(section);
  const std::string keyName = OneLine(key);
  const std::string entry = keyName + "=" + OneLine(value);
  const std::string header = "[" + sectionName + "]";
  std::string replaced;

  std::size_t at = FindSection(lines, sectionName);
  if (at == kNone) {
    lines.push_back(header);
    lines.push_back(entry);
  } else {
    const std::size_t keyAt = FindKey(lines, at, keyName);
    if (keyAt != kNone) {
      // Only the value changes; the key keeps the spelling the file gave it.
      replaced = std::string(Parse(lines[keyAt]).name) + "=" + OneLine(value);
      lines[keyAt] = replaced;
    } else {
      // After the section's last non-blank line, so that a blank line
      // separating it from the next section stays where it is.
      std::size_t insertAt = SectionEnd(lines, at);
      while (insertAt > at + 1 && IsBlank(lines[insertAt - 1])) --insertAt;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    }
  }

  std::string out;
  out.reserve(text.size() + entry.size() + header.size() + 2 * lines.size() + 4);
  for (const auto& line : lines) {
    out.append(line);
    out.append("\r\n");
  }
  if (!WriteFileAtomically(target, out)) throw IniWriteError(path_);
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteDateTime(const std::string& section, const std::string& key, double value) {
  WriteString(section, key, FormatGermanDateTime(value));
}

}  // namespace orvela
