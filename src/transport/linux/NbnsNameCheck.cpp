#include "transport/linux/NbnsNameCheck.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace vantrel::linux {
namespace {

// Shared between the caller and the lookup thread, which may outlive the caller's wait.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::vector<Ipv4Address> addresses;
};

std::vector<Ipv4Address> Getaddrinfo(const std::string& host) {
  std::vector<Ipv4Address> result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return result;
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_addr == nullptr || ai->ai_family != AF_INET) continue;
    sockaddr_in in{};
    std::memcpy(&in, ai->ai_addr, sizeof in);
    Ipv4Address a(ntohl(in.sin_addr.s_addr));
    if (std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
  }
  ::freeaddrinfo(list);
  return result;
}

}  // namespace

std::vector<Ipv4Address> ResolveHostNameWithin(std::string_view name,
                                               std::chrono::milliseconds timeout) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return {};
  auto lookup = std::make_shared<Lookup>();
  std::string host(name);
  try {
    std::thread([lookup, host] {
      std::vector<Ipv4Address> found = Getaddrinfo(host);
      std::lock_guard lock(lookup->mutex);
      lookup->addresses = std::move(found);
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return {};  // no thread: treat as no answer
  }
  std::unique_lock lock(lookup->mutex);
  if (!lookup->done.wait_for(lock, timeout, [&] { return lookup->finished; })) return {};
  return lookup->addresses;
}

std::unique_ptr<NameCheckImpl> MakeNameCheck(Identity identity, INetwork& network,
                                             NameCheckTimings timings) {
  return std::make_unique<NameCheckImpl>(std::move(identity), network, std::move(timings),
                                         &ResolveHostNameWithin);
}

}  // namespace vantrel::linux
