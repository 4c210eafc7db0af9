#include "app/qt/LinuxPlatform.h"

#include <QApplication>

#include "platform/linux/NbnsIdentity.h"
#include "platform/linux/NbnsNameCheck.h"
#include "receive/Options.h"

namespace vantrel::app {
namespace {

AutostartConfig Autostart() {
  AutostartConfig config;
  config.dir = AutostartConfig::DefaultDir();
  config.valueName = std::string(kAutostartValue);
  config.icon = "vantrel";
  config.comment = "Tessivane pop-up messenger";
  return config;
}

}  // namespace

LinuxPlatform::LinuxPlatform()
    : identity_(linux::LoadIdentity(system_, std::string(linux::kDefaultSmbConfPath))),
      hive_(OpenHive(DefaultHivePath())),
      autostart_(Autostart()),
      registry_(*hive_.hive, autostart_),
      profile_(registry_),
      nameCheck_(linux::MakeNameCheck(identity_, network_)),
      mailslot_(network_, system_, box_, identity_),
      messenger_(profile_, *nameCheck_, network_, box_, identity_, &mailslot_),
      responder_(identity_, network_) {
  hive_.hive->CreateKey(RootKey::CurrentUser, kProgramKey);
  system_.SetBeepHandler([] { QApplication::beep(); });
}

LinuxPlatform::~LinuxPlatform() { Close(); }

void LinuxPlatform::Close() {
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

AppServices LinuxPlatform::Services() {
  AppServices s;
  s.registry = &registry_;
  s.system = &system_;
  s.messageBox = &box_;
  s.codePage = &codePage_;
  s.openMessageSlot = [this] { return OpenMessageSlot(); };
  s.slotHeld = [this] { return mailslot_.IsOpen(); };
  s.readMessageSlot = [this](std::vector<MessageRecord>& list, int showResponse) {
    return mailslot_.ReadMessageSlot(list, showResponse);
  };
  s.sendDatagram = [this](std::string_view sender, std::string_view receiver,
                          std::string_view text) {
    return messenger_.SendMessengerDatagram(sender, receiver, text);
  };
  s.directory = &directory_;
  s.hook = &hook_;
  s.startReceiving = [this] { StartResponder(); };
  s.startupNotice = hive_.message;
  s.programPath = system_.ModuleFileName();
  return s;
}

}  // namespace vantrel::app
