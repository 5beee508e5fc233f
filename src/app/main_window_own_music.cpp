// The way forward on a jukebox without music of its own: a fresh install shows
// the demo collection (or nothing), and a few lines under the queue say how the
// owner puts their own music in. It goes away with the first own title.
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/house_style.h"
#include "app/main_window.h"
#include "collection/collection_table.h"
#include "common/codepage.h"
#include "common/file_open.h"
#include "jukebox/jukebox_ini.h"

namespace orvela {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

// The folder the demo collection is written to, as the program folder is
// named and as it resolves (a folder reached through a link, "..").
std::vector<std::string> DemoFolderPrefixes(const std::string& programDir) {
  std::vector<std::string> prefixes = {programDir + "Demo/"};
  std::error_code error;
  const std::filesystem::path resolved =
      std::filesystem::weakly_canonical(std::filesystem::path(ResolveCodePagePath(programDir)), error);
  if (!error && !resolved.empty()) {
    std::string native = resolved.string();
    if (native.back() != '/') native += '/';
    prefixes.push_back(NativePathToCp1252(native) + "Demo/");
  }
  return prefixes;
}

// Whether any title lies outside the demo folder, whatever filter is on.
bool HoldsOwnMusic(const TCollectionTable& table, const std::string& programDir) {
  const std::vector<std::string> demo = DemoFolderPrefixes(programDir);
  for (int number = 1; number <= table.StoredRecordCount(); ++number) {
    const std::string path = table.StoredField(number, TCollectionTable::Pfad);
    bool inDemo = false;
    for (const std::string& prefix : demo) inDemo = inDemo || StartsWith(path, prefix);
    if (!inDemo) return true;
  }
  return false;
}

// The delivered code is in the handbook for everyone to read, so it may stand
// here; a code the owner chose is never shown to the guests.
QString OwnMusicText(bool demoOnly, bool codeActive, const std::string& code) {
  QString text = demoOnly ? QString::fromUtf8("Hier laufen Demo-Titel. ")
                          : QString::fromUtf8("Die Musiksammlung ist leer. ");
  text += QString::fromUtf8("Eigene Musik hinzufügen: ");
  if (codeActive) {
    text += code == kDefaultMenuCode ? QString::fromUtf8("Code %1 eintippen, ").arg(QString::fromLatin1(kDefaultMenuCode))
                                     : QString::fromUtf8("den Menücode eintippen, ");
  }
  text += QString::fromUtf8(
      "„Menü“ drücken, dann „Musiksammlung bearbeiten“ – oder am Rechner mit "
      "orvela-jukebox-tool scan (siehe README).");
  return text;
}

}  // namespace

void TForm1::ShowOwnMusicHint() {
  if (PlaylistView == nullptr) return;
  if (LabelEigeneMusik == nullptr) {
    // The lines join the queue's place in the screen, below its list: a list
    // only shows fewer rows for them, where the collection's six panels would
    // be squeezed until their lines overlap (three lines of text at 1024x768).
    QWidget* place = PlaylistView->parentWidget();
    if (place == nullptr || place->layout() == nullptr) return;
    auto* box = new QWidget(place);
    box->setObjectName(QStringLiteral("BoxEigeneMusik"));
    delete place->layout()->replaceWidget(PlaylistView, box);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(PlaylistView, 1);
    LabelEigeneMusik = new QLabel(box);
    LabelEigeneMusik->setObjectName(QStringLiteral("LabelEigeneMusik"));
    LabelEigeneMusik->setWordWrap(true);
    LabelEigeneMusik->setTextFormat(Qt::PlainText);
    LabelEigeneMusik->hide();
    column->addWidget(LabelEigeneMusik);
    Style(LabelEigeneMusik, house::kReadablePx, true);
    ApplyScale();
  }
  const bool own = HoldsOwnMusic(*collectionTable_, State.ProgramDir);
  if (!own) {
    LabelEigeneMusik->setText(
        OwnMusicText(collectionTable_->StoredRecordCount() > 0, State.MenuCodeActive, State.MenuCode));
  }
  LabelEigeneMusik->setVisible(!own);
}

}  // namespace orvela
