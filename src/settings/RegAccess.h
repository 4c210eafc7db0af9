#pragma once
// CRegAccess: a small registry accessor holding one key at a time. Each
// operation records the status of its registry call as the last error and
// returns 1 on success, 0 on failure; reads and writes also record the value's
// type and size, opening and deleting set both to 0.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace vantrel {

class CRegAccess {
 public:
  // The size of the buffer ReadString reads into: a longer value fails with
  // ERROR_MORE_DATA and is treated as absent.
  static constexpr size_t kStringBufferSize = 200;

  // The root is the held key; the path is empty.
  CRegAccess(IRegistry& reg, RootKey root);
  ~CRegAccess();
  CRegAccess(const CRegAccess&) = delete;
  CRegAccess& operator=(const CRegAccess&) = delete;

  // Remembers path and makes the subkey of root the held key. On failure no key
  // is held, so that later reads and writes fail rather than reach the root.
  int OpenKey(RootKey root, std::string_view path);
  // Gives up the held key, if any.
  int CloseKey();
  // Reads the value into a 200-byte buffer; on success out gets its text (up to
  // the first zero byte); out is left alone on failure.
  int ReadString(std::string_view name, std::string& out);
  // Writes text as REG_SZ of length len + 1 (the terminator counted).
  int WriteString(std::string_view name, std::string_view text);
  int DeleteValue(std::string_view name);
  // Deletes the subkey path of root with everything below it.
  int DeleteKey(RootKey root, std::string_view path);

  // Also offered; nothing in the program relies on these.
  int ReadInt(std::string_view name, uint32_t& out);  // REG_DWORD of 4 bytes
  int WriteInt(std::string_view name, uint32_t value);
  int ReadBinary(std::string_view name, std::vector<uint8_t>& out);  // any type, any size
  int WriteBinary(std::string_view name, std::span<const uint8_t> data);
  int OpenRelativeKey(std::string_view subPath);       // below the held key
  int CreateKey(RootKey root, std::string_view path);  // and hold it
  int ValueExists(std::string_view name);

  bool hasKey() const { return hasKey_; }
  RootKey keyRoot() const { return root_; }
  const std::string& keyPath() const { return keyPath_; }  // of the held key
  const std::string& path() const { return path_; }        // given to the last OpenKey
  long lastError() const { return lastError_; }
  uint32_t lastType() const { return lastType_; }
  uint32_t lastSize() const { return lastSize_; }

 private:
  int Done(long status) {
    lastError_ = status;
    return status == ERROR_SUCCESS ? 1 : 0;
  }
  // Reads the held key's value; ERROR_INVALID_HANDLE without a key.
  long Query(std::string_view name, RegValue* out);
  int Set(std::string_view name, uint32_t type, std::span<const uint8_t> data);
  int Hold(RootKey root, std::string_view path, long status);

  IRegistry& reg_;
  bool hasKey_ = true;
  RootKey root_;
  std::string keyPath_;
  std::string path_;
  long lastError_ = ERROR_SUCCESS;
  uint32_t lastType_ = 0;
  uint32_t lastSize_ = 0;
};

}  // namespace vantrel
