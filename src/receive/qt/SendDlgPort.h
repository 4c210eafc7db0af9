#pragma once
// The receive window's Send dialog: a CSendDlg owned by the receive window.

#include <QPointer>

#include "receive/qt/SendDialogPort.h"
#include "send/qt/SendDlg.h"
#include "ui/TextCodec.h"

namespace vantrel {

class SendDlgPort : public SendDialogPort {
 public:
  // dialog: owned by the receive window (its Qt parent), which deletes it;
  // codec turns the receiver line's bytes into the field's text.
  SendDlgPort(CSendDlg* dialog, const ui::TextCodec* codec) : dialog_(dialog), codec_(codec) {}
  // The receive window is going: its Send dialog goes out of sight with it.
  ~SendDlgPort() override;

  void Show() override;
  void SetReceiverLine(std::string_view line) override;
  QWidget* window() override { return dialog_; }

 private:
  QPointer<CSendDlg> dialog_;
  const ui::TextCodec* codec_;
};

}  // namespace vantrel
