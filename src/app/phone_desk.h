#pragma once
// The jukebox's side of the phones' page: answers the server with the screen's
// own rules (the search of the four modes, the house rules of a guest's
// choice) and holds each phone to its share. It owns the server, so the page
// exists exactly as long as the desk does.
#include <QHostAddress>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jukebox/phone_rules.h"
#include "jukebox/phone_settings.h"
#include "phones/phone_host.h"

namespace orvela {

class TAudioFile;
class TForm1;
class TPhoneServer;

class TPhoneDesk : public TPhoneHost {
 public:
  TPhoneDesk(TForm1& form, const TPhoneSettings& settings);
  ~TPhoneDesk() override;
  TPhoneDesk(const TPhoneDesk&) = delete;
  TPhoneDesk& operator=(const TPhoneDesk&) = delete;

  // False when the port cannot be opened.
  bool Start(const QHostAddress& address);
  TPhoneServer& Server() { return *server_; }

  // The queue's and the player's news, from the main window.
  void EntryAdded(const TAudioFile* entry);
  void QueueChanged();

  TPhoneSearchAnswer PhoneSearch(TSearchMode mode, const std::string& text) override;
  TPhoneChoice PhoneChoose(const std::string& phone, const std::string& titleId) override;
  TPhoneQueueView PhoneQueue() override;
  TPhoneStanding PhoneStanding(const std::string& phone) override;
  bool PhoneCovers() override;
  TPhoneCover PhoneCover(const std::string& titleId) override;

 private:
  double NowSeconds() const;
  // The row's file path when the id names a title of the collection as loaded.
  std::optional<std::string> PathOf(const TPhoneTitleRef* ref);
  std::vector<const void*> Waiting() const;
  TPhoneStanding Standing(const std::string& phone, double now) const;

  TForm1& form_;
  TPhoneSettings settings_;
  TPhoneLedger ledger_;
  std::unique_ptr<TPhoneServer> server_;
};

}  // namespace orvela
