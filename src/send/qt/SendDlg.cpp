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
#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

#include "res/Dialogs.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "transport/Messenger.h"
#include "ui/AboutDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/QuitFlag.h"
#include "ui/TextCodec.h"
#include "ui/TrayIcon.h"
#include "ui/TrayOwner.h"

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

// A field whose text is unchanged is left alone, so that its cursor and undo
// history stay.
void SetText(QLineEdit* edit, const QString& text) {
  if (edit->text() != text) edit->setText(text);
}

void SetText(QPlainTextEdit* edit, const QString& text) {
  if (edit->toPlainText() != text) edit->setPlainText(text);
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
      quitFlag_(services_.quitFlag ? *services_.quitFlag : ui::QuitFlag::Process()),
      history_(&MessagesEqualNoCase) {
  ui::BuildDialog(this, res::kSendDialog);
  receiverEdit_ = ui::FindControl<QLineEdit>(this, res::IDC_RECEIVER);
  messageEdit_ = ui::FindControl<QPlainTextEdit>(this, res::IDC_MESSAGE);
  senderEdit_ = ui::FindControl<QLineEdit>(this, res::IDC_SENDER);
  clearButton_ = ui::FindControl<QPushButton>(this, res::IDC_CLEAR);
  Q_ASSERT(receiverEdit_ && messageEdit_ && senderEdit_ && clearButton_);

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
      this, icon, services_.trayOwner ? *services_.trayOwner : ui::TrayOwner::Process(),
      services_.trayAvailable);
  connect(tray_.get(), &ui::TrayIcon::commandTriggered, this, &CSendDlg::OnTrayCommand);
  tray_->Add();  // takes effect only for the main window of the sender-only mode
  if (tray_->usesOtherHome()) AddOtherHomeMenuBar();
  setWindowIcon(icon);

  const std::string computer = services_.computerName ? services_.computerName() : std::string();
  const QString sender = Decode(computer);
  senderEdit_->setText(sender.isEmpty() ? FromUtf8(kNoBodySender) : sender);

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
  SetText(receiverEdit_, text);
  SetText(messageEdit_, QString());
}

void CSendDlg::OnSend() {
  if (sending_) return;  // one send at a time
  auto fields = std::make_shared<SendFields>(SendFields{receiverEdit_->text().toStdString(),
                                                        senderEdit_->text().toStdString(),
                                                        messageEdit_->toPlainText().toStdString()});

  if (!services_.runInBackground) {
    WaitCursor wait;
    SendServices services = OperationServices(false);
    services.sendDatagram = [this, send = std::move(services.sendDatagram)](
                                std::string_view sender, std::string_view name,
                                std::string_view message) {
      const ModalScope scope(this);  // the name check may show its own box
      return send ? send(sender, name, message) : 0;
    };
    services.showBox = [this, &wait](std::string_view text) {
      wait.Suspend();
      ShowBox(text);
      wait.Resume();
    };
    FinishSend(*fields, RunSendOperation(*fields, services));
    return;
  }

  // In the background the window stays responsive; the boxes of the
  // operation come to this thread and the send waits until they are answered.
  const SendServices services = OperationServices(true);
  const QPointer<CSendDlg> self(this);
  const bool queued = services_.runInBackground([self, fields, services] {
    const SendOutcome outcome = RunSendOperation(*fields, services);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, fields, outcome] {
          if (self) self->FinishSend(*fields, outcome);
        },
        Qt::QueuedConnection);
  });
  if (!queued) {
    ShowBox(kSendFailedText);
    return;
  }
  sending_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CSendDlg::FinishSend(const SendFields& fields, SendOutcome outcome) {
  if (sending_) {
    sending_ = false;
    QApplication::restoreOverrideCursor();
  }
  RecordSend(outcome, fields, history_);
  if (outcome != SendOutcome::kRejected) PostCancel();
}

SendServices CSendDlg::OperationServices(bool inBackground) {
  SendServices services;
  const ui::TextCodec* codec = services_.codec;
  // Text typed in the dialog to the bytes of the wire; line breaks travel as
  // CR LF, as the Messenger service writes them.
  const auto encode = [codec](std::string_view utf8, bool text) {
    QString s = FromUtf8(utf8);
    if (text) s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return codec ? codec->FromQString(s) : s.toStdString();
  };
  if (services_.sendDatagram) {
    services.sendDatagram = [send = services_.sendDatagram, encode](std::string_view sender,
                                                                    std::string_view name,
                                                                    std::string_view message) {
      return send(encode(sender, false), encode(name, false), encode(message, true));
    };
  }
  services.payloadSize = [measure = services_.payloadSize, encode](std::string_view sender,
                                                                   std::string_view name,
                                                                   std::string_view message) {
    const std::string s = encode(sender, false), n = encode(name, false), m = encode(message, true);
    return measure ? measure(s, n, m) : MessengerPayloadSize(s, n, m);
  };
  services.directory = services_.directory;
  // Asked now, on this thread: the mode holds for the whole run.
  const int captureMode = services_.isPopupCaptureMode ? services_.isPopupCaptureMode() : 0;
  services.isPopupCaptureMode = [captureMode] { return captureMode; };
  if (inBackground) {
    services.showBox = [](std::string_view text) { ui::ShowMessageBox(FromUtf8(text)); };
  }
  return services;
}

void CSendDlg::OnQuickAnswer(const QString& text) {
  SetText(messageEdit_, text);
  OnSend();
}

void CSendDlg::OnClear() {
  SetText(receiverEdit_, QString());
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
  SetText(receiverEdit_, *chosen);
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
  const HistoryPair* pair = history_.Shown();
  SetText(receiverEdit_, pair ? FromUtf8(pair->receiverLine) : QString());
  SetText(messageEdit_, pair ? FromUtf8(pair->message) : QString());
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

QString CSendDlg::Decode(std::string_view bytes) const {
  if (services_.codec) return services_.codec->ToQString(bytes);
  return FromUtf8(bytes);
}

}  // namespace vantrel
