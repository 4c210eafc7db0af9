#pragma once
// HKEY_CURRENT_USER kept in a SQLite file (the "hive").
//
// Keys keep their Windows paths; key and value names keep the spelling they were
// created with and compare without case (ASCII folding, as the registry does).
// Value data is stored byte for byte with the type given. Every write runs in a
// transaction of its own, or inside the caller's Begin/Commit; the file is in WAL
// mode with a busy timeout, so several processes of one user may use it at once
// without losing a write.
//
// Schema, version 1 (PRAGMA user_version = 1, PRAGMA application_id = kHiveAppId):
//
//   reg_keys(id     INTEGER PRIMARY KEY,
//            path   TEXT NOT NULL,           -- "Software\Korbelund\Tessivane\Option"
//            folded TEXT NOT NULL UNIQUE)    -- the path upper-cased (ASCII)
//   reg_values(id     INTEGER PRIMARY KEY,   -- insertion order, kept on overwrite
//              key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,
//              name   TEXT NOT NULL,
//              folded TEXT NOT NULL,         -- the name upper-cased (ASCII)
//              type   INTEGER NOT NULL,      -- REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4
//              data   BLOB NOT NULL,         -- exactly the bytes written
//              UNIQUE(key_id, folded))
//
// The root key is the row whose path is empty. Several threads may share an
// instance: each call runs alone, and a transaction keeps the other threads
// out (they wait) from its begin to its end.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vantrel {

inline constexpr int kHiveSchemaVersion = 1;
inline constexpr int32_t kHiveAppId = 0x54455356;  // "TESV"

// ${XDG_CONFIG_HOME:-~/.config}/Korbelund/registry.sqlite; empty when neither
// XDG_CONFIG_HOME (absolute) nor a home directory is known.
std::string DefaultHivePath();

class SqliteRegistry : public IRegistry {
 public:
  // A hive that lives in memory only (used when the file cannot be used).
  static std::unique_ptr<SqliteRegistry> CreateTemporary();

  ~SqliteRegistry() override;
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

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

  // Ends an open transaction (rolled back) and closes the file; every call
  // afterwards fails with ERROR_INVALID_HANDLE.
  void Close();
  // The file, or empty for a temporary hive.
  const std::string& path() const { return path_; }
  bool isTemporary() const { return path_.empty(); }

 private:
  friend struct HiveOpener;
  SqliteRegistry(sqlite3* db, std::string path);

  class Stmt;
  enum class Op { Read, Write };

  sqlite3_stmt* Prepare(const char* sql);
  int Exec(const char* sql);
  long Fail(int rc, Op op);
  long Write(const std::function<long()>& body);
  long Read(const std::function<long()>& body);
  // Read or Write of an existing key: body gets its row id; a missing key is
  // ERROR_FILE_NOT_FOUND.
  long ReadInKey(const std::string& norm, const std::function<long(int64_t)>& body);
  long WriteInKey(const std::string& norm, const std::function<long(int64_t)>& body);
  int CommitWithRetry();
  // Looks the key up by its folded path; 0 when missing, -1 on an error.
  int64_t FindKey(const std::string& folded, std::string* storedPath = nullptr);
  bool TransactionLost();

  // Held for each call, and by the thread in a transaction until it ends.
  std::recursive_mutex mutex_;
  sqlite3* db_;
  std::string path_;
  std::vector<std::pair<const char*, sqlite3_stmt*>> stmts_;
  // Where the last EnumValue stopped, so that the next position continues
  // from there; any write forgets it.
  struct EnumCursor {
    bool valid = false;
    int64_t key = 0;
    uint32_t index = 0;
    int64_t row = 0;
  } enum_;
  bool inTx_ = false;
  bool txBroken_ = false;
  int lastRc_ = 0;  // SQLite code of the last failure inside a body
};

// The outcome of opening the hive file.
enum class HiveStatus {
  Opened,       // the file was there and is sound
  Created,      // there was no file; a new hive was made
  Recovered,    // the file was damaged or unreadable: it was renamed aside, a new hive was made
  NewerSchema,  // a later version's file: left untouched, a temporary hive is used
  Unavailable,  // the file could not be used for another reason: left untouched, temporary hive
};

struct HiveOpenResult {
  HiveStatus status = HiveStatus::Unavailable;
  std::unique_ptr<SqliteRegistry> hive;  // never null
  std::string message;                   // to show the user once; empty when all is well
  std::string asidePath;                 // where a damaged file went (Recovered)
};

// Opens (creating when needed) the hive at path; directory 0700, file 0600. A
// damaged or unreadable file - with its -wal and -shm companions - is renamed to
// "<path>.corrupt-YYYYMMDD-HHMMSS[-N]" (local time of `now`, 0 = the current
// time), never over an existing file, and a fresh hive takes its place. A file
// written by a newer version, or one that cannot be opened for a passing reason
// (busy, disk full, I/O error, the directory cannot be made), is not touched; a
// temporary hive stands in so the program still runs with its defaults.
HiveOpenResult OpenHive(const std::string& path, std::time_t now = 0);

}  // namespace vantrel
