#pragma once
// A bounded look at a FLAC or Ogg file before TagLib reads it. TagLib reads
// what a file's headers point at in full: a Vorbis comment of 50 MB becomes
// 400 MB of strings, four 16 MB pictures are held at once, a FLAC file's
// "fLaC" or an Ogg file's last page is searched for through a gigabyte of
// anything. The look reads headers only, within fixed bounds, and says how
// TagLib is to see the file: as it is, or as pieces without what is past the
// bounds (a comment rebuilt from its fields of sensible size, pictures left
// out, the file cut where no page follows), or not at all.
#include <cstdint>
#include <string>
#include <vector>

#include "metadata/tag_source.h"
#include "metadata/taglib_file_stream.h"

namespace orvela {

// A comment (Vorbis comment packet, FLAC comment block, ID3v2 tag in FLAC)
// up to this size is read as it is.
inline constexpr std::uint64_t kMaxTagBytesAsTheyAre = std::uint64_t{1} << 20;
// Of a larger comment only fields up to this size are kept, at most this many.
inline constexpr std::uint64_t kMaxKeptFieldBytes = std::uint64_t{64} << 10;
inline constexpr std::size_t kMaxKeptFields = 1000;
// How far behind an ID3v2 tag a FLAC file's "fLaC" is looked for.
inline constexpr std::uint64_t kMaxFlacMarkerSearch = std::uint64_t{1} << 20;
// FLAC metadata TagLib may hold at once; past it only the stream info and the
// comment are shown.
inline constexpr std::uint64_t kMaxFlacMetadataBytes = std::uint64_t{16} << 20;

struct TTaggedFileSurvey {
  bool readable = true;             // false: the file is given up (the defaults)
  std::vector<TStreamPiece> pieces;  // empty: TagLib reads the file as it is
  // The longest playing time the file's size can hold (FLAC); -1: no bound.
  std::int64_t maxMilliseconds = -1;
};

TTaggedFileSurvey SurveyFlac(TTagSource& source);

enum class TOggCodec { kVorbis, kOpus, kFlac };
TTaggedFileSurvey SurveyOgg(TTagSource& source, TOggCodec codec);

// Whether the file at a code-page path, whatever its name, can be handed
// whole to a reader that takes every header at its word (TagLib's own file
// detection, FFmpeg): false for an ID3v2 tag past 4 MiB and for a FLAC, Ogg
// or MP4 file that the looks above would show in pieces or not at all. A file
// that cannot be opened answers true: the reader finds that out itself.
bool FitsReadBounds(const std::string& path);

}  // namespace orvela
