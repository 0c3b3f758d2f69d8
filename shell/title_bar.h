// The title bar the main window draws itself (the window manager's own bar would keep
// its clicks from the program): the caption, a minimise box and a close box. It reports
// presses and moves; the window decides what they do.
#pragma once

#include <QWidget>

class QToolButton;

namespace vardell {

class TTitleBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 22;

  explicit TTitleBar(QWidget* window);
  void setCaption(const QString& caption);
  QString caption() const { return caption_; }
  void setActive(bool active);

  QToolButton* MinimiseBox;
  QToolButton* CloseBox;

 signals:
  void leftPressed(const QPoint& globalPos);
  void leftDragged(const QPoint& globalPos);  // the pointer moving with the left button held
  void leftReleased();
  void pointerMoved();                        // the pointer moving over the bar, no button held
  void rightPressed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  bool active_ = true;
};

}  // namespace vardell
