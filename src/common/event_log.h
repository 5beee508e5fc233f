#pragma once
// The operator's record of what the jukebox did by itself while nobody was
// watching (a title passed over because its file did not open). A bar's
// screen has nobody to press a message box at three in the morning, so these
// go to a plain text file in the program folder instead.
//
// Each entry is exactly one line: a line break, any other control character,
// and the backslash inside an entry are written as "\n", "\r", "\t", "\\" or
// "\xHH" (the tool's form), so a file name holding a line break can never
// write a second, forged entry.
#include <string>
#include <string_view>

namespace orvela {

class EventLog {
 public:
  // The program folder's log file.
  static constexpr const char* kFileName = "Jukebox.log";
  // Beyond this the file is moved to "<name>.1" (replacing an older one), so
  // weeks of unplugged drives never fill the disk. Where that move fails (a
  // folder of that name, a folder that may not be written) the file keeps
  // its newest half instead; the log never grows past this by more than one
  // entry.
  static constexpr long long kMaxBytes = 1024 * 1024;
  // One entry longer than this (a path of thousands of characters, escaped)
  // is cut, marked with "...".
  static constexpr std::size_t kMaxEntryBytes = 32 * 1024;

  // cp1252Path: the log file, code page, as every program-folder path is.
  explicit EventLog(std::string cp1252Path) : path_(std::move(cp1252Path)) {}
  // The log of a native (file-system) path, for code that works with those.
  static EventLog AtNativePath(std::string nativePath);

  // Appends one entry (code-page text, written as UTF-8 so any editor reads
  // it). Never throws: a log that cannot be written must not stop the music.
  // Anything but a plain file under the log's name (a link, a FIFO, a folder)
  // is left alone and nothing is written.
  bool Append(std::string_view cp1252Line) const noexcept;
  // The same, after the local date and time ("24.12.2008 18:30:00 ").
  bool AppendNow(std::string_view cp1252Line) const noexcept;

  const std::string& Path() const { return path_; }

 private:
  std::string NativePath() const;

  std::string path_;
  bool native_ = false;
};

// An entry as the log writes it, before its conversion to UTF-8: control
// characters and the backslash escaped, cut at kMaxEntryBytes.
std::string EscapeLogEntry(std::string_view cp1252Line);

}  // namespace orvela
