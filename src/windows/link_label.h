#pragma once

#include <QColor>
#include <QLabel>

namespace vellumar::windows {

// A label that acts as a link: hand cursor, a colour while the pointer is over it, another
// while the left button is held, and a click signal. Tab reaches it, Enter or Space opens it.
class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit LinkLabel(QWidget* parent = nullptr);

  void SetColours(const QColor& normal, const QColor& hover, const QColor& pressed);
  QColor TextColour() const;

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Paint(const QColor& colour);

  QColor normal_;
  QColor hover_;
  QColor pressed_;
};

}  // namespace vellumar::windows
