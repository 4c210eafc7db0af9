// Saving the address book on the real SQLite hive (a file in a temporary
// folder): the whole book in one transaction, as SaveAddressBook does,
// against the same values written one at a time, each value its own
// transaction (how a save without the transaction goes).
//
//   bench_address_book_save [VALUES] [REPEATS]     default 10000 values, 3 repeats
//
// A computer with an alias and a mask stores four values (Alias, Alias1,
// BlackList, Domain), so VALUES / 4 computers are saved. Both ways start from
// a stored book of the same size and must leave identical sections; each is
// timed from the first delete to the last write, best of REPEATS.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "directory/AddressBook.h"
#include "directory/AddressBookStore.h"
#include "platform/linux/SqliteRegistry.h"
#include "settings/Profile.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

AddressBookTable Book(int computers, const std::string& tag) {
  AddressBookTable t;
  for (int d = 0; d < 20; ++d) t.domains.push_back({"DOMAIN" + std::to_string(d), {}});
  for (int i = 0; i < computers; ++i) {
    t.domains[static_cast<size_t>(i % 20)].computers.push_back(
        {"PC" + std::to_string(i) + " desk " + tag, tag + "alias" + std::to_string(i),
         std::to_string(1 + i % 15)});
  }
  return t;
}

// The old way: delete the four sections, then every value in a transaction
// of its own.
bool SaveValueByValue(Profile& profile, const IAddressBookGrid& grid) {
  IRegistry& reg = profile.registry();
  for (std::string_view s : {kAliasSection, kAlias1Section, kBlackListSection, kDomainSection})
    reg.DeleteKey(RootKey::CurrentUser, Profile::SectionPath(s));
  for (std::string_view s : {kAliasSection, kAlias1Section, kBlackListSection, kDomainSection})
    if (reg.CreateKey(RootKey::CurrentUser, Profile::SectionPath(s)) != ERROR_SUCCESS) return false;
  auto put = [&](std::string_view section, const std::string& entry, const std::string& text) {
    return reg.SetValue(RootKey::CurrentUser, Profile::SectionPath(section), entry, REG_SZ,
                        RegStringBytes(text)) == ERROR_SUCCESS;
  };
  bool ok = true;
  for (size_t d = 0; d < grid.DomainCount(); ++d) {
    const std::string domain = NameOfLabel(grid.DomainLabel(d));
    for (size_t c = 0; c < grid.ComputerCount(d); ++c) {
      const std::string label = grid.ComputerRowLabel(d, c);
      const std::string name = NameOfLabel(label);
      const std::string alias = grid.AliasCell(d, c), mask = grid.BlackListCell(d, c);
      ok = put(kAliasSection, name, alias) && ok;
      ok = put(kAlias1Section, alias, name) && ok;
      ok = put(kBlackListSection, name, mask) && ok;
      ok = put(kDomainSection, label, domain) && ok;
    }
  }
  return ok;
}

std::string Dump(IRegistry& reg) {
  std::string out;
  for (std::string_view s : {kAliasSection, kAlias1Section, kBlackListSection, kDomainSection}) {
    const std::string path = Profile::SectionPath(s);
    RegValue v;
    for (uint32_t i = 0; reg.EnumValue(RootKey::CurrentUser, path, i, &v) == ERROR_SUCCESS; ++i)
      out += v.name + "=" + std::string(v.data.begin(), v.data.end()) + "\n";
  }
  return out;
}

template <typename Save>
double Time(const std::string& file, const AddressBookTable& before, const AddressBookTable& after,
            Save save, std::string* dump) {
  std::filesystem::remove(file);
  std::filesystem::remove(file + "-wal");
  std::filesystem::remove(file + "-shm");
  HiveOpenResult hive = OpenHive(file);
  Profile profile(*hive.hive);
  if (!SaveAddressBook(profile, before)) std::fprintf(stderr, "setup save failed\n");
  const auto start = Clock::now();
  if (!save(profile, after)) std::fprintf(stderr, "save failed\n");
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (dump) *dump = Dump(*hive.hive);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int values = argc > 1 ? std::max(4, std::atoi(argv[1])) : 10000;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const int computers = values / 4;
  std::string dir = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) return 1;
  const std::string file = dir + "/registry.sqlite";
  const AddressBookTable before = Book(computers, "old"), after = Book(computers, "new");

  std::string oneDump, manyDump;
  double one = 1e30, many = 1e30;
  for (int r = 0; r < repeats; ++r) {
    one = std::min(one, Time(file, before, after, SaveAddressBook, &oneDump));
    many = std::min(many, Time(file, before, after, SaveValueByValue, &manyDump));
  }
  std::filesystem::remove_all(dir);

  std::printf("address book save, %d values (%d computers x 4 sections), SQLite hive in %s\n",
              computers * 4, computers, std::filesystem::temp_directory_path().c_str());
  std::printf("  one transaction (SaveAddressBook):   %9.3f s\n", one);
  std::printf("  %d single-value transactions:     %9.3f s\n", computers * 4, many);
  std::printf("  ratio single-value / one transaction: %.1fx\n", many / one);
  std::printf("  same stored book both ways: %s\n", oneDump == manyDump ? "yes" : "NO");
  return oneDump == manyDump ? 0 : 1;
}
