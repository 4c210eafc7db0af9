#include "platform/linux/SqliteRegistry.h"

#include "platform/linux/XdgPaths.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vantrel {
namespace {

constexpr int kBusyTimeoutMs = 5000;
// Whole operations are tried again this often when the busy timeout ran out.
constexpr int kBusyRetries = 4;
constexpr size_t kMaxKeyNameBytes = 255;
constexpr size_t kMaxValueNameBytes = 16383;
constexpr size_t kMaxValueBytes = 16u << 20;

constexpr const char* kSchemaSql =
    "CREATE TABLE reg_keys("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL,"
    " folded TEXT NOT NULL UNIQUE);"
    "CREATE TABLE reg_values("
    " id INTEGER PRIMARY KEY,"
    " key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key_id, folded));"
    "INSERT INTO reg_keys(path, folded) VALUES('', '');";

// Every statement the hive runs; preparing them all at open also checks that
// the file has the tables and columns they need.
constexpr const char* kFindKey = "SELECT id, path FROM reg_keys WHERE folded = ?1";
constexpr const char* kInsertKey = "INSERT INTO reg_keys(path, folded) VALUES(?1, ?2)";
constexpr const char* kDeleteTreeValues =
    "DELETE FROM reg_values WHERE key_id IN (SELECT id FROM reg_keys"
    " WHERE folded = ?1 OR (folded >= ?2 AND folded < ?3))";
constexpr const char* kDeleteTreeKeys =
    "DELETE FROM reg_keys WHERE folded = ?1 OR (folded >= ?2 AND folded < ?3)";
constexpr const char* kQueryValue =
    "SELECT name, type, data FROM reg_values WHERE key_id = ?1 AND folded = ?2";
constexpr const char* kSetValue =
    "INSERT INTO reg_values(key_id, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key_id, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM reg_values WHERE key_id = ?1 AND folded = ?2";
constexpr const char* kEnumValue =
    "SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY id LIMIT 1 OFFSET ?2";
constexpr const char* kCountValues = "SELECT count(*) FROM reg_values WHERE key_id = ?1";
constexpr const char* kAllStatements[] = {kFindKey,        kInsertKey,  kDeleteTreeValues,
                                          kDeleteTreeKeys, kQueryValue, kSetValue,
                                          kDeleteValue,    kEnumValue,  kCountValues};

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Drops leading and trailing backslashes; refuses empty components, zero bytes
// and over-long names.
bool NormalisePath(std::string_view in, std::string* out) {
  while (!in.empty() && in.front() == '\\') in.remove_prefix(1);
  while (!in.empty() && in.back() == '\\') in.remove_suffix(1);
  size_t start = 0;
  for (size_t i = 0; i <= in.size(); ++i) {
    if (i < in.size() && in[i] == '\0') return false;
    if (i == in.size() || in[i] == '\\') {
      size_t len = i - start;
      if (!in.empty() && (len == 0 || len > kMaxKeyNameBytes)) return false;
      start = i + 1;
    }
  }
  out->assign(in);
  return true;
}

bool ValidValueName(std::string_view name) {
  return name.size() <= kMaxValueNameBytes && name.find('\0') == std::string_view::npos;
}

void Backoff(int attempt) {
  std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
}

bool IsBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }
bool IsDamage(int rc) { return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB; }

long MapSqlite(int rc, bool write) {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return ERROR_SUCCESS;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_BADDB;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
    case SQLITE_MISMATCH:
      return ERROR_INVALID_PARAMETER;
    default:
      return write ? ERROR_CANTWRITE : ERROR_CANTREAD;
  }
}

int ExecOn(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs a one-value statement (a PRAGMA) and returns its integer result.
int QueryInt(sqlite3* db, const char* sql, int64_t* out) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    *out = sqlite3_column_int64(s, 0);
    rc = SQLITE_OK;
  }
  sqlite3_finalize(s);
  return rc;
}

