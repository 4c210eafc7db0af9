#include "send/qt/SendDlg.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QValidator>
#include <algorithm>
#include <iterator>
#include <utility>

#include "app/QuitFlag.h"
#include "app/TrayOwner.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "send/SendOperation.h"
#include "ui/AboutDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/TextCodec.h"
#include "ui/TrayIcon.h"

namespace vantrel {
namespace {

bool MessagesEqualNoCase(std::string_view a, std::string_view b) {
  return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
             .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                      Qt::CaseInsensitive) == 0;
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The wait cursor of the Send operation. It steps aside while a box of the
// operation is open, so that the box is answered with the normal pointer.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() {
    if (on_) QApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void Suspend() {
    if (on_) QApplication::restoreOverrideCursor();
    on_ = false;
  }
  void Resume() {
    if (!on_) QApplication::setOverrideCursor(Qt::WaitCursor);
    on_ = true;
  }

 private:
  bool on_ = true;
};

// Upper-cases the receiver line as it is typed, one character for one
// (simple case mapping, as the system's upper-case edit fields do): the text
// keeps its length, so the cursor stays where the user put it.
class ReceiverCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    for (QChar& c : input) {
      if (!c.isSurrogate()) c = c.toUpper();
    }
    return Acceptable;
  }
};

}  // namespace

