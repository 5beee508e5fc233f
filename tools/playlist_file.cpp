#include "playlist_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"
#include "common/file_name.h"
#include "field_escape.h"
#include "queue/m3u_file.h"

namespace orvela::tool {

bool IsPlainFileOrMissing(const std::string& nativePath) {
  std::error_code error;
  const auto status = std::filesystem::status(nativePath, error);
  return error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

bool IsM3UName(const std::string& nativePath) {
  return AsciiLower(FileExtension(NativePathToCp1252(nativePath))) == ".m3u";
}

std::string PlaylistPath(const std::string& nativePath) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(nativePath, error);
  // Without a working folder the name stays as given; reading it fails plainly.
  if (error) path = nativePath;
  return NativePathToCp1252(path.lexically_normal().string());
}

bool LoadPlaylistFile(const char* command, TTiluPlaylist& queue, const std::string& nativePath) {
  if (!IsM3UName(nativePath)) {
    std::fprintf(stderr, "%s: %s is not an M3U playlist\n", command, EscapeField(nativePath).c_str());
    return false;
  }
  // The reader would only find it unreadable; say what it is.
  if (!IsPlainFileOrMissing(nativePath)) {
    std::fprintf(stderr, "%s: %s is not a file\n", command, EscapeField(nativePath).c_str());
    return false;
  }
  const std::string path = PlaylistPath(nativePath);
  try {
    // A named pipe listed as a title is no title a venue can test: such a
    // playlist is refused before any title is read.
    for (const std::string& listed : ReadM3UFile(path).Paths) {
      const std::string native = Cp1252ToNativePath(listed);
      if (!IsPlainFileOrMissing(native)) {
        std::fprintf(stderr, "%s: %s listed in %s is not a file\n", command, EscapeField(native).c_str(),
                     EscapeField(nativePath).c_str());
        return false;
      }
    }
    queue.LoadPlaylist(path);
  } catch (const TPlaylistError& e) {
    std::fprintf(stderr, "%s: %s\n", command, EscapeField(Cp1252ToUtf8(e.what())).c_str());
    return false;
  }
  return true;
}

}  // namespace orvela::tool