int CreateSchema(sqlite3* db) {
  int rc = ExecOn(db, kSchemaSql);
  if (rc != SQLITE_OK) return rc;
  std::string pragmas = "PRAGMA user_version = " + std::to_string(kHiveSchemaVersion) +
                        "; PRAGMA application_id = " + std::to_string(kHiveAppId) + ";";
  return ExecOn(db, pragmas.c_str());
}

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Sets the permission bits of a regular file (or, with directory set, a
// folder) of our own to exactly `mode`. A link is never followed, and
// anything else (another user's file, a folder where a file belongs, a
// device) is left exactly as it is.
//
// The file is reached through an O_PATH descriptor: closing an ordinary one
// would drop the POSIX locks SQLite holds on it in this process (its -shm
// could then be truncated under another process's mapping).
void Tighten(const std::string& path, mode_t mode, bool directory = false) {
  const int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && (directory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) &&
      st.st_uid == geteuid() && (st.st_mode & 07777) != mode) {
    // The descriptor's own file, whatever has become of the name since.
    chmod(("/proc/self/fd/" + std::to_string(fd)).c_str(), mode);
  }
  close(fd);
}

// Why the hive file (or one of its companions) cannot be used as it stands,
// without touching it; empty when it can. A link is not followed (it could
// point at any file of the user's), and a file its owner made read-only is
// taken at its word.
std::string Unusable(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return {};
  if (S_ISLNK(st.st_mode)) return path + " is a symbolic link";
  if (!S_ISREG(st.st_mode)) return {};  // not a file: moved aside as damaged
  if ((st.st_mode & S_IWUSR) == 0) return path + " is read-only";
  return {};
}

// SQLite makes the -wal and -shm files with the mode of the database and, run
// as root, gives them to the database's owner. They hold the settings too, so
// they are made owner-only as soon as they exist, before anything is written
// to them: they are the program's own files even where the hive is another
// user's (root running the program on that user's settings).
void TightenCompanions(const std::string& path) {
  struct stat hive;
  if (lstat(path.c_str(), &hive) != 0 || !S_ISREG(hive.st_mode)) return;
  for (const char* c : {"-wal", "-shm"}) {
    const std::string companion = path + c;
    const int fd = open(companion.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    const bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      (st.st_uid == geteuid() || (geteuid() == 0 && st.st_uid == hive.st_uid));
    if (ours && (st.st_mode & 07777) != 0600)
      chmod(("/proc/self/fd/" + std::to_string(fd)).c_str(), 0600);
    close(fd);
  }
}

// Renames without ever replacing an existing file; errno tells why it failed.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot do it in one step: a hard link fails on an existing name.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) != 0) {
    int saved = errno;
    unlink(to.c_str());
    errno = saved;
    return false;
  }
  return true;
}

constexpr const char* kCompanions[] = {"-wal", "-shm", "-journal"};

// Moves path (and its companions) to path.corrupt-<stamp>[-N]; returns the new
// name, or empty with *error set.
std::string MoveAside(const std::string& path, std::time_t now, std::string* error) {
  struct tm tm {};
  localtime_r(&now, &tm);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  for (int n = 0; n < 10000; ++n) {
    std::string aside = path + ".corrupt-" + stamp;
    if (n > 0) aside += "-" + std::to_string(n);
    bool taken = Exists(aside);
    for (const char* c : kCompanions) taken = taken || Exists(aside + c);
    if (taken) continue;
    if (!RenameNoReplace(path, aside)) {
      if (errno == EEXIST) continue;
      *error = std::strerror(errno);
      return {};
    }
    for (const char* c : kCompanions) {
      if (!Exists(path + c)) continue;
      if (!RenameNoReplace(path + c, aside + c)) {
        *error = std::string("cannot move ") + path + c + ": " + std::strerror(errno);
        return {};
      }
    }
    return aside;
  }
  *error = "no free name to move it to";
  return {};
}

}  // namespace

std::string DefaultHivePath() {
  std::string config = ConfigHomeDir();
  if (config.empty()) return {};
  return config + "/Korbelund/registry.sqlite";
}

// ---------------------------------------------------------------------------
// Statements

