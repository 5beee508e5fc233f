#pragma once
// Twelve tagged MP3 files of the demo's artists and titles (one short encoded
// tone behind each tag) and their collection file, as the collection builder
// would store them; written once per test process, removed at its end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "collection/collection_table.h"
#include "common/codepage.h"
#include "demo/demo_collection.h"
#include "demo/tone_encoder.h"
#include "metadata/audio_file.h"

namespace orvela::testing {

inline const std::filesystem::path& DemoFolder() {
  namespace fs = std::filesystem;
  static const fs::path folder = [] {
    const fs::path dir = fs::temp_directory_path() / ("orvela_selection_demo_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "Demo");
    std::string error;
    const std::string audio = demo::EncodeAudioBytes(demo::Format::Mp3, demo::SynthesizeTone(440.0, 1.4), {}, &error);
    if (audio.empty()) ADD_FAILURE() << error;
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    const auto& tracks = demo::DemoTracks();
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const std::string tag = demo::BuildId3v2Tag(3, {{"TPE1", tracks[i].artist, {}},
                                                      {"TIT2", tracks[i].title, {}},
                                                      {"TCON", tracks[i].genre, {}},
                                                      {"TYER", tracks[i].year, {}}});
      const fs::path file = dir / "Demo" / demo::DemoFileName(i);
      if (!demo::WriteTaggedMp3(file.string(), tag, audio, {})) ADD_FAILURE() << file;
      TAudioFile record;
      record.LoadFromFile(NativePathToCp1252(file.string()));
      demo::AppendTitleRecord(table, record);
    }
    table.SaveToFile(NativePathToCp1252((dir / "Musikliste.xml").string()));
    return dir;
  }();
  return folder;
}

struct DemoCleanup {
  ~DemoCleanup() {
    std::error_code ec;
    namespace fs = std::filesystem;
    fs::remove_all(fs::temp_directory_path() / ("orvela_selection_demo_" + std::to_string(::getpid())), ec);
  }
};
inline DemoCleanup demoCleanup;


}  // namespace orvela::testing
