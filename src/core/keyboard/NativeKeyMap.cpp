#include "core/keyboard/NativeKeyMap.h"

#include <array>
#include <initializer_list>

#include "core/keyboard/KeyCodes.h"

namespace orvane {

namespace {

constexpr std::size_t kX11KeycodeCount = 256;

// Stores `keys` under consecutive keycodes from `first`.
constexpr void PutRow(std::array<int, kX11KeycodeCount>& table, std::size_t first,
                      std::initializer_list<int> keys) {
  for (int code : keys) table[first++] = code;
}

// X11 keycodes (evdev + 8) of the standard PC keyboard, by row.
constexpr std::array<int, kX11KeycodeCount> BuildX11Table() {
  std::array<int, kX11KeycodeCount> table{};
  table[9] = key::kEscape;
  // clang-format off
  PutRow(table, 10, {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0',
                     key::kMinus, key::kEquals, key::kBackspace});
  PutRow(table, 23, {key::kTab, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P',
                     key::kOpenBracket, key::kCloseBracket, key::kEnter});
  table[37] = key::kControl;
  PutRow(table, 38, {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L',
                     key::kSemicolon, key::kApostrophe, key::kBackquote});
  table[50] = key::kShift;
  table[51] = key::kBackslash;
  PutRow(table, 52, {'Z', 'X', 'C', 'V', 'B', 'N', 'M',
                     key::kComma, key::kPeriod, key::kSlash});
  // clang-format on
  table[62] = key::kShift;
  table[64] = key::kAlt;
  table[65] = key::kSpace;
  table[66] = key::kCapsLock;
  for (std::size_t i = 0; i < 10; ++i) table[67 + i] = key::kF1 + static_cast<int>(i);  // F1..F10
  table[94] = key::kIntlBackslash;
  table[95] = key::kF11;
  table[96] = key::kF12;
  table[104] = key::kEnter;  // keypad Enter
  table[105] = key::kControl;
  table[108] = key::kAlt;  // right Alt (AltGr)
  table[110] = key::kHome;
  table[111] = key::kUp;
  table[112] = key::kPageUp;
  table[113] = key::kLeft;
  table[114] = key::kRight;
  table[115] = key::kEnd;
  table[116] = key::kDown;
  table[117] = key::kPageDown;
  table[118] = key::kInsert;
  table[119] = key::kDelete;
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
  table[' '] = key::kSpace;
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
  } symbols[] = {
      {'-', '_', key::kMinus},        {'=', '+', key::kEquals},    {'[', '{', key::kOpenBracket},
      {']', '}', key::kCloseBracket}, {';', ':', key::kSemicolon}, {'\'', '"', key::kApostrophe},
      {',', '<', key::kComma},        {'.', '>', key::kPeriod},    {'/', '?', key::kSlash},
      {'\\', '|', key::kBackslash},   {'`', '~', key::kBackquote}};
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
  MappedKey mapped{kX11Table[keycode], KeySide::None};
  if (keycode == kX11LeftShift) mapped.side = KeySide::Left;
  if (keycode == kX11RightShift) mapped.side = KeySide::Right;
  return mapped;
}

MappedKey VirtualKeyFromQtKey(int qtKey) {
  if (qtKey >= 0 && qtKey < static_cast<int>(kQtPrintableTable.size())) {
    return {kQtPrintableTable[static_cast<std::size_t>(qtKey)], KeySide::None};
  }
  if (qtKey >= kQtKeyF1 && qtKey <= kQtKeyF12)
    return {key::kF1 + (qtKey - kQtKeyF1), KeySide::None};
  switch (qtKey) {
    case kQtKeyEscape:
      return {key::kEscape, KeySide::None};
    case kQtKeyTab:
    case kQtKeyBacktab:
      return {key::kTab, KeySide::None};
    case kQtKeyBackspace:
      return {key::kBackspace, KeySide::None};
    case kQtKeyReturn:
    case kQtKeyEnter:
      return {key::kEnter, KeySide::None};
    case kQtKeyInsert:
      return {key::kInsert, KeySide::None};
    case kQtKeyDelete:
      return {key::kDelete, KeySide::None};
    case kQtKeyHome:
      return {key::kHome, KeySide::None};
    case kQtKeyEnd:
      return {key::kEnd, KeySide::None};
    case kQtKeyLeft:
      return {key::kLeft, KeySide::None};
    case kQtKeyUp:
      return {key::kUp, KeySide::None};
    case kQtKeyRight:
      return {key::kRight, KeySide::None};
    case kQtKeyDown:
      return {key::kDown, KeySide::None};
    case kQtKeyPageUp:
      return {key::kPageUp, KeySide::None};
    case kQtKeyPageDown:
      return {key::kPageDown, KeySide::None};
    case kQtKeyShift:
      return {key::kShift, KeySide::None};
    case kQtKeyControl:
      return {key::kControl, KeySide::None};
    case kQtKeyAlt:
    case kQtKeyAltGr:
      return {key::kAlt, KeySide::None};
    case kQtKeyCapsLock:
      return {key::kCapsLock, KeySide::None};
    default:
      return {};
  }
}

MappedKey VirtualKeyOfEvent(std::uint32_t nativeScanCode, int qtKey) {
  if (nativeScanCode != 0) return VirtualKeyFromX11Keycode(nativeScanCode);
  return VirtualKeyFromQtKey(qtKey);
}

}  // namespace orvane
