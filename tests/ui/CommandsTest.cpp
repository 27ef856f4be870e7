#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "AppFixture.h"
#include "ModalDialogDriver.h"
#include "ui/AboutDlg.h"
#include "ui/KeyboardPainter.h"

namespace orvane::testing {
namespace {

using WindowCommands = AppTest;
using Notes = std::vector<ShortMessage>;

// The help text as the user reads it, byte for byte.
constexpr std::string_view kHelpText =
    "Use <SPACEBAR> to get sustain pedal effect when you play with mouse.\n"
    "Use <SHIFT> keys to get sustain pedal effect when you play with PC keyboard. Use <CAPS LOCK> "
    "to fix sustain pedal effect when you play with PC keyboard.\n"
    "Use <ENTER> or right mouse button to mute all sounds.\n"
    "\n"
    "You can find some *.orvane files on homepage of Tellak Orvane.";

QStringList Captions(const QMenu& menu) {
  QStringList captions;
  for (const QAction* action : menu.actions()) captions << action->text();
  return captions;
}

TEST_F(WindowCommands, MenuCaptionsInOrder) {
  Start();
  const QList<QAction*> popups = frame().menuBar()->actions();
  ASSERT_EQ(popups.size(), 2);
  EXPECT_EQ(popups[0]->text(), "&Menu");
  EXPECT_EQ(popups[1]->text(), "&Help");
  EXPECT_EQ(
      Captions(*popups[0]->menu()),
      (QStringList{"S&ave voice (F2)", "&Load voice (F3)", "&Edit voice (F4)",
                   "&Midi device settings (F5)", "Octave Up (Page Up)", "Octave Down (Page Down)",
                   "Octave Standard (Home)", "Semitone Up (Insert)", "Semitone Down (Delete)",
                   "Semitone Standard (End)", "Keyboard settings", "Pressed key color",
                   "E&xit (Alt + F4)"}));
  EXPECT_EQ(Captions(*popups[0]->menu()->actions().at(10)->menu()),
            (QStringList{"Piano keys", "Accordion left hand keys"}));
  EXPECT_EQ(Captions(*popups[1]->menu()),
            (QStringList{"&Help (F1)", "&About Tellak Orvane...", "Homepage of &Tellak Orvane",
                         "&Musician software on www.orvane-music.net"}));
  // A menu item reaches the same handler as its key.
  popups[0]->menu()->actions().at(4)->trigger();
  EXPECT_EQ(view().toneGen().OctaveShift(), 12);
}

TEST_F(WindowCommands, AcceleratorKeysNeverPlay) {
  Start();
  const struct {
    int key;
    unsigned native;
    Qt::KeyboardModifiers mods;
  } keys[] = {
      {Qt::Key_Insert, x11::kInsert, Qt::NoModifier},
      {Qt::Key_Delete, x11::kDelete, Qt::NoModifier},
      {Qt::Key_Home, x11::kHome, Qt::NoModifier},
      {Qt::Key_End, x11::kEnd, Qt::NoModifier},
      {Qt::Key_PageUp, x11::kPageUp, Qt::NoModifier},
      {Qt::Key_PageDown, x11::kPageDown, Qt::NoModifier},
      {Qt::Key_F6, x11::kF6, Qt::NoModifier},
      {Qt::Key_F6, x11::kF6, Qt::ShiftModifier},
      {Qt::Key_C, x11::kC, Qt::ControlModifier},
      {Qt::Key_Z, x11::kZKey, Qt::ControlModifier},
      {Qt::Key_Insert, x11::kInsert, Qt::ShiftModifier},
  };
  for (const auto& key : keys) {
    Press(key.key, key.native, key.mods);
    Release(key.key, key.native, key.mods);
  }
  for (ShortMessage message : NotesAndResets()) EXPECT_EQ(message, kReset);
  EXPECT_TRUE(messages_.shown.empty());
  // Shift+Insert is the unhandled paste, not a semitone up: the net shift is Insert's one step
  // undone by Delete.
  EXPECT_EQ(view().toneGen().SemitoneShift(), 0);
  EXPECT_EQ(view().toneGen().OctaveShift(), 0);
}

TEST_F(WindowCommands, KeyWithOtherModifiersThanItsEntryStillPlays) {
  Start();
  Press(Qt::Key_Z, x11::kZ, Qt::AltModifier);  // Ctrl+Z is undo; Alt+Z is a plain Z
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 36)}));
}

TEST_F(WindowCommands, HelpSilencesThenShowsTheOwnerlessBox) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  Tap(Qt::Key_F1, 67);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), kReset}));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].caption, "Tellak Orvane Help");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::None);
  EXPECT_EQ(messages_.shown[0].text, kHelpText);
  EXPECT_FALSE(messages_.shown[0].owned);
}

// The real box: no owner and not modal, so the main window stays playable while it is shown.
TEST_F(WindowCommands, HelpBoxLeavesTheMainWindowPlayable) {
  ShowRealMessageBoxes();
  Start();
  QString text;
  QWidget* owner = &frame();
  Notes playedMeanwhile;
  MessageBoxDriver boxDriver([&](QMessageBox& box) {
    text = box.text();
    owner = box.parentWidget();
    EXPECT_EQ(box.windowTitle(), "Tellak Orvane Help");
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_FALSE(box.isModal());
    midi_.Clear();
    QTest::keyClick(frame().windowHandle(), Qt::Key_Q);
    playedMeanwhile = NotesAndResets();
    CloseBox(box, BoxClose::Return);
  });
  QTest::keyClick(frame().windowHandle(), Qt::Key_F1);
  EXPECT_TRUE(boxDriver.ran());
  EXPECT_FALSE(boxDriver.leftOpen());
  EXPECT_EQ(text.toStdString(), kHelpText);
  EXPECT_EQ(owner, nullptr);
  EXPECT_EQ(playedMeanwhile, (Notes{NoteOn(0, 48), NoteOff(0, 48)}));
}

