// The receive path, from the UDP socket to Message records, against a bare UDP receive loop
// on the same LAN in the same run. Three roles, each run on a host of the private test LAN
// (bench/run.sh starts them):
//
//   bench_receive_path bare PORT [--idle-ms T]
//       a bare loop: recvmmsg on PORT (same kernel buffer as the endpoint), counting
//   bench_receive_path endpoint [--smbconf CONF] [--idle-ms T]
//       the mailslot endpoint on UDP 138 with ReadMessageSlot draining into records
//   bench_receive_path send ADDRESS PORT COUNT RECEIVER [--flood]
//       COUNT Messenger datagrams to RECEIVER<03>, each text numbered, as fast as one
//       sendto per datagram goes (as the program's own sender writes them); --flood sends
//       them in sendmmsg batches of 64, far faster than any sender on a real network
//
// Receivers print "ready" once bound, and after the first datagram stop when nothing new has
// come for the idle time. They print "received: N", "seconds: S" (from the first datagram's
// arrival to the last one's consumption), "rate: R" (datagrams per second over that time),
// "cpu-seconds: C" (the receiving process's user and system time while it received) and
// "cpu-rate: N/C" (datagrams per CPU second: the capacity, independent of the sender's speed).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "receive/SlotReader.h"
#include "transport/Datagram.h"
#include "transport/MailslotEndpoint.h"
#include "transport/NetbiosDatagram.h"
#include "transport/SmbMailslot.h"
#include "transport/linux/NbnsIdentity.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace vantrel;

constexpr size_t kReceiveBuffer = size_t{8} << 20;  // the endpoint's default

