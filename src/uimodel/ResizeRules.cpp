#include "uimodel/ResizeRules.h"

namespace vantrel::uimodel {

void ResizeTracker::Init(int windowWidth, int windowHeight, Rect client) {
  minWidth_ = windowWidth;
  minHeight_ = windowHeight;
  last_ = client;
}

std::optional<Size> ResizeTracker::MinimumTrackingSize() const {
  if (minWidth_ == 0 || minHeight_ == 0) return std::nullopt;
  return Size{minWidth_, minHeight_};
}

std::optional<SizeDelta> ResizeTracker::OnSize(int width, int height, Rect client) {
  if (width < 0 || height < 0) return std::nullopt;
  if (!initialized()) return std::nullopt;
  const SizeDelta delta{client.right - last_.right, client.bottom - last_.bottom};
  if (delta.dx == 0 && delta.dy == 0) return std::nullopt;
  last_.right = client.right;
  last_.bottom = client.bottom;
  return delta;
}

Rect MovedRect(const Rect& r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

Rect GrownRect(const Rect& r, int dx, int dy) {
  return {r.left, r.top, r.right + dx, r.bottom + dy};
}

}  // namespace vantrel::uimodel
