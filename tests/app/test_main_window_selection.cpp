// Guests choose titles from the real screen: "In Abspielliste übernehmen" under
// the house rules, on the demo collection (tagged MP3 files, made once).
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>

#include "common/codepage.h"
#include "demo/demo_collection.h"
#include "demo/tone_encoder.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/title_selection.h"
#include "demo_folder.h"
#include "main_window_fixture.h"
#include "queue/tilu_playlist.h"
#include "support/manual_output.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

class SelectionTest : public MainWindowTest {
 protected:
  SelectionTest() { UseManualOutput(); }
  // Settings: queue limit, duplicates allowed, play-once, automatic off.
  void Start(int max, bool duplicates, bool playOnce) {
    folder.WriteAll(kPlainIni, {});
    folder.Write("Jukebox.ini", std::string("[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\n"
                                            "Geburtstag=0\r\nAutomatik=0\r\nTitelDoppel=") +
                                    (duplicates ? "1" : "0") + "\r\nEinmalSpielen=" + (playOnce ? "1" : "0") +
                                    "\r\n[Abspielliste]\r\nmax=" + std::to_string(max) + "\r\n");
    fs::copy_file(DemoFolder() / "Musikliste.xml", folder.Path() + "Musikliste.xml",
                  fs::copy_options::overwrite_existing);
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    ASSERT_EQ(form->CollectionTable().RecordCount(), 12);
  }
  TCollectionTable& Table() { return form->CollectionTable(); }
  // Taps the guest's button and tells what the guest saw (empty: nothing).
  std::string Choose() {
    dialogs.Clear();
    form->Abspielliste_uebernehmen_SpeedBtn->click();
    return dialogs.Texts().empty() ? std::string() : dialogs.Texts().back();
  }
  // Makes the record whose title is `titel` current, as a tap on its panel does.
  void Tap(const std::string& titel) {
    for (int recNo = 1; recNo <= Table().RecordCount(); ++recNo) {
      Table().SetRecNo(recNo);
      if (Table().FieldAsString("Titel") == titel) return;
    }
    ADD_FAILURE() << "no title " << titel;
  }
  int Queued() const { return static_cast<int>(form->Player()->Items.size()); }
  // Renders the title through to its end and lets the end's report arrive (a
  // bounded real-time wait for the audio thread's hand-over).
  void PlayUntilTheEndOf(const std::string& path) {
    manualOutput->Render(44100 * 2);
    QElapsedTimer clock;
    clock.start();
    while (!form->Player()->Items.empty() && form->Player()->Items[0]->FilePath == path && clock.elapsed() < 3000) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }

  std::unique_ptr<TForm1> form;
};

TEST_F(SelectionTest, AChosenTitleIsQueuedAndShowsWhenItStarts) {
  Start(20, true, false);
  Table().SetRecNo(3);
  const std::string path = Table().FieldAsString("Pfad");
  EXPECT_EQ(Choose(), "");
  ASSERT_EQ(Queued(), 1);
  EXPECT_EQ(form->Player()->Items[0]->FilePath, path);
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "1");
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 1);
  EXPECT_TRUE(form->PlaylistView->topLevelItem(0)->isSelected());
  EXPECT_EQ(form->LabeJukeWann->text(), "??:?? Uhr");  // the only title, not playing
  EXPECT_NE(form->Player()->GetState(), audio::kPlaying) << "choosing never starts playing";

  // Behind other titles the newest one is selected, and only it, so the guest
  // sees when it will play.
  for (int recNo : {5, 7}) {
    Table().SetRecNo(recNo);
    EXPECT_EQ(Choose(), "");
  }
  QTreeWidget* list = form->PlaylistView;
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(2)});
  EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
  EXPECT_NE(form->LabeJukeWann->text(), "??:?? Uhr");
}

