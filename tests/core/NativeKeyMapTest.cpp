#include "core/keyboard/NativeKeyMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvane {
namespace {

int X11(std::uint32_t keycode) {
  return VirtualKeyFromX11Keycode(keycode).virtualKey;
}

std::string RowOf(std::uint32_t first, std::uint32_t last) {
  std::string row;
  for (std::uint32_t keycode = first; keycode <= last; ++keycode) {
    int key = X11(keycode);
    row += key >= '0' && key <= 'Z' ? std::string(1, static_cast<char>(key))
                                    : "<" + std::to_string(key) + ">";
  }
  return row;
}

TEST(NativeKeyMapTest, PlayingRowsFollowThePhysicalUsLayout) {
  EXPECT_EQ(RowOf(10, 22), "1234567890<189><187><8>");
  EXPECT_EQ(RowOf(24, 36), "QWERTYUIOP<219><221><13>");
  EXPECT_EQ(RowOf(38, 49), "ASDFGHJKL<186><222><192>");
  EXPECT_EQ(RowOf(52, 61), "ZXCVBNM<188><190><191>");
  EXPECT_EQ(X11(51), 220);  // backslash
}

TEST(NativeKeyMapTest, ControlKeysAndBothShiftSides) {
  EXPECT_EQ(VirtualKeyFromX11Keycode(50), (MappedKey{16, KeySide::Left}));
  EXPECT_EQ(VirtualKeyFromX11Keycode(62), (MappedKey{16, KeySide::Right}));
  EXPECT_EQ(VirtualKeyFromX11Keycode(24).side, KeySide::None);
  EXPECT_EQ(X11(66), 20);   // Caps Lock
  EXPECT_EQ(X11(65), 32);   // space
  EXPECT_EQ(X11(104), 13);  // keypad Enter
  EXPECT_EQ(X11(9), 27);
  EXPECT_EQ(X11(23), 9);
  EXPECT_EQ(X11(37), 17);
  EXPECT_EQ(X11(105), 17);
  EXPECT_EQ(X11(64), 18);
  EXPECT_EQ(X11(108), 18);
  // Home Up PageUp Left Right End Down PageDown Insert Delete
  const int navigation[] = {36, 38, 33, 37, 39, 35, 40, 34, 45, 46};
  for (std::uint32_t i = 0; i < std::size(navigation); ++i) EXPECT_EQ(X11(110 + i), navigation[i]);
  for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(X11(67 + i), 112 + static_cast<int>(i));
  EXPECT_EQ(X11(95), 122);
  EXPECT_EQ(X11(96), 123);
}

TEST(NativeKeyMapTest, UnknownKeycodesGiveZero) {
  for (std::uint32_t keycode : {0u, 8u, 79u, 90u, 133u, 255u, 256u, 70000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(VirtualKeyFromX11Keycode(keycode), MappedKey{}) << keycode;
  }
}

TEST(NativeKeyMapTest, QtKeysGiveTheUsKeyOfTheirSymbol) {
  EXPECT_EQ(VirtualKeyFromQtKey(0x41).virtualKey, 'A');
  EXPECT_EQ(VirtualKeyFromQtKey(0x5a).virtualKey, 'Z');
  EXPECT_EQ(VirtualKeyFromQtKey(0x30).virtualKey, '0');
  EXPECT_EQ(VirtualKeyFromQtKey(0x20).virtualKey, 32);
  // Plain and shifted symbols land on the same key: Shift is held while playing.
  const struct {
    int plain, shifted, virtualKey;
  } symbols[] = {{0x2d, 0x5f, 189}, {0x3d, 0x2b, 187}, {0x5b, 0x7b, 219}, {0x5d, 0x7d, 221},
                 {0x3b, 0x3a, 186}, {0x27, 0x22, 222}, {0x2c, 0x3c, 188}, {0x2e, 0x3e, 190},
                 {0x2f, 0x3f, 191}, {0x5c, 0x7c, 220}, {0x60, 0x7e, 192}};
  for (const auto& symbol : symbols) {
    EXPECT_EQ(VirtualKeyFromQtKey(symbol.plain).virtualKey, symbol.virtualKey) << symbol.plain;
    EXPECT_EQ(VirtualKeyFromQtKey(symbol.shifted).virtualKey, symbol.virtualKey) << symbol.shifted;
  }
  EXPECT_EQ(VirtualKeyFromQtKey(0x21).virtualKey, '1');  // !
  EXPECT_EQ(VirtualKeyFromQtKey(0x40).virtualKey, '2');  // @
  EXPECT_EQ(VirtualKeyFromQtKey(0x29).virtualKey, '0');  // )
}

TEST(NativeKeyMapTest, QtSpecialKeys) {
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000020), (MappedKey{16, KeySide::None}));  // Shift
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000024).virtualKey, 20);                   // Caps Lock
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000004).virtualKey, 13);                   // Return
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000005).virtualKey, 13);                   // keypad Enter
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000003).virtualKey, 8);                    // Backspace
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000016).virtualKey, 33);                   // Page Up
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000007).virtualKey, 46);                   // Delete
  EXPECT_EQ(VirtualKeyFromQtKey(0x01000030).virtualKey, 112);                  // F1
  EXPECT_EQ(VirtualKeyFromQtKey(0x0100003b).virtualKey, 123);                  // F12
  for (int unknown : {-1, 0, 0x61, 0xC4, 0x0100003c, 0x01000022, 0x7FFFFFFF}) {
    EXPECT_EQ(VirtualKeyFromQtKey(unknown), MappedKey{}) << unknown;
  }
}

TEST(NativeKeyMapTest, NativeCodeWinsOverTheLayoutsSymbol) {
  // AZERTY: the key at the Q position reports 'A'; it still plays as Q.
  EXPECT_EQ(VirtualKeyOfEvent(24, 0x41).virtualKey, 'Q');
  // A known native code that the program does not use stays unknown (keypad 7).
  EXPECT_EQ(VirtualKeyOfEvent(79, 0x37).virtualKey, 0);
  // Synthetic events carry no native code.
  EXPECT_EQ(VirtualKeyOfEvent(0, 0x2c).virtualKey, 188);
}

}  // namespace
}  // namespace orvane
