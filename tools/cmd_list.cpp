// list FOLDER [--mode interpret|titel|genre|jahr] [--search TEXT]: the titles a
// guest would see in the browse grid after typing TEXT in that search mode, one
// per line, the six fields separated by TABs and escaped as field_escape.h says.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "collection/search_mode.h"
#include "command.h"
#include "common/codepage.h"
#include "field_escape.h"

namespace orvela::tool {
namespace {

constexpr const char* kUsage = "usage: orvela-jukebox-tool list FOLDER [--mode interpret|titel|genre|jahr] [--search TEXT]\n";

int RunList(const std::vector<std::string>& args) {
  std::optional<std::string> folder;
  TSearchMode mode = TSearchMode::Interpret;
  std::string search;  // UTF-8 as typed on the command line
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--mode" && i + 1 < args.size()) {
      const auto parsed = SearchModeFromName(args[++i]);
      if (!parsed) {
        std::fprintf(stderr, "list: unknown mode '%s'\n%s", args[i].c_str(), kUsage);
        return 2;
      }
      mode = *parsed;
    } else if (args[i] == "--search" && i + 1 < args.size()) {
      search = args[++i];
    } else if (!folder && (args[i].empty() || args[i][0] != '-')) {
      folder = args[i];
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  if (!folder) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }

  // The reader would only find a named pipe in the collection's place
  // unreadable; say what it is.
  std::error_code statError;
  const auto status = std::filesystem::status(std::filesystem::path(*folder) / "Musikliste.xml", statError);
  if (!statError && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    std::fprintf(stderr, "list: cannot load the collection: %s is not a file\n",
                 EscapeField((std::filesystem::path(*folder) / "Musikliste.xml").string()).c_str());
    return 1;
  }

  std::string dir = NativePathToCp1252(*folder);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  try {
    table.SetIndexFieldNames(SearchModeIndexFieldNames(mode));
    table.LoadFromFile(dir + "Musikliste.xml");
  } catch (const TableError& e) {
    std::fprintf(stderr, "list: cannot load the collection: %s\n", Cp1252ToUtf8(e.what()).c_str());
    return 1;
  }
  const std::string text = Utf8ToCp1252(search);
  if (!text.empty()) {
    try {
      table.SetFilter(SearchFilterExpression(mode, text));
      table.SetFiltered(true);
    } catch (const TableError& e) {
      std::fprintf(stderr, "list: the search text cannot be used: %s\n", Cp1252ToUtf8(e.what()).c_str());
      return 1;
    }
  }

  std::string line;
  for (int row = 0; row < table.RecordCount(); ++row) {
    line.clear();
    for (int f = 0; f < TCollectionTable::kFieldCount; ++f) {
      if (f > 0) line += '\t';
      AppendEscapedField(Cp1252ToUtf8(table.ViewField(row, f)), &line);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    if (std::ferror(stdout)) break;  // main reports the lost output
  }
  return 0;
}

const CommandRegistration kList("list",
                                "list FOLDER [--mode interpret|titel|genre|jahr] [--search TEXT]\n"
                                "                   print the titles of FOLDER/Musikliste.xml a search finds",
                                RunList);

}  // namespace
}  // namespace orvela::tool
