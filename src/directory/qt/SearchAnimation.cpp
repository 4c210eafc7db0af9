#include "directory/qt/SearchAnimation.h"

#include <QLabel>

#include "res/ResourceIds.h"
#include "res/Resources.h"

namespace vantrel {

SearchAnimation::SearchAnimation(QLabel* control, QObject* parent)
    : QObject(parent), control_(control), frames_(res::LoadAnimationFrames(res::IDR_SEARCH_AVI)) {
  timer_.setInterval(res::kSearchFrameMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (!frames_.isEmpty()) Show((frame_ + 1) % frameCount());
  });
  Show(0);
}

void SearchAnimation::Play() {
  Show(0);
  timer_.start();
}

void SearchAnimation::Stop() { timer_.stop(); }

void SearchAnimation::Show(int frame) {
  frame_ = frame;
  if (control_ && frame >= 0 && frame < frameCount()) {
    control_->setPixmap(frames_[frame]);
  }
}

}  // namespace vantrel
