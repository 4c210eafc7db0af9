#pragma once
// Plays animation 138 (the network search: 8 frames, 200 ms each) in the
// animation control of a dialog, a label made by the dialog builder. Opened,
// the control shows the first frame; Play runs the frames from the first to
// the last, over and over, until Stop, which leaves the frame on show.
//
//   SearchAnimation animation(ui::FindControl<QLabel>(this, res::IDC_SEARCH_ANIMATION));
//   animation.Play();  // while the network is searched
//   animation.Stop();

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

class QLabel;

namespace vantrel {

class SearchAnimation : public QObject {
  Q_OBJECT

 public:
  // control may be null: then nothing is shown, but the frames still run.
  explicit SearchAnimation(QLabel* control, QObject* parent = nullptr);

  void Play();
  void Stop();
  bool isPlaying() const { return timer_.isActive(); }
  // The frame on show (0 to frameCount() - 1).
  int frame() const { return frame_; }
  int frameCount() const { return static_cast<int>(frames_.size()); }

 private:
  void Show(int frame);

  QPointer<QLabel> control_;
  QList<QPixmap> frames_;
  QTimer timer_;
  int frame_ = 0;
};

}  // namespace vantrel
