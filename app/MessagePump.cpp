#include "app/MessagePump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

namespace tessaline {
namespace {

bool quit_requested = false;

// Sees the application's quit event on its way in and lets it through: the
// main loop still has to act on it.  Once that loop has ended, the request
// is no longer pending.
class TQuitWatch : public QObject {
 public:
  explicit TQuitWatch(QCoreApplication* application) : QObject(application) {
    application->installEventFilter(this);
    connect(application, &QCoreApplication::aboutToQuit, this, [] { quit_requested = false; });
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Quit) quit_requested = true;
    return QObject::eventFilter(watched, event);
  }
};

void WatchForQuit() {
  static QPointer<TQuitWatch> watch;
  QCoreApplication* application = QCoreApplication::instance();
  if (application != nullptr && watch.isNull()) watch = new TQuitWatch(application);
}

}  // namespace

bool ProcessOneMessage() {
  WatchForQuit();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QThread::yieldCurrentThread();
  return quit_requested;
}

void Delay(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  do {
    if (ProcessOneMessage()) return;
  } while (clock.elapsed() < milliseconds);
}

bool QuitRequested() {
  WatchForQuit();
  return quit_requested;
}

}  // namespace tessaline
