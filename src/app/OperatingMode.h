#pragma once
// The three operating modes and how start-up chooses one of them, and the
// capture mode test.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/SystemInfo.h"

namespace vantrel::app {

enum class OperatingMode {
  kMailslot,      // the receive window drains the local mailslot every second
  kPopupCapture,  // the hook library forwards the Messenger service's pop-up texts
  kSenderOnly,    // the Send dialog alone; nothing is received
};

const char* OperatingModeName(OperatingMode mode);

// How the attempt to take the local mailslot ended.
enum class SlotOpenResult {
  kOpened,        // the program now owns the mailslot
  kHeldByOther,   // another process owns it (another receiver, nmbd, ...)
  kNoPermission,  // nobody holds it, but this process may not bind the port
};

// The boxes start-up may show before it chooses the sender-only mode.
inline constexpr std::string_view kUnsupportedLanguageText =
    "Sorry, Vantrel only can recieve message in Simplified Chinese or English version Windows NT.";
inline constexpr std::string_view kAnotherReceiverText =
    "Another message reciever is running.\nSo you only can use Tessivane as sender.";

// The box for a mailslot this process is not allowed to take: what is missing
// and the two ways to grant it, with the program's path filled in.
std::string NoPermissionText(std::string_view programPath);

// The facts the mode depends on. Each is asked at most once and only when the
// answer matters: the platform first, then the mailslot, then (only on the NT
// platform without the mailslot) the language class.
struct ModeQuestions {
  std::function<bool()> isNtPlatform;
  std::function<SlotOpenResult()> openMessageSlot;
  std::function<int()> systemLanguageClass;  // 0 unsupported, 1 or 2 supported
};

struct ModeDecision {
  OperatingMode mode = OperatingMode::kSenderOnly;
  std::string box;  // text to show before the main window is made; empty for none
};

ModeDecision DecideOperatingMode(const ModeQuestions& questions, std::string_view programPath);

// True when the system reports the NT platform; false for any other answer,
// including one it could not give.
bool IsNtPlatform(ISystemInfo& system);

// 1 when no mailslot is held and the platform is NT, otherwise 0.
int IsPopupCaptureMode(bool slotHeld, ISystemInfo& system);

}  // namespace vantrel::app
