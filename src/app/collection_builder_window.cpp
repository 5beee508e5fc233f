#include "app/collection_builder_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <cerrno>
#include <cstring>
#include <exception>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/settings_menu.h"
#include "collection/collection_table.h"
#include "collection/folder_scan.h"
#include "common/dialogs.h"
#include "common/file_open.h"
#include "metadata/audio_file.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

constexpr const char* kMissingCollectionText =
    "Die Datei Musikliste.xml wurde nicht gefunden. Aktion wurde abgebrochen.";
constexpr const char* kNoFolderText = "Bitte ein Verzeichnis ausw\xE4hlen !";
constexpr const char* kRecursiveQuestion =
    "Achtung diese Funktion kann unter Umst\xE4nden mehrere Stunden in Anspruch nehmen. Fortsetzen ?";
constexpr const char* kFolderQuestion = "M\xF6\x63hten Sie diesen Ordner nach Musikdateien durchsuchen ?";
constexpr const char* kRemoveQuestion = "Aktuelle Sammlung wirklich l\xF6schen ?";
constexpr const char* kRemoveFailedText = "Kann musikliste.xml nicht finden!";
constexpr const char* kDiskFullText = "Die Musikliste konnte nicht gespeichert werden: Der Datentr\xE4ger ist voll.";
constexpr const char* kMask = kMusicFileMask;
constexpr const char* kFileFilter = "Musikdateien|*.mp3;*.flac;*.ogg;*.oga;*.opus;*.m4a|*.mp3|*.mp3";

// The table words its failures for a terminal; a full disk is the one the
// operator can do something about, so it is said in the window's words.
std::string SaveFailedText(const std::exception& e) {
  const std::string reason = e.what();
  return reason.find(std::strerror(ENOSPC)) != std::string::npos ? kDiskFullText : reason;
}

std::string LeftOutText(std::size_t count) {
  if (count == 1) {
    return "1 Datei wurde nicht in die Musiksammlung aufgenommen: ihr Name enth\xE4lt Zeichen, die die "
           "Musikliste nicht speichern kann, oder ihr Pfad ist zu lang.";
  }
  return std::to_string(count) +
         " Dateien wurden nicht in die Musiksammlung aufgenommen: ihre Namen enthalten Zeichen, die die "
         "Musikliste nicht speichern kann, oder ihre Pfade sind zu lang.";
}

// While a scan runs, the guest screen's title counter changes with every file;
// it is let through to the screen only at the repaint moments (painting it
// after every file cost more than reading the file). Between them the screen
// keeps the count last painted. Its size is held too: a label whose size may
// change asks its layout to be worked out again with every new text.
class HeldRepaints {
 public:
  explicit HeldRepaints(QWidget* widget)
      : widget_(widget), minimum_(widget->minimumSize()), maximum_(widget->maximumSize()) {
    widget_->setUpdatesEnabled(false);
    widget_->setFixedSize(widget_->size());
  }
  ~HeldRepaints() {
    widget_->setMinimumSize(minimum_);
    widget_->setMaximumSize(maximum_);
    widget_->setUpdatesEnabled(true);
  }
  HeldRepaints(const HeldRepaints&) = delete;
  HeldRepaints& operator=(const HeldRepaints&) = delete;

 private:
  QWidget* widget_;
  QSize minimum_;
  QSize maximum_;
};

}  // namespace

TFormMenu::TFormMenu(TForm1& form1, QWidget* parent)
    : TOperatorWindow(QString::fromUtf8("Musiktitel hinzufügen..."), parent), form1_(form1) {
  setObjectName(QStringLiteral("FormMenu"));
  CreateControls();
}

