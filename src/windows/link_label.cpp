#include "windows/link_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace vellumar::windows {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent), normal_(0, 0, 255), hover_(0, 0, 255), pressed_(255, 0, 0) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  Paint(normal_);
}

void LinkLabel::SetColours(const QColor& normal, const QColor& hover, const QColor& pressed) {
  normal_ = normal;
  hover_ = hover;
  pressed_ = pressed;
  Paint(normal_);
}

QColor LinkLabel::TextColour() const { return palette().color(QPalette::WindowText); }

void LinkLabel::enterEvent(QEnterEvent* event) {
  Paint(hover_);
  QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
  Paint(normal_);
  QLabel::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Paint(pressed_);
  }
  QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    // Back to the resting colour even while the pointer stays over the link.
    Paint(normal_);
    if (rect().contains(event->position().toPoint())) {
      emit clicked();
    }
  }
  QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      event->accept();
      emit clicked();
      return;
    default:
      QLabel::keyPressEvent(event);
  }
}

void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (hasFocus()) {
    // The keyboard user sees where Enter goes.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
  }
}

void LinkLabel::Paint(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, colour);
  setPalette(colours);
}

}  // namespace vellumar::windows
