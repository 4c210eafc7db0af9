#include "directory/qt/NetworkRefresh.h"

#include <mutex>
#include <system_error>

namespace vantrel {

// What the enumeration thread shares with the object: the object, as long as
// it exists.
struct NetworkRefresh::Shared {
  std::mutex mutex;
  NetworkRefresh* owner = nullptr;
};

NetworkRefresh::NetworkRefresh(NetworkListCache& cache, RefreshFunction refresh, QObject* parent)
    : QObject(parent),
      cache_(cache),
      refresh_(std::move(refresh)),
      shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
}

NetworkRefresh::~NetworkRefresh() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
  }
  if (worker_.joinable()) worker_.join();
}

void NetworkRefresh::Start() {
  if (running_) return;
  if (worker_.joinable()) worker_.join();  // the last one, ended already
  running_ = true;
  try {
    worker_ = std::thread([shared = shared_, refresh = refresh_] {
      NetworkNameList list;
      try {
        if (refresh) list = refresh();
      } catch (...) {
        list.clear();  // an enumeration that failed found nothing
      }
      const std::lock_guard lock(shared->mutex);
      if (NetworkRefresh* owner = shared->owner) {
        // Queued to the object's thread; dropped if the object goes first.
        QMetaObject::invokeMethod(
            owner, [owner, list = std::move(list)]() mutable { owner->Finish(std::move(list)); },
            Qt::QueuedConnection);
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: the cache stays as it is, and the waiting ends.
    running_ = false;
    QMetaObject::invokeMethod(this, &NetworkRefresh::finished, Qt::QueuedConnection);
  }
}

void NetworkRefresh::Finish(NetworkNameList list) {
  running_ = false;
  cache_.Replace(std::move(list));
  emit finished();
}

}  // namespace vantrel
