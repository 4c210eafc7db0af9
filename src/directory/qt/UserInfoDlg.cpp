#include "directory/qt/UserInfoDlg.h"

#include <QFrame>
#include <QPushButton>
#include <algorithm>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/AddressBookStore.h"
#include "directory/NetEnum.h"
#include "directory/NetworkList.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/UserInfoGrid.h"
#include "platform/AsciiCase.h"
#include "platform/MessageBox.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace vantrel {
namespace {

// Sorts each run of computer entries of the list as the enumeration sorts
// them (CNetEnum::SortNames); domain entries keep their places, so the place
// where a stored computer was inserted does not show.
void SortComputersInDomains(NetworkNameList& list) {
  for (auto run = list.begin(); run != list.end();) {
    if (!IsComputerEntry(*run)) {
      ++run;
      continue;
    }
    const auto end =
        std::find_if(run, list.end(), [](const std::string& e) { return !IsComputerEntry(e); });
    std::vector<std::string> names(std::make_move_iterator(run), std::make_move_iterator(end));
    CNetEnum::SortNames(names);
    std::move(names.begin(), names.end(), run);
    run = end;
  }
}

// The registry as one filling reads it: each key whose values are asked for
// is read whole, once, in the order it enumerates, and the values are then
// looked up in memory, by name without regard to case as the registry looks
// them up. Reading the book's cells of ten thousand computers one value at a
// time would ask the hive twenty thousand times. A key that cannot be read
// whole is asked value by value as usual; everything else goes to the
// registry itself.
class SnapshotReads final : public IRegistry {
 public:
  explicit SnapshotReads(IRegistry& reg) : reg_(reg) {}

  long QueryValue(RootKey root, std::string_view path, std::string_view name,
                  RegValue* out) override {
    const Key& key = Load(root, path);
    if (!key.whole) return reg_.QueryValue(root, path, name, out);
    if (!key.exists) return ERROR_FILE_NOT_FOUND;
    const auto found = key.values.find(AsciiUpper(name));
    if (found == key.values.end()) return ERROR_FILE_NOT_FOUND;
    if (out) *out = found->second;
    return ERROR_SUCCESS;
  }

  long CreateKey(RootKey root, std::string_view path) override {
    return reg_.CreateKey(root, path);
  }
  long OpenKey(RootKey root, std::string_view path) override { return reg_.OpenKey(root, path); }
  long DeleteKey(RootKey root, std::string_view path) override {
    return reg_.DeleteKey(root, path);
  }
  long SetValue(RootKey root, std::string_view path, std::string_view name, uint32_t type,
                std::span<const uint8_t> data) override {
    return reg_.SetValue(root, path, name, type, data);
  }
  long DeleteValue(RootKey root, std::string_view path, std::string_view name) override {
    return reg_.DeleteValue(root, path, name);
  }
  long EnumValue(RootKey root, std::string_view path, uint32_t index, RegValue* out) override {
    return reg_.EnumValue(root, path, index, out);
  }
  long QueryValueCount(RootKey root, std::string_view path, uint32_t* count) override {
    return reg_.QueryValueCount(root, path, count);
  }
  long BeginTransaction() override { return reg_.BeginTransaction(); }
  long CommitTransaction() override { return reg_.CommitTransaction(); }
  long RollbackTransaction() override { return reg_.RollbackTransaction(); }

 private:
  struct Key {
    RootKey root = RootKey::CurrentUser;
    std::string path;
    bool whole = false;  // read completely (or known to be missing)
    bool exists = false;
    std::unordered_map<std::string, RegValue> values;  // by upper-cased name
  };

  const Key& Load(RootKey root, std::string_view path) {
    // A filling asks a few keys, over and over: found by comparing the path.
    for (Key& known : keys_)
      if (known.root == root && EqualsIgnoringAsciiCase(known.path, path)) return known;
    Key& key = keys_.emplace_back();
    key.root = root;
    key.path = std::string(path);
    const long open = reg_.OpenKey(root, path);
    if (open == ERROR_FILE_NOT_FOUND) {
      key.whole = true;
      return key;
    }
    if (open != ERROR_SUCCESS) return key;
    for (uint32_t i = 0;; ++i) {
      RegValue v;
      const long rc = reg_.EnumValue(root, path, i, &v);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) {
        key.values.clear();  // not whole: asked value by value instead
        return key;
      }
      std::string folded = AsciiUpper(v.name);
      key.values.try_emplace(std::move(folded), std::move(v));
    }
    key.whole = true;
    key.exists = true;
    return key;
  }

