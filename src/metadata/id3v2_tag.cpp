#include "metadata/id3v2_tag.h"

#include <algorithm>
#include <array>
#include <exception>
#include <new>

#include "metadata/id3_genres.h"
#include "metadata/reader_errors.h"

namespace orvela {
namespace {

constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kFooterSize = 10;
constexpr std::size_t kExtendedHeaderRead = 6;

// Only the rows the reader looks up are held.
constexpr std::array<TID3v2FrameDescriptionData, 4> kFrameTable = {{
    {kFrameLeadArtist, "TP1", "TPE1", "TPE1",
     "Lead artist(s)/Lead performer(s)/Soloist(s)/Performing group"},
    {kFrameTitle, "TT2", "TIT2", "TIT2", "Title/Songname/Content description"},
    {kFrameYear, "TYE", "TYER", "TDRC", "Year"},
    {kFrameContentType, "TCO", "TCON", "TCON", "Content type"},
}};

// The bytes are taken whole, as the tag's writer put them.
std::uint32_t SyncsafeOr(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 21) | (std::uint32_t{b[1]} << 14) | (std::uint32_t{b[2]} << 7) |
         b[3];
}

constexpr std::size_t kFrameHeaderSize = 10;

// A 2.4 frame size read syncsafe (the bytes taken whole) and plain.
std::uint64_t SyncsafeSizeAt(const std::uint8_t* b) {
  return (std::uint64_t{b[0]} << 21) + (std::uint64_t{b[1]} << 14) + (std::uint64_t{b[2]} << 7) + b[3];
}
std::uint64_t PlainSizeAt(const std::uint8_t* b) {
  return (std::uint64_t{b[0]} << 24) | (std::uint64_t{b[1]} << 16) | (std::uint64_t{b[2]} << 8) | b[3];
}

// Where the zero bytes that run to the end of the area begin (its size when
// the last byte is not zero).
std::size_t TrailingZerosStart(std::span<const std::uint8_t> area) {
  std::size_t end = area.size();
  while (end > 0 && area[end - 1] == 0) --end;
  return end;
}

// Whether a frame that ends at `at` leaves the reader where a tag goes on: a
// frame header (a valid ID and a size, read either way, that fits), padding
// (zero bytes to the end, which begin at `zerosFrom`) or the very end.
bool LandsOnFrameBoundary(std::span<const std::uint8_t> area, std::size_t zerosFrom, std::uint64_t at) {
  if (at > area.size()) return false;
  if (at >= zerosFrom) return true;
  const auto rest = area.subspan(static_cast<std::size_t>(at));
  if (rest.size() < kFrameHeaderSize ||
      !std::all_of(rest.begin(), rest.begin() + 4, TID3v2Frame::IsValidIdChar)) {
    return false;
  }
  const std::uint64_t room = rest.size() - kFrameHeaderSize;
  return SyncsafeSizeAt(&rest[4]) <= room || PlainSizeAt(&rest[4]) <= room;
}

// Some writers put version 2.3's plain 32-bit frame sizes into 2.4 tags. The
// two readings differ only from 256 bytes up; the plain one is taken only when
// the syncsafe one leads into the middle of something and the plain one to a
// boundary, so every tag that reads right syncsafe still does.
bool SizeWrittenPlain(std::span<const std::uint8_t> area, std::size_t zerosFrom, std::size_t pos) {
  if (area.size() - pos < kFrameHeaderSize) return false;
  const std::uint8_t* size = area.data() + pos + 4;
  const std::uint64_t syncsafe = SyncsafeSizeAt(size);
  const std::uint64_t plain = PlainSizeAt(size);
  if (plain == syncsafe) return false;
  const std::uint64_t start = pos + kFrameHeaderSize;
  return !LandsOnFrameBoundary(area, zerosFrom, start + syncsafe) &&
         LandsOnFrameBoundary(area, zerosFrom, start + plain);
}

// Version 2.4 names a genre of the ID3v1 list by its number alone ("17"), one
// value among the others the frame reader joined with " / ".
std::string NamesForBareGenreNumbers(std::string_view joined) {
  constexpr std::string_view kSeparator = " / ";
  std::string out;
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(joined.find(kSeparator, start), joined.size());
    const std::string_view value = joined.substr(start, end - start);
    const bool bare = !value.empty() && value.size() <= 3 &&
                      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::string_view name = bare ? ID3Genres::Name(std::stoi(std::string(value))) : std::string_view();
    out += name.empty() ? value : name;
    if (end == joined.size()) return out;
    out += kSeparator;
    start = end + kSeparator.size();
  }
}

// A tag may claim up to 256 MiB; one past this size is not read whole.
constexpr std::size_t kMaxTagBytesReadWhole = std::size_t{4} << 20;
// Of such a tag only frames up to this size are read (a text is never this
// long; a picture may be, and is of no use here), together no more than the
// above, and no more frames than these are looked at.
constexpr std::size_t kMaxFrameBytesKept = std::size_t{1} << 20;
constexpr std::size_t kMaxFramesLookedAt = 100'000;

