#include "queue/m3u_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_open.h"

namespace orvela {
namespace {

// A playlist of a whole venue's collection is a few megabytes; anything far
// beyond is not a playlist.
constexpr std::size_t kMaxPlaylistBytes = std::size_t{64} << 20;

// Lines end in CR LF, LF or CR; a break at the very end opens no line. Taken
// one at a time, so that a file of millions of lines costs nothing beyond the
// lines the reader keeps.
class LineCursor {
 public:
  explicit LineCursor(std::string_view bytes) : bytes_(bytes) {}

  bool Next(std::string_view* line) {
    if (start_ >= bytes_.size()) return false;
    std::size_t end = bytes_.find_first_of("\r\n", start_);
    if (end == std::string_view::npos) end = bytes_.size();
    *line = bytes_.substr(start_, end - start_);
    start_ = end + 1;
    if (end < bytes_.size() && bytes_[end] == '\r' && start_ < bytes_.size() && bytes_[start_] == '\n') ++start_;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t start_ = 0;
};

// Editors on Windows start a UTF-8 file with it; it belongs to no line.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::string Absolute(std::string_view line, std::string_view folder) {
  std::string path(line);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.empty() || path.front() != '/') {
    std::string base(folder);
    if (!base.empty() && base.back() != '/') base += '/';
    path = base + path;
  }
  // "../musik" from a playlist folder that is a link leads where "cd" would
  // lead, beside the folder the link names; the text alone would name a
  // folder beside the link.
  std::string real;
  if (path.find("..") != std::string::npos && ResolveStepsUp(ResolveCodePagePath(path), &real)) {
    return NativePathToCp1252(real);
  }
  return std::filesystem::path(path).lexically_normal().string();
}

}  // namespace

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

TM3UPaths ParseM3U(std::string_view bytes, std::string_view folder) {
  TM3UPaths result;
  if (bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  LineCursor lines(bytes);
  std::string_view line;
  if (!lines.Next(&line)) return result;
  const auto take = [&](std::string_view listed, std::string_view info) {
    if (result.Paths.size() == kMaxPlaylistEntries) {
      result.TooManyEntries = true;
      return false;
    }
    // Measured before anything is made of it: a line of megabytes costs one look.
    if (listed.size() > kMaxPathBytes) {
      ++result.TooLongPaths;
      return true;
    }
    std::string path = Absolute(listed, folder);
    if (path.size() > kMaxPathBytes) {
      ++result.TooLongPaths;
      return true;
    }
    result.Paths.push_back(std::move(path));
    result.Infos.emplace_back(info);
    return true;
  };
  if (line == "#EXTM3U") {
    while (lines.Next(&line)) {
      if (IsBlank(line)) continue;
      std::string_view info;
      if (line.substr(0, 7) == "#EXTINF") {
        info = line.size() > 8 ? line.substr(8) : std::string_view();
        // The line after "#EXTINF" is the path, whatever it holds.
        if (!lines.Next(&line)) {
          result.MissingLastPath = true;
          break;
        }
      } else if (line.front() == '#') {
        continue;  // other players' directives (#EXTGRP, #EXTVLCOPT, ...) name no file
      }
      if (!take(line, info)) break;
    }
  } else {
    do {
      if (!IsBlank(line) && !take(line, {})) break;
    } while (lines.Next(&line));
  }
  return result;
}

TM3UEntry EntryFromInfo(std::string_view info, std::string filePath) {
  TM3UEntry entry;
  entry.FilePath = std::move(filePath);
  const std::size_t comma = info.find(',');
  const std::string_view seconds = info.substr(0, comma);
  std::int64_t value = 0;
  bool digits = !seconds.empty();
  for (char c : seconds) {
    if (c < '0' || c > '9') {
      digits = false;
      break;
    }
    // Held at the first value too large, so that no number of digits overflows.
    value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 31);
  }
  if (digits && value < (std::int64_t{1} << 31)) entry.Duration = static_cast<std::int32_t>(value);
  if (comma == std::string_view::npos) return entry;
  const std::string_view caption = info.substr(comma + 1);
  const std::size_t dash = caption.find(" - ");
  if (dash == std::string_view::npos) {
    entry.Title = std::string(caption);
  } else {
    entry.Artist = std::string(caption.substr(0, dash));
    entry.Title = std::string(caption.substr(dash + 3));
  }
  return entry;
}

std::string RelativePath(std::string_view path, std::string_view folder) {
  namespace fs = std::filesystem;
  const fs::path target = fs::path(std::string(path)).lexically_normal();
  fs::path base = fs::path(std::string(folder)).lexically_normal();
  if (!target.is_absolute() || !base.is_absolute()) return std::string(path);
  const fs::path relative = target.lexically_relative(base);
  return relative.empty() ? std::string(path) : relative.string();
}

std::string RelativePath(std::string_view path, std::string_view folder, std::string_view resolvedFolder) {
  std::string relative = RelativePath(path, folder);
  // Going down from the folder by name leads where the link leads; going up
  // is taken on disk by the reader, from the folder the link names.
  const bool stepsUp = relative == ".." || relative.rfind("../", 0) == 0;
  if (!stepsUp || resolvedFolder.empty()) return relative;
  return RelativePath(path, resolvedFolder);
}

std::string ResolvedFolder(std::string_view folder) {
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(ResolveCodePagePath(folder), error);
  if (error) return {};
  std::string resolved = NativePathToCp1252(real.string());
  // A name the code page cannot spell would lead elsewhere when read back.
  if (!std::filesystem::equivalent(ResolveCodePagePath(resolved), real, error) || error) return {};
  if (resolved.empty() || resolved.back() != '/') resolved += '/';
  return resolved;
}

std::string FormatM3U(const std::vector<TM3UEntry>& entries, std::string_view folder,
                      std::string_view resolvedFolder) {
  std::string out = "#EXTM3U\r\n";
  for (const TM3UEntry& entry : entries) {
    out += "#EXTINF:" + std::to_string(entry.Duration) + "," + entry.Artist + " - " + entry.Title + "\r\n";
    out += RelativePath(entry.FilePath, folder, resolvedFolder) + "\r\n";
  }
  return out;
}

TM3UPaths ReadM3UFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadWholeFile(ResolveCodePagePath(path), kMaxPlaylistBytes);
  if (!bytes) throw TPlaylistError("Die Playlist " + path + " kann nicht gelesen werden.");
  return ParseM3U(*bytes, FolderOf(path));
}

void WriteM3UFile(const std::string& path, const std::vector<TM3UEntry>& entries) {
  std::string reason;
  const std::string folder = FolderOf(path);
  if (!WriteFileAtomically(ResolveCodePagePath(path), FormatM3U(entries, folder, ResolvedFolder(folder)), &reason)) {
    throw TPlaylistError("Die Playlist " + path + " kann nicht gespeichert werden.", reason);
  }
}

}  // namespace orvela
