#include "windows/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vellumar::windows {

namespace {

// Room left for the window manager's frame and title bar.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

}  // namespace

void FitToScreen(QWidget& window, QSize design, QSize minimum, bool fixed) {
  const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QSize room = screen->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
    design = design.boundedTo(room);
    minimum = minimum.boundedTo(room);
  }
  if (fixed) {
    window.setFixedSize(design);
    return;
  }
  window.setMinimumSize(minimum);
  window.resize(design);
}

}  // namespace vellumar::windows
