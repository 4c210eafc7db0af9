#pragma once
// A registry that several threads may share: each call runs alone, and a
// transaction keeps the other threads out from its begin to its end (they
// wait), so nobody sees half of a bulk rewrite or writes into it.

#include <mutex>

#include "platform/Registry.h"

namespace vantrel {

class SerializedRegistry : public IRegistry {
 public:
  // inner must outlive this object.
  explicit SerializedRegistry(IRegistry& inner) : inner_(inner) {}

  long CreateKey(RootKey root, std::string_view path) override;
  long OpenKey(RootKey root, std::string_view path) override;
  long DeleteKey(RootKey root, std::string_view path) override;
  long QueryValue(RootKey root, std::string_view path, std::string_view name,
                  RegValue* out) override;
  long SetValue(RootKey root, std::string_view path, std::string_view name, uint32_t type,
                std::span<const uint8_t> data) override;
  long DeleteValue(RootKey root, std::string_view path, std::string_view name) override;
  long EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) override;
  long QueryValueCount(RootKey root, std::string_view path, uint32_t* count) override;
  long BeginTransaction() override;
  long CommitTransaction() override;
  long RollbackTransaction() override;

 private:
  long EndTransaction(bool commit);

  IRegistry& inner_;
  // Held for each call, and by the thread in a transaction until it ends.
  std::recursive_mutex mutex_;
  bool inTransaction_ = false;  // only read or written while mutex_ is held
};

}  // namespace vantrel
