#pragma once
#include "common/platform.h"

namespace orvela {

// The local wall-clock time, as days since 30.12.1899.
class SystemClock : public Clock {
 public:
  double Now() override;
};

}  // namespace orvela
