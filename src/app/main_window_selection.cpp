// A guest's choice into the queue, under the house rules (jukebox/title_selection.h),
// and the collection builder's way of adding one audio file as a title record.
#include <QLabel>
#include <QPushButton>
#include <exception>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "collection/collection_table.h"
#include "collection/title_record.h"
#include "common/dialogs.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/playback_time.h"
#include "jukebox/title_selection.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

constexpr const char* kCollectionWriteFailedText = "Kann musikliste.xml nicht finden!";

}  // namespace

void TForm1::Abspielliste_uebernehmen_SpeedBtnClick() {
  if (!player_) return;
  TSelectionRequest request;
  request.queuedTitles = static_cast<std::int32_t>(player_->Items.size());
  request.hasRecord = collectionTable_->RecordCount() > 0;
  if (request.hasRecord) {
    request.interpret = collectionTable_->FieldAsString("Interpret");
    request.titel = collectionTable_->FieldAsString("Titel");
    request.titleNumber = collectionTable_->StorageNumber();
  }
  request.queueCaptions.reserve(player_->Items.size());
  for (const auto& item : player_->Items) request.queueCaptions.push_back(item->GetDisplayName());

  switch (SelectTitle(State, request)) {
    case TSelection::QueueFull:
      services_.dialogs->Information("", kQueueFullText);
      return;
    case TSelection::NoRecord:
      return;
    case TSelection::Duplicate:
      services_.dialogs->Information("", kDuplicateText);
      return;
    case TSelection::AlreadyPlayed:
      services_.dialogs->Information("", kAlreadyPlayedText);
      return;
    case TSelection::AddLastOfOnce:
      services_.dialogs->ShowMessage(kAllTitlesPlayedText);
      try {
        // Off at the next start too.
        TIniFile(State.ProgramDir + "Jukebox.ini").WriteBool("Programm", "EinmalSpielen", false);
      } catch (const IniWriteError& e) {
        services_.dialogs->Error(e.what());
      }
      break;
    case TSelection::Add:
      break;
  }
  AddSelectedTitle();
}

void TForm1::AddSelectedTitle() {
  // The add event appends the row and moves the count.
  player_->Add(collectionTable_->FieldAsString("Pfad"));
  // The guest sees when the chosen title is expected to start.
  SelectQueueRow(2);
  UpdateStartTimeEstimate();
}

void TForm1::AppendTitleRecord(const TAudioFile& file) {
  try {
    orvela::AppendTitleRecord(*collectionTable_, file);
    StaticText_titel_vorhanden->setText(QString::number(collectionTable_->RecordCount()) +
                                        QStringLiteral(" Titel in Musiksammlung vorhanden"));
  } catch (const std::exception&) {
    services_.dialogs->ShowMessage(kCollectionWriteFailedText);
  }
}

}  // namespace orvela
