#include "covers/cover_store.h"

#include <QBuffer>
#include <QByteArray>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_open.h"
#include "covers/cover_picture.h"

namespace orvela {
namespace {

constexpr std::string_view kMagic = "ORVCOV1\n";

std::uint64_t Fnv1a64(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::uint32_t Fnv1a32(std::string_view bytes) {
  std::uint32_t hash = 0x811c9dc5u;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x01000193u;
  }
  return hash;
}

std::int64_t MtimeNs(const struct stat& info) {
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}
void PutI64(std::string& out, std::int64_t value) {
  const auto u = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xff));
}
void PutText(std::string& out, std::string_view text) {
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

// Every read checks what is left first; a failed read leaves ok false for good.
class TEntryReader {
 public:
  explicit TEntryReader(std::string_view bytes) : rest_(bytes) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return rest_.empty(); }
  std::uint32_t U32() {
    const std::string_view b = Take(4);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < b.size(); ++i) value |= std::uint32_t{static_cast<unsigned char>(b[i])} << (8 * i);
    return value;
  }
  std::int64_t I64() {
    const std::string_view b = Take(8);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < b.size(); ++i) value |= std::uint64_t{static_cast<unsigned char>(b[i])} << (8 * i);
    return static_cast<std::int64_t>(value);
  }
  std::string_view Text() { return Take(U32()); }
  std::string_view Take(std::size_t count) {
    if (!ok_ || count > rest_.size()) {
      ok_ = false;
      return {};
    }
    const std::string_view taken = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return taken;
  }

 private:
  std::string_view rest_;
  bool ok_ = true;
};

std::string Hex(std::uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 0xf];
  return text;
}

// A folder of the cache, not a link to one elsewhere.
bool IsRealFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::optional<TCoverEntry> ParseCoverEntry(std::string_view bytes) {
  if (bytes.size() < kMagic.size() + 4) return std::nullopt;
  const std::string_view body = bytes.substr(0, bytes.size() - 4);
  TEntryReader sum(bytes.substr(body.size()));
  if (sum.U32() != Fnv1a32(body)) return std::nullopt;
  TEntryReader in(body);
  if (in.Take(kMagic.size()) != kMagic) return std::nullopt;
  TCoverEntry entry;
  entry.path = in.Text();
  entry.stamp.audioSize = in.I64();
  entry.stamp.audioMtimeNs = in.I64();
  entry.stamp.folderMtimeNs = in.I64();
  entry.stamp.pictureSize = in.I64();
  entry.stamp.pictureMtimeNs = in.I64();
  entry.pictureFile = in.Text();
  entry.jpeg = in.Text();
  if (!in.Ok() || !in.AtEnd()) return std::nullopt;
  return entry;
}

std::string FormatCoverEntry(const TCoverEntry& entry) {
  std::string out(kMagic);
  PutText(out, entry.path);
  PutI64(out, entry.stamp.audioSize);
  PutI64(out, entry.stamp.audioMtimeNs);
  PutI64(out, entry.stamp.folderMtimeNs);
  PutI64(out, entry.stamp.pictureSize);
  PutI64(out, entry.stamp.pictureMtimeNs);
  PutText(out, entry.pictureFile);
  PutText(out, entry.jpeg);
  PutU32(out, Fnv1a32(out));
  return out;
}

TCoverStore::TCoverStore(std::string programDir, int pixels) : pixels_(pixels) {
  if (!programDir.empty()) {
    if (programDir.back() != '/') programDir.push_back('/');
    folder_ = programDir + kFolderName + "/";
  }
}

std::string TCoverStore::EntryPath(const std::string& codePagePath) const {
  const std::uint64_t hash = Fnv1a64(codePagePath);
  return folder_ + Hex(hash >> 56, 2) + "/" + Hex(hash, 16);
}

