// The phones' page from the screen's side: switched with Jukebox.ini's phone
// section, answering with the screen's own rules (app/phone_desk.h).
#include <QHostAddress>

#include "app/main_window.h"
#include "app/phone_desk.h"
#include "common/event_log.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/phone_settings.h"
#include "phones/phone_server.h"

namespace orvela {

void TForm1::SwitchPhones(bool on) {
  phones_.reset();
  ShowPhoneCode();
  if (!on) return;
  TPhoneSettings settings;
  try {
    settings = ReadPhoneSettings(TIniFile(State.ProgramDir + "Jukebox.ini"));
  } catch (const std::exception&) {
    return;
  }
  if (settings.enabled) StartPhones(settings, QHostAddress::Any);
}

bool TForm1::StartPhones(const TPhoneSettings& settings, const QHostAddress& address) {
  phones_.reset();
  ShowPhoneCode();
  if (!player_) return false;
  auto desk = std::make_unique<TPhoneDesk>(*this, settings);
  if (!desk->Start(address)) {
    // The screen works on without the page; the operator finds why in the log.
    EventLog(State.ProgramDir + kEventLogName)
        .Append("Die Seite f\xFCr die Handys kann Port " + std::to_string(settings.port) +
                " nicht \xF6" "ffnen (schon belegt?).");
    return false;
  }
  phones_ = std::move(desk);
  connect(&phones_->Server(), &TPhoneServer::AccessCodeChanged, this, &TForm1::ShowPhoneCode);
  ShowPhoneCode();
  return true;
}

QString TForm1::PhonePageAddress(const QString& host) const {
  return phones_ ? phones_->Server().PageAddress(host) : QString();
}

}  // namespace orvela
