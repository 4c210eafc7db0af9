#pragma once
// Who owns the notification-area icon. One icon per process: the first window
// that adds it becomes the owner and stays the owner for the rest of the
// process, also after the icon is removed. Adding by any later window does
// nothing; removing by a window that is not the owner does nothing.

#include <cstdint>

namespace vantrel::ui {

// The icon's id as registered with the notification area.
inline constexpr uint32_t kTrayIconId = 136;

class TrayOwner {
 public:
  // The process-wide owner record that the windows of the program share.
  static TrayOwner& Process();

  // True when window became the owner now, so the caller adds the icon.
  bool Add(const void* window);
  // True when window is the owner, so the caller deletes the icon.
  bool Remove(const void* window) const { return IsOwner(window); }
  bool IsOwner(const void* window) const { return window != nullptr && owner_ == window; }
  const void* owner() const { return owner_; }

 private:
  const void* owner_ = nullptr;
};

// The mouse events of the icon that the handler tells apart.
enum class TrayMouseEvent {
  kLeftButtonDown,  // the icon was activated (left button)
  kRightButtonUp,   // the context menu was asked for (right button)
  kOther,           // double click, middle button, move, ...
};

enum class TrayAction {
  kNotHandled,  // not the owner, or not our icon: the notification is not ours
  kShowWindow,  // ShowAndActivate the owner window
  kOpenMenu,    // open the icon menu at the cursor
  kNone,        // handled, nothing to do
};

// The decision of the icon's notification handler for window.
TrayAction DecideTrayNotify(const TrayOwner& owner, const void* window, uint32_t iconId,
                            TrayMouseEvent event);

}  // namespace vantrel::ui
