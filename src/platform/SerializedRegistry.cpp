#include "platform/SerializedRegistry.h"

namespace vantrel {

long SerializedRegistry::CreateKey(RootKey root, std::string_view path) {
  std::lock_guard lock(mutex_);
  return inner_.CreateKey(root, path);
}

long SerializedRegistry::OpenKey(RootKey root, std::string_view path) {
  std::lock_guard lock(mutex_);
  return inner_.OpenKey(root, path);
}

long SerializedRegistry::DeleteKey(RootKey root, std::string_view path) {
  std::lock_guard lock(mutex_);
  return inner_.DeleteKey(root, path);
}

long SerializedRegistry::QueryValue(RootKey root, std::string_view path, std::string_view name,
                                    RegValue* out) {
  std::lock_guard lock(mutex_);
  return inner_.QueryValue(root, path, name, out);
}

long SerializedRegistry::SetValue(RootKey root, std::string_view path, std::string_view name,
                                  uint32_t type, std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  return inner_.SetValue(root, path, name, type, data);
}

long SerializedRegistry::DeleteValue(RootKey root, std::string_view path, std::string_view name) {
  std::lock_guard lock(mutex_);
  return inner_.DeleteValue(root, path, name);
}

long SerializedRegistry::EnumValue(RootKey root, std::string_view path, uint32_t index,
                                   RegValue* out) {
  std::lock_guard lock(mutex_);
  return inner_.EnumValue(root, path, index, out);
}

long SerializedRegistry::QueryValueCount(RootKey root, std::string_view path, uint32_t* count) {
  std::lock_guard lock(mutex_);
  return inner_.QueryValueCount(root, path, count);
}

long SerializedRegistry::BeginTransaction() {
  mutex_.lock();  // held until the transaction ends
  const long rc = inner_.BeginTransaction();
  if (rc == ERROR_SUCCESS && !inTransaction_) {
    inTransaction_ = true;
  } else {
    mutex_.unlock();
  }
  return rc;
}

long SerializedRegistry::CommitTransaction() { return EndTransaction(true); }

long SerializedRegistry::RollbackTransaction() { return EndTransaction(false); }

long SerializedRegistry::EndTransaction(bool commit) {
  // Another thread's transaction is waited for; it is never ended from here.
  std::lock_guard lock(mutex_);
  const long rc = commit ? inner_.CommitTransaction() : inner_.RollbackTransaction();
  if (inTransaction_) {
    inTransaction_ = false;
    mutex_.unlock();  // the hold taken by BeginTransaction
  }
  return rc;
}

}  // namespace vantrel
