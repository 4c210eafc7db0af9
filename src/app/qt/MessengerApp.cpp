#include "app/qt/MessengerApp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <system_error>

#include "app/qt/LinuxPlatform.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/TerminationSignals.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SelectReceiverDlg.h"
#include "directory/qt/UserInfoDlg.h"
#include "directory/NetEnum.h"
#include "receive/qt/SendDlgPort.h"
#include "res/Resources.h"
#include "send/qt/SendDlg.h"
#include "settings/Profile.h"
#include "transport/PopupText.h"
#include "ui/TrayIcon.h"

namespace vantrel::app {

MessengerApp::MessengerApp(AppServices services)
    : s_(std::move(services)),
      trayOwner_(s_.trayOwner ? *s_.trayOwner : ui::TrayOwner::Process()),
      quit_(s_.quit ? *s_.quit : ui::QuitFlag::Process()) {
  codec_ = std::make_unique<ui::TextCodec>(*s_.codePage, s_.system->AnsiCodePage());
  if (s_.instanceName.isEmpty()) s_.instanceName = SingleInstance::ServerName();
}

MessengerApp::~MessengerApp() {
  // No text may come for a window that is going.
  if (s_.stopTextIntake) s_.stopTextIntake();
  // A refresh for a list request ends within the directory's time limit; its
  // answer, posted to this object, is dropped with it.
  if (listWorker_.joinable()) listWorker_.join();
  if (s_.hook) s_.hook->SetCopyDataNotifier({});
  // The windows go before the services they use.
  receive_.reset();
  delete sendOnly_.data();
  // Waits for an enumeration that still runs.
  networkRefresh_.reset();
}

QWidget* MessengerApp::mainWindow() const {
  if (receive_) return receive_.get();
  return sendOnly_.data();
}

bool MessengerApp::InitInstance() {
  // 1. One receiving copy: a running one is brought to the front instead.
  if (SingleInstance::ActivateRunning(s_.instanceName)) return false;

  // 3. The operating mode: the platform, then the mailslot, then (only on
  // NT without it) the language.
  ModeQuestions questions;
  questions.isNtPlatform = [this] { return IsNtPlatform(*s_.system); };
  questions.openMessageSlot = [this] {
    return s_.openMessageSlot ? s_.openMessageSlot() : SlotOpenResult::kHeldByOther;
  };
  questions.systemLanguageClass = [this] { return SystemLanguageClass(*s_.system); };
  const ModeDecision decision = DecideOperatingMode(questions, s_.programPath);
  mode_ = decision.mode;
  if (!decision.box.empty() && s_.messageBox) s_.messageBox->Show(decision.box);
  if (terminating_) return false;

  // 4. and 5. The main window, started in the notification area.
  const bool created =
      mode_ == OperatingMode::kSenderOnly ? CreateSenderOnlyWindow() : CreateReceiveWindow();
  if (!created) return false;
  if (mode_ != OperatingMode::kSenderOnly && s_.startReceiving) s_.startReceiving();
  if (mode_ != OperatingMode::kSenderOnly && s_.startTextIntake) {
    s_.startTextIntake([this](std::string text) {
      QMetaObject::invokeMethod(
          this, [this, text = std::move(text)] { TakeCapturedText(text); }, Qt::QueuedConnection);
    });
  }

  // The note about the settings file waits for the user, so it comes once the
  // program receives: the window polls while the box is open.
  if (!s_.startupNotice.empty() && s_.messageBox) s_.messageBox->Show(s_.startupNotice);
  return !terminating_;
}

bool MessengerApp::CreateReceiveWindow() {
  ReceiveContext c;
  c.registry = s_.registry;
  c.autostart = s_.autostart;
  c.system = s_.system;
  c.messageBox = s_.messageBox;
  c.codePage = s_.codePage;
  c.isPopupCaptureMode = [this] {
    return IsPopupCaptureMode(s_.slotHeld && s_.slotHeld(), *s_.system);
  };
  c.readMessageSlot = s_.readMessageSlot;
  c.sendDatagram = s_.sendAnswer ? s_.sendAnswer : s_.sendDatagram;
  c.hook = s_.hook;
  c.trayOwner = &trayOwner_;
  c.quit = &quit_;
  c.trayAvailable = s_.trayAvailable;
  c.makeSendDialog = [this](QWidget* owner) { return MakeSendDialog(owner); };
  c.showAbout = s_.showAbout;
  if (s_.registry) c.showUserInfo = [this](QWidget* parent) { ShowUserInfo(parent); };
  receive_ = std::make_unique<CReceiveDlg>(std::move(c));
  // Captured texts arrive on a thread of the hook library; they are handed to
  // the window on this one.
  if (s_.hook) {
    s_.hook->SetCopyDataNotifier([this] {
      QMetaObject::invokeMethod(
          this, [this] { DeliverCapturedTexts(); }, Qt::QueuedConnection);
    });
  }
  if (!receive_->Create()) {
    receive_.reset();
    return false;
  }
  connect(receive_.get(), &CReceiveDlg::windowDestroyed, this, &MessengerApp::mainWindowDestroyed);

  // Only the receive window answers a second start.
  instance_ = std::make_unique<SingleInstance>(s_.instanceName);
  instance_->Listen();
  connect(instance_.get(), &SingleInstance::activateRequested, receive_.get(), [this] {
    if (receive_ && !receive_->isDestroyed()) ui::ShowAndActivate(receive_.get());
  });
  if (s_.directory) {
    instance_->SetListProvider(
        [this](SingleInstance::ListReply reply) { OnListRequested(std::move(reply)); });
  }

  StartHidden(receive_.get(), receive_->trayIcon() && receive_->trayIcon()->usesOtherHome());
  return true;
}

void MessengerApp::TakeCapturedText(const std::string& text) {
  if (!receive_ || receive_->isDestroyed()) return;
  CopyDataRecord record;
  record.cbData = static_cast<uint32_t>(text.size());
  record.lpData = text.data();
  receive_->OnCopyData(record);
}

void MessengerApp::DeliverCapturedTexts() {
  // A box opened while a text is handled runs its own loop; the texts that
  // come meanwhile wait for this loop.
  if (!s_.hook || deliveringCaptured_) return;
  deliveringCaptured_ = true;
  CapturedCopyData item;
  while (s_.hook->TakeCopyData(item)) {
    // A text for a window that is gone goes nowhere, as on Windows.
    if (!receive_ || receive_->isDestroyed() ||
        item.window != reinterpret_cast<uintptr_t>(receive_.get()))
      continue;
    CopyDataRecord record;
    record.dwData = item.dwData;
    record.cbData = static_cast<uint32_t>(item.bytes.size());
    record.lpData = item.bytes.data();
    receive_->OnCopyData(record);
  }
  deliveringCaptured_ = false;
}

SendDlgServices MessengerApp::SendServices() {
  SendDlgServices services;
  services.sendDatagram = s_.sendDatagram;
  services.payloadSize = s_.payloadSize;
  services.runInBackground = s_.runInBackground;
  services.directory = s_.directory;
  services.isPopupCaptureMode = [this] {
    return IsPopupCaptureMode(s_.slotHeld && s_.slotHeld(), *s_.system);
  };
  services.computerName = [this] { return s_.system->ComputerName(); };
  services.codec = codec_.get();
  services.selectReceivers = [this](QWidget* parent) { return SelectReceivers(parent); };
  services.showAbout = s_.showAbout;
  services.quitFlag = &quit_;
  services.trayOwner = &trayOwner_;
  services.trayAvailable = s_.trayAvailable;
  return services;
}

NetworkRefresh& MessengerApp::networkRefresh() {
  if (!networkRefresh_) {
    // The operating mode holds for the whole run, so the answer of
    // IsPopupCaptureMode does too once the start-up is over.
    const bool captureMode = IsPopupCaptureMode(s_.slotHeld && s_.slotHeld(), *s_.system) != 0;
    networkRefresh_ = std::make_unique<NetworkRefresh>(
        networkCache_, [refresh = s_.refreshNetworkList, captureMode] {
          return refresh ? refresh(captureMode) : NetworkNameList();
        });
  }
  return *networkRefresh_;
}

std::optional<QString> MessengerApp::SelectReceivers(QWidget* parent) {
  // Made on the heap: whatever ends the modal loop, the dialog is deleted
  // here exactly once.
  QPointer<CSelectReceiverDlg> dialog =
      new CSelectReceiverDlg(networkRefresh(), parent, codec_.get());
  const int answer = dialog->exec();
  if (!dialog) return std::nullopt;
  std::optional<QString> line;
  if (answer == QDialog::Accepted) line = dialog->receiverLine();
  delete dialog.data();
  return line;
}

void MessengerApp::ShowUserInfo(QWidget* parent) {
  // As Select Receiver: deleted here exactly once, whatever ends the loop.
  QPointer<CUserInfoDlg> dialog =
      new CUserInfoDlg(networkRefresh(), *s_.registry, parent, codec_.get(), s_.messageBox);
  dialog->exec();
  delete dialog.data();
}

std::unique_ptr<SendDialogPort> MessengerApp::MakeSendDialog(QWidget* owner) {
  // Owned by the receive window (its Qt parent) and hidden until Send or
  // Response shows it.
  auto* dialog = new CSendDlg(owner, SendServices());
  return std::make_unique<SendDlgPort>(dialog, codec_.get());
}

bool MessengerApp::CreateSenderOnlyWindow() {
  sendOnly_ = new CSendDlg(nullptr, SendServices());
  // The dialog deletes itself once the icon menu's Exit has destroyed it.
  connect(sendOnly_.data(), &QObject::destroyed, this, &MessengerApp::mainWindowDestroyed);
  StartHidden(sendOnly_.data(), sendOnly_->trayIcon() && sendOnly_->trayIcon()->usesOtherHome());
  return true;
}

void MessengerApp::OnListRequested(SingleInstance::ListReply reply) {
  listReplies_.push_back(std::move(reply));
  if (listRefreshing_) return;
  if (listWorker_.joinable()) listWorker_.join();  // the last one has answered already
  INetworkDirectory* directory = s_.directory;
  const bool captureMode = IsPopupCaptureMode(s_.slotHeld && s_.slotHeld(), *s_.system);
  try {
    listWorker_ = std::thread([this, directory, captureMode] {
      NetworkNameList list = RefreshNetworkList(*directory, captureMode);
      QMetaObject::invokeMethod(
          this, [this, list = std::move(list)] { OnListRefreshed(list); }, Qt::QueuedConnection);
    });
    listRefreshing_ = true;
  } catch (const std::system_error&) {
    std::vector<SingleInstance::ListReply> replies = std::move(listReplies_);
    listReplies_.clear();
    for (SingleInstance::ListReply& r : replies) r(nullptr);  // the askers enumerate themselves
  }
}

void MessengerApp::OnListRefreshed(const NetworkNameList& list) {
  listRefreshing_ = false;
  std::vector<SingleInstance::ListReply> replies = std::move(listReplies_);
  listReplies_.clear();
  for (SingleInstance::ListReply& reply : replies) reply(&list);
}

void MessengerApp::StartHidden(QWidget* window, bool otherHome) {
  // Shown minimised and then hidden: the program starts as the icon in the
  // notification area. Without one, it starts minimised on the task bar.
  window->showMinimized();
  if (!otherHome) window->hide();
}

void MessengerApp::OnQueryEndSession() {
  if (receive_) receive_->OnQueryEndSession();
}

void MessengerApp::Terminate() {
  terminating_ = true;
  quit_.Set();
  if (receive_ && !receive_->isDestroyed()) receive_->DestroyWindow();
  if (sendOnly_) sendOnly_->hide();
  emit quitRequested();
}

int RunMessenger(const MessengerAttachment& attach) {
  res::InitResources();
  QCoreApplication::setOrganizationName(QString::fromLatin1(kRegistryCompany));
  QCoreApplication::setApplicationName(QString::fromLatin1(kProfileName));
  // The program lives on with its windows hidden; closing a box must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  LinuxPlatform platform;
  int rc = 0;
  {
    MessengerApp messenger(platform.Services());
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminate, &messenger,
                     [&messenger](int) { messenger.Terminate(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &messenger,
                     [&messenger](QSessionManager&) { messenger.OnQueryEndSession(); });
    // Either leaves every running loop, a message box's included.
    QObject::connect(&messenger, &MessengerApp::mainWindowDestroyed, qApp,
                     [] { QCoreApplication::exit(0); });
    QObject::connect(&messenger, &MessengerApp::quitRequested, qApp,
                     [] { QCoreApplication::exit(0); });
    std::unique_ptr<QObject> attached;
    if (messenger.InitInstance() && !termination.received()) {
      if (attach) attached = attach(messenger);
      rc = QApplication::exec();
    }
    // Whatever ended the loop, the messages are saved and the icon goes.
    if (messenger.receiveWindow() && !messenger.receiveWindow()->isDestroyed())
      messenger.receiveWindow()->DestroyWindow();
  }
  platform.Close();
  return rc;
}

}  // namespace vantrel::app
