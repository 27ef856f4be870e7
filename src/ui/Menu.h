#pragma once

#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

namespace orvane {

// The menu bar and the accelerator shortcuts, built from the program's tables. Every menu item
// and shortcut calls `dispatch` with its command id.
//
// The menu bar; returns its "Keyboard settings" popup, a radio group marked by position.
QMenu* BuildMainMenu(QMenuBar& bar, const std::function<void(int)>& dispatch);
// Window-wide shortcuts for every accelerator entry; they take the key press away from the
// focused widget whether or not a menu item shows the key.
void BuildAccelerators(QWidget& window, const std::function<void(int)>& dispatch);

// Marks the item at `position` of the radio popup.
void MarkRadioItem(QMenu& popup, int position);

}  // namespace orvane
