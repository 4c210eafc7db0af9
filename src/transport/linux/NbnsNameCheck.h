#pragma once
// The name check as the program uses it on Linux: the NetBIOS name service over the real
// network, and a connection probe whose host-name lookup is bounded in time.

#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/Network.h"
#include "transport/NameCheckImpl.h"

namespace vantrel::linux {

// getaddrinfo in a helper thread; gives up after timeout (the lookup then finishes on its
// own and its result is dropped). IPv4 addresses only, without duplicates.
std::vector<Ipv4Address> ResolveHostNameWithin(std::string_view name,
                                               std::chrono::milliseconds timeout);

// A name check for identity over network (which must outlive it), with the bounded resolver.
std::unique_ptr<NameCheckImpl> MakeNameCheck(Identity identity, INetwork& network,
                                             NameCheckTimings timings = {});

}  // namespace vantrel::linux
