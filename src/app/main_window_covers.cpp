// Covers on the main screen and the attract screen of the idle hours.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <memory>

#include "app/attract_screen.h"
#include "app/collection_grid.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "collection/collection_table.h"
#include "covers/cover_cache.h"
#include "jukebox/cover_settings.h"
#include "jukebox/idle_watch.h"
#include "jukebox/jukebox_ini.h"
#include "playback/audio/audio_layer.h"
#include "queue/tilu_playlist.h"

namespace orvela {

namespace {

// Titles on the attract screen's wall: enough that a row does not repeat
// across a wide screen, few enough that their pictures stay in memory.
constexpr int kWallTitles = 48;
// Tiles of artists drawn and kept; the grid shows six at a time.
constexpr std::size_t kArtistTilesKept = 256;

// Sees every touch, click and key on any of the program's windows before the
// widget it is meant for, and tells the main window of it.
class TTouchWatcher : public QObject {
 public:
  explicit TTouchWatcher(TForm1* form) : QObject(form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::TouchBegin:
      case QEvent::KeyPress:
      case QEvent::Wheel:
        // While the attract screen shows, its own release wakes the jukebox.
        if (form_->AttractScreen == nullptr || !form_->AttractScreen->isVisible()) form_->IdleTouched();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm1* form_;
};

}  // namespace

void TForm1::SetIdleClock(std::function<double()> seconds) {
  idleClock_ = std::move(seconds);
  if (idleWatch_) {
    const int minutes = ReadCoverSettings(TIniFile(State.ProgramDir + "Jukebox.ini")).idleMinutes;
    idleWatch_ = std::make_unique<TIdleWatch>(minutes, idleClock_());
  }
}

void TForm1::SetUpCovers() {
  const TCoverSettings settings = ReadCoverSettings(TIniFile(State.ProgramDir + "Jukebox.ini"));
  if (!settings.enabled) return;

  coverCache_ = std::make_unique<TCoverCache>(State.ProgramDir);
  auto lookup = [this](const std::string& path, const std::string& artist) { return CoverOrTile(path, artist); };
  DBMusiksammlung->SetCoverLookup(lookup);
  // Reads queued for titles the guest scrolled or searched away are not worth waiting for.
  connect(DBMusiksammlung, &TCollectionGrid::CurrentChanged, coverCache_.get(), &TCoverCache::CancelPending);

  // The playing title's picture, at the right of its panel over the text's
  // full height: a cover as tall as four lines reads from across the room.
  if (auto* playing = qobject_cast<QGridLayout*>(Panel1->layout())) {
    LabelCover = new QLabel(Panel1);
    LabelCover->setObjectName(QStringLiteral("LabelCover"));
    LabelCover->setAccessibleName(QStringLiteral("Cover"));
    LabelCover->setScaledContents(true);
    const int side = Scaled(104);
    LabelCover->setFixedSize(side, side);
    LabelCover->hide();
    playing->addWidget(LabelCover, 0, 3, 4, 1, Qt::AlignRight | Qt::AlignVCenter);
    // The lamps below keep the panel's whole width: squeezed beside the
    // picture's column, "Abspielzeit" and "Geburstagmodus" lost letters.
    if (QLayoutItem* lamps = playing->itemAtPosition(4, 0)) {
      playing->removeItem(lamps);
      playing->addItem(lamps, 4, 0, 1, 4);
    }
  }

  AttractScreen = new TAttractScreen(this);
  AttractScreen->SetCoverLookup(lookup);
  connect(AttractScreen, &TAttractScreen::Woken, this, [this] { IdleTouched(); });

  connect(coverCache_.get(), &TCoverCache::CoverReady, this, [this](const QString& pathUtf8) {
    // A cover in place of its tile: the same square, so nothing moves.
    DBMusiksammlung->update();
    if (AttractScreen->isVisible()) AttractScreen->update();
    if (player_ && player_->CurrentFile && ToQString(player_->CurrentFile->FilePath) == pathUtf8) {
      ShowPlayingCover();
    }
  });

  if (!idleClock_) {
    auto steady = std::make_shared<QElapsedTimer>();
    steady->start();
    idleClock_ = [steady] { return steady->elapsed() / 1000.0; };
  }
  idleWatch_ = std::make_unique<TIdleWatch>(settings.idleMinutes, idleClock_());
  qApp->installEventFilter(new TTouchWatcher(this));
  TimerLeerlauf = new QTimer(this);
  TimerLeerlauf->setObjectName(QStringLiteral("TimerLeerlauf"));
  TimerLeerlauf->setInterval(1000);
  connect(TimerLeerlauf, &QTimer::timeout, this, &TForm1::TimerLeerlaufTimer);
  if (settings.idleMinutes > 0) TimerLeerlauf->start();
}

QImage TForm1::CoverOrTile(const std::string& path, const std::string& artist) {
  if (coverCache_) {
    QImage cover = coverCache_->Thumbnail(path);
    if (!cover.isNull()) return cover;
  }
  auto found = artistTiles_.find(artist);
  if (found != artistTiles_.end()) return found->second;
  if (artistTiles_.size() >= kArtistTilesKept) artistTiles_.clear();
  return artistTiles_.emplace(artist, ArtistTile(artist, TCoverCache::kThumbnailPixels)).first->second;
}

void TForm1::ShowPlayingCover() {
  if (LabelCover == nullptr) return;
  if (!player_ || !player_->CurrentFile) {
    // No empty square while nothing is loaded: the text has the panel's width.
    LabelCover->clear();
    LabelCover->hide();
    return;
  }
  const TAudioFile& file = *player_->CurrentFile;
  LabelCover->setPixmap(QPixmap::fromImage(CoverOrTile(file.FilePath, player_->GetArtist())));
  LabelCover->show();
}

std::vector<std::pair<std::string, std::string>> TForm1::WallTitles() {
  std::vector<std::pair<std::string, std::string>> titles;
  const int stored = collectionTable_->StoredRecordCount();
  if (stored <= 0) return titles;
  // Spread over the whole collection and a different stretch each time, so
  // the wall is not always the first artists of the alphabet.
  const int count = std::min(stored, kWallTitles);
  const int stride = std::max(1, stored / count);
  const int start = static_cast<int>((static_cast<long long>(wallRound_++) * 7919) % stored);
  for (int i = 0; i < count; ++i) {
    const int number = 1 + (start + i * stride) % stored;
    titles.emplace_back(collectionTable_->StoredField(number, TCollectionTable::Pfad),
                        collectionTable_->StoredField(number, TCollectionTable::Interpret));
  }
  return titles;
}

bool TForm1::IdleTouched() {
  if (!idleWatch_) return false;
  const bool woke = idleWatch_->Touch(idleClock_());
  if (woke || AttractScreen->isVisible()) {
    AttractScreen->End();
    if (coverCache_) coverCache_->CancelPending();
  }
  return woke;
}

void TForm1::TimerLeerlaufTimer() {
  if (!idleWatch_) return;
  const bool playing = player_ && player_->GetState() == audio::kPlaying;
  const bool show = idleWatch_->Tick(idleClock_(), playing);
  if (show && !AttractScreen->isVisible()) {
    AttractScreen->SetTitles(WallTitles());
    AttractScreen->Begin();
  } else if (!show && AttractScreen->isVisible()) {
    AttractScreen->End();
    if (coverCache_) coverCache_->CancelPending();
  }
}

}  // namespace orvela