class SqliteRegistry::Stmt {
 public:
  Stmt(SqliteRegistry& reg, const char* sql) : reg_(reg), s_(reg.Prepare(sql)) {}
  ~Stmt() {
    if (s_) {
      sqlite3_reset(s_);
      sqlite3_clear_bindings(s_);
    }
  }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  bool ok() const { return s_ != nullptr; }
  void Text(int i, std::string_view v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Int(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); }
  void Blob(int i, std::span<const uint8_t> v) {
    // A null pointer would bind NULL, so an empty value is a zero-length blob.
    if (v.empty())
      sqlite3_bind_zeroblob(s_, i, 0);
    else
      sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  // SQLITE_ROW, SQLITE_DONE or an error (remembered for retries).
  int Step() {
    int rc = sqlite3_step(s_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) reg_.lastRc_ = rc;
    return rc;
  }
  int64_t ColInt(int c) const { return sqlite3_column_int64(s_, c); }
  std::string ColText(int c) const {
    const unsigned char* p = sqlite3_column_text(s_, c);
    int n = sqlite3_column_bytes(s_, c);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
             : std::string();
  }
  std::vector<uint8_t> ColBlob(int c) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s_, c));
    int n = sqlite3_column_bytes(s_, c);
    return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
  }
  // Reads a (name, type, data) row into out; false when the stored type is not
  // a 32-bit value (a hand-edited file).
  bool ColValue(RegValue* out) const {
    int64_t type = ColInt(1);
    if (type < 0 || type > UINT32_MAX) return false;
    if (out) {
      out->name = ColText(0);
      out->type = static_cast<uint32_t>(type);
      out->data = ColBlob(2);
    }
    return true;
  }

 private:
  SqliteRegistry& reg_;
  sqlite3_stmt* s_;
};

SqliteRegistry::SqliteRegistry(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

SqliteRegistry::~SqliteRegistry() { Close(); }

void SqliteRegistry::Close() {
  std::lock_guard lock(mutex_);
  if (!db_) return;
  if (!sqlite3_get_autocommit(db_)) ExecOn(db_, "ROLLBACK");
  if (inTx_) mutex_.unlock();  // the hold of this thread's open transaction
  inTx_ = false;
  for (auto& [sql, s] : stmts_) sqlite3_finalize(s);
  stmts_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

std::unique_ptr<SqliteRegistry> SqliteRegistry::CreateTemporary() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
          SQLITE_OK ||
      CreateSchema(db) != SQLITE_OK) {
    // Out of memory at start-up: a hive without a database fails every call.
    sqlite3_close_v2(db);
    db = nullptr;
  }
  if (db) ExecOn(db, "PRAGMA foreign_keys = ON");
  return std::unique_ptr<SqliteRegistry>(new SqliteRegistry(db, std::string()));
}

sqlite3_stmt* SqliteRegistry::Prepare(const char* sql) {
  for (auto& [text, s] : stmts_)
    if (std::strcmp(text, sql) == 0) return s;
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
  if (rc != SQLITE_OK) {
    lastRc_ = rc;
    return nullptr;
  }
  stmts_.emplace_back(sql, s);
  return s;
}

int SqliteRegistry::Exec(const char* sql) { return ExecOn(db_, sql); }

long SqliteRegistry::Fail(int rc, Op op) {
  lastRc_ = rc;
  return MapSqlite(rc, op == Op::Write);
}

bool SqliteRegistry::TransactionLost() {
  // SQLite rolls a transaction back by itself after some errors (disk full,
  // I/O error); the writes that follow must not go through one by one.
  if (inTx_ && sqlite3_get_autocommit(db_)) txBroken_ = true;
  return txBroken_;
}

int SqliteRegistry::CommitWithRetry() {
  int rc = Exec("COMMIT");
  for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
    Backoff(attempt);
    rc = Exec("COMMIT");
  }
  return rc;
}

long SqliteRegistry::Write(const std::function<long()>& body) {
  std::lock_guard lock(mutex_);
  if (!db_) return ERROR_INVALID_HANDLE;
  if (inTx_) {
    if (TransactionLost()) return ERROR_CANTWRITE;
    // A savepoint keeps one operation whole inside the caller's transaction.
    int rc = Exec("SAVEPOINT reg_op");
    if (rc != SQLITE_OK) return Fail(rc, Op::Write);
    long result = body();
    if (!sqlite3_get_autocommit(db_)) {
      if (result != ERROR_SUCCESS) Exec("ROLLBACK TO reg_op");
      Exec("RELEASE reg_op");
    }
    if (TransactionLost() && result == ERROR_SUCCESS) result = ERROR_CANTWRITE;
    return result;
  }
  for (int attempt = 0;; ++attempt) {
    int rc = Exec("BEGIN IMMEDIATE");
    if (IsBusy(rc) && attempt < kBusyRetries) {
      Backoff(attempt);
      continue;
    }
    if (rc != SQLITE_OK) return Fail(rc, Op::Write);
    lastRc_ = SQLITE_OK;
    long result = body();
    if (result != ERROR_SUCCESS) {
      if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
      if (IsBusy(lastRc_) && attempt < kBusyRetries) {
        Backoff(attempt);
        continue;
      }
      return result;
    }
    rc = CommitWithRetry();
    if (rc != SQLITE_OK) {
      if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
      return Fail(rc, Op::Write);
    }
    return ERROR_SUCCESS;
  }
}

