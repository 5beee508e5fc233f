#include "app/phone_desk.h"

#include <QBuffer>
#include <QImage>
#include <exception>

#include "app/main_window.h"
#include "collection/collection_table.h"
#include "common/platform.h"
#include "covers/cover_cache.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/playback_time.h"
#include "jukebox/title_selection.h"
#include "metadata/audio_file.h"
#include "phones/phone_server.h"
#include "playback/audio/audio_layer.h"
#include "queue/tilu_playlist.h"

namespace orvela {
namespace {

constexpr const char* kQueuedText = "Titel ist in der Warteschlange.";
constexpr int kPathField = 2;

}  // namespace

TPhoneDesk::TPhoneDesk(TForm1& form, const TPhoneSettings& settings)
    : form_(form),
      settings_(settings),
      ledger_(settings.perPhone, settings.intervalSeconds),
      server_(std::make_unique<TPhoneServer>(*this)) {}

TPhoneDesk::~TPhoneDesk() = default;

bool TPhoneDesk::Start(const QHostAddress& address) {
  return server_->Start(static_cast<quint16>(settings_.port), address);
}

double TPhoneDesk::NowSeconds() const {
  Clock* clock = form_.Services().clock;
  return clock != nullptr ? clock->Now() * 86400.0 : 0.0;
}

void TPhoneDesk::EntryAdded(const TAudioFile* entry) { ledger_.Forget(entry); }

void TPhoneDesk::QueueChanged() { server_->QueueChanged(); }

std::vector<const void*> TPhoneDesk::Waiting() const {
  std::vector<const void*> waiting;
  TTiluPlaylist* player = form_.Player();
  if (player == nullptr) return waiting;
  waiting.reserve(player->Items.size());
  // The entry handed to the player has started, whether it plays, pauses or was stopped.
  for (const auto& item : player->Items)
    if (item.get() != player->CurrentItem) waiting.push_back(item.get());
  return waiting;
}

TPhoneStanding TPhoneDesk::Standing(const std::string& phone, double now) const {
  const TPhoneLedger::TCheck check = ledger_.Check(phone, now, Waiting());
  return {check.waiting, ledger_.PerPhone(), check.waitSeconds};
}

TPhoneStanding TPhoneDesk::PhoneStanding(const std::string& phone) { return Standing(phone, NowSeconds()); }

TPhoneSearchAnswer TPhoneDesk::PhoneSearch(TSearchMode mode, const std::string& text) {
  try {
    return SearchForPhone(form_.CollectionTable(), mode, text);
  } catch (const std::exception&) {
    // The expression is built from the text with its quotes doubled; a closed
    // table (a failed start) finds nothing.
    return {};
  }
}

TPhoneChoice TPhoneDesk::PhoneChoose(const std::string& phone, const std::string& titleId) {
  TPhoneChoice answer;
  const double now = NowSeconds();
  TTiluPlaylist* player = form_.Player();
  if (player == nullptr) {
    answer.message = kPhoneNoPlayerText;
    return answer;
  }
  TCollectionTable& table = form_.CollectionTable();
  const auto ref = ParsePhoneTitleId(titleId);
  const auto path = PathOf(ref ? &*ref : nullptr);
  if (!path) {
    answer.message = kPhoneStaleText;
    answer.standing = Standing(phone, now);
    return answer;
  }
  const TPhoneLedger::TCheck check = ledger_.Check(phone, now, Waiting());
  if (check.verdict != TPhoneLedger::TVerdict::Ok) {
    answer.message = check.verdict == TPhoneLedger::TVerdict::TooMany ? TPhoneLedger::TooManyText(ledger_.PerPhone())
                                                                        : TPhoneLedger::TooSoonText(check.waitSeconds);
    answer.standing = Standing(phone, now);
    return answer;
  }

  // Exactly what the screen's button asks, for this row instead of the grid's.
  TSelectionRequest request;
  request.queuedTitles = static_cast<std::int32_t>(player->Items.size());
  request.hasRecord = true;
  request.interpret = table.RowField(ref->row, 0).value_or("");
  request.titel = table.RowField(ref->row, 1).value_or("");
  request.titleNumber = table.RowStorageNumber(ref->row);
  request.queueCaptions.reserve(player->Items.size());
  for (const auto& item : player->Items) request.queueCaptions.push_back(item->GetDisplayName());
  switch (SelectTitle(form_.State, request)) {
    case TSelection::QueueFull:
      answer.message = kQueueFullText;
      break;
    case TSelection::NoRecord:
      answer.message = kPhoneStaleText;
      break;
    case TSelection::Duplicate:
      answer.message = kDuplicateText;
      break;
    case TSelection::AlreadyPlayed:
      answer.message = kAlreadyPlayedText;
      break;
    case TSelection::AddLastOfOnce:
      answer.message = kAllTitlesPlayedText;
      try {
        TIniFile(form_.State.ProgramDir + "Jukebox.ini").WriteBool("Programm", "EinmalSpielen", false);
      } catch (const IniWriteError&) {
        // The screen's own choice says so in a box; a phone's must not open one.
      }
      answer.added = true;
      break;
    case TSelection::Add:
      answer.message = kQueuedText;
      answer.added = true;
      break;
  }
  if (answer.added) {
    const bool wasEmpty = player->Items.empty();
    player->Add(*path);
    ledger_.Record(phone, player->Items.back().get(), now);
    form_.UpdateStartTimeEstimate();
    // A phone is a guest who cannot reach "Abspielen": into a silent, empty
    // jukebox its title starts as the button would start it.
    if (wasEmpty && player->GetState() == audio::kStopped) form_.BtnPlayPauseClick();
  }
  answer.standing = Standing(phone, now);
  return answer;
}

std::optional<std::string> TPhoneDesk::PathOf(const TPhoneTitleRef* ref) {
  TCollectionTable& table = form_.CollectionTable();
  if (ref == nullptr || ref->generation != table.RowsGeneration()) return std::nullopt;
  return table.RowField(ref->row, kPathField);
}

bool TPhoneDesk::PhoneCovers() { return form_.CoverCache() != nullptr; }

TPhoneCover TPhoneDesk::PhoneCover(const std::string& titleId) {
  TPhoneCover answer;
  TCoverCache* cache = form_.CoverCache();
  const auto ref = ParsePhoneTitleId(titleId);
  const auto path = cache != nullptr ? PathOf(ref ? &*ref : nullptr) : std::nullopt;
  if (!path) return answer;
  answer.found = true;
  // Asking queues a read that is not done yet; it is never waited for.
  QImage picture = cache->Thumbnail(*path);
  answer.settled = !picture.isNull() || cache->KnownWithoutCover(*path);
  if (picture.isNull()) picture = form_.CoverOrTile(*path, form_.CollectionTable().RowField(ref->row, 0).value_or(""));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPEG", 85);
  answer.jpeg.assign(jpeg.constData(), static_cast<std::size_t>(jpeg.size()));
  return answer;
}

TPhoneQueueView TPhoneDesk::PhoneQueue() {
  TPhoneQueueView view;
  TTiluPlaylist* player = form_.Player();
  if (player == nullptr || player->Items.empty()) {
    view.status = "leer";
    return view;
  }
  const int state = player->GetState();
  view.status = state == audio::kPlaying || state == audio::kStalled ? "Play"
                : state == audio::kPaused                            ? "Pause"
                                                                     : "Stop";
  const TAudioFile& first = *player->Items.front();
  const double position = player->CurrentItem == &first ? player->GetPositionSeconds() : 0.0;
  view.nowCaption = first.GetDisplayName();
  view.nowLength = first.Duration;
  view.nowRemaining = std::max<std::int64_t>(0, first.Duration - RoundSeconds(position));
  std::vector<std::int64_t> durations;
  const std::size_t shown = std::min<std::size_t>(player->Items.size(), 51);
  for (std::size_t i = 0; i < shown; ++i) durations.push_back(player->Items[i]->Duration);
  const std::vector<std::int64_t> starts = SecondsUntilStarts(durations, position);
  const double nowSeconds = NowSeconds();
  const auto secondsOfDay = static_cast<std::int64_t>(nowSeconds) % 86400;
  for (std::size_t i = 1; i < shown; ++i) {
    const TAudioFile& item = *player->Items[i];
    view.next.push_back({item.GetDisplayName(), FormatQueueDuration(item.Duration),
                         PhoneStartText(secondsOfDay, starts[i])});
  }
  view.nextTotal = player->Items.size() - 1;
  return view;
}

}  // namespace orvela
