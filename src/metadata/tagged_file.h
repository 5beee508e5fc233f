#pragma once
// FLAC, Ogg (Vorbis, Opus, FLAC in Ogg) and MP4 audio (AAC, ALAC) files, read
// through TagLib. MP3 and WMA keep the jukebox's own readers; these formats
// came with music bought or ripped later, and their containers are TagLib's
// home ground.
//
// A file is answered the way an MP3 is: a file TagLib accepts gives its tags,
// each missing one as an MP3 without it (the file name as title, artist and
// year empty, the genre "Blues" of an absent ID3v1 tag), and its length; a
// file that is not of its kind at all, or cannot be opened, gets the defaults
// of a file that cannot be read.
#include <string>
#include <string_view>

namespace orvela {

class TAudioFile;

// Whether the (lower-case, dot included) extension is one of these formats.
bool IsTaggedFileExtension(std::string_view lowerExtension);

// Fills `record` from the file at its FilePath (code-page text). Opens a regular
// file only, never waits, never throws.
void ReadTaggedFile(TAudioFile& record);
// The same from bytes in memory; the extension of FilePath picks the format.
void ReadTaggedBuffer(TAudioFile& record, std::string_view bytes);

// The year of a date text: the first four digits of its first run of at least
// four digits ("1993-06-07", "07.06.1993", "20190101"); "" without one.
std::string YearOfDate(std::string_view date);

}  // namespace orvela
