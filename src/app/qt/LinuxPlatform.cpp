#include "app/qt/LinuxPlatform.h"

#include "directory/NetEnum.h"

#include <QApplication>

#include "platform/AsciiCase.h"
#include "settings/Options.h"
#include "transport/MessageSession.h"
#include "transport/PopupText.h"
#include "transport/BrowseFrames.h"
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

// The comment we announce: smb.conf's server string in the system code page,
// cut between characters to what a host announcement holds.
AnnouncerOptions Announcing(linux::LinuxSystemInfo& system, ICodePage& codePage) {
  AnnouncerOptions options;
  std::string utf8 = system.ServerComment();
  for (;;) {
    options.comment = codePage.FromUtf8(system.AnsiCodePage(), utf8).bytes;
    if (options.comment.size() <= kMaxBrowseComment) return options;
    size_t n = utf8.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
    utf8.resize(n);
  }
}

linux::SmbBrowseOptions BrowseOptions(const Identity& identity, uint32_t codePage) {
  linux::SmbBrowseOptions options;
  options.codePage = codePage;
  options.localHost = {identity.workgroup, identity.computerName, ""};
  return options;
}

}  // namespace

LinuxPlatform::LinuxPlatform()
    : identity_(linux::LoadIdentity(system_, std::string(linux::kDefaultSmbConfPath))),
      hive_(OpenHive(DefaultHivePath())),
      registry_(*hive_.hive),
      autostart_(Autostart()),
      profile_(registry_),
      nameCheck_(linux::MakeNameCheck(identity_, network_)),
      announcer_(network_, identity_, Announcing(system_, codePage_)),
      mailslot_(network_, identity_),
      slotReader_(mailslot_, system_, box_),
      messenger_(*nameCheck_, network_, identity_, &mailslot_),
      sender_(profile_, messenger_, box_, codePage_, system_.AnsiCodePage()),
      directory_(codePage_, &announcements_, BrowseOptions(identity_, system_.AnsiCodePage())),
      answerGate_(
          AnswerGate::Clock::now,
          [this](std::string_view name) { return EqualsIgnoringAsciiCase(name, identity_.workgroup); }),
      responder_(identity_, network_) {
  registry_.CreateKey(RootKey::CurrentUser, kProgramKey);
  system_.SetBeepHandler([] { QApplication::beep(); });
  browseListener_.AddHandler(&announcements_);
  browseListener_.AddHandler(&announcer_);
  mailslot_.SetBrowseSink(&browseListener_);
  announcements_.SetRequester([this] { announcer_.RequestAnnouncements(); });
}

LinuxPlatform::~LinuxPlatform() { Close(); }

void LinuxPlatform::Close() {
  // A send waiting for a box to be answered gives up; the running one ends.
  ui::AbandonPendingBoxes();
  sendQueue_.Stop();
  StopSessionListener();
  announcer_.Stop();  // says we go down, from the mailslot's socket
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
  // We announce this computer only where we speak for it: we hold UDP 138
  // and answer its names (where nmbd runs, it announces the host itself).
  if (responder_.State() == linux::ResponderState::kRunning && mailslot_.IsOpen())
    announcer_.Start(mailslot_.Socket());
}

void LinuxPlatform::StartSessionListener(std::function<void(std::string)> deliver) {
  if (sessions_) return;
  const int languageClass = SystemLanguageClass(system_);
  // Without a layout the receive window could not read the texts back.
  if (languageClass == kLanguageUnsupported) return;
  MessageSessionConfig config;
  config.calledName = identity_.ComputerNetbiosName(kSuffixMessenger);
  config.computerName = identity_.computerName;
  config.languageClass = languageClass;
  config.timeText = [this] { return system_.LocalTimeText(); };
  // Messages carry OEM text; records hold the system code page.
  const uint32_t ansi = system_.AnsiCodePage();
  const uint32_t oem = OemCodePageFor(ansi);
  if (oem != ansi && codePage_.IsSupported(oem) && codePage_.IsSupported(ansi)) {
    config.fromOem = [this, oem, ansi](std::string_view bytes) {
      return codePage_.FromUtf8(ansi, codePage_.ToUtf8(oem, bytes).utf8).bytes;
    };
  }
  sessions_ = std::make_unique<linux::SessionListener>(std::move(config), SessionLimits{},
                                                       std::move(deliver));
  // Where smbd (or another program) holds TCP 139 it takes the messages; the
  // listener then simply does not run.
  sessions_->Start();
}

void LinuxPlatform::StopSessionListener() {
  if (sessions_) sessions_->Stop();
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
  s.announcements = &announcements_;
  s.refreshNetworkList = [this](bool popupCaptureMode) {
    return RefreshNetworkList(directory_, popupCaptureMode);
  };
  s.hook = &hook_;
  s.startReceiving = [this] { StartResponder(); };
  s.startTextIntake = [this](std::function<void(std::string)> deliver) {
    StartSessionListener(std::move(deliver));
  };
  s.stopTextIntake = [this] { StopSessionListener(); };
  s.startupNotice = hive_.message;
  s.programPath = system_.ModuleFileName();
  return s;
}

}  // namespace vantrel::app
