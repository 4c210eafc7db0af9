// The Select Receiver tree at the size of a large network: 10,000 computers
// in 100 workgroups, 10,101 items with the root.
//
// (a) FillReceiverTree (the items made, the tree expanded, every computer
//     selected, laid out and painted) against bare QTreeWidget fills of the
//     same 10,101 texts measured in the same run: the items made off the tree
//     and inserted at once (the fastest a QTreeWidget is filled), and the
//     same fill with every item inserted into the shown tree one by one.
//     Target: at most 1.5 times the bare fill.
// (b) SelectRange from the first to the last item of a fully expanded tree,
//     in the widget (its items walked, their bits set, a repaint asked for)
//     and in the rules alone over a plain tree, for N and 2N items.
//     Target: 2N at most 2.2 times N (linear).
//
// Runs offscreen; prints medians and ratios, asserts nothing.
//
//   bench_select_receiver_fill [--runs N]

#include <QApplication>
#include <QTreeWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "FillBench.h"
#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SelectReceiverDlg.h"
#include "ui/MultiSelectTree.h"
#include "uimodel/MultiSelectRules.h"

namespace {

using vantrel::NetworkNameList;
using namespace vantrel::bench;

// A bare fill: the root, the groups and their computers, texts only.
void BareFillBulk(QTreeWidget& tree, const NetworkNameList& list) {
  auto* root = new QTreeWidgetItem(QStringList(QStringLiteral("Entire Nerwork")));
  QList<QTreeWidgetItem*> groups;
  QList<QTreeWidgetItem*> computers;
  QTreeWidgetItem* group = nullptr;
  for (const std::string& entry : list) {
    if (entry[0] != '\\') {
      if (group) group->addChildren(computers);
      computers.clear();
      group = new QTreeWidgetItem(QStringList(Text(entry)));
      groups.append(group);
    } else {
      computers.append(new QTreeWidgetItem(QStringList(Text(entry.substr(2)))));
    }
  }
  if (group) group->addChildren(computers);
  root->addChildren(groups);
  tree.addTopLevelItem(root);
  Settle();
}

void BareFillOneByOne(QTreeWidget& tree, const NetworkNameList& list) {
  auto* root = new QTreeWidgetItem(&tree, QStringList(QStringLiteral("Entire Nerwork")));
  QTreeWidgetItem* group = nullptr;
  for (const std::string& entry : list) {
    if (entry[0] != '\\') {
      group = new QTreeWidgetItem(root, QStringList(Text(entry)));
    } else {
      new QTreeWidgetItem(group, QStringList(Text(entry.substr(2))));
    }
  }
  Settle();
}

// (b) in the rules alone: a plain tree of structs.
struct Node {
  Node* parent = nullptr;
  std::vector<Node*> children;
  int index = 0;
  bool selected = false;
};

class PlainTree : public vantrel::uimodel::ITreeControl {
 public:
  PlainTree(int groups, int perGroup) {
    nodes_.reserve(static_cast<size_t>(1 + groups * (perGroup + 1)));
    Node* root = Make(nullptr);
    for (int g = 0; g < groups; ++g) {
      Node* group = Make(root);
      for (int c = 0; c < perGroup; ++c) Make(group);
    }
  }
  Node* First() { return &nodes_.front(); }
  Node* Last() { return &nodes_.back(); }
  void Clear() {
    for (Node& n : nodes_) n.selected = false;
  }

  int ChildCount(vantrel::uimodel::TreeItem p) const override {
    return p ? static_cast<int>(N(p)->children.size()) : 1;
  }
  vantrel::uimodel::TreeItem Child(vantrel::uimodel::TreeItem p, int i) const override {
    return p ? N(p)->children[static_cast<size_t>(i)] : const_cast<Node*>(&nodes_.front());
  }
  vantrel::uimodel::TreeItem Parent(vantrel::uimodel::TreeItem item) const override {
    return N(item)->parent;
  }
  int IndexInParent(vantrel::uimodel::TreeItem item) const override { return N(item)->index; }
  bool IsExpanded(vantrel::uimodel::TreeItem) const override { return true; }
  bool IsSelected(vantrel::uimodel::TreeItem item) const override { return N(item)->selected; }
  void SetSelected(vantrel::uimodel::TreeItem item, bool on) override { N(item)->selected = on; }
  vantrel::uimodel::TreeItem Caret() const override { return caret_; }
  void SetCaret(vantrel::uimodel::TreeItem item) override {
    if (caret_) caret_->selected = false;
    caret_ = N(item);
    if (caret_) caret_->selected = true;
  }

