// The collection building window's actions, with scripted dialogs: what each
// button checks and asks, what lands in Musikliste.xml (written once per
// action), and what the guest screen shows afterwards.
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QStandardItemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/collection_builder_window.h"
#include "app/led_lamp.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "main_window_fixture.h"
#include "queue/tilu_playlist.h"
#include "support/mp3_tree.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoFolderText = "Bitte ein Verzeichnis ausw\xE4hlen !";
constexpr const char* kMissingText = "Die Datei Musikliste.xml wurde nicht gefunden. Aktion wurde abgebrochen.";
constexpr const char* kRecursiveQuestion =
    "Achtung diese Funktion kann unter Umst\xE4nden mehrere Stunden in Anspruch nehmen. Fortsetzen ?";
constexpr const char* kFolderQuestion = "M\xF6\x63hten Sie diesen Ordner nach Musikdateien durchsuchen ?";
constexpr const char* kRemoveQuestion = "Aktuelle Sammlung wirklich l\xF6schen ?";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Counts the times a file of a folder was replaced or written in place.
class WriteCounter {
 public:
  explicit WriteCounter(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
  }
  ~WriteCounter() { ::close(fd_); }
  WriteCounter(const WriteCounter&) = delete;
  WriteCounter& operator=(const WriteCounter&) = delete;

  // A replacement moves a new file into place (and closes it there); a write
  // in place closes the file.
  int Writes(const std::string& name) {
    alignas(inotify_event) char buffer[16384];
    ssize_t n;
    while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0 && name == event->name) {
          const bool closesTheMovedFile = (event->mask & IN_CLOSE_WRITE) != 0 && lastWasMove_;
          if (!closesTheMovedFile) ++writes_;
          lastWasMove_ = (event->mask & IN_MOVED_TO) != 0;
        }
        at += sizeof(inotify_event) + event->len;
      }
    }
    return writes_;
  }

 private:
  int fd_;
  int writes_ = 0;
  bool lastWasMove_ = false;
};

class CollectionBuilderTest : public MainWindowTest {
 protected:
  void SetUp() override {
    folder.WriteAll(kPlainIni, {});
    musicRoot = music.Path() + "Musik";
    for (const char* name : {"b.mp3", "A.MP3", "sub/c.mp3", "sub/tief/d.mp3", "zwei/e.mp3"})
      WriteTinyMp3(fs::path(musicRoot) / name);
  }

  void Build() {
    form = MakeForm();
    menu = std::make_unique<TFormMenu>(*form);
    // The music lives in a scratch folder, not below home or a mount folder.
    menu->SetFolderRoots({QString::fromStdString(music.Path())});
    filter = std::make_unique<TFormFilter>(*form);
    hauptmenu = std::make_unique<THauptmenu>(*form, *menu, *filter);
  }

  std::string CollectionFile() const { return folder.Path() + "Musikliste.xml"; }

  // The Pfad column of the collection file, in storage order.
  std::vector<std::string> StoredPaths() const {
    TCollectionTable table(TCollectionTable::CollectionWidths(), true);
    table.LoadFromFile(CollectionFile());
    std::vector<std::string> paths;
    for (int row = 0; row < table.RecordCount(); ++row) paths.push_back(table.ViewField(row, TCollectionTable::Pfad));
    return paths;
  }

  std::vector<std::string> Music(const std::vector<std::string>& names) const {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(musicRoot + "/" + name);
    return paths;
  }

  std::vector<QWidget*> Controls() const {
    return {menu->SpeedButton_Musiksammlung_neu_erstellen, menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugen,
            menu->SpeedButton_Titel_hinzufugen, menu->SpeedButton_Sammlung_entfernen, menu->SpeedButton1,
            menu->ShellTreeView1};
  }
  bool ControlsEnabled() const {
    for (QWidget* control : Controls())
      if (!control->isEnabled()) return false;
    return true;
  }

  ProgramFolder music;
  std::string musicRoot;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> menu;
  std::unique_ptr<TFormFilter> filter;
  std::unique_ptr<THauptmenu> hauptmenu;
};

