#include "platform/QtKeyCodes.h"

#include <Qt>

namespace orvane {
namespace {

struct KeyPair {
  int qtKey;
  int virtualKey;
};

constexpr KeyPair kPairs[] = {
    {Qt::Key_Backspace, 8},      {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},        {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},         {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},       {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},         {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},        {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},        {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},           {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},          {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},         {Qt::Key_Down, 40},
    {Qt::Key_Insert, 45},        {Qt::Key_Delete, 46},
    {Qt::Key_Semicolon, 186},    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},        {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},        {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},        {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},       {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},        {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},  {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},   {Qt::Key_QuoteDbl, 222},
    {Qt::Key_Exclam, '1'},       {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},   {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},      {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},    {Qt::Key_ParenRight, '0'},
};

}  // namespace

int VirtualKeyFromQtKey(int qtKey) {
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return qtKey;  // letters and digits share their codes
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  for (const KeyPair& pair : kPairs) {
    if (pair.qtKey == qtKey) return pair.virtualKey;
  }
  return 0;
}

}  // namespace orvane

namespace orvane {

// X11 keycodes are evdev codes plus 8: Shift_L is 50, Shift_R is 62. Windows set-1 scan codes
// are 0x2A and 0x36.
ShiftSide ShiftSideOfNativeScanCode(unsigned nativeScanCode) {
#ifdef _WIN32
  return nativeScanCode == 0x36 ? ShiftSide::Right : ShiftSide::Left;
#else
  return nativeScanCode == 62 ? ShiftSide::Right : ShiftSide::Left;
#endif
}

int VirtualKeyFromNativeScanCode(unsigned /*nativeScanCode*/) {
  return 0;
}

}  // namespace orvane
