#include "metadata/id3v1_tag.h"

#include <exception>

#include "common/codepage.h"
#include "metadata/id3_genres.h"
#include "metadata/reader_errors.h"

namespace orvela {
namespace {

constexpr std::size_t kTagSize = 128;
constexpr std::size_t kFieldSize = 30;

std::string Field(std::span<const std::uint8_t> tag, std::size_t offset, std::size_t size) {
  return {reinterpret_cast<const char*>(tag.data()) + offset, size};
}

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

TID3v1Tag::TID3v1Tag() { Clear(); }

void TID3v1Tag::Clear() {
  Title.assign(kFieldSize, '\0');
  Artist.assign(kFieldSize, '\0');
  Album.assign(kFieldSize, '\0');
  Comment.assign(kFieldSize, '\0');
  Year.assign(4, '\0');
  Track = 0;
  Genre = 0;
  Exists = false;
  IsVersion11 = false;
}

void TID3v1Tag::Parse(std::span<const std::uint8_t> tag) {
  Exists = true;
  IsVersion11 = tag[125] == 0 && tag[126] != 0;
  // Whole fields: a zero byte inside a field does not end it.
  Title = Field(tag, 3, kFieldSize);
  Artist = Field(tag, 33, kFieldSize);
  Album = Field(tag, 63, kFieldSize);
  Year = Field(tag, 93, 4);
  while (!Year.empty() && IsControlOrBlank(Year.back())) Year.pop_back();
  if (IsVersion11) {
    Comment = Field(tag, 97, 28);
    Comment.append(2, '\0');
    Track = tag[126];
  } else {
    Comment = Field(tag, 97, kFieldSize);
    Track = 0;
  }
  Genre = tag[127];
}

std::uint8_t TID3v1Tag::ReadFromSource(TTagSource& source) {
  Clear();
  const std::uint8_t code = ReportingFailures([&]() -> std::uint8_t {
    if (source.Size() < kTagSize) return kTagTooShort;
    std::vector<std::uint8_t> storage;
    const auto tag = source.ReadAt(source.Size() - kTagSize, kTagSize, storage);
    if (tag.size() < kTagSize) return kTagTooShort;
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G') return kTagNotFound;
    Parse(tag);
    return kTagReadOk;
  });
  if (code == kTagError) Clear();
  return code;
}

std::uint8_t TID3v1Tag::ReadFromBuffer(std::span<const std::uint8_t> bytes) {
  TTagSource source = TTagSource::FromMemory(bytes);
  return ReadFromSource(source);
}

std::uint8_t TID3v1Tag::ReadFromBuffer(std::string_view bytes) {
  return ReadFromBuffer(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    bytes.size()));
}

std::uint8_t TID3v1Tag::ReadFromFile(const std::string& path) {
  Clear();
  return ReportingFailures([&] {
    TTagSource source = TTagSource::OpenFile(path);
    return ReadFromSource(source);
  });
}

std::uint8_t TID3v1Tag::ReadFromStream(std::istream& stream) {
  Clear();
  return ReportingFailures([&] {
    TTagSource source = TTagSource::FromStream(stream);
    return ReadFromSource(source);
  });
}

namespace {

// A field ends at its first zero byte: writers leave whatever their buffer
// held behind it.
std::string FieldText(std::string_view field) { return Trim(field.substr(0, field.find('\0'))); }

}  // namespace

std::string TID3v1Tag::GetTitle() const { return FieldText(Title); }
std::string TID3v1Tag::GetArtist() const { return FieldText(Artist); }
std::string TID3v1Tag::GetYear() const { return FieldText(Year); }

std::string TID3v1Tag::GetGenre() const { return std::string(ID3Genres::Name(Genre)); }

}  // namespace orvela
