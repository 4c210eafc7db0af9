// HyperlinkLabel: attachment, colours while hovering, fitting, opening through
// a fake opener with every failure text; the browser fallback on a fake
// desktop (temporary data dirs, a recording process start).

#include "ui/HyperlinkLabel.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <utility>

#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace vantrel {
namespace {

using ui::HyperlinkLabel;

// Answers at once, or (deferred) keeps the answer until Answer() is called.
class FakeOpener : public ui::ILinkOpener {
 public:
  int result = ui::kOpenOk;
  bool deferred = false;
  QStringList opened;
  QList<Done> pending;
  void Open(const QString& target, Done done) override {
    opened << target;
    if (deferred) {
      pending << std::move(done);
    } else {
      done(result);
    }
  }
  void Answer(int answer) {
    for (const Done& done : std::exchange(pending, {})) done(answer);
  }
};

class HyperlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetMessageBoxHook([this](const QString& text) { boxes << text; });
    parent.resize(400, 200);
    parent.setFont(ui::DialogFont("MS Sans Serif", 8));
  }
  void TearDown() override { ui::SetMessageBoxHook({}); }

  // A static control as the builder would make it.
  QLabel* MakeStatic(const QString& text, const QRect& rect,
                     Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
    auto* label = new QLabel(text, &parent);
    label->setObjectName(QStringLiteral("1008"));
    label->setProperty("controlId", 1008);
    label->setAlignment(align);
    label->setGeometry(rect);
    return label;
  }

  HyperlinkLabel* AttachTo(QLabel* control, const QString& target = {}) {
    auto* link = new HyperlinkLabel(&parent);
    link->SetOpener(&opener);
    if (!target.isEmpty()) link->SetTarget(target);
    EXPECT_TRUE(link->Attach(control));
    return link;
  }

  static QSize TextSize(const QLabel* l) {
    const QSizeF s = QFontMetricsF(l->font()).size(0, l->text());
    return {static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height()))};
  }

  static void Move(QWidget* w, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }

  QWidget parent;
  FakeOpener opener;
  QStringList boxes;
};

TEST_F(HyperlinkTest, AttachTakesThePlaceOfTheStatic) {
  QPointer<QLabel> original = MakeStatic(QStringLiteral("someone@example.org"), {20, 30, 200, 13});
  HyperlinkLabel* link = AttachTo(original, QStringLiteral("mailto:someone@example.org"));
  EXPECT_TRUE(original.isNull());
  EXPECT_TRUE(link->IsAttached());
  EXPECT_EQ(ui::FindControl<HyperlinkLabel>(&parent, 1008), link);
  EXPECT_EQ(link->text(), QStringLiteral("someone@example.org"));
  EXPECT_EQ(link->Target(), QStringLiteral("mailto:someone@example.org"));
  EXPECT_EQ(link->toolTip(), link->Target());
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->font().pixelSize(), parent.font().pixelSize());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 238));
  EXPECT_FALSE(link->Attach(MakeStatic(QStringLiteral("x"), {0, 0, 10, 10})));  // once only
}

TEST_F(HyperlinkTest, EmptyTargetTakesTextAndEmptyTextShowsTarget) {
  HyperlinkLabel* fromText =
      AttachTo(MakeStatic(QStringLiteral("http://a.example/"), {0, 0, 200, 13}));
  EXPECT_EQ(fromText->Target(), QStringLiteral("http://a.example/"));

  HyperlinkLabel* fromTarget =
      AttachTo(MakeStatic(QString(), {0, 20, 200, 13}), QStringLiteral("http://b.example/"));
  EXPECT_EQ(fromTarget->text(), QStringLiteral("http://b.example/"));
}

