#include "receive/qt/ReceiveDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>
#include <new>
#include <optional>
#include <stdexcept>

#include "receive/BeepService.h"
#include "res/Dialogs.h"
#include "res/Menus.h"
#include "res/Resources.h"
#include "transport/Datagram.h"
#include "transport/PopupText.h"
#include "ui/AboutDlg.h"
#include "ui/TrayIcon.h"

namespace vantrel {
namespace {

constexpr char kInsufficientMemory[] = "Insufficient memory.";

ui::TrayOwner& OwnerOf(const ReceiveContext& ctx) {
  return ctx.trayOwner ? *ctx.trayOwner : ui::TrayOwner::Process();
}

ui::QuitFlag& QuitOf(const ReceiveContext& ctx) {
  return ctx.quit ? *ctx.quit : ui::QuitFlag::Process();
}

// The window's command ids and the commands they stand for.
struct CommandEntry {
  int id;
  ReceiveCommand command;
};
constexpr CommandEntry kCommands[] = {
    {res::ID_MESSAGE_EXIT, ReceiveCommand::kExit},
    {res::ID_MESSAGE_SEND, ReceiveCommand::kSend},
    {res::ID_MESSAGE_DELETE, ReceiveCommand::kDelete},
    {res::ID_MESSAGE_PREVIOUS, ReceiveCommand::kPrevious},
    {res::ID_MESSAGE_NEXT, ReceiveCommand::kNext},
    {res::ID_HELP_ABOUT, ReceiveCommand::kAbout},
    {res::ID_MESSAGE_DELETE_ALL, ReceiveCommand::kDeleteAll},
    {res::ID_OPTION_AUTO_START, ReceiveCommand::kAutoStart},
    {res::ID_OPTION_AUTO_POPUP, ReceiveCommand::kAutoPopup},
    {res::ID_OPTION_AUTO_BEEP, ReceiveCommand::kAutoBeep},
    {res::ID_MESSAGE_RESPONSE, ReceiveCommand::kResponse},
    {res::ID_TRAY_SHOW, ReceiveCommand::kTrayShow},
    {res::ID_TRAY_EXIT, ReceiveCommand::kTrayExit},
    {res::ID_TRAY_ABOUT, ReceiveCommand::kTrayAbout},
    {res::ID_OPTION_USER_INFO, ReceiveCommand::kUserInfo},
};

std::optional<ReceiveCommand> CommandFor(int id) {
  for (const CommandEntry& e : kCommands) {
    if (e.id == id) return e.command;
  }
  return std::nullopt;
}

// Line breaks of the wire (CR LF, or a lone CR) as the edit shows them.
QString ForDisplay(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

CReceiveDlg::CReceiveDlg(ReceiveContext context)
    : QDialog(nullptr),
      ctx_(std::move(context)),
      profile_(*ctx_.registry),
      codec_(*ctx_.codePage, ctx_.system->AnsiCodePage()),
      saver_(*ctx_.registry) {
  if (!ctx_.sendDatagram)
    ctx_.sendDatagram = [](std::string_view, std::string_view, std::string_view) { return 0; };
  store_.SetLimits(kReceiveWindowLimits);
  pollTimer_.setSingleShot(true);
  connect(&pollTimer_, &QTimer::timeout, this, &CReceiveDlg::OnPoll);
}

CReceiveDlg::~CReceiveDlg() {
  // A window deleted without the Exit command still saves what it holds.
  if (created_ && !destroyed_) DestroyWindow();
}

bool CReceiveDlg::Create() {
  if (created_) return true;
  ui::BuiltDialog built = ui::BuildDialog(this, res::kReceiveDialog, &res::kReceiveMenu);
  menuBar_ = built.menuBar;
  QWidget* client = built.client;
  fromLabel_ = ui::FindControl<QLabel>(client, res::IDC_MSG_FROM);
  onLabel_ = ui::FindControl<QLabel>(client, res::IDC_MSG_ON);
  autoRespondBox_ = ui::FindControl<QCheckBox>(client, res::IDC_AUTO_RESPOND);
  showResponseBox_ = ui::FindControl<QCheckBox>(client, res::IDC_SHOW_RESPONSE);
  textEdit_ = ui::FindControl<QPlainTextEdit>(client, res::IDC_MSG_TEXT);
  currentLabel_ = ui::FindControl<QLabel>(client, res::IDC_CURRENT_COUNT);
  totalLabel_ = ui::FindControl<QLabel>(client, res::IDC_TOTAL_COUNT);
  if (!fromLabel_ || !onLabel_ || !autoRespondBox_ || !showResponseBox_ || !textEdit_ ||
      !currentLabel_ || !totalLabel_ || !menuBar_)
    return false;
  // Names and texts come from the network: never taken as markup.
  for (QLabel* label : {fromLabel_, onLabel_, currentLabel_, totalLabel_})
    label->setTextFormat(Qt::PlainText);

  // Tool bar 133 in the top 14 units the template leaves free.
  toolBar_ = ui::BuildToolBar(res::kReceiveToolBar, client);
  toolBar_->setGeometry(0, 0, client->width(), built.units.Y(14));
  toolBar_->show();

  // Message map: menu bar, tool bar, check boxes.
  connect(menuBar_, &QMenuBar::triggered, this, [this](QAction* action) {
    const int id = ui::CommandId(action);
    // The icon menu's commands in the menu bar (no notification area) come
    // through the icon's own signal.
    if (id == res::ID_TRAY_SHOW || id == res::ID_TRAY_ABOUT || id == res::ID_TRAY_EXIT) return;
    OnCommand(id);
  });
  connect(toolBar_, &QToolBar::actionTriggered, this,
          [this](QAction* action) { OnCommand(ui::CommandId(action)); });
  ui::ApplyCommandRuleOnShow(menuBar_, [this](int id) {
    ui::CommandState state;
    state.enabled = isCommandEnabled(id);
    const std::optional<ReceiveCommand> command = CommandFor(id);
    if (command && IsReceiveCommandCheckable(*command)) state.checked = isCommandChecked(id);
    return state;
  });
  connect(autoRespondBox_, &QCheckBox::clicked, this,
          [this](bool on) { WriteOption(profile_, kOptAutoRespond, on); });
  connect(showResponseBox_, &QCheckBox::clicked, this,
          [this](bool on) { WriteOption(profile_, kOptShowResponse, on); });

  created_ = true;
  OnInitDialog();

  // The Send dialog comes after the initialisation, so the icon is already
  // this window's when the dialog tries to add its own.
  sendDialog_ = ctx_.makeSendDialog ? ctx_.makeSendDialog(this) : nullptr;
  if (!sendDialog_) sendDialog_ = std::make_unique<NullSendDialog>();
  return true;
}

void CReceiveDlg::OnInitDialog() {
  // The icon, owned by the first window that adds it: this one.
  const QIcon icon = ctx_.icon.isNull() ? res::LoadIconResource(res::IDI_MAINFRAME) : ctx_.icon;
  tray_ = std::make_unique<ui::TrayIcon>(this, icon, OwnerOf(ctx_), ctx_.trayAvailable);
  connect(tray_.get(), &ui::TrayIcon::commandTriggered, this, &CReceiveDlg::OnTrayCommand);
  tray_->Add();
  if (tray_->usesOtherHome()) menuBar_->addMenu(tray_->NewOtherHomeMenu(menuBar_));

  setWindowIcon(icon);

  autoStart_ = ctx_.autostart && ReadAutostartFlag(*ctx_.autostart);
  options_ = LoadOptions(profile_);
  autoRespondBox_->setChecked(options_.autoRespond);
  showResponseBox_->setChecked(options_.showResponse);
  LoadSavedMessages(*ctx_.registry, store_);
  store_.ShowNewest();

  const QString title = ui::LoadStringResource(res::IDS_APP_TITLE);
  setWindowTitle(title.isEmpty() ? QStringLiteral("Tessivane") : title);

  RefreshCounters();
  RefreshMessageView();
  lastCaptured_.Clear();

  const bool capture = IsPopupCaptureMode();
  IArrivalView& view = *this;
  arrivals_ =
      std::make_unique<ArrivalProcessor>(profile_, *ctx_.system, ctx_.sendDatagram, view, capture);
  if (capture) {
    if (!options_.autoBeep) RunBeepServiceCommand(*ctx_.system, true);
    if (ctx_.hook) ctx_.hook->StartFunc(reinterpret_cast<uintptr_t>(this));
    captureActive_ = true;
  } else {
    pollTimer_.start(ctx_.pollIntervalMs);
  }
}

// ---- Display ------------------------------------------------------------------

bool CReceiveDlg::autoRespond() const { return autoRespondBox_ && autoRespondBox_->isChecked(); }

bool CReceiveDlg::showResponse() const { return showResponseBox_ && showResponseBox_->isChecked(); }

QString CReceiveDlg::FromBytes(std::string_view bytes) const { return codec_.ToQString(bytes); }

void CReceiveDlg::RefreshCounters() {
  const CounterTexts texts = store_.RefreshCounters();
  currentLabel_->setText(QString::fromStdString(texts.current));
  totalLabel_->setText(QString::fromStdString(texts.total));
  UpdateToolBar();
}

void CReceiveDlg::RefreshMessageView() {
  const MessageViewTexts texts = store_.RefreshMessageView();
  fromLabel_->setText(FromBytes(texts.firstHeaderLine));
  onLabel_->setText(FromBytes(texts.secondHeaderLine));
  const QString text = ForDisplay(FromBytes(texts.text));
  // An unchanged text keeps the edit's scroll position and selection.
  if (textEdit_->toPlainText() != text) textEdit_->setPlainText(text);
}

void CReceiveDlg::ShowAndActivate() { ui::ShowAndActivate(this); }

// ---- Update rules -----------------------------------------------------------

ReceiveCommandState CReceiveDlg::CommandState() const {
  ReceiveCommandState s;
  s.total = store_.total();
  s.current = store_.current();
  s.autoStart = autoStart_;
  s.autoPopup = options_.autoPopup;
  s.autoBeep = options_.autoBeep;
  s.userInfoAvailable = static_cast<bool>(ctx_.showUserInfo);
  return s;
}

bool CReceiveDlg::isCommandEnabled(int id) const {
  const std::optional<ReceiveCommand> command = CommandFor(id);
  return command && IsReceiveCommandEnabled(*command, CommandState());
}

bool CReceiveDlg::isCommandChecked(int id) const {
  const std::optional<ReceiveCommand> command = CommandFor(id);
  return command && IsReceiveCommandChecked(*command, CommandState());
}

void CReceiveDlg::UpdateToolBar() {
  if (!toolBar_) return;
  ui::ApplyCommandRule(toolBar_->actions(), [this](int id) {
    ui::CommandState state;
    state.enabled = isCommandEnabled(id);
    return state;
  });
}

// ---- Intake -------------------------------------------------------------------

bool CReceiveDlg::IsPopupCaptureMode() const {
  return ctx_.isPopupCaptureMode && ctx_.isPopupCaptureMode() != 0;
}

void CReceiveDlg::RunArrivals(uint32_t previousPosition, uint32_t previousTotal) {
  ArrivalFlags flags;
  flags.autoPopup = options_.autoPopup;
  flags.autoBeep = options_.autoBeep;
  flags.autoRespond = autoRespond();
  const ArrivalResult result =
      arrivals_->ProcessArrivals(store_, previousPosition, previousTotal, flags);
  if (result.newMessages > 0) SaveMessages();
}

void CReceiveDlg::OnPoll() {
  if (destroyed_) return;
  // Polls never overlap, also while a box opened during this one runs its
  // own loop.
  pollTimer_.stop();
  const uint32_t position = store_.current();
  const uint32_t total = store_.total();
  if (ctx_.readMessageSlot) {
    std::vector<MessageRecord> arrived;
    (void)ctx_.readMessageSlot(arrived, showResponse() ? 1 : 0);
    if (!arrived.empty()) store_.Append(std::move(arrived));
  }
  RunArrivals(position, total);
  if (!destroyed_) pollTimer_.start(ctx_.pollIntervalMs);
}

void CReceiveDlg::OnCopyData(const CopyDataRecord& record) {
  if (destroyed_) return;
  const uint32_t position = store_.current();
  const uint32_t total = store_.total();
  if (record.lpData != nullptr) {
    const std::string text = CapturedText(record);
    if (lastCaptured_.IsRepeat(text)) return;
    lastCaptured_.Set(text);
    try {
      std::optional<MessageRecord> captured =
          RecordFromCapturedText(text, *ctx_.system, showResponse());
      if (captured) store_.Append(std::move(*captured));
    } catch (const std::bad_alloc&) {
      if (ctx_.messageBox) ctx_.messageBox->Show(kInsufficientMemory);
    } catch (const std::length_error&) {
      if (ctx_.messageBox) ctx_.messageBox->Show(kInsufficientMemory);
    }
  }
  RunArrivals(position, total);
}

// ---- Commands -----------------------------------------------------------------

bool CReceiveDlg::OnCommand(int id) {
  const std::optional<ReceiveCommand> command = CommandFor(id);
  if (!created_ || destroyed_ || !command || !IsReceiveCommandEnabled(*command, CommandState()))
    return false;
  switch (*command) {
    case ReceiveCommand::kSend:
      sendDialog_->Show();
      break;
    case ReceiveCommand::kResponse:
      if (store_.current() != 0 && !store_.empty()) {
        std::string sender;
        store_.GetRecordFields(store_.current() - 1, nullptr, &sender, nullptr, nullptr);
        sendDialog_->SetReceiverLine(SenderWithoutMark(sender));
      }
      sendDialog_->Show();
      break;
    case ReceiveCommand::kDelete:
      if (store_.Delete()) {
        RefreshCounters();
        RefreshMessageView();
        HideIfEmpty();
        lastCaptured_.Clear();
        SaveMessages();
      }
      break;
    case ReceiveCommand::kDeleteAll:
      store_.DeleteAll();
      RefreshCounters();
      RefreshMessageView();
      HideIfEmpty();
      lastCaptured_.Clear();
      SaveMessages();
      break;
    case ReceiveCommand::kPrevious:
      store_.Previous();
      RefreshCounters();
      RefreshMessageView();
      break;
    case ReceiveCommand::kNext:
      store_.Next();
      RefreshCounters();
      RefreshMessageView();
      break;
    case ReceiveCommand::kExit:
      OnCancel();
      break;
    case ReceiveCommand::kAutoStart:
      if (ctx_.autostart) ToggleAutostart(*ctx_.autostart, *ctx_.system, autoStart_);
      break;
    case ReceiveCommand::kAutoPopup:
      options_.autoPopup = !options_.autoPopup;
      WriteOption(profile_, kOptAutoPopup, options_.autoPopup);
      break;
    case ReceiveCommand::kAutoBeep:
      options_.autoBeep = !options_.autoBeep;
      // Off stops the system's beep service, on starts it again.
      RunBeepServiceCommand(*ctx_.system, !options_.autoBeep);
      break;
    case ReceiveCommand::kAbout:
    case ReceiveCommand::kTrayAbout:
      if (ctx_.showAbout)
        ctx_.showAbout(this);
      else
        ui::AboutDlg::ShowModal(this);
      break;
    case ReceiveCommand::kTrayShow:
      ShowAndActivate();
      break;
    case ReceiveCommand::kTrayExit:
      QuitOf(ctx_).Set();
      // Posted, as the icon menu posts Cancel: the window goes once the menu
      // has returned.
      QMetaObject::invokeMethod(this, &CReceiveDlg::OnCancel, Qt::QueuedConnection);
      break;
    case ReceiveCommand::kUserInfo:
      if (!ctx_.showUserInfo) return false;
      // Modal; its result is of no concern here. The window may be destroyed
      // meanwhile (a termination signal ends every loop), so nothing of it is
      // touched afterwards.
      ctx_.showUserInfo(this);
      return true;
  }
  UpdateToolBar();
  return true;
}

void CReceiveDlg::OnTrayCommand(int id) { OnCommand(id); }

void CReceiveDlg::OnCancel() {
  if (destroyed_) return;
  if (QuitOf(ctx_).isSet()) {
    DestroyWindow();
    return;
  }
  showMinimized();
  // Without a notification area the task bar is the way back.
  if (!tray_ || !tray_->usesOtherHome()) hide();
}

void CReceiveDlg::HideIfEmpty() {
  if (!store_.empty() || !isVisible()) return;
  // Minimising hides the window (see changeEvent); a hidden one stays hidden.
  showMinimized();
  if (!tray_ || !tray_->usesOtherHome()) hide();
}

void CReceiveDlg::reject() { OnCancel(); }

void CReceiveDlg::accept() { OnCancel(); }

void CReceiveDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The OK command: the same as Exit.
      OnCommand(res::ID_MESSAGE_EXIT);
      event->accept();
      return;
    case Qt::Key_Escape:
      OnCancel();
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CReceiveDlg::closeEvent(QCloseEvent* event) {
  if (destroyed_) {
    event->accept();
    return;
  }
  event->ignore();
  OnCancel();
}

void CReceiveDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || destroyed_) return;
  // The window never stays minimised on the task bar, unless there is no
  // notification area to come back from. The state changes before a
  // showMinimized() makes the window visible, so the hiding waits for that.
  if (isMinimized() && (!tray_ || !tray_->usesOtherHome())) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (isMinimized() && !destroyed_) hide();
        },
        Qt::QueuedConnection);
  }
}

// ---- Session end and destruction ---------------------------------------------

void CReceiveDlg::SaveMessages(bool always) {
  // After changes, only what differs from the last save is written; at the
  // end of the session and at destruction the key is written in any case.
  if (always) saver_.Forget();
  saver_.Save(store_);
}

void CReceiveDlg::OnQueryEndSession() {
  if (created_ && !destroyed_) SaveMessages(true);
}

void CReceiveDlg::DestroyWindow() {
  if (destroyed_) return;
  destroyed_ = true;
  pollTimer_.stop();
  if (tray_) tray_->Remove();
  if (captureActive_) {
    RunBeepServiceCommand(*ctx_.system, false);
    if (ctx_.hook) ctx_.hook->StopFunc();
    captureActive_ = false;
  }
  SaveMessages(true);
  store_.DeleteAll();
  hide();
  // The Send dialog goes with its owner.
  sendDialog_.reset();
  emit windowDestroyed();
}

}  // namespace vantrel
