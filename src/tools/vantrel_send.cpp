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
#include "platform/linux/NbnsIdentity.h"
#include "platform/linux/NbnsNameCheck.h"
#include "platform/linux/SqliteRegistry.h"
#include "receive/Profile.h"
#include "transport/Messenger.h"
#include "transport/SendCommand.h"

namespace {

// The program's message boxes, as lines on standard error (converted from
// the system code page for the terminal).
class StderrMessageBox : public vantrel::IMessageBox {
 public:
  StderrMessageBox(vantrel::ICodePage& codePage, uint32_t cp, bool raw)
      : codePage_(codePage), cp_(cp), raw_(raw) {}
  void Show(std::string_view text) override {
    std::string shown = raw_ ? std::string(text) : codePage_.ToUtf8(cp_, text).utf8;
    std::cerr << shown << '\n';
  }

 private:
  vantrel::ICodePage& codePage_;
  uint32_t cp_;
  bool raw_;
};

bool HasRawOption(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "-r" || a == "--raw") return true;
  }
  return false;
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

  StderrMessageBox box(codePage, system.AnsiCodePage(), HasRawOption(args));
  std::unique_ptr<vantrel::NameCheckImpl> check =
      vantrel::linux::MakeNameCheck(identity, network);
  vantrel::Messenger messenger(profile, *check, network, box, identity);

  vantrel::SendCommandEnv env{system, codePage, messenger, std::cin, std::cout, std::cerr};
  return vantrel::RunSendCommand(args, env);
}
