#pragma once
// Access to the compiled-in artwork (vantrel.qrc): icons and bitmaps by their
// resource ids.

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPixmap>

namespace vantrel::res {

// Registers the compiled-in resources. The GUI lives in a static library, so
// the program (and every test binary) calls this once before loading any
// artwork; further calls do nothing.
void InitResources();

// Icon 128 at every size it is drawn in (16, 32, 48, 64, 128); other ids give a
// null icon.
QIcon LoadIconResource(int id);

// The bitmap with the given id; null if unknown. 133: the tool-bar strip
// (six 16x16 images, transparent background); 139: the network images (three
// 16x16 images: whole network, domain or workgroup, computer) on magenta.
QPixmap LoadBitmapResource(int id);
// The same with every pixel of the key colour made transparent, as an image
// list with a mask colour shows it.
QPixmap LoadMaskedBitmapResource(int id, const QColor& key = QColor(255, 0, 255));

// Animation 138, the network search: 8 frames of 48x45 pixels, shown for
// kSearchFrameMs each, in order, repeating. Other ids give no frames.
inline constexpr int kSearchFrameMs = 200;
QList<QPixmap> LoadAnimationFrames(int id);

}  // namespace vantrel::res