// The automatic over real files, with play-once: guests may only choose what
// the automatic has not drawn in its pass, and a title that ends by itself is
// replaced at once.
TEST_F(SelectionTest, TheAutomaticWithPlayOnceOnTheScreen) {
  folder.WriteAll(kPlainIni, {});
  folder.Write("Jukebox.ini", "[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\nGeburtstag=0\r\n"
                              "Automatik=1\r\nEinmalSpielen=1\r\nTitelausblenden=0\r\nTitelDoppel=1\r\n"
                              "[Abspielliste]\r\nmax=20\r\n");
  fs::copy_file(DemoFolder() / "Musikliste.xml", folder.Path() + "Musikliste.xml", fs::copy_options::overwrite_existing);
  random.values = {0, 1, 2, 3, 4};
  form = MakeForm();
  ASSERT_FALSE(form->StartFailed());
  ASSERT_EQ(Queued(), 5);
  ASSERT_EQ(form->State.AutomaticList.Size(), 7u);

  // Storage number 1 was drawn: refused. Number 12 was not: queued, and out of the pass.
  Table().SetRecNo(1);
  const std::string drawnPath = form->Player()->Items[0]->FilePath;
  for (int recNo = 1; recNo <= Table().RecordCount(); ++recNo) {
    Table().SetRecNo(recNo);
    if (Table().FieldAsString("Pfad") == drawnPath) break;
  }
  EXPECT_EQ(Choose(), kAlreadyPlayedText);
  EXPECT_EQ(Queued(), 5);
  for (int recNo = 1; recNo <= Table().RecordCount(); ++recNo) {
    Table().SetRecNo(recNo);
    const std::string path = Table().FieldAsString("Pfad");
    bool queued = false;
    for (const auto& item : form->Player()->Items) queued = queued || item->FilePath == path;
    if (!queued) break;
  }
  const std::string chosen = Table().FieldAsString("Pfad");
  EXPECT_EQ(Choose(), "");
  EXPECT_EQ(Queued(), 6);
  EXPECT_EQ(form->State.AutomaticList.Size(), 6u);

  // The first title ends by itself: it leaves, and the queue is not topped
  // up past the guest's six.
  form->BtnPlayPause->click();
  const std::string first = form->Player()->Items[0]->FilePath;
  PlayUntilTheEndOf(first);
  ASSERT_NE(form->Player()->Items[0]->FilePath, first);
  EXPECT_EQ(Queued(), 5);
  EXPECT_EQ(form->Player()->GetState(), audio::kPlaying);
  // Down to four after the next end: the automatic fills the fifth place.
  const std::string second = form->Player()->Items[0]->FilePath;
  PlayUntilTheEndOf(second);
  ASSERT_NE(form->Player()->Items[0]->FilePath, second);
  EXPECT_EQ(Queued(), 5);
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 5);
  EXPECT_EQ(form->State.AutomaticList.Size(), 5u);
  for (const auto& item : form->Player()->Items) EXPECT_NE(item->FilePath, first);
  EXPECT_EQ(form->Player()->Items[3]->FilePath, chosen) << "the guest's title moved up";
}

TEST_F(SelectionTest, TheQueueLimitAndASearchThatFindsNothing) {
  Start(2, true, false);
  EXPECT_EQ(Choose(), "");
  EXPECT_EQ(Choose(), "");
  EXPECT_EQ(Choose(), "Maximale Titelauswahl ist erreicht.");
  EXPECT_EQ(dialogs.shown.back().kind, ScriptedDialogs::Kind::Information);
  EXPECT_EQ(Queued(), 2);

  form->Player()->RemoveItem(false);
  form->SetSearchText("XQXQ");
  form->ApplySearch();
  ASSERT_EQ(Table().RecordCount(), 0);
  EXPECT_EQ(Choose(), "");  // no record: silent
  EXPECT_EQ(Queued(), 1);
}

