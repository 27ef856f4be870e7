#include "ui/KeyboardPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace orvane {
namespace {

void FillRegion(QPainter& painter, const QRegion& region, QColor color) {
  for (const QRect& rect : region) painter.fillRect(rect, color);
}

// The region's own border, one pixel wide and high, as a frame drawn inside it.
QRegion InnerFrame(const QRegion& region) {
  const QRegion inner = region.intersected(region.translated(1, 0))
                            .intersected(region.translated(-1, 0))
                            .intersected(region.translated(0, 1))
                            .intersected(region.translated(0, -1));
  return region.subtracted(inner);
}

QRectF BoundsRect(const ButtonBounds& bounds) {
  return QRectF(bounds.x, bounds.y, bounds.d, bounds.d);
}

}  // namespace

void KeyboardPainter::SetClient(const ClientRect& client) {
  if (client == client_ && piano_.IsBuilt()) return;
  client_ = client;
  piano_.RebuildPianoRegions(client);
  for (int key = 0; key < kPianoKeyCount; ++key) {
    const KeyOutline& outline = piano_.Outline(key);
    QPolygon polygon;
    for (std::size_t i = 0; i < outline.count; ++i) {
      polygon << QPoint(outline.points[i].x, outline.points[i].y);
    }
    keyRegions_[key] = QRegion(polygon, Qt::WindingFill);
    keyFrames_[key] = InnerFrame(keyRegions_[key]);
  }
}

QRect KeyboardPainter::PianoKeyRect(int key) const {
  if (key < 0 || key >= kPianoKeyCount) return {};
  return keyRegions_[key].boundingRect();
}

QRect KeyboardPainter::ButtonRect(int button) const {
  if (button < 0 || button >= kAccordionButtonCount) return {};
  // The 2-pixel pen reaches one pixel outside the circle; antialiasing one more.
  return BoundsRect(AccordionButtonBounds(button, client_)).toAlignedRect().adjusted(-2, -2, 2, 2);
}

void KeyboardPainter::PaintPiano(QPainter& painter, const QRegion& area, const PianoLooks& looks,
                                 QColor pressed, QColor background) const {
  FillRegion(painter, area, background);
  for (int key = 0; key < kPianoKeyCount; ++key) {
    if (!keyRegions_[key].intersects(area)) continue;
    const bool white = IsWhiteKey(key);
    switch (looks[key]) {
      case KeyLook::FullPaint:
        FillRegion(painter, white ? keyFrames_[key] : keyRegions_[key], Qt::black);
        break;
      case KeyLook::Released:
        FillRegion(painter, keyRegions_[key], white ? Qt::white : Qt::black);
        if (white) FillRegion(painter, keyFrames_[key], Qt::black);
        break;
      case KeyLook::Pressed:
        FillRegion(painter, keyRegions_[key], pressed);
        FillRegion(painter, keyFrames_[key], Qt::black);
        break;
    }
  }
}

void KeyboardPainter::PaintAccordion(QPainter& painter, const QRegion& area,
                                     const ButtonLooks& looks, QColor pressed) const {
  FillRegion(painter, area, kAccordionBackground);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QPen outline(Qt::black, 2.0);
  const QColor pressedFill(pressed.red(), pressed.green(), pressed.blue());  // always opaque
  for (int button = 0; button < kAccordionButtonCount; ++button) {
    if (!area.intersects(ButtonRect(button))) continue;
    QPainterPath path;
    path.addEllipse(BoundsRect(AccordionButtonBounds(button, client_)));
    const bool isPressed = looks[button] == KeyLook::Pressed;
    painter.fillPath(path, isPressed ? pressedFill : kButtonFill);
    painter.strokePath(path, outline);
    if (button == kMarkedButton && !isPressed) {
      QPainterPath marker;
      marker.addEllipse(BoundsRect(AccordionMarkerBounds(client_)));
      painter.fillPath(marker, kMarkerFill);
    }
  }
  painter.restore();
}

QColor ColorFromWord(std::uint32_t word) {
  return QColor(static_cast<int>(word & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
                static_cast<int>((word >> 16) & 0xFFu));
}

std::uint32_t WordFromColor(QColor color) {
  return static_cast<std::uint32_t>(color.red()) |
         (static_cast<std::uint32_t>(color.green()) << 8) |
         (static_cast<std::uint32_t>(color.blue()) << 16);
}

}  // namespace orvane
