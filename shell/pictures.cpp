// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The program's pictures, painted at several sizes so they stay sharp on high-dpi screens.
#include "shell/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace vardell {
namespace {

// An icon painted by `paint` on a 16 x 16 canvas, at 16, 32 and 48 pixels.
QIcon paintedIcon(const std::function<void(QPainter&)>& paint, int canvas = 16) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(size) / canvas, double(size) / canvas);
    paint(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void drawFolder(QPainter& p, const QRectF& r, const QColor& colour) {
  QPainterPath tab;
  tab.moveTo(r.left(), r.top() + r.height() * 0.15);
  tab.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.15);
  tab.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.3);
  tab.lineTo(r.right(), r.top() + r.height() * 0.3);
  tab.lineTo(r.right(), r.bottom());
  tab.lineTo(r.left(), r.bottom());
  tab.closeSubpath();
  p.setPen(QPen(colour.darker(160), 0.8));
  p.setBrush(colour);
  p.drawPath(tab);
  p.setBrush(colour.lighter(125));
  p.drawRect(QRectF(r.left(), r.top() + r.height() * 0.42, r.width(), r.height() * 0.58));
}

}  // namespace

QIcon applicationIcon() {
  return paintedIcon([](QPainter& p) {
    drawFolder(p, QRectF(0.5, 1.5, 8, 7), QColor(0xE8, 0xB3, 0x3A));
    drawFolder(p, QRectF(7.5, 7.5, 8, 7), QColor(0x4A, 0x90, 0xD9));
    p.setPen(QPen(QColor(0x20, 0x80, 0x20), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 10.5), QPointF(4, 13));
    p.drawLine(QPointF(4, 13), QPointF(6.5, 13));
    p.setBrush(QColor(0x20, 0x80, 0x20));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(6, 11), QPointF(8, 13), QPointF(6, 15)}));
  });
}

QIcon comparePicture() {
  return paintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1, 2, 5.5, 12));
    p.drawRect(QRectF(9.5, 2, 5.5, 12));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.8));
    for (double y : {4.5, 6.5, 8.5, 10.5}) {
      p.drawLine(QPointF(2, y), QPointF(5.5, y));
      p.drawLine(QPointF(10.5, y), QPointF(14, y));
    }
    p.setPen(QPen(QColor(0x00, 0x00, 0x80), 1.2));
    p.drawLine(QPointF(6.8, 7), QPointF(9.2, 7));
    p.drawLine(QPointF(6.8, 9), QPointF(9.2, 9));
  });
}

QIcon syncPicture() {
  return paintedIcon([](QPainter& p) {
    const QColor green(0x10, 0x80, 0x30);
    p.setPen(QPen(green, 1.8, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 150 * 16);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    p.drawPolygon(QPolygonF({QPointF(10.5, 0.8), QPointF(14.8, 4.2), QPointF(9.6, 5.6)}));
    p.drawPolygon(QPolygonF({QPointF(5.5, 15.2), QPointF(1.2, 11.8), QPointF(6.4, 10.4)}));
  });
}

QIcon abortPicture() {
  return paintedIcon([](QPainter& p) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
      const double angle = (22.5 + 45.0 * i) * 3.14159265 / 180.0;
      octagon << QPointF(8 + 7 * std::cos(angle), 8 + 7 * std::sin(angle));
    }
    p.setPen(QPen(QColor(0x80, 0, 0), 0.8));
    p.setBrush(QColor(0xD0, 0x20, 0x20));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
  });
}

QIcon exitPicture() {
  return paintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(0x60, 0x40, 0x20), 0.8));
    p.setBrush(QColor(0xB0, 0x80, 0x50));
    p.drawRect(QRectF(2, 1.5, 7, 13));
    p.setBrush(QColor(0x30, 0x20, 0x10));
    p.drawEllipse(QPointF(7.5, 8), 0.7, 0.7);
    p.setPen(QPen(QColor(0x00, 0x00, 0x80), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 8), QPointF(14, 8));
    p.drawLine(QPointF(12, 6), QPointF(14, 8));
    p.drawLine(QPointF(12, 10), QPointF(14, 8));
  });
}

QIcon updatePicture() {
  return paintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(0x10, 0x40, 0x90), 0.9));
    p.setBrush(QColor(0x80, 0xB8, 0xF0));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
    p.drawLine(QPointF(3, 11.5), QPointF(13, 11.5));
  });
}

QIcon quitPicture() {
  return paintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
  });
}

QIcon createFolderPicture() {
  return paintedIcon([](QPainter& p) {
    drawFolder(p, QRectF(0.5, 2.5, 12, 10), QColor(0xE8, 0xB3, 0x3A));
    p.setPen(QPen(QColor(0x10, 0x80, 0x30), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.5, 9), QPointF(12.5, 15));
    p.drawLine(QPointF(9.5, 12), QPointF(15.5, 12));
  });
}

QIcon openFolderPicture() {
  return paintedIcon([](QPainter& p) {
    drawFolder(p, QRectF(1, 2.5, 14, 11), QColor(0xE8, 0xB3, 0x3A));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF8, 0xE0, 0x90));
    p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
  });
}

QIcon closedFolderPicture() {
  return paintedIcon([](QPainter& p) { drawFolder(p, QRectF(1, 2.5, 14, 11), QColor(0xE8, 0xB3, 0x3A)); });
}

}  // namespace vardell
