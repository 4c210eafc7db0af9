#include "app/OperatingMode.h"

namespace vantrel::app {

const char* OperatingModeName(OperatingMode mode) {
  switch (mode) {
    case OperatingMode::kMailslot:
      return "mailslot mode";
    case OperatingMode::kPopupCapture:
      return "pop-up capture mode";
    case OperatingMode::kSenderOnly:
      return "sender-only mode";
  }
  return "unknown mode";
}

std::string NoPermissionText(std::string_view programPath) {
  std::string path =
      programPath.empty() ? std::string("/path/to/Vantrel") : std::string(programPath);
  std::string text =
      "Tessivane may not use the NetBIOS datagram port (UDP 138), so it cannot receive "
      "messages.\n"
      "To allow it, give the program the permission to bind that port:\n"
      "    setcap 'cap_net_bind_service=+ep' ";
  text += path;
  text +=
      "\n"
      "or let every program use the ports from 137 up:\n"
      "    sysctl net.ipv4.ip_unprivileged_port_start=137\n"
      "and start Tessivane again.\n"
      "Until then you only can use Tessivane as sender.";
  return text;
}

ModeDecision DecideOperatingMode(const ModeQuestions& questions, std::string_view programPath) {
  const bool nt = questions.isNtPlatform && questions.isNtPlatform();
  const SlotOpenResult slot =
      questions.openMessageSlot ? questions.openMessageSlot() : SlotOpenResult::kHeldByOther;
  if (slot == SlotOpenResult::kOpened) return {OperatingMode::kMailslot, {}};
  if (nt) {
    // The pop-up capture does not need the mailslot, so on NT the reason it
    // could not be taken does not matter.
    const int language = questions.systemLanguageClass ? questions.systemLanguageClass() : 0;
    if (language == 1 || language == 2) return {OperatingMode::kPopupCapture, {}};
    return {OperatingMode::kSenderOnly, std::string(kUnsupportedLanguageText)};
  }
  if (slot == SlotOpenResult::kNoPermission)
    return {OperatingMode::kSenderOnly, NoPermissionText(programPath)};
  return {OperatingMode::kSenderOnly, std::string(kAnotherReceiverText)};
}

bool IsNtPlatform(ISystemInfo& system) { return system.PlatformId() == VER_PLATFORM_WIN32_NT; }

int IsPopupCaptureMode(bool slotHeld, ISystemInfo& system) {
  return !slotHeld && IsNtPlatform(system) ? 1 : 0;
}

}  // namespace vantrel::app
