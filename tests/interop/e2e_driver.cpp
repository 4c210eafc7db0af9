// The end-to-end driver: the real program (the application object on the
// production Linux platform, with the real settings hive, mailslot, name check
// and name responder) run in-process, so that a test on the private LAN can
// look at its windows and use them as a user would. It starts exactly as the
// Vantrel program does (RunMessenger) and takes the same environment
// (XDG_CONFIG_HOME, TMPDIR, the host's smb.conf); the only differences are
// that message boxes become lines on standard output instead of modal boxes,
// and that commands come in on standard input.
//
// Standard output, one "key: value" line each, values escaped (\\, \r, \n,
// \t, \xHH for other bytes):
//   pid, mode (mailslot mode | pop-up capture mode | sender-only mode),
//   main-window (CReceiveDlg | CSendDlg | none), tray-owner (main-window |
//   other | none), receive-window (yes | no), windows (the class names of the
//   program's dialog windows, sorted), computer (the Send dialog's
//   sender), the window line (below), then "ready: 1".
//   box: TEXT                  a message box the program showed
//   window: 1011=..\t1012=..\t1007=..\t1013=..\t1014=..
//                              the receive window's controls, printed at
//                              start and whenever one of them changes
//   ended: STATUS              the event loop ended; the process exits with it
//
// Commands on standard input, one per line:
//   send RECEIVERS<TAB>TEXT    opens the Send dialog (the receive window's Send
//                              command, or the icon menu's Show in sender-only
//                              mode), types the receiver line and the text
//                              (\n in TEXT presses Enter), presses Send (1001)
//                              and prints "typed: LINE" and, once the posted
//                              close has run, "sent: visible=0|1"
//   window                     prints the window line now
//   select, select-...         the Send dialog's "..." (Select Receiver)
//                              dialog; see "The Select Receiver dialog" below
//   store                      prints "record: TIME|SENDER|RECEIVER|TEXT" for
//                              every stored record, oldest first, then
//                              "store: total=N current=M"
//   summary                    prints "summary: records=N total=N bytes=B
//                              dropped=D" (the store's size and what its limits
//                              dropped), without the records
//   exit                       the icon menu's Exit: the program ends as the
//                              user ends it (messages saved)
//   visible                    prints "visible: 0|1": whether the receive
//                              window is on the screen (shown, not minimised)
//   hide                       the receive window's Exit (which hides it),
//                              then prints "visible: 0|1"
//   network                    prints "network: ENTRY" for every entry of the
//                              network list cache, then "network: end"
//   userinfo open              triggers the receive window's User Info
//                              command (the dialog runs modally; the commands
//                              after this one run inside its loop) and prints
//                              "userinfo: opening"
//   userinfo wait              waits until the dialog is shown and filled and
//                              prints "userinfo: filled rows=N"
//   userinfo show              prints "userinfo-row: LEVEL|LABEL|ALIAS|MASK"
//                              for every row of the grid, top to bottom, then
//                              "userinfo: rows=N"
//   userinfo alias NAME TEXT   double-clicks the Alias cell of computer NAME,
//                              types TEXT over the old alias and presses Enter;
//                              prints "userinfo: alias NAME=ALIAS"
//   userinfo type NAME TEXT    the same, without Enter: the editor stays open;
//                              prints "userinfo: typing NAME=TEXT"
//   userinfo mask NAME N [PNG] double-clicks the Black List cell of computer
//                              NAME, sets the Black List dialog's four boxes
//                              to the bits of N (and takes its picture into
//                              PNG) and presses its OK; prints
//                              "userinfo: mask NAME=CELL"
//   userinfo click NAME COLUMN a click on a cell of computer NAME (column 0, 1
//                              or 2); prints "userinfo: current row=R column=C"
//   userinfo resize DX DY      makes the dialog DX, DY pixels larger; prints
//                              "userinfo: size WxH"
//   userinfo grab PNG          a picture of the dialog into the file PNG;
//                              prints "userinfo: grabbed PNG"
//   userinfo refresh           presses Refresh, waits for the new filling and
//                              prints "userinfo: filled rows=N"
//   userinfo ok|cancel         presses OK (1030) or Cancel (2); prints
//                              "userinfo: closed=0|1" (OK that could not save
//                              leaves the dialog open: closed=0 after a box)
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "EscapeText.h"
#include "app/OperatingMode.h"
#include "app/qt/LinuxPlatform.h"
#include "app/qt/MessengerApp.h"
#include "app/qt/TerminationSignals.h"
#include "directory/qt/BlackListDlg.h"
#include "directory/qt/NetworkRefresh.h"
#include "directory/qt/SelectReceiverDlg.h"
#include "directory/qt/UserInfoDlg.h"
#include "directory/qt/UserInfoGrid.h"
#include "receive/qt/ReceiveDlg.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "send/qt/SendDlg.h"
#include "settings/Profile.h"
#include "ui/CellEdit.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/MultiSelectTree.h"
#include "ui/TrayIcon.h"
#include "ui/TrayOwner.h"