// Seen in the real program: the box after F3 had no owner, so the window played on beneath it
// and F3 could open another command over the waiting one.
TEST_F(WindowCommands, TooShortVoiceBoxAfterLoadIsModalOverTheMainWindow) {
  ShowRealMessageBoxes();
  Start();
  WriteFile("Short.orvane", std::string(50, '\x05'));
  desktop_.openAnswer = Path("Short.orvane");
  QWidget* owner = nullptr;
  bool modal = false;
  Notes playedMeanwhile{kReset};
  MessageBoxDriver boxDriver([&](QMessageBox& box) {
    owner = box.parentWidget();
    modal = box.isModal();
    EXPECT_EQ(box.text(), "Attempted to access an unnamed file past its end.");
    EXPECT_EQ(box.icon(), QMessageBox::Critical);
    midi_.Clear();
    QTest::keyClick(frame().windowHandle(), Qt::Key_Q);
    playedMeanwhile = NotesAndResets();
    CloseBox(box, BoxClose::Escape);
  });
  QTest::keyClick(frame().windowHandle(), Qt::Key_F3);
  EXPECT_TRUE(boxDriver.ran());
  EXPECT_FALSE(boxDriver.leftOpen());
  EXPECT_EQ(owner, &frame());
  EXPECT_TRUE(modal);
  EXPECT_TRUE(playedMeanwhile.empty());
  EXPECT_EQ(frame().windowTitle(), "Orvane");
}

TEST_F(WindowCommands, AboutAndWebPagesOpenTheMakersAddresses) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  frame().OnCommand(57664);
  EXPECT_EQ(desktop_.modalDialogs, (std::vector<std::string>{"About Tellak Orvane"}));
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48)}));  // about keeps notes sounding
  frame().OnCommand(32781);
  frame().OnCommand(32780);
  CAboutDlg about(desktop_, &frame());
  about.findChild<QPushButton*>("1070")->click();
  about.findChild<QPushButton*>("1069")->click();
  EXPECT_EQ(about.findChild<QPushButton*>("1069")->text(),
            "Musician software on www.orvane-music.net");
  EXPECT_EQ(desktop_.openedUrls,
            (std::vector<std::string>{
                "https://www.orvane-music.net/tellak-orvane/", "https://www.orvane-music.net/",
                "https://www.orvane-music.net/tellak-orvane/", "https://www.orvane-music.net/"}));
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48)}));
}

TEST_F(WindowCommands, SaveAndLoadVoiceFollowTheTitleRule) {
  Start();
  view().toneGen().voice.patch[0] = 21;
  desktop_.saveAnswer = Path("Accordion.orvane");
  Tap(Qt::Key_F2, 68);
  EXPECT_EQ(frame().windowTitle().toStdString(), "Accordion - Tellak Orvane");
  EXPECT_EQ(ReadFile("Accordion.orvane").size(), 112u);

  view().toneGen().voice = Voice::Default();
  desktop_.openAnswer = Path("Accordion.orvane");
  midi_.Clear();
  Tap(Qt::Key_F3, 69);
  EXPECT_EQ(view().toneGen().voice.patch[0], 21);
  EXPECT_EQ(midi_.Sent().front(), PackShortMessage(0xC0, 21, 0));  // programs sent

  Tap(Qt::Key_F2, 68);  // the dialog proposes the voice's name
  EXPECT_EQ(desktop_.saveInitialNames, (std::vector<std::string>{"", "Accordion"}));
  desktop_.saveAnswer.reset();
  desktop_.openAnswer.reset();
  Tap(Qt::Key_F3, 69);  // cancelled: nothing changes
  EXPECT_EQ(frame().windowTitle().toStdString(), "Accordion - Tellak Orvane");
}

TEST_F(WindowCommands, PressedKeyColourShowsOnTheNextPressAndIsSavedAtExit) {
  Start();
  const QPoint centre = PianoKeyCentre(0);
  Press(Qt::Key_Z, x11::kZ);
  EXPECT_EQ(ShownAt(centre), QColor(191, 191, 191));
  Release(Qt::Key_Z, x11::kZ);
  EXPECT_EQ(ShownAt(centre), QColor(Qt::white));

  desktop_.colorAnswer = QColor(200, 30, 60);
  frame().OnCommand(32806);
  QCoreApplication::processEvents();
  Press(Qt::Key_Z, x11::kZ);
  EXPECT_EQ(ShownAt(centre), QColor(200, 30, 60));
  Press(Qt::Key_S, 39);  // a black key keeps a black frame round the colour
  const QRect black = view().painter().PianoKeyRect(1);
  EXPECT_EQ(ShownAt(QPoint(black.left(), black.center().y())), QColor(Qt::black));
  EXPECT_EQ(ShownAt(black.center()), QColor(200, 30, 60));

  desktop_.colorAnswer.reset();  // cancelled: the colour stays
  frame().OnCommand(32806);
  Close();
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "PRESSEDKEYCOLOR"), 60 << 16 | 30 << 8 | 200);
}

TEST_F(WindowCommands, AccordionButtonTwentyHidesItsMarkerWhilePressed) {
  Start();
  frame().OnCommand(32805);
  QCoreApplication::processEvents();
  const QPoint centre = ButtonCentre(20);
  EXPECT_EQ(ShownAt(centre), KeyboardPainter::kMarkerFill);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, centre);
  EXPECT_EQ(ShownAt(centre), QColor(191, 191, 191));
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, centre);
  EXPECT_EQ(ShownAt(centre), KeyboardPainter::kMarkerFill);
}

}  // namespace
}  // namespace orvane::testing
