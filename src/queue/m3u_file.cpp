#include "queue/m3u_file.h"

#include <filesystem>
#include <optional>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_open.h"

namespace orvela {
namespace {

// A playlist of a whole venue's collection is a few megabytes; anything far
// beyond is not a playlist.
constexpr std::size_t kMaxPlaylistBytes = std::size_t{64} << 20;

// Lines end in CR LF, LF or CR; a break at the very end opens no line.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    if (end == bytes.size()) break;
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return lines;
}

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
  const std::vector<std::string_view> lines = SplitLines(bytes);
  if (lines.empty()) return result;
  if (lines.front() == "#EXTM3U") {
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (IsBlank(lines[i])) continue;
      if (lines[i].substr(0, 7) == "#EXTINF") {
        if (i + 1 >= lines.size()) {
          result.MissingLastPath = true;
          break;
        }
        ++i;  // the line after "#EXTINF" is the path, whatever it holds
      } else if (lines[i].front() == '#') {
        continue;  // other players' directives (#EXTGRP, #EXTVLCOPT, ...) name no file
      }
      result.Paths.push_back(Absolute(lines[i], folder));
    }
  } else {
    for (std::string_view line : lines) {
      if (!IsBlank(line)) result.Paths.push_back(Absolute(line, folder));
    }
  }
  return result;
}

std::string RelativePath(std::string_view path, std::string_view folder) {
  namespace fs = std::filesystem;
  const fs::path target = fs::path(std::string(path)).lexically_normal();
  fs::path base = fs::path(std::string(folder)).lexically_normal();
  if (!target.is_absolute() || !base.is_absolute()) return std::string(path);
  const fs::path relative = target.lexically_relative(base);
  return relative.empty() ? std::string(path) : relative.string();
}

std::string FormatM3U(const std::vector<TM3UEntry>& entries, std::string_view folder) {
  std::string out = "#EXTM3U\r\n";
  for (const TM3UEntry& entry : entries) {
    out += "#EXTINF:" + std::to_string(entry.Duration) + "," + entry.Artist + " - " + entry.Title + "\r\n";
    out += RelativePath(entry.FilePath, folder) + "\r\n";
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
  if (!WriteFileAtomically(ResolveCodePagePath(path), FormatM3U(entries, FolderOf(path)), &reason)) {
    throw TPlaylistError("Die Playlist " + path + " kann nicht gespeichert werden.");
  }
}

}  // namespace orvela
