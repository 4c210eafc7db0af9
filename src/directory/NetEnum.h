#pragma once
// Enumeration of the network neighbourhood: CNetEnum and the back-end it
// reads the network through.
//
// The back-end (INetworkDirectory) answers the two questions the network
// gives answers to: the resources inside a container of the network (walked
// from the top: providers, then domains and workgroups, then their
// computers), read in batches; and the server list of one domain. CNetEnum
// turns those answers into a network name list (directory/NetworkList.h).
//
// Threads. Nothing here touches the network list cache: RefreshNetworkList
// returns the new list and its caller replaces the cache on the
// user-interface thread. Every function here may run on any thread; a
// back-end must allow several enumerations at once (one session each).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/NetworkList.h"

namespace vantrel {

// How a resource of the network shows itself (RESOURCEDISPLAYTYPE_*).
enum class ResourceDisplay : uint32_t {
  kGeneric = 0,
  kDomain = 1,  // a domain or workgroup
  kServer = 2,  // a computer
  kShare = 3,
  kFile = 4,
  kGroup = 5,
  kNetwork = 6,  // a network provider
  kRoot = 7,
};

// RESOURCEUSAGE_CONTAINER: the resource holds further resources.
inline constexpr uint32_t kResourceUsageConnectable = 0x1;
inline constexpr uint32_t kResourceUsageContainer = 0x2;

// One resource of an enumeration batch, as the network describes it. Text is
// bytes in the system code page.
struct NetResource {
  ResourceDisplay display = ResourceDisplay::kGeneric;
  uint32_t usage = 0;
  std::optional<std::string> remoteName;  // computers: "\\NAME"
  std::optional<std::string> comment;
  std::optional<std::string> provider;

  bool IsContainer() const { return (usage & kResourceUsageContainer) != 0; }
};

// The bytes one resource takes in a batch buffer: its fixed record (as a
// 32-bit NETRESOURCEA) and its strings with their terminators.
size_t NetResourceBytes(const NetResource& resource);

// Why a batch read ended the container.
enum class BatchStatus {
  kOk,           // entries were read; read again for more
  kNoMoreItems,  // ERROR_NO_MORE_ITEMS: the container is done
  kError,        // any other error: the container ends here too
};

struct ResourceBatch {
  BatchStatus status = BatchStatus::kNoMoreItems;
  std::vector<NetResource> entries;  // kOk only
};

// An open enumeration of one container (WNetOpenEnum ... WNetCloseEnum:
// destroying it closes it).
class IResourceEnumeration {
 public:
  virtual ~IResourceEnumeration() = default;
  // The next batch: as many entries as fit into bufferBytes (each counted
  // with NetResourceBytes), at least one when status is kOk.
  virtual ResourceBatch ReadBatch(size_t bufferBytes) = 0;
};

// One computer of a domain's server list (SERVER_INFO_101): name and
// comment, in the system code page.
struct ServerInfo {
  std::string name;
  std::optional<std::string> comment;  // absent: the list gave none
};

// The bytes one server takes in a server-list result (a 32-bit
// SERVER_INFO_101 and its two strings as wide characters).
size_t ServerInfoBytes(const ServerInfo& server);
// The servers that fit into a result of preferredMaxBytes, in order: a
// longer list is cut after the last one that fits.
std::vector<ServerInfo> CutToPreferredSize(std::vector<ServerInfo> servers,
                                           size_t preferredMaxBytes);

struct ServerListResult {
  // False: the server list cannot be asked at all here (on Windows: no
  // netapi32.dll or no NetServerEnum in it).
  bool available = false;
  // The servers the one call returned; empty also when the call failed.
  std::vector<ServerInfo> servers;
};

// One enumeration of the network, from its first open to its end: a refresh,
// or the domains of "..". A back-end may give it a time limit as a whole.
class INetworkSession {
 public:
  virtual ~INetworkSession() = default;
  // Opens an enumeration of a container, or of the top of the network when
  // container is null. Null when it cannot be opened.
  virtual std::unique_ptr<IResourceEnumeration> OpenEnum(const NetResource* container) = 0;
  // The server list of domain (NetServerEnum, level 101, all server types),
  // asked of server (empty: this computer), one call of at most
  // preferredMaxBytes.
  virtual ServerListResult ServerList(std::string_view server, std::string_view domain,
                                      size_t preferredMaxBytes) = 0;
};

// The network as a back-end of CNetEnum. Thread-safe: sessions opened on
// different threads run independently.
class INetworkDirectory {
 public:
  virtual ~INetworkDirectory() = default;
  virtual std::unique_ptr<INetworkSession> OpenSession() = 0;
};

// A network without any provider: every open fails, no server list.
class NullNetworkDirectory final : public INetworkDirectory {
 public:
  std::unique_ptr<INetworkSession> OpenSession() override;
};

// The size of each batch buffer and of the server list's result.
inline constexpr size_t kEnumBufferBytes = 0x4000;

// Enumerates the network into its list. Lives for one enumeration; its
// session (opened on first use) gives the network's answers.
class CNetEnum {
 public:
  explicit CNetEnum(INetworkDirectory& directory);
  ~CNetEnum();
  CNetEnum(const CNetEnum&) = delete;
  CNetEnum& operator=(const CNetEnum&) = delete;

  const NetworkNameList& List() const { return list_; }
  NetworkNameList TakeList() { return std::move(list_); }

  // Appends every domain and workgroup name, in the order found, without
  // entering them (domains walk).
  void EnumDomains();
  // Clears the list, then appends each domain followed by its computers as
  // found (tree walk).
  void EnumNetwork();
  // Sorts each run of computer entries; domain entries keep their places.
  void SortComputersInDomains();
  // Appends one entry per computer of the domain's server list, "\\" and
  // the name when withPrefix is set, then " " and the comment when the list
  // gives one (even an empty one).
  void EnumServersOfDomain(std::string_view server, std::string_view domain, bool withPrefix);
  // Clears the list, then appends each domain of EnumDomains followed by its
  // computers from EnumServersOfDomain, in the server list's order.
  void EnumNetworkByServerList();

  // Sorts without regard to case: A-Z compare as a-z, other bytes by their
  // unsigned value.
  static void SortNames(std::vector<std::string>& names);
  // Case-insensitive byte order used by SortNames: <0, 0, >0.
  static int CompareNoCase(std::string_view a, std::string_view b);

 private:
  enum class WalkKind { kDomains, kTree };
  void WalkNetResources(const NetResource* container, WalkKind kind, int depth);
  INetworkSession* Session();

  INetworkDirectory& directory_;
  std::unique_ptr<INetworkSession> session_;
  NetworkNameList list_;
};

// An entry as its 64-byte buffer holds it: at most kMaxNetworkEntry bytes,
// the rest cut off.
std::string CutEntry(std::string entry);
// The computer entry of a walk: the remote name, then " " and the comment
// when it is present and not empty; cut to kMaxNetworkEntry.
std::string ComputerEntryOf(std::string_view remoteName, const std::optional<std::string>& comment);

// Builds a fresh network name list: with the server list in pop-up capture
// mode (EnumNetworkByServerList), else the tree walk (EnumNetwork) sorted
// with SortComputersInDomains. May run on any thread; the caller puts the
// result into the cache (NetworkListCache::Replace) on the user-interface
// thread.
NetworkNameList RefreshNetworkList(INetworkDirectory& directory, bool popupCaptureMode);

}  // namespace vantrel
