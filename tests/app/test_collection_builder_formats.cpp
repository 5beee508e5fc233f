// The collection window takes FLAC, Ogg, Opus and M4A files as it takes MP3s:
// in its folder scans and in its file dialog, whose MP3 entry stays.
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "app/collection_builder_window.h"
#include "collection/collection_table.h"
#include "main_window_fixture.h"
#include "support/audio_fixtures.h"
#include "support/mp3_tree.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

class CollectionBuilderFormatsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    folder.WriteAll(kPlainIni, {});
    musicRoot = music.Path() + "Musik";
    WriteTinyMp3(fs::path(musicRoot) / "a.mp3");
    fs::copy_file(AudioFixturePath("tagged.flac"), fs::path(musicRoot) / "b.FLAC");
    fs::copy_file(AudioFixturePath("tagged.ogg"), fs::path(musicRoot) / "c.ogg");
    fs::create_directories(fs::path(musicRoot) / "sub");
    fs::copy_file(AudioFixturePath("tagged.opus"), fs::path(musicRoot) / "sub/d.opus");
    fs::copy_file(AudioFixturePath("tagged.m4a"), fs::path(musicRoot) / "sub/e.m4a");
    std::ofstream(fs::path(musicRoot) / "sub/cover.jpg") << "no music";
    form = MakeForm();
    menu = std::make_unique<TFormMenu>(*form);
    // The music lives in a scratch folder, not below home or a mount folder.
    menu->SetFolderRoots({QString::fromStdString(music.Path())});
  }

  // Interpret and Pfad of the collection file, in storage order.
  std::vector<std::pair<std::string, std::string>> StoredTitles() const {
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    table.LoadFromFile(folder.Path() + "Musikliste.xml");
    std::vector<std::pair<std::string, std::string>> titles;
    for (int row = 0; row < table.RecordCount(); ++row) {
      titles.emplace_back(table.ViewField(row, TCollectionTable::Interpret),
                          table.ViewField(row, TCollectionTable::Pfad));
    }
    return titles;
  }

  ProgramFolder music;
  std::string musicRoot;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> menu;
};

TEST_F(CollectionBuilderFormatsTest, TheFolderScanTakesEveryMusicFormat) {
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Musiksammlung_neu_erstellenClick();
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Band", musicRoot + "/a.mp3"},
      {"Die \xC4rzte", musicRoot + "/b.FLAC"},
      {"Vorbis K\xFCnstler", musicRoot + "/c.ogg"},
      {"Opus Band", musicRoot + "/sub/d.opus"},
      {"AAC Artist", musicRoot + "/sub/e.m4a"},
  };
  EXPECT_EQ(StoredTitles(), expected);
}

TEST_F(CollectionBuilderFormatsTest, TheFileDialogOffersAllFormatsFirstAndKeepsItsMp3Entry) {
  dialogs.openAnswers = {{musicRoot + "/sub/e.m4a", musicRoot + "/b.FLAC"}};
  menu->SpeedButton_Titel_hinzufugenClick();
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.front().kind, ScriptedDialogs::Kind::OpenFiles);
  EXPECT_EQ(dialogs.shown.front().text, "Musikdateien|*.mp3;*.flac;*.ogg;*.oga;*.opus;*.m4a|*.mp3|*.mp3");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"AAC Artist", musicRoot + "/sub/e.m4a"},
      {"Die \xC4rzte", musicRoot + "/b.FLAC"},
  };
  EXPECT_EQ(StoredTitles(), expected);
}

}  // namespace
}  // namespace orvela::testing