void TFormMenu::CreateControls() {
  Label1 = new QLabel(QStringLiteral("Orvela Jukebox"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont title = font();
  title.setPixelSize(32);
  title.setBold(true);
  Label1->setFont(title);
  Label1->setStyleSheet(QStringLiteral("color: white;"));
  Label1->setGeometry(16, 8, 500, 48);

  // Folders only: the operator picks where the music is, the scan finds the
  // files. Hidden folders stay out of the tree (a home folder is full of them
  // and none holds music a bar plays); a scan still walks those below the
  // chosen folder.
  folderModel_ = new QFileSystemModel(this);
  folderModel_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  folderModel_->setReadOnly(true);
  folderModel_->setRootPath(QString());
  ShellTreeView1 = new QTreeView(this);
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  ShellTreeView1->setModel(folderModel_);
  for (int column = 1; column < folderModel_->columnCount(); ++column) ShellTreeView1->hideColumn(column);
  ShellTreeView1->header()->hide();
  ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont finger = font();
  finger.setPixelSize(32);
  ShellTreeView1->setFont(finger);
  ShellTreeView1->setIconSize(QSize(32, 32));
  ShellTreeView1->setIndentation(28);
  ShellTreeView1->setGeometry(16, 64, 520, 420);
  // Scroll bars a finger can hold.
  ShellTreeView1->setStyleSheet(
      QStringLiteral("QScrollBar:vertical { width: 36px; } QScrollBar:horizontal { height: 36px; }"));
  // The branch arrows are too small for a finger: a tap on a folder opens it
  // (and chooses it), a second tap closes it again.
  connect(ShellTreeView1, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    ShellTreeView1->setExpanded(index, !ShellTreeView1->isExpanded(index));
  });
  // Opened where the operator's music usually is: the home folder.
  const QModelIndex home = folderModel_->index(QDir::homePath());
  for (QModelIndex at = home.parent(); at.isValid(); at = at.parent()) ShellTreeView1->expand(at);
  if (home.isValid()) ShellTreeView1->scrollTo(home, QAbstractItemView::PositionAtTop);

  const auto makeButton = [this](const char* name, const QString& caption, int y, int height) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    QFont f = font();
    f.setPixelSize(15);
    f.setBold(true);
    button->setFont(f);
    button->setGeometry(552, y, 310, height);
    return button;
  };
  SpeedButton_Musiksammlung_neu_erstellen =
      makeButton("SpeedButton_Musiksammlung_neu_erstellen",
                 QString::fromUtf8("Ordner mit Unterverzeichnisen der\nMusiklsammlung hinzufügen"), 64, 72);
  SpeedButton_Ordner_zur_Musiksammlung_hinzufugen =
      makeButton("SpeedButton_Ordner_zur_Musiksammlung_hinzufugen",
                 QString::fromUtf8("Ordner zur Musiksammlung hinzufügen"), 148, 64);
  SpeedButton_Titel_hinzufugen =
      makeButton("SpeedButton_Titel_hinzufugen", QString::fromUtf8("Titel zur Musiksammlung hinzufügen"), 224, 64);
  SpeedButton_Sammlung_entfernen =
      makeButton("SpeedButton_Sammlung_entfernen", QString::fromUtf8("Musiksammlung entfernen"), 300, 64);
  // Bottom right, where every operator window keeps its way out.
  SpeedButton1 = makeButton("SpeedButton1", QString::fromUtf8("Schließen"), kClientHeight - 16 - 64, 64);
  SpeedButton1->setGeometry(kClientWidth - 16 - 200, kClientHeight - 16 - 64, 200, 64);

  connect(SpeedButton_Musiksammlung_neu_erstellen, &QPushButton::clicked, this,
          [this] { SpeedButton_Musiksammlung_neu_erstellenClick(); });
  connect(SpeedButton_Ordner_zur_Musiksammlung_hinzufugen, &QPushButton::clicked, this,
          [this] { SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick(); });
  connect(SpeedButton_Titel_hinzufugen, &QPushButton::clicked, this, [this] { SpeedButton_Titel_hinzufugenClick(); });
  connect(SpeedButton_Sammlung_entfernen, &QPushButton::clicked, this,
          [this] { SpeedButton_Sammlung_entfernenClick(); });
  connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
}

bool TFormMenu::SelectFolder(const QString& path) {
  const QModelIndex index = folderModel_->index(path);
  if (!index.isValid()) return false;
  ShellTreeView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
  ShellTreeView1->setCurrentIndex(index);
  return true;
}

