// The phones' QR code on the guest screen: the page's address for the address
// the machine has now, shown only while the page listens.
#include <QTimer>

#include "app/main_window.h"
#include "app/attract_screen.h"
#include "app/phone_desk.h"
#include "app/qr_code_label.h"
#include "app/spectrum_box.h"
#include "common/network_address.h"
#include "phones/phone_server.h"

namespace orvela {

void TForm1::CreatePhoneCode() {
  QrCodeHandy = new TQrCodeLabel(SpectrumPaintbox);
  TimerHandyAdresse = new QTimer(this);
  TimerHandyAdresse->setObjectName(QStringLiteral("TimerHandyAdresse"));
  TimerHandyAdresse->setInterval(kPhoneAddressPollMs);
  connect(TimerHandyAdresse, &QTimer::timeout, this, &TForm1::ShowPhoneCode);
  TimerHandyAdresse->start();
}

void TForm1::ShowPhoneCode() {
  if (QrCodeHandy == nullptr) return;
  QString address;
  if (phones_ && services_.networkAddress != nullptr) {
    const std::string host = services_.networkAddress->Current();
    if (!host.empty()) address = PhonePageAddress(QString::fromStdString(host));
  }
  QrCodeHandy->SetText(address);
  // The idle hours' wall shows the same code, so a guest can start from there.
  if (AttractScreen != nullptr) AttractScreen->SetQrCode(QrCodeHandy->CodeImage());
}

}  // namespace orvela
