#include "ui/TrayOwner.h"

namespace vantrel::ui {

TrayOwner& TrayOwner::Process() {
  static TrayOwner owner;
  return owner;
}

bool TrayOwner::Add(const void* window) {
  if (owner_ != nullptr || window == nullptr) return false;
  owner_ = window;
  return true;
}

TrayAction DecideTrayNotify(const TrayOwner& owner, const void* window, uint32_t iconId,
                            TrayMouseEvent event) {
  if (!owner.IsOwner(window) || iconId != kTrayIconId) return TrayAction::kNotHandled;
  switch (event) {
    case TrayMouseEvent::kRightButtonUp:
      return TrayAction::kOpenMenu;
    case TrayMouseEvent::kLeftButtonDown:
      return TrayAction::kShowWindow;
    case TrayMouseEvent::kOther:
      break;
  }
  return TrayAction::kNone;
}

}  // namespace vantrel::ui