TEST_F(CollectionBuilderTest, ControlsCarryTheirCaptions) {
  Build();
  EXPECT_EQ(menu->Label1->text(), QStringLiteral("Orvela Jukebox"));
  EXPECT_EQ(menu->SpeedButton_Musiksammlung_neu_erstellen->text(),
            QString::fromUtf8("Ordner mit Unterverzeichnisen der\nMusiklsammlung hinzufügen"));
  EXPECT_EQ(menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugen->text(),
            QString::fromUtf8("Ordner zur Musiksammlung hinzufügen"));
  EXPECT_EQ(menu->SpeedButton_Titel_hinzufugen->text(), QString::fromUtf8("Titel zur Musiksammlung hinzufügen"));
  EXPECT_EQ(menu->SpeedButton_Sammlung_entfernen->text(), QString::fromUtf8("Musiksammlung entfernen"));
  EXPECT_EQ(menu->SpeedButton1->text(), QString::fromUtf8("Schließen"));
  EXPECT_EQ(menu->ShellTreeView1->font().pixelSize(), 32);
  const QRect client(QPoint(0, 0), menu->size());
  for (QWidget* control : Controls()) {
    EXPECT_TRUE(client.contains(control->geometry())) << control->objectName().toStdString();
    EXPECT_GE(control->height(), 48) << control->objectName().toStdString();
  }
}

TEST_F(CollectionBuilderTest, ATapOpensAFolderAndASecondTapClosesIt) {
  Build();
  const QModelIndex sub = menu->FolderIndex(QString::fromStdString(musicRoot + "/sub"));
  ASSERT_TRUE(sub.isValid());
  menu->ShellTreeView1->collapse(sub);
  emit menu->ShellTreeView1->clicked(sub);
  EXPECT_TRUE(menu->ShellTreeView1->isExpanded(sub));
  // Opening lists the subfolders, without files.
  ASSERT_EQ(menu->FolderModel()->rowCount(sub), 1);
  EXPECT_EQ(menu->FolderModel()->index(0, 0, sub).data().toString(), QStringLiteral("tief"));
  emit menu->ShellTreeView1->clicked(sub);
  EXPECT_FALSE(menu->ShellTreeView1->isExpanded(sub));
}

// The tree starts at the operator's home, with the folders where sticks and
// shares appear beside it, those only that exist, each once.
TEST_F(CollectionBuilderTest, TreeRootsAreHomeAndTheMountFoldersThatExist) {
  ProgramFolder place;
  const QString base = QString::fromStdString(place.Path());
  for (const char* folder : {"home/bar", "media", "mnt"}) QDir().mkpath(base + folder);
  std::ofstream(place.Path() + "datei.txt") << "keine Ordner";
  struct Case {
    const char* what;
    QStringList candidates;
    QStringList roots;
  };
  const QString home = base + "home/bar";
  const std::vector<Case> cases{
      {"both exist", {base + "media", base + "mnt"}, {home, base + "media", base + "mnt"}},
      {"one missing", {base + "media", base + "fehlt"}, {home, base + "media"}},
      {"a file is no folder", {base + "datei.txt"}, {home}},
      {"home named twice", {home + "/", base + "mnt"}, {home, base + "mnt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TFormMenu::FolderTreeRoots(home, c.candidates), c.roots);
  }
  EXPECT_EQ(TFormMenu::MountFolders(), (QStringList{"/media", "/mnt"}));

  // A fresh window shows them as its top level.
  Build();
  const QStringList real = TFormMenu::FolderTreeRoots(QDir::homePath(), TFormMenu::MountFolders());
  TFormMenu fresh(*form);
  ASSERT_EQ(fresh.FolderModel()->rowCount(), real.size());
  for (int row = 0; row < real.size(); ++row)
    EXPECT_EQ(fresh.FolderModel()->index(row, 0).data(Qt::UserRole).toString(), real[row]);
  EXPECT_FALSE(fresh.FolderIndex(QStringLiteral("/proc")).isValid());
}

TEST_F(CollectionBuilderTest, ScanWithoutAChosenFolderAsksForOne) {
  Build();
  const std::string before = ReadAll(CollectionFile());
  for (auto click : {&TFormMenu::SpeedButton_Musiksammlung_neu_erstellenClick,
                     &TFormMenu::SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick}) {
    dialogs.Clear();
    dialogs.questionAnswers = {true};
    ((*menu).*click)();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Information);
    EXPECT_EQ(dialogs.shown[0].text, kNoFolderText);
    EXPECT_EQ(ReadAll(CollectionFile()), before);
    EXPECT_EQ(form->CollectionTable().StoredRecordCount(), 0);
  }
}

TEST_F(CollectionBuilderTest, AMissingCollectionFileStopsEveryAddition) {
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  folder.Remove("Musikliste.xml");
  for (auto click : {&TFormMenu::SpeedButton_Musiksammlung_neu_erstellenClick,
                     &TFormMenu::SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick,
                     &TFormMenu::SpeedButton_Titel_hinzufugenClick}) {
    dialogs.Clear();
    dialogs.questionAnswers = {true};
    dialogs.openAnswers = {Music({"b.mp3"})};
    ((*menu).*click)();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kMissingText});
    EXPECT_EQ(form->CollectionTable().StoredRecordCount(), 0);
    EXPECT_FALSE(fs::exists(CollectionFile()));
    EXPECT_TRUE(ControlsEnabled());
  }
}

