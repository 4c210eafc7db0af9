#pragma once
// Refreshes the network list cache without holding up the windows: the
// enumeration runs on a thread of its own, and its list replaces the cache
// as a whole on the user-interface thread, after which `finished` is
// emitted. One enumeration at a time: Start while one runs does nothing more
// than wait for that one.
//
// The application object owns it for the whole run, so a dialog may close
// while an enumeration runs: the enumeration goes on, and its list still
// replaces the cache when it ends (a finished enumeration is as good as any).
//
//   NetworkRefresh refresh(cache, [&] { return RefreshNetworkList(backend, captureMode); });
//   connect(&refresh, &NetworkRefresh::finished, dialog, [&] { Fill(refresh.cache()); });
//   refresh.Start();
//
// The refresh function runs on the other thread and must be safe there; it
// should not run long (the back-end bounds its waits), since destroying this
// object waits for a running enumeration to end.

#include <QObject>
#include <functional>
#include <memory>
#include <thread>

#include "directory/NetworkList.h"

namespace vantrel {

class NetworkRefresh : public QObject {
  Q_OBJECT

 public:
  // RefreshNetworkList as a function of its own: a fresh, complete network
  // name list. Called on the enumeration thread.
  using RefreshFunction = std::function<NetworkNameList()>;

  NetworkRefresh(NetworkListCache& cache, RefreshFunction refresh, QObject* parent = nullptr);
  // Waits for a running enumeration; its list is dropped.
  ~NetworkRefresh() override;

  NetworkListCache& cache() const { return cache_; }
  bool isRunning() const { return running_; }

  // Starts an enumeration unless one is running.
  void Start();

 signals:
  // An enumeration ended; the cache holds its list.
  void finished();

 private:
  struct Shared;
  void Finish(NetworkNameList list);

  NetworkListCache& cache_;
  RefreshFunction refresh_;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  bool running_ = false;
};

}  // namespace vantrel
