#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {

namespace {

// The card outline on a 64-unit grid: a rectangle with its top right corner cut off.
QPainterPath CardOutline() {
  QPainterPath card;
  card.moveTo(10, 4);
  card.lineTo(42, 4);
  card.lineTo(54, 16);
  card.lineTo(54, 60);
  card.lineTo(10, 60);
  card.closeSubpath();
  return card;
}

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(QPen(QColor(0x1E, 0x2A, 0x38), 3));
  p.setBrush(QColor(0x3A, 0x5A, 0x80));
  p.drawPath(CardOutline());
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xE8, 0xC5, 0x4A));  // contacts
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(16 + i * 7, 8, 4, 10));
  p.setBrush(QColor(0xE5, 0x39, 0x35));  // the recording dot
  p.drawEllipse(QPointF(32, 40), 11, 11);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(Draw(size));
  return icon;
}

}  // namespace app
