#pragma once
// The ID3v2 tag (versions 2.2, 2.3, 2.4) at the start of an MPEG audio file:
// frames in file order and the four texts the collection needs.
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/id3v2_frame.h"
#include "metadata/reader_errors.h"
#include "metadata/tag_source.h"

namespace orvela {

// One row of the frame ID table: the ID of one kind of frame per version.
struct TID3v2FrameDescriptionData {
  int Row;
  std::string_view Id22;
  std::string_view Id23;
  std::string_view Id24;
  std::string_view Description;
};

// The rows the reader looks up.
inline constexpr int kFrameLeadArtist = 2;
inline constexpr int kFrameTitle = 3;
inline constexpr int kFrameYear = 5;
inline constexpr int kFrameContentType = 6;

class TID3v2Tag {
 public:
  std::vector<TID3v2Frame> Frames;  // in file order
  bool Exists = false;              // a tag of version 2, 3 or 4 was found
  std::uint8_t Version = 3;
  std::uint8_t Revision = 0;
  bool Unsynchronised = false;
  bool Compressed = false;          // version 2.2 only
  bool ExtendedHeader = false;      // versions 2.3, 2.4
  bool Experimental = false;        // versions 2.3, 2.4
  bool HasFooter = false;           // version 2.4
  bool UndefinedFlags = false;
  std::int32_t PaddingSize = 0;     // bytes behind the last frame up to the end of the tag
  std::int32_t TagSize = 0;         // header + size field (+ footer): where the audio begins

  TID3v2Tag() = default;
  void Clear();

  // Each reads the tag at offset 0 and answers the ReadHeader code (kTagReadOk,
  // kTagTooShort, kTagNotFound, kTagBadVersion, kTagCompressed, kTagError); most
  // callers ignore it and look at Exists and the getters. None throws.
  //
  // `stream`: an open, seekable stream of the whole file. Its position is left
  // somewhere inside or after the tag; the caller repositions it.
  std::uint8_t ReadFromStream(std::istream& stream);
  // Opens the file (code-page path), reads the header and then the tag's bytes,
  // closes it. A file that cannot be opened reads as an empty one.
  std::uint8_t ReadFromFile(const std::string& path);
  // `bytes`: the file, or at least its beginning; nothing is copied but frames.
  std::uint8_t ReadFromBuffer(std::span<const std::uint8_t> bytes);
  std::uint8_t ReadFromBuffer(std::string_view bytes);
  // Any source; the one the others share. Reads the 10-byte header first, then
  // exactly the tag's bytes (as far as the source holds them).
  std::uint8_t ReadFromSource(TTagSource& source);

  // Windows-1252 text of the title, lead artist, year and content-type frame of
  // the tag's version; empty when missing or not Valid. The genre has numeric
  // references turned into names (GenreFromText).
  std::string GetTitle() const;
  std::string GetArtist() const;
  std::string GetYear() const;
  std::string GetGenre() const;

  // Index in Frames of the first frame whose ID is the row's ID for Version, or -1.
  int FindFrame(int row) const;

  // The table rows that exist, and the one for `row` (nullptr when unknown).
  static std::span<const TID3v2FrameDescriptionData> FrameDescriptions();
  static const TID3v2FrameDescriptionData* FrameDescription(int row);

  // Clears the tag and parses the 10-byte header (and the extended header's
  // size) from the first bytes of the file. Sets Exists, TagSize, Version, Revision and the flags;
  // *framesStart (if given) receives the offset of the first frame.
  std::uint8_t ReadHeader(std::span<const std::uint8_t> bytes, std::size_t* framesStart = nullptr);

 private:
  void ReadFrames(std::span<const std::uint8_t> area, std::size_t areaClaimedSize);
};

}  // namespace orvela
