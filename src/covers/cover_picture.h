#pragma once
// Finding a title's cover picture and making a thumbnail of it. The picture
// embedded in the audio file comes first (read through TagLib), else a cover
// file in the title's folder. Pictures are decoded by Qt's image readers, and
// only JPEG and PNG; anything larger than the limits below is not decoded at
// all, whatever its file claims.
#include <QImage>

#include <cstddef>
#include <string>
#include <string_view>

namespace orvela {

// A picture's encoded bytes and its declared size are checked before decoding.
inline constexpr std::size_t kCoverMaxBytes = std::size_t{20} << 20;
inline constexpr int kCoverMaxSide = 8000;

enum class TCoverSource { kNone, kEmbedded, kFolderFile };

struct TFoundPicture {
  TCoverSource source = TCoverSource::kNone;
  std::string bytes;       // the encoded picture (within kCoverMaxBytes)
  std::string folderFile;  // kFolderFile: its native path
};

// The embedded front cover (else the first picture) of the audio file at its
// native path: ID3v2 APIC, FLAC PICTURE, Vorbis/Opus METADATA_BLOCK_PICTURE, MP4
// covr. Empty when it has none, or none within kCoverMaxBytes. TagLib reads at
// most a bounded number of bytes of the file on the way.
std::string EmbeddedPicture(const std::string& nativeAudioPath);

// The cover file of a native folder (ending in "/"): cover, folder or front
// with .jpg, .jpeg or .png in any letter case, in that order of preference.
// Its native path, or empty.
std::string FolderPictureFile(const std::string& nativeFolder);

// What the audio file shows: its embedded picture, else its folder's file.
// A picture that does not decode counts as none, so the next one is tried.
TFoundPicture FindCoverPicture(const std::string& nativeAudioPath, QImage* thumbnail, int pixels);

// The picture scaled to fit a square of `pixels` (aspect kept, never enlarged),
// opaque (RGB32). Null when the bytes are not a JPEG or PNG, are larger than
// kCoverMaxBytes, declare a side above kCoverMaxSide, or do not decode.
QImage DecodeThumbnail(std::string_view bytes, int pixels);

}  // namespace orvela