TEST_F(HyperlinkTest, FitsToTextByAlignment) {
  const QRect box(50, 40, 200, 30);
  HyperlinkLabel* left = AttachTo(MakeStatic(QStringLiteral("left link"), box));
  const QSize ls = TextSize(left);
  EXPECT_EQ(left->geometry(), QRect(box.topLeft(), ls));

  HyperlinkLabel* right =
      AttachTo(MakeStatic(QStringLiteral("right link"), box, Qt::AlignRight | Qt::AlignTop));
  EXPECT_EQ(right->geometry().right(), box.right());
  EXPECT_EQ(right->width(), TextSize(right).width());
  EXPECT_EQ(right->y(), box.y());

  HyperlinkLabel* centred =
      AttachTo(MakeStatic(QStringLiteral("centre"), box, Qt::AlignHCenter | Qt::AlignVCenter));
  const QSize cs = TextSize(centred);
  EXPECT_NEAR(centred->geometry().center().x(), box.center().x(), 1);
  EXPECT_NEAR(centred->geometry().center().y(), box.center().y(), 1);
  EXPECT_NEAR(centred->width(), cs.width(), 1);
  EXPECT_NEAR(centred->height(), cs.height(), 1);

  // Without fitting the place stays; switching fitting on fits at once.
  auto* fixed = new HyperlinkLabel(&parent);
  fixed->SetAdjustToFit(false);
  fixed->Attach(MakeStatic(QStringLiteral("fixed"), box));
  EXPECT_EQ(fixed->geometry(), box);
  fixed->SetAdjustToFit(true);
  EXPECT_EQ(fixed->geometry(), QRect(box.topLeft(), TextSize(fixed)));
}

TEST_F(HyperlinkTest, HoverColourFollowsThePointer) {
  HyperlinkLabel* link = AttachTo(MakeStatic(QStringLiteral("a link"), {10, 10, 100, 13}));
  parent.show();
  const QColor highlight = QApplication::palette(link).color(QPalette::Highlight);
  auto colour = [link] { return link->palette().color(QPalette::WindowText); };
  EXPECT_EQ(colour(), QColor(0, 0, 238));

  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(link, &enter);
  EXPECT_TRUE(link->Hovering());
  EXPECT_EQ(colour(), highlight);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_FALSE(link->Hovering());
  EXPECT_EQ(colour(), QColor(0, 0, 238));

  // A move inside starts hovering, a move outside (while the pointer is held)
  // ends it.
  Move(link, QPoint(3, 3));
  EXPECT_TRUE(link->Hovering());
  Move(link, QPoint(4, 4));
  EXPECT_TRUE(link->Hovering());
  Move(link, QPoint(link->width() + 20, 3));
  EXPECT_FALSE(link->Hovering());

  // Once visited, leaving returns to the visited colour.
  link->SetVisited(true);
  Move(link, QPoint(3, 3));
  EXPECT_EQ(colour(), highlight);
  QApplication::sendEvent(link, &leave);
  EXPECT_EQ(colour(), QColor(85, 26, 139));
}

TEST_F(HyperlinkTest, SettersTakeEffectWhenAttached) {
  auto* link = new HyperlinkLabel(&parent);
  link->SetColours(Qt::darkGreen, Qt::darkRed, Qt::magenta);
  link->SetUnderline(false);
  link->SetLinkCursor(QCursor(Qt::CrossCursor));
  link->Attach(MakeStatic(QStringLiteral("styled"), {0, 0, 200, 13}));
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::darkGreen));
  EXPECT_FALSE(link->font().underline());
  EXPECT_EQ(link->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(link->HoverColour(), QColor(Qt::magenta));

  link->SetUnderline(true);
  EXPECT_TRUE(link->font().underline());
  link->SetVisited(true);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::darkRed));
  link->SetLinkCursor();  // back to the hand
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  link->SetColours(Qt::blue, Qt::red);  // hover: the system highlight again
  EXPECT_EQ(link->HoverColour(), QApplication::palette(link).color(QPalette::Highlight));
  link->SetTarget(QStringLiteral("http://new.example/"));
  EXPECT_EQ(link->toolTip(), QStringLiteral("http://new.example/"));
}

