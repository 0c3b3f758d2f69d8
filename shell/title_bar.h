// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
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
  // The pointer moved the start-drag distance with the left button held since it was
  // pressed at `pressedAt`: a click without movement never starts a drag.
  void dragStarted(const QPoint& pressedAt);
  void leftDragged(const QPoint& globalPos);  // the pointer moving on, once a drag started
  void leftReleased();
  void pointerMoved();                        // the pointer moving over the bar, no button held
  void rightPressed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  bool pressed_ = false;   // the left button went down on the bar
  bool dragging_ = false;  // and the pointer has moved far enough since
  QPoint pressedAt_;
  bool active_ = true;
};

}  // namespace vardell
