#pragma once
// Access to Jukebox.ini. Nothing stays open: every call reads the file afresh,
// and every write re-reads it, changes one entry and replaces the file
// atomically, so a hand edit made while the program runs is never lost and a
// crash never leaves half a file.
//
// Format: Windows-1252 text, CR LF on writing (LF alone accepted on reading),
// "[Section]" headers and "Key=Value" lines; section and key names match
// without regard to letter case or surrounding blanks; the value is everything
// after the first "=", taken literally.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvela {

// A write the system refused (read-only file or folder, full disk). The message
// is the operator's text, in the code page, naming the file's full path.
class IniWriteError : public std::runtime_error {
 public:
  explicit IniWriteError(const std::string& fullPath);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// One "Key=Value" to be written into a section.
struct TIniEntry {
  std::string section;
  std::string key;
  std::string value;
};

// Writes gathered for one replacement of the file (TIniFile::Write). The typed
// writers format their values exactly as TIniFile's single writers do.
class TIniBatch {
 public:
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteBool(const std::string& section, const std::string& key, bool value);  // "1" / "0"
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteDateTime(const std::string& section, const std::string& key, double value);

  const std::vector<TIniEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }

 private:
  std::vector<TIniEntry> entries_;
};

class TIniFile {
 public:
  // Values are read up to this many characters; the rest of a line is ignored.
  static constexpr std::size_t kMaxValueLength = 2047;

  // path is a code-page string; a relative path is taken from the current folder.
  explicit TIniFile(std::string path);

  // The full (absolute) path, as a code-page string; also the one in IniWriteError.
  const std::string& FileName() const { return path_; }

  bool FileExists() const;
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;

  // A missing file, section or key gives the default; so does, for the typed
  // readers, a value that does not convert.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal or "0x" hexadecimal integer; non-zero is true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // "dd.MM.yyyy hh:mm:ss", "dd.MM.yyyy" or "hh:mm:ss"; days since 30.12.1899.
  double ReadDateTime(const std::string& section, const std::string& key,
                      double defaultValue) const;

  // Each write replaces the key's value in place, or adds the key at the end of
  // its section, or the section at the end of the file. A missing file is
  // created holding just that entry (callers that must not create the file
  // check FileExists first). Throws IniWriteError when the file cannot be
  // written; the old file is then left as it was.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteBool(const std::string& section, const std::string& key, bool value);  // "1" / "0"
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteDateTime(const std::string& section, const std::string& key, double value);

  // Every entry of the batch, in its order, with the result the single writers
  // would give one after another, but the file is read once and replaced once:
  // each replacement is made durable on disk, and a closing settings window that
  // writes twenty values must not wait for twenty of them. All or nothing: on
  // IniWriteError the file is left as it was. An empty batch touches nothing.
  void Write(const TIniBatch& batch);

 private:
  std::string path_;
};

// The settings menu's access code: [Programm] Menuecode, digits only. A value
// that is missing, empty or holds anything but digits gives the delivered code,
// so a typing slip in the file never locks the operator out for good.
inline constexpr const char* kDefaultMenuCode = "6813";
std::string MenuCodeFromIniValue(const std::string& value);
std::string ReadMenuCode(const TIniFile& ini);

}  // namespace orvela