TEST_F(HyperlinkTest, ClickOpensTargetAndMarksVisited) {
  HyperlinkLabel* link = AttachTo(MakeStatic(QStringLiteral("home"), {0, 0, 100, 13}),
                                  QStringLiteral("http://h.example/"));
  parent.show();
  QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(opener.opened, QStringList{QStringLiteral("http://h.example/")});
  EXPECT_TRUE(link->Visited());
  EXPECT_TRUE(boxes.isEmpty());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(85, 26, 139));

  // Pressed on the link but released elsewhere: no click.
  QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  QTest::mouseRelease(link, Qt::LeftButton, Qt::NoModifier, QPoint(link->width() + 30, 2));
  EXPECT_EQ(opener.opened.size(), 1);
}

TEST_F(HyperlinkTest, EachFailureShowsItsText) {
  HyperlinkLabel* link = AttachTo(MakeStatic(QStringLiteral("x"), {0, 0, 100, 13}),
                                  QStringLiteral("http://x.example/"));
  const QList<QPair<int, QString>> cases = {
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30,
       "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
       "being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
      {4, "Unknown Error (4) occurred."},
      {-7, "Unknown Error (-7) occurred."},
  };
  QSignalSpy opened(link, &HyperlinkLabel::opened);
  for (const auto& [result, text] : cases) {
    SCOPED_TRACE(result);
    boxes.clear();
    opener.result = result;
    link->OpenTarget();
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(opened.takeLast().value(0).toInt(), result);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("Unable to open hyperlink:\n\n") + text);
    EXPECT_FALSE(link->Visited());
  }
  // 33 is the first success.
  boxes.clear();
  opener.result = 33;
  link->OpenTarget();
  EXPECT_TRUE(boxes.isEmpty());
  EXPECT_TRUE(link->Visited());
}

// The dialog builder's links attach where they stand; one without a text of
// its own shows its target, also when the target is set afterwards.
TEST_F(HyperlinkTest, AttachInPlaceShowsTheTargetAsItChanges) {
  auto* shows = new HyperlinkLabel(&parent);
  shows->setGeometry(10, 10, 300, 13);
  EXPECT_TRUE(shows->AttachInPlace());
  EXPECT_FALSE(shows->AttachInPlace());
  EXPECT_FALSE(shows->Attach(MakeStatic(QStringLiteral("x"), {0, 0, 10, 10})));
  shows->SetTarget(QStringLiteral("http://first.example/"));
  EXPECT_EQ(shows->text(), QStringLiteral("http://first.example/"));
  shows->SetTarget(QStringLiteral("http://second.example/longer"));
  EXPECT_EQ(shows->text(), QStringLiteral("http://second.example/longer"));
  EXPECT_EQ(shows->toolTip(), shows->Target());
  EXPECT_EQ(shows->geometry(), QRect(QPoint(10, 10), TextSize(shows)));
  EXPECT_TRUE(shows->font().underline());

  auto* own = new HyperlinkLabel(&parent);
  own->setText(QStringLiteral("write to me"));
  own->setGeometry(10, 30, 300, 13);
  own->AttachInPlace();
  EXPECT_EQ(own->Target(), QStringLiteral("write to me"));
  own->SetTarget(QStringLiteral("mailto:me@example.org"));
  EXPECT_EQ(own->text(), QStringLiteral("write to me"));
  EXPECT_EQ(own->Target(), QStringLiteral("mailto:me@example.org"));
}

