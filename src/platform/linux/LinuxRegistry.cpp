#include "platform/linux/LinuxRegistry.h"

namespace vantrel {

long LinuxRegistry::CreateKey(RootKey root, std::string_view path) {
  return For(root).CreateKey(root, path);
}

long LinuxRegistry::OpenKey(RootKey root, std::string_view path) {
  return For(root).OpenKey(root, path);
}

long LinuxRegistry::DeleteKey(RootKey root, std::string_view path) {
  return For(root).DeleteKey(root, path);
}

long LinuxRegistry::QueryValue(RootKey root, std::string_view path, std::string_view name,
                               RegValue* out) {
  return For(root).QueryValue(root, path, name, out);
}

long LinuxRegistry::SetValue(RootKey root, std::string_view path, std::string_view name,
                             uint32_t type, std::span<const uint8_t> data) {
  return For(root).SetValue(root, path, name, type, data);
}

long LinuxRegistry::DeleteValue(RootKey root, std::string_view path, std::string_view name) {
  return For(root).DeleteValue(root, path, name);
}

long LinuxRegistry::EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) {
  return For(root).EnumValue(root, path, index, out);
}

long LinuxRegistry::QueryValueCount(RootKey root, std::string_view path, uint32_t* count) {
  return For(root).QueryValueCount(root, path, count);
}

long LinuxRegistry::BeginTransaction() { return currentUser_.BeginTransaction(); }
long LinuxRegistry::CommitTransaction() { return currentUser_.CommitTransaction(); }
long LinuxRegistry::RollbackTransaction() { return currentUser_.RollbackTransaction(); }

}  // namespace vantrel
