#pragma once
// In-memory registry for tests: keys and value names compare without case,
// values keep their insertion order, transactions snapshot and restore.

#include <map>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace vantrel::fakes {

class FakeRegistry : public IRegistry {
 public:
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

  // Test controls: make every write fail from now on (reads still work), or
  // make the n-th write from now fail.
  void FailWrites(bool fail) { failWrites_ = fail; }
  void FailWriteAfter(int okWrites) { failAfter_ = okWrites; }
  int writeCount() const { return writes_; }

 private:
  struct Key {
    std::vector<RegValue> values;  // insertion order
  };
  using Hive = std::map<std::string, Key>;  // upper-cased path -> key
  static std::string Fold(RootKey root, std::string_view path);
  bool WriteFails();

  Hive hive_;
  std::optional<Hive> snapshot_;
  bool failWrites_ = false;
  int failAfter_ = -1;
  int writes_ = 0;
};

}  // namespace vantrel::fakes
