// What collection building changes on the guest screen.
#include <QColor>
#include <QLabel>
#include <QTreeWidget>

#include "app/led_lamp.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "collection/collection_table.h"
#include "jukebox/title_selection.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

constexpr const char* kNoTitlesText = "Musiksammlung ohne Titel";

}  // namespace

void TForm1::ShowCollectionExtended(int titlesBefore) {
  // Titles are appended at the end of storage order: the numbers already in
  // the list still name the same titles.
  if (State.PlayOnceEnabled) {
    for (int number = titlesBefore + 1; number <= collectionTable_->StoredRecordCount(); ++number) {
      State.PlayOnceList.Add(number);
    }
  }
  const int count = collectionTable_->RecordCount();
  ShowTitleCounts(count, false);
  if (count > 0) ShowCollectionAvailable(false);
  ShowOwnMusicHint();
}

void TForm1::ShowCollectionRemoved() {
  const int count = collectionTable_->RecordCount();
  StaticText_titel_vorhanden->setText(QString::number(count) + QStringLiteral(" Titel in Musiksammlung vorhanden"));
  // The queue is empty now: its count, its time and the lamps say so too, as
  // when the last title of the queue has ended.
  EmptyQueue();
  StaticTextSucheGefunden->setText(QString::number(count) + QStringLiteral(" Titel"));
  StaticTextMusikListenStatus->setText(ToQString(kNoTitlesText));
  JvLED2->SetColorOff(QColor(0xFF, 0x00, 0x00));
  JvLED2->SetActive(false);
  if (State.PlayOnceEnabled) StartPlayOnce(State, collectionTable_->StoredRecordCount());
  RefreshCollectionGrid();
  ShowOwnMusicHint();
}

}  // namespace orvela