long SqliteRegistry::Read(const std::function<long()>& body) {
  std::lock_guard lock(mutex_);
  if (!db_) return ERROR_INVALID_HANDLE;
  if (inTx_) return body();
  for (int attempt = 0;; ++attempt) {
    // One read transaction, so that the statements of one call see one state.
    int rc = Exec("BEGIN");
    if (rc != SQLITE_OK) return Fail(rc, Op::Read);
    lastRc_ = SQLITE_OK;
    long result = body();
    if (!sqlite3_get_autocommit(db_)) Exec("COMMIT");
    if (result != ERROR_SUCCESS && IsBusy(lastRc_) && attempt < kBusyRetries) {
      Backoff(attempt);
      continue;
    }
    return result;
  }
}

int64_t SqliteRegistry::FindKey(const std::string& folded, std::string* storedPath) {
  Stmt s(*this, kFindKey);
  if (!s.ok()) return -1;
  s.Text(1, folded);
  int rc = s.Step();
  if (rc == SQLITE_DONE) return 0;
  if (rc != SQLITE_ROW) return -1;
  if (storedPath) *storedPath = s.ColText(1);
  return s.ColInt(0);
}

// ---------------------------------------------------------------------------
// Keys

long SqliteRegistry::CreateKey(RootKey root, std::string_view path) {
  if (root != RootKey::CurrentUser) return ERROR_ACCESS_DENIED;
  std::string norm;
  if (!NormalisePath(path, &norm)) return ERROR_INVALID_PARAMETER;
  return Write([&]() -> long {
    std::string parentPath;  // as stored, keeping the first spelling of each key
    for (size_t i = 1; i <= norm.size(); ++i) {
      if (i < norm.size() && norm[i] != '\\') continue;
      std::string prefix = norm.substr(0, i);
      std::string stored;
      int64_t id = FindKey(Fold(prefix), &stored);
      if (id < 0) return Fail(lastRc_, Op::Write);
      if (id == 0) {
        size_t leafStart = prefix.find_last_of('\\');
        std::string leaf = leafStart == std::string::npos ? prefix : prefix.substr(leafStart + 1);
        stored = parentPath.empty() ? leaf : parentPath + '\\' + leaf;
        Stmt ins(*this, kInsertKey);
        if (!ins.ok()) return Fail(lastRc_, Op::Write);
        ins.Text(1, stored);
        ins.Text(2, Fold(prefix));
        if (ins.Step() != SQLITE_DONE) return Fail(lastRc_, Op::Write);
      }
      parentPath = stored;
    }
    return ERROR_SUCCESS;
  });
}

long SqliteRegistry::OpenKey(RootKey root, std::string_view path) {
  if (root != RootKey::CurrentUser) return ERROR_FILE_NOT_FOUND;
  std::string norm;
  if (!NormalisePath(path, &norm)) return ERROR_INVALID_PARAMETER;
  return ReadInKey(norm, [](int64_t) -> long { return ERROR_SUCCESS; });
}

long SqliteRegistry::DeleteKey(RootKey root, std::string_view path) {
  if (root != RootKey::CurrentUser) return ERROR_ACCESS_DENIED;
  std::string norm;
  if (!NormalisePath(path, &norm)) return ERROR_INVALID_PARAMETER;
  if (norm.empty()) return ERROR_ACCESS_DENIED;  // the root itself stays
  std::string folded = Fold(norm);
  // Every key below sorts between "PATH\" and "PATH]" (']' follows '\').
  std::string low = folded + '\\';
  std::string high = folded + ']';
  return Write([&]() -> long {
    int64_t id = FindKey(folded);
    if (id < 0) return Fail(lastRc_, Op::Write);
    if (id == 0) return ERROR_FILE_NOT_FOUND;
    for (const char* sql : {kDeleteTreeValues, kDeleteTreeKeys}) {
      Stmt del(*this, sql);
      if (!del.ok()) return Fail(lastRc_, Op::Write);
      del.Text(1, folded);
      del.Text(2, low);
      del.Text(3, high);
      if (del.Step() != SQLITE_DONE) return Fail(lastRc_, Op::Write);
    }
    return ERROR_SUCCESS;
  });
}

