#pragma once

namespace orvane::key {

// Key codes are Windows virtual-key numbers on every platform: the layouts, the accelerator table
// and the stored settings all speak them. Letters and digits are their upper-case character codes.

inline constexpr int kBackspace = 8;
inline constexpr int kTab = 9;
inline constexpr int kEnter = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kAlt = 18;
inline constexpr int kCapsLock = 20;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kInsert = 45;
inline constexpr int kDelete = 46;

inline constexpr int kF1 = 112;
inline constexpr int kF2 = 113;
inline constexpr int kF3 = 114;
inline constexpr int kF4 = 115;
inline constexpr int kF5 = 116;
inline constexpr int kF6 = 117;
inline constexpr int kF7 = 118;
inline constexpr int kF8 = 119;
inline constexpr int kF9 = 120;
inline constexpr int kF10 = 121;
inline constexpr int kF11 = 122;
inline constexpr int kF12 = 123;

inline constexpr int kLeftShift = 160;
inline constexpr int kRightShift = 161;
inline constexpr int kLeftControl = 162;
inline constexpr int kRightControl = 163;

// The punctuation keys, named after their US-layout legends.
inline constexpr int kSemicolon = 186;      // ; (VK_OEM_1)
inline constexpr int kEquals = 187;         // = (VK_OEM_PLUS)
inline constexpr int kComma = 188;          // , (VK_OEM_COMMA)
inline constexpr int kMinus = 189;          // - (VK_OEM_MINUS)
inline constexpr int kPeriod = 190;         // . (VK_OEM_PERIOD)
inline constexpr int kSlash = 191;          // / (VK_OEM_2)
inline constexpr int kBackquote = 192;      // ` (VK_OEM_3)
inline constexpr int kOpenBracket = 219;    // [ (VK_OEM_4)
inline constexpr int kBackslash = 220;      // \ (VK_OEM_5)
inline constexpr int kCloseBracket = 221;   // ] (VK_OEM_6)
inline constexpr int kApostrophe = 222;     // ' (VK_OEM_7)
inline constexpr int kIntlBackslash = 226;  // the extra key left of Z on ISO boards (VK_OEM_102)

// Two accordion buttons that no computer key reaches; only the mouse plays them.
inline constexpr int kAccordionFSharpMinor = 1001;
inline constexpr int kAccordionFSharpSeventh = 1002;

// 'A'..'Z' and '0'..'9' are their own key codes.
constexpr int Letter(char upperCase) {
  return static_cast<int>(upperCase);
}
constexpr int Digit(char digit) {
  return static_cast<int>(digit);
}

}  // namespace orvane::key
