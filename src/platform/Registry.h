#pragma once
// The registry as the program sees it: two roots, keys named by their Windows
// paths (backslash-separated, compared without case), typed values. Every call
// returns a Win32-style status (ERROR_SUCCESS on success).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

enum class RootKey { CurrentUser, LocalMachine };

// Value types, numbered as Windows numbers them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Status codes, numbered as Windows numbers them.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_NO_MORE_ITEMS = 259;
inline constexpr long ERROR_BADDB = 1009;
inline constexpr long ERROR_CANTREAD = 1012;
inline constexpr long ERROR_CANTWRITE = 1013;

// The machine-wide key whose values start programs at log-on (HKEY_LOCAL_MACHINE).
inline constexpr std::string_view kRunKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RegValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;  // as Windows reports it: a REG_SZ counts its terminator
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // Creates the key and every missing parent.
  virtual long CreateKey(RootKey root, std::string_view path) = 0;
  // ERROR_SUCCESS when the key exists, ERROR_FILE_NOT_FOUND otherwise.
  virtual long OpenKey(RootKey root, std::string_view path) = 0;
  // Deletes the key with its subkeys and values.
  virtual long DeleteKey(RootKey root, std::string_view path) = 0;

  virtual long QueryValue(RootKey root, std::string_view path, std::string_view name,
                          RegValue* out) = 0;
  virtual long SetValue(RootKey root, std::string_view path, std::string_view name, uint32_t type,
                        std::span<const uint8_t> data) = 0;
  virtual long DeleteValue(RootKey root, std::string_view path, std::string_view name) = 0;

  // Values enumerate in a stable order; ERROR_NO_MORE_ITEMS past the last one.
  virtual long EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) = 0;
  virtual long QueryValueCount(RootKey root, std::string_view path, uint32_t* count) = 0;

  // Groups bulk rewrites: either all writes between Begin and Commit land, or
  // (after Rollback, or a failure) none does. Nesting is not supported.
  virtual long BeginTransaction() = 0;
  virtual long CommitTransaction() = 0;
  virtual long RollbackTransaction() = 0;
};

// Commits on Commit(), rolls back when it goes out of scope otherwise.
class RegTransaction {
 public:
  explicit RegTransaction(IRegistry& reg) : reg_(reg), open_(reg.BeginTransaction() == ERROR_SUCCESS) {}
  RegTransaction(const RegTransaction&) = delete;
  RegTransaction& operator=(const RegTransaction&) = delete;
  ~RegTransaction() {
    if (open_) reg_.RollbackTransaction();
  }
  bool ok() const { return open_; }
  long Commit() {
    if (!open_) return ERROR_CANTWRITE;
    open_ = false;
    return reg_.CommitTransaction();
  }

 private:
  IRegistry& reg_;
  bool open_;
};

// Helpers over the raw value bytes.
std::vector<uint8_t> RegStringBytes(std::string_view text);  // text + terminator
std::vector<uint8_t> RegDwordBytes(uint32_t value);           // little-endian

}  // namespace vantrel