 private:
  static Node* N(vantrel::uimodel::TreeItem item) { return static_cast<Node*>(item); }
  Node* Make(Node* parent) {
    nodes_.emplace_back();
    Node* n = &nodes_.back();
    n->parent = parent;
    if (parent) {
      n->index = static_cast<int>(parent->children.size());
      parent->children.push_back(n);
    }
    return n;
  }
  std::vector<Node> nodes_;
  Node* caret_ = nullptr;
};

// The dialog's tree filled by FillReceiverTree from groups x perGroup
// computers, for (b): all expanded.
struct WidgetTree {
  WidgetTree(int groups, int perGroup)
      : refresh(cache, [] { return NetworkNameList(); }), dialog(refresh, nullptr) {
    cache.Replace(MakeNetwork(groups, perGroup));
    dialog.show();
    Settle();  // the first showing fills the tree
    tree = dialog.tree();
    first = tree->topLevelItem(0);
    QTreeWidgetItem* group = first->child(first->childCount() - 1);
    last = group->child(group->childCount() - 1);
    items = 1 + groups * (perGroup + 1);
  }
  // The call alone: the repaint it asks for shows the visible rows only and
  // takes the same time for any size (it runs untimed, before the next run).
  Case SelectAll() {
    return {[this] {
              Settle();
              tree->ClearSelection();
              Settle();
            },
            [this] { tree->SelectRange(first, last); },
            {}};
  }
  vantrel::NetworkListCache cache;
  vantrel::NetworkRefresh refresh;
  vantrel::CSelectReceiverDlg dialog;
  vantrel::ui::CMultiSelectTree* tree = nullptr;
  QTreeWidgetItem* first = nullptr;
  QTreeWidgetItem* last = nullptr;
  int items = 0;
};

struct RulesTree {
  RulesTree(int groups, int perGroup) : tree(groups, perGroup), rules(tree) {}
  Case SelectAll() {
    return {[this] { tree.Clear(); }, [this] { rules.SelectRange(tree.First(), tree.Last()); }, {}};
  }
  PlainTree tree;
  vantrel::uimodel::MultiSelectRules rules;
};

}  // namespace

int main(int argc, char** argv) {
  const BenchApp bench(argc, argv);
  const int runs = bench.runs();

  // (a) FillReceiverTree against bare fills of the same texts.
  const NetworkNameList network = MakeNetwork(100, 100);
  vantrel::NetworkListCache cache;
  cache.Replace(network);
  vantrel::NetworkRefresh refresh(cache, [] { return NetworkNameList(); });
  vantrel::CSelectReceiverDlg dialog(refresh, nullptr);
  dialog.show();
  Settle();
  vantrel::ui::CMultiSelectTree* dialogTree = dialog.tree();
  QTreeWidget bare;
  bare.setHeaderHidden(true);
  bare.resize(dialogTree->size());
  bare.show();
  Settle();
  auto emptied = [](QTreeWidget* tree) {
    return [tree] {
      tree->clear();
      Settle();
    };
  };
  const std::vector<double> a =
      FastestMs(runs, {{emptied(dialogTree),
                        [&] {
                          dialog.FillReceiverTree();
                          Settle();
                        },
                        {}},
                       {emptied(&bare), [&] { BareFillBulk(bare, network); }, {}},
                       {emptied(&bare),
                        [&] {
                          BareFillBulk(bare, network);
                          bare.expandAll();
                          Settle();
                        },
                        {}},
                       {emptied(&bare), [&] { BareFillOneByOne(bare, network); }, {}}});
  int selected = 0;
  for (QTreeWidgetItemIterator it(dialogTree); *it; ++it) {
    selected += dialogTree->IsItemSelected(*it) ? 1 : 0;
  }
  std::printf("(a) 10,101 items (100 workgroups x 100 computers), fastest of %d, thread CPU time\n",
              runs);
  std::printf("  FillReceiverTree (expanded, %d computers selected): %7.2f ms\n", selected, a[0]);
  std::printf(
      "  bare QTreeWidget fill, items inserted at once:       %7.2f ms   ratio %.2f"
      " (target <= 1.5)\n",
      a[1], a[0] / a[1]);
  std::printf("  the same, then expanded (every row laid out):        %7.2f ms   ratio %.2f\n",
              a[2], a[0] / a[2]);
  std::printf("  bare QTreeWidget fill, items inserted one by one:    %7.2f ms   ratio %.2f\n",
              a[3], a[0] / a[3]);

  // (b) SelectRange over every item, N and 2N.
  WidgetTree wN(100, 100);
  WidgetTree w2N(200, 100);
  RulesTree rN(100, 100);
  RulesTree r2N(200, 100);
  const std::vector<double> b =
      FastestMs(runs, {wN.SelectAll(), w2N.SelectAll(), rN.SelectAll(), r2N.SelectAll()});
  std::printf("(b) SelectRange over every item, fastest of %d, thread CPU time\n", runs);
  std::printf("  widget: %6d items %7.3f ms, %6d items %7.3f ms   ratio %.2f (target <= 2.2)\n",
              wN.items, b[0], w2N.items, b[1], b[1] / b[0]);
  std::printf("  rules:  %6d items %7.3f ms, %6d items %7.3f ms   ratio %.2f (target <= 2.2)\n",
              wN.items, b[2], w2N.items, b[3], b[3] / b[2]);
  return 0;
}