  IRegistry& reg_;
  std::deque<Key> keys_;  // stays where it is as keys are added
};

}  // namespace

CUserInfoDlg::CUserInfoDlg(NetworkRefresh& refresh, IRegistry& registry, QWidget* owner,
                           const ui::TextCodec* codec, IMessageBox* messageBox)
    : CNetworkListDlg(res::kUserInfoDialog, refresh, owner,
                      // What waits while the network is enumerated; Cancel never does.
                      {res::IDC_USER_INFO_OK, res::IDC_REFRESH}),
      profile_(registry),
      codec_(codec),
      messageBox_(messageBox) {
  // The grid takes the place of frame 1031, which only marks where it goes.
  grid_ = new CUserInfoGrid(built().client, codec_);
  if (QWidget* place = ui::FindControlWidget(this, res::IDC_GRID_PLACE)) {
    grid_->setGeometry(place->geometry());
    place->hide();
    // First in the tab order, before OK.
    QWidget::setTabOrder(grid_, ui::FindControlWidget(this, res::IDC_USER_INFO_OK));
  }
  grid_->show();
  SetList(grid_);

  auto button = [this](int id) { return ui::FindControl<QPushButton>(this, id); };
  connect(button(res::IDC_USER_INFO_OK), &QPushButton::clicked, this, &CUserInfoDlg::OnOk);
  connect(button(res::IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
  connect(button(res::IDC_REFRESH), &QPushButton::clicked, this, &CUserInfoDlg::OnRefresh);
}

CUserInfoDlg::~CUserInfoDlg() = default;

void CUserInfoDlg::RepositionControls(int dx, int dy) {
  // The buttons and the animation follow the right edge; the grid stretches.
  for (int id :
       {res::IDC_USER_INFO_OK, res::IDCANCEL, res::IDC_REFRESH, res::IDC_SEARCH_ANIMATION}) {
    MoveControl(dx, 0, id);
  }
  GrowControl(dx, dy, grid_);
}

void CUserInfoDlg::Fill() { FillOrRefresh(); }

void CUserInfoDlg::BeforeRefresh() {
  // What is typed but not yet stored is dropped with the refill anyway.
  grid_->DropOpenEdit();
}

void CUserInfoDlg::FillList() {
  grid_->ClearRows();

  ui::TreeGridNode* root =
      grid_->InsertRootRow(CUserInfoGrid::MakeRow(kRootText, CUserInfoGrid::kImageNetwork));
  if (root) {
    // The cache with the computers the book remembers and the network does
    // not show; the cache itself stays as it is.
    NetworkNameList working;
    // The book is read in one transaction (rolled back: nothing is written
    // in it), so the merge and the cells see the same book, and the hive is
    // not locked and unlocked again for each of the thousands of values read.
    RegTransaction oneRead(profile_.registry());
    if (MergeStoredComputers(profile_, working, refresh().cache().Entries()))
      SortComputersInDomains(working);
    ui::TreeGridNode* domain = root;  // computers before every domain: under the root
    for (std::string& entry : working) {
      if (!IsComputerEntry(entry)) {
        domain = grid_->InsertChildRow(
            root, CUserInfoGrid::MakeRow(std::move(entry), CUserInfoGrid::kImageDomain),
            /*show=*/false);
        continue;
      }
      std::string label(ComputerLabel(entry));
      if (label.empty()) continue;  // nothing to name it by
      grid_->InsertChildRow(domain,
                            CUserInfoGrid::MakeRow(std::move(label), CUserInfoGrid::kImageComputer),
                            /*show=*/false);
    }
    int last = 0;
    grid_->ExpandAllBelow(root, &last);
    SnapshotReads reads(profile_.registry());
    LoadAddressBookCells(Profile(reads), *grid_);
  }
  ++fills_;
}

void CUserInfoDlg::OnOk() {
  if (isRefreshing()) return;
  // Clicking OK takes the focus from an open edit, which stores it; OK pressed
  // in another way must not lose what was typed either.
  grid_->EndOpenEdit();
  if (!SaveAddressBook(profile_, *grid_)) {
    const QString text = QString::fromLatin1(kSaveFailedText);
    if (messageBox_) {
      messageBox_->Show(text.toStdString());
    } else {
      ui::ShowMessageBox(text, this);
    }
    return;
  }
  accept();
}

}  // namespace vantrel