// ---------------------------------------------------------------------------
// Values

long SqliteRegistry::ReadInKey(const std::string& norm, const std::function<long(int64_t)>& body) {
  return Read([&]() -> long {
    int64_t id = FindKey(Fold(norm));
    if (id < 0) return Fail(lastRc_, Op::Read);
    return id == 0 ? ERROR_FILE_NOT_FOUND : body(id);
  });
}

long SqliteRegistry::WriteInKey(const std::string& norm, const std::function<long(int64_t)>& body) {
  return Write([&]() -> long {
    int64_t id = FindKey(Fold(norm));
    if (id < 0) return Fail(lastRc_, Op::Write);
    return id == 0 ? ERROR_FILE_NOT_FOUND : body(id);
  });
}

long SqliteRegistry::QueryValue(RootKey root, std::string_view path, std::string_view name,
                                RegValue* out) {
  if (root != RootKey::CurrentUser) return ERROR_FILE_NOT_FOUND;
  std::string norm;
  if (!NormalisePath(path, &norm) || !ValidValueName(name)) return ERROR_INVALID_PARAMETER;
  return ReadInKey(norm, [&](int64_t id) -> long {
    Stmt q(*this, kQueryValue);
    if (!q.ok()) return Fail(lastRc_, Op::Read);
    q.Int(1, id);
    q.Text(2, Fold(name));
    int rc = q.Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, Op::Read);
    return q.ColValue(out) ? ERROR_SUCCESS : ERROR_BADDB;
  });
}

long SqliteRegistry::SetValue(RootKey root, std::string_view path, std::string_view name,
                              uint32_t type, std::span<const uint8_t> data) {
  if (root != RootKey::CurrentUser) return ERROR_ACCESS_DENIED;
  std::string norm;
  if (!NormalisePath(path, &norm) || !ValidValueName(name) || data.size() > kMaxValueBytes)
    return ERROR_INVALID_PARAMETER;
  return WriteInKey(norm, [&](int64_t id) -> long {
    Stmt set(*this, kSetValue);
    if (!set.ok()) return Fail(lastRc_, Op::Write);
    set.Int(1, id);
    set.Text(2, name);
    set.Text(3, Fold(name));
    set.Int(4, type);
    set.Blob(5, data);
    if (set.Step() != SQLITE_DONE) return Fail(lastRc_, Op::Write);
    return ERROR_SUCCESS;
  });
}

long SqliteRegistry::DeleteValue(RootKey root, std::string_view path, std::string_view name) {
  if (root != RootKey::CurrentUser) return ERROR_ACCESS_DENIED;
  std::string norm;
  if (!NormalisePath(path, &norm) || !ValidValueName(name)) return ERROR_INVALID_PARAMETER;
  return WriteInKey(norm, [&](int64_t id) -> long {
    Stmt del(*this, kDeleteValue);
    if (!del.ok()) return Fail(lastRc_, Op::Write);
    del.Int(1, id);
    del.Text(2, Fold(name));
    if (del.Step() != SQLITE_DONE) return Fail(lastRc_, Op::Write);
    return sqlite3_changes(db_) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  });
}

long SqliteRegistry::EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) {
  if (root != RootKey::CurrentUser) return ERROR_FILE_NOT_FOUND;
  std::string norm;
  if (!NormalisePath(path, &norm)) return ERROR_INVALID_PARAMETER;
  return ReadInKey(norm, [&](int64_t id) -> long {
    Stmt q(*this, kEnumValue);
    if (!q.ok()) return Fail(lastRc_, Op::Read);
    q.Int(1, id);
    q.Int(2, index);
    int rc = q.Step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return Fail(rc, Op::Read);
    return q.ColValue(out) ? ERROR_SUCCESS : ERROR_BADDB;
  });
}

long SqliteRegistry::QueryValueCount(RootKey root, std::string_view path, uint32_t* count) {
  if (!count) return ERROR_INVALID_PARAMETER;
  if (root != RootKey::CurrentUser) return ERROR_FILE_NOT_FOUND;
  std::string norm;
  if (!NormalisePath(path, &norm)) return ERROR_INVALID_PARAMETER;
  return ReadInKey(norm, [&](int64_t id) -> long {
    Stmt q(*this, kCountValues);
    if (!q.ok()) return Fail(lastRc_, Op::Read);
    q.Int(1, id);
    int rc = q.Step();
    if (rc != SQLITE_ROW) return Fail(rc, Op::Read);
    *count = static_cast<uint32_t>(q.ColInt(0));
    return ERROR_SUCCESS;
  });
}

