#pragma once
// The record of one audio file as the rest of the jukebox sees it: path, artist,
// title, year, genre and playing time. It is the only way anything outside this
// folder learns about an audio file; the tag and stream readers sit behind it.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvela {

class TTagSource;
class TWMAfile;

class TAudioFile {
 public:
  // All text is Windows-1252 bytes. The fields are read and copied directly by the
  // collection builder and the M3U writer, without the substitutes of the getters.
  std::string Genre;
  std::string Year;
  std::string Artist;
  std::string Title;
  std::string FilePath;     // exactly as passed to LoadFromFile
  std::int32_t Duration = 0;  // whole seconds

  TAudioFile() = default;

  // Copies all six fields; nothing is shared between records.
  void Assign(const TAudioFile& source);

  // Fills the record from the file at `path` (code-page text). Never fails and
  // never throws: a file that cannot be read gets the SetDefaults values. Assumes a
  // fresh record (the WMA path leaves Genre as it was).
  void LoadFromFile(const std::string& path);
  // The same with the file's content already in memory: `path` supplies the
  // name and extension only. Runs the very code LoadFromFile runs.
  void LoadFromBuffer(const std::string& path, std::string_view bytes);

  // The stored value, or a German substitute text when there is nothing in it.
  std::string GetArtist() const;  // "Interpret ist unbekannt" when blank
  std::string GetTitle() const;   // "Titel ist unbekannt" when blank
  std::string GetYear() const;    // "0000" when empty
  std::string GetGenre() const;   // "n.vorhanden" when empty

  // Caption of a queue entry: "Artist - Title" (untrimmed fields), or Title alone
  // when the artist is blank.
  std::string GetDisplayName() const;

  // The values of a file that cannot be read: the file name as title.
  void SetDefaults();

  // The two reading paths of LoadFromFile, chosen by the extension. Each reads
  // FilePath; neither throws.
  void ReadMpegFile();
  void ReadWmaFile();

 private:
  void ReadMpegSource(TTagSource& source);
  // `opened` is what the WMA reader answered: false when the header could not be read.
  void StoreWmaResult(bool opened, const TWMAfile& wma);
};

}  // namespace orvela
