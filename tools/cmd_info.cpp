// info FILE...: one line per file with what the jukebox would store for it:
// path, artist, title, year, genre and whole seconds, separated by TABs. Unreadable
// files print their default values; the exit status is 0 all the same, so a
// script can run it over a whole folder.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "common/codepage.h"
#include "metadata/audio_file.h"

namespace orvela::tool {
namespace {

// Tag text may hold TABs or line breaks; they would split the line, so they
// print as blanks.
std::string Field(const std::string& codePageText) {
  std::string text = Cp1252ToUtf8(codePageText);
  for (char& ch : text) {
    if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
  }
  return text;
}

int RunInfo(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: orvela-jukebox-tool info FILE...\n");
    return 2;
  }
  for (const std::string& arg : args) {
    TAudioFile file;
    file.LoadFromFile(NativePathToCp1252(arg));
    std::string line = arg;
    for (const std::string* text : {&file.Artist, &file.Title, &file.Year, &file.Genre}) {
      line += '\t';
      line += Field(*text);
    }
    line += '\t';
    line += std::to_string(file.Duration);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  std::fflush(stdout);
  return 0;
}

const CommandRegistration kInfo("info", "info FILE...   artist, title, year, genre, seconds of each file",
                                &RunInfo);

}  // namespace
}  // namespace orvela::tool
