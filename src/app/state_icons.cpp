#include "app/state_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>
#include <map>

namespace app {

namespace {

using Painter = std::function<void(QPainter&)>;

void Warning(QPainter& p) {
  QPolygonF triangle({QPointF(7.5, 0.5), QPointF(14.5, 14), QPointF(0.5, 14)});
  p.setPen(QPen(QColor(0x80, 0x60, 0x00), 1));
  p.setBrush(QColor(0xFF, 0xD0, 0x20));
  p.drawPolygon(triangle);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRect(QRectF(6.5, 4.5, 2, 5.5));
  p.drawRect(QRectF(6.5, 11, 2, 2));
}

void Star(QPainter& p) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 ? 3.0 : 7.2;
    const double a = qDegreesToRadians(-90.0 + i * 36.0);
    star << QPointF(7.5 + r * qCos(a), 8.0 + r * qSin(a));
  }
  p.setPen(QPen(QColor(0xA0, 0x70, 0x00), 1));
  p.setBrush(QColor(0xFF, 0xC8, 0x00));
  p.drawPolygon(star);
}

void Osd(QPainter& p) {  // a screen with a text line in its corner: the date overlay
  p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
  p.setBrush(QColor(0x40, 0x70, 0xC0));
  p.drawRect(QRectF(0.5, 2.5, 14, 10));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(2, 9, 7, 2));
  p.drawRect(QRectF(10, 9, 3, 2));
}

void Ring(QPainter& p) {  // a circular arrow: recording goes round the ring
  p.setPen(QPen(QColor(0x10, 0x80, 0x30), 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2, 2, 11, 11), 100 * 16, 290 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x10, 0x80, 0x30));
  p.drawPolygon(QPolygonF({QPointF(5, 0), QPointF(10, 3), QPointF(5, 6.5)}));
}

void Wall(QPainter& p) {  // bricks: recording stops when the card is full
  p.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 1));
  p.setBrush(QColor(0xB0, 0x40, 0x20));
  for (int row = 0; row < 4; ++row) {
    const double y = 1.5 + row * 3.5;
    const double shift = row % 2 ? -3.5 : 0;
    for (double x = shift; x < 15; x += 7) p.drawRect(QRectF(x + 0.5, y, 7, 3.5));
  }
}

void Mic(QPainter& p) {
  p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
  p.setBrush(QColor(0x90, 0x90, 0x98));
  p.drawRoundedRect(QRectF(5, 0.5, 5, 8.5), 2.5, 2.5);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(3, 3, 9, 8), 180 * 16, 180 * 16);
  p.drawLine(QPointF(7.5, 11), QPointF(7.5, 13.5));
  p.drawLine(QPointF(4.5, 14), QPointF(10.5, 14));
}

void Clock(QPainter& p) {
  p.setPen(QPen(QColor(0x20, 0x20, 0x60), 1.2));
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(1, 1, 13, 13));
  p.setPen(QPen(Qt::black, 1.5));
  p.drawLine(QPointF(7.5, 7.5), QPointF(7.5, 3.5));
  p.drawLine(QPointF(7.5, 7.5), QPointF(10.5, 9));
}

QImage Paint(const Painter& draw) {
  QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (draw) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
  }
  return image;
}

}  // namespace

const QImage& StateIcon(const std::string& name) {
  static const std::map<std::string, QImage> icons = {
      {"EMPTY", Paint(nullptr)}, {"WARNING", Paint(Warning)}, {"STAR", Paint(Star)},
      {"OSD", Paint(Osd)},       {"RING", Paint(Ring)},       {"WALL", Paint(Wall)},
      {"MIC", Paint(Mic)},       {"CLOCK", Paint(Clock)},
  };
  const auto it = icons.find(name);
  return it != icons.end() ? it->second : icons.at("EMPTY");
}

}  // namespace app
