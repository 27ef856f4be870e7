#include "ui/Menu.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QString>
#include <span>

#include "core/texts/Texts.h"
#include "ui/CommandIds.h"
#include "ui/QtText.h"

namespace orvane {
namespace {

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

QMenu* BuildMainMenu(QMenuBar& bar, const std::function<void(int)>& dispatch) {
  QMenu* keyboardSettings = nullptr;
  auto addItem = [&dispatch](QMenu& menu, const MenuItem& item) {
    QAction* action = menu.addAction(CaptionOf(item));
    const int command = item.command;
    QObject::connect(action, &QAction::triggered, &menu,
                     [dispatch, command] { dispatch(command); });
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
      keyboardSettings = sub;
    }
  }
  return keyboardSettings;
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
