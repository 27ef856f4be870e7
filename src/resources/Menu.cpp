#include "resources/Menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QString>

#include "platform/QtText.h"
#include "resources/CommandIds.h"
#include "resources/Texts.h"

namespace orvane {
namespace {

// Command 0 in a popup marks the nested "Keyboard settings" popup.
constexpr int kSubmenu = 0;

constexpr MenuItem kMenuItems[] = {
    {"S&ave voice (F2)", cmd::kSaveVoice},
    {"&Load voice (F3)", cmd::kLoadVoice},
    {"&Edit voice (F4)", cmd::kEditVoice},
    {"&Midi device settings (F5)", cmd::kMidiDeviceSettings},
    {"Octave Up (Page Up)", cmd::kOctaveUp},
    {"Octave Down (Page Down)", cmd::kOctaveDown},
    {"Octave Standard (Home)", cmd::kOctaveStandard},
    {"Semitone Up (Insert)", cmd::kSemitoneUp},
    {"Semitone Down (Delete)", cmd::kSemitoneDown},
    {"Semitone Standard (End)", cmd::kSemitoneStandard},
    {"Keyboard settings", kSubmenu},
    {"Pressed key color", cmd::kPressedKeyColor},
    {"E&xit (Alt + F4)", cmd::kExit},
};

constexpr MenuItem kKeyboardSettings[] = {
    {"Piano keys", cmd::kPianoKeys},
    {"Accordion left hand keys", cmd::kAccordionKeys},
};

// The maker-page caption ends with the site address, filled in when the menu is built.
constexpr MenuItem kHelpItems[] = {
    {"&Help (F1)", cmd::kHelp},
    {"&About Tellak Orvane...", cmd::kAbout},
    {"Homepage of &Tellak Orvane", cmd::kProductPage},
    {"&Musician software on ", cmd::kMakerPage},
};

constexpr MenuPopup kPopups[] = {
    {"&Menu", kMenuItems},
    {"&Help", kHelpItems},
};

constexpr int kCtrl = Qt::ControlModifier;
constexpr int kShift = Qt::ShiftModifier;
constexpr int kAlt = Qt::AltModifier;

constexpr Accelerator kAccelerators[] = {
    {Qt::Key_F1, cmd::kHelp},
    {Qt::Key_F2, cmd::kSaveVoice},
    {Qt::Key_F3, cmd::kLoadVoice},
    {Qt::Key_F4, cmd::kEditVoice},
    {Qt::Key_F5, cmd::kMidiDeviceSettings},
    {Qt::Key_PageUp, cmd::kOctaveUp},
    {Qt::Key_PageDown, cmd::kOctaveDown},
    {Qt::Key_Home, cmd::kOctaveStandard},
    {Qt::Key_Insert, cmd::kSemitoneUp},
    {Qt::Key_Delete, cmd::kSemitoneDown},
    {Qt::Key_End, cmd::kSemitoneStandard},
    {kCtrl | Qt::Key_C, cmd::kEditCopy},
    {kCtrl | Qt::Key_Insert, cmd::kEditCopy},
    {kCtrl | Qt::Key_X, cmd::kEditCut},
    {kShift | Qt::Key_Delete, cmd::kEditCut},
    {kCtrl | Qt::Key_V, cmd::kEditPaste},
    {kShift | Qt::Key_Insert, cmd::kEditPaste},
    {kCtrl | Qt::Key_Z, cmd::kEditUndo},
    {kAlt | Qt::Key_Backspace, cmd::kEditUndo},
    {Qt::Key_F6, cmd::kNextPane},
    {kShift | Qt::Key_F6, cmd::kPrevPane},
};

QString CaptionOf(const MenuItem& item) {
  QString caption = QString::fromUtf8(item.caption);
  if (item.command == cmd::kMakerPage) {
    caption += ToQString(texts::kMakerSite);
  }
  return caption;
}

}  // namespace

std::span<const MenuPopup> MainMenuTable() {
  return kPopups;
}
std::span<const Accelerator> AcceleratorTable() {
  return kAccelerators;
}
std::span<const MenuItem> KeyboardSettingsTable() {
  return kKeyboardSettings;
}

BuiltMenu BuildMainMenu(QMenuBar& bar, const std::function<void(int)>& dispatch) {
  BuiltMenu built;
  auto addItem = [&](QMenu& menu, const MenuItem& item) {
    QAction* action = menu.addAction(CaptionOf(item));
    const int command = item.command;
    QObject::connect(action, &QAction::triggered, &menu,
                     [dispatch, command] { dispatch(command); });
    built.actions[command] = action;
    return action;
  };
  for (const MenuPopup& popup : kPopups) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(popup.caption));
    for (const MenuItem& item : popup.items) {
      if (item.command != kSubmenu) {
        addItem(*menu, item);
        continue;
      }
      QMenu* sub = menu->addMenu(QString::fromUtf8(item.caption));
      auto* group = new QActionGroup(sub);
      group->setExclusive(true);
      for (const MenuItem& radio : kKeyboardSettings) {
        QAction* action = addItem(*sub, radio);
        action->setCheckable(true);
        group->addAction(action);
      }
      built.keyboardSettings = sub;
    }
  }
  return built;
}

void BuildAccelerators(QWidget& window, const std::function<void(int)>& dispatch) {
  for (const Accelerator& accelerator : kAccelerators) {
    auto* shortcut = new QShortcut(QKeySequence(accelerator.key), &window);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(true);
    const int command = accelerator.command;
    QObject::connect(shortcut, &QShortcut::activated, &window,
                     [dispatch, command] { dispatch(command); });
  }
}

void MarkRadioItem(QMenu& popup, int position) {
  const QList<QAction*> items = popup.actions();
  if (position >= 0 && position < items.size()) items[position]->setChecked(true);
}

}  // namespace orvane
