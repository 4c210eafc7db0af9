#pragma once
// A network for CNetEnum made of tables: a tree of resources that opening a
// container lists (read in batches as the buffer allows), and server lists
// by domain. Records every call in order.

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "directory/NetEnum.h"

namespace vantrel::fakes {

struct FakeResource {
  NetResource resource;
  std::vector<FakeResource> children;  // what an enumeration of it lists
  bool openFails = false;
  // The read that comes after this many entries reports an error.
  std::optional<size_t> errorAfter;
};

inline FakeResource Provider(std::string name, std::vector<FakeResource> children = {}) {
  FakeResource r;
  r.resource.display = ResourceDisplay::kNetwork;
  r.resource.usage = kResourceUsageContainer;
  r.resource.provider = std::move(name);
  r.children = std::move(children);
  return r;
}

inline FakeResource Domain(std::string name, std::vector<FakeResource> children = {}) {
  FakeResource r;
  r.resource.display = ResourceDisplay::kDomain;
  r.resource.usage = kResourceUsageContainer;
  r.resource.remoteName = std::move(name);
  r.children = std::move(children);
  return r;
}

inline FakeResource Server(std::string name, std::optional<std::string> comment = std::nullopt) {
  FakeResource r;
  r.resource.display = ResourceDisplay::kServer;
  r.resource.usage = kResourceUsageContainer;
  r.resource.remoteName = "\\\\" + name;
  r.resource.comment = std::move(comment);
  return r;
}

class FakeNetworkDirectory : public INetworkDirectory {
 public:
  // The top of the network: the providers.
  std::vector<FakeResource> top;
  bool topOpenFails = false;
  // Server lists by domain; a domain not here gives an empty list.
  std::map<std::string, std::vector<ServerInfo>> serverLists;
  bool serverListAvailable = true;
  // At most this many entries a batch, besides what the buffer holds.
  size_t batchLimit = SIZE_MAX;

  std::vector<std::string> calls;
  int sessions = 0;

  std::unique_ptr<INetworkSession> OpenSession() override {
    ++sessions;
    return std::make_unique<Session>(*this);
  }

  static std::string NameOf(const NetResource* r) {
    if (!r) return "top";
    if (r->remoteName) return *r->remoteName;
    return r->provider.value_or("?");
  }

 private:
  static bool Same(const NetResource& a, const NetResource& b) {
    return a.display == b.display && a.usage == b.usage && a.remoteName == b.remoteName &&
           a.comment == b.comment && a.provider == b.provider;
  }
  static const FakeResource* Find(const std::vector<FakeResource>& nodes, const NetResource& r) {
    for (const FakeResource& node : nodes) {
      if (Same(node.resource, r)) return &node;
      if (const FakeResource* found = Find(node.children, r)) return found;
    }
    return nullptr;
  }

  class Enumeration : public IResourceEnumeration {
   public:
    Enumeration(FakeNetworkDirectory& d, std::string name, const std::vector<FakeResource>& items,
                std::optional<size_t> errorAfter)
        : d_(d), name_(std::move(name)), items_(items), errorAfter_(errorAfter) {}
    ~Enumeration() override { d_.calls.push_back("close " + name_); }
    ResourceBatch ReadBatch(size_t bufferBytes) override {
      d_.calls.push_back("read " + name_);
      ResourceBatch batch;
      if (errorAfter_ && next_ >= *errorAfter_) {
        batch.status = BatchStatus::kError;
        return batch;
      }
      size_t used = 0;
      while (next_ < items_.size() && batch.entries.size() < d_.batchLimit &&
             (!errorAfter_ || next_ < *errorAfter_)) {
        const size_t bytes = NetResourceBytes(items_[next_].resource);
        if (bytes > bufferBytes - used) break;
        used += bytes;
        batch.entries.push_back(items_[next_++].resource);
      }
      batch.status = batch.entries.empty() ? BatchStatus::kNoMoreItems : BatchStatus::kOk;
      return batch;
    }

   private:
    FakeNetworkDirectory& d_;
    std::string name_;
    const std::vector<FakeResource>& items_;
    std::optional<size_t> errorAfter_;
    size_t next_ = 0;
  };

  class Session : public INetworkSession {
   public:
    explicit Session(FakeNetworkDirectory& d) : d_(d) {}
    std::unique_ptr<IResourceEnumeration> OpenEnum(const NetResource* container) override {
      const std::string name = NameOf(container);
      d_.calls.push_back("open " + name);
      if (!container) {
        if (d_.topOpenFails) return nullptr;
        return std::make_unique<Enumeration>(d_, name, d_.top, std::nullopt);
      }
      const FakeResource* node = Find(d_.top, *container);
      if (!node || node->openFails) return nullptr;
      return std::make_unique<Enumeration>(d_, name, node->children, node->errorAfter);
    }
    ServerListResult ServerList(std::string_view server, std::string_view domain,
                                size_t preferredMaxBytes) override {
      d_.calls.push_back("serverlist " + std::string(server) + "/" + std::string(domain));
      ServerListResult result;
      result.available = d_.serverListAvailable;
      if (!result.available) return result;
      auto it = d_.serverLists.find(std::string(domain));
      if (it != d_.serverLists.end())
        result.servers = CutToPreferredSize(it->second, preferredMaxBytes);
      return result;
    }

   private:
    FakeNetworkDirectory& d_;
  };
};

}  // namespace vantrel::fakes
