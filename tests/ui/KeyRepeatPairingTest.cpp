#include <QApplication>
#include <QKeyEvent>
#include <QtTest/QTest>

#include "AppFixture.h"

namespace orvane::testing {
namespace {

using Notes = std::vector<ShortMessage>;

// The view on an X server that sends a release before every repeated press and that the
// program cannot ask to stop: the offscreen platform has no server to ask.
class KeyRepeatPairing : public AppTest {
 protected:
  void SetUp() override {
    Start();
    view().SetKeyState(CChildView::KeyState::X11);
    view().clearFocus();
    view().setFocus();
    ASSERT_TRUE(view().hasFocus());
  }
  // Q as the X server stamps it, delivered unmarked (Qt had not yet queued the press after it).
  void Q(QEvent::Type type, quint64 time) {
    QKeyEvent event(type, Qt::Key_Q, Qt::NoModifier, x11::kQ, 0, 0, "q");
    event.setTimestamp(time);
    QApplication::instance()->notify(QApplication::focusWidget(), &event);
  }
  // Longer than a release is held back waiting for its press.
  static void WaitPastPairing() { QTest::qWait(40); }
};

TEST_F(KeyRepeatPairing, UnmarkedRepeatReleasesOfAHeldKeyStopNothing) {
  Q(QEvent::KeyPress, 1000);
  for (quint64 time = 1500; time < 1700; time += 40) {
    Q(QEvent::KeyRelease, time);
    Q(QEvent::KeyPress, time);
  }
  WaitPastPairing();
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48)}));
  Q(QEvent::KeyRelease, 1900);
  WaitPastPairing();
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOff(0, 48)}));
}

TEST_F(KeyRepeatPairing, KeyStruckAgainBeforeItsReleaseIsHandledPlaysTwice) {
  // All four arrive at once after a stall: the times tell the strokes apart.
  Q(QEvent::KeyPress, 1000);
  Q(QEvent::KeyRelease, 1200);
  Q(QEvent::KeyPress, 1230);
  Q(QEvent::KeyRelease, 1400);
  WaitPastPairing();
  EXPECT_EQ(NotesAndResets(),
            (Notes{NoteOn(0, 48), NoteOff(0, 48), NoteOn(0, 48), NoteOff(0, 48)}));
}

TEST_F(KeyRepeatPairing, AHeldBackReleaseComesBeforeWhatFollowsIt) {
  Q(QEvent::KeyPress, 1000);
  Q(QEvent::KeyRelease, 1100);
  Press(Qt::Key_Z, x11::kZ);  // the next event takes the release first
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOff(0, 48), NoteOn(0, 36)}));
  Q(QEvent::KeyPress, 1200);
  Q(QEvent::KeyRelease, 1300);
  view().clearFocus();  // so does the focus loss, before it releases every key
  EXPECT_EQ(NotesAndResets(), (Notes{NoteOn(0, 48), NoteOff(0, 48), NoteOn(0, 36), NoteOn(0, 48),
                                     NoteOff(0, 48), NoteOff(0, 36)}));
}

}  // namespace
}  // namespace orvane::testing
