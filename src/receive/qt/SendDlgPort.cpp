#include "receive/qt/SendDlgPort.h"

#include "ui/TrayIcon.h"

namespace vantrel {

SendDlgPort::~SendDlgPort() {
  if (dialog_) dialog_->hide();
}

void SendDlgPort::Show() {
  if (dialog_) ui::ShowAndActivate(dialog_);
}

void SendDlgPort::SetReceiverLine(std::string_view line) {
  if (!dialog_) return;
  dialog_->SetReceiverLine(
      codec_ ? codec_->ToQString(line)
             : QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

}  // namespace vantrel
