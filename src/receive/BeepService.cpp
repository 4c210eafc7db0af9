#include "receive/BeepService.h"

namespace vantrel {

std::string BeepServiceCommandLine(bool stop) {
  std::string line = "net";
  line += stop ? " stop " : " start ";
  line += " beep";
  return line;
}

void RunBeepServiceCommand(ISystemInfo& system, bool stop) {
  (void)system.RunCommand(BeepServiceCommandLine(stop));
}

}  // namespace vantrel
