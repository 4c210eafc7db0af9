#pragma once
// The one message box of the program: modal, exclamation icon, OK, caption
// "Tessivane". Tests replace the box with a recorder through SetMessageBoxHook.
//
// Boxes always show on the user-interface thread. A box asked for on another
// thread (a send running in the background that cannot find a name) is
// handed to the user-interface thread, and the asking thread waits until it
// has been answered, so that it shows at the same point of the work as it
// would on the user-interface thread. When the program ends, boxes still
// waiting are given up (AbandonPendingBoxes) so that no thread waits for ever.

#include <QString>
#include <functional>

#include "platform/MessageBox.h"

class QWidget;

namespace vantrel::ui {

// Shows text in the program's box, or hands it to the installed hook.
void ShowMessageBox(const QString& text, QWidget* parent = nullptr);

// Installs a replacement (tests); an empty function restores the real box.
void SetMessageBoxHook(std::function<void(const QString&)> hook);

// From now on, threads waiting for a box to be answered go on at once, and
// boxes asked for from other threads are not shown. Called once the program's
// event loop has ended; abandon = false shows them again (a test that goes on).
void AbandonPendingBoxes(bool abandon = true);

// IMessageBox for the Qt-free layers; the text is UTF-8.
class QtMessageBox : public IMessageBox {
 public:
  void Show(std::string_view text) override;
};

}  // namespace vantrel::ui
