#pragma once
// The demo collection: a dozen short synthesised MP3 titles with German tags,
// and the collection file built from them the way the collection builder does,
// so a fresh program folder shows music at once.
#include <cstdint>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "collection/title_record.h"
#include "metadata/audio_file.h"

namespace orvela::demo {

// One title of the demo. Text is UTF-8 (it goes into tags and file names).
struct DemoTrack {
  const char* artist;
  const char* title;
  const char* genre;
  const char* year;
  int seconds;     // playing time
  int rootMidi;    // key of the tune
  int bpm;
  int waveform;    // Waveform of the melody voice
  int scale;       // 0 major, 1 minor, 2 pentatonic, 3 blues
  int id3Version;  // 3 or 4
  bool vbr;        // VBR with a Xing frame, else CBR without one
  bool id3v1;      // an ID3v1 tag at the end as well
};

const std::vector<DemoTrack>& DemoTracks();

// The collection builder's own record, under the names the demo's callers know.
using orvela::AppendTitleRecord;
using orvela::FormatDauer;

// File name of a track inside the demo folder ("01 - Artist - Title.mp3", UTF-8).
std::string DemoFileName(std::size_t index);

// Synthesises and writes track `index` (tags included) to nativePath.
bool WriteDemoTrack(std::size_t index, const std::string& nativePath, std::string* error);

struct DemoResult {
  int written = 0;      // MP3 files written (those already there are kept)
  int appended = 0;     // title records added to the collection
  std::string collectionFile;
};

// Writes the tracks into <folder>/Demo/ and adds one title record per track to
// <folder>/Musikliste.xml (created when missing). An existing collection keeps
// its rows; titles whose path it already holds are not added twice, and demo
// files already in the folder are not made again. A collection
// file that exists but cannot be read is left alone and the answer is false.
bool WriteDemoCollection(const std::string& nativeFolder, DemoResult* result,
                         std::string* error);

}  // namespace orvela::demo
