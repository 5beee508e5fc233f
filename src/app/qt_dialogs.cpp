#include "app/qt_dialogs.h"

#include <QApplication>
#include <QStringList>

#include "app/house_box.h"
#include "app/qt_text.h"
#include "app/touch_file_picker.h"

namespace orvela {

QString ToQtFileFilter(const std::string& filter) {
  QStringList filters;
  for (const TFileFilter& f : ParseFileFilter(filter)) {
    filters << QStringLiteral("%1 (%2)").arg(f.name, f.patterns.join(QLatin1Char(' ')));
  }
  return filters.join(QStringLiteral(";;"));
}

namespace {

QString Title(const std::string& caption) {
  return caption.empty() ? QApplication::applicationName() : ToQString(caption);
}

void ShowOk(const QString& title, const std::string& text, TBoxSign sign, QWidget* parent) {
  THouseBox box(title, ToQString(text), sign, parent);
  box.AddButton(QStringLiteral("OK"), QDialog::Accepted, true);
  box.Run();
}

}  // namespace

void QtDialogs::ShowMessage(const std::string& text) {
  ShowOk(QApplication::applicationName(), text, TBoxSign::None, parent_);
}

void QtDialogs::Information(const std::string& caption, const std::string& text) {
  ShowOk(Title(caption), text, TBoxSign::Information, parent_);
}

void QtDialogs::Error(const std::string& text) {
  // Error boxes carry the title "Error", as the program has always shown them.
  ShowOk(QStringLiteral("Error"), text, TBoxSign::Error, parent_);
}

bool QtDialogs::Question(const std::string& caption, const std::string& text) {
  THouseBox box(Title(caption), ToQString(text), TBoxSign::None, parent_);
  box.AddButton(QStringLiteral("Ja"), QDialog::Accepted, false);
  // A destructive action must not be one stray tap away: Enter, Escape and a
  // quit signal all answer "Nein".
  box.AddButton(QStringLiteral("Nein"), QDialog::Rejected, true);
  return box.Run() == QDialog::Accepted;
}

QString QtDialogs::StartFolder(const std::string& folder) const {
  // Where the caller names none, the last folder a file came from in this run
  // (the next jingle is usually beside the last), else where music is kept.
  QStringList fallbacks;
  if (!lastFolder_.isEmpty()) fallbacks << lastFolder_;
  fallbacks << MusicAndMediaFolders();
  return ChooseStartFolder(ToQString(folder), fallbacks);
}

std::vector<std::string> QtDialogs::OpenFiles(const std::string& title, const std::string& filter,
                                              const std::string& folder, bool multiple) {
  TTouchFilePicker picker(multiple ? TPickMode::OpenSeveral : TPickMode::OpenOne, ToQString(title),
                          ParseFileFilter(filter), StartFolder(folder), QString(), parent_);
  std::vector<std::string> files;
  if (picker.Run() != QDialog::Accepted) return files;
  for (const QString& f : picker.ChosenFiles()) files.push_back(FromQString(f));
  if (folder.empty() && !picker.ChosenFiles().isEmpty()) lastFolder_ = picker.Folder();
  return files;
}

std::string QtDialogs::SaveFile(const std::string& title, const std::string& filter,
                                const std::string& folder, const std::string& defaultExt) {
  TTouchFilePicker picker(TPickMode::Save, ToQString(title), ParseFileFilter(filter), StartFolder(folder),
                          ToQString(defaultExt), parent_);
  if (picker.Run() != QDialog::Accepted || picker.ChosenFiles().isEmpty()) return {};
  if (folder.empty()) lastFolder_ = picker.Folder();
  return FromQString(picker.ChosenFiles().front());
}

}  // namespace orvela
