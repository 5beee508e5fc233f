#include "collection/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/file_open.h"

namespace orvela {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The code-page form of a UTF-8 name that turns back into exactly that name:
// the common case, answered without asking the file system.
bool PlainCodePageName(std::string_view native, std::string* cp1252) {
  if (IsAscii(native)) {
    cp1252->assign(native);
    return true;
  }
  if (!IsWellFormedUtf8(native)) return false;
  *cp1252 = Utf8ToCp1252(native);
  return Cp1252ToUtf8(*cp1252) == native;
}

struct Entry {
  std::string name;
  unsigned char type;
};

class Walker {
 public:
  Walker(const TFolderScanOptions& options, const TFolderScanCallbacks& callbacks)
      : options_(options), callbacks_(callbacks) {}

  TFolderScanResult Run(const std::string& nativeFolder) {
    std::string native = nativeFolder;
    if (!native.empty() && native.back() != '/') native += '/';
    std::string cp1252;
    // An empty folder text is the current folder, as it always was.
    const bool plain = PlainCodePageName(native, &cp1252);
    if (!plain) cp1252 = NativePathToCp1252(native);
    Walk(native, cp1252, plain);
    return result_;
  }

 private:
  bool Pause() {
    if (result_.stopped) return false;
    if (callbacks_.pause && !callbacks_.pause()) result_.stopped = true;
    return !result_.stopped;
  }

  // native and cp1252 end in "/" (or are empty for the current folder). plain:
  // every level of the folder's code-page path turns back into its native name.
  void Walk(const std::string& native, const std::string& cp1252, bool plain) {
    DIR* dir = ::opendir(native.empty() ? "." : native.c_str());
    if (dir == nullptr) {
      ++result_.unreadableFolders;
      return;
    }
    const int fd = ::dirfd(dir);
    struct stat self {};
    if (::fstat(fd, &self) != 0 || !visited_.insert({self.st_dev, self.st_ino}).second) {
      // Reached again through a link: walked already (or being walked, in a loop).
      ::closedir(dir);
      return;
    }
    std::vector<Entry> entries;
    while (const dirent* e = ::readdir(dir)) {
      const std::string_view name(e->d_name);
      if (name == "." || name == "..") continue;
      entries.push_back({std::string(name), e->d_type});
    }
    // The entries' bytes decide the order, not the order they happen to be stored in.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

    const auto isFolder = [fd](const Entry& e) {
      if (e.type == DT_DIR) return true;
      if (e.type != DT_LNK && e.type != DT_UNKNOWN) return false;
      struct stat info {};
      return ::fstatat(fd, e.name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
    };
    std::vector<const Entry*> folders;
    std::vector<const Entry*> files;
    for (const Entry& e : entries) {
      const bool matches = MatchesMask(e.name, options_.mask);
      if (!matches && !options_.recursive) continue;
      if (isFolder(e)) {
        if (options_.recursive) folders.push_back(&e);
      } else if (matches) {
        files.push_back(&e);
      }
    }
    ::closedir(dir);
    if (!Pause()) return;

    std::string path;
    std::string name;
    for (const Entry* e : files) {
      // Asked now, not when the folder was listed: a file removed since is as
      // gone as a link to nothing, and a pipe would hold the reader up.
      if (!IsRegularFile(native + e->name)) {
        ++result_.skipped;
        if (!Pause()) return;
        continue;
      }
      bool stored = plain && PlainCodePageName(e->name, &name);
      if (stored) {
        path = cp1252 + name;
      } else {
        stored = StoredPathOf(native + e->name, &path);
      }
      if (!stored || (options_.maxPathBytes != 0 && path.size() > options_.maxPathBytes)) {
        ++result_.leftOut;
        continue;
      }
      ++result_.files;
      if (callbacks_.file) callbacks_.file(path);
      if (!Pause()) return;
    }

    for (const Entry* e : folders) {
      const std::string subNative = native + e->name + "/";
      const bool subPlain = plain && PlainCodePageName(e->name, &name);
      Walk(subNative, subPlain ? cp1252 + name + "/" : NativePathToCp1252(subNative), subPlain);
      if (result_.stopped) return;
    }
  }

  const TFolderScanOptions& options_;
  const TFolderScanCallbacks& callbacks_;
  TFolderScanResult result_;
  std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

namespace {

// One mask of "*" and "?".
bool MatchesOneMask(std::string_view name, std::string_view mask) {
  // Iterative wildcard match: on a mismatch, let the last "*" take one byte more.
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || LowerAscii(mask[m]) == LowerAscii(name[n]))) {
      ++n;
      ++m;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  for (std::size_t start = 0;;) {
    const std::size_t end = mask.find(';', start);
    const std::size_t length = end == std::string_view::npos ? std::string_view::npos : end - start;
    if (MatchesOneMask(name, mask.substr(start, length))) return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

bool StoredPathOf(const std::string& nativePath, std::string* cp1252Path) {
  if (PlainCodePageName(nativePath, cp1252Path)) return true;
  *cp1252Path = NativePathToCp1252(nativePath);
  // A name from an older system in code-page bytes is found again under its
  // bytes; one with characters the code page lacks is not, and neither is one
  // whose stored spelling another file's name takes first.
  return ResolveCodePagePath(*cp1252Path) == nativePath;
}

TFolderScanResult ScanFolder(const std::string& nativeFolder, const TFolderScanOptions& options,
                             const TFolderScanCallbacks& callbacks) {
  return Walker(options, callbacks).Run(nativeFolder);
}

}  // namespace orvela
