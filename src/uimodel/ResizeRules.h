#pragma once
// The arithmetic of a dialog with a sizing frame, without a window: it may
// not be made smaller than it was when it opened, and each change of its
// client area is handed on as the difference since the previous one, so that
// the dialog can move and stretch its controls by it.
//
//   ResizeTracker tracker;
//   tracker.Init(windowWidth, windowHeight, clientRect);  // at initialization
//   ...
//   if (auto d = tracker.OnSize(width, height, clientRect)) RepositionControls(d->dx, d->dy);
//
// Since every call passes only the difference to the one before, enlarging
// and shrinking back to the opening size returns every control to its
// opening place and size.

#include <optional>

namespace vantrel::uimodel {

// A rectangle by its edges, in pixels (right and bottom exclusive).
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct SizeDelta {
  int dx = 0;
  int dy = 0;
  bool operator==(const SizeDelta&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

class ResizeTracker {
 public:
  // Initialization: the window's size (its minimum from now on) and its
  // client rectangle.
  void Init(int windowWidth, int windowHeight, Rect client);
  bool initialized() const { return minWidth_ != 0 || minHeight_ != 0; }

  // The smallest size the window may be dragged to; none before
  // initialization (or when the window had no size then).
  std::optional<Size> MinimumTrackingSize() const;

  // A size message with the new client width and height; client is the
  // client rectangle now. Gives the change to pass to RepositionControls, or
  // nothing when nothing is to be called: a negative size, a message before
  // initialization, or a client area the same size as at the previous call.
  std::optional<SizeDelta> OnSize(int width, int height, Rect client);

  const Rect& lastClient() const { return last_; }

 private:
  int minWidth_ = 0;
  int minHeight_ = 0;
  Rect last_;
};

// The rectangle shifted by dx, dy, its size kept.
Rect MovedRect(const Rect& r, int dx, int dy);
// The rectangle with its top-left corner kept and its right and bottom edges
// moved by dx, dy.
Rect GrownRect(const Rect& r, int dx, int dy);

}  // namespace vantrel::uimodel
