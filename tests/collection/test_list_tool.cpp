#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "collection/collection_table.h"
#include "support/collection_file_text.h"
#include "test_files.h"

namespace orvela {
namespace {

// The tool is built beside the program; this test binary lives in <build>/tests.
std::filesystem::path ToolPath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "program" /
         "orvela-jukebox-tool";
}

struct RunResult {
  int status;
  std::string out;
};

RunResult RunTool(const std::string& args) {
  const std::string command = ToolPath().string() + " " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  RunResult result{-1, {}};
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(ListTool, PrintsWhatTheSearchFinds) {
  if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  testing::ScratchDir dir;
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("M\xF6tley Cr\xFC" "e", "Kickstart", "D:\\m\\k.mp3", "Metal", "1985", "04:40");
  t.AppendRecord("ABBA", "Waterloo", "D:\\m\\w.mp3", "Pop", "1974", "02:46");
  t.AppendRecord("Black Sabbath", "Paranoid", "", "Heavy Metal", "1970", "02:48");
  t.SaveToFile(dir.File("Musikliste.xml"));
  const std::string folder = std::filesystem::path(dir.File("Musikliste.xml")).parent_path().string();

  const struct {
    const char* args;
    const char* out;
  } cases[] = {
      {"", "ABBA\tWaterloo\tD:\\\\m\\\\w.mp3\tPop\t1974\t02:46\n"
           "Black Sabbath\tParanoid\t\tHeavy Metal\t1970\t02:48\n"
           "M\xC3\xB6tley Cr\xC3\xBC" "e\tKickstart\tD:\\\\m\\\\k.mp3\tMetal\t1985\t04:40\n"},
      {"--search ab", "ABBA\tWaterloo\tD:\\\\m\\\\w.mp3\tPop\t1974\t02:46\n"
                      "Black Sabbath\tParanoid\t\tHeavy Metal\t1970\t02:48\n"},
      {"--mode titel --search K", "M\xC3\xB6tley Cr\xC3\xBC" "e\tKickstart\tD:\\\\m\\\\k.mp3\tMetal\t1985\t04:40\n"},
      {"--mode interpret --search '\xC3\x96'", "M\xC3\xB6tley Cr\xC3\xBC" "e\tKickstart\tD:\\\\m\\\\k.mp3\tMetal\t1985\t04:40\n"},
      {"--mode genre --search me", "M\xC3\xB6tley Cr\xC3\xBC" "e\tKickstart\tD:\\\\m\\\\k.mp3\tMetal\t1985\t04:40\n"},
      {"--mode jahr --search 197", "Black Sabbath\tParanoid\t\tHeavy Metal\t1970\t02:48\n"
                                   "ABBA\tWaterloo\tD:\\\\m\\\\w.mp3\tPop\t1974\t02:46\n"},
      {"--mode jahr --search 2000", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunTool("list '" + folder + "' " + c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
  }
  EXPECT_EQ(RunTool("list '" + folder + "/missing'").status, 1);
  EXPECT_EQ(RunTool("list '" + folder + "' --mode artist").status, 2);
}

TEST(ListTool, EscapesControlBytesSoEachTitleStaysOneLine) {
  if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "orvela-jukebox-tool is not built";
  testing::ScratchDir dir;
  // Character references carry what a hand-edited or foreign file may hold.
  testing::WriteBytes(
      dir.File("Musikliste.xml"),
      std::string(testing::kCollectionFileHead) +
      "<ROW Interpret=\"Tab&#9;Stopp f\xFCr\" Titel=\"Zwei&#10;Zeilen&#13;drei\" "
      "Pfad=\"C:\\Musik\\&#27;[2J.mp3\" Genre=\"Beep&#7;&#127;\" Jahr=\"1980\" Dauer=\"03:20\"/>" +
      testing::kCollectionFileTail);
  const std::string folder = std::filesystem::path(dir.File("Musikliste.xml")).parent_path().string();
  const RunResult r = RunTool("list '" + folder + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Tab\\tStopp f\xC3\xBCr\tZwei\\nZeilen\\rdrei\tC:\\\\Musik\\\\\\x1b[2J.mp3\t"
            "Beep\\x07\\x7f\t1980\t03:20\n");
}

}  // namespace
}  // namespace orvela
