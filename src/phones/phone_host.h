#pragma once
// What the phones' server asks of the jukebox. The main window answers, with
// the same rules its own buttons use; the server never touches a window.
#include <string>

#include "collection/search_mode.h"
#include "jukebox/phone_rules.h"

namespace orvela {

struct TPhoneQueueEntry {
  std::string caption;  // code page, "Interpret - Titel" as the screen's queue shows it
  std::string dauer;    // "m:ss"
  std::string start;    // "ca. 21:14"
};

struct TPhoneQueueView {
  std::string status;          // the lit lamp: "Play", "Pause", "Stop" or "leer"
  std::string nowCaption;      // the first entry, code page; empty when the queue is
  std::int64_t nowLength = 0;  // seconds
  std::int64_t nowRemaining = 0;
  std::vector<TPhoneQueueEntry> next;  // the first of those after it
  std::size_t nextTotal = 0;
};

struct TPhoneStanding {
  int waiting = 0;      // of this phone's titles, not yet started
  int perPhone = 0;
  int waitSeconds = 0;  // until it may choose again
};

// A title's picture for the page: its cover's thumbnail, or its artist's tile.
struct TPhoneCover {
  bool found = false;   // false: no such title in the collection as loaded, or covers are off
  bool settled = true;  // false: the cover is still being read and the tile stands in; ask again
  std::string jpeg;
};

struct TPhoneChoice {
  bool added = false;
  std::string message;  // code page: the screen's own refusal text, or the phone's limit
  TPhoneStanding standing;
};

class TPhoneHost {
 public:
  virtual ~TPhoneHost() = default;
  // `text` in the code page, at most kPhoneSearchMaxCharacters.
  virtual TPhoneSearchAnswer PhoneSearch(TSearchMode mode, const std::string& text) = 0;
  virtual TPhoneChoice PhoneChoose(const std::string& phone, const std::string& titleId) = 0;
  virtual TPhoneQueueView PhoneQueue() = 0;
  virtual TPhoneStanding PhoneStanding(const std::string& phone) = 0;
  // Whether the screen shows covers, and so the page.
  virtual bool PhoneCovers() = 0;
  // Never waits for a file: a cover not read yet is queued and its tile answered.
  virtual TPhoneCover PhoneCover(const std::string& titleId) = 0;
};

}  // namespace orvela