std::string TFormMenu::SelectedFolder() const {
  // A touch screen gives no reliable focus: a folder counts as chosen when it
  // is selected in the tree, which a tap does.
  const QModelIndexList selected = ShellTreeView1->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return {};
  return QFile::encodeName(folderModel_->filePath(selected.front())).toStdString();
}

std::string TFormMenu::CollectionFile() const { return form1_.State.ProgramDir + "Musikliste.xml"; }

bool TFormMenu::CollectionFilePresent() {
  if (IsRegularFile(ResolveCodePagePath(CollectionFile()))) return true;
  form1_.Services().dialogs->ShowMessage(kMissingCollectionText);
  return false;
}

void TFormMenu::DisableControls() {
  for (QWidget* control : {static_cast<QWidget*>(SpeedButton_Musiksammlung_neu_erstellen),
                           static_cast<QWidget*>(SpeedButton_Ordner_zur_Musiksammlung_hinzufugen),
                           static_cast<QWidget*>(SpeedButton_Titel_hinzufugen),
                           static_cast<QWidget*>(SpeedButton_Sammlung_entfernen), static_cast<QWidget*>(SpeedButton1),
                           static_cast<QWidget*>(ShellTreeView1)}) {
    control->setEnabled(false);
  }
}

void TFormMenu::EnableControls() {
  for (QWidget* control : {static_cast<QWidget*>(SpeedButton_Musiksammlung_neu_erstellen),
                           static_cast<QWidget*>(SpeedButton_Ordner_zur_Musiksammlung_hinzufugen),
                           static_cast<QWidget*>(SpeedButton_Titel_hinzufugen),
                           static_cast<QWidget*>(SpeedButton_Sammlung_entfernen), static_cast<QWidget*>(SpeedButton1),
                           static_cast<QWidget*>(ShellTreeView1)}) {
    control->setEnabled(true);
  }
}

void TFormMenu::AddToCollection(const std::string& path) {
  if (TTiluPlaylist* player = form1_.Player()) {
    player->AddToCollection(path);
    return;
  }
  // Without a player (no audio output) the collection can be built all the same.
  TAudioFile file;
  file.LoadFromFile(path);
  form1_.AppendTitleRecord(file);
}

void TFormMenu::LetScreenRun() {
  if (!sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= kRepaintIntervalMs) {
    QLabel* counter = form1_.StaticText_titel_vorhanden;
    counter->setUpdatesEnabled(true);  // lets the newest count through
    QCoreApplication::processEvents();
    counter->setUpdatesEnabled(false);
    sinceRepaint_.restart();
  } else {
    QCoreApplication::processEvents();
  }
}

void TFormMenu::ScanFolder(const std::string& nativeFolder, const std::string& mask, bool recursive) {
  TFolderScanOptions options;
  options.mask = mask;
  options.recursive = recursive;
  options.maxPathBytes = form1_.CollectionTable().FieldWidth(TCollectionTable::Pfad);
  TFolderScanCallbacks callbacks;
  callbacks.file = [this](const std::string& path) { AddToCollection(path); };
  callbacks.pause = [this] {
    LetScreenRun();
    return true;
  };
  const HeldRepaints held(form1_.StaticText_titel_vorhanden);
  sinceRepaint_.invalidate();
  const TFolderScanResult result = orvela::ScanFolder(nativeFolder, options, callbacks);
  leftOut_ += result.leftOut;
  skipped_ += result.skipped;
}

void TFormMenu::ScanButton(bool recursive, const char* question) {
  if (!CollectionFilePresent()) return;
  const std::string folder = SelectedFolder();
  Dialogs& dialogs = *form1_.Services().dialogs;
  if (folder.empty()) {
    dialogs.Information("", kNoFolderText);
    return;
  }
  if (!dialogs.Question("", question)) return;
  DisableControls();
  leftOut_ = 0;
  skipped_ = 0;
  titlesBefore_ = form1_.CollectionTable().StoredRecordCount();
  form1_.CollectionTable().SetFiltered(false);
  ScanFolder(folder, kMask, recursive);
  FinishAddition();
}

