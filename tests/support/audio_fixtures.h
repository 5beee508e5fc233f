#pragma once
// The small FLAC, Ogg, Opus and M4A files committed under tests/fixtures/audio
// (made by FFmpeg, see make-fixtures.sh there), found from this file's place in
// the tree so any test binary reads them without an install step.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace orvela::testing {

inline std::filesystem::path AudioFixturePath(const std::string& name) {
  return std::filesystem::path(ORVELA_SOURCE_DIR) / "tests" / "fixtures" / "audio" / name;
}

inline std::string AudioFixtureBytes(const std::string& name) {
  std::ifstream in(AudioFixturePath(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace orvela::testing
