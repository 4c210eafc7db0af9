#include "ui/HyperlinkLabel.h"

#include <sys/types.h>
#include <unistd.h>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <csignal>

#include "ui/MessageBox.h"

namespace vantrel::ui {

// ---------------------------------------------------------------- texts

QString OpenErrorText(int result) {
  switch (result) {
    case 0:
      return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
      return QStringLiteral("The specified file was not found.");
    case 3:
      return QStringLiteral("The specified path was not found.");
    case 5:
      return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
      return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
      return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
      return QStringLiteral("A sharing violation occurred. ");
    case 27:
      return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
      return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
          "being processed.");
    case 31:
      return QStringLiteral(
          "There is no application associated\nwith the given filename extension.");
    case 32:
      return QStringLiteral("The specified dynamic-link library was not found.");
    default:
      return QStringLiteral("Unknown Error (%1) occurred.").arg(result);
  }
}

// ---------------------------------------------------------------- browser fallback

namespace {

bool IsPlaceholderLetter(QChar c) { return c == u'u' || c == u'U' || c == u'f' || c == u'F'; }

// Position of the first placeholder; with quoted, only one written as
// "%u" (quotes included), and the position is that of the opening quote.
qsizetype FindPlaceholder(const QString& exec, bool quoted) {
  for (qsizetype i = 0; i + 1 < exec.size(); ++i) {
    if (exec[i] != u'%') continue;
    if (exec[i + 1] == u'%') {  // an escaped percent sign
      ++i;
      continue;
    }
    if (!IsPlaceholderLetter(exec[i + 1])) continue;
    if (!quoted) return i;
    if (i > 0 && exec[i - 1] == u'"' && i + 2 < exec.size() && exec[i + 2] == u'"') return i - 1;
  }
  return -1;
}

// Undoes the string escapes of a desktop file value (\s \n \t \r \\).
QString UnescapeValue(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != u'\\' || i + 1 >= value.size()) {
      out += value[i];
      continue;
    }
    const QChar next = value[++i];
    if (next == u's') {
      out += u' ';
    } else if (next == u'n') {
      out += u'\n';
    } else if (next == u't') {
      out += u'\t';
    } else if (next == u'r') {
      out += u'\r';
    } else if (next == u'\\') {
      out += u'\\';
    } else {
      out += u'\\';
      out += next;
    }
  }
  return out;
}

int StartDetached(const QString& program, const QStringList& arguments) {
  QString path = program;
  if (!program.contains(u'/')) {
    path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) return kOpenFileNotFound;
  }
  const QFileInfo info(path);
  if (!info.exists()) {
    return info.absoluteDir().exists() ? kOpenFileNotFound : kOpenPathNotFound;
  }
  if (!info.isFile() || !info.isExecutable()) return kOpenAccessDenied;
  return QProcess::startDetached(path, arguments) ? kOpenOk : kOpenOutOfResources;
}

// The most a desktop-id answer may be; a query that writes more is given up.
constexpr qint64 kMaxQueryOutput = 4096;

// One run of the default-browser query. It lives until its process has ended
// (or the application goes) and answers exactly once; the process runs in a
// process group of its own, so that giving up kills whatever the query started
// as well.
class BrowserQuery : public QObject {
 public:
  using Reply = std::function<void(const QString&)>;

  BrowserQuery(int limitMs, Reply reply)
      : QObject(QCoreApplication::instance()), reply_(std::move(reply)) {
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(&process_, &QProcess::finished, this, &BrowserQuery::OnFinished);
    connect(&process_, &QProcess::errorOccurred, this, &BrowserQuery::OnError);
    connect(&process_, &QProcess::readyReadStandardOutput, this, [this] {
      if (process_.bytesAvailable() > kMaxQueryOutput) GiveUp();
    });
    limit_.setSingleShot(true);
    limit_.setInterval(limitMs);
    connect(&limit_, &QTimer::timeout, this, &BrowserQuery::GiveUp);
  }

  ~BrowserQuery() override {
    KillGroup();
    process_.waitForFinished(1000);  // killed: ends at once
  }

