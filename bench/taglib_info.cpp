// The yardstick of info-vs-taglib.sh: what `orvela-jukebox-tool info` prints
// per file (artist, title, year, genre, whole seconds), read through TagLib.
// Built by that script, not by CMake.
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    TagLib::FileRef file(argv[i], true, TagLib::AudioProperties::Average);
    line = argv[i];
    if (!file.isNull() && file.tag() != nullptr) {
      const TagLib::Tag* tag = file.tag();
      line += '\t' + tag->artist().to8Bit(true) + '\t' + tag->title().to8Bit(true) + '\t' +
              std::to_string(tag->year()) + '\t' + tag->genre().to8Bit(true);
    } else {
      line += "\t\t\t\t";
    }
    line += '\t' + std::to_string(file.audioProperties() != nullptr ? file.audioProperties()->lengthInSeconds() : 0);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return 0;
}
