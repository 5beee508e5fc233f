#include "app/collection_builder_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScroller>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>

#include "app/house_style.h"
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

// Folders with finger-sized arrows. The arrows only show which folders have
// subfolders; a tap on one acts as a tap on its row (open or close, and choose),
// so there is one rule for the finger wherever it lands on a row.
class TFolderTree : public QTreeView {
 public:
  explicit TFolderTree(QWidget* parent) : QTreeView(parent) { setItemsExpandable(false); }

 protected:
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override {
    QTreeView::drawBranches(painter, rect, QModelIndex());  // the background only
    if (!model()->hasChildren(index)) return;
    const int side = std::min(indentation(), rect.height()) * 2 / 5;
    const QRect arrowBox(rect.right() - indentation() + (indentation() - side) / 2,
                         rect.top() + (rect.height() - side) / 2, side, side);
    QPolygon arrow;
    if (isExpanded(index)) {
      arrow << arrowBox.topLeft() << arrowBox.topRight() << QPoint(arrowBox.center().x(), arrowBox.bottom());
    } else {
      arrow << arrowBox.topLeft() << arrowBox.bottomLeft() << QPoint(arrowBox.right(), arrowBox.center().y());
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(isEnabled() ? QColor(QString::fromLatin1(house::kHighlight)) : QColor(0x6C, 0x74, 0x88));
    painter->drawPolygon(arrow);
    painter->restore();
  }

  // A press on an arrow is a press on its row: the toolkit would open the
  // folder on the press and the tap would close it again.
  void mousePressEvent(QMouseEvent* event) override {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->position().x() < visualRect(index).left()) {
      pressedOnArrow_ = index;
      event->accept();
      return;
    }
    pressedOnArrow_ = QPersistentModelIndex();
    QTreeView::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (pressedOnArrow_.isValid()) {
      const QModelIndex index = pressedOnArrow_;
      pressedOnArrow_ = QPersistentModelIndex();
      if (indexAt(event->position().toPoint()) == index) {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        setCurrentIndex(index);
        emit clicked(index);
      }
      event->accept();
      return;
    }
    QTreeView::mouseReleaseEvent(event);
  }

 private:
  QPersistentModelIndex pressedOnArrow_;
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
  StyleTitle(Label1, 32);
  Label1->setGeometry(16, 8, 480, 44);

