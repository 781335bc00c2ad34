#pragma once

#include <QSize>

class QWidget;

namespace vellumar::windows {

// The window's design size and minimum, each capped to the screen's available area less room
// for the frame, so a small screen or a large scale factor (1280x720 at 150 %) still shows the
// whole window. `fixed` keeps a dialog at one size.
void FitToScreen(QWidget& window, QSize design, QSize minimum, bool fixed);

}  // namespace vellumar::windows