// ---------------------------------------------------------------------------
// Transactions

long SqliteRegistry::BeginTransaction() {
  // The thread that begins holds the hive until the transaction ends: other
  // threads wait, and never see or write into half of it.
  std::unique_lock lock(mutex_);
  if (!db_) return ERROR_INVALID_HANDLE;
  if (inTx_) return ERROR_INVALID_PARAMETER;
  int rc = Exec("BEGIN IMMEDIATE");
  for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
    Backoff(attempt);
    rc = Exec("BEGIN IMMEDIATE");
  }
  if (rc != SQLITE_OK) return Fail(rc, Op::Write);
  inTx_ = true;
  txBroken_ = false;
  lock.release();
  return ERROR_SUCCESS;
}

long SqliteRegistry::CommitTransaction() {
  std::lock_guard lock(mutex_);
  if (!db_) return ERROR_INVALID_HANDLE;
  if (!inTx_) return ERROR_INVALID_PARAMETER;
  bool lost = TransactionLost();
  inTx_ = false;
  txBroken_ = false;
  mutex_.unlock();  // the hold taken by BeginTransaction
  if (lost) return ERROR_CANTWRITE;
  int rc = CommitWithRetry();
  if (rc != SQLITE_OK) {
    if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
    return Fail(rc, Op::Write);
  }
  return ERROR_SUCCESS;
}

