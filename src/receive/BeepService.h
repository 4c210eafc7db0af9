#pragma once
// The system's beep service, which pop-up capture mode stops while Auto Beep
// is off (the Messenger service's own pop-ups would beep otherwise) and starts
// again when the program ends or Auto Beep is switched on.

#include <string>

#include "platform/SystemInfo.h"

namespace vantrel {

// "net" + " stop " + " beep" (flag set) or "net" + " start " + " beep": one
// blank after net and two before beep.
std::string BeepServiceCommandLine(bool stop);

// Runs the beep-service command hidden and without waiting; the result is not
// looked at.
void RunBeepServiceCommand(ISystemInfo& system, bool stop);

}  // namespace vantrel
