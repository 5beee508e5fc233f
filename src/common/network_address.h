#pragma once
// The address under which the phones in the room reach this machine: what the
// QR code on the screen shows. The machine's addresses come in through an
// interface, so tests script a DHCP lease changing or going away.
#include <string>
#include <vector>

namespace orvela {

class NetworkAddress {
 public:
  virtual ~NetworkAddress() = default;
  // Dotted IPv4, or empty when the machine has none a phone could reach.
  virtual std::string Current() = 0;
};

// One IPv4 address of one network interface, with the interface's state.
struct TInterfaceAddress {
  std::string ipv4;  // dotted
  bool up = false;
  bool running = false;
  bool loopback = false;
};

// The first address of an interface that is up and running, not a loopback
// one; a private range (10/8, 172.16/12, 192.168/16) wins over any other, and
// a self-assigned one (169.254/16) is taken only when nothing else is there.
// Empty when none fits.
std::string ChooseNetworkAddress(const std::vector<TInterfaceAddress>& addresses);

}  // namespace orvela
