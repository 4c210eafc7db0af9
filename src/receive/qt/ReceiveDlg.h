#pragma once
// CReceiveDlg, the receive window: the program's main window whenever it
// receives. It shows one message of the store at a time with its header lines
// and counters, offers menu 130 and tool bar 133, and is where messages enter:
// in mailslot mode a one-second poll drains the local mailslot, in pop-up
// capture mode the hook library hands in captured texts (OnCopyData). Every
// batch goes through ProcessArrivals.
//
// The window normally lives hidden behind the notification-area icon:
// minimising, closing, Esc, Enter and Exit hide it; only the icon menu's Exit
// (which sets the Quit flag) destroys it. Messages are saved after every
// arrival and deletion, at the end of the session and when the window goes.

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Autostart.h"
#include "platform/CodePage.h"
#include "platform/HookLibrary.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "receive/ArrivalProcessor.h"
#include "receive/MessageStore.h"
#include "receive/ReceiveRules.h"
#include "receive/SavedMessages.h"
#include "receive/qt/SendDialogPort.h"
#include "settings/Options.h"
#include "settings/Profile.h"
#include "transport/MessageRecord.h"
#include "ui/DialogBuilder.h"
#include "ui/QuitFlag.h"
#include "ui/TextCodec.h"
#include "ui/TrayOwner.h"

class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QToolBar;

namespace vantrel::ui {
class TrayIcon;
}

namespace vantrel {

// Drains the local mailslot into records at the tail of list; 1 on success
// (also when it was empty), 0 on failure. showResponse keeps automatic
// messages. Production binds SlotReader::ReadMessageSlot.
using ReadMessageSlotFunction =
    std::function<int(std::vector<MessageRecord>& list, int showResponse)>;

// Everything the receive window uses from outside. The application object
// fills it with the production platform; tests with fakes.
struct ReceiveContext {
  IRegistry* registry = nullptr;
  IAutostart* autostart = nullptr;  // null: Auto Start shows off and does nothing
  ISystemInfo* system = nullptr;
  IMessageBox* messageBox = nullptr;  // "Insufficient memory."
  ICodePage* codePage = nullptr;      // bytes in the system code page <-> text on screen
  // IsPopupCaptureMode, asked whenever the window needs it.
  std::function<int()> isPopupCaptureMode;
  ReadMessageSlotFunction readMessageSlot;
  SendDatagramFunction sendDatagram;        // the automatic answers
  IHookLibrary* hook = nullptr;             // pop-up capture mode only; null: none
  ui::TrayOwner* trayOwner = nullptr;       // null: the process's
  ui::QuitFlag* quit = nullptr;             // null: the process's
  std::function<bool()> trayAvailable;      // empty: ask the desktop
  SendDialogFactory makeSendDialog;         // empty: NullSendDialog
  std::function<void(QWidget*)> showAbout;  // empty: the About box
  QIcon icon;                               // null: icon 128
  int pollIntervalMs = 1000;
  // The User Info dialog, modal over the window; empty: User Info is disabled.
  std::function<void(QWidget*)> showUserInfo;
};

class CReceiveDlg : public QDialog, private IArrivalView {
  Q_OBJECT

 public:
  explicit CReceiveDlg(ReceiveContext context);
  ~CReceiveDlg() override;

  // Builds the window and runs its initialisation (tray icon, tool bar,
  // options, saved messages, intake). Called once, by start-up.
  bool Create();

  // ---- Intake ----
  // The poll of the local mailslot (timer 1).
  void OnPoll();
  // WM_COPYDATA: a captured pop-up text from the hook library.
  void OnCopyData(const CopyDataRecord& record);

  // ---- Commands ----
  // Menu 130, tool bar 133 and menu 136 commands by id; false for ids the
  // window has no handler for, or that are disabled by the rules.
  bool OnCommand(int id);
  // The update rules of every command.
  bool isCommandEnabled(int id) const;
  bool isCommandChecked(int id) const;

  // The end of the session (the session manager's save request, a
  // termination signal): saves the messages.
  void OnQueryEndSession();
  // Destroys the window as the Quit flag asks: timer stopped, icon removed,
  // capture mode undone, messages saved and dropped. Emits windowDestroyed;
  // the object is deleted later. Safe to call more than once.
  void DestroyWindow();
  bool isDestroyed() const { return destroyed_; }

  // ---- For the application object and tests ----
  MessageStore& store() { return store_; }
  const MessageStore& store() const { return store_; }
  SendDialogPort* sendDialog() const { return sendDialog_.get(); }
  ui::TrayIcon* trayIcon() const { return tray_.get(); }
  QToolBar* toolBar() const { return toolBar_; }
  QMenuBar* menuBar() const { return menuBar_; }
  const QTimer& pollTimer() const { return pollTimer_; }
  const std::string& lastCapturedText() const { return lastCaptured_.text(); }
  bool autoRespond() const;
  bool showResponse() const;
  bool autoStart() const { return autoStart_; }
  bool autoPopup() const { return options_.autoPopup; }
  bool autoBeep() const { return options_.autoBeep; }
  // Puts every tool-bar button through the update rules (done after every
  // change of state).
  void UpdateToolBar();

 signals:
  // The window was destroyed (the program ends with it).
  void windowDestroyed();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;  // Esc
  void accept() override;

 private:
  // IArrivalView.
  void RefreshMessageView() override;
  void RefreshCounters() override;
  void ShowAndActivate() override;

  void OnInitDialog();
  void OnCancel();  // Exit, Esc, Enter, the close button
  void OnTrayCommand(int id);
  void HideIfEmpty();
  void RunArrivals(uint32_t previousPosition, uint32_t previousTotal);
  void SaveMessages(bool always = false);
  bool IsPopupCaptureMode() const;
  ReceiveCommandState CommandState() const;
  QString FromBytes(std::string_view bytes) const;

  ReceiveContext ctx_;
  Profile profile_;
  ui::TextCodec codec_;
  MessageStore store_;
  MessageSaver saver_;
  std::unique_ptr<ArrivalProcessor> arrivals_;
  std::unique_ptr<SendDialogPort> sendDialog_;
  std::unique_ptr<ui::TrayIcon> tray_;
  LastCapturedText lastCaptured_;
  QTimer pollTimer_;
  bool created_ = false;
  bool destroyed_ = false;
  bool captureActive_ = false;

  // Controls.
  QMenuBar* menuBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* fromLabel_ = nullptr;
  QLabel* onLabel_ = nullptr;
  QCheckBox* autoRespondBox_ = nullptr;
  QCheckBox* showResponseBox_ = nullptr;
  QPlainTextEdit* textEdit_ = nullptr;
  QLabel* currentLabel_ = nullptr;
  QLabel* totalLabel_ = nullptr;

  // Auto Popup and Auto Beep, the flags of the menu (Auto Respond and Show
  // Response are the check boxes themselves), and Auto Start.
  OptionFlags options_;
  bool autoStart_ = false;
};

}  // namespace vantrel
