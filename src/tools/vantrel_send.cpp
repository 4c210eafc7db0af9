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
#include "directory/AnnouncementTable.h"
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
#include "transport/Announcer.h"
#include "transport/BrowseListener.h"
#include "transport/MailslotEndpoint.h"
#include "transport/Messenger.h"
#include "transport/NodeStatus.h"
#include "transport/linux/NbnsIdentity.h"
#include "transport/linux/NbnsNameCheck.h"

namespace {

// The program's message boxes, as lines on standard error.
class StderrMessageBox : public vantrel::IMessageBox {
 public:
  void Show(std::string_view text) override { std::cerr << text << '\n'; }
};

// While vantrel-send enumerates by itself it listens for host announcements on
// UDP 138, when it may bind the port (no receiving program, no nmbd here), and
// asks the workgroup to announce itself; it announces nothing of its own.
class AnnouncementListener final : public vantrel::IAnnouncementSource {
 public:
  AnnouncementListener(vantrel::INetwork& network, const vantrel::Identity& identity)
      : endpoint_(network, identity), announcer_(network, identity, ListenOnly()) {
    listener_.AddHandler(&table_);
    listener_.AddHandler(&announcer_);
    endpoint_.SetBrowseSink(&listener_);
    table_.SetRequester([this] { announcer_.RequestAnnouncements(); });
  }
  ~AnnouncementListener() override {
    announcer_.Stop();
    endpoint_.CloseMessageSlot();
  }

  bool Open() {
    if (endpoint_.OpenMessageSlot() != 1) return false;
    announcer_.Start(endpoint_.Socket());
    return true;
  }

  std::vector<vantrel::AnnouncedHost> AnnouncedHosts() override { return table_.AnnouncedHosts(); }
  void RequestAnnouncements() override { table_.RequestAnnouncements(); }

 private:
  static vantrel::AnnouncerOptions ListenOnly() {
    vantrel::AnnouncerOptions options;
    options.announceSelf = false;
    return options;
  }

  vantrel::MailslotEndpoint endpoint_;
  vantrel::AnnouncementTable table_;
  vantrel::BrowseListener listener_;
  vantrel::Announcer announcer_;
};

std::unique_ptr<vantrel::IAnnouncementSource> StartAnnouncementListener(
    const vantrel::Identity& identity, vantrel::INetwork& network) {
  auto listener = std::make_unique<AnnouncementListener>(network, identity);
  if (!listener->Open()) return nullptr;
  return listener;
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
  env.computerNameAt = [&network](vantrel::Ipv4Address address) {
    return vantrel::QueryComputerName(network, address);
  };

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
