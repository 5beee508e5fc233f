// The line under the collection that tells the owner of a fresh install how to
// put their own music in: shown while the collection is empty or holds only
// the demo titles, worded after the menu code in force, gone with the first
// title of the venue's own and back when the collection is removed.
#include <unistd.h>

#include <QLabel>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "demo/demo_collection.h"
#include "main_window_fixture.h"

namespace orvela::testing {
namespace {

const char* const kOwnCodeIni =
    "[Programm]\r\nPasswortaktiv=1\r\nMenuecode=4711\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\n"
    "Geburtstag=0\r\nAutomatik=0\r\n";
const char* const kNoCodeIni =
    "[Programm]\r\nPasswortaktiv=0\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\nAutomatik=0\r\n";

// A demo title as the demo writer names it inside <folder>Demo/.
Row DemoRow(const std::string& folder, std::size_t index) {
  const demo::DemoTrack& track = demo::DemoTracks()[index];
  return {Utf8ToCp1252(track.artist), Utf8ToCp1252(track.title),
          Utf8ToCp1252(folder + "Demo/" + demo::DemoFileName(index)), track.genre, track.year, "00:30"};
}
const Row kOwnTitle = {"ABBA", "Waterloo", "/srv/musik/waterloo.mp3", "Pop", "1974", "02:46"};

enum class Titles { None, DemoOnly, DemoAndOwn, OwnOnly };

struct HintCase {
  const char* name;
  const char* ini;
  Titles titles;
  bool shown;
  std::vector<const char*> says;     // UTF-8
  std::vector<const char*> neverSays;
};

class OwnMusicHintTest : public MainWindowTest, public ::testing::WithParamInterface<HintCase> {};

TEST_P(OwnMusicHintTest, ShownWhileTheCollectionHoldsNoOwnMusic) {
  const HintCase& c = GetParam();
  std::vector<Row> rows;
  if (c.titles == Titles::DemoOnly || c.titles == Titles::DemoAndOwn) {
    for (std::size_t i = 0; i < 3; ++i) rows.push_back(DemoRow(folder.Path(), i));
  }
  if (c.titles == Titles::DemoAndOwn || c.titles == Titles::OwnOnly) rows.push_back(kOwnTitle);
  folder.WriteAll(c.ini, rows);
  auto form = MakeForm();
  ASSERT_FALSE(form->StartFailed());
  ASSERT_NE(form->LabelEigeneMusik, nullptr);
  EXPECT_EQ(!form->LabelEigeneMusik->isHidden(), c.shown);
  const QString text = form->LabelEigeneMusik->text();
  for (const char* part : c.says) EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
  for (const char* part : c.neverSays) EXPECT_FALSE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OwnMusicHintTest,
    ::testing::Values(
        HintCase{"Empty", kPlainIni, Titles::None, true,
                 {"Musiksammlung ist leer", "Code 6813 eintippen", "„Menü“ drücken",
                  "„Musiksammlung bearbeiten“", "orvela-jukebox-tool scan"},
                 {}},
        HintCase{"DemoOnly", kPlainIni, Titles::DemoOnly, true,
                 {"Demo-Titel", "Code 6813 eintippen", "„Musiksammlung bearbeiten“"}, {}},
        HintCase{"DemoAndOwn", kPlainIni, Titles::DemoAndOwn, false, {}, {}},
        HintCase{"OwnOnly", kPlainIni, Titles::OwnOnly, false, {}, {}},
        // A code the owner chose is a secret from the guests who read the screen.
        HintCase{"ChosenCode", kOwnCodeIni, Titles::DemoOnly, true, {"Menücode eintippen"}, {"4711", "6813"}},
        HintCase{"NoCode", kNoCodeIni, Titles::None, true, {"„Menü“ drücken"}, {"6813", "Menücode"}}),
    [](const ::testing::TestParamInfo<HintCase>& info) { return std::string(info.param.name); });

// The demo was written through the folder's real name; the jukebox is started
// through a link to it (a program folder moved to another disk).
TEST_F(MainWindowTest, DemoTitlesAreKnownThroughALinkToTheProgramFolder) {
  folder.WriteAll(kPlainIni, {DemoRow(folder.Path(), 0), DemoRow(folder.Path(), 1)});
  const std::filesystem::path link =
      std::filesystem::temp_directory_path() / ("orvela_own_music_link_" + std::to_string(::getpid()));
  std::filesystem::remove(link);
  std::filesystem::path target = folder.Path();
  std::filesystem::create_directory_symlink(target.parent_path(), link);
  auto form = MakeForm(link.string() + "/");
  std::filesystem::remove(link);
  ASSERT_FALSE(form->StartFailed());
  EXPECT_FALSE(form->LabelEigeneMusik->isHidden());
}

TEST_F(MainWindowTest, OwnMusicHintFollowsTheCollectionWindowsChanges) {
  folder.WriteAll(kPlainIni, {DemoRow(folder.Path(), 0)});
  auto form = MakeForm();
  ASSERT_FALSE(form->LabelEigeneMusik->isHidden());

  // The collection window appends a title of the venue's own and reports it.
  TCollectionTable& table = form->CollectionTable();
  const int before = table.StoredRecordCount();
  table.AppendRecord(kOwnTitle);
  form->ShowCollectionExtended(before);
  EXPECT_TRUE(form->LabelEigeneMusik->isHidden());

  // The collection window removes the whole collection.
  table.Empty();
  form->ShowCollectionRemoved();
  EXPECT_FALSE(form->LabelEigeneMusik->isHidden());
  EXPECT_TRUE(form->LabelEigeneMusik->text().contains(QString::fromUtf8("Musiksammlung ist leer")));
}

}  // namespace
}  // namespace orvela::testing
