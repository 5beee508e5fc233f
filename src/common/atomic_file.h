#pragma once
// Every file the jukebox writes is replaced atomically: a crash, a full disk or
// a killed process leaves the old content or the new one, never a torn file.
//
// The one writer behind all of them decides alike for every file:
// - a file (or its folder) without any write permission bit is read-only in the
//   operator's sense and is refused, even for a superuser; so is a file or folder
//   the process may not write, and anything that is not a regular file;
// - a symbolic link is written through: the file it names changes, the link stays
//   (except for the program's own bookkeeping files, see WriteOwnFile);
// - the new file keeps the mode and, where the process may set it, the owner of
//   the file it replaces;
// - the data reach the disk before the rename, and the rename before success is
//   reported;
// - a temporary file that a killed write left behind (a hidden file named after
//   the target plus ".orvela-" and six characters) is removed by the next write of
//   the same file, unless a running write still holds it.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

// What a write does with a symbolic link under the target's name: write to the
// file it names, or replace the link itself with the new file.
enum class TLinkRule { Follow, Replace };

class TAtomicFileWriter {
 public:
  TAtomicFileWriter() = default;
  // Without Commit the temporary file goes and the target stays as it was.
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  // Prepares replacing the file at nativePath: checks that it may be written,
  // clears leftovers and creates the temporary file. False with a reason in
  // *error (if given) when the file must not or cannot be written.
  bool Open(const std::string& nativePath, std::string* error = nullptr, TLinkRule links = TLinkRule::Follow);
  // The file that will be replaced (links followed), and whether it exists yet.
  const std::string& Target() const { return target_; }
  bool ReplacesAFile() const { return replaces_; }
  // With TLinkRule::Replace: whether a link stands under the name, to be replaced.
  bool ReplacesALink() const { return replacesLink_; }

  bool Write(std::string_view bytes, std::string* error = nullptr);
  // Makes the new content the file's. After a failure the old file is untouched.
  bool Commit(std::string* error = nullptr);

 private:
  void Discard();

  int fd_ = -1;
  std::string target_;
  std::string folder_;
  std::string temp_;
  bool replaces_ = false;
  bool replacesLink_ = false;
  unsigned mode_ = 0644;
  long long uid_ = -1;
  long long gid_ = -1;
};

// Whether Open would accept nativePath, decided by the same rules, without
// creating or removing anything. False with the reason in *error (if given).
bool MayReplaceFile(const std::string& nativePath, std::string* error = nullptr,
                    TLinkRule links = TLinkRule::Follow);

// The whole replacement in one call, for contents that are at hand as one piece.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// The program's own bookkeeping files in its folder (the kept queue, its
// marker, the loudness results) never lead anywhere else: a symbolic link
// under such a name is neither written through nor read. WriteOwnFile replaces
// the link itself with the new file, leaving its target alone; IsOwnFile and
// ReadOwnFile take it for no file. Each link met is named in the log beside
// the file (Jukebox.log), so the operator learns why.
bool WriteOwnFile(const std::string& nativePath, std::string_view bytes, std::string* error = nullptr);
// Whether a regular file (no link, no FIFO, no folder) stands under the name.
bool IsOwnFile(const std::string& nativePath);
// The whole file where IsOwnFile holds and it is no larger than maxBytes.
std::optional<std::string> ReadOwnFile(const std::string& nativePath, std::size_t maxBytes);

// Reads a whole regular file (or one a link names), refusing files larger than
// maxBytes. A FIFO, a device or a folder is not read at all (opening one never
// blocks). nullopt when the file cannot be opened or read or is too large.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path,
                                         std::size_t maxBytes = std::size_t{1} << 31);

}  // namespace orvela