  void Start() {
    limit_.start();
    process_.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                                QStringLiteral("x-scheme-handler/http")});
  }

 private:
  // The reply runs from the event loop, not inside this object's handlers:
  // it may run a modal box, in whose loop this object may end.
  void Answer(const QString& id) {
    limit_.stop();
    if (answered_) return;
    answered_ = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [reply = std::move(reply_), id] { reply(id); },
        Qt::QueuedConnection);
  }

  void KillGroup() {
    if (process_.state() == QProcess::NotRunning) return;
    const qint64 pid = process_.processId();
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process_.kill();
  }

  void OnFinished(int exitCode, QProcess::ExitStatus status) {
    QString id;
    if (status == QProcess::NormalExit && exitCode == 0 &&
        process_.bytesAvailable() <= kMaxQueryOutput) {
      id = QString::fromLocal8Bit(process_.readAllStandardOutput()).trimmed();
      // One desktop id; anything else (several lines, a path) is not used.
      if (id.contains(u'\n') || id.contains(u'/') || !id.endsWith(QStringLiteral(".desktop"))) {
        id.clear();
      }
    }
    Answer(id);
    deleteLater();
  }

  void OnError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;  // the others end in finished()
    Answer({});
    deleteLater();
  }

  void GiveUp() {
    KillGroup();  // finished() follows and removes this object
    Answer({});
  }

  QProcess process_{this};
  QTimer limit_{this};
  Reply reply_;
  bool answered_ = false;
};

QUrl TargetUrl(const QString& target) {
  const QUrl url(target);
  if (url.isValid() && !url.scheme().isEmpty() && !QDir::isAbsolutePath(target)) return url;
  return QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile);
}

// Steps 2 to 4 of an open the desktop could not do: the browser's desktop
// entry, its command line up to the placeholder, the target as one more
// argument (never parsed by a shell).
int StartBrowser(const DesktopLinkOpener::Environment& env, const QString& desktopId,
                 const QString& target, int failure) {
  if (desktopId.isEmpty()) return failure;
  const QString file = FindDesktopFile(desktopId, env.dataDirs ? env.dataDirs() : XdgDataDirs());
  if (file.isEmpty()) return failure;
  const QString exec = ReadDesktopExec(file);
  if (exec.isEmpty()) return failure;
  QStringList arguments = SplitExecLine(CutBrowserCommand(exec));
  if (arguments.isEmpty() || !env.start) return failure;
  const QString program = arguments.takeFirst();
  arguments << target;
  return env.start(program, arguments);
}

}  // namespace

void QueryDefaultBrowser(int limitMs, std::function<void(const QString& desktopId)> reply) {
  (new BrowserQuery(limitMs, std::move(reply)))->Start();
}

QString CutBrowserCommand(const QString& exec) {
  qsizetype cut = FindPlaceholder(exec, true);
  if (cut < 0) cut = FindPlaceholder(exec, false);
  QString command = cut < 0 ? exec : exec.left(cut);
  while (!command.isEmpty() && command.back().isSpace()) command.chop(1);
  return command;
}

QStringList SplitExecLine(const QString& line) {
  QStringList args;
  QString current;
  bool inArg = false;
  bool inQuotes = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (inQuotes) {
      if (c == u'"') {
        inQuotes = false;
      } else if (c == u'\\' && i + 1 < line.size() &&
                 QStringView(u"\"`$\\").contains(line[i + 1])) {
        current += line[++i];
      } else {
        current += c;
      }
      continue;
    }
    if (c == u' ' || c == u'\t' || c == u'\n') {
      if (inArg) args << current;
      current.clear();
      inArg = false;
      continue;
    }
    inArg = true;
    if (c == u'"') {
      inQuotes = true;
    } else if (c == u'%' && i + 1 < line.size()) {
      if (line[i + 1] == u'%') current += u'%';
      ++i;  // a field code: dropped
    } else {
      current += c;
    }
  }
  if (inArg) args << current;
  // A field code standing alone leaves an empty argument; it is no argument.
  args.removeIf([](const QString& a) { return a.isEmpty(); });
  return args;
}

QString ReadDesktopExec(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&file);
  bool inEntry = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(u'[')) {
      inEntry = line == QStringLiteral("[Desktop Entry]");
      continue;
    }
    if (!inEntry || line.startsWith(u'#')) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0 || line.left(eq).trimmed() != QStringLiteral("Exec")) continue;
    return UnescapeValue(line.mid(eq + 1).trimmed());
  }
  return {};
}

