// The User Info grid at the size of a large network: 10,000 computers in 100
// workgroups, and an address book of 1,000 computers (100 of them gone from
// the network, so the merge adds them and the workgroups are sorted again),
// kept in the real SQLite hive (a file in a temporary folder).
//
// The User Info fill as the dialog runs it (the stored computers merged into
// a copy of the cache and sorted, the rows made and expanded, the Alias and
// Black List cells read from the book, and the screen painted) against a
// bare QTreeWidget fill of the same rows, with their three columns of text,
// measured in the same run: the items made off the tree and inserted at once
// (the fastest a QTreeWidget is filled), expanded and painted.
// Target: at most 2 times the bare fill.
//
// Runs offscreen; prints the fastest of some runs of each (thread CPU time)
// and the ratio; asserts nothing.
//
//   bench_user_info_fill [--runs N]

#include <stdlib.h>

#include <QApplication>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "FillBench.h"
#include "directory/AddressBookStore.h"
#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/UserInfoDlg.h"
#include "directory/qt/UserInfoGrid.h"
#include "platform/linux/SqliteRegistry.h"
#include "settings/Profile.h"

namespace {

using vantrel::NetworkNameList;
using namespace vantrel::bench;

constexpr int kGroups = 100;
constexpr int kPerGroup = 100;
constexpr int kBook = 1000;
constexpr int kGone = 100;  // of the book, not on the network

// Every tenth computer of the network has an alias or a mask or both; the
// gone ones stand among their workgroups' names.
vantrel::AddressBookTable MakeBook() {
  vantrel::AddressBookTable book;
  for (int g = 0; g < kGroups; ++g) book.domains.push_back({WorkgroupName(g), {}});
  for (int i = 0; i < kBook - kGone; ++i) {
    const int pc = i * 10 + 1;  // never one with a comment (pc % 3 == 0 only every third)
    auto& domain = book.domains[static_cast<size_t>(pc / kPerGroup)];
    std::string label = "PC" + std::to_string(pc);
    if (pc % 3 == 0) label += " Desk " + std::to_string(pc % 97);
    domain.computers.push_back({label, i % 3 == 2 ? "" : "alias" + std::to_string(i),
                                i % 3 == 0 ? "" : std::to_string(1 + i % 15)});
  }
  for (int i = 0; i < kGone; ++i) {
    book.domains[static_cast<size_t>(i % kGroups)].computers.push_back(
        {"GONE" + std::to_string(i) + " Old laptop", "gone" + std::to_string(i), "5"});
  }
  return book;
}

// One row of the filled grid, as bytes.
struct FlatRow {
  int level;
  std::string label, alias, mask;
};

std::vector<FlatRow> RowsOf(const vantrel::CUserInfoGrid& grid) {
  std::vector<FlatRow> rows;
  for (int r = 0; r < grid.RowCount(); ++r) {
    const auto* n = grid.NodeAt(r);
    rows.push_back({n->Level(), n->Row().Label(), n->Row().Cell(0), n->Row().Cell(1)});
  }
  return rows;
}

// The same rows in a bare QTreeWidget: three columns of text, the items made
// off the tree and inserted at once, then expanded.
void BareFill(QTreeWidget& tree, const std::vector<FlatRow>& rows) {
  QTreeWidgetItem* root = nullptr;
  QTreeWidgetItem* group = nullptr;
  QList<QTreeWidgetItem*> groups, computers;
  auto close = [&] {
    if (group) group->addChildren(computers);
    computers.clear();
  };
  for (const FlatRow& r : rows) {
    auto* item = new QTreeWidgetItem(QStringList{Text(r.label), Text(r.alias), Text(r.mask)});
    if (r.level == 1) {
      root = item;
    } else if (r.level == 2) {
      close();
      group = item;
      groups.append(item);
    } else {
      computers.append(item);
    }
  }
  close();
  if (!root) return;
  root->addChildren(groups);
  tree.addTopLevelItem(root);
  tree.expandAll();
  Settle();
}

}  // namespace

int main(int argc, char** argv) {
  const BenchApp bench(argc, argv);
  const int runs = bench.runs();

  std::string dir = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) return 1;
  vantrel::HiveOpenResult hive = vantrel::OpenHive(dir + "/registry.sqlite");
  vantrel::Profile profile(*hive.hive);
  if (!vantrel::SaveAddressBook(profile, MakeBook())) {
    std::fprintf(stderr, "the book could not be saved\n");
    return 1;
  }

  vantrel::NetworkListCache cache;
  cache.Replace(MakeNetwork(kGroups, kPerGroup));
  vantrel::NetworkRefresh refresh(cache, [] { return NetworkNameList(); });
  vantrel::CUserInfoDlg dialog(refresh, *hive.hive, nullptr);
  dialog.show();
  Settle();  // the first showing fills the grid
  vantrel::CUserInfoGrid* grid = dialog.grid();
  const std::vector<FlatRow> rows = RowsOf(*grid);
  int aliases = 0, masks = 0;
  for (const FlatRow& r : rows) {
    aliases += r.alias.empty() ? 0 : 1;
    masks += r.mask.empty() ? 0 : 1;
  }

  QTreeWidget bare;
  bare.setColumnCount(3);
  bare.setHeaderLabels(
      {QStringLiteral("Computer"), QStringLiteral("Alias"), QStringLiteral("Black List")});
  bare.resize(grid->size());
  bare.show();
  Settle();

  const std::vector<double> ms = FastestMs(runs, {{[&] { Settle(); },
                                                   [&] {
                                                     dialog.Fill();
                                                     Settle();
                                                   },
                                                   {}},
                                                  {[&] {
                                                     bare.clear();
                                                     Settle();
                                                   },
                                                   [&] { BareFill(bare, rows); },
                                                   {}}});
  std::filesystem::remove_all(dir);

  std::printf(
      "User Info fill: %d computers in %d workgroups on the network, a book of %d computers (%d "
      "gone)\n",
      kGroups * kPerGroup, kGroups, kBook, kGone);
  std::printf("  %zu rows, %d aliases, %d masks; fastest of %d, thread CPU time\n", rows.size(),
              aliases, masks, runs);
  std::printf("  User Info fill (merge, sort, rows, cells from the hive, paint): %8.2f ms\n",
              ms[0]);
  std::printf("  bare QTreeWidget fill of the same rows (3 columns, expanded):  %8.2f ms\n", ms[1]);
  std::printf("  ratio %.2f (target <= 2)\n", ms[0] / ms[1]);
  return 0;
}
