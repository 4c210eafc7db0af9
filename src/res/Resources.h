#pragma once
// Access to the compiled-in artwork (vantrel.qrc): icons and bitmaps by their
// resource ids.

#include <QIcon>
#include <QPixmap>

namespace vantrel::res {

// Registers the compiled-in resources. The GUI lives in a static library, so
// the program (and every test binary) calls this once before loading any
// artwork; further calls do nothing.
void InitResources();

// Icon 128 at every size it is drawn in (16, 32, 48, 64, 128); other ids give a
// null icon.
QIcon LoadIconResource(int id);

// The bitmap with the given id (133: the tool-bar strip); null if unknown.
QPixmap LoadBitmapResource(int id);

}  // namespace vantrel::res