TEST_F(SelectionTest, DuplicatesAreRefusedWhenTheSettingSaysSo) {
  Start(20, false, false);
  Tap(Utf8ToCp1252("Frühstück um drei"));
  EXPECT_EQ(Choose(), "");
  EXPECT_EQ(Choose(), "Titel ist schon vorhanden !");
  EXPECT_EQ(Queued(), 1);
  Table().SetRecNo(Table().RecNo() == 1 ? 2 : 1);
  EXPECT_EQ(Choose(), "");
  EXPECT_EQ(Queued(), 2);
}

// Choosing from a search result must use up exactly that title's "only once",
// whatever the search and sort order are afterwards.
TEST_F(SelectionTest, PlayOnceRefusesExactlyTheTitleChosenFromASearch) {
  Start(50, true, true);
  form->SetSearchMode(TSearchMode::Titel);
  for (QPushButton* key : {form->SpeedButton2, form->SpeedButton1, form->SpeedButton8, form->SpeedButton8,
                           form->SpeedButton5, form->SpeedButton19}) {
    key->click();  // B A G G E R
  }
  ASSERT_EQ(Table().RecordCount(), 1);
  const std::string chosen = Table().FieldAsString("Titel");
  EXPECT_EQ(Choose(), "");

  form->StaticText_suchenClick();  // clear the search
  for (const char* sort : {"Interpret;Titel", "Titel;Interpret", "Jahr;Interpret;Titel"}) {
    Table().SetIndexFieldNames(sort);
    Tap(chosen);
    EXPECT_EQ(Choose(), "Titel wurde schon gespielt.") << sort;
  }
  // Every other title is still there to be chosen, once.
  for (int recNo = 1; recNo <= Table().RecordCount(); ++recNo) {
    Table().SetRecNo(recNo);
    const std::string titel = Table().FieldAsString("Titel");
    EXPECT_EQ(Choose(), titel == chosen ? "Titel wurde schon gespielt." : "") << titel;
  }
  EXPECT_EQ(Queued(), 12);
}

TEST_F(SelectionTest, WhenEveryTitleWasChosenPlayOnceSwitchesItselfOff) {
  Start(50, true, true);
  for (int recNo = 1; recNo <= 12; ++recNo) {
    Table().SetRecNo(recNo);
    ASSERT_EQ(Choose(), "");
  }
  Table().SetRecNo(5);
  EXPECT_EQ(Choose(), "Es wurden alle Titel gespielt oder ausgew\xE4hlt.Funktion Titel nur einmal spielen wurde ausgeschaltet.");
  EXPECT_EQ(dialogs.shown.back().kind, ScriptedDialogs::Kind::Message);
  EXPECT_EQ(Queued(), 13);
  EXPECT_FALSE(form->State.PlayOnceEnabled);
  EXPECT_FALSE(TIniFile(folder.Path() + "Jukebox.ini").ReadBool("Programm", "EinmalSpielen", true));
  EXPECT_EQ(Choose(), "");
}

TEST_F(SelectionTest, AnAudioFileBecomesATitleRecordWithItsFieldsAsTheyAre) {
  Start(20, true, false);
  const fs::path demo = DemoFolder() / "Demo";
  const std::string file = (demo / demo::DemoFileName(0)).string();
  form->Player()->AddToCollection(NativePathToCp1252(file));
  EXPECT_EQ(Table().RecordCount(), 13);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), "13 Titel in Musiksammlung vorhanden");
  TAudioFile record;
  record.LoadFromFile(NativePathToCp1252(file));
  EXPECT_EQ(Table().FieldAsString("Pfad"), record.FilePath);
  EXPECT_EQ(Table().FieldAsString("Dauer"), demo::FormatDauer(record.Duration));
  EXPECT_EQ(Queued(), 0);

  // A table that cannot take the record says so once and changes nothing shown.
  Table().Close();
  dialogs.Clear();
  form->Player()->AddToCollection(NativePathToCp1252(file));
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Kann musikliste.xml nicht finden!"});
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), "13 Titel in Musiksammlung vorhanden");
}

}  // namespace
}  // namespace orvela::testing
