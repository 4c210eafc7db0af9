// The name check for a name that is present, against Samba's nmblookup asking the same
// name on the same LAN in the same run. Run it on a host of the private test LAN
// (bench/run.sh does):
//
//   bench_name_check NAME [--runs K] [--smbconf CONF] [--nmblookup-conf CONF]
//
// Three timings, each the median of K runs:
//   in-process   our lookup called directly (what a send costs)
//   our command  this program started once per lookup ("--once"), so that process start-up
//                is paid as nmblookup pays it
//   nmblookup    "nmblookup -s CONF NAME" started once per lookup
// The ratio compares the two commands: above 1 means our check is faster.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/LinuxNetwork.h"
#include "transport/linux/NbnsIdentity.h"
#include "transport/linux/NbnsNameCheck.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs a command with its output thrown away; its exit status, or -1.
int RunQuiet(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int Once(const std::string& name, const std::string& smbConf) {
  vantrel::linux::LinuxNetwork network;
  auto check = vantrel::linux::MakeNameCheck(vantrel::linux::LoadIdentity(smbConf), network);
  return check->ResolveNetbiosName(name).Found() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: bench_name_check NAME [--runs K] [--smbconf CONF] "
                 "[--nmblookup-conf CONF] [--once]\n");
    return 2;
  }
  std::string name = argv[1];
  int runs = 20;
  std::string smbConf = "/etc/samba/smb.conf";
  std::string nmbConf;
  bool once = false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--smbconf" && i + 1 < argc) {
      smbConf = argv[++i];
    } else if (a == "--nmblookup-conf" && i + 1 < argc) {
      nmbConf = argv[++i];
    } else if (a == "--once") {
      once = true;
    }
  }
  if (once) return Once(name, smbConf);
  if (nmbConf.empty()) nmbConf = smbConf;

  vantrel::linux::LinuxNetwork network;
  auto check = vantrel::linux::MakeNameCheck(vantrel::linux::LoadIdentity(smbConf), network);
  std::vector<double> inProcess, ourCommand, nmblookup;
  int failures = 0;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    if (!check->ResolveNetbiosName(name).Found()) ++failures;
    inProcess.push_back(Ms(Clock::now() - t0));

    t0 = Clock::now();
    if (RunQuiet({"/proc/self/exe", name, "--smbconf", smbConf, "--once"}) != 0) ++failures;
    ourCommand.push_back(Ms(Clock::now() - t0));

    t0 = Clock::now();
    if (RunQuiet({"nmblookup", "-s", nmbConf, name}) != 0) ++failures;
    nmblookup.push_back(Ms(Clock::now() - t0));
  }
  double ours = Median(ourCommand);
  double theirs = Median(nmblookup);
  std::printf("name check for present name %s, %d runs (medians):\n", name.c_str(), runs);
  std::printf("  our check, in-process : %8.2f ms\n", Median(inProcess));
  std::printf("  our check, as command : %8.2f ms\n", ours);
  std::printf("  nmblookup, as command : %8.2f ms\n", theirs);
  std::printf("  ratio nmblookup / ours: %8.2f  (target >= 1: no slower)\n",
              ours > 0 ? theirs / ours : 0.0);
  if (failures != 0) std::printf("  FAILED lookups: %d\n", failures);
  return failures == 0 ? 0 : 1;
}
