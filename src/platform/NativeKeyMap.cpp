#include "platform/NativeKeyMap.h"

#include <array>

namespace orvane {

namespace {

// Windows virtual-key numbers used below.
constexpr int kVkBack = 8;
constexpr int kVkTab = 9;
constexpr int kVkReturn = 13;
constexpr int kVkShift = 16;
constexpr int kVkControl = 17;
constexpr int kVkMenu = 18;  // Alt
constexpr int kVkCapital = 20;
constexpr int kVkEscape = 27;
constexpr int kVkSpace = 32;
constexpr int kVkPrior = 33;  // Page Up
constexpr int kVkNext = 34;   // Page Down
constexpr int kVkEnd = 35;
constexpr int kVkHome = 36;
constexpr int kVkLeft = 37;
constexpr int kVkUp = 38;
constexpr int kVkRight = 39;
constexpr int kVkDown = 40;
constexpr int kVkInsert = 45;
constexpr int kVkDelete = 46;
constexpr int kVkF1 = 112;
constexpr int kVkOem1 = 186;  // ; :
constexpr int kVkOemPlus = 187;
constexpr int kVkOemComma = 188;
constexpr int kVkOemMinus = 189;
constexpr int kVkOemPeriod = 190;
constexpr int kVkOem2 = 191;    // / ?
constexpr int kVkOem3 = 192;    // ` ~
constexpr int kVkOem4 = 219;    // [ {
constexpr int kVkOem5 = 220;    // \ |
constexpr int kVkOem6 = 221;    // ] }
constexpr int kVkOem7 = 222;    // ' "
constexpr int kVkOem102 = 226;  // the extra key left of Z on ISO keyboards

constexpr std::size_t kX11KeycodeCount = 256;

// X11 keycodes (evdev + 8) of the standard PC keyboard, by row.
constexpr std::array<int, kX11KeycodeCount> BuildX11Table() {
  std::array<int, kX11KeycodeCount> table{};
  table[9] = kVkEscape;
  // 1 2 3 4 5 6 7 8 9 0 - = Backspace
  const int digitRow[] = {'1', '2', '3', '4',         '5',        '6',    '7',
                          '8', '9', '0', kVkOemMinus, kVkOemPlus, kVkBack};
  for (std::size_t i = 0; i < std::size(digitRow); ++i) table[10 + i] = digitRow[i];
  // Tab Q W E R T Y U I O P [ ] Return
  const int topRow[] = {kVkTab, 'Q', 'W', 'E', 'R',     'T',     'Y',
                        'U',    'I', 'O', 'P', kVkOem4, kVkOem6, kVkReturn};
  for (std::size_t i = 0; i < std::size(topRow); ++i) table[23 + i] = topRow[i];
  table[37] = kVkControl;
  // A S D F G H J K L ; ' `
  const int homeRow[] = {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', kVkOem1, kVkOem7, kVkOem3};
  for (std::size_t i = 0; i < std::size(homeRow); ++i) table[38 + i] = homeRow[i];
  table[50] = kVkShift;
  table[51] = kVkOem5;
  // Z X C V B N M , . /
  const int bottomRow[] = {'Z', 'X', 'C', 'V', 'B', 'N', 'M', kVkOemComma, kVkOemPeriod, kVkOem2};
  for (std::size_t i = 0; i < std::size(bottomRow); ++i) table[52 + i] = bottomRow[i];
  table[62] = kVkShift;
  table[64] = kVkMenu;
  table[65] = kVkSpace;
  table[66] = kVkCapital;
  for (std::size_t i = 0; i < 10; ++i) table[67 + i] = kVkF1 + static_cast<int>(i);  // F1..F10
  table[94] = kVkOem102;
  table[95] = kVkF1 + 10;  // F11
  table[96] = kVkF1 + 11;  // F12
  table[104] = kVkReturn;  // keypad Enter
  table[105] = kVkControl;
  table[108] = kVkMenu;  // right Alt (AltGr)
  table[110] = kVkHome;
  table[111] = kVkUp;
  table[112] = kVkPrior;
  table[113] = kVkLeft;
  table[114] = kVkRight;
  table[115] = kVkEnd;
  table[116] = kVkDown;
  table[117] = kVkNext;
  table[118] = kVkInsert;
  table[119] = kVkDelete;
  return table;
}

constexpr std::array<int, kX11KeycodeCount> kX11Table = BuildX11Table();
constexpr std::uint32_t kX11LeftShift = 50;
constexpr std::uint32_t kX11RightShift = 62;

// Qt::Key values (Qt's own numbering, written out because the core does not include Qt).
constexpr int kQtKeyEscape = 0x01000000;
constexpr int kQtKeyTab = 0x01000001;
constexpr int kQtKeyBacktab = 0x01000002;  // Shift+Tab
constexpr int kQtKeyBackspace = 0x01000003;
constexpr int kQtKeyReturn = 0x01000004;
constexpr int kQtKeyEnter = 0x01000005;  // keypad Enter
constexpr int kQtKeyInsert = 0x01000006;
constexpr int kQtKeyDelete = 0x01000007;
constexpr int kQtKeyHome = 0x01000010;
constexpr int kQtKeyEnd = 0x01000011;
constexpr int kQtKeyLeft = 0x01000012;
constexpr int kQtKeyUp = 0x01000013;
constexpr int kQtKeyRight = 0x01000014;
constexpr int kQtKeyDown = 0x01000015;
constexpr int kQtKeyPageUp = 0x01000016;
constexpr int kQtKeyPageDown = 0x01000017;
constexpr int kQtKeyShift = 0x01000020;
constexpr int kQtKeyControl = 0x01000021;
constexpr int kQtKeyAlt = 0x01000023;
constexpr int kQtKeyCapsLock = 0x01000024;
constexpr int kQtKeyF1 = 0x01000030;
constexpr int kQtKeyF12 = 0x0100003b;
constexpr int kQtKeyAltGr = 0x01001103;

// Printable Qt keys are the Latin-1 code of the (upper-case) symbol. The table gives the US key
// that carries each symbol, plain or shifted.
constexpr std::array<int, 128> BuildQtPrintableTable() {
  std::array<int, 128> table{};
  table[' '] = kVkSpace;
  for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<std::size_t>(c)] = c;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = c;
  const char shiftedDigits[] = ")!@#$%^&*(";  // Shift+0 .. Shift+9
  for (std::size_t i = 0; i < 10; ++i) {
    table[static_cast<std::size_t>(shiftedDigits[i])] = '0' + static_cast<int>(i);
  }
  const struct {
    char plain;
    char shifted;
    int virtualKey;
  } symbols[] = {{'-', '_', kVkOemMinus}, {'=', '+', kVkOemPlus},   {'[', '{', kVkOem4},
                 {']', '}', kVkOem6},     {';', ':', kVkOem1},      {'\'', '"', kVkOem7},
                 {',', '<', kVkOemComma}, {'.', '>', kVkOemPeriod}, {'/', '?', kVkOem2},
                 {'\\', '|', kVkOem5},    {'`', '~', kVkOem3}};
  for (const auto& symbol : symbols) {
    table[static_cast<std::size_t>(symbol.plain)] = symbol.virtualKey;
    table[static_cast<std::size_t>(symbol.shifted)] = symbol.virtualKey;
  }
  return table;
}

constexpr std::array<int, 128> kQtPrintableTable = BuildQtPrintableTable();

}  // namespace

MappedKey VirtualKeyFromX11Keycode(std::uint32_t keycode) {
  if (keycode >= kX11KeycodeCount) return {};
  MappedKey key{kX11Table[keycode], KeySide::None};
  if (keycode == kX11LeftShift) key.side = KeySide::Left;
  if (keycode == kX11RightShift) key.side = KeySide::Right;
  return key;
}

MappedKey VirtualKeyFromQtKey(int qtKey) {
  if (qtKey >= 0 && qtKey < static_cast<int>(kQtPrintableTable.size())) {
    return {kQtPrintableTable[static_cast<std::size_t>(qtKey)], KeySide::None};
  }
  if (qtKey >= kQtKeyF1 && qtKey <= kQtKeyF12) return {kVkF1 + (qtKey - kQtKeyF1), KeySide::None};
  switch (qtKey) {
    case kQtKeyEscape:
      return {kVkEscape, KeySide::None};
    case kQtKeyTab:
    case kQtKeyBacktab:
      return {kVkTab, KeySide::None};
    case kQtKeyBackspace:
      return {kVkBack, KeySide::None};
    case kQtKeyReturn:
    case kQtKeyEnter:
      return {kVkReturn, KeySide::None};
    case kQtKeyInsert:
      return {kVkInsert, KeySide::None};
    case kQtKeyDelete:
      return {kVkDelete, KeySide::None};
    case kQtKeyHome:
      return {kVkHome, KeySide::None};
    case kQtKeyEnd:
      return {kVkEnd, KeySide::None};
    case kQtKeyLeft:
      return {kVkLeft, KeySide::None};
    case kQtKeyUp:
      return {kVkUp, KeySide::None};
    case kQtKeyRight:
      return {kVkRight, KeySide::None};
    case kQtKeyDown:
      return {kVkDown, KeySide::None};
    case kQtKeyPageUp:
      return {kVkPrior, KeySide::None};
    case kQtKeyPageDown:
      return {kVkNext, KeySide::None};
    case kQtKeyShift:
      return {kVkShift, KeySide::None};
    case kQtKeyControl:
      return {kVkControl, KeySide::None};
    case kQtKeyAlt:
    case kQtKeyAltGr:
      return {kVkMenu, KeySide::None};
    case kQtKeyCapsLock:
      return {kVkCapital, KeySide::None};
    default:
      return {};
  }
}

MappedKey VirtualKeyOfEvent(std::uint32_t nativeScanCode, int qtKey) {
  if (nativeScanCode != 0) return VirtualKeyFromX11Keycode(nativeScanCode);
  return VirtualKeyFromQtKey(qtKey);
}

}  // namespace orvane