namespace vantrel::e2e {
namespace {

std::string Escape(std::string_view in) { return interop::EscapeText(in, true); }

std::string Escape(const QString& text) { return Escape(text.toStdString()); }

void Line(const std::string& key, const std::string& value) {
  std::printf("%s: %s\n", key.c_str(), value.c_str());
  std::fflush(stdout);
}

QString Unescape(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\' || i + 1 >= in.size()) {
      out.push_back(in[i]);
      continue;
    }
    const char c = in[++i];
    if (c == 'n') {
      out.push_back('\n');
    } else if (c == 't') {
      out.push_back('\t');
    } else if (c == 'x' && i + 2 < in.size()) {
      out.push_back(static_cast<char>(std::strtoul(in.substr(i + 1, 2).c_str(), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

QAction* ActionWithId(const QList<QAction*>& actions, int id) {
  for (QAction* a : actions) {
    if (ui::CommandId(a) == id) return a;
  }
  return nullptr;
}

class Driver : public QObject {
 public:
  explicit Driver(app::MessengerApp& messenger) : messenger_(messenger) {
    connect(&watch_, &QTimer::timeout, this, [this] { ReportWindow(false); });
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Driver::OnInput);
  }

  void Started() {
    Line("pid", std::to_string(::getpid()));
    QWidget* main = messenger_.mainWindow();
    Line("mode", app::OperatingModeName(messenger_.mode()));
    Line("main-window", !main                              ? "none"
                        : qobject_cast<CReceiveDlg*>(main) ? "CReceiveDlg"
                        : qobject_cast<CSendDlg*>(main)    ? "CSendDlg"
                                                           : main->metaObject()->className());
    const void* owner = ui::TrayOwner::Process().owner();
    Line("tray-owner", !owner                                    ? "none"
                       : owner == static_cast<const void*>(main) ? "main-window"
                                                                 : "other");
    Line("receive-window", messenger_.receiveWindow() ? "yes" : "no");
    QStringList windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<QDialog*>(w)) {
        windows << QString::fromLatin1(w->metaObject()->className())
                       .remove(QStringLiteral("vantrel::"));
      }
    }
    windows.sort();
    Line("windows", windows.join(QLatin1Char(' ')).toStdString());
    if (auto* send = SendDialog()) {
      const std::string computer =
          ui::FindControl<QLineEdit>(send, res::IDC_SENDER)->text().toStdString();
      Line("computer", Escape(computer));
    }
    ReportWindow(true);
    watch_.start(50);
    Line("ready", "1");
  }

 private:
  CReceiveDlg* Receive() const {
    CReceiveDlg* r = messenger_.receiveWindow();
    return r && !r->isDestroyed() ? r : nullptr;
  }

  CSendDlg* SendDialog() const {
    if (CReceiveDlg* r = Receive()) {
      return r->sendDialog() ? qobject_cast<CSendDlg*>(r->sendDialog()->window()) : nullptr;
    }
    return messenger_.senderOnlyWindow();
  }

  std::string WindowLine() const {
    CReceiveDlg* r = Receive();
    if (!r) return {};
    std::string line;
    for (int id : {res::IDC_MSG_FROM, res::IDC_MSG_ON, res::IDC_MSG_TEXT, res::IDC_CURRENT_COUNT,
                   res::IDC_TOTAL_COUNT}) {
      QString text;
      if (auto* label = ui::FindControl<QLabel>(r, id)) {
        text = label->text();
      } else if (auto* edit = ui::FindControl<QPlainTextEdit>(r, id)) {
        text = edit->toPlainText();
      } else {
        text = QStringLiteral("<missing>");
      }
      if (!line.empty()) line += '\t';
      line += std::to_string(id) + "=" + Escape(text);
    }
    return line;
  }

  void ReportWindow(bool always) {
    const std::string line = WindowLine();
    if (line.empty() || (!always && line == lastWindow_)) return;
    lastWindow_ = line;
    Line("window", line);
  }

  // --- The Select Receiver dialog ------------------------------------------
  //
  // The dialog is modal: "..." runs it in a loop of its own until it closes,
  // and the commands that come meanwhile run inside that loop. So "select"
  // and "select-ok" only press their button and return; what they print comes
  // from a check that the event loop runs every 20 ms.
  //
  //   select                   opens the Send dialog (as "send" does) and
  //                            presses "..."; once the Select Receiver dialog
  //                            shows and waits for no enumeration, prints
  //                            the tree (below)
  //   select-refresh           presses Refresh; once the enumeration has
  //                            ended, prints the tree
  //   select-click ROW [KEYS]  a left click on the ROW-th item (0: the root,
  //                            then in display order), KEYS ctrl, shift or
  //                            ctrl+shift held; prints the tree
  //   select-grow DX DY        makes the dialog DX wider and DY higher; prints
  //                            "select-size: dialog=WxH tree=WxH"
  //   select-shot FILE         writes a picture of the dialog (QWidget::grab)
  //                            to FILE as PNG; prints "shot: WxH FILE"
  //   select-ok, select-cancel presses OK (Cancel); once the dialog is gone,
  //                            prints "receivers: LINE", the Send dialog's
  //                            receiver line then
  //   select-count             prints "select-count: enumerations=N
  //                            running=0|1": how many enumerations have filled
  //                            the network list cache, and whether one runs
  //   select-send TEXT         types TEXT in the open Send dialog, keeping
  //                            its receiver line, presses Send; prints
  //                            "typed: LINE" and "sent: visible=0|1" as "send"
  //
  // The tree: "item: LEVEL SELECTED TEXT" for every item in display order
  // (LEVEL 0 the root, SELECTED 1 or 0), then "tree: items=N selected=M".

  bool RunSelectCommand(const std::string& command) {
    const size_t blank = command.find(' ');
    const std::string verb = command.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : command.substr(blank + 1);
    if (verb == "select") {
      OpenSelectReceiver();
    } else if (verb == "select-refresh") {
      SelectRefresh();
    } else if (verb == "select-click") {
      SelectClick(rest);
    } else if (verb == "select-grow") {
      SelectGrow(rest);
    } else if (verb == "select-shot") {
      SelectShot(rest);
    } else if (verb == "select-ok") {
      CloseSelectReceiver(res::IDOK);
    } else if (verb == "select-cancel") {
      CloseSelectReceiver(res::IDCANCEL);
    } else if (verb == "select-count") {
      const NetworkRefresh& refresh = messenger_.networkRefresh();
      Line("select-count", "enumerations=" + std::to_string(refresh.cache().generation()) +
                               " running=" + (refresh.isRunning() ? "1" : "0"));
    } else if (verb == "select-send") {
      SendAsSelected(Unescape(rest));
    } else {
      return false;
    }
    return true;
  }

  // Runs then once done holds, checked every 20 ms by whichever event loop
  // runs; after timeoutMs an error line instead.
  void WhenDone(std::function<bool()> done, std::function<void()> then, int timeoutMs,
                const std::string& what) {
    auto* timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    connect(timer, &QTimer::timeout, this, [=] {
      const bool ok = done();
      if (!ok && clock->elapsed() < timeoutMs) return;
      timer->stop();
      timer->deleteLater();
      if (ok) {
        then();
      } else {
        Line("error", what + " timed out");
      }
    });
    timer->start(20);
  }

  // The Select Receiver dialog on the screen, or null.
  static CSelectReceiverDlg* SelectReceiverDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CSelectReceiverDlg*>(w);
      if (dialog && dialog->isVisible()) return dialog;
    }
    return nullptr;
  }