void TFormMenu::SpeedButton_Musiksammlung_neu_erstellenClick() { ScanButton(true, kRecursiveQuestion); }

void TFormMenu::SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick() { ScanButton(false, kFolderQuestion); }

void TFormMenu::SpeedButton_Titel_hinzufugenClick() {
  if (!CollectionFilePresent()) return;
  form1_.CollectionTable().SetFiltered(false);
  // The grid shows the whole collection from now on, whatever the dialog answers.
  form1_.RefreshCollectionGrid();
  Dialogs& dialogs = *form1_.Services().dialogs;
  const std::vector<std::string> files =
      dialogs.OpenFiles("Titel zur Musiksammlung hinzuf\xFCgen", kFileFilter, "", true);
  if (files.empty()) return;
  DisableControls();
  leftOut_ = 0;
  skipped_ = 0;
  titlesBefore_ = form1_.CollectionTable().StoredRecordCount();
  const std::size_t maxPath = form1_.CollectionTable().FieldWidth(TCollectionTable::Pfad);
  for (const std::string& path : files) {
    // The dialog answers in code-page text: a name with characters the code
    // page lacks comes back with question marks and no longer names the file.
    if (!IsRegularFile(ResolveCodePagePath(path)) || path.size() > maxPath) {
      ++leftOut_;
      continue;
    }
    AddToCollection(path);
  }
  FinishAddition();
}

void TFormMenu::FinishAddition() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  bool saved = false;
  try {
    form1_.CollectionTable().SaveToFile(CollectionFile());
    saved = true;
  } catch (const std::exception& e) {
    // The titles stay in the table for the next write; the operator is not
    // locked out of the window by a disk that refused this one.
    dialogs.Error(SaveFailedText(e));
  }
  EnableControls();
  form1_.ShowCollectionExtended(titlesBefore_);
  if (saved) {
    if (THauptmenu* menu = form1_.SettingsMenuWindow(); menu != nullptr && menu->CheckBoxEinschraenken != nullptr) {
      menu->CheckBoxEinschraenken->setEnabled(true);
    }
  }
  std::string passedOver = leftOut_ > 0 ? LeftOutText(leftOut_) : std::string();
  if (skipped_ > 0) {
    if (!passedOver.empty()) passedOver += "\n";
    passedOver += "\xDC" "bersprungen (fehlt oder keine Datei): " + std::to_string(skipped_);
  }
  if (!passedOver.empty()) dialogs.Information("", passedOver);
}

void TFormMenu::SpeedButton_Sammlung_entfernenClick() {
  Dialogs& dialogs = *form1_.Services().dialogs;
  TCollectionTable& table = form1_.CollectionTable();
  // Asked whenever the table holds titles, also when a search shows none of
  // them: the whole collection goes, not only what the view shows.
  if (table.StoredRecordCount() == 0) return;
  if (!dialogs.Question("", kRemoveQuestion)) return;
  try {
    table.SetFiltered(false);
    table.Empty();
  } catch (const std::exception&) {
    dialogs.ShowMessage(kRemoveFailedText);
    return;
  }
  try {
    table.SaveToFile(CollectionFile());
  } catch (const std::exception&) {
    // The table is empty all the same: the screen says so below.
    dialogs.ShowMessage(kRemoveFailedText);
  }
  form1_.ShowCollectionRemoved();
  if (THauptmenu* menu = form1_.SettingsMenuWindow(); menu != nullptr && menu->CheckBoxEinschraenken != nullptr) {
    menu->CheckBoxEinschraenken->setEnabled(false);
  }
}

void TFormMenu::SpeedButton1Click() { reject(); }

void TFormMenu::reject() {
  // While an action runs its controls are off, "Schließen" among them; the
  // Escape key must not close the window under it either.
  if (!SpeedButton1->isEnabled()) return;
  TOperatorWindow::reject();
}

}  // namespace orvela
