#pragma once
// The one file picker of the jukebox, for a finger on a screen in a dark bar:
// large rows that scroll by dragging, whole names, folders first, a path line
// and buttons to go back and up, German captions, and for saving an on-screen
// keyboard for the name. The toolkit's dialog had English headers, tiny icons
// and cut names, and wanted a keyboard nobody has at the jukebox.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "app/house_box.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace orvela {

// One entry of a "Name|pattern;pattern|Name|pattern" filter.
struct TFileFilter {
  QString name;
  QStringList patterns;
};
// Pairs without a pattern part are left out; an empty name becomes the patterns.
std::vector<TFileFilter> ParseFileFilter(const std::string& filter);

// The folder a picker opens in: `wanted` if it is a folder, else the first of
// `fallbacks` that is a folder holding something, else the first that is a
// folder at all, else the home folder.
QString ChooseStartFolder(const QString& wanted, const QStringList& fallbacks);
// Where music is found at a jukebox: the music folder, removable media.
QStringList MusicFolders();
QStringList MediaFolders();
QStringList MusicAndMediaFolders();

enum class TPickMode { OpenOne, OpenSeveral, Save };

class TNameKeyboard;

class TTouchFilePicker : public THousePanel {
  Q_OBJECT
 public:
  // `defaultSuffix` (without dot) is appended to a saved name that lacks it.
  TTouchFilePicker(TPickMode mode, const QString& title, const std::vector<TFileFilter>& filters,
                   const QString& startFolder, const QString& defaultSuffix, QWidget* parent);

  // The chosen files as full paths once accepted (one for OpenOne and Save).
  QStringList ChosenFiles() const { return chosen_; }

  // For tests and the buttons alike.
  QString Folder() const { return folder_; }
  void OpenFolder(const QString& folder);
  QListWidget* List() const { return list_; }
  QLineEdit* NameEdit() const { return name_; }
  QPushButton* AcceptButton() const { return accept_; }

 private:
  void BuildHead(const QString& title, const QString& startFolder);
  void BuildNavigation();
  void BuildList();
  QHBoxLayout* BuildSaveRow();
  void BuildButtons(QHBoxLayout* row);
  void Fill();
  void RebuildPathLine();
  void EntryTapped(QListWidgetItem* item);
  void Back();
  void Up();
  void SelectFilter(int index);
  void ChooseAll();
  void AcceptClicked();
  void UpdateState();
  void DescribeEntries();
  bool IsChosen(const QString& path) const;
  QVBoxLayout* Column() const;

  TPickMode mode_;
  std::vector<TFileFilter> filters_;
  int filterIndex_ = 0;
  QString defaultSuffix_;
  QString folder_;
  QStringList history_;
  QStringList chosen_;

  QPushButton* back_ = nullptr;
  QPushButton* up_ = nullptr;
  QWidget* pathLine_ = nullptr;
  QHBoxLayout* pathLayout_ = nullptr;
  std::vector<QPushButton*> filterButtons_;
  QListWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  TNameKeyboard* keyboard_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* all_ = nullptr;
  QPushButton* accept_ = nullptr;
};

// Letters with umlauts, digits, space, "-", "_" and delete, for file names.
class TNameKeyboard : public QWidget {
  Q_OBJECT
 public:
  TNameKeyboard(QLineEdit* target, QWidget* parent);

 private:
  void SetCapitals(bool on);

  QLineEdit* target_;
  std::vector<QPushButton*> letters_;
  QPushButton* shift_ = nullptr;
};

}  // namespace orvela