TEST_F(CollectionBuilderTest, AnsweringNoChangesNothing) {
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  const std::string before = ReadAll(CollectionFile());
  const struct {
    void (TFormMenu::*click)();
    const char* question;
  } buttons[] = {{&TFormMenu::SpeedButton_Musiksammlung_neu_erstellenClick, kRecursiveQuestion},
                 {&TFormMenu::SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick, kFolderQuestion}};
  for (const auto& b : buttons) {
    dialogs.Clear();
    dialogs.questionAnswers = {false};
    ((*menu).*b.click)();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{b.question});
    EXPECT_EQ(ReadAll(CollectionFile()), before);
    EXPECT_EQ(form->CollectionTable().StoredRecordCount(), 0);
    EXPECT_TRUE(ControlsEnabled());
  }
}

TEST_F(CollectionBuilderTest, ScanningTwiceDoublesEveryTitleWithOneWriteEach) {
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  WriteCounter writes(folder.Path());
  const std::vector<std::string> once = Music({"A.MP3", "b.mp3", "sub/c.mp3", "sub/tief/d.mp3", "zwei/e.mp3"});

  dialogs.questionAnswers = {true};
  menu->SpeedButton_Musiksammlung_neu_erstellenClick();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kRecursiveQuestion});  // no other box
  EXPECT_EQ(StoredPaths(), once);
  EXPECT_EQ(writes.Writes("Musikliste.xml"), 1);
  EXPECT_TRUE(ControlsEnabled());
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("5 Titel in Musiksammlung vorhanden"));
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), QStringLiteral("5 Titel"));
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), QString::fromUtf8("Musiksammlung komplett verfügbar"));
  EXPECT_TRUE(form->JvLED2->Active());
  EXPECT_EQ(form->JvLED2->Color(), QColor(0x00, 0xFF, 0x00));
  EXPECT_TRUE(hauptmenu->CheckBoxEinschraenken->isEnabled());
  // The window itself tells what the scan did.
  EXPECT_EQ(menu->LabelStatus->text(), QString::fromUtf8("5 Titel hinzugefügt"));
  // Play-once (on by default) lets each new title be chosen once.
  ASSERT_TRUE(form->State.PlayOnceEnabled);
  EXPECT_EQ(form->State.PlayOnceList.Numbers(), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  ASSERT_TRUE(form->State.PlayOnceList.Take(2));  // a guest chose title 2

  dialogs.questionAnswers = {true};
  menu->SpeedButton_Musiksammlung_neu_erstellenClick();
  // Title 2 stays chosen; the five new ones join.
  EXPECT_EQ(form->State.PlayOnceList.Numbers(), (std::vector<std::int32_t>{1, 3, 4, 5, 6, 7, 8, 9, 10}));
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(StoredPaths(), twice);
  EXPECT_EQ(writes.Writes("Musikliste.xml"), 2);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("10 Titel in Musiksammlung vorhanden"));

  // The folder's own files only.
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot + "/sub")));
  dialogs.Clear();
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kFolderQuestion});
  const std::vector<std::string> stored = StoredPaths();
  ASSERT_EQ(stored.size(), 11u);
  EXPECT_EQ(stored.back(), musicRoot + "/sub/c.mp3");
  EXPECT_EQ(menu->LabelStatus->text(), QString::fromUtf8("1 Titel hinzugefügt"));

  // A folder without music says so, rather than a count of nothing.
  fs::create_directories(musicRoot + "/leer");
  menu->show();  // the tree is read again at each opening
  QApplication::processEvents();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot + "/leer")));
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  EXPECT_EQ(menu->LabelStatus->text(), QString::fromUtf8("Keine Titel gefunden – die Musiksammlung ist unverändert"));
  menu->hide();
  // A new opening starts without the last opening's news, and with the
  // folder chosen before.
  menu->show();
  EXPECT_TRUE(menu->LabelStatus->text().isEmpty());
  EXPECT_EQ(menu->SelectedFolder(), musicRoot + "/leer");
  menu->hide();
}

