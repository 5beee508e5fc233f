#pragma once
// The thumbnails on disk: the folder "Cover" in the program folder, one small
// file per title, named after a hash of the title's path. Each file names the
// path it belongs to and the stamps (size and modification time) of the audio
// file, of its folder and of the folder's cover file it was made from; when any
// of them differ the title is read again and its file replaced. A file that is
// damaged, too large or of another layout is a file not there. Files are
// written atomically under the program's own-file rules: a symbolic link in
// the cache is never followed, neither for the folder nor for an entry.
#include <QImage>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

struct TCoverStamp {
  std::int64_t audioSize = -1;
  std::int64_t audioMtimeNs = 0;
  std::int64_t folderMtimeNs = 0;   // a cover file added or removed changes it
  std::int64_t pictureSize = -1;    // -1: not made from a folder's cover file
  std::int64_t pictureMtimeNs = 0;
  bool operator==(const TCoverStamp&) const = default;
};

// One entry file's content: the path it belongs to, the stamps it was made
// under, the folder's cover file it came from (native, empty if none) and the
// thumbnail as JPEG (empty: the title has no cover).
struct TCoverEntry {
  std::string path;
  TCoverStamp stamp;
  std::string pictureFile;
  std::string jpeg;
};
// nullopt for anything that is not an entry written by FormatCoverEntry,
// checksum included.
std::optional<TCoverEntry> ParseCoverEntry(std::string_view bytes);
std::string FormatCoverEntry(const TCoverEntry& entry);

// The thumbnail of one title, as the cache hands it out.
struct TCoverThumbnail {
  QImage image;           // null: the title has no cover
  bool fromDisk = false;  // found valid in the cache (nothing decoded from the audio file)
  bool stored = false;    // read anew and written into the cache
};

class TCoverStore {
 public:
  static constexpr const char* kFolderName = "Cover";
  static constexpr std::size_t kMaxEntryBytes = std::size_t{1} << 20;

  // programDir: native path of the program folder, with its trailing "/".
  // Empty: nothing on disk (every title is read from its file).
  explicit TCoverStore(std::string programDir, int pixels);

  // The title's thumbnail: from the cache when its entry is valid, else read
  // from the audio file (and its folder) and stored. nullopt when the audio
  // file cannot be found at all (nothing is stored then). Safe to call from
  // several threads at once for different titles.
  std::optional<TCoverThumbnail> Fetch(const std::string& codePagePath) const;

  // The entry file a title's thumbnail is kept in (native path).
  std::string EntryPath(const std::string& codePagePath) const;
  const std::string& Folder() const { return folder_; }

  // The stamps of the title as the disk has them now (audio at its native path).
  static std::optional<TCoverStamp> StampOf(const std::string& nativeAudioPath, const std::string& pictureFile);

 private:
  std::optional<TCoverThumbnail> Load(const std::string& entryPath, const std::string& codePagePath,
                                      const std::string& nativeAudioPath) const;
  bool Save(const std::string& entryPath, const std::string& codePagePath, const TCoverStamp& stamp,
            const std::string& pictureFile, const QImage& image) const;
  // The entry's folder exists as a real folder (made if missing); false on a link.
  bool EnsureFolder(const std::string& folder) const;

  std::string folder_;  // native, "/"-terminated; empty: no disk cache
  int pixels_;
};

}  // namespace orvela
