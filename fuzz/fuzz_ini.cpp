// Any bytes as Jukebox.ini: reading never fails, and a write keeps every other
// entry readable as before.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jukebox/jukebox_ini.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const std::string& ScratchPath() {
  static const std::string path = "/tmp/orvela_fuzz_ini_" + std::to_string(::getpid()) + ".ini";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvela;
  const std::string& path = ScratchPath();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  TIniFile ini(path);
  const bool kiosk = ini.ReadBool("Programm", "Kiosk", true);
  const std::string song = ini.ReadString("Jingle", "Song_1", "");
  Check(song.size() <= TIniFile::kMaxValueLength);
  ini.ReadInteger("Abspielliste", "max", 0);
  ini.ReadDateTime("Programm", "Geburtzeit", 0.0);
  try {
    ini.WriteBool("Programm", "Geburtstag", false);
  } catch (const IniWriteError&) {
    return 0;
  }
  Check(!ini.ReadBool("Programm", "Geburtstag", true));
  Check(ini.ReadBool("Programm", "Kiosk", true) == kiosk);
  Check(ini.ReadString("Jingle", "Song_1", "") == song);
  return 0;
}