// An opener that answers later: the label waits without blocking, ignores
// clicks meanwhile, and an answer for a label that is gone is dropped.
TEST_F(HyperlinkTest, AnswerArrivesLater) {
  opener.deferred = true;
  HyperlinkLabel* link = AttachTo(MakeStatic(QStringLiteral("later"), {0, 0, 100, 13}),
                                  QStringLiteral("http://later.example/"));
  parent.show();
  QSignalSpy opened(link, &HyperlinkLabel::opened);
  QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_TRUE(link->Opening());
  EXPECT_FALSE(link->Visited());
  QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(opener.opened.size(), 1);
  opener.Answer(ui::kOpenOk);
  EXPECT_FALSE(link->Opening());
  EXPECT_TRUE(link->Visited());
  EXPECT_EQ(opened.size(), 1);

  link->OpenTarget();
  delete link;
  opener.Answer(ui::kOpenNoAssociation);
  EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(HyperlinkTest, DefaultOpenerCanBeReplaced) {
  FakeOpener global;
  ui::ILinkOpener* old = ui::SetDefaultLinkOpener(&global);
  auto* link = new HyperlinkLabel(&parent);  // no opener of its own
  link->Attach(MakeStatic(QStringLiteral("http://g.example/"), {0, 0, 100, 13}));
  link->OpenTarget();
  ui::SetDefaultLinkOpener(old);
  EXPECT_EQ(global.opened, QStringList{QStringLiteral("http://g.example/")});
  EXPECT_NE(ui::DefaultLinkOpener(), &global);
}

// ---------------------------------------------------------------- browser fallback

TEST(BrowserCommand, CutsAtThePlaceholder) {
  // Quoted placeholder: cut before the opening quote.
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("\"/opt/web/run\" --new \"%u\" --x")),
            QStringLiteral("\"/opt/web/run\" --new"));
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("firefox-esr %u")), QStringLiteral("firefox-esr"));
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("chromium %U --flag")),
            QStringLiteral("chromium"));
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("viewer --file %F")),
            QStringLiteral("viewer --file"));
  // A quoted placeholder wins over an earlier bare one.
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("b %f \"%u\"")), QStringLiteral("b %f"));
  // No placeholder: the whole line; an escaped percent is no placeholder.
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("mybrowser --flag")),
            QStringLiteral("mybrowser --flag"));
  EXPECT_EQ(ui::CutBrowserCommand(QStringLiteral("b --p=100%%u %u")),
            QStringLiteral("b --p=100%%u"));
}

TEST(BrowserCommand, SplitsByDesktopEntryRules) {
  EXPECT_EQ(ui::SplitExecLine(QStringLiteral("\"/opt/My Web/run\"  --a \"x\\\"y\" b%%c %i")),
            (QStringList{"/opt/My Web/run", "--a", "x\"y", "b%c"}));
  EXPECT_EQ(ui::SplitExecLine(QStringLiteral("   ")), QStringList{});
  EXPECT_EQ(ui::SplitExecLine(QStringLiteral("a\\$b \"c\\$d\"")), (QStringList{"a\\$b", "c$d"}));
}

class BrowserFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid() && system.isValid());
    QDir().mkpath(system.path() + "/applications/vendor");
    QDir().mkpath(home.path() + "/applications");
  }
  void Write(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  ui::DesktopLinkOpener Opener(QString browser) {
    ui::DesktopLinkOpener::Environment env;
    env.openUrl = [this](const QString&) {
      ++desktopCalls;
      return desktopOpens;
    };
    env.defaultBrowser = [browser](const std::function<void(const QString&)>& reply) {
      reply(browser);
    };
    env.dataDirs = [this] { return QStringList{home.path(), system.path()}; };
    env.start = [this](const QString& program, const QStringList& args) {
      started << (QStringList{program} + args);
      return startResult;
    };
    return ui::DesktopLinkOpener(env);
  }

  // The result of an open whose steps all answer at once.
  static int OpenNow(ui::DesktopLinkOpener opener, const QString& target) {
    int result = -1000;
    opener.Open(target, [&result](int r) { result = r; });
    return result;
  }

  QTemporaryDir home, system;
  bool desktopOpens = false;
  int desktopCalls = 0;
  int startResult = ui::kOpenOk;
  QList<QStringList> started;
};

TEST_F(BrowserFallback, DesktopFirst) {
  desktopOpens = true;
  EXPECT_EQ(OpenNow(Opener("web.desktop"), "http://a.example/"), ui::kOpenOk);
  EXPECT_EQ(desktopCalls, 1);
  EXPECT_TRUE(started.isEmpty());
}

