#pragma once
// The one message box of the program: modal, exclamation icon, OK, caption
// "Tessivane". Tests replace the box with a recorder through SetMessageBoxHook.

#include <QString>
#include <functional>

#include "platform/MessageBox.h"

class QWidget;

namespace vantrel::ui {

// Shows text in the program's box, or hands it to the installed hook.
void ShowMessageBox(const QString& text, QWidget* parent = nullptr);

// Installs a replacement (tests); an empty function restores the real box.
void SetMessageBoxHook(std::function<void(const QString&)> hook);

// IMessageBox for the Qt-free layers; the bytes are text in the system code page.
class QtMessageBox : public IMessageBox {
 public:
  void Show(std::string_view text) override;
};

}  // namespace vantrel::ui
