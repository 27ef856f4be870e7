#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "core/keyboard/Instrument.h"

namespace orvane {

struct IntPoint {
  int x = 0;
  int y = 0;
  bool operator==(const IntPoint&) const = default;
};

// A client rectangle; left and top are 0 for the view, right and bottom its width and height.
struct ClientRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ClientRect&) const = default;
};

// True for the white keys of the piano (index mod 12 in {0, 2, 4, 5, 7, 9, 11}).
bool IsWhiteKey(int keyIndex);

// A key's closed outline: the first point repeated at the end (5, 7 or 9 points).
struct KeyOutline {
  std::array<IntPoint, 9> points{};
  std::size_t count = 0;
};

// The 37 piano key shapes for one client size. Regions hold their left and top edges and not
// their right and bottom ones, so the keys tile the client rectangle.
class PianoGeometry {
 public:
  // Recomputes all 37 outlines and regions for the client rectangle.
  void RebuildPianoRegions(const ClientRect& client);
  // The key whose region holds the point; none before the first rebuild.
  std::optional<int> PianoKeyAt(IntPoint point) const;
  // Whether the key's region holds the point (left and top edges in, right and bottom out).
  bool RegionContains(int keyIndex, IntPoint point) const;
  const KeyOutline& Outline(int keyIndex) const { return outlines_[keyIndex]; }
  bool IsBuilt() const { return built_; }

 private:
  std::array<KeyOutline, kPianoKeyCount> outlines_{};
  bool built_ = false;
};

// A button's bounding square, in single precision: top-left corner and diameter.
struct ButtonBounds {
  float x = 0;
  float y = 0;
  float d = 0;
};

ButtonBounds AccordionButtonBounds(int button, const ClientRect& client);
// The concentric marker disc of button 20 (the C bass button).
ButtonBounds AccordionMarkerBounds(const ClientRect& client);
// The lowest button whose circle holds the point, or none.
std::optional<int> AccordionButtonAt(IntPoint point, const ClientRect& client);

}  // namespace orvane
