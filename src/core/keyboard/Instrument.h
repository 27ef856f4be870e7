#pragma once

namespace orvane {

// The keys the instrument draws. A piano key's index is its note value (0 to 36); accordion
// button b sits in row b mod 4 (bass, major, minor, seventh) and column b div 4 of the board.
inline constexpr int kPianoKeyCount = 37;
inline constexpr int kAccordionButtonCount = 49;
// C bass, the button a player finds by touch: drawn with a dot.
inline constexpr int kMarkedButton = 20;

}  // namespace orvane
