#include "platform/SystemInfo.h"

namespace vantrel {

std::string FormatLocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return std::string(buf, n);
}

}  // namespace vantrel
