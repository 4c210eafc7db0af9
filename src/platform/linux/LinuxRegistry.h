#pragma once
// The registry of the Linux program: HKEY_CURRENT_USER is the SQLite hive,
// HKEY_LOCAL_MACHINE the autostart mapping. Transactions belong to the hive.

#include "platform/Registry.h"

namespace vantrel {

class LinuxRegistry : public IRegistry {
 public:
  // Both parts must outlive this object.
  LinuxRegistry(IRegistry& currentUser, IRegistry& localMachine)
      : currentUser_(currentUser), localMachine_(localMachine) {}

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
  IRegistry& For(RootKey root) {
    return root == RootKey::LocalMachine ? localMachine_ : currentUser_;
  }

  IRegistry& currentUser_;
  IRegistry& localMachine_;
};

}  // namespace vantrel
