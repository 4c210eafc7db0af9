#pragma once
// The production platform of the Linux program, wired in one place: the
// settings hive and the autostart entry behind one registry, system
// information from Samba's configuration and the locale, code-page
// conversion, the network, the local mailslot, the name check, the sender of
// datagrams and the NetBIOS name responder.

#include <memory>
#include <string>

#include "app/qt/MessengerApp.h"
#include "directory/NetEnum.h"
#include "platform/linux/AutostartRegistry.h"
#include "platform/linux/IconvCodePage.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxRegistry.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/NbnsResponderService.h"
#include "platform/linux/SqliteRegistry.h"
#include "receive/Profile.h"
#include "transport/Identity.h"
#include "transport/MailslotEndpoint.h"
#include "transport/Messenger.h"
#include "transport/NameCheckImpl.h"
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

  // Closes the hive; the registry must not be used afterwards.
  void Close();

 private:
  SlotOpenResult OpenMessageSlot();
  void StartResponder();

  linux::LinuxSystemInfo system_;
  linux::IconvCodePage codePage_;
  linux::LinuxNetwork network_;
  Identity identity_;
  HiveOpenResult hive_;
  AutostartRegistry autostart_;
  LinuxRegistry registry_;
  Profile profile_;
  ui::QtMessageBox box_;
  std::unique_ptr<NameCheckImpl> nameCheck_;
  MailslotEndpoint mailslot_;
  Messenger messenger_;
  NullNetworkDirectory directory_;
  NoHookLibrary hook_;
  linux::NbnsResponderService responder_;
};

}  // namespace vantrel::app
