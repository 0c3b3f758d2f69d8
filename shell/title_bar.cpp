// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's title bar.
#include "shell/title_bar.h"

#include "shell/pictures.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace vardell {

TTitleBar::TTitleBar(QWidget* window) : QWidget(window) {
  setObjectName(QStringLiteral("TitleBar"));
  setMouseTracking(true);
  setFixedHeight(kHeight);
  auto makeBox = [this](const char* name, const QString& text, const QString& tip) {
    auto* box = new QToolButton(this);
    box->setObjectName(QString::fromUtf8(name));
    box->setText(text);
    box->setToolTip(tip);
    box->setAutoRaise(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFixedSize(20, 18);
    box->setStyleSheet(QStringLiteral("QToolButton { color: white; font-weight: bold; border: none; }"
                                      "QToolButton:hover { background: rgba(255,255,255,60); }"));
    return box;
  };
  MinimiseBox = makeBox("MinimiseBox", QStringLiteral("\u2013"), QStringLiteral("Minimise"));
  CloseBox = makeBox("CloseBox", QStringLiteral("\u2715"), QStringLiteral("Close"));
}

void TTitleBar::setCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TTitleBar::setActive(bool active) {
  active_ = active;
  update();
}

void TTitleBar::resizeEvent(QResizeEvent*) {
  CloseBox->move(width() - CloseBox->width() - 4, 2);
  MinimiseBox->move(CloseBox->x() - MinimiseBox->width() - 2, 2);
}

void TTitleBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, width(), 0);
  // Both ends dark enough for the white caption (4.5:1 or more), active or not.
  gradient.setColorAt(0, active_ ? QColor(0x0A, 0x24, 0x6A) : QColor(0x50, 0x50, 0x50));
  gradient.setColorAt(1, active_ ? QColor(0x3A, 0x6E, 0xA5) : QColor(0x6E, 0x6E, 0x6E));
  painter.fillRect(rect(), gradient);
  applicationIcon().paint(&painter, QRect(4, 3, 16, 16));
  QFont font = this->font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(24, 0, MinimiseBox->x() - 28, height()), Qt::AlignVCenter | Qt::AlignLeft, caption_);
}

void TTitleBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    dragging_ = false;
    pressedAt_ = event->globalPosition().toPoint();
  }
  if (event->button() == Qt::RightButton) emit rightPressed();
  event->accept();
}

void TTitleBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->globalPosition().toPoint();
  if (!(event->buttons() & Qt::LeftButton) || !pressed_) {
    emit pointerMoved();
  } else if (dragging_) {
    emit leftDragged(at);
  } else if ((at - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
    dragging_ = true;
    emit dragStarted(pressedAt_);
    emit leftDragged(at);
  }
  event->accept();
}

void TTitleBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    dragging_ = false;
    emit leftReleased();
  }
  event->accept();
}

// The second press of a double click came as a press of its own: taking the double click
// as a third would turn the roll-up once too often.
void TTitleBar::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace vardell
