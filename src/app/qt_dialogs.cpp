#include "app/qt_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/qt_text.h"

namespace orvela {

QString ToQtFileFilter(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Qt separates patterns with blanks where the "|" form uses ";".
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    QString name = parts[i].trimmed();
    if (name.isEmpty()) name = patterns.join(QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
  }
  return filters.join(QStringLiteral(";;"));
}

namespace {

QString Title(const std::string& caption) {
  return caption.empty() ? QApplication::applicationName() : ToQString(caption);
}

// Boxes are read at two metres in a dark bar and closed with a finger.
int ShowForTouch(QMessageBox& box) {
  QFont font = box.font();
  font.setPixelSize(24);
  box.setFont(font);
  for (QAbstractButton* button : box.buttons()) {
    button->setFont(font);
    button->setMinimumSize(160, 64);
  }
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  return box.exec();
}

// Qt's own file dialog, large enough to read and tap on the jukebox's screen,
// in German, and above the operator windows.
int ShowFileDialogForTouch(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setStyleSheet(QStringLiteral("QWidget { font-size: 22px; } QPushButton { min-height: 48px; min-width: 140px; }"
                                      "QScrollBar:vertical { width: 36px; } QScrollBar:horizontal { height: 36px; }"));
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Suchen in:"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Dateiname:"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Dateityp:"));
  dialog.setLabelText(QFileDialog::Accept, dialog.acceptMode() == QFileDialog::AcceptSave
                                               ? QStringLiteral("Speichern")
                                               : QString::fromUtf8("Öffnen"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Abbrechen"));
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  dialog.resize(960, 640);
  return dialog.exec();
}

}  // namespace

void QtDialogs::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), ToQString(text),
                  QMessageBox::Ok, parent_);
  ShowForTouch(box);
}

void QtDialogs::Information(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Information, Title(caption), ToQString(text), QMessageBox::Ok,
                  parent_);
  ShowForTouch(box);
}

void QtDialogs::Error(const std::string& text) {
  // Error boxes carry the title "Error", as the program has always shown them.
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), ToQString(text),
                  QMessageBox::Ok, parent_);
  ShowForTouch(box);
}

bool QtDialogs::Question(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Title(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  // A destructive action must not be one stray tap away.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  // The jukebox speaks German; Qt's own captions would be English here.
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
  return ShowForTouch(box) == QMessageBox::Yes;
}

std::vector<std::string> QtDialogs::OpenFiles(const std::string& title, const std::string& filter,
                                              const std::string& folder, bool multiple) {
  QFileDialog dialog(parent_, ToQString(title), ToQString(folder), ToQtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  std::vector<std::string> files;
  if (ShowFileDialogForTouch(dialog) != QDialog::Accepted) return files;
  for (const QString& f : dialog.selectedFiles()) files.push_back(FromQString(f));
  return files;
}

std::string QtDialogs::SaveFile(const std::string& title, const std::string& filter,
                                const std::string& folder, const std::string& defaultExt) {
  QFileDialog dialog(parent_, ToQString(title), ToQString(folder), ToQtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!defaultExt.empty()) {
    std::string ext = defaultExt;
    if (ext.front() == '.') ext.erase(0, 1);
    dialog.setDefaultSuffix(ToQString(ext));
  }
  if (ShowFileDialogForTouch(dialog) != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::string() : FromQString(chosen.front());
}

}  // namespace orvela
