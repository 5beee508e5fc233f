#pragma once
// Small MP3 files for scans of whole folder trees: four silent MPEG-1 Layer III
// frames (1.7 KB), enough for the stream reader to accept the file, and an
// ID3v1 tag naming artist and title, so each title of a scanned tree can be
// told apart in the collection.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvela::testing {

inline std::string TinyMp3(const std::string& artist, const std::string& title) {
  // 128 kbit/s, 44100 Hz, no padding: 417 bytes a frame.
  std::string frame(417, '\0');
  frame[0] = static_cast<char>(0xFF);
  frame[1] = static_cast<char>(0xFB);
  frame[2] = static_cast<char>(0x90);
  frame[3] = static_cast<char>(0x00);
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += frame;
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(3, std::min<std::size_t>(title.size(), 30), title.substr(0, 30));
  tag.replace(33, std::min<std::size_t>(artist.size(), 30), artist.substr(0, 30));
  tag[127] = static_cast<char>(13);  // Pop
  return bytes + tag;
}

// Writes a tiny MP3 titled after its own file name (without folders), creating
// the folders on the way.
inline void WriteTinyMp3(const std::filesystem::path& path, const std::string& artist = "Band") {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << TinyMp3(artist, path.filename().string());
}

}  // namespace orvela::testing