QString FindDesktopFile(const QString& desktopId, const QStringList& dataDirs) {
  if (desktopId.isEmpty() || desktopId.contains(u'/')) return {};
  for (const QString& dir : dataDirs) {
    const QString apps = dir + QStringLiteral("/applications/");
    if (QFileInfo(apps + desktopId).isFile()) return apps + desktopId;
    // "vendor-name.desktop" may live in "vendor/name.desktop".
    QString nested = desktopId;
    for (qsizetype dash = nested.indexOf(u'-'); dash >= 0; dash = nested.indexOf(u'-', dash + 1)) {
      nested[dash] = u'/';
      if (QFileInfo(apps + nested).isFile()) return apps + nested;
    }
  }
  return {};
}

QStringList XdgDataDirs() {
  QStringList dirs;
  const QString home = qEnvironmentVariable("XDG_DATA_HOME");
  dirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home);
  const QString system = qEnvironmentVariable("XDG_DATA_DIRS");
  for (const QString& d :
       (system.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : system)
           .split(u':', Qt::SkipEmptyParts)) {
    dirs << d;
  }
  return dirs;
}

DesktopLinkOpener::DesktopLinkOpener() : env_(SystemEnvironment()) {}

DesktopLinkOpener::Environment DesktopLinkOpener::SystemEnvironment(int browserQueryLimitMs) {
  Environment env;
  env.openUrl = [](const QString& target) { return QDesktopServices::openUrl(TargetUrl(target)); };
  env.defaultBrowser = [browserQueryLimitMs](std::function<void(const QString&)> reply) {
    QueryDefaultBrowser(browserQueryLimitMs, std::move(reply));
  };
  env.dataDirs = &XdgDataDirs;
  env.start = &StartDetached;
  return env;
}

int DesktopLinkOpener::DesktopFailure(const QString& target) {
  if (target.isEmpty()) return kOpenFileNotFound;
  const QUrl url = TargetUrl(target);
  if (!url.isLocalFile()) return kOpenNoAssociation;
  const QFileInfo info(url.toLocalFile());
  if (!info.exists()) {
    return info.absoluteDir().exists() ? kOpenFileNotFound : kOpenPathNotFound;
  }
  return kOpenNoAssociation;
}

void DesktopLinkOpener::Open(const QString& target, Done done) {
  // 1. The desktop.
  if (!target.isEmpty() && env_.openUrl && env_.openUrl(target)) {
    done(kOpenOk);
    return;
  }
  const int failure = DesktopFailure(target);
  if (target.isEmpty() || !env_.defaultBrowser) {
    done(failure);
    return;
  }
  // 2.-4. The default web browser, once the query has named it. The reply
  // holds its own copy of the environment: the opener may be gone by then.
  env_.defaultBrowser([env = env_, target, failure, done](const QString& id) {
    done(StartBrowser(env, id, target, failure));
  });
}

namespace {
ILinkOpener*& OverrideOpener() {
  static ILinkOpener* opener = nullptr;
  return opener;
}
}  // namespace

ILinkOpener* DefaultLinkOpener() {
  if (OverrideOpener()) return OverrideOpener();
  static DesktopLinkOpener desktop;
  return &desktop;
}

ILinkOpener* SetDefaultLinkOpener(ILinkOpener* opener) {
  ILinkOpener* previous = OverrideOpener();
  OverrideOpener() = opener;
  return previous;
}

// ---------------------------------------------------------------- the label

HyperlinkLabel::HyperlinkLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

bool HyperlinkLabel::Attach(QLabel* control) {
  if (!control || control == this || attached_) return false;
  QWidget* parent = control->parentWidget();
  setParent(parent);
  setObjectName(control->objectName());
  setProperty("controlId", control->property("controlId"));
  setFont(control->font());
  setAlignment(control->alignment());
  setFrameStyle(control->frameStyle());
  setText(control->text());
  setEnabled(control->isEnabled());
  setGeometry(control->geometry());
  const bool hidden = control->isHidden();
  if (parent) stackUnder(control);
  delete control;
  setVisible(!hidden);
  return AttachInPlace();
}

