#pragma once

#include <functional>
#include <map>
#include <span>

#include <QKeySequence>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace orvane {

// One item of a menu popup: a command, or (command 0) a nested popup of radio items.
struct MenuItem {
  const char* caption;
  int command;
};

struct MenuPopup {
  const char* caption;
  std::span<const MenuItem> items;
};

struct Accelerator {
  int key;  // Qt::Key combined with Qt::KeyboardModifiers
  int command;
};

std::span<const MenuPopup> MainMenuTable();
std::span<const Accelerator> AcceleratorTable();
// Captions and commands of the "Keyboard settings" popup, by position.
std::span<const MenuItem> KeyboardSettingsTable();

// The menu bar and the accelerator shortcuts, built from the tables. Every action and shortcut
// calls `dispatch` with its command id.
struct BuiltMenu {
  std::map<int, QAction*> actions;    // menu items by command id
  QMenu* keyboardSettings = nullptr;  // radio group, marked by position
};

BuiltMenu BuildMainMenu(QMenuBar& bar, const std::function<void(int)>& dispatch);
// Window-wide shortcuts for every accelerator entry; they take the key press away from the
// focused widget whether or not a menu item shows the key.
void BuildAccelerators(QWidget& window, const std::function<void(int)>& dispatch);

// Marks the item at `position` of the radio popup.
void MarkRadioItem(QMenu& popup, int position);

}  // namespace orvane
