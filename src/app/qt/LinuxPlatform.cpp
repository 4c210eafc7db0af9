#include "app/qt/LinuxPlatform.h"

#include <QApplication>

#include "receive/ReceiveRules.h"
#include "settings/Options.h"
#include "transport/PopupText.h"
#include "transport/linux/NbnsIdentity.h"
#include "transport/linux/NbnsNameCheck.h"

namespace vantrel::app {
namespace {

AutostartConfig Autostart() {
  AutostartConfig config;
  config.dir = AutostartConfig::DefaultDir();
  config.name = std::string(kAutostartValue);
  config.icon = "vantrel";
  config.comment = "Tessivane pop-up messenger";
  return config;
}

// The receive window reads captured texts in the system's layout and code page.
capture::CaptureHookConfig CaptureHook(ISystemInfo& system) {
  capture::CaptureHookConfig config;
  config.greeting.languageClass = static_cast<uint8_t>(SystemLanguageClass(system));
  config.greeting.codePage = system.AnsiCodePage();
  return config;
}

}  // namespace

LinuxPlatform::LinuxPlatform()
    : identity_(linux::LoadIdentity(system_, std::string(linux::kDefaultSmbConfPath))),
      hive_(OpenHive(DefaultHivePath())),
      registry_(*hive_.hive),
      autostart_(Autostart()),
      profile_(registry_),
      nameCheck_(linux::MakeNameCheck(identity_, network_)),
      mailslot_(network_, identity_),
      slotReader_(mailslot_, system_, box_),
      messenger_(*nameCheck_, network_, identity_, &mailslot_),
      sender_(profile_, messenger_, box_, codePage_, system_.AnsiCodePage()),
      hook_(CaptureHook(system_)),
      answerGate_(
          AnswerGate::Clock::now,
          [this](std::string_view name) { return EqualsIgnoringCase(name, identity_.workgroup); }),
      responder_(identity_, network_) {
  registry_.CreateKey(RootKey::CurrentUser, kProgramKey);
  system_.SetBeepHandler([] { QApplication::beep(); });
}

LinuxPlatform::~LinuxPlatform() { Close(); }

void LinuxPlatform::Close() {
  // A send waiting for a box to be answered gives up; the running one ends.
  ui::AbandonPendingBoxes();
  sendQueue_.Stop();
  responder_.Stop();
  mailslot_.CloseMessageSlot();
  if (hive_.hive) hive_.hive->Close();
}

SlotOpenResult LinuxPlatform::OpenMessageSlot() {
  if (mailslot_.OpenMessageSlot() == 1) return SlotOpenResult::kOpened;
  // Only a missing privilege is told apart; anything else keeps the port
  // from us as another owner would.
  return mailslot_.OpenFailure() == BindFailure::NoPermission ? SlotOpenResult::kNoPermission
                                                              : SlotOpenResult::kHeldByOther;
}

void LinuxPlatform::StartResponder() {
  // Where nmbd (or another program) holds UDP 137 it answers for this host;
  // the responder then simply does not run.
  responder_.Start();
}

int LinuxPlatform::QueueAnswer(std::string_view sender, std::string_view receiver,
                               std::string_view text) {
  if (!answerGate_.Allow(receiver)) return 0;
  const bool queued =
      sendQueue_.Post([this, s = std::string(sender), r = std::string(receiver),
                       t = std::string(text)] { sender_.SendMessengerDatagram(s, r, t); });
  return queued ? 1 : 0;
}

AppServices LinuxPlatform::Services() {
  AppServices s;
  s.registry = &registry_;
  s.autostart = &autostart_;
  s.system = &system_;
  s.messageBox = &box_;
  s.codePage = &codePage_;
  s.openMessageSlot = [this] { return OpenMessageSlot(); };
  s.slotHeld = [this] { return mailslot_.IsOpen(); };
  s.readMessageSlot = [this](std::vector<MessageRecord>& list, int showResponse) {
    return slotReader_.ReadMessageSlot(list, showResponse);
  };
  s.sendDatagram = [this](std::string_view sender, std::string_view receiver,
                          std::string_view text) {
    return sender_.SendMessengerDatagram(sender, receiver, text);
  };
  s.payloadSize = [this](std::string_view sender, std::string_view receiver,
                         std::string_view text) {
    return sender_.PayloadSize(sender, receiver, text);
  };
  s.runInBackground = [this](std::function<void()> job) { return sendQueue_.Post(std::move(job)); };
  s.sendAnswer = [this](std::string_view sender, std::string_view receiver, std::string_view text) {
    return QueueAnswer(sender, receiver, text);
  };
  s.directory = &directory_;
  s.hook = &hook_;
  s.startReceiving = [this] { StartResponder(); };
  s.startupNotice = hive_.message;
  s.programPath = system_.ModuleFileName();
  return s;
}

}  // namespace vantrel::app
