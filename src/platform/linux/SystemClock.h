#pragma once
#include "platform/SystemInfo.h"

namespace vantrel::linux {

// The wall clock.
class SystemClock : public IClock {
 public:
  std::time_t Now() override;
};

}  // namespace vantrel::linux