TEST_F(CollectionBuilderTest, ThreeFilesFromTheDialogAreAppendedWithOneWrite) {
  Build();
  WriteCounter writes(folder.Path());
  dialogs.openAnswers = {};  // cancelled
  menu->SpeedButton_Titel_hinzufugenClick();
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(writes.Writes("Musikliste.xml"), 0);

  const std::vector<std::string> chosen = Music({"zwei/e.mp3", "b.mp3", "sub/c.mp3"});
  dialogs.openAnswers = {chosen};
  menu->SpeedButton_Titel_hinzufugenClick();
  EXPECT_EQ(StoredPaths(), chosen);  // in the dialog's order
  EXPECT_EQ(writes.Writes("Musikliste.xml"), 1);
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_TRUE(ControlsEnabled());
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("3 Titel in Musiksammlung vorhanden"));
  EXPECT_TRUE(hauptmenu->CheckBoxEinschraenken->isEnabled());
  EXPECT_EQ(menu->LabelStatus->text(), QString::fromUtf8("3 Titel hinzugefügt"));
}

// A collection file that cannot be written shows the failure and leaves the
// window usable, instead of locking the operator out until it is opened again.
TEST_F(CollectionBuilderTest, AFailedWriteLeavesTheControlsUsable) {
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  const std::string before = ReadAll(CollectionFile());
  // Without any write permission bit the file is read-only, for root too.
  ASSERT_EQ(::chmod(CollectionFile().c_str(), 0444), 0);
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  ::chmod(CollectionFile().c_str(), 0644);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(ReadAll(CollectionFile()), before);
  EXPECT_TRUE(ControlsEnabled());
  EXPECT_FALSE(hauptmenu->CheckBoxEinschraenken->isEnabled());
  // Not a count of titles added: they are not in the file.
  EXPECT_TRUE(menu->LabelStatus->text().startsWith(QStringLiteral("Fehler"))) << menu->LabelStatus->text().toStdString();
  // The titles read stay for the next write.
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  EXPECT_EQ(StoredPaths().size(), 4u);
}

// A full disk is told in German; the titles stay for the next write.
TEST_F(CollectionBuilderTest, AFullDiskIsToldInTheWindowsWords) {
  const fs::path disk = fs::path(music.Path()) / "platte";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
  const std::unique_ptr<const char, int (*)(const char*)> unmount(disk.c_str(), ::umount);
  // The collection file lives on the small disk; the writer writes through the link.
  fs::copy_file(CollectionFile(), disk / "Musikliste.xml");
  fs::remove(CollectionFile());
  fs::create_symlink(disk / "Musikliste.xml", CollectionFile());
  // What the disk has left cannot hold another copy of the file.
  std::ofstream(disk / "fueller", std::ios::binary) << std::string(60 * 1024, 'x');
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(dialogs.shown[1].text, "Die Musikliste konnte nicht gespeichert werden: Der Datentr\xE4ger ist voll.");
  EXPECT_TRUE(ControlsEnabled());
}

TEST_F(CollectionBuilderTest, FilesTheCollectionCannotNameAreReportedOnce) {
  WriteTinyMp3(fs::path(musicRoot) / "\xC5\x82\x61.mp3");        // "ła"
  WriteTinyMp3(fs::path(musicRoot) / "zwei/\xC5\xBA\x62.mp3");   // "źb"
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Musiksammlung_neu_erstellenClick();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].kind, ScriptedDialogs::Kind::Information);
  EXPECT_EQ(dialogs.shown[1].text.rfind("2 Dateien wurden nicht in die Musiksammlung aufgenommen", 0), 0u)
      << dialogs.shown[1].text;
  EXPECT_EQ(StoredPaths().size(), 5u);
}

