#include "fakes/FakeRegistry.h"

#include <algorithm>
#include <cctype>

namespace vantrel::fakes {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

}  // namespace

std::string FakeRegistry::Fold(RootKey root, std::string_view path) {
  return (root == RootKey::CurrentUser ? "HKCU\\" : "HKLM\\") + Upper(Trim(path));
}

bool FakeRegistry::WriteFails() {
  ++writes_;
  if (failWrites_) return true;
  if (failAfter_ == 0) return true;
  if (failAfter_ > 0) --failAfter_;
  return false;
}

long FakeRegistry::CreateKey(RootKey root, std::string_view path) {
  if (WriteFails()) return ERROR_CANTWRITE;
  std::string p = Trim(path);
  // Create every prefix so that deleting a parent finds its children.
  for (size_t i = 0; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '\\') hive_.try_emplace(Fold(root, p.substr(0, i)));
  }
  return ERROR_SUCCESS;
}

long FakeRegistry::OpenKey(RootKey root, std::string_view path) {
  return hive_.count(Fold(root, path)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

long FakeRegistry::DeleteKey(RootKey root, std::string_view path) {
  std::string k = Fold(root, path);
  if (!hive_.count(k)) return ERROR_FILE_NOT_FOUND;
  if (WriteFails()) return ERROR_CANTWRITE;
  std::string prefix = k + "\\";
  for (auto it = hive_.begin(); it != hive_.end();) {
    if (it->first == k || it->first.compare(0, prefix.size(), prefix) == 0)
      it = hive_.erase(it);
    else
      ++it;
  }
  return ERROR_SUCCESS;
}

long FakeRegistry::QueryValue(RootKey root, std::string_view path, std::string_view name,
                              RegValue* out) {
  auto it = hive_.find(Fold(root, path));
  if (it == hive_.end()) return ERROR_FILE_NOT_FOUND;
  for (const RegValue& v : it->second.values) {
    if (Upper(v.name) == Upper(name)) {
      if (out) *out = v;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

long FakeRegistry::SetValue(RootKey root, std::string_view path, std::string_view name,
                            uint32_t type, std::span<const uint8_t> data) {
  auto it = hive_.find(Fold(root, path));
  if (it == hive_.end()) return ERROR_FILE_NOT_FOUND;
  if (WriteFails()) return ERROR_CANTWRITE;
  for (RegValue& v : it->second.values) {
    if (Upper(v.name) == Upper(name)) {
      v.type = type;
      v.data.assign(data.begin(), data.end());
      return ERROR_SUCCESS;
    }
  }
  it->second.values.push_back(RegValue{std::string(name), type, {data.begin(), data.end()}});
  return ERROR_SUCCESS;
}

long FakeRegistry::DeleteValue(RootKey root, std::string_view path, std::string_view name) {
  auto it = hive_.find(Fold(root, path));
  if (it == hive_.end()) return ERROR_FILE_NOT_FOUND;
  auto& vals = it->second.values;
  auto v = std::find_if(vals.begin(), vals.end(),
                        [&](const RegValue& r) { return Upper(r.name) == Upper(name); });
  if (v == vals.end()) return ERROR_FILE_NOT_FOUND;
  if (WriteFails()) return ERROR_CANTWRITE;
  vals.erase(v);
  return ERROR_SUCCESS;
}

long FakeRegistry::EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) {
  auto it = hive_.find(Fold(root, path));
  if (it == hive_.end()) return ERROR_FILE_NOT_FOUND;
  if (index >= it->second.values.size()) return ERROR_NO_MORE_ITEMS;
  if (out) *out = it->second.values[index];
  return ERROR_SUCCESS;
}

long FakeRegistry::QueryValueCount(RootKey root, std::string_view path, uint32_t* count) {
  auto it = hive_.find(Fold(root, path));
  if (it == hive_.end()) return ERROR_FILE_NOT_FOUND;
  *count = static_cast<uint32_t>(it->second.values.size());
  return ERROR_SUCCESS;
}

long FakeRegistry::BeginTransaction() {
  if (snapshot_) return ERROR_INVALID_PARAMETER;
  snapshot_ = hive_;
  return ERROR_SUCCESS;
}

long FakeRegistry::CommitTransaction() {
  if (!snapshot_) return ERROR_INVALID_PARAMETER;
  snapshot_.reset();
  return ERROR_SUCCESS;
}

long FakeRegistry::RollbackTransaction() {
  if (!snapshot_) return ERROR_INVALID_PARAMETER;
  hive_ = std::move(*snapshot_);
  snapshot_.reset();
  return ERROR_SUCCESS;
}

}  // namespace vantrel::fakes
