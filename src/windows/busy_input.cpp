#include "windows/busy_input.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

namespace vellumar::windows {

namespace {

class InputDropper : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::TouchBegin:
      case QEvent::TouchEnd:
        return true;
      default:
        return QObject::eventFilter(watched, event);
    }
  }
};

}  // namespace

void DropQueuedInput() {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) {
    return;
  }
  InputDropper dropper;
  application->installEventFilter(&dropper);
  // Twice: input read from the display connection in the first pass is posted for the second.
  for (int pass = 0; pass < 2; ++pass) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  application->removeEventFilter(&dropper);
}

void RepaintNow(QWidget* window) {
  if (window != nullptr && window->isVisible()) {
    window->repaint();
  }
}

}  // namespace vellumar::windows
