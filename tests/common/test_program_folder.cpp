// Which program folder the jukebox works in, and how a new one is filled
// without ever overwriting what the operator already has.
#include "common/program_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "support/scratch_folder.h"

namespace orvela {
namespace {

namespace fs = std::filesystem;

struct ChoiceCase {
  const char* name;
  std::vector<std::string> args;
  const char* environment;
  const char* folder;
  bool given;
};

TEST(ChooseProgramFolder, OptionBeatsVariableBeatsExecutableFolder) {
  const std::vector<ChoiceCase> cases = {
      {"nothing given", {"jukebox"}, nullptr, "/opt/exe/", false},
      {"empty variable", {"jukebox"}, "", "/opt/exe/", false},
      {"variable", {"jukebox"}, "/var/lib/j", "/var/lib/j/", true},
      {"option beats variable", {"jukebox", "--program-folder", "/srv/a"}, "/var/lib/j", "/srv/a/", true},
      {"option with equals sign", {"jukebox", "--program-folder=/srv/b/"}, nullptr, "/srv/b/", true},
      {"last option counts", {"jukebox", "--program-folder", "/a", "--program-folder=/b"}, nullptr, "/b/", true},
      {"option without value", {"jukebox", "--program-folder"}, "/var/lib/j", "/var/lib/j/", true},
      {"empty option value", {"jukebox", "--program-folder="}, nullptr, "/opt/exe/", false},
      {"similar option ignored", {"jukebox", "--program-folderX=/x"}, nullptr, "/opt/exe/", false},
      {"other options around", {"jukebox", "-platform", "xcb", "--program-folder", "/c"}, nullptr, "/c/", true},
  };
  for (const ChoiceCase& c : cases) {
    const ProgramFolderChoice choice = ChooseProgramFolder(c.args, c.environment, "/opt/exe");
    EXPECT_EQ(choice.folder, c.folder) << c.name;
    EXPECT_EQ(choice.givenExplicitly, c.given) << c.name;
  }
}

class ProgramFolderFillTest : public testing::ScratchFolderTest {
 protected:
  ProgramFolderFillTest() : ScratchFolderTest("orvela-fill") {}
  static void Write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(ProgramFolderFillTest, CopiesOnlyMissingFilesAndMakesTheFolder) {
  const fs::path data = dir_ / "share";
  const fs::path target = dir_ / "var" / "lib" / "jukebox";
  fs::create_directories(data / "subfolder");
  Write(data / "Jukebox.ini", "delivered ini");
  Write(data / "Musikliste.xml", "delivered list");
  fs::create_directories(target);
  Write(target / "Jukebox.ini", "operator's ini");

  std::string error;
  ASSERT_TRUE(FillMissingFiles(data.string(), target.string(), error)) << error;
  EXPECT_EQ(Read(target / "Jukebox.ini"), "operator's ini");
  EXPECT_EQ(Read(target / "Musikliste.xml"), "delivered list");
  EXPECT_FALSE(fs::exists(target / "subfolder"));

  // A second fill (the next start) leaves a file the operator changed alone.
  Write(target / "Musikliste.xml", "operator's list");
  ASSERT_TRUE(FillMissingFiles(data.string(), target.string(), error)) << error;
  EXPECT_EQ(Read(target / "Musikliste.xml"), "operator's list");

  const fs::path fresh = dir_ / "fresh" / "deep";
  ASSERT_TRUE(FillMissingFiles(data.string(), fresh.string(), error)) << error;
  EXPECT_EQ(Read(fresh / "Jukebox.ini"), "delivered ini");
}

TEST_F(ProgramFolderFillTest, ReportsAFolderThatCannotBeMade) {
  Write(dir_ / "a-file", "x");
  std::string error;
  EXPECT_FALSE(FillMissingFiles(dir_.string(), (dir_ / "a-file" / "below").string(), error));
  EXPECT_NE(error.find("a-file"), std::string::npos);
}

// A folder the jukebox cannot work in is named with what is wrong with it, in
// the German of the program's boxes.
TEST_F(ProgramFolderFillTest, SaysInGermanWhatIsWrongWithTheFolder) {
  Write(dir_ / "eine-datei", "x");
  fs::create_directory(dir_ / "daten");
  Write(dir_ / "daten" / "Jukebox.ini", "[Programm]");
  const std::string file = (dir_ / "eine-datei").string() + "/";
  const std::string below = (dir_ / "eine-datei" / "darunter").string() + "/";
  const std::string missing = (dir_ / "fehlt").string() + "/";
  std::string error;
  EXPECT_FALSE(FillMissingFiles((dir_ / "daten").string(), file, error));
  EXPECT_EQ(error, "Der Programmordner " + file + " ist kein Ordner, sondern eine Datei.");
  EXPECT_FALSE(FillMissingFiles((dir_ / "daten").string(), below, error));
  EXPECT_EQ(error, "Der Programmordner " + below + " lässt sich nicht anlegen: ein Teil des Pfads ist eine Datei, kein Ordner.");
  // A folder that takes no files, such as the kernel's.
  EXPECT_FALSE(FillMissingFiles((dir_ / "daten").string(), "/proc/", error));
  EXPECT_EQ(error,
            "Die Datei Jukebox.ini lässt sich nicht in den Programmordner /proc/ kopieren: der Ordner nimmt keine neuen "
            "Dateien an.");

  const struct {
    std::string folder;
    std::string problem;
  } cases[] = {
      {file, "Der Programmordner " + file + " ist kein Ordner, sondern eine Datei."},
      {missing, "Der Programmordner " + missing + " ist nicht vorhanden."},
      {(dir_ / "daten").string() + "/", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramFolderProblem(c.folder), c.problem) << c.folder;

  // Every program-folder path is kept in the code page: umlauts are, other scripts are not.
  EXPECT_EQ(ProgramFolderNameProblem("/srv/Jukebox Müller/"), "");
  EXPECT_EQ(ProgramFolderNameProblem("/srv/\xE6\x97\xA5\xE6\x9C\xAC/"),
            "Der Name des Programmordners /srv/\xE6\x97\xA5\xE6\x9C\xAC/ enthält Zeichen, die Orvela Jukebox in "
            "ihren Dateien nicht speichern kann.");
}

TEST_F(ProgramFolderFillTest, FindsTheInstalledDataFolderOnlyWhereItExists) {
  const fs::path lib = dir_ / "usr" / "lib" / "orvela-jukebox";
  fs::create_directories(lib);
  EXPECT_EQ(DeliveredDataFolder(lib.string() + "/"), "");
  fs::create_directories(dir_ / "usr" / "share" / "orvela-jukebox");
  EXPECT_EQ(DeliveredDataFolder(lib.string() + "/"),
            (dir_ / "usr" / "share" / "orvela-jukebox").string() + "/");
}

}  // namespace
}  // namespace orvela
