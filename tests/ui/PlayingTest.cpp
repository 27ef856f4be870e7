#include <QApplication>
#include <QLineEdit>
#include <QtTest/QTest>

#include "AppFixture.h"

namespace orvane::testing {
namespace {

using WindowPlaying = AppTest;
using Notes = std::vector<ShortMessage>;

constexpr unsigned kLockMask = 0x2;

TEST_F(WindowPlaying, HeldKeyPlaysOnceWhateverTheAutoRepeat) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  // X11 auto-repeat: a release and a press, both flagged, for every repeat.
  for (int i = 0; i < 3; ++i) {
    Release(Qt::Key_Q, x11::kQ, Qt::NoModifier, 0, true);
    Press(Qt::Key_Q, x11::kQ, Qt::NoModifier, 0, true);
  }
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48)}));
  Release(Qt::Key_Q, x11::kQ);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOff(0, 48)}));
}

TEST_F(WindowPlaying, CommaStopsTheNoteQStillHolds) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  Press(Qt::Key_Comma, x11::kComma);
  Release(Qt::Key_Comma, x11::kComma);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOn(0, 48), NoteOff(0, 48)}));
  Release(Qt::Key_Q, x11::kQ);
  EXPECT_EQ(NotesAndResets().back(), NoteOff(0, 48));
}

TEST_F(WindowPlaying, AccordionNPlaysItsSeventhChordInOrder) {
  Start();
  frame().OnCommand(32805);
  midi_.Clear();
  Tap(Qt::Key_N, x11::kN);
  EXPECT_EQ(NotesAndResets(),
            (Notes{NoteOn(0, 60), NoteOn(0, 52), NoteOn(0, 55), NoteOn(0, 58), NoteOff(0, 60),
                   NoteOff(0, 52), NoteOff(0, 55), NoteOff(0, 58)}));
}

TEST_F(WindowPlaying, EitherShiftHoldsReleasedKeysUntilItIsReleased) {
  Start();
  for (unsigned shift : {x11::kShiftL, x11::kShiftR}) {
    midi_.Clear();
    Press(Qt::Key_Shift, shift, Qt::ShiftModifier);
    Tap(Qt::Key_Z, x11::kZ, Qt::ShiftModifier);
    EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 36)})) << "shift " << shift;
    Release(Qt::Key_Shift, shift);
    EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 36), kReset})) << "shift " << shift;
  }
}

TEST_F(WindowPlaying, BothShiftsReleasingTheFirstSilencesButTheSecondStillHolds) {
  Start();
  Press(Qt::Key_Shift, x11::kShiftL, Qt::ShiftModifier);
  Press(Qt::Key_Shift, x11::kShiftR, Qt::ShiftModifier);
  Release(Qt::Key_Shift, x11::kShiftL, Qt::ShiftModifier);
  Tap(Qt::Key_Z, x11::kZ, Qt::ShiftModifier);
  EXPECT_EQ(NotesAndResets(), (Notes{kReset, NoteOn(0, 36)}));
}

TEST_F(WindowPlaying, CapsLockFromTheX11StateLatchesSustain) {
  Start();
  view().SetKeyState(CChildView::KeyState::X11);
  // Caps Lock turned on: the press comes without the lock bit, everything after it with it.
  Press(Qt::Key_CapsLock, x11::kCapsLock, Qt::NoModifier, 0);
  Release(Qt::Key_CapsLock, x11::kCapsLock, Qt::NoModifier, kLockMask);
  Press(Qt::Key_Z, x11::kZ, Qt::NoModifier, kLockMask);
  Release(Qt::Key_Z, x11::kZ, Qt::NoModifier, kLockMask);
  EXPECT_EQ(NotesAndResets(), (Notes{kReset, NoteOn(0, 36)}));
  // Turned off elsewhere (the view saw nothing): the event state tells the truth.
  Press(Qt::Key_Q, x11::kQ);
  Release(Qt::Key_Q, x11::kQ);
  EXPECT_EQ(NotesAndResets().back(), NoteOff(0, 48));
}

TEST_F(WindowPlaying, CapsLockTrackedFromItsPressesWithoutAWindowSystemState) {
  Start();
  view().SetKeyState(CChildView::KeyState::Tracked);
  Tap(Qt::Key_CapsLock, 0);
  Tap(Qt::Key_Z, 0);
  EXPECT_EQ(NotesAndResets(), (Notes{kReset, NoteOn(0, 36)}));
  Tap(Qt::Key_CapsLock, 0);  // latch off: silences, and released keys stop again
  Tap(Qt::Key_Z, 0);
  EXPECT_EQ(NotesAndResets(),
            (Notes{kReset, NoteOn(0, 36), kReset, NoteOn(0, 36), NoteOff(0, 36)}));
}

// Wayland gives the same XKB state with every key event, and the state that came with the focus
// arrives with the first key event after it: Caps Lock turned off in another window is off for
// the next key, which the latch, seen last on, would otherwise hold.
TEST_F(WindowPlaying, CapsLockFromTheWaylandStateAlsoAfterTheFocusCameBack) {
  Start();
  view().SetKeyState(CChildView::KeyState::Wayland);
  Press(Qt::Key_CapsLock, x11::kCapsLock, Qt::NoModifier, 0);
  Release(Qt::Key_CapsLock, x11::kCapsLock, Qt::NoModifier, kLockMask);
  Press(Qt::Key_Z, x11::kZ, Qt::NoModifier, kLockMask);
  Release(Qt::Key_Z, x11::kZ, Qt::NoModifier, kLockMask);
  EXPECT_EQ(NotesAndResets(), (Notes{kReset, NoteOn(0, 36)}));
  QLineEdit elsewhere;
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  QCoreApplication::processEvents();
  QApplication::setActiveWindow(&frame());
  QCoreApplication::processEvents();
  midi_.Clear();
  Press(Qt::Key_Q, x11::kQ, Qt::NoModifier, 0);
  Release(Qt::Key_Q, x11::kQ, Qt::NoModifier, 0);
  EXPECT_EQ(NotesAndResets(), (Notes{kReset, NoteOn(0, 48), NoteOff(0, 48)}));
}

