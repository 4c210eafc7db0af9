#include "res/Resources.h"

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
  return {};
}

}  // namespace vantrel::res
