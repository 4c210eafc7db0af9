// The compiled-in artwork: icon 128 at every size, bitmaps 133 and 139, the
// frames of animation 138.

#include "res/Resources.h"

#include <gtest/gtest.h>
#include <QImage>

#include "res/ResourceIds.h"

namespace vantrel {
namespace {

int OpaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 128;
  }
  return n;
}

TEST(Resources, IconAtEverySize) {
  const QIcon icon = res::LoadIconResource(res::IDI_MAINFRAME);
  const QList<QSize> sizes = icon.availableSizes();
  for (int s : {16, 32, 48, 64, 128}) {
    SCOPED_TRACE(s);
    EXPECT_TRUE(sizes.contains(QSize(s, s)));
    const QImage image = icon.pixmap(s, s).toImage();
    EXPECT_EQ(image.size(), QSize(s, s));
    EXPECT_GT(OpaquePixels(image), s * s / 3);    // drawn, not blank
    EXPECT_EQ(qAlpha(image.pixel(s - 1, 0)), 0);  // with a transparent background
  }
  EXPECT_TRUE(res::LoadIconResource(999).isNull());
}

TEST(Resources, Bitmaps) {
  EXPECT_EQ(res::LoadBitmapResource(res::IDB_TOOLBAR).size(), QSize(96, 16));
  const QImage raw = res::LoadBitmapResource(res::IDB_NETWORK_IMAGES).toImage();
  ASSERT_EQ(raw.size(), QSize(48, 16));
  EXPECT_EQ(QColor(raw.pixel(0, 0)), QColor(255, 0, 255));  // the key colour
  const QImage masked = res::LoadMaskedBitmapResource(res::IDB_NETWORK_IMAGES)
                            .toImage()
                            .convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 0);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const QImage cell = masked.copy(16 * i, 0, 16, 16);
    EXPECT_GT(OpaquePixels(cell), 40);
    EXPECT_LT(OpaquePixels(cell), 256);
  }
  EXPECT_TRUE(res::LoadBitmapResource(1).isNull());
}

TEST(Resources, SearchAnimationFrames) {
  const QList<QPixmap> frames = res::LoadAnimationFrames(res::IDR_SEARCH_AVI);
  ASSERT_EQ(frames.size(), 8);
  for (qsizetype i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(frames[i].size(), QSize(48, 45));
    EXPECT_NE(frames[i].toImage(), frames[(i + 1) % frames.size()].toImage());  // it moves
  }
  EXPECT_TRUE(res::LoadAnimationFrames(res::IDB_TOOLBAR).isEmpty());
}

}  // namespace
}  // namespace vantrel
