// The demo titles: invented artists, little tunes, real tags, and the collection
// file made from them exactly as a folder scan would make it.
#include "demo/demo_collection.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "collection/table_error.h"
#include "common/atomic_file.h"
#include "common/codepage.h"
#include "demo/tone_encoder.h"

namespace orvela::demo {
namespace {

namespace fs = std::filesystem;

// Names made up for the demo; umlauts, an apostrophe and an ampersand on purpose,
// since those are what trips up tag readers and the collection file.
const std::vector<DemoTrack> kTracks = {
    {"Die Glühwürmchen-Kapelle", "Sommernacht am Baggersee", "Schlager", "1978", 24, 67, 120, 0, 0, 3, false, true},
    {"Käpt'n Möhre", "Ahoi, Frau Müller!", "Pop", "1985", 31, 64, 132, 2, 0, 4, true, false},
    {"Brötchen & Söhne", "Frühstück um drei", "Rock", "1992", 28, 57, 140, 1, 2, 3, false, false},
    {"Schönwetterfront", "Regenbogen über Köln", "Pop", "2003", 35, 72, 100, 0, 0, 4, false, true},
    {"Die Ölwechsler", "Vollgas im Rückwärtsgang", "Punk", "1981", 22, 52, 176, 3, 1, 3, true, false},
    {"Tante Käthe und die Schnürsenkel", "Walzer für Übermorgen", "Volksmusik", "1969", 38, 65, 90, 2, 0, 3, false, false},
    {"Hüttenzauber Trio", "Jodeln im Großraumbüro", "Volksmusik", "1996", 26, 69, 116, 0, 0, 4, false, false},
    {"Nordlicht Express", "Polarkreis-Boogie", "Blues", "1974", 33, 55, 108, 1, 3, 4, true, true},
    {"Die Überflieger", "Höhenangst", "Rock", "2011", 30, 60, 150, 3, 1, 3, false, false},
    {"Jörg Strähle", "Späte Grüße aus Südtirol", "Schlager", "1988", 40, 62, 96, 2, 0, 3, false, false},
    {"Mühlbach Quartett", "Nachtcafé", "Jazz", "1959", 36, 63, 84, 0, 3, 4, false, false},
    {"Die fünf Zwerge", "Tanz der Gänseblümchen", "Dance", "2019", 20, 70, 128, 1, 2, 4, true, false},
};

const std::vector<int>& Scale(int scale) {
  static const std::vector<int> kScales[] = {
      {0, 2, 4, 5, 7, 9, 11}, {0, 2, 3, 5, 7, 8, 10}, {0, 2, 4, 7, 9}, {0, 3, 5, 6, 7, 10}};
  return kScales[scale >= 0 && scale < 4 ? scale : 0];
}

// A small deterministic generator: the same track always sounds the same.
struct Lcg {
  std::uint32_t state;
  int Next(int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(range));
  }
};

// Two-bar phrases A and B in the pattern A A B A, over a bass walking I-IV-V-I.
Pcm Compose(const DemoTrack& t, std::size_t index) {
  const double eighth = 30.0 / t.bpm;
  const std::vector<int>& scale = Scale(t.scale);
  const int degrees = static_cast<int>(scale.size());
  Lcg rng{static_cast<std::uint32_t>(index * 7919 + 17)};

  auto phrase = [&] {
    std::vector<Note> notes;
    int degree = degrees;  // start an octave above the root's degree 0
    int eighths = 0;
    while (eighths < 16) {
      const int len = std::min(16 - eighths, rng.Next(3) == 0 ? 2 : 1);
      degree = std::clamp(degree + rng.Next(5) - 2, 0, 2 * degrees - 1);
      const int midi = t.rootMidi + 12 * (degree / degrees) + scale[degree % degrees] - 12;
      const bool rest = rng.Next(8) == 0;
      notes.push_back({rest ? 0.0 : MidiNoteFrequency(midi), len * eighth, 0.35});
      eighths += len;
    }
    return notes;
  };
  const std::vector<Note> a = phrase(), b = phrase();

  std::vector<Note> melody, bass;
  static const int kProgression[] = {0, 5, 7, 0};
  double length = 0;
  for (int bar = 0; length < t.seconds + 1.0; bar += 2) {
    const std::vector<Note>& p = (bar / 2) % 4 == 2 ? b : a;
    melody.insert(melody.end(), p.begin(), p.end());
    for (int half = 0; half < 2; ++half) {
      const int root = t.rootMidi - 24 + kProgression[(bar + half) % 4];
      for (int beat = 0; beat < 4; ++beat)
        bass.push_back({MidiNoteFrequency(root + (beat % 2 ? 7 : 0)), 2 * eighth, 0.25});
    }
    length += 16 * eighth;
  }
  Pcm pcm = SynthesizeMelody(melody, static_cast<Waveform>(t.waveform & 3), 44100, 2);
  MixPcm(pcm, SynthesizeMelody(bass, Waveform::Triangle, 44100, 2));
  // A little over the whole second: the MPEG reader truncates, and encoder delay
  // must not make the displayed time a second short.
  FitPcm(pcm, t.seconds + 0.4, 1.5);
  return pcm;
}

std::string TagFor(const DemoTrack& t, std::size_t index) {
  std::vector<Id3Frame> frames = {
      {"TPE1", t.artist, ""},
      {"TIT2", t.title, ""},
      {"TALB", "Orvela Demo", ""},
      {t.id3Version == 4 ? "TDRC" : "TYER", t.year, ""},
      {"TCON", t.genre, ""},
      {"TRCK", std::to_string(index + 1), ""},
  };
  const Id3TextEncoding enc = t.id3Version == 4 ? Id3TextEncoding::Utf8
                              : index % 2       ? Id3TextEncoding::Utf16
                                                : Id3TextEncoding::Latin1;
  return BuildId3v2Tag(t.id3Version, frames, enc, index % 3 == 0 ? 256 : 0);
}

}  // namespace