TEST_F(BrowserFallback, RunsTheBrowserEntryWithTheTargetAsOneArgument) {
  Write(system.path() + "/applications/web.desktop",
        "[Desktop Entry]\nName=Web\nExec=\"/opt/web\\sbrowser/run\" --new-window \"%u\"\n"
        "[Desktop Action private]\nExec=/opt/private %u\n");
  const QString target = QStringLiteral("http://a.example/x y\"; rm -rf ~");
  EXPECT_EQ(OpenNow(Opener("web.desktop"), target), ui::kOpenOk);
  ASSERT_EQ(started.size(), 1);
  EXPECT_EQ(started[0], (QStringList{"/opt/web browser/run", "--new-window", target}));

  // The start's failure is the result.
  startResult = ui::kOpenAccessDenied;
  EXPECT_EQ(OpenNow(Opener("web.desktop"), "http://b.example/"), ui::kOpenAccessDenied);
}

TEST_F(BrowserFallback, CommandWithoutPlaceholderGetsTargetAppended) {
  Write(home.path() + "/applications/plain.desktop", "[Desktop Entry]\nExec=plainweb --tab\n");
  OpenNow(Opener("plain.desktop"), "http://c.example/");
  ASSERT_EQ(started.size(), 1);
  EXPECT_EQ(started[0], (QStringList{"plainweb", "--tab", "http://c.example/"}));
}

TEST_F(BrowserFallback, FindsEntriesByXdgRules) {
  Write(home.path() + "/applications/web.desktop", "[Desktop Entry]\nExec=homeweb %u\n");
  Write(system.path() + "/applications/web.desktop", "[Desktop Entry]\nExec=sysweb %u\n");
  Write(system.path() + "/applications/vendor/tool.desktop", "[Desktop Entry]\nExec=vt %u\n");
  const QStringList dirs{home.path(), system.path()};
  EXPECT_EQ(ui::FindDesktopFile("web.desktop", dirs), home.path() + "/applications/web.desktop");
  EXPECT_EQ(ui::FindDesktopFile("vendor-tool.desktop", dirs),
            system.path() + "/applications/vendor/tool.desktop");
  EXPECT_EQ(ui::FindDesktopFile("../web.desktop", dirs), QString());
  EXPECT_EQ(ui::FindDesktopFile("missing.desktop", dirs), QString());
  EXPECT_EQ(ui::ReadDesktopExec(home.path() + "/applications/web.desktop"),
            QStringLiteral("homeweb %u"));
  EXPECT_EQ(ui::ReadDesktopExec(home.path() + "/nothing.desktop"), QString());
}

TEST_F(BrowserFallback, NoBrowserGivesTheDesktopsFailure) {
  // No default browser registered.
  EXPECT_EQ(OpenNow(Opener(""), "http://a.example/"), ui::kOpenNoAssociation);
  // A browser id whose entry is nowhere.
  EXPECT_EQ(OpenNow(Opener("gone.desktop"), "http://a.example/"), ui::kOpenNoAssociation);
  // An entry without Exec.
  Write(system.path() + "/applications/noexec.desktop", "[Desktop Entry]\nName=x\n");
  EXPECT_EQ(OpenNow(Opener("noexec.desktop"), "http://a.example/"), ui::kOpenNoAssociation);
  EXPECT_TRUE(started.isEmpty());
  // Local files: a missing file, a missing folder.
  EXPECT_EQ(OpenNow(Opener(""), home.path() + "/missing.html"), ui::kOpenFileNotFound);
  EXPECT_EQ(OpenNow(Opener(""), home.path() + "/no/such/dir/a.html"), ui::kOpenPathNotFound);
  EXPECT_EQ(OpenNow(Opener(""), QString()), ui::kOpenFileNotFound);
}

// ---------------------------------------------------------------- the browser query

