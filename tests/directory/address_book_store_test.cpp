// The address book's bulk operations: loading the grid's cells, merging the
// stored computers into the network list, and the save, which replaces the
// whole book or nothing (each write failed in turn on the fake registry; a
// process killed at random moments while saving a large book on the real
// SQLite hive).

#include "directory/AddressBookStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "directory/AddressBook.h"
#include "fakes/FakeRegistry.h"
#include "platform/TempConfigHome.h"
#include "platform/linux/SqliteRegistry.h"

namespace vantrel {
namespace {

constexpr RootKey HKCU = RootKey::CurrentUser;
using Entries = std::vector<std::pair<std::string, std::string>>;  // name, text

// The values of a section as (name, text), in stored order; REG_SZ checked.
Entries Section(IRegistry& reg, std::string_view section) {
  Entries out;
  const std::string path = Profile::SectionPath(section);
  for (uint32_t i = 0;; ++i) {
    RegValue v;
    if (reg.EnumValue(HKCU, path, i, &v) != ERROR_SUCCESS) break;
    EXPECT_EQ(v.type, REG_SZ) << v.name;
    EXPECT_TRUE(!v.data.empty() && v.data.back() == 0) << v.name;
    out.emplace_back(v.name, std::string(v.data.begin(), v.data.end() - (v.data.empty() ? 0 : 1)));
  }
  return out;
}

bool SectionExists(IRegistry& reg, std::string_view section) {
  return reg.OpenKey(HKCU, Profile::SectionPath(section)) == ERROR_SUCCESS;
}

// The four sections as one comparable text.
std::string Book(IRegistry& reg) {
  std::string out;
  for (std::string_view s : {kAliasSection, kAlias1Section, kBlackListSection, kDomainSection}) {
    out += std::string(s) + (SectionExists(reg, s) ? ":" : "(none)");
    for (auto& [name, text] : Section(reg, s)) out += " " + name + "=" + text;
    out += "\n";
  }
  return out;
}

AddressBookTable SampleGrid() {
  AddressBookTable t;
  t.domains = {
      {"HOME main office",
       {{"ALICE Front desk", "al", ""},  // alias only
        {"BOB", "", "12"},               // mask only
        {"CARL", "", ""},                // neither: not in the book
        {"DAVE", "dv", "x"}}},           // both; a mask text that is no number
      {"LAB", {{"EVE", "AL", ""}}},      // the same alias in another case: EVE owns it
  };
  return t;
}

class AddressBookStoreTest : public ::testing::Test {
 protected:
  fakes::FakeRegistry reg;
  Profile profile{reg};
};

TEST_F(AddressBookStoreTest, SaveWritesTheFourSectionsForComputersWithAnAliasOrAMask) {
  ASSERT_TRUE(SaveAddressBook(profile, SampleGrid()));
  EXPECT_EQ(Section(reg, kAliasSection), Entries({{"ALICE", "al"}, {"DAVE", "dv"}, {"EVE", "AL"}}));
  // "al" and "AL" are one value name: the later row's computer owns it.
  EXPECT_EQ(Section(reg, kAlias1Section), Entries({{"al", "EVE"}, {"dv", "DAVE"}}));
  EXPECT_EQ(Section(reg, kBlackListSection), Entries({{"BOB", "12"}, {"DAVE", "x"}}));
  EXPECT_EQ(
      Section(reg, kDomainSection),
      Entries({{"ALICE Front desk", "HOME"}, {"BOB", "HOME"}, {"DAVE", "HOME"}, {"EVE", "LAB"}}));
  // What the lookups make of it.
  EXPECT_EQ(ResolveAlias(profile, "AL"), "EVE");
  EXPECT_EQ(ResolveAlias(profile, "CARL"), "CARL");
  EXPECT_EQ(GetBlackListMask(profile, "bob"), 12);
  EXPECT_EQ(GetBlackListMask(profile, "DAVE"), 0);
}

TEST_F(AddressBookStoreTest, SaveReplacesTheWholeBookAndLeavesEmptySectionsOut) {
  ASSERT_TRUE(SaveAddressBook(profile, SampleGrid()));
  AddressBookTable next = SampleGrid();
  next.domains[0].computers[1].mask = "";  // BOB's mask back to 0: BOB leaves the book
  next.domains[0].computers[0].alias = "";
  next.domains[0].computers[3].alias = "";
  next.domains[1].computers[0].alias = "";
  ASSERT_TRUE(SaveAddressBook(profile, next));
  EXPECT_FALSE(SectionExists(reg, kAliasSection));
  EXPECT_FALSE(SectionExists(reg, kAlias1Section));
  EXPECT_EQ(Section(reg, kBlackListSection), Entries({{"DAVE", "x"}}));
  EXPECT_EQ(Section(reg, kDomainSection), Entries({{"DAVE", "HOME"}}));
  EXPECT_EQ(ResolveAlias(profile, "al"), "al");

  ASSERT_TRUE(SaveAddressBook(profile, AddressBookTable{}));
  EXPECT_EQ(Book(reg), "Alias(none)\nAlias1(none)\nBlackList(none)\nDomain(none)\n");
}

TEST_F(AddressBookStoreTest, RowsWithoutAComputerNameAreNotStored) {
  AddressBookTable t;
  t.domains = {{"HOME", {{"", "a", "1"}, {" comment only", "b", "2"}, {"BOB", "c", ""}}}};
  ASSERT_TRUE(SaveAddressBook(profile, t));
  EXPECT_EQ(Section(reg, kAliasSection), Entries({{"BOB", "c"}}));
  EXPECT_FALSE(SectionExists(reg, kBlackListSection));
}

// Every write of a save failed in turn: the save reports failure and the
// book is exactly the previous one; with no failure it is the new one.
TEST_F(AddressBookStoreTest, AFailedWriteAnywhereInASaveLeavesThePreviousBookWhole) {
  ASSERT_TRUE(SaveAddressBook(profile, SampleGrid()));
  const std::string before = Book(reg);
  AddressBookTable next = SampleGrid();
  next.domains[0].computers[2].alias = "carl";
  next.domains[1].computers.push_back({"FRED", "f", "3"});

  // How many writes the save makes, counted on a copy of the registry.
  fakes::FakeRegistry copy = reg;
  Profile counted(copy);
  const int start = copy.writeCount();
  ASSERT_TRUE(SaveAddressBook(counted, next));
  const int writes = copy.writeCount() - start;
  ASSERT_GT(writes, 10);
  for (int n = 0; n < writes; ++n) {
    reg.FailWriteAfter(n);
    EXPECT_FALSE(SaveAddressBook(profile, next)) << "write " << n << " failed";
    reg.FailWriteAfter(-1);
    ASSERT_EQ(Book(reg), before) << "write " << n << " failed";
  }
  ASSERT_TRUE(SaveAddressBook(profile, next));
  EXPECT_NE(Book(reg), before);
  EXPECT_EQ(ResolveAlias(profile, "f"), "FRED");
}

class FailingCommitRegistry : public fakes::FakeRegistry {
 public:
  long CommitTransaction() override {
    RollbackTransaction();
    return ERROR_CANTWRITE;
  }
};

TEST(AddressBookStore, AFailedCommitOrTransactionReportsFailure) {
  FailingCommitRegistry reg;
  Profile profile(reg);
  ASSERT_TRUE(profile.WriteString(kAliasSection, "OLD", "o"));
  EXPECT_FALSE(SaveAddressBook(profile, SampleGrid()));
  EXPECT_EQ(profile.GetString(kAliasSection, "OLD", ""), "o");

  fakes::FakeRegistry busy;
  Profile p2(busy);
  ASSERT_EQ(busy.BeginTransaction(), ERROR_SUCCESS);  // a transaction already open
  EXPECT_FALSE(SaveAddressBook(p2, SampleGrid()));
}

TEST_F(AddressBookStoreTest, LoadFillsComputerCellsByNameAndKeepsMaskTextsAsStored) {
  ASSERT_TRUE(profile.WriteString(kAliasSection, "alice", "al"));
  ASSERT_TRUE(profile.WriteString(kBlackListSection, "ALICE", "x"));
  ASSERT_TRUE(profile.WriteString(kBlackListSection, "BOB", "5"));
  ASSERT_TRUE(profile.WriteString(kAliasSection, "CARL", ""));
  AddressBookTable t;
  t.domains = {{"HOME", {{"ALICE Front desk", "", ""}, {"BOB", "", ""}, {"CARL", "old", "7"}}},
               {"ALICE", {}}};
  LoadAddressBookCells(profile, t);
  EXPECT_EQ(t.domains[0].computers[0].alias, "al");
  EXPECT_EQ(t.domains[0].computers[0].mask, "x");
  EXPECT_EQ(t.domains[0].computers[1].alias, "");
  EXPECT_EQ(t.domains[0].computers[1].mask, "5");
  // Nothing (or an empty text) stored: the cell stays as it is.
  EXPECT_EQ(t.domains[0].computers[2].alias, "old");
  EXPECT_EQ(t.domains[0].computers[2].mask, "7");
}

TEST_F(AddressBookStoreTest, ASavedBookComesBackThroughMergeAndLoad) {
  ASSERT_TRUE(SaveAddressBook(profile, SampleGrid()));
  // The network now shows only LAB with nobody in it.
  NetworkNameList cache = {"LAB"};
  NetworkNameList working = {"stale"};
  ASSERT_TRUE(MergeStoredComputers(profile, working, cache));
  EXPECT_EQ(working, NetworkNameList({"LAB", "\\\\EVE", "HOME", "\\\\ALICE Front desk", "\\\\BOB",
                                      "\\\\DAVE"}));
  EXPECT_EQ(cache, NetworkNameList({"LAB"}));
  AddressBookTable t;
  t.domains = {{"LAB", {{"EVE", "", ""}}},
               {"HOME", {{"ALICE Front desk", "", ""}, {"BOB", "", ""}, {"DAVE", "", ""}}}};
  LoadAddressBookCells(profile, t);
  EXPECT_EQ(t.domains[0].computers[0].alias, "AL");
  EXPECT_EQ(t.domains[1].computers[0].alias, "al");
  EXPECT_EQ(t.domains[1].computers[1].mask, "12");
  EXPECT_EQ(t.domains[1].computers[2].mask, "x");
}

// ---- Merge -----------------------------------------------------------------

class MergeTest : public AddressBookStoreTest {
 protected:
  void Remember(const std::string& label, const std::string& domain) {
    ASSERT_TRUE(profile.WriteString(kDomainSection, label, domain));
  }
  NetworkNameList working;
};

TEST_F(MergeTest, WithoutTheDomainSectionTheWorkingListIsACopyOfTheCache) {
  working = {"old", "\\\\X"};
  const NetworkNameList cache = {"HOME", "\\\\ALICE"};
  EXPECT_FALSE(MergeStoredComputers(profile, working, cache));
  EXPECT_EQ(working, cache);
  Remember("ALICE", "HOME");  // already listed: nothing added
  EXPECT_FALSE(MergeStoredComputers(profile, working, cache));
  EXPECT_EQ(working, cache);
}

TEST_F(MergeTest, ComputersGoIntoTheirDomainsRunComparedWithRegardToCase) {
  const NetworkNameList cache = {"HOME", "\\\\ALICE Desk", "\\\\BOB", "LAB", "\\\\CARL", "EMPTY"};
  Remember("ALICE other comment", "HOME");  // present by name, whatever the comment
  Remember("bob", "HOME");                  // another case: not the same computer
  Remember("DAVE Printer room", "LAB");
  Remember("ERIC", "EMPTY");  // a listed domain without computers
  Remember("FRED", "home");   // domain names too compare exactly
  ASSERT_TRUE(MergeStoredComputers(profile, working, cache));
  EXPECT_EQ(working,
            NetworkNameList({"HOME", "\\\\ALICE Desk", "\\\\BOB", "\\\\bob", "LAB", "\\\\CARL",
                             "\\\\DAVE Printer room", "EMPTY", "\\\\ERIC", "home", "\\\\FRED"}));
}

TEST_F(MergeTest, OnlyTheFirstOfRepeatedDomainEntriesCountsAndNewDomainsKeepTheirOrder) {
  const NetworkNameList cache = {"\\\\LOOSE", "HOME", "\\\\A", "HOME", "\\\\B"};
  Remember("B", "HOME");  // B is listed under the second HOME only
  Remember("X", "NEW2");
  Remember("Y", "NEW1");
  Remember("Z", "NEW2");
  Remember("LOOSE", "NEW1");  // computers before the first domain belong to none
  ASSERT_TRUE(MergeStoredComputers(profile, working, cache));
  EXPECT_EQ(working, NetworkNameList({"\\\\LOOSE", "HOME", "\\\\A", "\\\\B", "HOME", "\\\\B",
                                      "NEW2", "\\\\X", "\\\\Z", "NEW1", "\\\\Y", "\\\\LOOSE"}));
}

TEST_F(MergeTest, ValuesTheBookNeverWritesOrThatDoNotFitAreSkipped) {
  const std::string path = Profile::SectionPath(kDomainSection);
  Remember(std::string(kMaxStoredLabel, 'N'), "HOME");                  // 255 characters: fits
  Remember(std::string(kMaxStoredLabel + 1, 'M'), "HOME");              // 256: skipped
  Remember("LONGDOMAIN", std::string(kMaxStoredDomainBytes - 1, 'D'));  // 254 + terminator
  Remember("TOOLONG", std::string(kMaxStoredDomainBytes, 'D'));
  Remember("SLASHED", "\\\\HOME");
  ASSERT_EQ(reg.SetValue(HKCU, path, "NUMBER", REG_DWORD, RegDwordBytes(7)), ERROR_SUCCESS);
  ASSERT_EQ(reg.SetValue(HKCU, path, "", REG_SZ, RegStringBytes("HOME")), ERROR_SUCCESS);
  ASSERT_TRUE(MergeStoredComputers(profile, working, {"HOME"}));
  EXPECT_EQ(working,
            NetworkNameList({"HOME", "\\\\" + std::string(kMaxStoredLabel, 'N'),
                             std::string(kMaxStoredDomainBytes - 1, 'D'), "\\\\LONGDOMAIN"}));
}

// ---- The save on the real hive, killed mid-way -----------------------------

// The four sections straight from the file, in stored order.
std::string RawBook(const std::string& file) {
  std::string out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return "?";
  sqlite3_stmt* s = nullptr;
  const char* sql =
      "SELECT k.folded, v.name, v.type, hex(v.data) FROM reg_values v JOIN reg_keys k "
      "ON k.id = v.key_id WHERE k.folded IN ('SOFTWARE\\KORBELUND\\TESSIVANE\\ALIAS', "
      "'SOFTWARE\\KORBELUND\\TESSIVANE\\ALIAS1', 'SOFTWARE\\KORBELUND\\TESSIVANE\\BLACKLIST', "
      "'SOFTWARE\\KORBELUND\\TESSIVANE\\DOMAIN') ORDER BY k.folded, v.id";
  if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      for (int c = 0; c < 4; ++c) {
        const unsigned char* t = sqlite3_column_text(s, c);
        out += t ? reinterpret_cast<const char*>(t) : "";
        out += c < 3 ? '|' : '\n';
      }
    }
  } else {
    out = "?";
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

// A book of n computers over 50 domains; `tag` makes two books differ in
// every alias and mask.
AddressBookTable LargeBook(int n, const std::string& tag) {
  AddressBookTable t;
  for (int d = 0; d < 50; ++d) t.domains.push_back({"DOMAIN" + std::to_string(d), {}});
  for (int i = 0; i < n; ++i) {
    auto& computers = t.domains[static_cast<size_t>(i % 50)].computers;
    const std::string name = "PC" + std::to_string(i);
    computers.push_back({name + " comment " + tag, tag + "alias" + std::to_string(i),
                         std::to_string(1 + (i + static_cast<int>(tag.size())) % 15)});
  }
  return t;
}

TEST(AddressBookStoreHive, AProcessKilledWhileSavingLeavesTheOldBookOrTheNewOneNeverAPart) {
  testing::TempConfigHome home;
  const std::string file = home.hivePath();
  const std::string refFile = home.dir() + "/ref.sqlite";
  const AddressBookTable books[2] = {LargeBook(10000, "a"), LargeBook(10000, "bb")};

  // The exact content of each book, from a hive of its own, and how long a
  // save takes here (the range the kills are spread over).
  std::string expected[2];
  double saveSeconds = 0;
  {
    HiveOpenResult ref = OpenHive(refFile);
    ASSERT_EQ(ref.status, HiveStatus::Created);
    Profile p(*ref.hive);
    for (int b = 0; b < 2; ++b) {
      const auto start = std::chrono::steady_clock::now();
      ASSERT_TRUE(SaveAddressBook(p, books[b]));
      saveSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      expected[b] = RawBook(refFile);
    }
  }
  ASSERT_NE(expected[0], expected[1]);
  ASSERT_GT(std::count(expected[1].begin(), expected[1].end(), '\n'), 30000);
  {
    HiveOpenResult r = OpenHive(file);
    Profile p(*r.hive);
    ASSERT_TRUE(SaveAddressBook(p, books[0]));
  }
  ASSERT_EQ(RawBook(file), expected[0]);

  std::mt19937 rng(20261208);
  int stored = 0, killedInside = 0, iterations = 0;
  double range = saveSeconds * 1.2;
  while (killedInside < 6 && iterations < 25) {
    ++iterations;
    const int target = 1 - stored;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      HiveOpenResult r = OpenHive(file);
      Profile p(*r.hive);
      char c = 'r';
      if (write(fds[1], &c, 1) != 1) _exit(2);
      const bool ok = SaveAddressBook(p, books[target]);
      c = ok ? 'd' : 'f';
      if (write(fds[1], &c, 1) != 1) _exit(2);
      pause();
      _exit(0);
    }
    close(fds[1]);
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);  // the child is about to save
    std::uniform_real_distribution<double> delay(0.0, range);
    std::this_thread::sleep_for(std::chrono::duration<double>(delay(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    const bool finished = read(fds[0], &c, 1) == 1;
    close(fds[0]);
    if (finished) {
      ASSERT_EQ(c, 'd');
      range /= 2;  // this machine saves faster than measured: kill sooner
    } else {
      ++killedInside;
    }

    // The next open finds a sound hive holding one whole book.
    HiveOpenResult r = OpenHive(file);
    ASSERT_EQ(r.status, HiveStatus::Opened) << r.message;
    r.hive.reset();
    const std::string now = RawBook(file);
    if (now == expected[target]) {
      stored = target;
    } else {
      ASSERT_EQ(now, expected[stored]) << "iteration " << iterations << ": a partial book";
      EXPECT_FALSE(finished);
    }
  }
  EXPECT_GE(killedInside, 1);
  RecordProperty("kills_inside_a_save", killedInside);
  RecordProperty("iterations", iterations);
}

}  // namespace
}  // namespace vantrel
