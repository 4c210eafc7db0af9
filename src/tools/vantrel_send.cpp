// vantrel-send: sends one Messenger message from the command line, with the
// program's own transport, address book and name check; lists the network
// neighbourhood (--list).
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "directory/AnnouncedHost.h"
#include "directory/NetEnum.h"
#include "directory/linux/RunningProgram.h"
#include "directory/linux/SmbNetworkDirectory.h"
#include "platform/linux/IconvCodePage.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SqliteRegistry.h"
#include "send/MessageSender.h"
#include "send/SendCommand.h"
#include "settings/Profile.h"
#include "transport/Messenger.h"
#include "transport/linux/NbnsIdentity.h"
#include "transport/linux/NbnsNameCheck.h"

namespace {

// The program's message boxes, as lines on standard error.
class StderrMessageBox : public vantrel::IMessageBox {
 public:
  void Show(std::string_view text) override { std::cerr << text << '\n'; }
};

// The computers that announce themselves, heard on UDP 138 for as long as
// the enumeration lets them (a few seconds), when this process may bind the
// port. Not yet: the announcement table and the browse listener come with
// the browse announcements; until then vantrel-send lists what the master
// browsers know and this computer. Returns null when nothing listens.
std::unique_ptr<vantrel::IAnnouncementSource> StartAnnouncementListener(const vantrel::Identity&,
                                                                        vantrel::INetwork&) {
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> args(argv + 1, argv + argc);

  vantrel::linux::LinuxSystemInfo system;
  vantrel::linux::IconvCodePage codePage;
  vantrel::linux::LinuxNetwork network;
  vantrel::Identity identity =
      vantrel::linux::LoadIdentity(system, std::string(vantrel::linux::kDefaultSmbConfPath));

  // The address book lives in the settings hive. An existing hive is opened
  // (several processes may share it); without one there are no aliases, and
  // none is made.
  std::unique_ptr<vantrel::SqliteRegistry> hive;
  std::string hivePath = vantrel::DefaultHivePath();
  std::error_code ec;
  if (!hivePath.empty() && std::filesystem::exists(hivePath, ec)) {
    vantrel::HiveOpenResult opened = vantrel::OpenHive(hivePath);
    if (!opened.message.empty()) std::cerr << "vantrel-send: " << opened.message << '\n';
    hive = std::move(opened.hive);
  } else {
    hive = vantrel::SqliteRegistry::CreateTemporary();
  }
  vantrel::Profile profile(*hive);

  StderrMessageBox box;
  std::unique_ptr<vantrel::NameCheckImpl> check = vantrel::linux::MakeNameCheck(identity, network);
  vantrel::Messenger messenger(*check, network, identity);
  vantrel::MessageSender sender(profile, messenger, box, codePage, system.AnsiCodePage());

  vantrel::SendCommandEnv env{system, codePage, sender, std::cin, std::cout, std::cerr};

  // The network directory, made only when --list or ".." needs it.
  std::unique_ptr<vantrel::IAnnouncementSource> announcements;
  std::unique_ptr<vantrel::linux::SmbNetworkDirectory> directory;
  auto makeDirectory = [&]() -> vantrel::INetworkDirectory* {
    if (directory) return directory.get();
    announcements = StartAnnouncementListener(identity, network);
    vantrel::linux::SmbBrowseOptions options;
    options.codePage = system.AnsiCodePage();
    options.localHost = {identity.workgroup, identity.computerName, ""};
    // A listener that has only just started hears announcements for a while
    // before the list is read (all within the enumeration's time limit).
    if (announcements) options.announcementSettle = options.budget;
    directory = std::make_unique<vantrel::linux::SmbNetworkDirectory>(codePage, announcements.get(),
                                                                      options);
    return directory.get();
  };
  env.askRunningProgram = [] {
    using namespace std::chrono_literals;
    return vantrel::linux::AskRunningProgramForList(
        vantrel::linux::LocalServerPath(vantrel::linux::InstanceServerName()), 8s);
  };
  // Linux never runs in pop-up capture mode: the tree walk.
  env.enumerateNetwork = [&] { return vantrel::RefreshNetworkList(*makeDirectory(), false); };
  env.directory = makeDirectory;

  const int status = vantrel::RunSendCommand(args, env);
  // A browse job that libsmbclient still holds up is not waited for: the
  // process ends without running the exit handlers under it.
  if (vantrel::linux::SmbNetworkDirectory::RunningJobs() > 0) {
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(status);
  }
  return status;
}
