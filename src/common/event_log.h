#pragma once
// The operator's record of what the jukebox did by itself while nobody was
// watching (a title passed over because its file did not open). A bar's
// screen has nobody to press a message box at three in the morning, so these
// go to a plain text file in the program folder instead.
#include <string>
#include <string_view>

namespace orvela {

class EventLog {
 public:
  // Beyond this the file is moved to "<name>.1" (replacing an older one), so
  // weeks of unplugged drives never fill the disk.
  static constexpr long long kMaxBytes = 1024 * 1024;

  // cp1252Path: the log file, code page, as every program-folder path is.
  explicit EventLog(std::string cp1252Path) : path_(std::move(cp1252Path)) {}

  // Appends one line (code-page text, written as UTF-8 so any editor reads
  // it). Never throws: a log that cannot be written must not stop the music.
  bool Append(std::string_view cp1252Line) const noexcept;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace orvela