long SqliteRegistry::RollbackTransaction() {
  std::lock_guard lock(mutex_);
  if (!db_) return ERROR_INVALID_HANDLE;
  if (!inTx_) return ERROR_INVALID_PARAMETER;
  inTx_ = false;
  txBroken_ = false;
  mutex_.unlock();  // the hold taken by BeginTransaction
  if (!sqlite3_get_autocommit(db_)) {
    int rc = Exec("ROLLBACK");
    if (rc != SQLITE_OK) return Fail(rc, Op::Write);
  }
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Opening the file

struct HiveOpener {
  enum class Verdict { Ok, Created, Damaged, Unreadable, Newer, Transient, Refused };
  struct Attempt {
    Verdict verdict = Verdict::Transient;
    std::unique_ptr<SqliteRegistry> hive;
    std::string detail;
    int64_t version = 0;
  };

  struct SchemaInfo {
    int64_t version = 0;
    int64_t appId = 0;
    int64_t objects = 0;
    bool Empty() const { return version == 0 && objects == 0; }
    bool Ours() const { return version == kHiveSchemaVersion && appId == kHiveAppId; }
  };

  static int ReadSchemaInfo(sqlite3* db, SchemaInfo* info) {
    int rc = QueryInt(db, "PRAGMA user_version", &info->version);
    if (rc == SQLITE_OK) rc = QueryInt(db, "PRAGMA application_id", &info->appId);
    if (rc == SQLITE_OK) rc = QueryInt(db, "SELECT count(*) FROM sqlite_schema", &info->objects);
    return rc;
  }

  // Runs a statement to its end, collecting the first column; tried again while
  // another program holds the file locked.
  static int Rows(sqlite3* db, const char* sql, std::vector<std::string>* rows) {
    for (int attempt = 0;; ++attempt) {
      rows->clear();
      sqlite3_stmt* s = nullptr;
      int rc = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
      if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
          const unsigned char* t = sqlite3_column_text(s, 0);
          rows->emplace_back(t ? reinterpret_cast<const char*>(t) : "");
        }
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
      }
      sqlite3_finalize(s);
      if (!IsBusy(rc) || attempt >= kBusyRetries) return rc;
      Backoff(attempt);
    }
  }

  static void HandsOff(sqlite3* db, bool on) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, on ? 1 : 0, nullptr);
    int persist = on ? 1 : 0;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  }

  static Attempt Fail(Verdict v, sqlite3* db, std::string detail) {
    if (db) sqlite3_close_v2(db);
    Attempt a;
    a.verdict = v;
    a.detail = std::move(detail);
    return a;
  }

  static Verdict Classify(int rc) {
    if (IsDamage(rc)) return Verdict::Damaged;
    int primary = rc & 0xff;
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_PERM || primary == SQLITE_READONLY ||
        primary == SQLITE_AUTH)
      return Verdict::Unreadable;
    return Verdict::Transient;
  }

  static Attempt Try(const std::string& path) {
    // A link, or a file made read-only, is used as nothing: it stays as it is.
    for (const std::string& p : {path, path + "-wal", path + "-shm", path + "-journal"}) {
      if (std::string why = Unusable(p); !why.empty()) return Fail(Verdict::Refused, nullptr, why);
    }
    struct stat st;
    bool missing = lstat(path.c_str(), &st) != 0;
    bool fresh = missing || (S_ISREG(st.st_mode) && st.st_size == 0);
    if (missing) {
      // Made here first so that it never exists with looser permissions.
      int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0)
        close(fd);
      else if (errno != EEXIST)
        return Fail(Verdict::Transient, nullptr, std::strerror(errno));
      if (lstat(path.c_str(), &st) != 0)
        return Fail(Verdict::Transient, nullptr, std::strerror(errno));
    }
    // The file's mode is set once it has proved to be a sound hive of ours:
    // one that is moved aside stays exactly as it was.
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK) {
      std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      return Fail(Classify(rc), db, why);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (sqlite3_db_readonly(db, "main") == 1)
      return Fail(Verdict::Unreadable, db, "the file cannot be written");
    // Until the file is known to be sound, closing it must change nothing: no
    // checkpoint into it, and its -wal stays where it is.
    HandsOff(db, true);

    // The whole file is read once; damage anywhere shows here.
    std::vector<std::string> rows;
    rc = Rows(db, "PRAGMA quick_check", &rows);
    if (rc != SQLITE_OK) return Fail(Classify(rc), db, sqlite3_errmsg(db));
    for (const std::string& row : rows)
      if (row != "ok") return Fail(Verdict::Damaged, db, row);

    // Whose file is it? Read before anything is written to it.
    SchemaInfo info;
    rc = ReadSchemaInfo(db, &info);
    if (rc != SQLITE_OK) return Fail(Classify(rc), db, sqlite3_errmsg(db));
    if (info.version > kHiveSchemaVersion) {
      Attempt a = Fail(Verdict::Newer, db, "format " + std::to_string(info.version));
      a.version = info.version;
      return a;
    }
    if (!info.Empty() && !info.Ours())
      return Fail(Verdict::Damaged, db, "not a settings file of this program");

    // WAL lets readers and one writer work at once, across processes.
    rows.clear();
    rc = Rows(db, "PRAGMA journal_mode = WAL", &rows);
    if (rc != SQLITE_OK) return Fail(Classify(rc), db, sqlite3_errmsg(db));
    TightenCompanions(path);

    // Schema: made on a new file, checked again under the write lock, so that
    // two programs starting at once do not both make it.
    rc = ExecOn(db, "BEGIN IMMEDIATE");
    for (int attempt = 0; IsBusy(rc) && attempt < kBusyRetries; ++attempt) {
      Backoff(attempt);
      rc = ExecOn(db, "BEGIN IMMEDIATE");
    }
    if (rc != SQLITE_OK) return Fail(Classify(rc), db, sqlite3_errmsg(db));
    rc = ReadSchemaInfo(db, &info);
    if (rc != SQLITE_OK) {
      ExecOn(db, "ROLLBACK");
      return Fail(Classify(rc), db, sqlite3_errmsg(db));
    }
    if (info.Empty()) {
      rc = CreateSchema(db);
      if (rc != SQLITE_OK) {
        ExecOn(db, "ROLLBACK");
        return Fail(Classify(rc), db, sqlite3_errmsg(db));
      }
      fresh = true;
    } else if (!info.Ours()) {
      ExecOn(db, "ROLLBACK");
      return Fail(Verdict::Damaged, db, "not a settings file of this program");
    } else {
      // A root row lost to a hand edit is put back.
      rc = ExecOn(db,
                  "INSERT INTO reg_keys(path, folded) SELECT '', ''"
                  " WHERE NOT EXISTS (SELECT 1 FROM reg_keys WHERE folded = '')");
      if (rc != SQLITE_OK) {
        ExecOn(db, "ROLLBACK");
        return Fail(Classify(rc) == Verdict::Transient ? Verdict::Transient : Verdict::Damaged, db,
                    sqlite3_errmsg(db));
      }
    }
    rc = ExecOn(db, "COMMIT");
    if (rc != SQLITE_OK) {
      ExecOn(db, "ROLLBACK");
      return Fail(Classify(rc), db, sqlite3_errmsg(db));
    }
    ExecOn(db, "PRAGMA foreign_keys = ON");
    HandsOff(db, false);

    Attempt a;
    a.hive.reset(new SqliteRegistry(db, path));
    for (const char* sql : kAllStatements) {
      if (!a.hive->Prepare(sql)) {
        std::string why = sqlite3_errmsg(db);
        a.hive.reset();  // closes db
        return Fail(Verdict::Damaged, nullptr, "unexpected tables: " + why);
      }
    }
    Tighten(path, 0600);
    for (const char* c : kCompanions) Tighten(path + c, 0600);
    TightenCompanions(path);
    a.verdict = fresh ? Verdict::Created : Verdict::Ok;
    return a;
  }
};

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

