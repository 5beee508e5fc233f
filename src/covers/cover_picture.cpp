#include "covers/cover_picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <dirent.h>
#include <sys/stat.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <array>
#include <memory>
#include <optional>

#include "common/atomic_file.h"
#include "common/codepage.h"
#include "common/file_name.h"
#include "common/file_open.h"
#include "metadata/taglib_file_stream.h"

namespace orvela {
namespace {

// TagLib reads a tag or an atom as one block of the size its header declares.
// A file that declares a gigabyte would have it allocated; this stream refuses
// reads beyond a total, and TagLib takes the refusal for a truncated file.
constexpr unsigned long kTagLibReadBudget = 2 * kCoverMaxBytes + (std::size_t{4} << 20);

class TBoundedStream final : public TagLib::IOStream {
 public:
  explicit TBoundedStream(int fd) : file_(fd) {}
  TagLib::FileName name() const override { return file_.name(); }
  TagLib::ByteVector readBlock(unsigned long length) override {
    if (length > kTagLibReadBudget - used_) {
      used_ = kTagLibReadBudget;
      return {};
    }
    used_ += length;
    return file_.readBlock(length);
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return file_.isOpen(); }
  void seek(long offset, Position p) override { file_.seek(offset, p); }
  void clear() override { file_.clear(); }
  long tell() const override { return file_.tell(); }
  long length() override { return file_.length(); }
  void truncate(long) override {}

