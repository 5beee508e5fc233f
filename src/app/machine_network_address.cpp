#include "app/machine_network_address.h"

#include <QNetworkInterface>

namespace orvela {

std::string MachineNetworkAddress::Current() {
  std::vector<TInterfaceAddress> addresses;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    const QNetworkInterface::InterfaceFlags flags = interface.flags();
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
      TInterfaceAddress address;
      address.ipv4 = entry.ip().toString().toStdString();
      address.up = flags.testFlag(QNetworkInterface::IsUp);
      address.running = flags.testFlag(QNetworkInterface::IsRunning);
      address.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
      addresses.push_back(address);
    }
  }
  return ChooseNetworkAddress(addresses);
}

}  // namespace orvela
