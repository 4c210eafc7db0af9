#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vantrel::ui {
namespace {

std::function<void(const QString&)>& Hook() {
  static std::function<void(const QString&)> hook;
  return hook;
}

// Answers to boxes that other threads wait for.
struct Waiters {
  std::mutex mutex;
  std::condition_variable answered;
  bool abandoned = false;
};

Waiters& PendingBoxes() {
  static Waiters waiters;
  return waiters;
}

void ShowHere(const QString& text, QWidget* parent) {
  if (Hook()) {
    Hook()(text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessivane"), text, QMessageBox::Ok, parent);
  box.exec();
}

// A box for another thread has no parent window: the window that was active
// may go while the box is open. The wait cursor of that thread's work steps
// aside while the box is answered.
void ShowForOtherThread(const QString& text) {
  int cursors = 0;
  while (QApplication::overrideCursor() != nullptr) {
    QApplication::restoreOverrideCursor();
    ++cursors;
  }
  ShowHere(text, nullptr);
  while (cursors-- > 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

}  // namespace

void ShowMessageBox(const QString& text, QWidget* parent) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    ShowHere(text, parent ? parent : QApplication::activeWindow());
    return;
  }
  Waiters& waiters = PendingBoxes();
  auto done = std::make_shared<bool>(false);
  {
    std::lock_guard lock(waiters.mutex);
    if (waiters.abandoned) return;
  }
  QMetaObject::invokeMethod(
      app,
      [text, done] {
        ShowForOtherThread(text);
        std::lock_guard lock(PendingBoxes().mutex);
        *done = true;
        PendingBoxes().answered.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(waiters.mutex);
  waiters.answered.wait(lock, [&] { return *done || waiters.abandoned; });
}

void SetMessageBoxHook(std::function<void(const QString&)> hook) { Hook() = std::move(hook); }

void AbandonPendingBoxes(bool abandon) {
  Waiters& waiters = PendingBoxes();
  std::lock_guard lock(waiters.mutex);
  waiters.abandoned = abandon;
  waiters.answered.notify_all();
}

void QtMessageBox::Show(std::string_view text) {
  ShowMessageBox(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace vantrel::ui