const std::vector<DemoTrack>& DemoTracks() { return kTracks; }

std::string DemoFileName(std::size_t index) {
  if (index >= kTracks.size()) return {};
  char num[24];
  std::snprintf(num, sizeof num, "%02zu", index + 1);
  return std::string(num) + " - " + kTracks[index].artist + " - " + kTracks[index].title + ".mp3";
}

bool WriteDemoTrack(std::size_t index, const std::string& nativePath, std::string* error) {
  if (index >= kTracks.size()) {
    if (error) *error = "no such demo track";
    return false;
  }
  const DemoTrack& t = kTracks[index];
  EncodeOptions opt;
  opt.vbr = t.vbr;
  opt.writeXing = t.vbr;
  opt.id3v2Version = 0;  // our own tag goes in front, with the encodings we choose
  const std::string audio = EncodeAudioBytes(Format::Mp3, Compose(t, index), opt, error);
  if (audio.empty()) return false;
  std::string tail;
  if (t.id3v1) {
    Id3v1Fields v1;
    v1.artist = t.artist;
    v1.title = t.title;
    v1.album = "Orvela Demo";
    v1.year = t.year;
    v1.track = static_cast<int>(index + 1);
    tail = BuildId3v1Tag(v1);
  }
  if (!WriteTaggedMp3(nativePath, TagFor(t, index), audio, tail)) {
    if (error) *error = "cannot write " + nativePath;
    return false;
  }
  return true;
}

bool WriteDemoCollection(const std::string& nativeFolder, DemoResult* result,
                         std::string* error) {
  DemoResult res;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    if (result) *result = res;
    return false;
  };
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(nativeFolder), ec).lexically_normal();
  if (ec) return fail("cannot resolve " + nativeFolder);
  // The collection holds paths in the code page; a folder it cannot spell would
  // give titles nobody can find again.
  if (Cp1252ToNativePath(NativePathToCp1252(folder.string())) != folder.string())
    return fail("the folder path " + folder.string() +
                " has characters the collection file cannot hold");
  const fs::path demoDir = folder / "Demo";
  const fs::path listPath = folder / "Musikliste.xml";
  res.collectionFile = listPath.string();
  // Nothing is made before everything to be written is known to be writable:
  // a dozen titles the collection file then cannot name would only be litter.
  std::string refusal;
  if (!MayReplaceFile(listPath.string(), &refusal)) return fail("the collection file cannot be written: " + refusal);
  if (fs::is_directory(demoDir, ec)) {
    for (std::size_t i = 0; i < kTracks.size(); ++i) {
      const std::string path = (demoDir / DemoFileName(i)).string();
      if (!fs::exists(fs::symlink_status(path, ec)) && !MayReplaceFile(path, &refusal)) return fail(refusal);
    }
  }
  fs::create_directories(demoDir, ec);
  if (ec) return fail("cannot create " + demoDir.string() + ": " + ec.message());

  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  std::set<std::string> known;
  try {
    if (fs::exists(listPath)) {
      table.LoadFromFile(NativePathToCp1252(listPath.string()));
      table.SetFiltered(false);
      for (int row = 0; row < table.RecordCount(); ++row)
        known.insert(table.ViewField(row, TCollectionTable::Pfad));
    }
  } catch (const TableError& e) {
    return fail("the collection file " + listPath.string() + " cannot be read (" + e.what() +
                "); it is left as it is");
  }

  for (std::size_t i = 0; i < kTracks.size(); ++i) {
    const std::string path = (demoDir / DemoFileName(i)).string();
    // Files are written atomically, so one that exists is a whole demo title
    // from an earlier run and need not be made again.
    if (!fs::exists(path, ec)) {
      std::string why;
      if (!WriteDemoTrack(i, path, &why)) return fail(why);
      ++res.written;
    }
    TAudioFile file;
    file.LoadFromFile(NativePathToCp1252(path));
    if (known.count(file.FilePath)) continue;
    try {
      AppendTitleRecord(table, file);
    } catch (const TableError& e) {
      return fail(std::string("cannot add a title: ") + e.what());
    }
    ++res.appended;
  }
  try {
    table.SaveToFile(NativePathToCp1252(listPath.string()));
  } catch (const TableError& e) {
    return fail(std::string("cannot write the collection file: ") + e.what());
  }
  if (result) *result = res;
  return true;
}

}  // namespace orvela::demo
