// vantrel-send: sends one Messenger message from the command line, with the
// program's own transport, address book and name check.
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

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
  return vantrel::RunSendCommand(args, env);
}
