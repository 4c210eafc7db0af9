// The SQLite hive on real files in a private XDG_CONFIG_HOME.

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <thread>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/TempConfigHome.h"
#include "platform/linux/SqliteRegistry.h"

namespace vantrel {
namespace {

using testing::ReadFileBytes;
using testing::TempConfigHome;
using testing::WriteFileBytes;
constexpr RootKey HKCU = RootKey::CurrentUser;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

mode_t ModeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

// Runs SQL on the file behind the hive's back (a hand edit).
void RawSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(db);
}

std::vector<std::string> RawColumn(const std::string& path, const char* sql) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return out;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(s, 0);
      out.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

std::vector<std::string> ValueNames(IRegistry& reg, std::string_view key) {
  std::vector<std::string> names;
  RegValue v;
  for (uint32_t i = 0; reg.EnumValue(HKCU, key, i, &v) == ERROR_SUCCESS; ++i)
    names.push_back(v.name);
  return names;
}

class HiveTest : public ::testing::Test {
 protected:
  std::unique_ptr<SqliteRegistry> Open(HiveStatus expected = HiveStatus::Opened) {
    HiveOpenResult r = OpenHive(home.hivePath());
    EXPECT_EQ(r.status, expected) << r.message;
    EXPECT_FALSE(r.hive->isTemporary());
    return std::move(r.hive);
  }
  TempConfigHome home;
};

TEST_F(HiveTest, DefaultPathFollowsXdgConfigHome) {
  EXPECT_EQ(DefaultHivePath(), home.dir() + "/Korbelund/registry.sqlite");
  const char* oldHome = getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(DefaultHivePath(), "/home/someone/.config/Korbelund/registry.sqlite");
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST_F(HiveTest, ValuesSurviveARestartWithTypesAndLengthsExact) {
  const std::vector<uint8_t> binary = {0, 1, 2, 0, 255};
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, "Software\\Korbelund\\Tessivane\\Option"), ERROR_SUCCESS);
    const char* key = "Software\\Korbelund\\Tessivane\\Option";
    EXPECT_EQ(hive->SetValue(HKCU, key, "Text", REG_SZ, RegStringBytes("hello")), ERROR_SUCCESS);
    EXPECT_EQ(hive->SetValue(HKCU, key, "Num", REG_DWORD, RegDwordBytes(0xDEADBEEF)),
              ERROR_SUCCESS);
    EXPECT_EQ(hive->SetValue(HKCU, key, "Bin", REG_BINARY, binary), ERROR_SUCCESS);
    EXPECT_EQ(hive->SetValue(HKCU, key, "Empty", REG_BINARY, {}), ERROR_SUCCESS);
    // A string written without its terminator keeps exactly the bytes given.
    EXPECT_EQ(hive->SetValue(HKCU, key, "Raw", REG_SZ, Bytes("ab")), ERROR_SUCCESS);
  }
  auto hive = Open(HiveStatus::Opened);
  const char* key = "Software\\Korbelund\\Tessivane\\Option";
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, key, "Text", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.type, REG_SZ);
  EXPECT_EQ(v.data, RegStringBytes("hello"));
  ASSERT_EQ(hive->QueryValue(HKCU, key, "Num", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.type, REG_DWORD);
  EXPECT_EQ(v.data, RegDwordBytes(0xDEADBEEF));
  ASSERT_EQ(hive->QueryValue(HKCU, key, "Bin", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.type, REG_BINARY);
  EXPECT_EQ(v.data, binary);
  ASSERT_EQ(hive->QueryValue(HKCU, key, "Empty", &v), ERROR_SUCCESS);
  EXPECT_TRUE(v.data.empty());
  ASSERT_EQ(hive->QueryValue(HKCU, key, "Raw", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, Bytes("ab"));
}

TEST_F(HiveTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  auto hive = Open(HiveStatus::Created);
  ASSERT_EQ(hive->CreateKey(HKCU, "Software\\Korbelund"), ERROR_SUCCESS);
  ASSERT_EQ(hive->CreateKey(HKCU, "SOFTWARE\\korbelund\\Tessivane\\"), ERROR_SUCCESS);
  EXPECT_EQ(hive->OpenKey(HKCU, "software\\KORBELUND\\tessivane"), ERROR_SUCCESS);
  EXPECT_EQ(hive->OpenKey(HKCU, "\\Software\\Korbelund\\Tessivane"), ERROR_SUCCESS);

  const char* key = "Software\\Korbelund\\Tessivane";
  ASSERT_EQ(hive->SetValue(HKCU, key, "AutoRespond", REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);
  ASSERT_EQ(hive->SetValue(HKCU, key, "Other", REG_DWORD, RegDwordBytes(7)), ERROR_SUCCESS);
  ASSERT_EQ(hive->SetValue(HKCU, "software\\korbelund\\TESSIVANE", "AUTORESPOND", REG_DWORD,
                           RegDwordBytes(0)),
            ERROR_SUCCESS);
  uint32_t count = 0;
  ASSERT_EQ(hive->QueryValueCount(HKCU, key, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 2u);
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, key, "autorespond", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.name, "AutoRespond");
  EXPECT_EQ(v.data, RegDwordBytes(0));
  // Overwriting keeps the value's place.
  EXPECT_EQ(ValueNames(*hive, key), (std::vector<std::string>{"AutoRespond", "Other"}));

  // Only ASCII letters fold: these are two different names.
  ASSERT_EQ(hive->SetValue(HKCU, key, "\xc3\xa4", REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);
  EXPECT_EQ(hive->QueryValue(HKCU, key, "\xc3\x84", &v), ERROR_FILE_NOT_FOUND);

  hive->Close();
  EXPECT_EQ(RawColumn(home.hivePath(), "SELECT path FROM reg_keys ORDER BY id"),
            (std::vector<std::string>{"", "Software", "Software\\Korbelund",
                                      "Software\\Korbelund\\Tessivane"}));
}

TEST_F(HiveTest, MissingThingsAndBadArgumentsGiveWin32Codes) {
  auto hive = Open(HiveStatus::Created);
  RegValue v;
  uint32_t count = 0;
  EXPECT_EQ(hive->OpenKey(HKCU, "Software\\Nothing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->QueryValue(HKCU, "Software\\Nothing", "v", &v), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->SetValue(HKCU, "Software\\Nothing", "v", REG_SZ, RegStringBytes("x")),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->OpenKey(HKCU, "Software\\Nothing"), ERROR_FILE_NOT_FOUND);  // not made by it
  EXPECT_EQ(hive->DeleteKey(HKCU, "Software\\Nothing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->QueryValueCount(HKCU, "Software\\Nothing", &count), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->EnumValue(HKCU, "Software\\Nothing", 0, &v), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
  EXPECT_EQ(hive->QueryValue(HKCU, "Software\\K", "v", &v), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->DeleteValue(HKCU, "Software\\K", "v"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->EnumValue(HKCU, "Software\\K", 0, &v), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(hive->QueryValueCount(HKCU, "Software\\K", &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(hive->CreateKey(HKCU, "Software\\\\K"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->CreateKey(HKCU, std::string(256, 'k')), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->CreateKey(HKCU, std::string_view("A\0B", 3)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->SetValue(HKCU, "Software\\K", std::string_view("a\0b", 3), REG_SZ, {}),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->QueryValueCount(HKCU, "Software\\K", nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->DeleteKey(HKCU, ""), ERROR_ACCESS_DENIED);
  // The hive is HKEY_CURRENT_USER only.
  EXPECT_EQ(hive->OpenKey(RootKey::LocalMachine, "Software\\K"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->CreateKey(RootKey::LocalMachine, "Software\\K"), ERROR_ACCESS_DENIED);

  hive->Close();
  EXPECT_EQ(hive->OpenKey(HKCU, "Software\\K"), ERROR_INVALID_HANDLE);
}

TEST_F(HiveTest, DeletingAKeyTakesItsSubkeysAndValuesButNoNeighbours) {
  auto hive = Open(HiveStatus::Created);
  for (const char* k : {"A\\B\\C\\D", "A\\B2", "AB", "A\\B[x", "A\\B]x", "A\\Bx"})
    ASSERT_EQ(hive->CreateKey(HKCU, k), ERROR_SUCCESS) << k;
  for (const char* k : {"A", "A\\B", "A\\B\\C", "A\\B\\C\\D", "A\\B2", "AB", "A\\B[x", "A\\B]x"})
    ASSERT_EQ(hive->SetValue(HKCU, k, "v", REG_SZ, RegStringBytes(k)), ERROR_SUCCESS) << k;

  EXPECT_EQ(hive->DeleteKey(HKCU, "a\\b"), ERROR_SUCCESS);

  for (const char* k : {"A\\B", "A\\B\\C", "A\\B\\C\\D"})
    EXPECT_EQ(hive->OpenKey(HKCU, k), ERROR_FILE_NOT_FOUND) << k;
  for (const char* k : {"A", "A\\B2", "AB", "A\\B[x", "A\\B]x", "A\\Bx"})
    EXPECT_EQ(hive->OpenKey(HKCU, k), ERROR_SUCCESS) << k;
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, "A\\B2", "v", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegStringBytes("A\\B2"));
  hive->Close();
  // Nothing of the deleted keys is left behind in the file.
  EXPECT_EQ(RawColumn(home.hivePath(), "SELECT count(*) FROM reg_values"),
            (std::vector<std::string>{"5"}));
}

TEST_F(HiveTest, ValuesEnumerateInInsertionOrderAcrossRestarts) {
  const char* key = "Software\\Korbelund\\Tessivane\\SavedMsg";
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, key), ERROR_SUCCESS);
    for (const char* n : {"Zeta", "alpha", "Mid", "beta"})
      ASSERT_EQ(hive->SetValue(HKCU, key, n, REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);
    ASSERT_EQ(hive->DeleteValue(HKCU, key, "ALPHA"), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, key, "zeta", REG_DWORD, RegDwordBytes(2)), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, key, "alpha", REG_DWORD, RegDwordBytes(3)), ERROR_SUCCESS);
  }
  auto hive = Open();
  EXPECT_EQ(ValueNames(*hive, key), (std::vector<std::string>{"Zeta", "Mid", "beta", "alpha"}));
  uint32_t count = 0;
  ASSERT_EQ(hive->QueryValueCount(HKCU, key, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, 4u);
  RegValue v;
  EXPECT_EQ(hive->EnumValue(HKCU, key, 4, &v), ERROR_NO_MORE_ITEMS);
}

TEST_F(HiveTest, RolledBackTransactionLeavesTheOldContent) {
  auto hive = Open(HiveStatus::Created);
  const char* key = "Software\\T";
  ASSERT_EQ(hive->CreateKey(HKCU, key), ERROR_SUCCESS);
  ASSERT_EQ(hive->CreateKey(HKCU, "Software\\T\\Keep"), ERROR_SUCCESS);
  ASSERT_EQ(hive->SetValue(HKCU, key, "a", REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);

  ASSERT_EQ(hive->BeginTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(hive->BeginTransaction(), ERROR_INVALID_PARAMETER);  // no nesting
  EXPECT_EQ(hive->SetValue(HKCU, key, "a", REG_DWORD, RegDwordBytes(2)), ERROR_SUCCESS);
  EXPECT_EQ(hive->CreateKey(HKCU, "Software\\T\\New"), ERROR_SUCCESS);
  EXPECT_EQ(hive->DeleteKey(HKCU, "Software\\T\\Keep"), ERROR_SUCCESS);
  // A failing operation inside leaves the transaction usable.
  EXPECT_EQ(hive->SetValue(HKCU, "Software\\Missing", "x", REG_SZ, {}), ERROR_FILE_NOT_FOUND);
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, key, "a", &v), ERROR_SUCCESS);  // sees its own write
  EXPECT_EQ(v.data, RegDwordBytes(2));
  EXPECT_EQ(hive->RollbackTransaction(), ERROR_SUCCESS);

  ASSERT_EQ(hive->QueryValue(HKCU, key, "a", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegDwordBytes(1));
  EXPECT_EQ(hive->OpenKey(HKCU, "Software\\T\\New"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(hive->OpenKey(HKCU, "Software\\T\\Keep"), ERROR_SUCCESS);
  EXPECT_EQ(hive->CommitTransaction(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(hive->RollbackTransaction(), ERROR_INVALID_PARAMETER);

  {
    RegTransaction tx(*hive);
    ASSERT_TRUE(tx.ok());
    hive->SetValue(HKCU, key, "a", REG_DWORD, RegDwordBytes(5));
    EXPECT_EQ(tx.Commit(), ERROR_SUCCESS);
  }
  hive.reset();
  hive = Open();
  ASSERT_EQ(hive->QueryValue(HKCU, key, "a", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegDwordBytes(5));
}

TEST_F(HiveTest, AnotherThreadSeesNoHalfOfATransaction) {
  auto hive = Open(HiveStatus::Created);
  const char* key = "Software\\T";
  ASSERT_EQ(hive->CreateKey(HKCU, key), ERROR_SUCCESS);
  ASSERT_EQ(hive->SetValue(HKCU, key, "a", REG_SZ, RegStringBytes("old")), ERROR_SUCCESS);

  ASSERT_EQ(hive->BeginTransaction(), ERROR_SUCCESS);
  ASSERT_EQ(hive->SetValue(HKCU, key, "a", REG_SZ, RegStringBytes("new")), ERROR_SUCCESS);
  std::atomic<bool> read{false};
  RegValue seen;
  long endedByOther = ERROR_SUCCESS;
  std::thread other([&] {
    hive->QueryValue(HKCU, key, "a", &seen);  // waits for the transaction
    read = true;
    endedByOther = hive->RollbackTransaction();  // not its transaction
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(read);
  // The transaction's own thread goes on meanwhile.
  ASSERT_EQ(hive->SetValue(HKCU, key, "b", REG_SZ, RegStringBytes("2")), ERROR_SUCCESS);
  ASSERT_EQ(hive->CommitTransaction(), ERROR_SUCCESS);
  other.join();
  EXPECT_TRUE(read);
  EXPECT_EQ(seen.data, RegStringBytes("new"));
  EXPECT_EQ(endedByOther, ERROR_INVALID_PARAMETER);

  // Closed inside a transaction: the other threads are not left waiting.
  ASSERT_EQ(hive->BeginTransaction(), ERROR_SUCCESS);
  hive->Close();
  std::thread after([&] { EXPECT_EQ(hive->OpenKey(HKCU, key), ERROR_INVALID_HANDLE); });
  after.join();
}

TEST_F(HiveTest, AProcessDyingInsideATransactionLeavesTheOldContent) {
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, "Software\\T"), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, "Software\\T", "a", REG_SZ, RegStringBytes("old")),
              ERROR_SUCCESS);
  }
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HiveOpenResult r = OpenHive(home.hivePath());
    r.hive->BeginTransaction();
    r.hive->SetValue(HKCU, "Software\\T", "a", REG_SZ, RegStringBytes("new"));
    r.hive->DeleteKey(HKCU, "Software\\T");
    _exit(0);  // no commit, no close
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  auto hive = Open();
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, "Software\\T", "a", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegStringBytes("old"));
}

TEST_F(HiveTest, FolderIsPrivateAndFilesAreOwnerOnlyWhateverTheUmask) {
  mode_t old = umask(0);
  auto hive = Open(HiveStatus::Created);
  umask(old);
  ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
  std::string dir = home.dir() + "/Korbelund";
  EXPECT_EQ(ModeOf(dir), 0700u);
  EXPECT_EQ(ModeOf(home.hivePath()), 0600u);
  ASSERT_TRUE(std::filesystem::exists(home.hivePath() + "-wal"));
  EXPECT_EQ(ModeOf(home.hivePath() + "-wal"), 0600u);
  EXPECT_EQ(ModeOf(home.hivePath() + "-shm"), 0600u);
  hive.reset();

  // Loosened by someone else: tightened at the next open.
  chmod(dir.c_str(), 0755);
  chmod(home.hivePath().c_str(), 0644);
  hive = Open();
  EXPECT_EQ(ModeOf(dir), 0700u);
  EXPECT_EQ(ModeOf(home.hivePath()), 0600u);
}

TEST_F(HiveTest, StoredRowsEditedByHandDoNotCrashReads) {
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, "Software\\K", "t", REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, "Software\\K", "d", REG_DWORD, RegDwordBytes(1)), ERROR_SUCCESS);
  }
  RawSql(home.hivePath(),
         "UPDATE reg_values SET type = -5 WHERE name = 't';"
         "UPDATE reg_values SET data = 'text' WHERE name = 'd';");
  auto hive = Open();
  RegValue v;
  EXPECT_EQ(hive->QueryValue(HKCU, "Software\\K", "t", &v), ERROR_BADDB);
  ASSERT_EQ(hive->QueryValue(HKCU, "Software\\K", "d", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, Bytes("text"));
}

// ---------------------------------------------------------------------------
// Damaged, foreign and newer files

class DamagedHiveTest : public HiveTest {
 protected:
  static constexpr std::time_t kNow = 1066633507;
  std::string AsideName(int n = 0) {
    struct tm tm {};
    std::time_t now = kNow;
    localtime_r(&now, &tm);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    std::string name = home.hivePath() + ".corrupt-" + stamp;
    if (n) name += "-" + std::to_string(n);
    return name;
  }
  void MakeDir() { std::filesystem::create_directories(home.dir() + "/Korbelund"); }
  // A fresh hive took the damaged one's place: empty, usable, and saved to disk.
  void ExpectFreshHive(SqliteRegistry& hive) {
    EXPECT_EQ(hive.OpenKey(HKCU, "Software\\Korbelund\\Tessivane"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive.CreateKey(HKCU, "Software\\Korbelund\\Tessivane"), ERROR_SUCCESS);
    EXPECT_FALSE(hive.isTemporary());
  }
};

TEST_F(DamagedHiveTest, GarbageIsMovedAsideIntactAndAFreshHiveStarts) {
  MakeDir();
  std::string garbage(5000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37 + 11);
  WriteFileBytes(home.hivePath(), garbage);
  WriteFileBytes(home.hivePath() + "-wal", "not a wal either");
  // Names taken already are never overwritten.
  WriteFileBytes(AsideName(), "keep me");
  WriteFileBytes(AsideName(1) + "-wal", "keep me too");

  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::Recovered) << r.message;
  EXPECT_EQ(r.asidePath, AsideName(2));
  EXPECT_EQ(ReadFileBytes(AsideName(2)), garbage);
  EXPECT_EQ(ReadFileBytes(AsideName(2) + "-wal"), "not a wal either");
  EXPECT_EQ(ReadFileBytes(AsideName()), "keep me");
  EXPECT_EQ(ReadFileBytes(AsideName(1) + "-wal"), "keep me too");
  EXPECT_FALSE(std::filesystem::exists(AsideName(1)));
  EXPECT_NE(r.message.find(AsideName(2)), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("default settings"), std::string::npos) << r.message;
  ExpectFreshHive(*r.hive);
  r.hive.reset();

  // The next start finds a sound hive and has nothing to say.
  HiveOpenResult again = OpenHive(home.hivePath(), kNow);
  EXPECT_EQ(again.status, HiveStatus::Opened);
  EXPECT_TRUE(again.message.empty());
  EXPECT_EQ(again.hive->OpenKey(HKCU, "Software\\Korbelund\\Tessivane"), ERROR_SUCCESS);
}

TEST_F(DamagedHiveTest, AHiveDamagedInsideIsFoundAtOpen) {
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
    std::vector<uint8_t> big(3000, 0x41);
    for (int i = 0; i < 40; ++i)
      ASSERT_EQ(hive->SetValue(HKCU, "Software\\K", "v" + std::to_string(i), REG_BINARY, big),
                ERROR_SUCCESS);
  }  // closed: everything is in the main file
  ASSERT_FALSE(std::filesystem::exists(home.hivePath() + "-wal"));
  std::string bytes = ReadFileBytes(home.hivePath());
  ASSERT_GT(bytes.size(), 8192u);
  // Scribble over the second page (a b-tree page) and leave the header alone.
  for (size_t i = 4096; i < 4096 + 600; ++i) bytes[i] = static_cast<char>(0xA5 ^ i);
  WriteFileBytes(home.hivePath(), bytes);

  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::Recovered) << r.message;
  EXPECT_EQ(ReadFileBytes(r.asidePath), bytes);
  ExpectFreshHive(*r.hive);
}

TEST_F(DamagedHiveTest, ASqliteFileOfAnotherKindIsNotTakenForTheHive) {
  MakeDir();
  RawSql(home.hivePath(), "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('mine');");
  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::Recovered) << r.message;
  EXPECT_EQ(RawColumn(r.asidePath, "SELECT t FROM notes"), (std::vector<std::string>{"mine"}));
  ExpectFreshHive(*r.hive);
}

TEST_F(DamagedHiveTest, AnUnopenableFileIsMovedAsideToo) {
  // A folder cannot be opened as a database.
  std::filesystem::create_directories(home.hivePath());
  WriteFileBytes(home.hivePath() + "/inside", "kept");
  chmod(home.hivePath().c_str(), 0755);
  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::Recovered) << r.message;
  EXPECT_NE(r.message.find("cannot be opened"), std::string::npos) << r.message;
  EXPECT_EQ(ReadFileBytes(r.asidePath + "/inside"), "kept");
  EXPECT_EQ(ModeOf(r.asidePath), 0755u);  // left exactly as it was: its owner can still enter it
  ExpectFreshHive(*r.hive);
}

TEST_F(DamagedHiveTest, ADamagedFileSetAsideKeepsItsMode) {
  MakeDir();
  WriteFileBytes(home.hivePath(), std::string(3000, 'x'));
  chmod(home.hivePath().c_str(), 0644);
  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::Recovered) << r.message;
  EXPECT_EQ(ModeOf(r.asidePath), 0644u);
  EXPECT_EQ(ModeOf(home.hivePath()), 0600u);  // the fresh one is private
}

// A link where the hive or one of its companions belongs, or a hive its owner
// made read-only, is not used and not touched: the program runs on defaults.
TEST_F(DamagedHiveTest, LinksAndReadOnlyHivesAreLeftAloneAndNotUsed) {
  MakeDir();
  const std::string elsewhere = home.dir() + "/elsewhere";
  auto expectRefused = [&](const char* why) {
    HiveOpenResult r = OpenHive(home.hivePath(), kNow);
    EXPECT_EQ(r.status, HiveStatus::Unavailable) << why;
    EXPECT_TRUE(r.hive->isTemporary()) << why;
    EXPECT_NE(r.message.find(why), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("does not save"), std::string::npos) << r.message;
    EXPECT_TRUE(r.asidePath.empty());
    return r;
  };

  // A link to an empty file of the user's: nothing is written into it.
  WriteFileBytes(elsewhere, "");
  chmod(elsewhere.c_str(), 0644);
  ASSERT_EQ(symlink(elsewhere.c_str(), home.hivePath().c_str()), 0);
  expectRefused("symbolic link");
  EXPECT_EQ(ReadFileBytes(elsewhere), "");
  EXPECT_EQ(ModeOf(elsewhere), 0644u);
  EXPECT_FALSE(std::filesystem::exists(home.hivePath() + "-wal"));
  // A link to another file: its mode and bytes stay.
  WriteFileBytes(elsewhere, "somebody's notes");
  expectRefused("symbolic link");
  EXPECT_EQ(ReadFileBytes(elsewhere), "somebody's notes");
  EXPECT_EQ(ModeOf(elsewhere), 0644u);
  ASSERT_EQ(unlink(home.hivePath().c_str()), 0);

  // A sound hive whose -wal is a link.
  { auto hive = Open(HiveStatus::Created); }
  WriteFileBytes(elsewhere, "");
  ASSERT_EQ(symlink(elsewhere.c_str(), (home.hivePath() + "-wal").c_str()), 0);
  expectRefused("symbolic link");
  EXPECT_EQ(ModeOf(elsewhere), 0644u);
  EXPECT_EQ(ReadFileBytes(elsewhere), "");
  ASSERT_EQ(unlink((home.hivePath() + "-wal").c_str()), 0);

  // Read-only: not made writable, not written.
  const std::string before = ReadFileBytes(home.hivePath());
  chmod(home.hivePath().c_str(), 0444);
  expectRefused("read-only");
  EXPECT_EQ(ModeOf(home.hivePath()), 0444u);
  EXPECT_EQ(ReadFileBytes(home.hivePath()), before);
}

TEST_F(HiveTest, CompanionsBesideAnotherUsersHiveAreOwnerOnly) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own a hive of another user";
  { auto hive = Open(HiveStatus::Created); }
  for (const char* c : {"-wal", "-shm"}) unlink((home.hivePath() + c).c_str());
  ASSERT_EQ(chown(home.hivePath().c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(home.hivePath().c_str(), 0644), 0);
  auto hive = Open();
  ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
  for (const char* c : {"-wal", "-shm"}) {
    struct stat st;
    ASSERT_EQ(stat((home.hivePath() + c).c_str(), &st), 0) << c;
    EXPECT_EQ(st.st_mode & 07777, 0600u) << c;
    EXPECT_EQ(st.st_uid, 65534u) << c;  // SQLite gives them to the hive's owner
  }
  EXPECT_EQ(ModeOf(home.hivePath()), 0644u);  // another user's file: its mode is theirs
}

TEST_F(DamagedHiveTest, AHiveWithoutItsTablesIsDamaged) {
  { auto hive = Open(HiveStatus::Created); }
  RawSql(home.hivePath(), "DROP TABLE reg_values;");
  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  EXPECT_EQ(r.status, HiveStatus::Recovered) << r.message;
}

TEST_F(DamagedHiveTest, ANewerHiveIsLeftUntouchedAndATemporaryOneStandsIn) {
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
  }
  RawSql(home.hivePath(), "PRAGMA user_version = 2;");
  std::string before = ReadFileBytes(home.hivePath());

  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  ASSERT_EQ(r.status, HiveStatus::NewerSchema);
  EXPECT_TRUE(r.hive->isTemporary());
  EXPECT_NE(r.message.find("newer version"), std::string::npos) << r.message;
  // The stand-in works, but nothing reaches the file.
  EXPECT_EQ(r.hive->OpenKey(HKCU, "Software\\K"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(r.hive->CreateKey(HKCU, "Software\\Other"), ERROR_SUCCESS);
  r.hive.reset();
  EXPECT_EQ(ReadFileBytes(home.hivePath()), before);
  EXPECT_EQ(RawColumn(home.hivePath(), "PRAGMA user_version"), (std::vector<std::string>{"2"}));
  for (const auto& entry : std::filesystem::directory_iterator(home.dir() + "/Korbelund"))
    EXPECT_EQ(entry.path().string().find(".corrupt-"), std::string::npos) << entry.path();
}

TEST_F(DamagedHiveTest, AFolderThatCannotBeMadeGivesATemporaryHive) {
  // A file where the folder should be.
  WriteFileBytes(home.dir() + "/Korbelund", "in the way");
  HiveOpenResult r = OpenHive(home.hivePath(), kNow);
  EXPECT_EQ(r.status, HiveStatus::Unavailable);
  EXPECT_TRUE(r.hive->isTemporary());
  EXPECT_FALSE(r.message.empty());
  EXPECT_EQ(r.hive->CreateKey(HKCU, "Software\\K"), ERROR_SUCCESS);
  EXPECT_EQ(ReadFileBytes(home.dir() + "/Korbelund"), "in the way");
}

// ---------------------------------------------------------------------------
// Several processes at once

// Each child writes its own values one by one and bumps a shared counter in
// transactions; every write of every child must be there afterwards.
TEST_F(HiveTest, AHiveWrittenByProcessesAtOnceLosesNothing) {
  constexpr int kChildren = 4;
  constexpr int kValues = 120;
  constexpr int kIncrements = 30;
  const char* key = "Software\\Korbelund\\Tessivane\\Load";
  {
    auto hive = Open(HiveStatus::Created);
    ASSERT_EQ(hive->CreateKey(HKCU, key), ERROR_SUCCESS);
    ASSERT_EQ(hive->SetValue(HKCU, key, "counter", REG_DWORD, RegDwordBytes(0)), ERROR_SUCCESS);
  }
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      HiveOpenResult r = OpenHive(home.hivePath());
      int failures = r.status == HiveStatus::Opened ? 0 : 100;
      for (int i = 0; i < kValues; ++i) {
        std::string name = "c" + std::to_string(c) + "v" + std::to_string(i);
        if (r.hive->SetValue(HKCU, key, name, REG_SZ, RegStringBytes(name)) != ERROR_SUCCESS)
          ++failures;
        if (i % (kValues / kIncrements) == 0) {
          if (r.hive->BeginTransaction() != ERROR_SUCCESS) {
            ++failures;
            continue;
          }
          RegValue v;
          r.hive->QueryValue(HKCU, key, "counter", &v);
          uint32_t n = v.data.size() == 4 ? static_cast<uint32_t>(v.data[0] | v.data[1] << 8) : 0;
          r.hive->SetValue(HKCU, key, "counter", REG_DWORD, RegDwordBytes(n + 1));
          if (r.hive->CommitTransaction() != ERROR_SUCCESS) ++failures;
        }
      }
      r.hive.reset();
      _exit(failures > 100 ? 100 : failures);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in child " << pid;
  }
  auto hive = Open();
  uint32_t count = 0;
  ASSERT_EQ(hive->QueryValueCount(HKCU, key, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, static_cast<uint32_t>(kChildren * kValues + 1));
  RegValue v;
  ASSERT_EQ(hive->QueryValue(HKCU, key, "counter", &v), ERROR_SUCCESS);
  EXPECT_EQ(v.data, RegDwordBytes(kChildren * kIncrements));
  for (int c = 0; c < kChildren; ++c) {
    for (int i = 0; i < kValues; ++i) {
      std::string name = "c" + std::to_string(c) + "v" + std::to_string(i);
      ASSERT_EQ(hive->QueryValue(HKCU, key, name, &v), ERROR_SUCCESS) << name;
      EXPECT_EQ(v.data, RegStringBytes(name));
    }
  }
}

}  // namespace
}  // namespace vantrel