// Counts a modal loop run on behalf of the dialog; when the last one ends, a
// destruction asked for meanwhile (Exit while a box was open) happens.
class CSendDlg::ModalScope {
 public:
  explicit ModalScope(CSendDlg* dialog) : dialog_(dialog) { ++dialog_->modalDepth_; }
  ~ModalScope() {
    if (--dialog_->modalDepth_ == 0 && dialog_->destroyWhenIdle_) {
      QMetaObject::invokeMethod(dialog_, &CSendDlg::OnCancel, Qt::QueuedConnection);
    }
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  CSendDlg* dialog_;
};

CSendDlg::CSendDlg(QWidget* owner, SendDlgServices services)
    : QDialog(owner),
      services_(std::move(services)),
      quitFlag_(services_.quitFlag ? *services_.quitFlag : app::QuitFlag::Process()),
      history_(&MessagesEqualNoCase) {
  ui::BuildDialog(this, res::kSendDialog);
  receiverEdit_ = ui::FindControl<QLineEdit>(this, res::IDC_RECEIVER);
  messageEdit_ = ui::FindControl<QPlainTextEdit>(this, res::IDC_MESSAGE);
  senderEdit_ = ui::FindControl<QLineEdit>(this, res::IDC_SENDER);
  clearButton_ = ui::FindControl<QPushButton>(this, res::IDC_CLEAR);
  Q_ASSERT(receiverEdit_ && messageEdit_ && senderEdit_ && clearButton_);
  const QValidator* templateValidator = receiverEdit_->validator();
  receiverEdit_->setValidator(new ReceiverCaseValidator(receiverEdit_));
  delete templateValidator;

  // Message map.
  const auto button = [this](int id) { return ui::FindControl<QPushButton>(this, id); };
  connect(button(res::IDC_SEND), &QPushButton::clicked, this, &CSendDlg::OnSend);
  const int quickIds[] = {res::IDC_QUICK_OK, res::IDC_QUICK_THANKS, res::IDC_QUICK_YES,
                          res::IDC_QUICK_NO};
  for (size_t i = 0; i < std::size(quickIds); ++i) {
    const QString text = QString::fromLatin1(kQuickAnswers[i]);
    connect(button(quickIds[i]), &QPushButton::clicked, this,
            [this, text] { OnQuickAnswer(text); });
  }
  connect(clearButton_, &QPushButton::clicked, this, &CSendDlg::OnClear);
  connect(button(res::IDC_OTHERS), &QPushButton::clicked, this, &CSendDlg::OnSelectReceivers);
  connect(button(res::IDC_HISTORY_PREV), &QPushButton::clicked, this, &CSendDlg::OnHistoryPrevious);
  connect(button(res::IDC_HISTORY_NEXT), &QPushButton::clicked, this, &CSendDlg::OnHistoryNext);
  connect(button(res::IDC_HISTORY_DELETE), &QPushButton::clicked, this, &CSendDlg::OnHistoryDelete);
  connect(receiverEdit_, &QLineEdit::textChanged, this, &CSendDlg::UpdateClearEnabled);

  // Initialization. The Select Receiver dialog is there only when wired.
  button(res::IDC_OTHERS)->setEnabled(static_cast<bool>(services_.selectReceivers));

  const QIcon icon = res::LoadIconResource(res::IDI_MAINFRAME);
  tray_ = std::make_unique<ui::TrayIcon>(
      this, icon, services_.trayOwner ? *services_.trayOwner : app::TrayOwner::Process(),
      services_.trayAvailable);
  connect(tray_.get(), &ui::TrayIcon::commandTriggered, this, &CSendDlg::OnTrayCommand);
  tray_->Add();  // takes effect only for the main window of the sender-only mode
  if (tray_->usesOtherHome()) AddOtherHomeMenuBar();
  setWindowIcon(icon);

  updateData(true);
  const std::string computer = services_.computerName ? services_.computerName() : std::string();
  sender_ = Decode(computer);
  if (sender_.isEmpty()) sender_ = FromUtf8(kNoBodySender);
  updateData(false);

  UpdateClearEnabled();

  for (QWidget* child : findChildren<QWidget*>()) {
    const int id = ui::ControlId(child);
    if (id == res::IDC_STATIC) continue;
    child->setToolTip(ui::LoadStringResource(id));
  }
}

CSendDlg::~CSendDlg() {
  // RemoveTrayIcon: does something only for the owner of the icon.
  tray_->Remove();
}

void CSendDlg::SetReceiverLine(const QString& text) {
  updateData(true);
  receiverLine_ = text;
  message_.clear();
  updateData(false);
}

void CSendDlg::updateData(bool take) {
  if (take) {
    sender_ = senderEdit_->text();
    message_ = messageEdit_->toPlainText();
    receiverLine_ = receiverEdit_->text();
    return;
  }
  // A field whose text is unchanged is left alone, so that its cursor and
  // undo history stay.
  if (senderEdit_->text() != sender_) senderEdit_->setText(sender_);
  if (messageEdit_->toPlainText() != message_) messageEdit_->setPlainText(message_);
  if (receiverEdit_->text() != receiverLine_) receiverEdit_->setText(receiverLine_);
}

void CSendDlg::OnSend() {
  WaitCursor wait;
  updateData(true);
  SendFields fields{receiverLine_.toStdString(), sender_.toStdString(), message_.toStdString()};

  SendServices services;
  services.sendDatagram = [this](std::string_view sender, std::string_view name,
                                 std::string_view message) {
    const ModalScope scope(this);  // the name check may show its own box
    return SendOne(sender, name, message);
  };
  services.directory = services_.directory;
  services.isPopupCaptureMode = services_.isPopupCaptureMode;
  services.showBox = [this, &wait](std::string_view text) {
    wait.Suspend();
    ShowBox(text);
    wait.Resume();
  };

  const SendOutcome outcome = RunSendOperation(fields, history_, services);
  // The member holds the trimmed line; the field keeps the line as typed.
  receiverLine_ = FromUtf8(fields.receiverLine);
  if (outcome != SendOutcome::kRejected) PostCancel();
}

void CSendDlg::OnQuickAnswer(const QString& text) {
  updateData(true);
  message_ = text;
  updateData(false);
  OnSend();
}

void CSendDlg::OnClear() {
  updateData(true);
  receiverLine_.clear();
  updateData(false);
  UpdateClearEnabled();
}

void CSendDlg::OnSelectReceivers() {
  if (!services_.selectReceivers) return;
  std::optional<QString> chosen;
  {
    const ModalScope scope(this);
    const QPointer<CSendDlg> alive(this);
    chosen = services_.selectReceivers(this);
    if (!alive) return;
  }
  if (!chosen) return;
  updateData(true);
  receiverLine_ = *chosen;
  updateData(false);
}

void CSendDlg::OnHistoryPrevious() {
  if (history_.Previous()) ShowHistoryPair();
}

void CSendDlg::OnHistoryNext() {
  if (history_.Next()) ShowHistoryPair();
}

void CSendDlg::OnHistoryDelete() {
  if (history_.Delete()) ShowHistoryPair();
}

void CSendDlg::ShowHistoryPair() {
  updateData(true);
  if (const HistoryPair* pair = history_.Shown()) {
    receiverLine_ = FromUtf8(pair->receiverLine);
    message_ = FromUtf8(pair->message);
  } else {
    receiverLine_.clear();
    message_.clear();
  }
  updateData(false);
}

void CSendDlg::UpdateClearEnabled() { clearButton_->setEnabled(!receiverEdit_->text().isEmpty()); }

void CSendDlg::OnTrayCommand(int id) {
  switch (id) {
    case res::ID_TRAY_SHOW:
      ui::ShowAndActivate(this);
      break;
    case res::ID_TRAY_ABOUT: {
      const ModalScope scope(this);
      if (services_.showAbout) {
        services_.showAbout(this);
      } else {
        ui::AboutDlg::ShowModal(this);
      }
      break;
    }
    case res::ID_TRAY_EXIT:
      quitFlag_.Set();
      PostCancel();
      break;
    default:
      break;
  }
}

void CSendDlg::PostCancel() {
  QMetaObject::invokeMethod(this, &CSendDlg::OnCancel, Qt::QueuedConnection);
}

void CSendDlg::reject() { OnCancel(); }

void CSendDlg::OnCancel() {
  if (quitFlag_.isSet()) {
    if (modalDepth_ > 0) {
      // A box or dialog of ours is open and its caller is still on the stack:
      // close it, and destroy the window once it has returned.
      destroyWhenIdle_ = true;
      if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
          modal && modal != this && isAncestorOf(modal)) {
        modal->reject();
      }
      return;
    }
    hide();
    deleteLater();
    return;
  }
  if (LivesInOtherHome()) {
    // Without a notification area the window could not come back from hiding.
    showMinimized();
    return;
  }
  if (!parentWidget()) showMinimized();
  hide();
}

void CSendDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && !LivesInOtherHome()) {
    // After the minimising has run to its end (showMinimized shows the window
    // once more after the state changed).
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (isMinimized() && !LivesInOtherHome()) hide();
        },
        Qt::QueuedConnection);
  }
}

void CSendDlg::showEvent(QShowEvent* event) {
  // Centred over the owner the first time; afterwards it shows where it was left.
  if (!centred_ && !event->spontaneous()) {
    centred_ = true;
    if (QWidget* owner = parentWidget()) {
      QRect frame = frameGeometry();
      frame.moveCenter(owner->window()->frameGeometry().center());
      if (const QScreen* screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        frame.moveRight(std::min(frame.right(), area.right()));
        frame.moveBottom(std::min(frame.bottom(), area.bottom()));
        frame.moveLeft(std::max(frame.left(), area.left()));
        frame.moveTop(std::max(frame.top(), area.top()));
      }
      move(frame.topLeft());
    }
  }
  QDialog::showEvent(event);
}

bool CSendDlg::LivesInOtherHome() const { return !parentWidget() && tray_->usesOtherHome(); }

void CSendDlg::AddOtherHomeMenuBar() {
  otherHomeBar_ = new QMenuBar(this);
  otherHomeBar_->setNativeMenuBar(false);
  otherHomeBar_->addMenu(tray_->NewOtherHomeMenu(otherHomeBar_));
  const int height = otherHomeBar_->sizeHint().height();
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child != otherHomeBar_ && !child->isWindow()) child->move(child->x(), child->y() + height);
  }
  otherHomeBar_->setGeometry(0, 0, width(), height);
  setFixedSize(width(), this->height() + height);
}

void CSendDlg::ShowBox(std::string_view text) {
  const ModalScope scope(this);
  ui::ShowMessageBox(FromUtf8(text), this);
}

std::string CSendDlg::Encode(const QString& text) const {
  if (services_.codec) return services_.codec->FromQString(text);
  return text.toStdString();
}

QString CSendDlg::Decode(std::string_view bytes) const {
  if (services_.codec) return services_.codec->ToQString(bytes);
  return FromUtf8(bytes);
}

int CSendDlg::SendOne(std::string_view sender, std::string_view name,
                      std::string_view message) const {
  if (!services_.sendDatagram) return 0;
  // Line breaks travel as CR LF, as the Messenger service writes them.
  QString text = FromUtf8(message);
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return services_.sendDatagram(Encode(FromUtf8(sender)), Encode(FromUtf8(name)), Encode(text));
}

}  // namespace vantrel
