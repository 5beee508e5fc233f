#include "common/network_address.h"

#include <array>
#include <charconv>

namespace orvela {

namespace {

// The four parts of a dotted IPv4 address; false for anything else.
bool Parts(const std::string& text, std::array<int, 4>& parts) {
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (p == end || *p != '.') return false;
      ++p;
    }
    int value = -1;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || next == p || next - p > 3 || value < 0 || value > 255) return false;
    parts[static_cast<std::size_t>(i)] = value;
    p = next;
  }
  return p == end;
}

// Lower is better; -1 for an address no phone can reach.
int Rank(const std::array<int, 4>& a) {
  if (a[0] == 127 || a[0] == 0 || a[0] >= 224) return -1;  // loopback, "this network", multicast
  if (a[0] == 10 || (a[0] == 172 && a[1] >= 16 && a[1] <= 31) || (a[0] == 192 && a[1] == 168)) return 0;
  if (a[0] == 169 && a[1] == 254) return 2;
  return 1;
}

}  // namespace

std::string ChooseNetworkAddress(const std::vector<TInterfaceAddress>& addresses) {
  std::string best;
  int bestRank = 3;
  for (const TInterfaceAddress& address : addresses) {
    if (!address.up || !address.running || address.loopback) continue;
    std::array<int, 4> parts{};
    if (!Parts(address.ipv4, parts)) continue;
    const int rank = Rank(parts);
    if (rank >= 0 && rank < bestRank) {
      best = address.ipv4;
      bestRank = rank;
    }
  }
  return best;
}

}  // namespace orvela
