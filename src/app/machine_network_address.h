#pragma once
// The machine's own network addresses, as the system reports them now.
#include "common/network_address.h"

namespace orvela {

class MachineNetworkAddress : public NetworkAddress {
 public:
  std::string Current() override;
};

}  // namespace orvela