class StderrBox : public IMessageBox {
 public:
  void Show(std::string_view text) override {
    std::fprintf(stderr, "message box: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto tv = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return tv(u.ru_utime) + tv(u.ru_stime);
}

// The namespace's count of UDP datagrams the kernel dropped for a full receive buffer.
long long RcvbufErrors() {
  std::FILE* f = std::fopen("/proc/self/net/snmp", "r");
  if (f == nullptr) return -1;
  char names[1024], values[1024];
  long long result = -1;
  while (std::fgets(names, sizeof names, f) != nullptr) {
    if (std::strncmp(names, "Udp: ", 5) != 0) continue;
    if (std::fgets(values, sizeof values, f) == nullptr) break;
    // The first "Udp:" line names the columns, the second holds the values.
    int column = 0, wanted = -1;
    for (char* t = std::strtok(names + 5, " \n"); t != nullptr; t = std::strtok(nullptr, " \n")) {
      if (std::strcmp(t, "RcvbufErrors") == 0) wanted = column;
      ++column;
    }
    column = 0;
    for (char* t = std::strtok(values + 5, " \n"); t != nullptr; t = std::strtok(nullptr, " \n")) {
      if (column++ == wanted) result = std::atoll(t);
    }
    break;
  }
  std::fclose(f);
  return result;
}

struct Tally {
  uint64_t count = 0;
  bool started = false;
  Clock::time_point first;
  Clock::time_point last;
  double cpuAtStart = CpuSeconds();
  long long rcvbufAtStart = RcvbufErrors();

  // The first datagram has arrived (it may not be consumed yet).
  void Arrived() {
    if (started) return;
    started = true;
    first = last = Clock::now();
  }
  void Add(uint64_t n) {
    if (n == 0) return;
    Arrived();
    last = Clock::now();
    count += n;
  }
  bool Idle(std::chrono::milliseconds idle) const { return started && Clock::now() - last > idle; }
  void Print() const {
    double seconds = count > 0 ? std::chrono::duration<double>(last - first).count() : 0;
    double cpu = CpuSeconds() - cpuAtStart;
    std::printf("received: %llu\nseconds: %.6f\nrate: %.0f\ncpu-seconds: %.3f\ncpu-rate: %.0f\n",
                static_cast<unsigned long long>(count), seconds,
                seconds > 0 ? static_cast<double>(count) / seconds : 0.0, cpu,
                cpu > 0 ? static_cast<double>(count) / cpu : 0.0);
    std::printf("kernel-buffer-drops: %lld\n", RcvbufErrors() - rcvbufAtStart);
  }
};

int Bare(uint16_t port, std::chrono::milliseconds idle) {
  linux::LinuxNetwork net;
  UdpOptions options;
  options.receiveBufferBytes = kReceiveBuffer;
  UdpBindResult bound = net.BindUdp({Ipv4Address::Any(), port}, options);
  if (!bound.socket) {
    std::fprintf(stderr, "bind %u: %s\n", port, BindFailureText(bound.failure));
    return 2;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  Tally tally;
  std::vector<ReceivedDatagram> batch;
  while (!tally.Idle(idle)) {
    batch.clear();
    size_t n = bound.socket->ReceiveBatch(batch, 64, 1500);
    tally.Add(n);
    if (n == 0) bound.socket->WaitReadable(std::chrono::milliseconds(50));
  }
  tally.Print();
  return 0;
}

int Endpoint(const std::string& smbConf, std::chrono::milliseconds idle) {
  linux::LinuxNetwork net;
  linux::SystemSources sources;
  sources.smbConfPath = smbConf;
  linux::LinuxSystemInfo system(sources);
  StderrBox box;
  Identity identity = linux::LoadIdentity(system, smbConf);
  MailslotEndpoint::Options options;
  options.receiveBufferBytes = kReceiveBuffer;
  MailslotEndpoint endpoint(net, identity, options);
  SlotReader reader(endpoint, system, box);
  if (endpoint.OpenMessageSlot() != 1) {
    std::fprintf(stderr, "mailslot not owned: %s\n", BindFailureText(endpoint.OpenFailure()));
    return 2;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  Tally tally;
  std::vector<MessageRecord> records;
  uint64_t bytes = 0;
  while (!tally.Idle(idle)) {
    if (endpoint.Counters().received > 0) tally.Arrived();
    records.clear();
    if (reader.ReadMessageSlot(records, 1) != 1) {
      std::fprintf(stderr, "ReadMessageSlot failed\n");
      return 2;
    }
    for (const MessageRecord& r : records) bytes += r.size();
    tally.Add(records.size());
    if (records.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  tally.Print();
  MailslotCounters c = endpoint.Counters();
  std::printf("udp-received: %llu\ndropped: %llu\nrecord-bytes: %llu\n",
              static_cast<unsigned long long>(c.received),
              static_cast<unsigned long long>(c.Dropped()), static_cast<unsigned long long>(bytes));
  return 0;
}

int Send(const std::string& address, uint16_t port, uint64_t count, const std::string& receiver,
         bool flood) {
  auto to = Ipv4Address::Parse(address);
  if (!to) return 2;
  linux::LinuxNetwork net;
  char host[64] = "BENCH";
  gethostname(host, sizeof host - 1);
  NetbiosDatagram header;
  header.type = kDgmDirectUnique;
  header.source = NetbiosName::FromName(host, kSuffixWorkstation);
  header.destination = NetbiosName::FromName(receiver, kSuffixMessenger);
  for (const NetworkInterface& nic : net.Interfaces()) {
    if (!nic.loopback) header.sourceIp = nic.address;
  }
  // Every text differs, so that no two records are the same-second duplicates the drain drops.
  std::vector<std::vector<uint8_t>> frames;
  frames.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    std::string text = "benchmark message " + std::to_string(i);
    auto body = BuildMessengerDatagram(host, receiver, text);
    auto smb = BuildMailslotWrite("\\MAILSLOT\\MESSNGR", body);
    header.id = static_cast<uint16_t>(i);
    frames.push_back(BuildNetbiosDatagram(header, smb));
  }
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 2;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(to->value);
  auto t0 = Clock::now();
  uint64_t failed = 0;
  const size_t kBatch = flood ? 64 : 1;
  for (size_t i = 0; i < frames.size(); i += kBatch) {
    size_t n = std::min(kBatch, frames.size() - i);
    mmsghdr msgs[64]{};
    iovec iov[64]{};
    for (size_t k = 0; k < n; ++k) {
      iov[k].iov_base = frames[i + k].data();
      iov[k].iov_len = frames[i + k].size();
      msgs[k].msg_hdr.msg_iov = &iov[k];
      msgs[k].msg_hdr.msg_iovlen = 1;
      msgs[k].msg_hdr.msg_name = &sa;
      msgs[k].msg_hdr.msg_namelen = sizeof sa;
    }
    size_t done = 0;
    while (done < n) {
      int r = ::sendmmsg(fd, msgs + done, static_cast<unsigned>(n - done), 0);
      if (r <= 0) {
        if (r < 0 && errno == EINTR) continue;
        failed += n - done;
        break;
      }
      done += static_cast<size_t>(r);
    }
  }
  ::close(fd);
  double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("sent: %llu\nsend-failed: %llu\nsend-seconds: %.6f\nframe-bytes: %zu\n",
              static_cast<unsigned long long>(count - failed),
              static_cast<unsigned long long>(failed), seconds,
              frames.empty() ? size_t{0} : frames.front().size());
  return failed == 0 ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_receive_path bare PORT [--idle-ms T]\n"
               "       bench_receive_path endpoint [--smbconf CONF] [--idle-ms T]\n"
               "       bench_receive_path send ADDRESS PORT COUNT RECEIVER [--flood]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  std::string smbConf = "/etc/samba/smb.conf";
  std::chrono::milliseconds idle(1000);
  bool flood = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--smbconf" && i + 1 < argc) {
      smbConf = argv[++i];
    } else if (a == "--flood") {
      flood = true;
    } else if (a == "--idle-ms" && i + 1 < argc) {
      idle = std::chrono::milliseconds(std::atoi(argv[++i]));
    } else {
      args.push_back(a);
    }
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (args.size() == 2 && args[0] == "bare") {
    return Bare(static_cast<uint16_t>(std::atoi(args[1].c_str())), idle);
  }
  if (args.size() == 1 && args[0] == "endpoint") return Endpoint(smbConf, idle);
  if (args.size() == 5 && args[0] == "send") {
    return Send(args[1], static_cast<uint16_t>(std::atoi(args[2].c_str())),
                std::strtoull(args[3].c_str(), nullptr, 10), args[4], flood);
  }
  return Usage();
}
