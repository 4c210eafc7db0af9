#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace vantrel::ui {
namespace {
std::function<void(const QString&)>& Hook() {
  static std::function<void(const QString&)> hook;
  return hook;
}
}  // namespace

void ShowMessageBox(const QString& text, QWidget* parent) {
  if (Hook()) {
    Hook()(text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessivane"), text, QMessageBox::Ok,
                  parent ? parent : QApplication::activeWindow());
  box.exec();
}

void SetMessageBoxHook(std::function<void(const QString&)> hook) { Hook() = std::move(hook); }

void QtMessageBox::Show(std::string_view text) {
  ShowMessageBox(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace vantrel::ui
