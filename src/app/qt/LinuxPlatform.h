#pragma once
// The production platform of the Linux program, wired in one place: the
// settings hive, the autostart entry, system information from Samba's
// configuration and the locale, code-page conversion, the network, the local
// mailslot and its reader, the name check, the sender of datagrams with its
// background queue, the NetBIOS name responder, the session listener that
// takes messages sent over the NetBIOS session service, browsing by
// announcement (the browse listener on the mailslot's reader, the table of
// announced computers, and our own announcer, running only while we hold UDP
// 138 and answer for this host's names), and the network directory (browse
// lists through libsmbclient merged with the announced computers, with this
// computer in its workgroup).

#include <memory>
#include <string>

#include "app/qt/MessengerApp.h"
#include "directory/AnnouncementTable.h"
#include "directory/NetEnum.h"
#include "directory/linux/SmbNetworkDirectory.h"
#include "platform/linux/IconvCodePage.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SqliteRegistry.h"
#include "platform/linux/XdgAutostart.h"
#include "receive/AnswerGate.h"
#include "receive/SlotReader.h"
#include "send/MessageSender.h"
#include "send/SendQueue.h"
#include "settings/Profile.h"
#include "transport/Announcer.h"
#include "transport/BrowseListener.h"
#include "transport/Identity.h"
#include "transport/MailslotEndpoint.h"
#include "transport/Messenger.h"
#include "transport/NameCheckImpl.h"
#include "transport/linux/NbnsResponderService.h"
#include "transport/linux/SessionListener.h"
#include "ui/MessageBox.h"

namespace vantrel::app {

class LinuxPlatform {
 public:
  // Opens the settings hive (making it and the program key on a first
  // start); nothing touches the network yet.
  LinuxPlatform();
  ~LinuxPlatform();
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  AppServices Services();

  // Stops the background sends and the network services and closes the
  // hive; the registry must not be used afterwards.
  void Close();

 private:
  SlotOpenResult OpenMessageSlot();
  void StartResponder();
  // Listens on TCP 139 for `net send` / `smbclient -M` messages, when the port
  // is free and the system language has a pop-up layout.
  void StartSessionListener(std::function<void(std::string)> deliver);
  void StopSessionListener();
  // An automatic answer, queued for the background thread when the answer
  // gate lets it through: 1 when queued.
  int QueueAnswer(std::string_view sender, std::string_view receiver, std::string_view text);

  linux::LinuxSystemInfo system_;
  linux::IconvCodePage codePage_;
  linux::LinuxNetwork network_;
  Identity identity_;
  HiveOpenResult hive_;
  SqliteRegistry& registry_;  // the hive; background sends read it too
  XdgAutostart autostart_;
  Profile profile_;
  ui::QtMessageBox box_;
  std::unique_ptr<NameCheckImpl> nameCheck_;
  // Before the mailslot: its reader thread hands browse frames to them.
  AnnouncementTable announcements_;
  Announcer announcer_;
  BrowseListener browseListener_;
  MailslotEndpoint mailslot_;
  SlotReader slotReader_;
  Messenger messenger_;
  MessageSender sender_;
  // Its sessions run on whatever thread enumerates (the send queue for "..",
  // a worker for a list request), each within its time limit.
  linux::SmbNetworkDirectory directory_;
  NoHookLibrary hook_;
  AnswerGate answerGate_;
  linux::NbnsResponderService responder_;
  std::unique_ptr<linux::SessionListener> sessions_;
  // Last, so that it stops first: its thread uses everything above.
  SendQueue sendQueue_;
};

}  // namespace vantrel::app
