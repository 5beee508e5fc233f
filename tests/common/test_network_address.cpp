// Which of the machine's addresses the phones' QR code names.
#include <gtest/gtest.h>

#include "common/network_address.h"

namespace orvela {
namespace {

TInterfaceAddress Up(const std::string& ipv4) { return {ipv4, true, true, false}; }

struct Case {
  const char* name;
  std::vector<TInterfaceAddress> addresses;
  std::string expected;
};

TEST(NetworkAddress, ChoosesAnAddressAPhoneInTheRoomCanReach) {
  const Case cases[] = {
      {"nothing at all", {}, ""},
      {"loopback only", {{"127.0.0.1", true, true, true}}, ""},
      {"a loopback range on an interface not marked so", {Up("127.0.1.1")}, ""},
      {"the one LAN address", {{"127.0.0.1", true, true, true}, Up("192.168.178.23")}, "192.168.178.23"},
      {"an interface that is down", {{"192.168.1.5", false, false, false}}, ""},
      {"up but no carrier (cable out)", {{"192.168.1.5", true, false, false}}, ""},
      {"down first, the running one next", {{"10.0.0.9", false, false, false}, Up("10.0.0.10")}, "10.0.0.10"},
      {"private wins over a public one listed first", {Up("203.0.113.7"), Up("10.1.2.3")}, "10.1.2.3"},
      {"private 172.16/12, inside", {Up("8.8.4.4"), Up("172.31.255.1")}, "172.31.255.1"},
      {"172.32 is no private range", {Up("172.32.0.1"), Up("198.51.100.2")}, "172.32.0.1"},
      {"self-assigned only when nothing else", {Up("169.254.10.20"), Up("198.51.100.2")}, "198.51.100.2"},
      {"self-assigned alone", {Up("169.254.10.20")}, "169.254.10.20"},
      {"the first of two private ones", {Up("192.168.0.2"), Up("10.0.0.2")}, "192.168.0.2"},
      {"multicast and unspecified are skipped", {Up("224.0.0.251"), Up("0.0.0.0")}, ""},
      {"malformed text is skipped", {Up("192.168.1"), Up("192.168.1.300"), Up("1.2.3.4.5"), Up(" 10.0.0.1"),
                                     Up("10.0.0.x"), Up("")}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseNetworkAddress(c.addresses), c.expected);
  }
}

}  // namespace
}  // namespace orvela