// A fake xdg-mime first on PATH, and the real query that runs it.
class BrowserQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bin.isValid() && data.isValid());
    oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + oldPath);
    QDir().mkpath(data.path() + "/applications");
    QFile entry(data.path() + "/applications/web.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nExec=webrun --new \"%u\"\n");
  }
  void TearDown() override { qputenv("PATH", oldPath); }

  void Script(const QByteArray& body) {
    QFile script(bin.path() + "/xdg-mime");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // The system's opener, except that the desktop opens nothing and programs
  // are recorded, not started.
  ui::DesktopLinkOpener Opener(int limitMs) {
    ui::DesktopLinkOpener::Environment env = ui::DesktopLinkOpener::SystemEnvironment(limitMs);
    env.openUrl = [](const QString&) { return false; };
    env.dataDirs = [this] { return QStringList{data.path()}; };
    env.start = [this](const QString& program, const QStringList& args) {
      started << (QStringList{program} + args);
      return ui::kOpenOk;
    };
    return ui::DesktopLinkOpener(env);
  }

  // The answers of one query, waited for.
  QStringList Query(int limitMs) {
    QStringList answers;
    ui::QueryDefaultBrowser(limitMs, [&answers](const QString& id) { answers << id; });
    EXPECT_TRUE(answers.isEmpty());  // never at once
    EXPECT_TRUE(QTest::qWaitFor([&answers] { return !answers.isEmpty(); }, 20000));
    QTest::qWait(50);  // no second answer follows
    return answers;
  }

  static qint64 ReadPid(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
  }
  // Gone: no such process, or only its exit status is left.
  static bool Gone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
  }

  QTemporaryDir bin, data;
  QByteArray oldPath;
  QList<QStringList> started;
};

// The query takes two seconds: Open returns at once, the event loop keeps
// running (a timer ticks), and the browser starts once the query answers.
TEST_F(BrowserQuery, EventLoopRunsUntilTheQueryAnswers) {
  Script("sleep 2\necho web.desktop\n");
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
  tick.start(10);
  int result = -1000;
  Opener(30000).Open(QStringLiteral("http://a.example/"), [&result](int r) { result = r; });
  EXPECT_EQ(result, -1000);
  EXPECT_TRUE(started.isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&result] { return result != -1000; }, 20000));
  EXPECT_EQ(result, ui::kOpenOk);
  EXPECT_GE(ticks, 10);
  ASSERT_EQ(started.size(), 1);
  EXPECT_EQ(started[0], (QStringList{"webrun", "--new", "http://a.example/"}));
}

// A query that never answers is given up after its time limit, with the
// processes it started; the open fails as without a browser.
TEST_F(BrowserQuery, QueryThatNeverAnswersIsGivenUp) {
  const QString dir = bin.path();
  Script("echo $$ > '" + dir.toLocal8Bit() + "/shell.pid'\nsleep 1000 &\necho $! > '" +
         dir.toLocal8Bit() + "/child.pid'\nwait\n");
  EXPECT_EQ(Query(300), QStringList{QString()});
  const qint64 shell = ReadPid(dir + "/shell.pid");
  const qint64 child = ReadPid(dir + "/child.pid");
  ASSERT_GT(shell, 0);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Gone(shell) && Gone(child); }, 5000));

  int result = -1000;
  Opener(300).Open(QStringLiteral("http://b.example/"), [&result](int r) { result = r; });
  EXPECT_EQ(result, -1000);
  ASSERT_TRUE(QTest::qWaitFor([&result] { return result != -1000; }, 20000));
  EXPECT_EQ(result, ui::kOpenNoAssociation);
  EXPECT_TRUE(started.isEmpty());
}

// Only one desktop id is an answer: not several lines, a path, a failing
// query, a flood of output or a missing xdg-mime.
TEST_F(BrowserQuery, OnlyOneDesktopIdIsAnAnswer) {
  Script("echo web.desktop\n");
  EXPECT_EQ(Query(10000), QStringList{"web.desktop"});
  Script("printf 'a.desktop\\nb.desktop\\n'\n");
  EXPECT_EQ(Query(10000), QStringList{QString()});
  Script("echo /usr/share/applications/web.desktop\n");
  EXPECT_EQ(Query(10000), QStringList{QString()});
  Script("echo web.desktop\nexit 3\n");
  EXPECT_EQ(Query(10000), QStringList{QString()});
  Script("yes web.desktop\n");
  EXPECT_EQ(Query(10000), QStringList{QString()});
  qputenv("PATH", data.path().toLocal8Bit());  // no xdg-mime anywhere
  EXPECT_EQ(Query(10000), QStringList{QString()});
}

}  // namespace
}  // namespace vantrel
