#include "directory/AddressBookStore.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "directory/AddressBook.h"

namespace vantrel {
namespace {

constexpr std::array<std::string_view, 4> kBookSections = {kAliasSection, kAlias1Section,
                                                           kBlackListSection, kDomainSection};

// One domain of the working list while stored computers are merged into it:
// its place, the names of its computers (exact) and what is added.
struct DomainRun {
  size_t entry = 0;  // index of the domain entry; SIZE_MAX for a new domain
  std::string name;  // a new domain's entry
  std::unordered_set<std::string> computers;
  std::vector<std::string> added;
};

// Writes the sections of one save, making each section's key the first time
// something goes into it, so that a section with nothing in it stays absent.
class BookWriter {
 public:
  explicit BookWriter(IRegistry& reg) : reg_(reg) {}

  bool Write(size_t section, std::string_view entry, std::string_view text) {
    const std::string& path = paths_[section];
    if (!made_[section]) {
      if (reg_.CreateKey(RootKey::CurrentUser, path) != ERROR_SUCCESS) return false;
      made_[section] = true;
    }
    return reg_.SetValue(RootKey::CurrentUser, path, entry, REG_SZ, RegStringBytes(text)) ==
           ERROR_SUCCESS;
  }

 private:
  IRegistry& reg_;
  std::array<std::string, 4> paths_ = {
      Profile::SectionPath(kBookSections[0]), Profile::SectionPath(kBookSections[1]),
      Profile::SectionPath(kBookSections[2]), Profile::SectionPath(kBookSections[3])};
  std::array<bool, 4> made_{};
};

constexpr size_t kAlias = 0, kAlias1 = 1, kBlackList = 2, kDomain = 3;

}  // namespace

std::string NameOfLabel(std::string_view label) {
  return std::string(label.substr(0, label.find(' ')));
}

void LoadAddressBookCells(const Profile& profile, IAddressBookGrid& grid) {
  for (size_t d = 0; d < grid.DomainCount(); ++d) {
    for (size_t c = 0; c < grid.ComputerCount(d); ++c) {
      const std::string name = NameOfLabel(grid.ComputerRowLabel(d, c));
      // The empty value name is a key's default value, never a computer's.
      if (name.empty()) continue;
      std::string alias = profile.GetString(kAliasSection, name, "");
      if (!alias.empty()) grid.SetAliasCell(d, c, std::move(alias));
      std::string mask = profile.GetString(kBlackListSection, name, "");
      if (!mask.empty()) grid.SetBlackListCell(d, c, std::move(mask));
    }
  }
}

bool MergeStoredComputers(const Profile& profile, NetworkNameList& working,
                          const NetworkNameList& cache) {
  working = cache;
  IRegistry& reg = profile.registry();
  const std::string path = Profile::SectionPath(kDomainSection);
  uint32_t count = 0;
  if (reg.OpenKey(RootKey::CurrentUser, path) != ERROR_SUCCESS ||
      reg.QueryValueCount(RootKey::CurrentUser, path, &count) != ERROR_SUCCESS)
    return false;

  // Each domain's first entry and its computers, found in one pass; a stored
  // computer is then looked up in its run instead of walking the list.
  std::vector<DomainRun> runs;
  std::unordered_map<std::string, size_t> runOf;  // domain entry -> runs index
  for (size_t i = 0; i < working.size(); ++i) {
    if (IsComputerEntry(working[i])) continue;
    if (runOf.count(working[i])) continue;  // a repeated domain: only the first counts
    runOf.emplace(working[i], runs.size());
    DomainRun run;
    run.entry = i;
    for (size_t j = i + 1; j < working.size() && IsComputerEntry(working[j]); ++j)
      run.computers.emplace(ComputerNameOf(working[j]));
    runs.push_back(std::move(run));
  }

  bool added = false;
  for (uint32_t index = 0; index < count; ++index) {
    RegValue value;
    if (reg.EnumValue(RootKey::CurrentUser, path, index, &value) != ERROR_SUCCESS) continue;
    // Only what fits the reads' buffers, and only values the book writes.
    if (value.type != REG_SZ || value.name.empty() || value.name.size() > kMaxStoredLabel ||
        value.data.size() > kMaxStoredDomainBytes)
      continue;
    std::string domain(value.data.begin(), value.data.end());
    if (size_t nul = domain.find('\0'); nul != std::string::npos) domain.resize(nul);
    // A domain entry never begins with a backslash: such a value would turn
    // into a computer entry of whatever domain came before.
    if (IsComputerEntry(domain)) continue;
    const std::string& label = value.name;
    const std::string name = NameOfLabel(label);

    auto found = runOf.find(domain);
    if (found == runOf.end()) {
      found = runOf.emplace(domain, runs.size()).first;
      DomainRun run;
      run.entry = SIZE_MAX;
      run.name = domain;
      runs.push_back(std::move(run));
    }
    DomainRun& run = runs[found->second];
    if (!run.computers.insert(name).second) continue;  // present
    run.added.push_back("\\\\" + label);
    added = true;
  }
  if (!added) return false;

  // The list again: each domain's additions behind its computers, the new
  // domains at the end in the order they were met.
  NetworkNameList merged;
  merged.reserve(working.size() + 2 * count);
  std::vector<const DomainRun*> runAt(working.size(), nullptr);
  for (const DomainRun& run : runs)
    if (run.entry != SIZE_MAX) runAt[run.entry] = &run;
  const DomainRun* open = nullptr;
  for (size_t i = 0; i < working.size(); ++i) {
    if (!IsComputerEntry(working[i])) {
      if (open) merged.insert(merged.end(), open->added.begin(), open->added.end());
      open = runAt[i];
    }
    merged.push_back(std::move(working[i]));
  }
  if (open) merged.insert(merged.end(), open->added.begin(), open->added.end());
  for (const DomainRun& run : runs) {
    if (run.entry != SIZE_MAX) continue;
    merged.push_back(run.name);
    merged.insert(merged.end(), run.added.begin(), run.added.end());
  }
  working = std::move(merged);
  return true;
}

bool SaveAddressBook(Profile& profile, const IAddressBookGrid& grid) {
  IRegistry& reg = profile.registry();
  RegTransaction tx(reg);
  if (!tx.ok()) return false;
  // Every failure below returns before Commit: the transaction rolls back and
  // the book stays as it was.
  for (std::string_view section : kBookSections) {
    const long rc = reg.DeleteKey(RootKey::CurrentUser, Profile::SectionPath(section));
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
  }
  BookWriter out(reg);
  for (size_t d = 0; d < grid.DomainCount(); ++d) {
    const std::string domain = NameOfLabel(grid.DomainLabel(d));
    for (size_t c = 0; c < grid.ComputerCount(d); ++c) {
      const std::string label = grid.ComputerRowLabel(d, c);
      const std::string name = NameOfLabel(label);
      if (name.empty()) continue;  // nothing can be addressed by an empty name
      const std::string alias = grid.AliasCell(d, c);
      const std::string mask = grid.BlackListCell(d, c);
      if (!alias.empty()) {
        if (!out.Write(kAlias, name, alias) || !out.Write(kAlias1, alias, name)) return false;
      }
      if (!mask.empty() && !out.Write(kBlackList, name, mask)) return false;
      if ((!alias.empty() || !mask.empty()) && !out.Write(kDomain, label, domain)) return false;
    }
  }
  return tx.Commit() == ERROR_SUCCESS;
}

}  // namespace vantrel