// The frames of a large tag, each read by itself, the large ones left out:
// what is kept lies back to back as frames lie in a tag. Reading ends at the
// first byte that opens no frame, or at a frame that runs past the area.
std::vector<std::uint8_t> SmallFramesOf(TTagSource& source, std::uint8_t version, std::uint64_t start,
                                        std::uint64_t end) {
  const std::size_t idLength = version == 2 ? 3 : 4;
  const std::size_t headerLength = version == 2 ? 6 : 10;
  std::vector<std::uint8_t> kept;
  std::vector<std::uint8_t> storage;
  std::uint64_t pos = start;
  for (std::size_t looked = 0; looked < kMaxFramesLookedAt && end - pos >= headerLength; ++looked) {
    const auto header = source.ReadAt(pos, headerLength, storage);
    if (header.size() < headerLength ||
        !std::all_of(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(idLength),
                     TID3v2Frame::IsValidIdChar)) {
      break;
    }
    const std::uint8_t* s = header.data() + idLength;
    const std::uint64_t size = version == 2   ? (std::uint64_t{s[0]} << 16) | (std::uint64_t{s[1]} << 8) | s[2]
                               : version == 3 ? PlainSizeAt(s)
                                              : SyncsafeSizeAt(s);
    if (size > end - pos - headerLength) break;
    if (size <= kMaxFrameBytesKept && kept.size() + headerLength + size <= kMaxTagBytesReadWhole) {
      const std::vector<std::uint8_t> frameHeader(header.begin(), header.end());
      const auto content = source.ReadAt(pos + headerLength, static_cast<std::size_t>(size), storage);
      if (content.size() < size) break;
      kept.insert(kept.end(), frameHeader.begin(), frameHeader.end());
      kept.insert(kept.end(), content.begin(), content.end());
    }
    pos += headerLength + size;
  }
  return kept;
}

