#include "platform/linux/SystemClock.h"

namespace vantrel::linux {

std::time_t SystemClock::Now() { return std::time(nullptr); }

}  // namespace vantrel::linux