  // Folders only: the operator picks where the music is, the scan finds the
  // files. Hidden folders stay out of the tree (a home folder is full of them
  // and none holds music a bar plays); a scan still walks those below the
  // chosen folder.
  folderModel_ = new QStandardItemModel(this);
  auto* tree = new TFolderTree(this);
  ShellTreeView1 = tree;
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  ShellTreeView1->setModel(folderModel_);
  ShellTreeView1->header()->hide();
  ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ShellTreeView1->setUniformRowHeights(true);
  ShellTreeView1->setItemDelegate(new TFingerRows(ShellTreeView1));
  QFont finger = font();
  finger.setPixelSize(32);
  ShellTreeView1->setFont(finger);
  ShellTreeView1->setIconSize(QSize(32, 32));
  ShellTreeView1->setGeometry(16, 60, 480, 394);
  ShellTreeView1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  ShellTreeView1->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  // A finger drags the list; a tap chooses.
  QScroller::grabGesture(ShellTreeView1->viewport(), QScroller::LeftMouseButtonGesture);
  // A tap on a folder opens it (and chooses it), a second tap closes it again.
  connect(ShellTreeView1, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    ShellTreeView1->setExpanded(index, !ShellTreeView1->isExpanded(index));
  });
  connect(ShellTreeView1, &QTreeView::expanded, this,
          [this](const QModelIndex& index) { FillFolder(folderModel_->itemFromIndex(index)); });
  SetFolderRoots(FolderTreeRoots(QDir::homePath(), MountFolders()));

  LabelStatus = new QLabel(this);
  LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
  QFont status = font();
  status.setPixelSize(20);
  status.setBold(true);
  LabelStatus->setFont(status);
  LabelStatus->setStyleSheet(QStringLiteral("color: #FFC857;"));
  LabelStatus->setGeometry(16, 458, kCloseButtonRect.left() - 16 - 12, 32);

  const auto makeButton = [this](const char* name, const QString& caption, int y, int height) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    QFont f = font();
    f.setPixelSize(house::kReadablePx);
    f.setBold(true);
    button->setFont(f);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(508, y, 356, height);
    return button;
  };
  SpeedButton_Musiksammlung_neu_erstellen =
      makeButton("SpeedButton_Musiksammlung_neu_erstellen",
                 QString::fromUtf8("Ordner mit Unterverzeichnisen der\nMusiklsammlung hinzufügen"), 60, 72);
  SpeedButton_Ordner_zur_Musiksammlung_hinzufugen =
      makeButton("SpeedButton_Ordner_zur_Musiksammlung_hinzufugen",
                 QString::fromUtf8("Ordner zur Musiksammlung hinzufügen"), 144, 64);
  SpeedButton_Titel_hinzufugen =
      makeButton("SpeedButton_Titel_hinzufugen", QString::fromUtf8("Titel zur Musiksammlung hinzufügen"), 220, 64);
  SpeedButton_Sammlung_entfernen =
      makeButton("SpeedButton_Sammlung_entfernen", QString::fromUtf8("Musiksammlung entfernen"), 296, 64);
  SpeedButton1 = new QPushButton(QString::fromUtf8("Schließen"), this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  StyleCloseButton(SpeedButton1);

  connect(SpeedButton_Musiksammlung_neu_erstellen, &QPushButton::clicked, this,
          [this] { SpeedButton_Musiksammlung_neu_erstellenClick(); });
  connect(SpeedButton_Ordner_zur_Musiksammlung_hinzufugen, &QPushButton::clicked, this,
          [this] { SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick(); });
  connect(SpeedButton_Titel_hinzufugen, &QPushButton::clicked, this, [this] { SpeedButton_Titel_hinzufugenClick(); });
  connect(SpeedButton_Sammlung_entfernen, &QPushButton::clicked, this,
          [this] { SpeedButton_Sammlung_entfernenClick(); });
  connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
}

QStringList TFormMenu::FolderTreeRoots(const QString& home, const QStringList& mountFolders) {
  QStringList roots;
  const auto add = [&roots](const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) return;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    if (!roots.contains(path)) roots.push_back(path);
  };
  add(home);
  for (const QString& folder : mountFolders) add(folder);
  return roots;
}

QStringList TFormMenu::MountFolders() { return {QStringLiteral("/media"), QStringLiteral("/mnt")}; }

namespace {

constexpr int kPlaceholderRole = Qt::UserRole + 1;

bool HasSubfolders(const QString& path) {
  QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
  return it.hasNext();
}

QStandardItem* NewFolderItem(const QString& path, const QString& caption) {
  auto* item = new QStandardItem(QFileIconProvider().icon(QAbstractFileIconProvider::Folder), caption);
  item->setData(path, Qt::UserRole);
  item->setEditable(false);
  item->setToolTip(path);
  // Opened lazily: a stand-in child gives the folder its arrow until then.
  if (HasSubfolders(path)) {
    auto* placeholder = new QStandardItem;
    placeholder->setData(true, kPlaceholderRole);
    placeholder->setSelectable(false);
    item->appendRow(placeholder);
  }
  return item;
}

}  // namespace

void TFormMenu::SetFolderRoots(const QStringList& roots) {
  QStringList cleaned;
  for (const QString& root : roots) cleaned.push_back(QDir::cleanPath(root));
  roots_ = cleaned;
  folderModel_->clear();
  for (const QString& root : roots_) folderModel_->appendRow(NewFolderItem(root, QDir::toNativeSeparators(root)));
}