bool HyperlinkLabel::AttachInPlace() {
  if (attached_) return false;
  attached_ = true;
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  showsTarget_ = text().isEmpty();
  if (target_.isEmpty()) target_ = text();
  if (showsTarget_) setText(target_);
  UpdateFont();
  FitToText();
  if (!cursor_) cursor_ = QCursor(Qt::PointingHandCursor);
  setCursor(*cursor_);
  setToolTip(target_);
  setMouseTracking(true);
  UpdateColour();
  return true;
}

void HyperlinkLabel::SetTarget(const QString& target) {
  target_ = target;
  if (!attached_) return;
  if (showsTarget_) setText(target_);
  FitToText();
  setToolTip(target_);
}

void HyperlinkLabel::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
  link_ = link;
  visited_ = visited;
  hover_ = hover;
  if (attached_) UpdateColour();
}

QColor HyperlinkLabel::HoverColour() const {
  return hover_.isValid() ? hover_ : QApplication::palette(this).color(QPalette::Highlight);
}

void HyperlinkLabel::SetVisited(bool visited) {
  visited_flag_ = visited;
  if (attached_) UpdateColour();
}

void HyperlinkLabel::SetLinkCursor(std::optional<QCursor> cursor) {
  cursor_ = cursor ? std::move(cursor) : std::optional<QCursor>(QCursor(Qt::PointingHandCursor));
  if (attached_) setCursor(*cursor_);
}

void HyperlinkLabel::SetUnderline(bool underline) {
  underline_ = underline;
  if (attached_) UpdateFont();
}

void HyperlinkLabel::SetAdjustToFit(bool adjust) {
  adjust_ = adjust;
  FitToText();
}

QColor HyperlinkLabel::CurrentColour() const {
  if (hovering_) return HoverColour();
  return visited_flag_ ? visited_ : link_;
}

void HyperlinkLabel::OpenTarget() {
  if (opening_) return;
  opening_ = true;
  ILinkOpener* opener = opener_ ? opener_ : DefaultLinkOpener();
  // The answer may come after the label (with its dialog) is gone.
  opener->Open(target_, [label = QPointer<HyperlinkLabel>(this)](int result) {
    if (label) label->Opened(result);
  });
}

void HyperlinkLabel::Opened(int result) {
  opening_ = false;
  if (result > 32) {
    SetVisited(true);
  } else {
    QApplication::beep();
    ShowMessageBox(QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(result),
                   window());
  }
  emit opened(result);
}

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
  QLabel::mouseMoveEvent(event);
  if (!hovering_) {
    SetHovering(true);
  } else if (!rect().contains(event->position().toPoint())) {
    SetHovering(false);
  }
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QLabel::mouseReleaseEvent(event);
    return;
  }
  const bool click = pressed_ && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click && attached_) OpenTarget();
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetHovering(true);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetHovering(false);
}

void HyperlinkLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // A new system palette brings a new highlight colour.
  if (event->type() == QEvent::PaletteChange && attached_ && !updating_) UpdateColour();
}

void HyperlinkLabel::SetHovering(bool hovering) {
  if (hovering_ == hovering) return;
  hovering_ = hovering;
  if (!attached_) return;
  UpdateColour();
  if (isVisible()) repaint();
}

void HyperlinkLabel::UpdateColour() {
  updating_ = true;
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, CurrentColour());
  setPalette(colours);
  updating_ = false;
  update();
}

void HyperlinkLabel::UpdateFont() {
  QFont underlined = font();
  underlined.setUnderline(underline_);
  setFont(underlined);
  update();
}

void HyperlinkLabel::FitToText() {
  if (!attached_ || !adjust_) return;
  QRect r = geometry();
  const QFontMetricsF metrics(font());
  const QSizeF extent = metrics.size(0, text());
  const QMargins margins = contentsMargins();
  const int width = static_cast<int>(std::ceil(extent.width())) + margins.left() + margins.right();
  const int height =
      static_cast<int>(std::ceil(extent.height())) + margins.top() + margins.bottom();
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignVCenter) {
    const int d = (r.height() - height) / 2;
    r.adjust(0, d, 0, -d);
  } else {
    r.setHeight(height);
  }
  if (align & Qt::AlignHCenter) {
    const int d = (r.width() - width) / 2;
    r.adjust(d, 0, -d, 0);
  } else if (align & Qt::AlignRight) {
    r.setLeft(r.left() + r.width() - width);
  } else {
    r.setWidth(width);
  }
  setGeometry(r);
}

}  // namespace vantrel::ui