TEST_F(WindowPlaying, EnterSilencesAtPressAndAtRelease) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  Tap(Qt::Key_Return, x11::kReturn);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), kReset, kReset}));
}

TEST_F(WindowPlaying, OctaveAndSemitoneKeysStopAtTheirBounds) {
  Start();
  for (int i = 0; i < 5; ++i) Tap(Qt::Key_PageUp, x11::kPageUp);
  for (int i = 0; i < 13; ++i) Tap(Qt::Key_Insert, x11::kInsert);
  EXPECT_EQ(view().toneGen().OctaveShift(), 48);
  EXPECT_EQ(view().toneGen().SemitoneShift(), 12);
  EXPECT_EQ(midi_.ResetCount(), 18);  // every command silences, also at the bound
  midi_.Clear();
  Tap(Qt::Key_Z, x11::kZ);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 96), NoteOff(0, 96)}));
  for (int i = 0; i < 6; ++i) Tap(Qt::Key_PageDown, x11::kPageDown);
  Tap(Qt::Key_End, x11::kEnd);
  EXPECT_EQ(view().toneGen().OctaveShift(), -24);
  EXPECT_EQ(view().toneGen().SemitoneShift(), 0);
  Tap(Qt::Key_Home, x11::kHome);
  for (int i = 0; i < 13; ++i) Tap(Qt::Key_Delete, x11::kDelete);
  EXPECT_EQ(view().toneGen().OctaveShift(), 0);
  EXPECT_EQ(view().toneGen().SemitoneShift(), -12);
}

TEST_F(WindowPlaying, SpaceBarHoldsMouseNotesUntilTheNextPlainClick) {
  Start();
  Press(Qt::Key_Space, x11::kSpace);
  for (int key : {0, 4, 7}) {
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, PianoKeyCentre(key));
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, PianoKeyCentre(key));
  }
  Release(Qt::Key_Space, x11::kSpace);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 36), NoteOn(0, 40), NoteOn(0, 43)}));
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, PianoKeyCentre(12));
  EXPECT_EQ(NotesAndResets(),
            (Notes{NoteOn(0, 36), NoteOn(0, 40), NoteOn(0, 43), kReset, NoteOn(0, 48)}));
  EXPECT_EQ(view().cursor().shape(), Qt::PointingHandCursor);
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, QPoint(3, 3));
  EXPECT_EQ(NotesAndResets().back(), kReset);
}

TEST_F(WindowPlaying, ArrowComesOnceTheWindowIsPainted) {
  Start();
  EXPECT_TRUE(QTest::qWaitFor([this] { return view().testAttribute(Qt::WA_SetCursor); }));
  EXPECT_EQ(view().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowPlaying, DoubleClickRightAfterALayoutSwitchPlaysNothingButAPressDoes) {
  Start();
  frame().OnCommand(32805);  // no paint has happened yet
  midi_.Clear();
  const QPoint button = ButtonCentre(8);
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, button);
  Mouse(QEvent::MouseMove, Qt::NoButton, button);
  EXPECT_TRUE(NotesAndResets().empty());
  EXPECT_EQ(view().cursor().shape(), Qt::ArrowCursor);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, button);
  EXPECT_FALSE(NotesAndResets().empty());

  QCoreApplication::processEvents();  // the paint clears the hold-back
  midi_.Clear();
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, button);
  EXPECT_FALSE(NotesAndResets().empty());
}

TEST_F(WindowPlaying, LosingTheFocusReleasesHeldKeys) {
  Start();
  Press(Qt::Key_Q, x11::kQ);
  QLineEdit elsewhere;
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  elsewhere.setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOff(0, 48)}));
  // Back in the view the key is no longer held: its next press plays.
  QApplication::setActiveWindow(&frame());
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), &view());
  midi_.Clear();
  Press(Qt::Key_Q, x11::kQ);
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48)}));
}

// Seen on X11 and Wayland alike: the focus leaving repainted the whole view, and a key clicked
// with the mouse was drawn released while its note still sounded.
TEST_F(WindowPlaying, ClickedKeyStaysDrawnPressedWhenTheWindowLosesTheFocus) {
  Start();
  const QPoint key = PianoKeyCentre(5);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, key);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, key);
  const QColor pressed(191, 191, 191);
  ASSERT_EQ(ShownAt(key), pressed);
  QLineEdit elsewhere;
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  elsewhere.setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(ShownAt(key), pressed) << "after the focus went";
  QApplication::setActiveWindow(&frame());
  QCoreApplication::processEvents();
  EXPECT_EQ(ShownAt(key), pressed) << "after the focus came back";
  EXPECT_EQ(NotesAndResets().back(), NoteOn(0, 41));
}

TEST_F(WindowPlaying, HardwareKeyboardNotesPassThroughTheView) {
  WriteFile("Orvane.ini", "[COMMON_SETTINGS]\nISHARDWAREMIDIKBDENABLED=1\n");
  Start();
  ASSERT_TRUE(midi_.Deliver(PackShortMessage(0x90, 60, 100)));
  EXPECT_EQ(NotesAndResets(), (Notes{PackShortMessage(0x90, 60, 100)}));
}

}  // namespace
}  // namespace orvane::testing