// Names that are no regular file when read (a link to nothing, a named pipe)
// are no titles; the information box counts them, under the files left out.
TEST_F(CollectionBuilderTest, NamesThatAreNoFileAreSkippedAndCounted) {
  fs::create_symlink(fs::path(musicRoot) / "nirgends.mp3", fs::path(musicRoot) / "c.mp3");
  ASSERT_EQ(::mkfifo((fs::path(musicRoot) / "d.mp3").c_str(), 0600), 0);
  const struct {
    const char* name;
    bool leftOut;  // with a name the collection cannot hold as well
    std::string text;
  } cases[] = {
      {"skipped only", false, "\xDC" "bersprungen (fehlt oder keine Datei): 2"},
      {"left out and skipped", true,
       "1 Datei wurde nicht in die Musiksammlung aufgenommen: ihr Name enth\xE4lt Zeichen, die die Musikliste nicht "
       "speichern kann, oder ihr Pfad ist zu lang.\n\xDC" "bersprungen (fehlt oder keine Datei): 2"},
  };
  Build();
  ASSERT_TRUE(menu->SelectFolder(QString::fromStdString(musicRoot)));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.leftOut) WriteTinyMp3(fs::path(musicRoot) / "\xC5\x82\x61.mp3");  // "ła"
    dialogs.shown.clear();
    dialogs.questionAnswers = {true};
    const std::size_t before = StoredPaths().size();
    menu->SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].kind, ScriptedDialogs::Kind::Information);
    EXPECT_EQ(dialogs.shown[1].text, c.text);
    EXPECT_EQ(StoredPaths().size(), before + 2);  // A.MP3 and b.mp3
  }
}

TEST_F(CollectionBuilderTest, RemovingTheCollectionEmptiesFileScreenAndQueue) {
  const std::vector<Row> rows = {{"Alpha", "Eins", musicRoot + "/b.mp3", "Pop", "1990", "00:01"},
                                 {"Beta", "Zwei", musicRoot + "/A.MP3", "Rock", "1991", "00:02"}};
  folder.WriteAll(kPlainIni, rows);
  folder.WriteCollection("Leer.xml", {});
  const std::string emptyFile = ReadAll(folder.Path() + "Leer.xml");
  UseManualOutput();
  Build();
  ASSERT_NE(form->Player(), nullptr);
  hauptmenu->CheckBoxEinschraenken->setEnabled(true);
  form->Player()->Add(musicRoot + "/b.mp3");
  ASSERT_EQ(form->PlaylistView->topLevelItemCount(), 1);
  const std::string before = ReadAll(CollectionFile());

  dialogs.questionAnswers = {false};
  menu->SpeedButton_Sammlung_entfernenClick();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kRemoveQuestion});
  EXPECT_EQ(ReadAll(CollectionFile()), before);
  EXPECT_EQ(form->Player()->Items.size(), 1u);

  // A search that shows nothing does not spare the question: the whole collection would go.
  form->CollectionTable().SetFilter("Interpret like'%nirgends%'");
  form->CollectionTable().SetFiltered(true);
  ASSERT_EQ(form->CollectionTable().RecordCount(), 0);
  dialogs.Clear();
  dialogs.questionAnswers = {true};
  menu->SpeedButton_Sammlung_entfernenClick();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kRemoveQuestion});
  EXPECT_EQ(ReadAll(CollectionFile()), emptyFile);
  EXPECT_EQ(form->StaticText_titel_vorhanden->text(), QStringLiteral("0 Titel in Musiksammlung vorhanden"));
  EXPECT_EQ(form->StaticTextSucheGefunden->text(), QStringLiteral("0 Titel"));
  EXPECT_EQ(form->StaticTextMusikListenStatus->text(), QStringLiteral("Musiksammlung ohne Titel"));
  EXPECT_FALSE(form->JvLED2->Active());
  EXPECT_EQ(form->JvLED2->Color(), QColor(0xFF, 0x00, 0x00));
  EXPECT_EQ(form->LabelTitel->text(), QString(45, QLatin1Char(':')));
  EXPECT_TRUE(form->Player()->Items.empty());
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 0);
  EXPECT_FALSE(hauptmenu->CheckBoxEinschraenken->isEnabled());
  EXPECT_TRUE(form->State.PlayOnceList.Empty());

  // An empty collection: nothing asked, nothing written, the queue left alone.
  form->Player()->Add(musicRoot + "/b.mp3");
  WriteCounter writes(folder.Path());
  dialogs.Clear();
  menu->SpeedButton_Sammlung_entfernenClick();
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(writes.Writes("Musikliste.xml"), 0);
  EXPECT_EQ(form->Player()->Items.size(), 1u);
}

TEST_F(CollectionBuilderTest, SchliessenIsRefusedWhileAnActionRuns) {
  Build();
  menu->show();
  menu->DisableControls();
  menu->SpeedButton1Click();
  EXPECT_TRUE(menu->isVisible());
  menu->EnableControls();
  menu->SpeedButton1->click();
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(menu->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace orvela::testing
