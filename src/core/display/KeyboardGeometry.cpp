#include "core/display/KeyboardGeometry.h"

#include <algorithm>
#include <cstdint>

namespace orvane {

namespace {

// The three kinds of piano term. Each is truncated on its own before terms are added, and the
// products are formed in 64 bits so that no width overflows.

// trunc(W / c)
int Over(int w, double c) {
  return static_cast<int>(static_cast<double>(w) / c);
}
// trunc(W × c)
int Times(int w, double c) {
  return static_cast<int>(static_cast<double>(w) * c);
}
// trunc(kW / c)
int Over(int k, int w, double c) {
  return static_cast<int>(static_cast<double>(std::int64_t{k} * w) / c);
}
// kW div m
int Div(int k, int w, int m) {
  return static_cast<int>(std::int64_t{k} * w / m);
}

struct Band {
  int left = 0;
  int right = 0;
};

// The black keys' spans, indexed by key (entries of white keys unused).
std::array<Band, kPianoKeyCount> BlackKeySpans(int w) {
  std::array<Band, kPianoKeyCount> b{};
  b[1] = {Over(w, 34.57), Over(w, 18.86)};
  b[3] = {Over(w, 12.22), Over(w, 9.43)};
  b[6] = {Over(w, 7.33) + Div(1, w, 35), Times(w, 0.188)};
  b[8] = {Times(w, 0.215), Times(w, 0.239)};
  b[10] = {Times(w, 0.265), Times(w, 0.289)};
  b[13] = {Over(w, 3.1429) + Over(w, 34.57), Over(w, 3.1429) + Over(w, 18.86)};
  b[15] = {Over(w, 3.1429) + Over(w, 12.22), Over(4, w, 9.423)};
  b[18] = {Div(10, w, 22) + Over(w, 36.5), Times(w, 0.506)};
  b[20] = {Times(w, 0.533), Times(w, 0.557)};
  b[22] = {Times(w, 0.583), Times(w, 0.608)};
  b[25] = {Over(2, w, 3.1429) + Over(w, 34.57), Over(w, 3.14) + Over(w, 3.1429) + Over(w, 18.86)};
  b[27] = {Over(w, 3.14) + Over(w, 3.1429) + Over(w, 12.22), Over(7, w, 9.43)};
  b[30] = {Div(17, w, 22) + Over(w, 36.5), Times(w, 0.824)};
  b[32] = {Times(w, 0.851), Times(w, 0.875)};
  b[34] = {Times(w, 0.901), Times(w, 0.925)};
  return b;
}

struct WhiteKey {
  Band upper;  // from y = 0 to Hb, between the neighbouring black keys
  Band lower;  // from Hb to H, between the white-key boundaries
};

// The white keys' bands, indexed by key (entries of black keys unused).
std::array<WhiteKey, kPianoKeyCount> WhiteKeyBands(int w,
                                                   const std::array<Band, kPianoKeyCount>& b) {
  // White-key boundaries kW div 22, except the three that sit where a black key is missing.
  auto at = [w](int k) { return Div(k, w, 22); };
  const int ef1 = Over(w, 7.33);       // E | F of the first octave
  const int bc1 = Over(w, 3.1429);     // B | C of the first octave
  const int bc2 = Over(2, w, 3.1429);  // B | C of the second octave

  std::array<WhiteKey, kPianoKeyCount> k{};
  k[0] = {{0, b[1].left}, {0, at(1)}};
  k[2] = {{b[1].right, b[3].left}, {at(1), Div(1, w, 11)}};
  k[4] = {{b[3].right, ef1}, {Div(1, w, 11), ef1}};
  k[5] = {{ef1, b[6].left}, {ef1, at(4)}};
  k[7] = {{b[6].right, b[8].left}, {at(4), at(5)}};
  k[9] = {{b[8].right, b[10].left}, {at(5), at(6)}};
  k[11] = {{b[10].right, bc1}, {at(6), bc1}};
  k[12] = {{bc1, b[13].left}, {bc1, at(8)}};
  k[14] = {{b[13].right, b[15].left}, {at(8), at(9)}};
  k[16] = {{b[15].right, at(10)}, {at(9), at(10)}};
  k[17] = {{at(10), b[18].left}, {at(10), at(11)}};
  k[19] = {{b[18].right, b[20].left}, {at(11), at(12)}};
  k[21] = {{b[20].right, b[22].left}, {at(12), at(13)}};
  k[23] = {{b[22].right, bc2}, {at(13), bc2}};
  k[24] = {{bc2, b[25].left}, {bc2, at(15)}};
  k[26] = {{b[25].right, b[27].left}, {at(15), at(16)}};
  k[28] = {{b[27].right, at(17)}, {at(16), at(17)}};
  k[29] = {{at(17), b[30].left}, {at(17), at(18)}};
  k[31] = {{b[30].right, b[32].left}, {at(18), at(19)}};
  k[33] = {{b[32].right, b[34].left}, {at(19), at(20)}};
  k[35] = {{b[34].right, at(21)}, {at(20), at(21)}};
  k[36] = {{at(21), w}, {at(21), w}};
  return k;
}

KeyOutline MakeOutline(std::initializer_list<IntPoint> points) {
  KeyOutline outline;
  for (const IntPoint& point : points) outline.points[outline.count++] = point;
  return outline;
}

KeyOutline BlackKeyOutline(const Band& band, int hb) {
  return MakeOutline(
      {{band.left, 0}, {band.right, 0}, {band.right, hb}, {band.left, hb}, {band.left, 0}});
}

// Clockwise from the upper-left corner; the notches are where the upper band is narrower.
KeyOutline WhiteKeyOutline(int key, const WhiteKey& white, int hb, int h) {
  const int ul = white.upper.left;
  const int ur = white.upper.right;
  const int ll = white.lower.left;
  const int lr = white.lower.right;
  if (key == kPianoKeyCount - 1) {
    return MakeOutline({{ll, 0}, {ur, 0}, {ur, h}, {ll, h}, {ll, 0}});
  }
  switch (key % 12) {
    case 0:  // C
    case 5:  // F
      return MakeOutline({{ul, 0}, {ur, 0}, {ur, hb}, {lr, hb}, {lr, h}, {ul, h}, {ul, 0}});
    case 4:   // E
    case 11:  // B
      return MakeOutline({{ul, 0}, {ur, 0}, {ur, h}, {ll, h}, {ll, hb}, {ul, hb}, {ul, 0}});
    default:  // D, G, A
      return MakeOutline(
          {{ul, 0}, {ur, 0}, {ur, hb}, {lr, hb}, {lr, h}, {ll, h}, {ll, hb}, {ul, hb}, {ul, 0}});
  }
}

// Alternate-fill point test for an outline of horizontal and vertical edges. A point is inside
// when an odd number of vertical edges lie at or left of it with a half-open vertical span
// [top, bottom) holding it; this takes the left and top edges in and leaves the right and bottom
// ones out.
bool OutlineContains(const KeyOutline& outline, IntPoint point) {
  bool inside = false;
  for (std::size_t i = 1; i < outline.count; ++i) {
    const IntPoint& a = outline.points[i - 1];
    const IntPoint& b = outline.points[i];
    if (a.x != b.x || a.x > point.x) continue;
    const int top = std::min(a.y, b.y);
    const int bottom = std::max(a.y, b.y);
    if (point.y >= top && point.y < bottom) inside = !inside;
  }
  return inside;
}

}  // namespace

bool IsWhiteKey(int keyIndex) {
  switch (((keyIndex % 12) + 12) % 12) {
    case 0:
    case 2:
    case 4:
    case 5:
    case 7:
    case 9:
    case 11:
      return true;
    default:
      return false;
  }
}

void PianoGeometry::RebuildPianoRegions(const ClientRect& client) {
  // The client rectangle's left and top are 0, so its right and bottom are the size.
  const int w = std::max(client.right, 0);
  const int h = std::max(client.bottom, 0);
  const int hb = Over(h, 1.724);
  const auto black = BlackKeySpans(w);
  const auto white = WhiteKeyBands(w, black);
  for (int key = 0; key < kPianoKeyCount; ++key) {
    outlines_[key] =
        IsWhiteKey(key) ? WhiteKeyOutline(key, white[key], hb, h) : BlackKeyOutline(black[key], hb);
  }
  built_ = true;
}

bool PianoGeometry::RegionContains(int keyIndex, IntPoint point) const {
  if (!built_ || keyIndex < 0 || keyIndex >= kPianoKeyCount) return false;
  return OutlineContains(outlines_[keyIndex], point);
}

std::optional<int> PianoGeometry::PianoKeyAt(IntPoint point) const {
  for (int key = 0; key < kPianoKeyCount; ++key) {
    if (RegionContains(key, point)) return key;
  }
  return std::nullopt;
}

ButtonBounds AccordionButtonBounds(int button, const ClientRect& client) {
  const auto w = static_cast<float>(std::int64_t{client.right} - client.left);
  const auto h = static_cast<float>(std::int64_t{client.bottom} - client.top);
  const float d = std::min(w / 15.0f, h / 6.0f);
  const float cx = w / 53.0f;
  const float ry = h / 4.0f;
  const int row = button % 4;
  // The row offset is formed in double precision and then stored in single.
  return {static_cast<float>(button + 1) * cx, static_cast<float>((row + 0.2) * ry), d};
}

ButtonBounds AccordionMarkerBounds(const ClientRect& client) {
  const ButtonBounds button = AccordionButtonBounds(kMarkedButton, client);
  return {button.x + button.d / 4.0f, button.y + button.d / 4.0f, button.d / 2.0f};
}

std::optional<int> AccordionButtonAt(IntPoint point, const ClientRect& client) {
  for (int button = 0; button < kAccordionButtonCount; ++button) {
    const ButtonBounds bounds = AccordionButtonBounds(button, client);
    if (!(bounds.d > 0.0f)) return std::nullopt;  // an empty client area has no buttons
    const double radius = bounds.d / 2.0;
    const double dx = point.x - (bounds.x + radius);
    const double dy = point.y - (bounds.y + radius);
    if (dx * dx + dy * dy <= radius * radius) return button;
  }
  return std::nullopt;
}

}  // namespace orvane
