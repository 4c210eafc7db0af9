#include "res/Resources.h"

#include <QBitmap>
#include <QString>

#include "res/ResourceIds.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitVantrelQrc() { Q_INIT_RESOURCE(vantrel); }

namespace vantrel::res {

void InitResources() {
  static const bool done = (InitVantrelQrc(), true);
  (void)done;
}

QIcon LoadIconResource(int id) {
  InitResources();
  QIcon icon;
  if (id != IDI_MAINFRAME) return icon;
  for (int size : {16, 32, 48, 64, 128}) {
    icon.addFile(QStringLiteral(":/vantrel/icon128-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QPixmap LoadBitmapResource(int id) {
  InitResources();
  if (id == IDB_TOOLBAR) return QPixmap(QStringLiteral(":/vantrel/bitmap133.png"));
  if (id == IDB_NETWORK_IMAGES) return QPixmap(QStringLiteral(":/vantrel/bitmap139.png"));
  return {};
}

QPixmap LoadMaskedBitmapResource(int id, const QColor& key) {
  QPixmap bitmap = LoadBitmapResource(id);
  if (!bitmap.isNull()) bitmap.setMask(bitmap.createMaskFromColor(key, Qt::MaskInColor));
  return bitmap;
}

QList<QPixmap> LoadAnimationFrames(int id) {
  InitResources();
  QList<QPixmap> frames;
  if (id != IDR_SEARCH_AVI) return frames;
  const QPixmap strip(QStringLiteral(":/vantrel/avi138.png"));
  constexpr int kWidth = 48;
  constexpr int kHeight = 45;
  for (int x = 0; x + kWidth <= strip.width(); x += kWidth) {
    frames << strip.copy(x, 0, kWidth, kHeight);
  }
  return frames;
}

}  // namespace vantrel::res
