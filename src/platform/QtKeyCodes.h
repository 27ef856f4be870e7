#pragma once

namespace orvane {

// Windows virtual-key code of a Qt key, for events that carry no native scan code (synthetic
// events). Shifted symbols map to their unshifted key (Qt::Key_Less is the comma key). 0 when
// the key has no virtual-key code the program uses.
int VirtualKeyFromQtKey(int qtKey);

// Windows virtual-key code of the key at a native scan code, 0 when unknown.
int VirtualKeyFromNativeScanCode(unsigned nativeScanCode);

enum class ShiftSide { Left, Right };
// Which Shift key a native scan code is; codes that are neither count as the left one.
ShiftSide ShiftSideOfNativeScanCode(unsigned nativeScanCode);

}  // namespace orvane
