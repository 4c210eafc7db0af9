#include "settings/RegAccess.h"

namespace vantrel {

CRegAccess::CRegAccess(IRegistry& reg, RootKey root) : reg_(reg), root_(root) {}

CRegAccess::~CRegAccess() { CloseKey(); }

int CRegAccess::Hold(RootKey root, std::string_view path, long status) {
  lastType_ = 0;
  lastSize_ = 0;
  hasKey_ = status == ERROR_SUCCESS;
  root_ = root;
  keyPath_ = hasKey_ ? std::string(path) : std::string();
  return Done(status);
}

int CRegAccess::OpenKey(RootKey root, std::string_view path) {
  path_ = path;
  return Hold(root, path, reg_.OpenKey(root, path));
}

int CRegAccess::CloseKey() {
  hasKey_ = false;
  keyPath_.clear();
  return Done(ERROR_SUCCESS);
}

long CRegAccess::Query(std::string_view name, RegValue* out) {
  if (!hasKey_) return ERROR_INVALID_HANDLE;
  return reg_.QueryValue(root_, keyPath_, name, out);
}

int CRegAccess::ReadString(std::string_view name, std::string& out) {
  RegValue v;
  long status = Query(name, &v);
  if (status != ERROR_SUCCESS) {
    lastType_ = 0;
    lastSize_ = 0;
    return Done(status);
  }
  // As the registry reports it: the type and the size the value needs.
  lastType_ = v.type;
  lastSize_ = static_cast<uint32_t>(v.data.size());
  if (v.data.size() > kStringBufferSize) return Done(ERROR_MORE_DATA);
  // A value stored without its terminator still ends inside the data.
  std::string text(v.data.begin(), v.data.end());
  if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  out = std::move(text);
  return Done(ERROR_SUCCESS);
}

int CRegAccess::Set(std::string_view name, uint32_t type, std::span<const uint8_t> data) {
  lastType_ = type;
  lastSize_ = static_cast<uint32_t>(data.size());
  if (!hasKey_) return Done(ERROR_INVALID_HANDLE);
  return Done(reg_.SetValue(root_, keyPath_, name, type, data));
}

int CRegAccess::WriteString(std::string_view name, std::string_view text) {
  return Set(name, REG_SZ, RegStringBytes(text));
}

int CRegAccess::DeleteValue(std::string_view name) {
  lastType_ = 0;
  lastSize_ = 0;
  if (!hasKey_) return Done(ERROR_INVALID_HANDLE);
  return Done(reg_.DeleteValue(root_, keyPath_, name));
}

int CRegAccess::DeleteKey(RootKey root, std::string_view path) {
  lastType_ = 0;
  lastSize_ = 0;
  return Done(reg_.DeleteKey(root, path));
}

int CRegAccess::ReadInt(std::string_view name, uint32_t& out) {
  RegValue v;
  long status = Query(name, &v);
  lastType_ = status == ERROR_SUCCESS ? v.type : 0;
  lastSize_ = status == ERROR_SUCCESS ? static_cast<uint32_t>(v.data.size()) : 0;
  if (status != ERROR_SUCCESS) return Done(status);
  if (v.data.size() > 4) return Done(ERROR_MORE_DATA);
  if (v.type != REG_DWORD || v.data.size() != 4) return Done(ERROR_INVALID_PARAMETER);
  out = static_cast<uint32_t>(v.data[0]) | static_cast<uint32_t>(v.data[1]) << 8 |
        static_cast<uint32_t>(v.data[2]) << 16 | static_cast<uint32_t>(v.data[3]) << 24;
  return Done(ERROR_SUCCESS);
}

int CRegAccess::WriteInt(std::string_view name, uint32_t value) {
  return Set(name, REG_DWORD, RegDwordBytes(value));
}

int CRegAccess::ReadBinary(std::string_view name, std::vector<uint8_t>& out) {
  RegValue v;
  long status = Query(name, &v);
  lastType_ = status == ERROR_SUCCESS ? v.type : 0;
  lastSize_ = status == ERROR_SUCCESS ? static_cast<uint32_t>(v.data.size()) : 0;
  if (status == ERROR_SUCCESS) out = std::move(v.data);
  return Done(status);
}

int CRegAccess::WriteBinary(std::string_view name, std::span<const uint8_t> data) {
  return Set(name, REG_BINARY, data);
}

int CRegAccess::OpenRelativeKey(std::string_view subPath) {
  if (!hasKey_) {
    lastType_ = 0;
    lastSize_ = 0;
    return Done(ERROR_INVALID_HANDLE);
  }
  std::string full = keyPath_;
  if (!full.empty() && !subPath.empty()) full += '\\';
  full += subPath;
  return OpenKey(root_, full);
}

int CRegAccess::CreateKey(RootKey root, std::string_view path) {
  path_ = path;
  return Hold(root, path, reg_.CreateKey(root, path));
}

int CRegAccess::ValueExists(std::string_view name) { return Done(Query(name, nullptr)); }

}  // namespace vantrel