  static bool AnySelectReceiverDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<CSelectReceiverDlg*>(w)) return true;
    }
    return false;
  }

  // The Send dialog opened as the user opens it; null (and an error line)
  // when it does not show.
  CSendDlg* ShowSendDialog() {
    CSendDlg* dialog = SendDialog();
    if (!dialog) {
      Line("error", "no Send dialog");
      return nullptr;
    }
    if (!dialog->isVisible() || dialog->isMinimized()) {
      if (CReceiveDlg* r = Receive()) {
        QAction* send =
            ActionWithId(ui::FindActions(r->menuBar(), res::ID_MESSAGE_SEND), res::ID_MESSAGE_SEND);
        if (send) send->trigger();
      } else if (ui::TrayIcon* tray = dialog->trayIcon()) {
        if (QAction* show = ActionWithId(tray->menu()->actions(), res::ID_TRAY_SHOW)) {
          show->trigger();
        }
      }
    }
    if (!QTest::qWaitForWindowExposed(dialog, 5000)) {
      Line("error", "the Send dialog did not show");
      return nullptr;
    }
    return dialog;
  }

  // The dialog's items in display order.
  static QList<QTreeWidgetItem*> TreeItems(const ui::CMultiSelectTree* tree) {
    QList<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(const_cast<ui::CMultiSelectTree*>(tree)); *it; ++it) {
      items.append(*it);
    }
    return items;
  }

  static void PrintTree(const CSelectReceiverDlg* dialog) {
    const ui::CMultiSelectTree* tree = dialog->tree();
    int selected = 0;
    const QList<QTreeWidgetItem*> items = TreeItems(tree);
    for (const QTreeWidgetItem* item : items) {
      int level = 0;
      for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent()) ++level;
      const bool on = tree->IsItemSelected(item);
      selected += on ? 1 : 0;
      Line("item", std::to_string(level) + (on ? " 1 " : " 0 ") + Escape(item->text(0)));
    }
    Line("tree", "items=" + std::to_string(items.size()) + " selected=" + std::to_string(selected));
  }

  // A dialog filled and not waiting for the network.
  static bool Filled(const CSelectReceiverDlg* dialog) {
    return dialog && !dialog->isRefreshing() && dialog->tree()->topLevelItemCount() > 0;
  }

  void OpenSelectReceiver() {
    if (SelectReceiverDialog()) {
      Line("error", "the Select Receiver dialog is open already");
      return;
    }
    CSendDlg* send = ShowSendDialog();
    if (!send) return;
    auto* others = ui::FindControl<QPushButton>(send, res::IDC_OTHERS);
    if (!others || !others->isEnabled()) {
      Line("error", "no \"...\" button to press");
      return;
    }
    // Pressed from the event loop: the dialog's own loop runs there.
    QTimer::singleShot(0, others, [others] { QTest::mouseClick(others, Qt::LeftButton); });
    WhenDone([] { return Filled(SelectReceiverDialog()); },
             [] { PrintTree(SelectReceiverDialog()); }, 30000, "select");
  }

  CSelectReceiverDlg* NeedSelectReceiver() {
    CSelectReceiverDlg* dialog = SelectReceiverDialog();
    if (!dialog) Line("error", "no Select Receiver dialog");
    return dialog;
  }

  void SelectRefresh() {
    CSelectReceiverDlg* dialog = NeedSelectReceiver();
    if (!dialog) return;
    QTest::mouseClick(ui::FindControl<QPushButton>(dialog, res::IDC_REFRESH), Qt::LeftButton);
    if (!dialog->isRefreshing()) {
      Line("error", "Refresh started no enumeration");
      return;
    }
    if (!QTest::qWaitFor([dialog] { return Filled(dialog); }, 30000)) {
      Line("error", "select-refresh timed out");
      return;
    }
    PrintTree(dialog);
  }

  void SelectClick(const std::string& args) {
    CSelectReceiverDlg* dialog = NeedSelectReceiver();
    if (!dialog) return;
    const size_t blank = args.find(' ');
    const std::string keyText = blank == std::string::npos ? std::string() : args.substr(blank + 1);
    const int row = std::atoi(args.substr(0, blank).c_str());
    Qt::KeyboardModifiers keys;
    if (keyText.find("ctrl") != std::string::npos) keys |= Qt::ControlModifier;
    if (keyText.find("shift") != std::string::npos) keys |= Qt::ShiftModifier;
    ui::CMultiSelectTree* tree = dialog->tree();
    const QList<QTreeWidgetItem*> items = TreeItems(tree);
    if (row < 0 || row >= items.size()) {
      Line("error", "no row " + std::to_string(row));
      return;
    }
    tree->scrollToItem(items[row]);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, keys,
                      tree->visualItemRect(items[row]).center());
    PrintTree(dialog);
  }

  void SelectGrow(const std::string& args) {
    CSelectReceiverDlg* dialog = NeedSelectReceiver();
    if (!dialog) return;
    int dx = 0;
    int dy = 0;
    if (std::sscanf(args.c_str(), "%d %d", &dx, &dy) != 2) {
      Line("error", "select-grow needs DX DY");
      return;
    }
    const QSize wanted = dialog->size() + QSize(dx, dy);
    dialog->resize(wanted);
    (void)QTest::qWaitFor([dialog, wanted] { return dialog->size() == wanted; }, 2000);
    const QSize tree = dialog->tree()->size();
    Line("select-size",
         "dialog=" + std::to_string(dialog->width()) + "x" + std::to_string(dialog->height()) +
             " tree=" + std::to_string(tree.width()) + "x" + std::to_string(tree.height()));
  }

  void SelectShot(const std::string& file) {
    CSelectReceiverDlg* dialog = NeedSelectReceiver();
    if (!dialog) return;
    const QPixmap picture = dialog->grab();
    if (picture.isNull() || !picture.save(QString::fromStdString(file), "PNG")) {
      Line("error", "no picture written to " + Escape(file));
      return;
    }
    Line("shot", std::to_string(picture.width()) + "x" + std::to_string(picture.height()) + " " +
                     Escape(file));
  }

  void CloseSelectReceiver(int button) {
    CSelectReceiverDlg* dialog = NeedSelectReceiver();
    if (!dialog) return;
    QTest::mouseClick(ui::FindControl<QPushButton>(dialog, button), Qt::LeftButton);
    // The dialog's loop ends once this command has returned; then the Send
    // dialog takes the line and the dialog is deleted.
    WhenDone([] { return !AnySelectReceiverDialog(); },
             [this] {
               CSendDlg* send = SendDialog();
               auto* line = send ? ui::FindControl<QLineEdit>(send, res::IDC_RECEIVER) : nullptr;
               Line("receivers", line ? Escape(line->text()) : std::string("<no Send dialog>"));
             },
             10000, button == res::IDOK ? "select-ok" : "select-cancel");
  }

  void SendAsSelected(const QString& text) {
    CSendDlg* dialog = SendDialog();
    if (!dialog || !dialog->isVisible() || SelectReceiverDialog()) {
      Line("error", "select-send needs the Send dialog open, the Select Receiver dialog closed");
      return;
    }
    auto* receiver = ui::FindControl<QLineEdit>(dialog, res::IDC_RECEIVER);
    Retype(ui::FindControl<QPlainTextEdit>(dialog, res::IDC_MESSAGE), text);
    Line("typed", Escape(receiver->text()));
    QTest::mouseClick(ui::FindControl<QPushButton>(dialog, res::IDC_SEND), Qt::LeftButton);
    (void)QTest::qWaitFor([dialog] { return !dialog->isVisible() || dialog->isMinimized(); }, 2000);
    Line("sent",
         std::string("visible=") + (dialog->isVisible() && !dialog->isMinimized() ? "1" : "0"));
  }

  // --- end of the Select Receiver dialog -----------------------------------

  void OnInput() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      notifier_->setEnabled(false);  // end of the commands; the program goes on
      return;
    }
    input_.append(buffer, static_cast<size_t>(n));
    for (size_t eol; (eol = input_.find('\n')) != std::string::npos;) {
      pending_.push_back(input_.substr(0, eol));
      input_.erase(0, eol + 1);
    }
    Drain();
  }

  // Runs the waiting commands. A command that waits runs the event loop;
  // input that comes meanwhile queues up behind it. A command that starts a
  // modal dialog (userinfo open) yields: the rest run from the dialog's loop.
  void Drain() {
    if (busy_) return;
    busy_ = true;
    while (!pending_.empty()) {
      const std::string command = pending_.front();
      pending_.pop_front();
      if (!Run(command)) {
        busy_ = false;
        QTimer::singleShot(0, this, &Driver::Drain);
        return;
      }
    }
    busy_ = false;
  }

  // False when the command yields (see Drain).
  bool Run(const std::string& command) {
    if (RunSelectCommand(command)) return true;
    if (command.rfind("send ", 0) == 0) {
      const std::string rest = command.substr(5);
      const size_t tab = rest.find('\t');
      if (tab == std::string::npos) {
        Line("error", "send needs RECEIVERS<TAB>TEXT");
        return true;
      }
      Send(Unescape(rest.substr(0, tab)), Unescape(rest.substr(tab + 1)));
    } else if (command == "window") {
      ReportWindow(true);
    } else if (command == "store") {
      PrintStore();
    } else if (command == "summary") {
      PrintSummary();
    } else if (command == "exit") {
      Exit();
    } else if (command == "visible" || command == "hide") {
      CReceiveDlg* r = Receive();
      if (r && command == "hide") {
        if (QAction* exit = ActionWithId(ui::FindActions(r->menuBar(), res::ID_MESSAGE_EXIT),
                                         res::ID_MESSAGE_EXIT))
          exit->trigger();
        QApplication::processEvents();
      }
      Line("visible", r && r->isVisible() && !r->isMinimized() ? "1" : "0");
    } else if (command == "network") {
      for (const std::string& entry : messenger_.networkRefresh().cache().Entries())
        Line("network", Escape(entry));
      Line("network", "end");
    } else if (command.rfind("userinfo ", 0) == 0) {
      return UserInfo(command.substr(9));
    } else if (!command.empty()) {
      Line("error", "unknown command " + Escape(command));
    }
    return true;
  }

  // ---- The User Info dialog ----

  static CUserInfoDlg* UserInfoDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<CUserInfoDlg*>(w); d && d->isVisible()) return d;
    }
    return nullptr;
  }

  // The row of the computer whose name (its label up to the first blank) is
  // name, without regard to case; -1 when there is none.
  static int ComputerRow(const CUserInfoGrid& grid, const QString& name) {
    for (int r = 0; r < grid.RowCount(); ++r) {
      const ui::TreeGridNode* node = grid.NodeAt(r);
      if (node->Level() != 3) continue;
      const QString label = grid.DisplayText(node->Row().Label());
      if (label.section(QLatin1Char(' '), 0, 0).compare(name, Qt::CaseInsensitive) == 0) return r;
    }
    return -1;
  }

  static void DoubleClickCell(CUserInfoGrid* grid, int row, int column) {
    grid->EnsureRowVisible(row);
    const QPoint p = grid->CellRect(row, column).center();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, p);
  }

  static bool WaitFilled(CUserInfoDlg* dialog, int fills) {
    return QTest::qWaitFor(
        [dialog, fills] { return !dialog->isRefreshing() && dialog->fillCount() >= fills; }, 60000);
  }

  bool UserInfo(const std::string& args) {
    const QStringList words = QString::fromStdString(args).split(QLatin1Char(' '));
    const QString verb = words.value(0);
    if (verb == QStringLiteral("open")) {
      CReceiveDlg* r = Receive();
      QAction* action = r ? ActionWithId(ui::FindActions(r->menuBar(), res::ID_OPTION_USER_INFO),
                                         res::ID_OPTION_USER_INFO)
                          : nullptr;
      if (!action || !r->isCommandEnabled(res::ID_OPTION_USER_INFO)) {
        Line("error", "User Info is not available");
        return true;
      }
      // Posted: the modal loop must not run inside this command.
      QTimer::singleShot(0, action, &QAction::trigger);
      Line("userinfo", "opening");
      return false;
    }
    CUserInfoDlg* dialog = nullptr;
    if (!QTest::qWaitFor([&dialog] { return (dialog = UserInfoDialog()) != nullptr; }, 10000)) {
      Line("error", "no User Info dialog");
      return true;
    }
    CUserInfoGrid* grid = dialog->grid();
    if (verb == QStringLiteral("wait") || verb == QStringLiteral("refresh")) {
      const int fills = dialog->fillCount() + (verb == QStringLiteral("refresh") ? 1 : 0);
      if (verb == QStringLiteral("refresh"))
        QTest::mouseClick(ui::FindControl<QPushButton>(dialog, res::IDC_REFRESH), Qt::LeftButton);
      if (!WaitFilled(dialog, std::max(1, fills))) {
        Line("error", "the User Info grid was not filled");
        return true;
      }
      Line("userinfo", "filled rows=" + std::to_string(grid->RowCount()));
    } else if (verb == QStringLiteral("show")) {
      for (int r = 0; r < grid->RowCount(); ++r) {
        const ui::TreeGridNode* node = grid->NodeAt(r);
        Line("userinfo-row", std::to_string(node->Level()) + "|" + Escape(node->Row().Label()) +
                                 "|" + Escape(node->Row().Cell(0)) + "|" +
                                 Escape(node->Row().Cell(1)));
      }
      Line("userinfo", "rows=" + std::to_string(grid->RowCount()));
    } else if ((verb == QStringLiteral("alias") || verb == QStringLiteral("type")) &&
               words.size() >= 2) {
      const int row = ComputerRow(*grid, words[1]);
      if (row < 0) {
        Line("error", "no computer " + Escape(words[1]));
        return true;
      }
      const QString text = Unescape(words.mid(2).join(QLatin1Char(' ')).toStdString());
      DoubleClickCell(grid, row, CUserInfoGrid::kAliasColumn);
      ui::CCellEdit* editor = nullptr;
      auto openEditor = [grid]() -> ui::CCellEdit* {
        for (ui::CCellEdit* e : grid->findChildren<ui::CCellEdit*>())
          if (!e->isHidden()) return e;
        return nullptr;
      };
      if (!QTest::qWaitFor([&] { return (editor = openEditor()) != nullptr; }, 5000)) {
        Line("error", "no editor on the Alias cell");
        return true;
      }
      Retype(editor, text);
      if (verb == QStringLiteral("type")) {
        Line("userinfo", "typing " + Escape(words[1]) + "=" + Escape(editor->text()));
        return true;
      }
      QTest::keyClick(editor, Qt::Key_Return);
      Line("userinfo",
           "alias " + Escape(words[1]) + "=" + Escape(grid->NodeAt(row)->Row().Cell(0)));
    } else if (verb == QStringLiteral("mask") && (words.size() == 3 || words.size() == 4)) {
      const int row = ComputerRow(*grid, words[1]);
      if (row < 0) {
        Line("error", "no computer " + Escape(words[1]));
        return true;
      }
      const int mask = words[2].toInt();
      const QString picture = words.value(3);
      // The Black List dialog is modal: it is answered from a timer while the
      // double click waits in its loop.
      auto* poll = new QTimer(this);
      connect(poll, &QTimer::timeout, this, [poll, mask, picture] {
        auto* bl = qobject_cast<CBlackListDlg*>(QApplication::activeModalWidget());
        if (!bl || !bl->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        for (int bit = 0; bit < CBlackListDlg::kBoxCount; ++bit) {
          auto* box = ui::FindControl<QCheckBox>(bl, res::IDC_NO_RESPOND_P2P + bit);
          if (box && box->isChecked() != (((mask >> bit) & 1) != 0))
            QTest::mouseClick(box, Qt::LeftButton);
        }
        if (!picture.isEmpty()) Grab(bl, picture);
        QTest::mouseClick(ui::FindControl<QPushButton>(bl, res::IDOK), Qt::LeftButton);
      });
      poll->start(20);
      DoubleClickCell(grid, row, CUserInfoGrid::kBlackListColumn);
      Line("userinfo", "mask " + Escape(words[1]) + "=" + Escape(grid->NodeAt(row)->Row().Cell(1)));
    } else if (verb == QStringLiteral("click") && words.size() == 3) {
      const int row = ComputerRow(*grid, words[1]);
      const int column = words[2].toInt();
      if (row < 0 || column < 0 || column >= grid->ColumnCount()) {
        Line("error", "no cell " + Escape(args));
        return true;
      }
      grid->EnsureRowVisible(row);
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(row, column).center());
      Line("userinfo", "current row=" + std::to_string(grid->SelectedRow()) +
                           " column=" + std::to_string(grid->CurrentColumn()));
    } else if (verb == QStringLiteral("resize") && words.size() == 3) {
      dialog->resize(dialog->size() + QSize(words[1].toInt(), words[2].toInt()));
      QTest::qWait(100);
      Line("userinfo",
           "size " + std::to_string(dialog->width()) + "x" + std::to_string(dialog->height()));
    } else if (verb == QStringLiteral("grab") && words.size() == 2) {
      Grab(dialog, words[1]);
    } else if (verb == QStringLiteral("ok") || verb == QStringLiteral("cancel")) {
      const int id = verb == QStringLiteral("ok") ? res::IDC_USER_INFO_OK : res::IDCANCEL;
      QTest::mouseClick(ui::FindControl<QPushButton>(dialog, id), Qt::LeftButton);
      QPointer<CUserInfoDlg> still(dialog);
      Line("userinfo", std::string("closed=") + (still && still->isVisible() ? "0" : "1"));
    } else {
      Line("error", "unknown command userinfo " + Escape(args));
    }
    return true;
  }

  // A picture of a window, as the screen shows it.
  static void Grab(QWidget* window, const QString& file) {
    QTest::qWait(200);  // painted
    const bool saved = window->grab().save(file);
    Line("userinfo", (saved ? "grabbed " : "cannot write ") + Escape(file));
  }

  static void Retype(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(field, Qt::Key_Return);
      QTest::keyClicks(field, lines[i]);
    }
  }

  void Send(const QString& receivers, const QString& text) {
    CSendDlg* dialog = SendDialog();
    if (!dialog) {
      Line("error", "no Send dialog");
      return;
    }
    // Opened the way the user opens it.
    if (CReceiveDlg* r = Receive()) {
      QAction* send =
          ActionWithId(ui::FindActions(r->menuBar(), res::ID_MESSAGE_SEND), res::ID_MESSAGE_SEND);
      if (send) send->trigger();
    } else if (ui::TrayIcon* tray = dialog->trayIcon()) {
      if (QAction* show = ActionWithId(tray->menu()->actions(), res::ID_TRAY_SHOW)) show->trigger();
    }
    if (!QTest::qWaitForWindowExposed(dialog, 5000)) {
      Line("error", "the Send dialog did not show");
      return;
    }
    auto* receiver = ui::FindControl<QLineEdit>(dialog, res::IDC_RECEIVER);
    auto* message = ui::FindControl<QPlainTextEdit>(dialog, res::IDC_MESSAGE);
    auto* sendButton = ui::FindControl<QPushButton>(dialog, res::IDC_SEND);
    Retype(receiver, receivers);
    Retype(message, text);
    Line("typed", Escape(receiver->text()));
    QTest::mouseClick(sendButton, Qt::LeftButton);
    // The dialog posts its own close after the send.
    (void)QTest::qWaitFor([dialog] { return !dialog->isVisible() || dialog->isMinimized(); }, 2000);
    Line("sent",
         std::string("visible=") + (dialog->isVisible() && !dialog->isMinimized() ? "1" : "0"));
  }

  void PrintStore() {
    CReceiveDlg* r = Receive();
    if (!r) {
      Line("store", "none");
      return;
    }
    const MessageStore& store = r->store();
    for (size_t i = 0; i < store.RecordCount(); ++i) {
      const RecordFields f = store.GetRecordFields(i);
      Line("record", Escape(f.time) + "|" + Escape(f.sender) + "|" + Escape(f.receiver) + "|" +
                         Escape(f.text));
    }
    Line("store",
         "total=" + std::to_string(store.total()) + " current=" + std::to_string(store.current()));
  }

  void PrintSummary() {
    CReceiveDlg* r = Receive();
    if (!r) {
      Line("summary", "none");
      return;
    }
    const MessageStore& store = r->store();
    Line("summary", "records=" + std::to_string(store.RecordCount()) +
                        " total=" + std::to_string(store.total()) +
                        " bytes=" + std::to_string(store.RecordBytes()) +
                        " dropped=" + std::to_string(store.DroppedOverLimits()));
  }

  void Exit() {
    QWidget* main = messenger_.mainWindow();
    ui::TrayIcon* tray = nullptr;
    if (auto* r = qobject_cast<CReceiveDlg*>(main)) tray = r->trayIcon();
    if (auto* s = qobject_cast<CSendDlg*>(main)) tray = s->trayIcon();
    QAction* exit = tray ? ActionWithId(tray->menu()->actions(), res::ID_TRAY_EXIT) : nullptr;
    if (!exit) {
      Line("error", "no icon menu");
      return;
    }
    exit->trigger();
  }

  app::MessengerApp& messenger_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer watch_;
  std::string lastWindow_;
  std::string input_;
  std::deque<std::string> pending_;
  bool busy_ = false;
};

// The program's own run, with the driver attached once it has started.
int Run() {
  ui::SetMessageBoxHook([](const QString& text) { Line("box", Escape(text)); });
  bool started = false;
  int rc = app::RunMessenger([&started](app::MessengerApp& messenger) {
    auto driver = std::make_unique<Driver>(messenger);
    driver->Started();
    started = true;
    return std::unique_ptr<QObject>(std::move(driver));
  });
  if (!started) Line("start", "ended at start-up");
  Line("ended", std::to_string(rc));
  return rc;
}

}  // namespace
}  // namespace vantrel::e2e

int main(int argc, char** argv) {
  vantrel::app::TerminationSignals::Install();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QApplication app(argc, argv);
  return vantrel::e2e::Run();
}