HiveOpenResult Temporary(HiveStatus status, std::string message) {
  HiveOpenResult r;
  r.status = status;
  r.hive = SqliteRegistry::CreateTemporary();
  r.message = std::move(message);
  return r;
}

std::string NotSavedTail() {
  return " Tessivane starts with its default settings and does not save changes in this "
         "session.";
}

}  // namespace

HiveOpenResult OpenHive(const std::string& path, std::time_t now) {
  using Verdict = HiveOpener::Verdict;
  if (path.empty())
    return Temporary(
        HiveStatus::Unavailable,
        "The settings file cannot be placed: no home directory is known." + NotSavedTail());
  std::string dir = DirName(path);
  if (!MakeDirs(dir, 0700))
    return Temporary(HiveStatus::Unavailable, "The settings folder " + Quoted(dir) +
                                                  " cannot be made (" + std::strerror(errno) +
                                                  ")." + NotSavedTail());
  Tighten(dir, 0700, true);

  // One program at a time checks (and if need be replaces) the file, so that a
  // second one never moves aside the fresh hive the first has just made.
  int lockFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lockFd >= 0) flock(lockFd, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) close(fd);  // releases the lock
    }
  } unlock{lockFd};

  HiveOpener::Attempt first = HiveOpener::Try(path);
  HiveOpenResult result;
  switch (first.verdict) {
    case Verdict::Ok:
    case Verdict::Created:
      result.status = first.verdict == Verdict::Ok ? HiveStatus::Opened : HiveStatus::Created;
      result.hive = std::move(first.hive);
      return result;
    case Verdict::Newer:
      return Temporary(HiveStatus::NewerSchema,
                       "The settings file " + Quoted(path) +
                           " was written by a newer version of Tessivane (" + first.detail +
                           ") and is left as it is." + NotSavedTail());
    case Verdict::Transient:
      return Temporary(HiveStatus::Unavailable, "The settings file " + Quoted(path) +
                                                    " cannot be used at the moment (" +
                                                    first.detail + ")." + NotSavedTail());
    case Verdict::Refused:
      return Temporary(HiveStatus::Unavailable, "The settings file " + Quoted(path) +
                                                    " cannot be used: " + first.detail +
                                                    ". It is left as it is." + NotSavedTail());
    case Verdict::Damaged:
    case Verdict::Unreadable:
      break;
  }

  std::string error;
  std::string aside = MoveAside(path, now ? now : std::time(nullptr), &error);
  if (aside.empty())
    return Temporary(HiveStatus::Unavailable,
                     "The settings file " + Quoted(path) + " is damaged (" + first.detail +
                         ") and cannot be moved aside (" + error + ")." + NotSavedTail());
  std::string what = first.verdict == Verdict::Damaged ? " is damaged (" + first.detail + ")"
                                                       : " cannot be opened (" + first.detail + ")";
  HiveOpener::Attempt second = HiveOpener::Try(path);
  if (second.verdict != Verdict::Ok && second.verdict != Verdict::Created) {
    HiveOpenResult r = Temporary(
        HiveStatus::Unavailable,
        "The settings file " + Quoted(path) + what + "; it was renamed to " + Quoted(aside) +
            ", but a new one cannot be made (" + second.detail + ")." + NotSavedTail());
    r.asidePath = aside;
    return r;
  }
  result.status = HiveStatus::Recovered;
  result.hive = std::move(second.hive);
  result.asidePath = aside;
  result.message = "The settings file " + Quoted(path) + what + ". It was renamed to " +
                   Quoted(aside) + " and Tessivane starts with its default settings.";
  return result;
}

}  // namespace vantrel
