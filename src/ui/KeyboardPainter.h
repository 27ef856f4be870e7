#pragma once

#include <array>
#include <cstdint>

#include <QColor>
#include <QRect>
#include <QRegion>

#include "core/display/KeyboardGeometry.h"

class QPainter;

namespace orvane {

// How a key is shown. A full paint frames white keys on the window background; the key-level
// operations fill them white. With the usual white background both look the same.
enum class KeyLook : std::uint8_t { FullPaint, Released, Pressed };

using PianoLooks = std::array<KeyLook, kPianoKeyCount>;
using ButtonLooks = std::array<KeyLook, kAccordionButtonCount>;

// Draws the piano and the accordion panel with QPainter for one client size. It keeps the key
// regions of the last size it was given; the looks of the keys are the caller's.
class KeyboardPainter {
 public:
  // Recomputes the key outlines and regions when the client size changed.
  void SetClient(const ClientRect& client);
  const ClientRect& client() const { return client_; }
  const PianoGeometry& piano() const { return piano_; }

  // The rectangle a key or button covers (outline and pen included); empty when out of range.
  QRect PianoKeyRect(int key) const;
  QRect ButtonRect(int button) const;

  // Draws every key that meets `area` in its look; the painter's clip keeps the rest untouched.
  void PaintPiano(QPainter& painter, const QRegion& area, const PianoLooks& looks, QColor pressed,
                  QColor background) const;
  void PaintAccordion(QPainter& painter, const QRegion& area, const ButtonLooks& looks,
                      QColor pressed) const;

  static inline const QColor kAccordionBackground{230, 230, 230};
  static inline const QColor kButtonFill{0xA9, 0xA9, 0xA9};
  static inline const QColor kMarkerFill{0xD3, 0xD3, 0xD3};

 private:
  ClientRect client_{};
  PianoGeometry piano_;
  std::array<QRegion, kPianoKeyCount> keyRegions_;
  std::array<QRegion, kPianoKeyCount> keyFrames_;  // the 1-pixel inner border of each region
};

// Colour words are 0x00BBGGRR, red in the low byte.
QColor ColorFromWord(std::uint32_t word);
std::uint32_t WordFromColor(QColor color);

}  // namespace orvane
