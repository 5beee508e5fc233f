#pragma once
// The collection management window, where the operator builds the collection:
// a folder scanned with or without its subfolders, single files picked in a
// dialog, or the whole collection removed. Every action ends with one write of
// Musikliste.xml.
#include <QElapsedTimer>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "app/operator_window.h"

class QLabel;
class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

namespace orvela {

class TForm1;

class TFormMenu : public TOperatorWindow {
  Q_OBJECT

 public:
  // How often the guest screen is repainted during a scan at most: often
  // enough that the counters visibly run, rarely enough that painting does not
  // cost more than reading the files.
  static constexpr int kRepaintIntervalMs = 40;

  explicit TFormMenu(TForm1& form1, QWidget* parent = nullptr);

  // The tree's top-level folders: the home folder, then those of the mount
  // folders that exist (where USB sticks and network shares appear), each once.
  static QStringList FolderTreeRoots(const QString& home, const QStringList& mountFolders);
  // The mount folders looked for on this system.
  static QStringList MountFolders();
  // Shows these folders as the tree's top level (the constructor shows home and
  // the mount folders); they are kept as given.
  void SetFolderRoots(const QStringList& roots);
  QStringList FolderRoots() const { return roots_; }

  QLabel* Label1 = nullptr;
  QTreeView* ShellTreeView1 = nullptr;
  QPushButton* SpeedButton_Musiksammlung_neu_erstellen = nullptr;
  QPushButton* SpeedButton_Ordner_zur_Musiksammlung_hinzufugen = nullptr;
  QPushButton* SpeedButton_Titel_hinzufugen = nullptr;
  QPushButton* SpeedButton_Sammlung_entfernen = nullptr;
  QPushButton* SpeedButton1 = nullptr;  // "Schließen"
  // What the last action did, in words: the titles it added, or why none.
  QLabel* LabelStatus = nullptr;

  // The folder tree's model: folders only, filled as they are opened. Each
  // item holds its folder's path under Qt::UserRole.
  QStandardItemModel* FolderModel() const { return folderModel_; }
  // The tree's item of a folder below one of the roots, its parents opened;
  // invalid when no root holds it.
  QModelIndex FolderIndex(const QString& path);
  // Selects a folder in the tree as tapping it does (native path); false when
  // the tree does not know it.
  bool SelectFolder(const QString& path);
  // The folder the operator tapped, as the file system spells it; empty when
  // none is selected.
  std::string SelectedFolder() const;

  // Appends every file of `nativeFolder` matching the mask, with `recursive`
  // those of all subfolders too, letting the screen run meanwhile. Files whose
  // names the collection cannot hold are left out and counted.
  void ScanFolder(const std::string& nativeFolder, const std::string& mask, bool recursive);
  void DisableControls();
  void EnableControls();

  // The buttons.
  void SpeedButton_Musiksammlung_neu_erstellenClick();
  void SpeedButton_Ordner_zur_Musiksammlung_hinzufugenClick();
  void SpeedButton_Titel_hinzufugenClick();
  void SpeedButton_Sammlung_entfernenClick();
  void SpeedButton1Click();

  // Files of the last action left out, for the message at its end.
  std::size_t LeftOutFiles() const { return leftOut_; }

 public slots:
  // Refused while an action runs.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void ScaleChanged(double scale) override;
  // The subfolders of a folder item, listed when it is first opened.
  void FillFolder(QStandardItem* item);
  void ShowStatus(const QString& text);
  void ScanButton(bool recursive, const char* question);
  bool CollectionFilePresent();
  void AddToCollection(const std::string& path);
  // Writes the collection file, shows the new state on the guest screen and
  // what was left out; the controls are usable again even when the write failed.
  void FinishAddition();
  // Lets the screen in after a file: events always, a repaint of the guest
  // screen's counters at most every kRepaintIntervalMs.
  void LetScreenRun();
  std::string CollectionFile() const;

  TForm1& form1_;
  QStandardItemModel* folderModel_ = nullptr;
  QStringList roots_;
  std::size_t leftOut_ = 0;
  std::size_t skipped_ = 0;  // names of the walk that were no regular file when read
  int titlesBefore_ = 0;
  QElapsedTimer sinceRepaint_;
};

}  // namespace orvela