 private:
  TTagLibFileStream file_;
  unsigned long used_ = 0;
};

class QuietDebugListener : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib() {
  static QuietDebugListener listener;
  static const bool set = (TagLib::setDebugListener(&listener), true);
  (void)set;
}

std::string Bytes(const TagLib::ByteVector& data) {
  if (data.isEmpty() || data.size() > kCoverMaxBytes) return {};
  return std::string(data.data(), data.size());
}

// Front cover first, else the first picture that is within the limit.
template <typename List, typename IsFront, typename DataOf>
std::string Choose(const List& pictures, IsFront isFront, DataOf dataOf) {
  for (const auto& picture : pictures) {
    if (isFront(picture)) {
      std::string bytes = Bytes(dataOf(picture));
      if (!bytes.empty()) return bytes;
    }
  }
  for (const auto& picture : pictures) {
    std::string bytes = Bytes(dataOf(picture));
    if (!bytes.empty()) return bytes;
  }
  return {};
}

std::string FromId3v2(TagLib::ID3v2::Tag* tag) {
  if (tag == nullptr) return {};
  const TagLib::ID3v2::FrameList& frames = tag->frameListMap()["APIC"];
  std::vector<const TagLib::ID3v2::AttachedPictureFrame*> pictures;
  for (const TagLib::ID3v2::Frame* frame : frames) {
    const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
    // "-->": the frame names a picture elsewhere (a URL) instead of holding one.
    if (picture != nullptr && picture->mimeType() != "-->") pictures.push_back(picture);
  }
  return Choose(
      pictures, [](const auto* p) { return p->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover; },
      [](const auto* p) { return p->picture(); });
}

std::string FromFlacPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
  return Choose(
      pictures, [](const TagLib::FLAC::Picture* p) { return p->type() == TagLib::FLAC::Picture::FrontCover; },
      [](const TagLib::FLAC::Picture* p) { return p->data(); });
}

template <typename File>
std::string FromXiphFile(TagLib::IOStream& stream) {
  File file(&stream, false);
  if (!file.isValid() || file.tag() == nullptr) return {};
  return FromFlacPictures(file.tag()->pictureList());
}

enum class Kind { kNone, kMpeg, kFlac, kOgg, kMp4 };

Kind KindOf(std::string_view lowerExtension) {
  if (lowerExtension == ".mp3" || lowerExtension == ".mp2" || lowerExtension == ".mp1") return Kind::kMpeg;
  if (lowerExtension == ".flac") return Kind::kFlac;
  if (lowerExtension == ".ogg" || lowerExtension == ".oga" || lowerExtension == ".opus") return Kind::kOgg;
  if (lowerExtension == ".m4a" || lowerExtension == ".mp4" || lowerExtension == ".aac") return Kind::kMp4;
  return Kind::kNone;
}

std::string FromStream(Kind kind, TagLib::IOStream& stream) {
  switch (kind) {
    case Kind::kMpeg: {
      TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
      if (!file.isValid()) return {};
      return FromId3v2(file.ID3v2Tag(false));
    }
    case Kind::kFlac: {
      TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
      if (!file.isValid()) return {};
      std::string bytes = FromFlacPictures(file.pictureList());
      if (bytes.empty() && file.hasXiphComment()) bytes = FromFlacPictures(file.xiphComment()->pictureList());
      return bytes;
    }
    case Kind::kOgg:
      // The extension names the container; what it carries is told by its first page.
      if (TagLib::Ogg::Vorbis::File::isSupported(&stream)) return FromXiphFile<TagLib::Ogg::Vorbis::File>(stream);
      if (TagLib::Ogg::Opus::File::isSupported(&stream)) return FromXiphFile<TagLib::Ogg::Opus::File>(stream);
      if (TagLib::Ogg::FLAC::File::isSupported(&stream)) return FromXiphFile<TagLib::Ogg::FLAC::File>(stream);
      return {};
    case Kind::kMp4: {
      TagLib::MP4::File file(&stream, false);
      if (!file.isValid() || file.tag() == nullptr || !file.tag()->contains("covr")) return {};
      const TagLib::MP4::CoverArtList covers = file.tag()->item("covr").toCoverArtList();
      // MP4 has no picture types: the first is the cover.
      for (const TagLib::MP4::CoverArt& cover : covers) {
        std::string bytes = Bytes(cover.data());
        if (!bytes.empty()) return bytes;
      }
      return {};
    }
    case Kind::kNone: break;
  }
  return {};
}

bool IsRegularPicture(const std::string& nativePath) {
  struct stat info {};
  return ::stat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string EmbeddedPicture(const std::string& nativeAudioPath) {
  const Kind kind = KindOf(AsciiLower(FileExtension(nativeAudioPath)));
  if (kind == Kind::kNone) return {};
  try {
    SilenceTagLib();
    const int fd = OpenRegularFileForReading(nativeAudioPath);
    if (fd < 0) return {};
    TBoundedStream stream(fd);
    return FromStream(kind, stream);
  } catch (...) {
    // A failed allocation inside TagLib on a hostile file: no cover, not a crash.
    return {};
  }
}

std::string FolderPictureFile(const std::string& nativeFolder) {
  static constexpr std::array<std::string_view, 3> kNames = {"cover", "folder", "front"};
  static constexpr std::array<std::string_view, 3> kExtensions = {".jpg", ".jpeg", ".png"};
  DIR* dir = ::opendir(nativeFolder.empty() ? "." : nativeFolder.c_str());
  if (dir == nullptr) return {};
  // Rank: name first, then extension; lower is better.
  std::size_t bestRank = kNames.size() * kExtensions.size();
  std::string best;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string lower = AsciiLower(entry->d_name);
    for (std::size_t n = 0; n < kNames.size(); ++n) {
      for (std::size_t e = 0; e < kExtensions.size(); ++e) {
        const std::size_t rank = n * kExtensions.size() + e;
        if (rank >= bestRank || lower.size() != kNames[n].size() + kExtensions[e].size()) continue;
        if (lower.compare(0, kNames[n].size(), kNames[n]) != 0) continue;
        if (lower.compare(kNames[n].size(), std::string::npos, kExtensions[e]) != 0) continue;
        const std::string path = nativeFolder + entry->d_name;
        if (!IsRegularPicture(path)) continue;
        bestRank = rank;
        best = path;
      }
    }
  }
  ::closedir(dir);
  return best;
}

TFoundPicture FindCoverPicture(const std::string& nativeAudioPath, QImage* thumbnail, int pixels) {
  TFoundPicture found;
  std::string embedded = EmbeddedPicture(nativeAudioPath);
  if (!embedded.empty()) {
    QImage image = DecodeThumbnail(embedded, pixels);
    if (!image.isNull()) {
      found.source = TCoverSource::kEmbedded;
      found.bytes = std::move(embedded);
      *thumbnail = std::move(image);
      return found;
    }
  }
  const std::size_t slash = nativeAudioPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : nativeAudioPath.substr(0, slash + 1);
  const std::string file = FolderPictureFile(folder);
  if (!file.empty()) {
    std::optional<std::string> bytes = ReadWholeFile(file, kCoverMaxBytes);
    if (bytes) {
      QImage image = DecodeThumbnail(*bytes, pixels);
      if (!image.isNull()) {
        found.source = TCoverSource::kFolderFile;
        found.bytes = std::move(*bytes);
        found.folderFile = file;
        *thumbnail = std::move(image);
        return found;
      }
    }
  }
  *thumbnail = QImage();
  return found;
}

QImage DecodeThumbnail(std::string_view bytes, int pixels) {
  if (bytes.empty() || bytes.size() > kCoverMaxBytes || pixels <= 0) return {};
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format();
  if (format != "jpeg" && format != "png") return {};
  const QSize declared = reader.size();
  if (!declared.isValid() || declared.width() > kCoverMaxSide || declared.height() > kCoverMaxSide) return {};
  // A JPEG decodes straight at a fraction of its size, which is most of the
  // time a large cover costs; twice the thumbnail leaves the last step smooth.
  const QSize fit = declared.scaled(2 * pixels, 2 * pixels, Qt::KeepAspectRatio);
  if (fit.width() < declared.width() && !fit.isEmpty()) reader.setScaledSize(fit);
  QImage image;
  if (!reader.read(&image) || image.isNull()) return {};
  if (image.width() > pixels || image.height() > pixels) {
    image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  if (image.hasAlphaChannel()) {
    // Transparent parts show on the screen's dark background.
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque;
  }
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace orvela
