#pragma once
// The grid of the User Info dialog: the network as a tree grid with the
// columns "Computer" (the row's label), "Alias" and "Black List". One root
// row ("Entire Nerwork"), one row per domain or workgroup under it, one row
// per computer under its domain; images 0, 1 and 2 of bitmap 139.
//
//   auto* grid = new CUserInfoGrid(dialog, codec);
//   TreeGridNode* root = grid->InsertRootRow(CUserInfoGrid::MakeRow("Entire Nerwork", 0));
//   ...                            // domain and computer rows, collapsed
//   grid->ExpandAllBelow(root, &last);
//   LoadAddressBookCells(profile, *grid);
//
// What it does differently from the plain tree grid: a click never edits, no
// row can be dragged or deleted, Enter edits only the Alias column (on any
// other column it goes on to the dialog, whose default button is OK), and a
// double click acts by column: on "Computer" it expands or collapses the row,
// on "Alias" it opens the in-place editor, on "Black List" the Black List
// dialog for the row.
//
// It is also the address book's view of the grid (IAddressBookGrid): the
// domain rows under the root and the computer rows under each. Labels and
// cells are kept as bytes of the system code page, as the network list and
// the book hold them; the screen and the editor get them as text through the
// codec.

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "directory/AddressBookStore.h"
#include "ui/TreeGrid.h"

namespace vantrel {

namespace ui {
class TextCodec;
}

class CUserInfoGrid : public ui::CTreeGrid, public IAddressBookGrid {
  Q_OBJECT

 public:
  // The grid's control identifier in the dialog.
  static constexpr int kControlId = 4097;
  // Columns and their widths in pixels.
  static constexpr int kComputerColumn = 0;
  static constexpr int kAliasColumn = 1;
  static constexpr int kBlackListColumn = 2;
  static constexpr int kComputerWidth = 200;
  static constexpr int kAliasWidth = 100;
  static constexpr int kBlackListWidth = 100;
  // Images of bitmap 139.
  static constexpr int kImageNetwork = 0;
  static constexpr int kImageDomain = 1;
  static constexpr int kImageComputer = 2;

  // codec: the system code page of labels and cells (null: UTF-8). The image
  // list comes from bitmap 139; without it rows draw no icons.
  explicit CUserInfoGrid(QWidget* parent, const ui::TextCodec* codec = nullptr);

  // A row's data: the label, two empty cells and the image.
  static std::unique_ptr<ui::TreeGridRow> MakeRow(std::string label, int image);

  // Whether the image list was made from bitmap 139.
  bool hasImages() const { return hasImages_; }

  // Ends an open in-place edit as if it had lost the focus (the typed text
  // is kept, an Escape drops it), whether or not the focus can move now.
  void EndOpenEdit();
  // Closes an open in-place edit without keeping what was typed.
  void DropOpenEdit();

  // Opens the Black List dialog for the row, modally, and stores its mask in
  // the row's Black List cell on OK ("%d", or empty for 0). False when the
  // row does not exist, the dialog was cancelled, or the grid was filled
  // anew while it was open.
  bool EditBlackList(int row);

  // Deletes every row, an open edit dropped first. Each call counts as a new
  // filling (generation), so that a result that comes back from a modal
  // dialog is never stored into rows that are not the ones it was for.
  void ClearRows();
  uint64_t generation() const { return generation_; }

  // ---- IAddressBookGrid ----
  size_t DomainCount() const override;
  std::string DomainLabel(size_t domain) const override;
  size_t ComputerCount(size_t domain) const override;
  std::string ComputerRowLabel(size_t domain, size_t computer) const override;
  std::string AliasCell(size_t domain, size_t computer) const override;
  std::string BlackListCell(size_t domain, size_t computer) const override;
  void SetAliasCell(size_t domain, size_t computer, std::string alias) override;
  void SetBlackListCell(size_t domain, size_t computer, std::string mask) override;

  // ---- Text ----
  QString DisplayText(const std::string& stored) const override;
  std::string StoredText(const QString& shown) const override;

  // ---- Hooks ----
  int GetRowImage(const ui::TreeGridNode& node) override;
  void OnCellClicked(Qt::KeyboardModifiers modifiers, const QPoint& point,
                     const ui::TreeGridHit& hit) override;
  QPixmap MakeRowDragImage(int row) override;
  bool OnDeleteKey(ui::TreeGridNode* node, int row) override;
  bool IsEnterEditBlocked() override;
  bool OnRowDoubleClick(const ui::TreeGridHit& hit) override;

 private:
  ui::TreeGridNode* Domain(size_t domain) const;
  ui::TreeGridNode* Computer(size_t domain, size_t computer) const;

  const ui::TextCodec* codec_;
  bool hasImages_ = false;
  uint64_t generation_ = 0;
};

}  // namespace vantrel
