#include "directory/qt/UserInfoGrid.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QPixmap>
#include <QPointer>
#include <algorithm>

#include "directory/AddressBook.h"
#include "directory/qt/BlackListDlg.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "ui/CellEdit.h"
#include "ui/TextCodec.h"

namespace vantrel {
namespace {

constexpr int kImageSize = 16;

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAscii(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

}  // namespace

CUserInfoGrid::CUserInfoGrid(QWidget* parent, const ui::TextCodec* codec)
    : CTreeGrid(parent), codec_(codec) {
  setObjectName(QString::number(kControlId));
  setProperty("controlId", kControlId);
  // A sunken client edge; no extended list styles.
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  // Bitmap 139: three 16x16 images side by side, magenta transparent.
  const QPixmap strip = res::LoadMaskedBitmapResource(res::IDB_NETWORK_IMAGES);
  QList<QPixmap> images;
  for (int x = 0; x + kImageSize <= strip.width(); x += kImageSize)
    images << strip.copy(x, 0, kImageSize, kImageSize);
  hasImages_ = images.size() >= 3;
  // Without the images the rows still indent by the image width.
  SetSmallImageList(hasImages_ ? images : QList<QPixmap>(), kImageSize, kImageSize);

  InsertColumn(kComputerColumn, QStringLiteral("Computer"), kComputerWidth);
  InsertColumn(kAliasColumn, QStringLiteral("Alias"), kAliasWidth);
  InsertColumn(kBlackListColumn, QStringLiteral("Black List"), kBlackListWidth);
}

std::unique_ptr<ui::TreeGridRow> CUserInfoGrid::MakeRow(std::string label, int image) {
  auto row = std::make_unique<ui::TreeGridRow>();
  row->SetLabel(std::move(label));
  row->AppendCell({});
  row->AppendCell({});
  row->SetImage(image);
  return row;
}

// ---- Open edits ----------------------------------------------------------------

void CUserInfoGrid::EndOpenEdit() {
  for (ui::CCellEdit* editor : findChildren<ui::CCellEdit*>()) {
    if (editor->isHidden()) continue;  // ended already, going away
    const int row = editor->row();
    const int column = editor->column();
    const bool keep = !editor->cancelled();
    const QString text = editor->text();
    editor->Abandon();
    if (!keep) continue;
    if (ui::TreeGridNode* node = NodeAt(row)) OnCellTextCommitted(node, row, column, text);
  }
}

void CUserInfoGrid::DropOpenEdit() {
  for (ui::CCellEdit* editor : findChildren<ui::CCellEdit*>()) editor->Abandon();
}

void CUserInfoGrid::ClearRows() {
  DropOpenEdit();  // its row index would name a row of the new filling
  ++generation_;
  DeleteAllRows();
}

// ---- The Black List cell -------------------------------------------------------

bool CUserInfoGrid::EditBlackList(int row) {
  ui::TreeGridNode* node = NodeAt(row);
  if (!node) return false;
  const uint64_t filling = generation_;
  QPointer<CUserInfoGrid> self(this);
  // On the heap and a child of the grid: if the grid goes while the dialog
  // runs, the dialog goes with it and nothing below touches either.
  QPointer<CBlackListDlg> dialog = new CBlackListDlg(this);
  dialog->SetTitleText(DisplayText(node->Row().Label()));
  dialog->SetMask(StringToInt(node->Row().Cell(kBlackListColumn - 1)));
  const int answer = dialog->exec();
  if (!self || !dialog) return false;
  const int mask = dialog->mask();
  delete dialog.data();
  if (answer != QDialog::Accepted) return false;
  // Refilled meanwhile: the row is not the one the mask was for.
  if (generation_ != filling || NodeAt(row) != node) return false;
  SetCellText(node, kBlackListColumn, mask == 0 ? std::string() : std::to_string(mask));
  return true;
}

// ---- IAddressBookGrid ----------------------------------------------------------

ui::TreeGridNode* CUserInfoGrid::Domain(size_t domain) const {
  const ui::TreeGridNode* root = Model().TopLevel(0);
  return root ? root->Child(domain) : nullptr;
}

ui::TreeGridNode* CUserInfoGrid::Computer(size_t domain, size_t computer) const {
  const ui::TreeGridNode* d = Domain(domain);
  return d ? d->Child(computer) : nullptr;
}

size_t CUserInfoGrid::DomainCount() const {
  const ui::TreeGridNode* root = Model().TopLevel(0);
  return root ? root->ChildCount() : 0;
}

std::string CUserInfoGrid::DomainLabel(size_t domain) const {
  const ui::TreeGridNode* d = Domain(domain);
  return d ? d->Row().Label() : std::string();
}

size_t CUserInfoGrid::ComputerCount(size_t domain) const {
  const ui::TreeGridNode* d = Domain(domain);
  return d ? d->ChildCount() : 0;
}

std::string CUserInfoGrid::ComputerRowLabel(size_t domain, size_t computer) const {
  const ui::TreeGridNode* c = Computer(domain, computer);
  return c ? c->Row().Label() : std::string();
}

std::string CUserInfoGrid::AliasCell(size_t domain, size_t computer) const {
  const ui::TreeGridNode* c = Computer(domain, computer);
  return c ? c->Row().Cell(kAliasColumn - 1) : std::string();
}

std::string CUserInfoGrid::BlackListCell(size_t domain, size_t computer) const {
  const ui::TreeGridNode* c = Computer(domain, computer);
  return c ? c->Row().Cell(kBlackListColumn - 1) : std::string();
}

void CUserInfoGrid::SetAliasCell(size_t domain, size_t computer, std::string alias) {
  SetCellText(Computer(domain, computer), kAliasColumn, std::move(alias));
}

void CUserInfoGrid::SetBlackListCell(size_t domain, size_t computer, std::string mask) {
  SetCellText(Computer(domain, computer), kBlackListColumn, std::move(mask));
}

// ---- Text ----------------------------------------------------------------------

QString CUserInfoGrid::DisplayText(const std::string& stored) const {
  // Names are nearly always ASCII, which every code page spells alike.
  if (!codec_ || IsAscii(stored))
    return QString::fromLatin1(stored.data(), static_cast<qsizetype>(stored.size()));
  return codec_->ToQString(stored);
}

std::string CUserInfoGrid::StoredText(const QString& shown) const {
  if (!codec_ || IsAscii(shown)) return CTreeGrid::StoredText(shown);
  return codec_->FromQString(shown);
}

// ---- Hooks ---------------------------------------------------------------------

int CUserInfoGrid::GetRowImage(const ui::TreeGridNode& node) {
  return node.Row().Image() < 0 ? 0 : node.Row().Image();
}

void CUserInfoGrid::OnCellClicked(Qt::KeyboardModifiers, const QPoint&, const ui::TreeGridHit&) {}

QPixmap CUserInfoGrid::MakeRowDragImage(int) { return QPixmap(); }

bool CUserInfoGrid::OnDeleteKey(ui::TreeGridNode*, int) { return false; }

bool CUserInfoGrid::IsEnterEditBlocked() { return CurrentColumn() != kAliasColumn; }

bool CUserInfoGrid::OnRowDoubleClick(const ui::TreeGridHit& hit) {
  switch (CurrentColumn()) {
    case kComputerColumn:
      return true;  // the grid's own: expand or collapse the row
    case kAliasColumn:
      if (hit.onItem()) {
        // As if Enter were pressed: the Alias cell of the selected row opens
        // in the in-place editor.
        QApplication::postEvent(this,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
      }
      return false;
    case kBlackListColumn:
      if (hit.onItem() && SelectedRow() >= 0) EditBlackList(SelectedRow());
      return false;
    default:
      return false;
  }
}

}  // namespace vantrel