std::optional<TCoverStamp> TCoverStore::StampOf(const std::string& nativeAudioPath, const std::string& pictureFile) {
  struct stat info {};
  if (::stat(nativeAudioPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  TCoverStamp stamp;
  stamp.audioSize = info.st_size;
  stamp.audioMtimeNs = MtimeNs(info);
  const std::size_t slash = nativeAudioPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : nativeAudioPath.substr(0, slash + 1);
  if (::stat(folder.c_str(), &info) == 0) stamp.folderMtimeNs = MtimeNs(info);
  if (!pictureFile.empty() && ::stat(pictureFile.c_str(), &info) == 0) {
    stamp.pictureSize = info.st_size;
    stamp.pictureMtimeNs = MtimeNs(info);
  }
  return stamp;
}

std::optional<TCoverThumbnail> TCoverStore::Fetch(const std::string& codePagePath) const {
  const std::string native = ResolveCodePagePath(codePagePath);
  // Taken before reading: a file changed while it is read is read again next time.
  const std::optional<TCoverStamp> before = StampOf(native, {});
  if (!before) return std::nullopt;
  const std::string entry = folder_.empty() ? std::string() : EntryPath(codePagePath);
  if (!entry.empty()) {
    if (std::optional<TCoverThumbnail> kept = Load(entry, codePagePath, native)) return kept;
  }
  TCoverThumbnail fresh;
  const TFoundPicture found = FindCoverPicture(native, &fresh.image, pixels_);
  TCoverStamp stamp = *before;
  if (found.source == TCoverSource::kFolderFile) {
    if (const std::optional<TCoverStamp> picture = StampOf(native, found.folderFile)) {
      stamp.pictureSize = picture->pictureSize;
      stamp.pictureMtimeNs = picture->pictureMtimeNs;
    }
  }
  if (!entry.empty()) fresh.stored = Save(entry, codePagePath, stamp, found.folderFile, fresh.image);
  return fresh;
}

std::optional<TCoverThumbnail> TCoverStore::Load(const std::string& entryPath, const std::string& codePagePath,
                                                 const std::string& nativeAudioPath) const {
  const std::size_t slash = entryPath.rfind('/');
  if (!IsRealFolder(folder_) || !IsRealFolder(entryPath.substr(0, slash + 1))) return std::nullopt;
  const std::optional<std::string> bytes = ReadOwnFile(entryPath, kMaxEntryBytes);
  if (!bytes) return std::nullopt;
  const std::optional<TCoverEntry> entry = ParseCoverEntry(*bytes);
  if (!entry || entry->path != codePagePath) return std::nullopt;
  const std::optional<TCoverStamp> now = StampOf(nativeAudioPath, entry->pictureFile);
  if (!now || !(*now == entry->stamp)) return std::nullopt;
  TCoverThumbnail thumbnail;
  thumbnail.fromDisk = true;
  if (!entry->jpeg.empty()) {
    thumbnail.image = DecodeThumbnail(entry->jpeg, pixels_);
    if (thumbnail.image.isNull()) return std::nullopt;
  }
  return thumbnail;
}

bool TCoverStore::Save(const std::string& entryPath, const std::string& codePagePath, const TCoverStamp& stamp,
                       const std::string& pictureFile, const QImage& image) const {
  QByteArray jpeg;
  if (!image.isNull()) {
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 85)) return false;
  }
  TCoverEntry entry;
  entry.path = codePagePath;
  entry.stamp = stamp;
  entry.pictureFile = pictureFile;
  entry.jpeg.assign(jpeg.constData(), static_cast<std::size_t>(jpeg.size()));
  const std::string out = FormatCoverEntry(entry);
  if (out.size() > kMaxEntryBytes) return false;
  const std::size_t slash = entryPath.rfind('/');
  if (!EnsureFolder(folder_) || !EnsureFolder(entryPath.substr(0, slash + 1))) return false;
  // A cache that cannot be written (a full disk, a read-only folder) only
  // means reading the title again next time.
  return WriteOwnFile(entryPath, out);
}

bool TCoverStore::EnsureFolder(const std::string& folder) const {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  // Another worker made it meanwhile.
  return errno == EEXIST && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace orvela
