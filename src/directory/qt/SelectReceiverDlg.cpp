#include "directory/qt/SelectReceiverDlg.h"

#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "ui/DialogBuilder.h"
#include "ui/MultiSelectTree.h"
#include "ui/TextCodec.h"

namespace vantrel {
namespace {

constexpr int kImageSize = 16;

// The computer or group name of an item: its text up to the first blank.
QString NameOf(const QTreeWidgetItem* item) {
  const QString text = item->text(0);
  return text.left(text.indexOf(QLatin1Char(' ')));
}

// An item of the network: its text and one of the dialog's images, answered
// from two members rather than stored as item data. A tree of ten thousand
// computers is made in a fraction of the time and memory.
class NetworkItem final : public ui::CMultiSelectTree::Item {
 public:
  // A computer is a leaf: telling the view so spares it a persistent index
  // per computer when the tree is expanded.
  NetworkItem(QString text, const QIcon& image, bool computer)
      : text_(std::move(text)), image_(image) {
    if (computer) setFlags(flags() | Qt::ItemNeverHasChildren);
  }

  QVariant data(int column, int role) const override {
    if (column == 0) {
      if (role == Qt::DisplayRole || role == Qt::EditRole) return text_;
      if (role == Qt::DecorationRole) return image_;
    }
    return QTreeWidgetItem::data(column, role);
  }

 private:
  QString text_;
  const QIcon& image_;  // the dialog's, which outlives its items
};

}  // namespace

CSelectReceiverDlg::CSelectReceiverDlg(NetworkRefresh& refresh, QWidget* owner,
                                       const ui::TextCodec* codec)
    : CNetworkListDlg(res::kSelectReceiverDialog, refresh, owner,
                      // What waits while the network is enumerated; Cancel never does.
                      {res::IDOK, res::IDC_SELECT_ALL, res::IDC_REFRESH}),
      codec_(codec) {
  tree_ =
      ui::CMultiSelectTree::TakePlaceOf(ui::FindControl<QTreeWidget>(this, res::IDC_RECEIVER_TREE));
  SetList(tree_);
  tree_->setIconSize(QSize(kImageSize, kImageSize));

  // Bitmap 139 cut into its three images, magenta transparent over the
  // window colour; a selected item shows the same image.
  const QPixmap strip = res::LoadMaskedBitmapResource(res::IDB_NETWORK_IMAGES);
  const QColor background = tree_->palette().color(QPalette::Base);
  for (int i = 0; i < 3; ++i) {
    QPixmap image(kImageSize, kImageSize);
    image.fill(background);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, strip, i * kImageSize, 0, kImageSize, kImageSize);
    painter.end();
    images_[i].addPixmap(image, QIcon::Normal);
    images_[i].addPixmap(image, QIcon::Selected);
  }

  auto button = [this](int id) { return ui::FindControl<QPushButton>(this, id); };
  connect(button(res::IDOK), &QPushButton::clicked, this, &CSelectReceiverDlg::OnOk);
  connect(button(res::IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
  connect(button(res::IDC_SELECT_ALL), &QPushButton::clicked, this,
          &CSelectReceiverDlg::SelectAllComputers);
  connect(button(res::IDC_REFRESH), &QPushButton::clicked, this, &CSelectReceiverDlg::OnRefresh);
}

CSelectReceiverDlg::~CSelectReceiverDlg() = default;

QIcon CSelectReceiverDlg::image(int index) const {
  return index >= 0 && index < 3 ? images_[index] : QIcon();
}

void CSelectReceiverDlg::RepositionControls(int dx, int dy) {
  for (int id : {res::IDOK, res::IDCANCEL, res::IDC_SELECT_ALL, res::IDC_REFRESH,
                 res::IDC_SEARCH_ANIMATION}) {
    MoveControl(dx, 0, id);
  }
  GrowControl(dx, dy, tree_);
}

QString CSelectReceiverDlg::Decode(std::string_view bytes) const {
  // Names are nearly always ASCII, which every code page spells alike.
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const auto size = static_cast<qsizetype>(bytes.size());
  if (ascii) return QString::fromLatin1(bytes.data(), size);
  return codec_ ? codec_->ToQString(bytes) : QString::fromUtf8(bytes.data(), size);
}

void CSelectReceiverDlg::FillReceiverTree() { FillOrRefresh(); }

void CSelectReceiverDlg::FillList() {
  // The items are made off the tree and put in with one insertion: no signal
  // and no layout per item.
  tree_->clear();
  auto* root = new NetworkItem(QString::fromLatin1(kRootText), images_[kImageNetwork], false);
  QList<QTreeWidgetItem*> groups;  // the root's children
  QTreeWidgetItem* group = nullptr;
  QList<QTreeWidgetItem*> computers;  // of the current group
  auto closeGroup = [&] {
    if (group) group->addChildren(computers);
    computers.clear();
  };
  for (const std::string& entry : refresh().cache().Entries()) {
    if (!IsComputerEntry(entry)) {
      closeGroup();
      group = new NetworkItem(Decode(entry), images_[kImageGroup], false);
      groups.append(group);
      continue;
    }
    const std::string_view label = ComputerLabel(entry);
    if (label.empty()) continue;
    auto* computer = new NetworkItem(Decode(label), images_[kImageComputer], true);
    // Computers before every group belong to the root itself.
    (group ? computers : groups).append(computer);
  }
  closeGroup();
  root->addChildren(groups);
  tree_->addTopLevelItem(root);

  SelectAllComputers();
}

void CSelectReceiverDlg::SelectAllComputers() {
  ui::CMultiSelectTree::Batch batch(tree_);
  tree_->TakeFocus();
  tree_->expandAll();
  for (int r = 0; r < tree_->topLevelItemCount(); ++r) {
    QTreeWidgetItem* root = tree_->topLevelItem(r);
    tree_->SetItemSelected(root, false);
    for (int g = 0; g < root->childCount(); ++g) {
      QTreeWidgetItem* group = root->child(g);
      tree_->SetItemSelected(group, false);
      for (int c = 0; c < group->childCount(); ++c) tree_->SetItemSelected(group->child(c), true);
    }
  }
}

void CSelectReceiverDlg::OnOk() {
  result_ = BuildResult();
  accept();
}

QString CSelectReceiverDlg::BuildResult() const {
  // A selected group stands for the group's name (a broadcast to it) and
  // overrides the selection of its computers. The root's own bit is ignored.
  QString line;
  auto add = [&line](const QTreeWidgetItem* item) {
    const QString name = NameOf(item);
    if (name.isEmpty()) return;  // nothing to send to
    line += name;
    line += QLatin1Char(' ');
  };
  const QTreeWidgetItem* root = tree_->topLevelItem(0);
  if (!root) return line;
  for (int g = 0; g < root->childCount(); ++g) {
    const QTreeWidgetItem* group = root->child(g);
    if (tree_->IsItemSelected(group)) {
      add(group);
      continue;
    }
    for (int c = 0; c < group->childCount(); ++c) {
      if (tree_->IsItemSelected(group->child(c))) add(group->child(c));
    }
  }
  return line;
}

}  // namespace vantrel
