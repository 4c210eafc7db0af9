#pragma once
// The Send dialog, dialog 102: the receiver line, the message, Send, four
// quick answers and the send history ("<", "X", ">").
//
// Made once per run and then only shown and hidden, in one of two roles:
//  - owned by the receive window (every receiving mode): hidden at first,
//    centred over its owner the first time it shows, hidden again by closing;
//    the receive window shows it with ui::ShowAndActivate and fills the
//    receiver line for an answer with SetReceiverLine;
//  - the program's main window without an owner (sender-only mode): it owns
//    the notification-area icon (menu 136: Show, About, Exit); closing
//    minimises and hides it, and the icon's Exit destroys it. The program ends
//    when it is destroyed (connect QObject::destroyed to the application's
//    quit).
//
//   SendDlgServices services{.sendDatagram = ..., .runInBackground = ...,
//                            .directory = &directory, .isPopupCaptureMode = ...,
//                            .computerName = ..., .codec = &codec};
//   auto* send = new CSendDlg(receiveWindow, std::move(services));  // owned
//
// With the Quit flag set, closing destroys the dialog (deleteLater), in
// either role; an owner that keeps a pointer to it holds a QPointer.

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "send/SendHistory.h"
#include "send/SendOperation.h"

class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace vantrel {

class INetworkDirectory;

namespace ui {
class QuitFlag;
class TextCodec;
class TrayIcon;
class TrayOwner;
}  // namespace ui

// What the dialog works with; production wires the real services, tests fakes.
struct SendDlgServices {
  // SendMessengerDatagram: sender, receiver and text as bytes in the system
  // code page; 1 when the datagram was written, 0 when nothing was sent. With
  // runInBackground it is called on that thread.
  std::function<int(std::string_view sender, std::string_view receiver, std::string_view text)>
      sendDatagram;
  // The size of the datagram to a receiver, after the address book, in the
  // same bytes; null measures the bytes as given.
  std::function<size_t(std::string_view sender, std::string_view receiver, std::string_view text)>
      payloadSize;
  // Runs a send off the user-interface thread (false: it could not be
  // queued). Null runs it on the user-interface thread, blocking the window
  // for as long as it takes.
  std::function<bool(std::function<void()> job)> runInBackground;
  // The domains and workgroups for the receiver line ".."; null finds none.
  INetworkDirectory* directory = nullptr;
  // IsPopupCaptureMode; null answers 0.
  std::function<int()> isPopupCaptureMode;
  // GetComputerName: the computer name in the system code page; null or an
  // empty answer makes the sender "NoBody".
  std::function<std::string()> computerName;
  // Typed text to code-page bytes and back; null uses UTF-8.
  const ui::TextCodec* codec = nullptr;
  // The "..." button (Select Receiver): the new receiver line, or nullopt
  // when the user cancelled. Null leaves the button disabled.
  std::function<std::optional<QString>(QWidget* parent)> selectReceivers;
  // The About box of the icon menu; null shows ui::AboutDlg modally.
  std::function<void(QWidget* parent)> showAbout;
  // Process-wide state; null uses the process's own.
  ui::QuitFlag* quitFlag = nullptr;
  ui::TrayOwner* trayOwner = nullptr;
  // Whether the desktop has a notification area; null asks Qt.
  std::function<bool()> trayAvailable;
};

class CSendDlg : public QDialog {
  Q_OBJECT

 public:
  // The longest sender name and message the fields accept, in characters.
  static constexpr int kSenderLimit = 16;
  static constexpr int kMessageLimit = 400;
  // The texts of the quick-answer buttons 1036 to 1039, in id order.
  static constexpr const char* kQuickAnswers[] = {"OK!", "Thanks!", "Yes.", "No."};

  // owner: the receive window, or null for the sender-only main window. The
  // dialog is created hidden.
  CSendDlg(QWidget* owner, SendDlgServices services);
  ~CSendDlg() override;

  // Sets the receiver line to text and empties the message (the receive
  // window's Response command); the dialog is not shown by this.
  void SetReceiverLine(const QString& text);

  const SendHistory& history() const { return history_; }
  // Whether a send is running in the background.
  bool isSending() const { return sending_; }
  // The notification-area icon of this window (owner or not).
  ui::TrayIcon* trayIcon() const { return tray_.get(); }
  // The menu bar that carries the icon menu's commands when the dialog is the
  // main window of a desktop without a notification area; null otherwise.
  QMenuBar* otherHomeMenuBar() const { return otherHomeBar_; }

  // The Cancel command: Escape, the close box, and the Cancel posted after a
  // send or by Exit.
  void reject() override;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class ModalScope;

  void OnSend();
  // The end of a send on the user-interface thread: the history, and the
  // dialog hides unless the operation refused the fields.
  void FinishSend(const SendFields& fields, SendOutcome outcome);
  void OnQuickAnswer(const QString& text);
  void OnClear();
  void OnSelectReceivers();
  void OnHistoryPrevious();
  void OnHistoryNext();
  void OnHistoryDelete();
  void OnTrayCommand(int id);
  void OnCancel();
  void ShowHistoryPair();
  void UpdateClearEnabled();
  void PostCancel();
  void ShowBox(std::string_view text);
  void AddOtherHomeMenuBar();
  bool LivesInOtherHome() const;

  QString Decode(std::string_view bytes) const;
  // The operation's services over the dialog's: UTF-8 in, code-page bytes out.
  // They hold no pointer to the dialog, so a send in the background may
  // outlive it.
  SendServices OperationServices(bool inBackground);

  SendDlgServices services_;
  ui::QuitFlag& quitFlag_;

  SendHistory history_;
  std::unique_ptr<ui::TrayIcon> tray_;

  QLineEdit* receiverEdit_ = nullptr;
  QPlainTextEdit* messageEdit_ = nullptr;
  QLineEdit* senderEdit_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QMenuBar* otherHomeBar_ = nullptr;

  bool centred_ = false;
  bool sending_ = false;
  // Modal loops (boxes, About, Select Receiver) this dialog has open; the
  // window is not destroyed under them.
  int modalDepth_ = 0;
  bool destroyWhenIdle_ = false;
};

}  // namespace vantrel
