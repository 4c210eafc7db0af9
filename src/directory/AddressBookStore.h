#pragma once
// The address book as the User Info dialog reads and rewrites it: four
// sections of the program key, every value a REG_SZ.
//
//   section      entry (value name)   value                  written for a computer when
//   "Alias"      computer name        its alias              the alias is not empty
//   "Alias1"     alias                computer name          the alias is not empty
//   "BlackList"  computer name        mask in decimal        the mask text is not empty
//   "Domain"     computer label       its domain's name      alias or mask text not empty
//
// A computer label is the network list's text for the computer without its
// two backslashes (the name, maybe a blank and a comment); the computer name
// is the label up to its first blank, and a domain's name its label up to its
// first blank. "Alias1" is the reverse of "Alias" and serves ResolveAlias;
// "Domain" remembers where each computer of the book belongs, so the dialog
// lists it even when the network does not show it. Lookups (AddressBook.h)
// read these sections afresh each time; nothing is kept in memory.
//
// SaveAddressBook replaces the whole book in one registry transaction: the
// four sections are deleted and written again inside it, so a failed write or
// a crash in the middle leaves the previous book whole.

#include <cstddef>
#include <string>
#include <vector>

#include "directory/NetworkList.h"
#include "settings/Profile.h"

namespace vantrel {

// The User Info grid as the book walks it: the domain rows under the root
// row, in order, and the computer rows under each. Column 1 is the alias,
// column 2 the black-list mask text. Labels and cells are bytes in the system
// code page, as stored.
class IAddressBookGrid {
 public:
  virtual ~IAddressBookGrid() = default;
  virtual size_t DomainCount() const = 0;
  virtual std::string DomainLabel(size_t domain) const = 0;
  virtual size_t ComputerCount(size_t domain) const = 0;
  virtual std::string ComputerRowLabel(size_t domain, size_t computer) const = 0;
  virtual std::string AliasCell(size_t domain, size_t computer) const = 0;
  virtual std::string BlackListCell(size_t domain, size_t computer) const = 0;
  virtual void SetAliasCell(size_t domain, size_t computer, std::string alias) = 0;
  virtual void SetBlackListCell(size_t domain, size_t computer, std::string mask) = 0;
};

// A grid held in plain vectors (for tools and tests).
struct AddressBookComputer {
  std::string label;
  std::string alias;
  std::string mask;
};
struct AddressBookDomain {
  std::string label;
  std::vector<AddressBookComputer> computers;
};

class AddressBookTable : public IAddressBookGrid {
 public:
  std::vector<AddressBookDomain> domains;

  size_t DomainCount() const override { return domains.size(); }
  std::string DomainLabel(size_t d) const override { return domains[d].label; }
  size_t ComputerCount(size_t d) const override { return domains[d].computers.size(); }
  std::string ComputerRowLabel(size_t d, size_t c) const override {
    return domains[d].computers[c].label;
  }
  std::string AliasCell(size_t d, size_t c) const override { return domains[d].computers[c].alias; }
  std::string BlackListCell(size_t d, size_t c) const override {
    return domains[d].computers[c].mask;
  }
  void SetAliasCell(size_t d, size_t c, std::string alias) override {
    domains[d].computers[c].alias = std::move(alias);
  }
  void SetBlackListCell(size_t d, size_t c, std::string mask) override {
    domains[d].computers[c].mask = std::move(mask);
  }
};

// Merge reads of "Domain": value names of at most this many characters and
// data of at most this many bytes (terminator included); longer values are
// skipped, never cut.
inline constexpr size_t kMaxStoredLabel = 255;
inline constexpr size_t kMaxStoredDomainBytes = 255;

// The text before the first blank of a label (the whole label without one).
std::string NameOfLabel(std::string_view label);

// Fills the alias and black-list cells of every computer row from "Alias" and
// "BlackList" of its computer name; a cell whose entry is missing or empty is
// left as it is. Mask texts are taken exactly as stored.
void LoadAddressBookCells(const Profile& profile, IAddressBookGrid& grid);

// Empties working, copies cache into it in order and adds every computer
// remembered in "Domain" that the copy lacks: under the first domain entry
// equal to its stored domain name (a new domain entry at the end when there
// is none), as "\\" and the stored label. A computer counts as present when a
// computer entry of that domain has the same name, with regard to case.
// True when something was added; the caller then sorts each domain's
// computers again (SortComputersInDomains). Registry failures add nothing.
bool MergeStoredComputers(const Profile& profile, NetworkNameList& working,
                          const NetworkNameList& cache);

// Replaces the book with what the grid holds: deletes the four sections and
// writes them again from the computer rows (root and domain rows are not
// stored; a computer whose two cells are empty leaves the book). When two
// computers carry the same alias (without regard to case) the later row owns
// it. All in one transaction: false, with the previous book untouched, when
// any delete or write fails or the transaction cannot commit.
bool SaveAddressBook(Profile& profile, const IAddressBookGrid& grid);

}  // namespace vantrel
