#pragma once
// The 128-byte ID3v1 / ID3v1.1 tag at the end of an MPEG audio file, which the
// audio file record falls back on where the ID3v2 tag has nothing.
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <string_view>

#include "metadata/reader_errors.h"
#include "metadata/tag_source.h"

namespace orvela {

class TID3v1Tag {
 public:
  // Raw code-page bytes. Title, Artist, Album and Comment always hold 30 bytes,
  // not cut at the first zero byte; the getters cut and trim.
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Comment;     // 28 text bytes and two zeros in version 1.1
  std::uint8_t Track = 0;  // version 1.1 only
  std::string Year;        // at most 4 bytes, trailing 0x00..0x20 removed
  std::uint8_t Genre = 0;  // index into ID3Genres
  bool Exists = false;
  bool IsVersion11 = false;

  TID3v1Tag();
  // 30 zero bytes in each text field, 4 in Year; Genre 0 ("Blues").
  void Clear();

  // Each reads the last 128 bytes and answers kTagReadOk, kTagTooShort (fewer
  // than 128 bytes), kTagNotFound (no "TAG"), or kTagError (an unexpected error,
  // reported through ReportReaderError; fields as after Clear). None throws.
  //
  // `stream`: an open, seekable stream of the whole file; its position moves.
  std::uint8_t ReadFromStream(std::istream& stream);
  // Opens the file (code-page path), reads its last 128 bytes, closes it. A file
  // that cannot be opened reads as an empty one.
  std::uint8_t ReadFromFile(const std::string& path);
  // `bytes`: the whole file, or at least its last 128 bytes.
  std::uint8_t ReadFromBuffer(std::span<const std::uint8_t> bytes);
  std::uint8_t ReadFromBuffer(std::string_view bytes);
  // Any source; the one the others share. One read of the last 128 bytes.
  std::uint8_t ReadFromSource(TTagSource& source);

  // Code-page text up to the field's first zero byte, trimmed.
  std::string GetTitle() const;
  std::string GetArtist() const;
  std::string GetYear() const;
  // The genre name for 0..125, empty for 126..255. A file without a tag answers
  // "Blues" (Genre stays 0); the audio file record relies on that.
  std::string GetGenre() const;

 private:
  void Parse(std::span<const std::uint8_t> tag);
};

}  // namespace orvela
