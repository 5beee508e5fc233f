// info FILE...: one line per file with what the jukebox would store for it:
// path, artist, title, year, genre and whole seconds, separated by TABs and
// escaped as field_escape.h says. Unreadable files print their default values;
// the exit status is 0 all the same, so a script can run it over a whole folder.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "common/codepage.h"
#include "field_escape.h"
#include "metadata/audio_file.h"

namespace orvela::tool {
namespace {

int RunInfo(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: orvela-jukebox-tool info FILE...\n");
    return 2;
  }
  std::string line;
  for (const std::string& arg : args) {
    TAudioFile file;
    // The readers open regular files only and never wait: a named pipe or a
    // device gets the values of a file that cannot be read.
    file.LoadFromFile(NativePathToCp1252(arg));
    line.clear();
    AppendEscapedField(arg, &line);
    for (const std::string* text : {&file.Artist, &file.Title, &file.Year, &file.Genre}) {
      line += '\t';
      AppendEscapedField(Cp1252ToUtf8(*text), &line);
    }
    line += '\t';
    line += std::to_string(file.Duration);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    // Once the output is lost, reading the remaining files serves no one.
    if (std::ferror(stdout)) break;
  }
  return 0;
}

const CommandRegistration kInfo("info", "info FILE...   artist, title, year, genre, seconds of each file",
                                &RunInfo);

}  // namespace
}  // namespace orvela::tool
