// Painting one screen of the tree grid with 100, 10,000 and 100,000 rows
// (offscreen): the time of a paint must not grow with the rows off the
// screen. Each grid is fully expanded, scrolled to its middle, with a
// selected row and the current cell on it; a paint renders the viewport into
// a pixmap. Ratios are against the 100-row grid, measured in the same run.
//
//   bench_tree_grid_paint [PAINTS]     default 300 paints per size (best of 3 rounds)

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ui/TreeGrid.h"

namespace {

using vantrel::ui::CTreeGrid;
using vantrel::ui::TreeGridRow;
using Clock = std::chrono::steady_clock;

std::unique_ptr<TreeGridRow> Row(std::string label, int image, std::string alias,
                                 std::string mask) {
  auto row = std::make_unique<TreeGridRow>();
  row->SetLabel(std::move(label));
  row->SetImage(image);
  row->AppendCell(std::move(alias));
  row->AppendCell(std::move(mask));
  return row;
}

std::unique_ptr<CTreeGrid> MakeGrid(int rows) {
  auto grid = std::make_unique<CTreeGrid>();
  grid->resize(420, 600);
  grid->InsertColumn(0, QStringLiteral("Computer"), 200);
  grid->InsertColumn(1, QStringLiteral("Alias"), 100);
  grid->InsertColumn(2, QStringLiteral("Black List"), 100);
  QList<QPixmap> images;
  for (QColor c : {QColor(200, 0, 0), QColor(0, 120, 0), QColor(0, 0, 200)}) {
    QPixmap p(16, 16);
    p.fill(c);
    images << p;
  }
  grid->SetSmallImageList(images, 16, 16);
  auto* net = grid->InsertRootRow(Row("Entire Nerwork", 0, "", ""));
  // Domains of 100 computers each, until the rows are there.
  int made = 1;
  for (int d = 0; made < rows; ++d) {
    auto* domain = grid->InsertChildRow(net, Row("DOMAIN" + std::to_string(d), 1, "", ""), false);
    ++made;
    for (int c = 0; c < 99 && made < rows; ++c, ++made) {
      grid->InsertChildRow(domain,
                           Row("PC" + std::to_string(made) + " a rather long comment for its cell",
                               2, "alias" + std::to_string(made), std::to_string(made % 16)),
                           false);
    }
  }
  int last = 0;
  grid->ExpandAllBelow(net, &last);
  const int middle = grid->RowCount() / 2;
  grid->verticalScrollBar()->setValue(middle - 5);
  grid->SelectRow(middle);
  return grid;
}

double PaintSeconds(CTreeGrid& grid, int paints) {
  QPixmap target(grid.viewport()->size());
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < paints; ++i) grid.viewport()->render(&target);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count() / paints);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int paints = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;

  std::printf("tree grid: one paint of a 420x600 screen, best of 3 rounds of %d paints\n", paints);
  double base = 0;
  for (int rows : {100, 10000, 100000}) {
    auto grid = MakeGrid(rows);
    grid->show();
    const double t = PaintSeconds(*grid, paints);
    if (rows == 100) base = t;
    std::printf("  %6d rows (%2d on screen): %8.1f us per paint   ratio to 100 rows: %.2f\n",
                grid->RowCount(), grid->VisibleRowCount(), t * 1e6, t / base);
  }
  return 0;
}
