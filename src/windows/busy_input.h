#pragma once

class QWidget;

namespace vellumar::windows {

// Clicks and key presses made while the window was busy (a report running on the window's
// thread) wait in the queue and would act on controls enabled again afterwards. This delivers
// everything queued so far with user input dropped; call it before enabling the controls.
void DropQueuedInput();

// Paints `window` at once, so disabled controls look disabled before a long call on the
// window's thread.
void RepaintNow(QWidget* window);

}  // namespace vellumar::windows