std::span<const std::uint8_t> AsBytes(std::string_view bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace

void TID3v2Tag::Clear() { *this = TID3v2Tag(); }

std::span<const TID3v2FrameDescriptionData> TID3v2Tag::FrameDescriptions() { return kFrameTable; }

const TID3v2FrameDescriptionData* TID3v2Tag::FrameDescription(int row) {
  for (const auto& d : kFrameTable) {
    if (d.Row == row) return &d;
  }
  return nullptr;
}

int TID3v2Tag::FindFrame(int row) const {
  const TID3v2FrameDescriptionData* d = FrameDescription(row);
  if (d == nullptr) return -1;
  const std::string_view id = Version == 2 ? d->Id22 : Version == 3 ? d->Id23 : d->Id24;
  for (std::size_t i = 0; i < Frames.size(); ++i) {
    if (Frames[i].FrameId == id) return static_cast<int>(i);
  }
  return -1;
}

std::string TID3v2Tag::GetTitle() const {
  const int i = FindFrame(kFrameTitle);
  return i < 0 ? std::string() : Frames[static_cast<std::size_t>(i)].GetText();
}

std::string TID3v2Tag::GetArtist() const {
  const int i = FindFrame(kFrameLeadArtist);
  return i < 0 ? std::string() : Frames[static_cast<std::size_t>(i)].GetText();
}

std::string TID3v2Tag::GetYear() const {
  const int i = FindFrame(kFrameYear);
  return i < 0 ? std::string() : Frames[static_cast<std::size_t>(i)].GetText();
}

std::string TID3v2Tag::GetGenre() const {
  const int i = FindFrame(kFrameContentType);
  if (i < 0) return {};
  std::string genre = GenreFromText(Frames[static_cast<std::size_t>(i)].GetText());
  return Version == 4 ? NamesForBareGenreNumbers(genre) : genre;
}

std::uint8_t TID3v2Tag::ReadHeader(std::span<const std::uint8_t> bytes, std::size_t* framesStart) {
  Clear();
  if (bytes.size() < kHeaderSize) return kTagTooShort;
  if (bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return kTagNotFound;
  const std::uint8_t major = bytes[3];
  if (major < 2 || major > 4) return kTagBadVersion;

  TagSize = static_cast<std::int32_t>(SyncsafeOr(&bytes[6]) + kHeaderSize);
  Exists = true;
  const std::uint8_t flags = bytes[5];
  Unsynchronised = (flags & 0x80) != 0;
  if (major == 2) {
    Compressed = (flags & 0x40) != 0;
    UndefinedFlags = (flags & 0x3F) != 0;
  } else {
    ExtendedHeader = (flags & 0x40) != 0;
    Experimental = (flags & 0x20) != 0;
    if (major == 3) {
      UndefinedFlags = (flags & 0x1F) != 0;
    } else {
      HasFooter = (flags & 0x10) != 0;
      UndefinedFlags = (flags & 0x0F) != 0;
      if (HasFooter) TagSize += static_cast<std::int32_t>(kFooterSize);
    }
  }
  Version = major;
  Revision = bytes[4];

  std::size_t start = kHeaderSize;
  if (ExtendedHeader) {
    if (bytes.size() < kHeaderSize + kExtendedHeaderRead) {
      // The file ends inside the extended header: there is no frame to read.
      start = bytes.size();
    } else {
      const std::uint8_t* ext = &bytes[kHeaderSize];
      std::uint64_t extSize = 0;
      if (major == 4) {
        extSize = SyncsafeOr(ext);
      } else {
        extSize = ((std::uint64_t{ext[0]} << 24) | (std::uint64_t{ext[1]} << 16) |
                   (std::uint64_t{ext[2]} << 8) | ext[3]) + 4;
      }
      // Never step back into the part already read.
      extSize = std::max<std::uint64_t>(extSize, kExtendedHeaderRead);
      start = static_cast<std::size_t>(
          std::min<std::uint64_t>(kHeaderSize + extSize, static_cast<std::uint64_t>(TagSize)));
    }
  }
  if (framesStart != nullptr) *framesStart = start;
  return Version == 2 && Compressed ? kTagCompressed : kTagReadOk;
}

void TID3v2Tag::ReadFrames(std::span<const std::uint8_t> area, std::size_t areaClaimedSize) {
  Frames.clear();
  const std::size_t idLength = Version == 2 ? 3 : 4;
  std::size_t pos = 0;
  const std::size_t zerosFrom = Version == 4 ? TrailingZerosStart(area) : area.size();
  try {
    while (pos < area.size()) {
      const std::size_t available = std::min(idLength, area.size() - pos);
      const std::span<const std::uint8_t> id = area.subspan(pos, available);
      if (!std::all_of(id.begin(), id.end(), TID3v2Frame::IsValidIdChar)) {
        PaddingSize = static_cast<std::int32_t>(areaClaimedSize - pos);
        return;
      }
      if (available < idLength) return;  // cut off inside an ID
      TID3v2Frame frame(std::string_view(reinterpret_cast<const char*>(id.data()), idLength),
                        Version);
      std::size_t next = pos + idLength;
      const bool plainSize = Version == 4 && SizeWrittenPlain(area, zerosFrom, pos);
      if (!frame.ReadFromBuffer(area, next, plainSize)) return;  // cut off: keep what was read
      Frames.push_back(std::move(frame));
      pos = next;
    }
  } catch (const std::exception& e) {
    ReportReaderError(e.what());
  } catch (...) {
    ReportReaderError("Unknown error");
  }
}

std::uint8_t TID3v2Tag::ReadFromSource(TTagSource& source) {
  Clear();
  std::vector<std::uint8_t> headerStorage;
  std::vector<std::uint8_t> bodyStorage;
  std::size_t framesStart = 0;
  // The header and the first bytes of an extended header in one read; then
  // the frames in a second one.
  const std::uint8_t code = ReportingFailures([&] {
    const std::span<const std::uint8_t> first =
        source.ReadAt(0, kHeaderSize + kExtendedHeaderRead, headerStorage);
    return ReadHeader(first, &framesStart);
  });
  if (code != kTagReadOk) return code;

  try {
    // The frames end where the footer begins; a frame may not reach into it or
    // behind the tag into the audio data.
    const std::size_t framesEnd =
        static_cast<std::size_t>(TagSize) - (HasFooter ? kFooterSize : 0);
    if (framesStart >= framesEnd) return code;
    const bool wholeTagUnsynchronised = Unsynchronised && Version != 4;
    if (framesEnd - framesStart > kMaxTagBytesReadWhole) {
      if (wholeTagUnsynchronised) {
        // Frame borders lie in the restored bytes only: the first part alone.
        const auto first = source.ReadAt(framesStart, kMaxTagBytesReadWhole, bodyStorage);
        const std::vector<std::uint8_t> plain = RemoveUnsynchronisation(first);
        ReadFrames(plain, plain.size());
      } else {
        const std::vector<std::uint8_t> small = SmallFramesOf(source, Version, framesStart, framesEnd);
        ReadFrames(small, small.size());
      }
      return code;
    }
    const auto area = source.ReadAt(framesStart, framesEnd - framesStart, bodyStorage);
    if (wholeTagUnsynchronised) {
      const std::vector<std::uint8_t> plain = RemoveUnsynchronisation(area);
      ReadFrames(plain, plain.size());
    } else {
      ReadFrames(area, framesEnd - framesStart);
    }
  } catch (const std::bad_alloc& e) {
    ReportReaderError(e.what());
  } catch (...) {
    // A failing read of the frames leaves the tag without them, silently.
  }
  return code;
}

std::uint8_t TID3v2Tag::ReadFromBuffer(std::span<const std::uint8_t> bytes) {
  TTagSource source = TTagSource::FromMemory(bytes);
  return ReadFromSource(source);
}

std::uint8_t TID3v2Tag::ReadFromBuffer(std::string_view bytes) {
  return ReadFromBuffer(AsBytes(bytes));
}

std::uint8_t TID3v2Tag::ReadFromFile(const std::string& path) {
  Clear();
  return ReportingFailures([&] {
    TTagSource source = TTagSource::OpenFile(path);
    return ReadFromSource(source);
  });
}

std::uint8_t TID3v2Tag::ReadFromStream(std::istream& stream) {
  Clear();
  return ReportingFailures([&] {
    TTagSource source = TTagSource::FromStream(stream);
    return ReadFromSource(source);
  });
}

}  // namespace orvela
