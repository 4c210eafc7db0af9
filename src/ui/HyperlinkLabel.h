#pragma once
// HyperlinkLabel: a static text that behaves as a link. The dialog builder
// makes one for each Hyperlink control of a template (attached in place), or
// one takes over a label made before (Attach). It draws its text underlined in
// the link colour, turns the hover colour while the pointer is over it, shows a
// hand cursor and its target as tool tip, and opens the target when clicked.
// An opened link turns the visited colour; a link that cannot be opened beeps
// and shows "Unable to open hyperlink:" with the reason.
//
// Opening goes through an ILinkOpener so that tests never start a browser. The
// default opener asks the desktop (QDesktopServices) and, when that fails,
// starts the default web browser named by the desktop entry that
// `xdg-mime query default x-scheme-handler/http` reports. That query runs as
// a process the user-interface thread does not wait for: the open finishes
// when it answers, or fails when it has not answered within its time limit.

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vantrel::ui {

// Results of opening, numbered as the shell numbers them: above 32 is success;
// the others pick the error text (OpenErrorText).
inline constexpr int kOpenOk = 42;
inline constexpr int kOpenOutOfResources = 0;
inline constexpr int kOpenFileNotFound = 2;
inline constexpr int kOpenPathNotFound = 3;
inline constexpr int kOpenAccessDenied = 5;
inline constexpr int kOpenNoAssociation = 31;

class ILinkOpener {
 public:
  using Done = std::function<void(int result)>;
  virtual ~ILinkOpener() = default;
  // Opens the target (a URL, a "mailto:" address or a file) and calls done
  // exactly once with a result as above: at once, or later from the event loop
  // when the open has to wait for another process. The caller is never held up
  // waiting for a process.
  virtual void Open(const QString& target, Done done) = 0;
};

// The reason shown for a failed open: the fixed text for the shell's error
// numbers, "Unknown Error (%d) occurred." for any other.
QString OpenErrorText(int result);

// Cuts a desktop entry's Exec= command line at its URL/file placeholder (%u,
// %U, %f or %F, or the placeholder inside double quotes, where the cut is at
// the opening quote); a line without a placeholder stays whole. Trailing blanks
// are removed.
QString CutBrowserCommand(const QString& exec);

// The Exec= value of the [Desktop Entry] group of a desktop file; empty if the
// file cannot be read or has none.
QString ReadDesktopExec(const QString& path);

// Splits a (cut) Exec= command line into program and arguments by the desktop
// entry rules: blanks separate, double quotes group with \\ \" \` \$ escapes
// inside, "%%" is a percent sign, other field codes are dropped.
QStringList SplitExecLine(const QString& line);

// The first existing "<dir>/applications/<desktopId>" of the data dirs;
// desktop ids with '-' may also name a subdirectory ("kde4-foo.desktop" ->
// "kde4/foo.desktop"). Empty when not found.
QString FindDesktopFile(const QString& desktopId, const QStringList& dataDirs);

// $XDG_DATA_HOME (or ~/.local/share) followed by $XDG_DATA_DIRS (or
// /usr/local/share:/usr/share).
QStringList XdgDataDirs();

// How long the default-browser query may take before it is given up.
inline constexpr int kBrowserQueryLimitMs = 3000;

// Asks `xdg-mime query default x-scheme-handler/http` (found on PATH) for the
// desktop id of the default web browser and returns at once; reply gets the id
// from the event loop when the query has answered, or an empty id when it
// failed, answered something else than one desktop id, wrote more than a few
// kilobytes, or did not answer within limitMs (then it is killed, with any
// process it started).
void QueryDefaultBrowser(int limitMs, std::function<void(const QString& desktopId)> reply);

// The opener of the running program. Each step is a function so that tests can
// replace the desktop, the mime query and the process start.
class DesktopLinkOpener : public ILinkOpener {
 public:
  struct Environment {
    // Asks the desktop to open the target; true on success.
    std::function<bool(const QString& target)> openUrl;
    // Finds the desktop id of the default web browser ("firefox-esr.desktop")
    // and hands it to reply, at once or later; empty if none is registered.
    std::function<void(std::function<void(const QString& desktopId)> reply)> defaultBrowser;
    std::function<QStringList()> dataDirs;
    // Starts the program detached with the arguments; returns a result as
    // above (kOpenOk, kOpenFileNotFound, kOpenAccessDenied, ...).
    std::function<int(const QString& program, const QStringList& arguments)> start;
  };

  DesktopLinkOpener();  // the real desktop
  explicit DesktopLinkOpener(Environment env) : env_(std::move(env)) {}

  void Open(const QString& target, Done done) override;

  // The result the desktop's failure stands for: a missing local file or
  // folder, else "no application associated".
  static int DesktopFailure(const QString& target);
  // The real desktop, the xdg-mime query with the given time limit, the XDG
  // data dirs and a detached process start.
  static Environment SystemEnvironment(int browserQueryLimitMs = kBrowserQueryLimitMs);

 private:
  Environment env_;
};

// The opener labels use when none is set; a test installs a fake here and
// restores the old one (the returned value) afterwards.
ILinkOpener* DefaultLinkOpener();
ILinkOpener* SetDefaultLinkOpener(ILinkOpener* opener);

class HyperlinkLabel : public QLabel {
  Q_OBJECT

 public:
  static constexpr QColor kLinkColour{0, 0, 238};
  static constexpr QColor kVisitedColour{85, 26, 139};

  explicit HyperlinkLabel(QWidget* parent = nullptr);

  // Takes the place of a label (parent, geometry, id, text, font, alignment,
  // visibility, stacking and tab position), deletes it and attaches in place.
  // Returns false when control is null or the link is attached already.
  bool Attach(QLabel* control);
  // Becomes a link where it stands, with its own text, font and place (the
  // dialog builder does this for its Hyperlink controls): an empty target
  // becomes the label's text; an empty text shows the target; the font gets
  // the underline, the label fits its text, the cursor and tool tip are set.
  // Returns false when the link is attached already.
  bool AttachInPlace();
  bool IsAttached() const { return attached_; }

  // A label that shows its target (its own text was empty when it was
  // attached) shows the new one too.
  void SetTarget(const QString& target);
  QString Target() const { return target_; }
  // An invalid hover colour stands for the system highlight colour.
  void SetColours(const QColor& link, const QColor& visited, const QColor& hover = QColor());
  QColor LinkColour() const { return link_; }
  QColor VisitedColour() const { return visited_; }
  QColor HoverColour() const;
  void SetVisited(bool visited);
  bool Visited() const { return visited_flag_; }
  // No cursor: the default hand cursor. Before the first attachment there is
  // none unless one was set.
  void SetLinkCursor(std::optional<QCursor> cursor = std::nullopt);
  std::optional<QCursor> LinkCursor() const { return cursor_; }
  void SetUnderline(bool underline);
  bool Underline() const { return underline_; }
  void SetAdjustToFit(bool adjust);
  bool AdjustToFit() const { return adjust_; }
  bool Hovering() const { return hovering_; }
  // The colour the text is drawn in now.
  QColor CurrentColour() const;

  void SetOpener(ILinkOpener* opener) { opener_ = opener; }
  // Opens the target as a click does. When the opener has answered, the label
  // turns visited or shows the failure, then emits opened(result); that may
  // happen before OpenTarget returns or later from the event loop. Clicks while
  // an open is under way are ignored.
  void OpenTarget();
  bool Opening() const { return opening_; }

 signals:
  void opened(int result);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Opened(int result);
  void SetHovering(bool hovering);
  void UpdateColour();
  void UpdateFont();
  void FitToText();

  QColor link_ = kLinkColour;
  QColor visited_ = kVisitedColour;
  QColor hover_;  // invalid: the system highlight colour
  bool hovering_ = false;
  bool visited_flag_ = false;
  bool underline_ = true;
  bool adjust_ = true;
  bool attached_ = false;
  bool pressed_ = false;
  bool opening_ = false;
  bool showsTarget_ = false;
  bool updating_ = false;
  QString target_;
  std::optional<QCursor> cursor_;
  ILinkOpener* opener_ = nullptr;
};

}  // namespace vantrel::ui
