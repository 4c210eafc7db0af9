#pragma once
// MessengerApp, the application object: the start-up operation (one
// receiving copy per user, the operating mode, the main window shown,
// minimised and hidden) and the end of the program (the main window
// destroyed, the session ending, a termination signal).
//
// The platform comes in through AppServices; LinuxPlatform (below) makes the
// production one, tests their fakes.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/OperatingMode.h"
#include "app/qt/SingleInstance.h"
#include "directory/NetworkList.h"
#include "platform/Autostart.h"
#include "platform/CodePage.h"
#include "platform/HookLibrary.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "receive/qt/ReceiveDlg.h"
#include "send/qt/SendDlg.h"
#include "ui/QuitFlag.h"
#include "ui/TrayOwner.h"

class QWidget;

namespace vantrel {
class IAnnouncementSource;
class INetworkDirectory;
class NetworkRefresh;
}  // namespace vantrel

namespace vantrel::app {

class SingleInstance;

struct AppServices {
  IRegistry* registry = nullptr;
  IAutostart* autostart = nullptr;
  ISystemInfo* system = nullptr;
  IMessageBox* messageBox = nullptr;
  ICodePage* codePage = nullptr;
  // OpenMessageSlot, and whether the mailslot is held now.
  std::function<SlotOpenResult()> openMessageSlot;
  std::function<bool()> slotHeld;
  ReadMessageSlotFunction readMessageSlot;
  // SendMessengerDatagram, and the size of the datagram it would send.
  SendDatagramFunction sendDatagram;
  std::function<size_t(std::string_view sender, std::string_view receiver, std::string_view text)>
      payloadSize;
  // Runs a job (a send) on the background thread; false when it was dropped.
  // Empty: the Send dialog sends on the user-interface thread.
  std::function<bool(std::function<void()> job)> runInBackground;
  // The automatic answers: 1 when the answer was sent (or queued to be);
  // empty: sendDatagram.
  SendDatagramFunction sendAnswer;
  INetworkDirectory* directory = nullptr;
  // The computers heard announcing themselves (merged into the network
  // enumeration); null: none.
  IAnnouncementSource* announcements = nullptr;
  // RefreshNetworkList: a fresh list of the whole network. Runs on a thread
  // of its own (it must be safe there), with IsPopupCaptureMode as it was
  // after the start-up. Empty: the network shows nothing.
  std::function<NetworkNameList(bool popupCaptureMode)> refreshNetworkList;
  IHookLibrary* hook = nullptr;
  // Runs once the mode is known to receive (the NetBIOS name responder).
  std::function<void()> startReceiving;
  // Pop-up texts that come by another way than the window's own intake (the
  // messages sent to this computer over the NetBIOS session service): started
  // once the receive window exists, with a function that hands one text to
  // it and may be called from any thread; stopped before the window goes.
  std::function<void(std::function<void(std::string)> deliver)> startTextIntake;
  std::function<void()> stopTextIntake;
  // Text shown once the program is up and receiving (a settings hive put
  // aside or not usable), UTF-8; empty for none.
  std::string startupNotice;
  QString instanceName;                     // empty: SingleInstance::ServerName()
  std::function<bool()> trayAvailable;      // empty: ask the desktop
  ui::TrayOwner* trayOwner = nullptr;       // null: the process's
  ui::QuitFlag* quit = nullptr;             // null: the process's
  std::function<void(QWidget*)> showAbout;  // empty: the About box
  std::string programPath;                  // for the permission box
};

class MessengerApp : public QObject {
  Q_OBJECT

 public:
  explicit MessengerApp(AppServices services);
  ~MessengerApp() override;

  // The start-up operation. False ends the program at once: a receiving copy
  // runs already (it was asked to show itself), the main window could not be
  // made, or a termination signal came while a start-up box was open.
  bool InitInstance();

  OperatingMode mode() const { return mode_; }
  QWidget* mainWindow() const;
  CReceiveDlg* receiveWindow() const { return receive_.get(); }
  CSendDlg* senderOnlyWindow() const { return sendOnly_; }
  const SingleInstance* singleInstance() const { return instance_.get(); }
  // The network list cache and the enumeration that refreshes it, for the
  // dialogs that show the network; made on first use, after the start-up.
  NetworkRefresh& networkRefresh();

  // The session ends: the messages are saved; the program goes on until the
  // session manager ends it.
  void OnQueryEndSession();
  // A termination signal: the messages are saved, the main window is
  // destroyed as by the icon menu's Exit, and quitRequested asks the event
  // loops to end.
  void Terminate();

 signals:
  // The main window is gone; the program ends (connected to the
  // application's exit by Run).
  void mainWindowDestroyed();
  // The program is to end now (a termination signal); connected to the
  // application's exit by RunMessenger.
  void quitRequested();

 private:
  bool CreateReceiveWindow();
  // A pop-up text from startTextIntake, on the user-interface thread: to the
  // receive window as its copy-data record.
  void TakeCapturedText(const std::string& text);
  bool CreateSenderOnlyWindow();
  std::unique_ptr<SendDialogPort> MakeSendDialog(QWidget* owner);
  // What either role of the Send dialog is given from the production platform.
  SendDlgServices SendServices();
  // The Select Receiver dialog, modal over parent: the receiver line, or
  // nothing when cancelled.
  std::optional<QString> SelectReceivers(QWidget* parent);
  // The User Info dialog, modal over parent.
  void ShowUserInfo(QWidget* parent);
  static void StartHidden(QWidget* window, bool otherHome);
  // A list request on the single-instance socket: RefreshNetworkList on a
  // worker thread (one at a time; requests that come meanwhile get the same
  // answer), answered on this thread.
  void OnListRequested(SingleInstance::ListReply reply);
  void OnListRefreshed(const NetworkNameList& list);
  // Hands the captured texts waiting in the hook library to their window (the
  // receive window), on the user-interface thread, as Windows dispatches
  // WM_COPYDATA.
  void DeliverCapturedTexts();

  AppServices s_;
  ui::TrayOwner& trayOwner_;
  ui::QuitFlag& quit_;
  OperatingMode mode_ = OperatingMode::kSenderOnly;
  std::unique_ptr<ui::TextCodec> codec_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<CReceiveDlg> receive_;
  QPointer<CSendDlg> sendOnly_;
  NetworkListCache networkCache_;
  std::unique_ptr<NetworkRefresh> networkRefresh_;
  bool terminating_ = false;
  std::thread listWorker_;
  bool listRefreshing_ = false;
  std::vector<SingleInstance::ListReply> listReplies_;
  bool deliveringCaptured_ = false;
};

// Runs the program on the production platform: makes the application
// object, runs the start-up, the event loop and the orderly end. Call
// TerminationSignals::Install() before the QApplication is made. attach, when
// given, is called once the start-up has succeeded, before the event loop
// runs; what it returns lives until the application object goes (test
// drivers attach themselves there).
using MessengerAttachment = std::function<std::unique_ptr<QObject>(MessengerApp&)>;
int RunMessenger(const MessengerAttachment& attach = {});

}  // namespace vantrel::app
