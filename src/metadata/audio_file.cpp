#include "metadata/audio_file.h"

#include <cmath>
#include <cstdint>
#include <istream>
#include <limits>

#include "common/codepage.h"
#include "common/file_name.h"
#include "common/file_open.h"
#include "metadata/cached_file_buffer.h"
#include "metadata/id3v1_tag.h"
#include "metadata/id3v2_tag.h"
#include "metadata/mpeg_info.h"
#include "metadata/tag_source.h"
#include "metadata/tagged_file.h"
#include "metadata/wma_file.h"

namespace orvela {
namespace {

constexpr const char* kUnknownArtist = "Interpret ist unbekannt";
constexpr const char* kUnknownTitle = "Titel ist unbekannt";
constexpr const char* kNoYear = "0000";
constexpr const char* kNoGenre = "n.vorhanden";

enum class Reader { kNone, kMpeg, kWma, kTagged };

Reader ReaderForPath(std::string_view path) {
  const std::string ext = AsciiLower(FileExtension(path));
  if (ext == ".mp3" || ext == ".mp2" || ext == ".mp1") return Reader::kMpeg;
  if (ext == ".wma") return Reader::kWma;
  if (IsTaggedFileExtension(ext)) return Reader::kTagged;
  return Reader::kNone;
}

// Halves go to the even neighbour, whatever the floating-point environment says.
std::int32_t RoundHalfEven(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  double whole = std::floor(seconds);
  const double fraction = seconds - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  if (whole >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (whole <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(whole);
}

std::string FirstNonEmpty(std::string preferred, std::string fallback) {
  return preferred.empty() ? fallback : preferred;
}

}  // namespace

// The record holds only its six values, so the copy is exactly the field copy.
void TAudioFile::Assign(const TAudioFile& source) { *this = source; }

void TAudioFile::LoadFromFile(const std::string& path) {
  try {
    FilePath = path;
    switch (ReaderForPath(path)) {
      case Reader::kMpeg: ReadMpegFile(); break;
      case Reader::kWma: ReadWmaFile(); break;
      case Reader::kTagged: ReadTaggedFile(*this); break;
      case Reader::kNone: SetDefaults(); break;
    }
  } catch (...) {
    SetDefaults();
  }
}

void TAudioFile::LoadFromBuffer(const std::string& path, std::string_view bytes) {
  try {
    FilePath = path;
    TTagSource source = TTagSource::FromMemory(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    switch (ReaderForPath(path)) {
      case Reader::kMpeg: ReadMpegSource(source); break;
      case Reader::kWma: {
        TWMAfile wma;
        const bool opened = wma.ReadFromSource(source);
        StoreWmaResult(opened, wma);
        break;
      }
      case Reader::kTagged: ReadTaggedBuffer(*this, bytes); break;
      case Reader::kNone: SetDefaults(); break;
    }
  } catch (...) {
    SetDefaults();
  }
}

std::string TAudioFile::GetArtist() const { return IsBlank(Artist) ? kUnknownArtist : Artist; }

std::string TAudioFile::GetTitle() const { return IsBlank(Title) ? kUnknownTitle : Title; }

std::string TAudioFile::GetYear() const { return Year.empty() ? kNoYear : Year; }

std::string TAudioFile::GetGenre() const { return Genre.empty() ? kNoGenre : Genre; }

std::string TAudioFile::GetDisplayName() const {
  if (IsBlank(Artist)) return Title;
  return Artist + " - " + Title;
}

void TAudioFile::SetDefaults() {
  Title = std::string(FileNamePart(FilePath));
  // The title text on purpose: the collection then shows "Titel ist unbekannt"
  // under Interpret and the file name under Titel.
  Artist = kUnknownTitle;
  Duration = 0;
  Year = kNoYear;
  Genre = kNoGenre;
}

void TAudioFile::ReadMpegFile() {
  try {
    // One open and one fstat for all three readers, their small reads served
    // from two cached blocks: a small file costs a read of its head and one of
    // its tail. A missing file, a folder or a file we may not read all end in
    // the defaults, as a file with no frame does.
    std::uint64_t size = 0;
    const int fd = OpenRegularCodePageFileForPread(FilePath, &size);
    TCachedFileBuffer buffer(fd, size);
    if (!buffer.IsOpen()) {
      SetDefaults();
      return;
    }
    std::istream stream(&buffer);
    TTagSource source = TTagSource::FromStream(stream);
    ReadMpegSource(source);
  } catch (...) {
    SetDefaults();
  }
}

void TAudioFile::ReadMpegSource(TTagSource& source) {
  TID3v1Tag v1;
  TID3v2Tag v2;
  TMpegInfo mpeg;
  // Result codes are not needed: a missing or damaged tag just has no texts.
  v1.ReadFromSource(source);
  v2.ReadFromSource(source);
  const std::int64_t audioStart = v2.Exists && v2.TagSize > 0 ? v2.TagSize : 0;
  mpeg.ReadFromSource(source, audioStart);
  if (mpeg.FirstHeaderPosition < 0) {
    SetDefaults();  // not MPEG audio: whatever the tags say is ignored
    return;
  }
  Genre = FirstNonEmpty(v2.GetGenre(), v1.GetGenre());
  Year = FirstNonEmpty(v2.GetYear(), v1.GetYear());
  Artist = FirstNonEmpty(v2.GetArtist(), v1.GetArtist());
  Title = v2.GetTitle();
  if (Title.empty()) Title = v1.GetTitle();
  if (Title.empty()) Title = std::string(FileNamePart(FilePath));
  Duration = mpeg.Duration;
}

void TAudioFile::ReadWmaFile() {
  try {
    TWMAfile wma;
    const bool opened = wma.ReadFromFile(Cp1252ToUtf16(FilePath));
    StoreWmaResult(opened, wma);
  } catch (...) {
    SetDefaults();
  }
}

void TAudioFile::StoreWmaResult(bool opened, const TWMAfile& wma) {
  if (!opened) {
    SetDefaults();
    return;
  }
  // A file that is not ASF still lands here, with empty texts and no duration:
  // it keeps its file name as title rather than the defaults. Genre is left as
  // it was.
  Title = wma.Title.empty() ? std::string(FileNamePart(FilePath)) : Utf16ToCp1252(wma.Title);
  Artist = Utf16ToCp1252(wma.Artist);
  Duration = RoundHalfEven(wma.Duration);
  Year = Utf16ToCp1252(wma.Year);
}

}  // namespace orvela
