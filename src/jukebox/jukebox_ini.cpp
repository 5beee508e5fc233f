#include "jukebox/jukebox_ini.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>

#include "common/atomic_file.h"
#include "common/byte_reader.h"
#include "common/codepage.h"
#include "common/file_open.h"
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

// Whether a name as it stands in the file (blanks around it) is the folded name.
bool NameIs(std::string_view name, std::string_view folded) {
  std::size_t begin = 0;
  std::size_t end = name.size();
  while (begin < end && static_cast<unsigned char>(name[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(name[end - 1]) <= 0x20) --end;
  if (end - begin != folded.size()) return false;
  for (std::size_t i = 0; i < folded.size(); ++i)
    if (static_cast<char>(FoldByte(static_cast<unsigned char>(name[begin + i]))) != folded[i]) return false;
  return true;
}

// A line is judged by at most this much of it, counted from its first byte that
// is not blank: a section or key name that long is none of ours, and so reading
// never holds more than this of a line, however long the line is.
constexpr std::size_t kJudgedBytes = std::size_t{64} << 10;

std::string_view Judged(std::string_view line) {
  std::size_t start = 0;
  while (start < line.size() && static_cast<unsigned char>(line[start]) <= 0x20) ++start;
  return line.substr(start, kJudgedBytes);
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, untrimmed
  std::string_view value;  // entries only: everything after the first '='
};

// `judged` starts at the line's first byte that is not blank (see Judged).
ParsedLine Parse(std::string_view judged) {
  ParsedLine parsed;
  if (!judged.empty() && judged.front() == '[') {
    const std::size_t close = judged.find(']', 1);
    parsed.kind = LineKind::Section;
    parsed.name = judged.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return parsed;
  }
  const std::size_t eq = judged.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Entry;
  parsed.name = judged.substr(0, eq);
  parsed.value = judged.substr(eq + 1);
  return parsed;
}

// Reading takes the file this much at a time; with the judged part of a line, a
// read holds a little over 100 KiB whatever the file.
constexpr std::size_t kReadBlockBytes = std::size_t{64} << 10;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The lines of the file as it is read, each as much of it as is judged, blank
// lines left out. Memory stays at a buffer or two whatever the file holds, and
// each byte is looked at about once: a file of millions of blank lines costs its
// reading and nothing per line.
class TIniLineScanner {
 public:
  explicit TIniLineScanner(TByteReader& in) : in_(in) {
    // A byte-order mark left by an editor must not hide the first section.
    if (in_.Window(kByteOrderMark.size()).substr(0, kByteOrderMark.size()) == kByteOrderMark)
      in_.Skip(kByteOrderMark.size());
  }

  // The judged part of the next line that is not blank; valid until the next call.
  bool Next(std::string_view* judged) {
    if (restOfLineLeft_) SkipPastLineEnd();
    restOfLineLeft_ = false;
    SkipBlanks();
    const std::string_view window = in_.Window(kJudgedBytes + 2);
    if (window.empty()) return false;
    const std::size_t searched = std::min(window.size(), kJudgedBytes + 2);
    const void* newline = std::memchr(window.data(), '\n', searched);
    std::string_view line;
    if (newline != nullptr) {
      line = window.substr(0, static_cast<std::size_t>(static_cast<const char*>(newline) - window.data()));
      in_.Skip(line.size() + 1);
    } else if (window.size() < kJudgedBytes + 2) {
      line = window;  // the last line, without a line end
      in_.Skip(line.size());
    } else {
      *judged = window.substr(0, kJudgedBytes);
      in_.Skip(kJudgedBytes);
      restOfLineLeft_ = true;
      return true;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    *judged = line.substr(0, kJudgedBytes);
    return true;
  }

 private:
  // Blanks and line ends, eight bytes at a time where they come in runs.
  void SkipBlanks() {
    for (;;) {
      const std::string_view window = in_.Window(1);
      if (window.empty()) return;
      const char* p = window.data();
      const char* const end = p + window.size();
      for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        // A byte above 0x20 sets its top bit here, either by itself or by adding 0x5F.
        if (((word + 0x5F5F5F5F5F5F5F5Full) | word) & 0x8080808080808080ull) break;
      }
      while (p < end && static_cast<unsigned char>(*p) <= 0x20) ++p;
      in_.Skip(static_cast<std::size_t>(p - window.data()));
      if (p < end) return;
    }
  }

  void SkipPastLineEnd() {
    for (;;) {
      const std::string_view window = in_.Window(1);
      if (window.empty()) return;
      const void* newline = std::memchr(window.data(), '\n', window.size());
      if (newline != nullptr) {
        in_.Skip(static_cast<std::size_t>(static_cast<const char*>(newline) - window.data()) + 1);
        return;
      }
      in_.Skip(window.size());
    }
  }

  TByteReader& in_;
  bool restOfLineLeft_ = false;
};

// The lines of a file held in memory, for the writer, which replaces the whole
// file anyway: f(index, line) with the line's end (CR LF or LF alone) cut off.
template <class F>
std::size_t ForEachLine(std::string_view text, F f) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  std::size_t index = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(index++, line);
    pos = next;
  }
  return index;
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

// The text of the file with one entry written: the key's value replaced in
// place, or the key added at the end of its section, or the section at the end
// of the file. The new text goes to put(piece) a piece at a time rather than as
// a second copy of the old; false when put refused a piece.
template <class Put>
bool RewriteWithEntry(std::string_view text, const TIniEntry& entry, Put put) {
  const std::string sectionName = OneLine(entry.section);
  const std::string keyName = OneLine(entry.key);
  const std::string wantedSection = FoldName(sectionName);
  const std::string wantedKey = FoldName(keyName);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t sectionAt = kNone;    // the first header of the section
  std::size_t sectionEnd = kNone;   // the next header after it
  std::size_t keyAt = kNone;        // the key's first line in the section
  std::size_t keyNameLength = 0;    // the key as the file spells it, blanks included
  std::size_t lastFilled = kNone;   // the section's last line that is not blank
  ForEachLine(text, [&](std::size_t index, std::string_view line) {
    if (sectionEnd != kNone) return;
    const ParsedLine p = Parse(Judged(line));
    if (p.kind == LineKind::Section) {
      if (sectionAt != kNone) {
        sectionEnd = index;
      } else if (NameIs(p.name, wantedSection)) {
        sectionAt = index;
      }
      return;
    }
    if (sectionAt == kNone) return;
    if (!IsBlank(line)) lastFilled = index;
    if (keyAt == kNone && p.kind == LineKind::Entry && NameIs(p.name, wantedKey)) {
      keyAt = index;
      keyNameLength = static_cast<std::size_t>(p.value.data() - 1 - line.data());
    }
  });
  // A new key goes after the section's last non-blank line, so that a blank line
  // separating it from the next section stays where it is.
  const std::size_t insertAt =
      sectionAt == kNone || keyAt != kNone ? kNone : (lastFilled == kNone ? sectionAt + 1 : lastFilled + 1);

  const std::string value = OneLine(entry.value);
  const std::string line = keyName + "=" + value;
  std::string out;
  bool written = true;
  const auto flush = [&](std::size_t atLeast) {
    if (out.size() < atLeast) return;
    written = written && put(out);
    out.clear();
  };
  const std::size_t lineCount = ForEachLine(text, [&](std::size_t index, std::string_view current) {
    if (index == insertAt) out.append(line).append("\r\n");
    if (index == keyAt) {
      // Only the value changes; the key keeps the spelling the file gave it.
      out.append(current.substr(0, keyNameLength)).append("=").append(value);
    } else {
      out.append(current);
    }
    out.append("\r\n");
    flush(kReadBlockBytes);
  });
  if (insertAt == lineCount) out.append(line).append("\r\n");
  if (sectionAt == kNone) out.append("[").append(sectionName).append("]\r\n").append(line).append("\r\n");
  flush(0);
  return written;
}

// Closes a descriptor when the scope ends, whichever way it ends.
class TFileCloser {
 public:
  explicit TFileCloser(int fd) : fd_(fd) {}
  ~TFileCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFileCloser(const TFileCloser&) = delete;
  TFileCloser& operator=(const TFileCloser&) = delete;

 private:
  int fd_;
};

// Calls f(judged line) for every line of the file that is not blank until f
// answers true. False when the file cannot be read (missing, not a regular file,
// larger than the limit), which reads as a file without any entry.
template <class F>
bool ScanFile(const std::string& cp1252Path, F f) {
  const int fd = OpenRegularCodePageFile(cp1252Path);
  if (fd < 0) return false;
  const TFileCloser closer(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) return false;
  TByteReader in(fd, kReadBlockBytes);
  TIniLineScanner lines(in);
  for (std::string_view judged; lines.Next(&judged);)
    if (f(judged)) break;
  return true;
}

// The value of a key, up to the longest value read; of duplicate sections or keys
// the first counts.
std::optional<std::string> Lookup(const std::string& path, const std::string& section,
                                  const std::string& key) {
  const std::string wantedSection = FoldName(section);
  const std::string wantedKey = FoldName(key);
  std::optional<std::string> value;
  bool inSection = false;
  ScanFile(path, [&](std::string_view judged) {
    const ParsedLine p = Parse(judged);
    if (p.kind == LineKind::Section) {
      if (inSection) return true;  // the first such section ended without the key
      inSection = NameIs(p.name, wantedSection);
    } else if (inSection && p.kind == LineKind::Entry && NameIs(p.name, wantedKey)) {
      value = std::string(p.value.substr(0, TIniFile::kMaxValueLength));
      return true;
    }
    return false;
  });
  return value;
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

bool TIniFile::FileExists() const { return IsRegularFile(ResolveCodePagePath(path_)); }

bool TIniFile::SectionExists(const std::string& section) const {
  const std::string wanted = FoldName(section);
  bool found = false;
  ScanFile(path_, [&](std::string_view judged) {
    const ParsedLine p = Parse(judged);
    found = p.kind == LineKind::Section && NameIs(p.name, wanted);
    return found;
  });
  return found;
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
  TIniBatch batch;
  batch.WriteString(section, key, value);
  Write(batch);
}

void TIniFile::Write(const TIniBatch& batch) {
  const std::vector<TIniEntry>& entries = batch.Entries();
  if (entries.empty()) return;
  // The atomic writer refuses read-only files and folders, writes through a link
  // and keeps the file's mode; see common/atomic_file.h.
  TAtomicFileWriter writer;
  if (!writer.Open(ResolveCodePagePathForWriting(path_))) throw IniWriteError(path_);
  std::string text;
  if (writer.ReplacesAFile()) {
    // The file must be read whole before it is replaced; if it cannot be, the
    // write is refused rather than losing what the file holds.
    auto current = ReadWholeFile(writer.Target(), kMaxFileBytes);
    if (!current) throw IniWriteError(path_);
    text = std::move(*current);
  }
  // Each entry but the last rewrites the text in memory, exactly as a write of
  // its own would rewrite the file; the last one goes out to the file.
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    std::string next;
    next.reserve(text.size() + 64);
    RewriteWithEntry(text, entries[i], [&next](std::string& piece) {
      next += piece;
      return true;
    });
    text = std::move(next);
  }
  const bool written =
      RewriteWithEntry(text, entries.back(), [&writer](std::string& piece) { return writer.Write(piece); });
  if (!written || !writer.Commit()) throw IniWriteError(path_);
}

void TIniBatch::WriteString(const std::string& section, const std::string& key,
                            const std::string& value) {
  entries_.push_back({section, key, value});
}

void TIniBatch::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniBatch::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniBatch::WriteDateTime(const std::string& section, const std::string& key, double value) {
  WriteString(section, key, FormatGermanDateTime(value));
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

std::string MenuCodeFromIniValue(const std::string& value) {
  if (value.empty()) return kDefaultMenuCode;
  for (const char c : value) {
    if (c < '0' || c > '9') return kDefaultMenuCode;
  }
  return value;
}

std::string ReadMenuCode(const TIniFile& ini) {
  return MenuCodeFromIniValue(ini.ReadString("Programm", "Menuecode", ""));
}

}  // namespace orvela
