// The jukebox automatic: keeps the queue topped up with titles drawn at
// random (jukebox/jukebox_automatic.h), none twice within a pass.
#include <QCheckBox>
#include <QLabel>
#include <QTreeWidget>

#include "app/lamp_label.h"
#include "app/main_window.h"
#include "app/settings_menu.h"
#include "collection/collection_table.h"
#include "common/dialogs.h"
#include "common/system_random.h"
#include "jukebox/jukebox_automatic.h"
#include "queue/tilu_playlist.h"

namespace orvela {

void TForm1::StartAutomatic() {
  // The draw covers every title the table holds, whatever a guest searched.
  const std::int32_t titles = collectionTable_->StoredRecordCount();
  if (titles < kAutomaticMinimumTitles) {
    // During start-up the settings window does not exist yet.
    if (settingsMenuWindow_ != nullptr) settingsMenuWindow_->CheckBoxAutomatik->setChecked(false);
    State.AutomaticEnabled = false;
    services_.dialogs->ShowMessage(kAutomaticTooFewTitlesText);
    return;
  }
  State.AutomaticList.Fill(titles);
  State.AutomaticEnabled = true;
  FillQueueAutomatic();
  LabelDiodeAuto->SetLit(true);
}

void TForm1::StopAutomatic() {
  LabelDiodeAuto->SetLit(false);
  if (State.AutomaticEnabled) State.AutomaticList.Clear();
  State.AutomaticEnabled = false;
}

void TForm1::FillQueueAutomatic() {
  if (!player_) return;
  if (services_.random == nullptr && !ownRandom_) ownRandom_ = std::make_unique<SystemRandom>();
  RandomSource& random = services_.random != nullptr ? *services_.random : *ownRandom_;
  // Titles are read by their storage number, so the guest's filter, sort
  // order and current record are never touched.
  const std::int32_t titles = collectionTable_->StoredRecordCount();
  if (titles == 0) return;
  while (static_cast<std::int32_t>(player_->Items.size()) < kAutomaticQueueLength) {
    const std::int32_t drawn = DrawTitleNumber(titles, random);
    const std::int32_t number = PickRandomTitle(State.AutomaticList, drawn, titles, random);
    player_->Add(collectionTable_->StoredField(number, TCollectionTable::Pfad));
    LabelTitelJukeWert->setText(QString::number(PlaylistView->topLevelItemCount()));
    SelectQueueRow(2);
    UpdateStartTimeEstimate();
  }
}

}  // namespace orvela