void TFormMenu::FillFolder(QStandardItem* item) {
  if (item == nullptr || item->rowCount() != 1 || !item->child(0)->data(kPlaceholderRole).toBool()) return;
  item->removeRow(0);
  const QString path = item->data(Qt::UserRole).toString();
  const QFileInfoList folders =
      QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
  for (const QFileInfo& folder : folders) item->appendRow(NewFolderItem(folder.absoluteFilePath(), folder.fileName()));
}

QModelIndex TFormMenu::FolderIndex(const QString& path) {
  const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  for (int row = 0; row < folderModel_->rowCount(); ++row) {
    QStandardItem* at = folderModel_->item(row);
    const QString root = at->data(Qt::UserRole).toString();
    if (wanted != root && !wanted.startsWith(root == QStringLiteral("/") ? root : root + QLatin1Char('/'))) continue;
    const QStringList steps = wanted.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& step : steps) {
      FillFolder(at);
      QStandardItem* next = nullptr;
      for (int child = 0; child < at->rowCount() && next == nullptr; ++child) {
        if (at->child(child)->text() == step) next = at->child(child);
      }
      if (next == nullptr) return {};
      ShellTreeView1->expand(at->index());
      at = next;
    }
    return at->index();
  }
  return {};
}

bool TFormMenu::SelectFolder(const QString& path) {
  const QModelIndex index = FolderIndex(path);
  if (!index.isValid()) return false;
  ShellTreeView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
  ShellTreeView1->setCurrentIndex(index);
  ShellTreeView1->scrollTo(index);
  return true;
}

std::string TFormMenu::SelectedFolder() const {
  // A touch screen gives no reliable focus: a folder counts as chosen when it
  // is selected in the tree, which a tap does.
  const QModelIndexList selected = ShellTreeView1->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return {};
  return QFile::encodeName(selected.front().data(Qt::UserRole).toString()).toStdString();
}

void TFormMenu::ScaleChanged(double scale) {
  ShellTreeView1->setIndentation(static_cast<int>(std::lround(house::kTouchPx * scale)));
  // The rows' height follows the scale: let the view measure them again.
  ShellTreeView1->doItemsLayout();
}

void TFormMenu::ShowStatus(const QString& text) { LabelStatus->setText(text); }

void TFormMenu::showEvent(QShowEvent* event) {
  // Each opening starts afresh: the line tells of actions in this opening
  // only, and the tree shows the folders as they are now (a stick plugged in
  // since), keeping the folder chosen before.
  if (!event->spontaneous()) {
    ShowStatus(QString());
    const std::string chosen = SelectedFolder();
    SetFolderRoots(roots_);
    if (!chosen.empty()) SelectFolder(QFile::decodeName(QByteArray::fromStdString(chosen)));
  }
  TOperatorWindow::showEvent(event);
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
    ShowStatus(QString::fromUtf8("Suche läuft … %1 Titel bisher hinzugefügt")
                   .arg(form1_.CollectionTable().StoredRecordCount() - titlesBefore_));
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
  ShowStatus(QString::fromUtf8("Suche läuft …"));
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
  const int added = form1_.CollectionTable().StoredRecordCount() - titlesBefore_;
  QString status = added > 0 ? QString::fromUtf8("%1 Titel hinzugefügt").arg(added)
                             : QString::fromUtf8("Keine Titel gefunden – die Musiksammlung ist unverändert");
  if (leftOut_ + skipped_ > 0) status += QString::fromUtf8(", %1 ausgelassen").arg(leftOut_ + skipped_);
  if (!saved) status = QString::fromUtf8("Fehler: Musikliste.xml wurde nicht gespeichert (%1 Titel nur im Speicher)").arg(added);
  ShowStatus(status);
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
    ShowStatus(QString::fromUtf8("Fehler: die Musiksammlung wurde nicht entfernt"));
    return;
  }
  try {
    table.SaveToFile(CollectionFile());
  } catch (const std::exception&) {
    // The table is empty all the same: the screen says so below.
    dialogs.ShowMessage(kRemoveFailedText);
  }
  form1_.ShowCollectionRemoved();
  ShowStatus(QString::fromUtf8("Musiksammlung entfernt"));
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
