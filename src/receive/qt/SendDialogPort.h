#pragma once
// What the receive window needs of its Send dialog: bring it to the front,
// and fill its receiver line for Response. The receive window makes its Send
// dialog through a SendDialogFactory when it is created and owns it for its
// whole life.
//
// The application object's factory makes the real CSendDlg behind
// SendDlgPort; NullSendDialog stands in where no Send dialog is wanted (the
// receive window's own tests): it records the requests and shows nothing.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

class SendDialogPort {
 public:
  virtual ~SendDialogPort() = default;
  // ShowAndActivate on the dialog.
  virtual void Show() = 0;
  // SetReceiverLine: the receiver line becomes line (bytes in the system code
  // page) and the message text is emptied.
  virtual void SetReceiverLine(std::string_view line) = 0;
  // The dialog's window, if it has one.
  virtual QWidget* window() = 0;
};

// Makes the Send dialog owned by (centred over) owner.
using SendDialogFactory = std::function<std::unique_ptr<SendDialogPort>(QWidget* owner)>;

// Stands in for a Send dialog; records the requests.
class NullSendDialog : public SendDialogPort {
 public:
  void Show() override { ++shows_; }
  void SetReceiverLine(std::string_view line) override {
    receiverLine_.assign(line);
    message_.clear();
    ++receiverLineSets_;
  }
  QWidget* window() override { return nullptr; }

  int shows() const { return shows_; }
  int receiverLineSets() const { return receiverLineSets_; }
  const std::string& receiverLine() const { return receiverLine_; }

 private:
  int shows_ = 0;
  int receiverLineSets_ = 0;
  std::string receiverLine_;
  std::string message_;
};

}  // namespace vantrel
