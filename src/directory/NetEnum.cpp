#include "directory/NetEnum.h"

#include <algorithm>

namespace vantrel {
namespace {

// A NETRESOURCEA on a 32-bit system: four DWORDs and four string pointers.
constexpr size_t kNetResourceRecord = 32;
// A SERVER_INFO_101 on a 32-bit system: six DWORD-sized fields.
constexpr size_t kServerInfo101Record = 24;
// Containers inside containers: the network has providers, domains and
// computers; anything deeper than this is not followed.
constexpr int kMaxWalkDepth = 16;

size_t StringBytes(const std::optional<std::string>& s) { return s ? s->size() + 1 : 0; }

std::string Cut(std::string_view text) {
  return std::string(text.substr(0, std::min(text.size(), kMaxNetworkEntry)));
}

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

class NullSession final : public INetworkSession {
 public:
  std::unique_ptr<IResourceEnumeration> OpenEnum(const NetResource*) override { return nullptr; }
  ServerListResult ServerList(std::string_view, std::string_view, size_t) override { return {}; }
};

}  // namespace

size_t NetResourceBytes(const NetResource& r) {
  return kNetResourceRecord + StringBytes(r.remoteName) + StringBytes(r.comment) +
         StringBytes(r.provider);
}

size_t ServerInfoBytes(const ServerInfo& s) {
  // Wide strings: two bytes a character (code-page bytes count as one
  // character each at most) and the terminator.
  return kServerInfo101Record + 2 * (s.name.size() + 1) +
         (s.comment ? 2 * (s.comment->size() + 1) : 0);
}

std::vector<ServerInfo> CutToPreferredSize(std::vector<ServerInfo> servers,
                                           size_t preferredMaxBytes) {
  size_t used = 0;
  size_t keep = 0;
  for (; keep < servers.size(); ++keep) {
    const size_t bytes = ServerInfoBytes(servers[keep]);
    if (bytes > preferredMaxBytes - used) break;
    used += bytes;
  }
  servers.resize(keep);
  return servers;
}

std::unique_ptr<INetworkSession> NullNetworkDirectory::OpenSession() {
  return std::make_unique<NullSession>();
}

std::string CutEntry(std::string entry) {
  if (entry.size() > kMaxNetworkEntry) entry.resize(kMaxNetworkEntry);
  return entry;
}

std::string ComputerEntryOf(std::string_view remoteName,
                            const std::optional<std::string>& comment) {
  std::string entry(remoteName.substr(0, std::min(remoteName.size(), kMaxNetworkEntry)));
  if (comment && !comment->empty() && entry.size() < kMaxNetworkEntry) {
    entry += ' ';
    entry += *comment;
  }
  return CutEntry(std::move(entry));
}

CNetEnum::CNetEnum(INetworkDirectory& directory) : directory_(directory) {}

CNetEnum::~CNetEnum() = default;

INetworkSession* CNetEnum::Session() {
  if (!session_) session_ = directory_.OpenSession();
  return session_.get();
}

void CNetEnum::WalkNetResources(const NetResource* container, WalkKind kind, int depth) {
  INetworkSession* session = Session();
  if (!session) return;
  std::unique_ptr<IResourceEnumeration> enumeration = session->OpenEnum(container);
  if (!enumeration) return;
  for (;;) {
    ResourceBatch batch = enumeration->ReadBatch(kEnumBufferBytes);
    if (batch.status != BatchStatus::kOk || batch.entries.empty()) break;
    for (const NetResource& resource : batch.entries) {
      bool enter = true;
      if (resource.remoteName) {
        if (resource.display == ResourceDisplay::kDomain) {
          list_.push_back(CutEntry(*resource.remoteName));
          if (kind == WalkKind::kDomains) enter = false;
        } else if (kind == WalkKind::kTree && resource.display == ResourceDisplay::kServer) {
          list_.push_back(ComputerEntryOf(*resource.remoteName, resource.comment));
          enter = false;
        }
      }
      if (enter && resource.IsContainer() && depth < kMaxWalkDepth) {
        WalkNetResources(&resource, kind, depth + 1);
      }
    }
  }
  // The enumeration closes as it goes out of scope.
}

void CNetEnum::EnumDomains() { WalkNetResources(nullptr, WalkKind::kDomains, 0); }

void CNetEnum::EnumNetwork() {
  list_.clear();
  WalkNetResources(nullptr, WalkKind::kTree, 0);
}

int CNetEnum::CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
    const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void CNetEnum::SortNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CompareNoCase(a, b) < 0;
  });
}

void CNetEnum::SortComputersInDomains() {
  NetworkNameList result;
  result.reserve(list_.size());
  std::vector<std::string> pending;
  auto flush = [&] {
    SortNames(pending);
    for (std::string& entry : pending) result.push_back(std::move(entry));
    pending.clear();
  };
  for (std::string& entry : list_) {
    if (IsComputerEntry(entry)) {
      pending.push_back(std::move(entry));
    } else {
      flush();
      result.push_back(std::move(entry));
    }
  }
  flush();
  list_ = std::move(result);
}

void CNetEnum::EnumServersOfDomain(std::string_view server, std::string_view domain,
                                   bool withPrefix) {
  INetworkSession* session = Session();
  if (!session) return;
  // Names go to the server list in buffers of 64 characters.
  const ServerListResult result = session->ServerList(Cut(server), Cut(domain), kEnumBufferBytes);
  if (!result.available) return;
  for (const ServerInfo& info : result.servers) {
    std::string entry = withPrefix ? "\\\\" : "";
    entry += Cut(info.name);
    if (info.comment) {
      entry += ' ';
      entry += Cut(*info.comment);
    }
    list_.push_back(CutEntry(std::move(entry)));
  }
}

void CNetEnum::EnumNetworkByServerList() {
  list_.clear();
  EnumDomains();
  std::vector<std::string> domains = std::move(list_);
  list_.clear();
  for (const std::string& domain : domains) {
    list_.push_back(domain);
    EnumServersOfDomain({}, domain, true);
  }
}

NetworkNameList RefreshNetworkList(INetworkDirectory& directory, bool popupCaptureMode) {
  CNetEnum netEnum(directory);
  if (popupCaptureMode) {
    netEnum.EnumNetworkByServerList();
  } else {
    netEnum.EnumNetwork();
    netEnum.SortComputersInDomains();
  }
  return netEnum.TakeList();
}

}  // namespace vantrel
