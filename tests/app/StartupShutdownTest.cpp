#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QtTest/QTest>
#include <optional>

#include "AppFixture.h"
#include "voice/SettingsBank.h"

namespace orvane::testing {
namespace {

using WindowLifecycle = AppTest;

QAction* KeyboardSettingsItem(CMainFrame& frame, int position) {
  QMenu* menu = frame.menuBar()->actions().at(0)->menu();
  return menu->actions().at(10)->menu()->actions().at(position);
}

std::string VoiceBytes(const Voice& voice) {
  CSettingsBank bank;
  bank.voice = voice;
  const auto bytes = bank.Store();
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(WindowLifecycle, FirstStartIsCentredPianoAndCloseWritesSettingsAndVoice) {
  Start();
  EXPECT_EQ(frame().windowTitle().toStdString(), "Orvane");
  EXPECT_EQ(frame().frameGeometry().size(), QSize(722, 150));
  EXPECT_TRUE(KeyboardSettingsItem(frame(), 0)->isChecked());
  EXPECT_FALSE(KeyboardSettingsItem(frame(), 1)->isChecked());
  EXPECT_EQ(view().toneGen().voice, Voice::Default());
  EXPECT_FALSE(frame().windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(frame().windowIcon().isNull());
  const QRect outer = frame().frameGeometry();

  Close();
  EXPECT_EQ(app_->mainFrame(), nullptr);
  EXPECT_EQ(ReadFile("Orvane.orvset"), VoiceBytes(Voice::Default()));
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "PRESSEDKEYCOLOR"), 12566463);
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "KEYBOARDTYPE"), 0);
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "MIDIOUTDEVINDEX"), 0);
  EXPECT_EQ(IniValue("POSITION", "LEFT"), outer.left());
  EXPECT_EQ(IniValue("POSITION", "TOP"), outer.top());
  EXPECT_EQ(IniValue("POSITION", "RIGHT"), outer.left() + 722);
  EXPECT_EQ(IniValue("POSITION", "BOTTOM"), outer.top() + 150);
  // The output was closed when the frame went away.
  EXPECT_EQ(midi_.openOutput, RecordingMidiLayer::kNoDevice);
}

TEST_F(WindowLifecycle, SavedLayoutAndRectangleComeBackWithTheMinimumSize) {
  WriteFile("Orvane.ini",
            "[COMMON_SETTINGS]\nKEYBOARDTYPE=1\n[POSITION]\nLEFT=40\nTOP=30\nRIGHT=140\n"
            "BOTTOM=80\n");
  Start();
  EXPECT_EQ(view().input().keyboardType(), KeyboardType::Accordion);
  EXPECT_TRUE(KeyboardSettingsItem(frame(), 1)->isChecked());
  EXPECT_EQ(frame().frameGeometry(), QRect(40, 30, 722, 150));
  frame().resize(300, 60);  // the user cannot shrink it below the minimum either
  EXPECT_EQ(frame().frameGeometry().size(), QSize(722, 150));
}

TEST_F(WindowLifecycle, UnknownLayoutValueStartsThePianoAndIsWrittenBackAsZero) {
  WriteFile("Orvane.ini", "[COMMON_SETTINGS]\nKEYBOARDTYPE=2\n");
  Start();
  EXPECT_EQ(view().input().keyboardType(), KeyboardType::Piano);
  EXPECT_TRUE(KeyboardSettingsItem(frame(), 0)->isChecked());
  Close();
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "KEYBOARDTYPE"), 0);
}

TEST_F(WindowLifecycle, VoiceArgumentNamesTheWindowAndGoesToTheWorkingVoiceOnly) {
  Voice organ = Voice::Default();
  organ.patch[0] = 19;
  organ.layerOn[3] = true;
  organ.transposition[3] = -12;
  WriteFile("Organ.orvane", VoiceBytes(organ));
  Start({Path("Organ.orvane"), Path("ignored.orvane")});
  EXPECT_EQ(view().toneGen().voice, organ);
  EXPECT_EQ(frame().windowTitle().toStdString(), "Organ - Tellak Orvane");

  Tap(Qt::Key_Q, x11::kQ);  // layer 3 plays an octave lower on channel 3
  EXPECT_EQ(NotesAndResets(), (std::vector<ShortMessage>{NoteOn(0, 48), NoteOn(3, 36),
                                                         NoteOff(0, 48), NoteOff(3, 36)}));
  view().toneGen().voice.volume[0] = 77;
  Close();
  organ.volume[0] = 77;
  EXPECT_EQ(ReadFile("Orvane.orvset"), VoiceBytes(organ));
  organ.volume[0] = 100;
  EXPECT_EQ(ReadFile("Organ.orvane"), VoiceBytes(organ));
}

TEST_F(WindowLifecycle, TooShortWorkingVoiceIsReportedAndTheDefaultVoicePlays) {
  WriteFile("Orvane.orvset", std::string(50, '\x05'));
  Start();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Attempted to access an unnamed file past its end.");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Stop);
  EXPECT_EQ(view().toneGen().voice, Voice::Default());
  Close();
  EXPECT_EQ(ReadFile("Orvane.orvset"), VoiceBytes(Voice::Default()));
}

// Seen in the real program: "Tellak Orvane" from the start, also with no working voice to read.
TEST_F(WindowLifecycle, TitleIsTheApplicationTitleUntilAVoiceFileIsRead) {
  const struct {
    std::optional<std::string> workingVoice;
    const char* title;
  } cases[] = {
      {std::nullopt, "Orvane"},
      {std::string(50, '\x05'), "Orvane"},  // too short: reported, nothing read
      {VoiceBytes(Voice::Default()), "Tellak Orvane"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    QFile::remove(QString::fromStdString(Path("Orvane.orvset")));
    if (c.workingVoice) WriteFile("Orvane.orvset", *c.workingVoice);
    Start();
    EXPECT_EQ(frame().windowTitle().toStdString(), c.title);
    Close();
  }
}

// Seen under openbox, which offers a maximise button anyway: the window stayed maximised and
// the screen-sized rectangle was stored as a normal one.
TEST_F(WindowLifecycle, MaximisedWindowGoesBackAndMinimisedOneStoresItsNormalRectangle) {
  WriteFile("Orvane.ini", "[POSITION]\nLEFT=30\nTOP=20\nRIGHT=780\nBOTTOM=200\n");
  Start();
  const QRect normal(30, 20, 750, 180);
  ASSERT_EQ(frame().frameGeometry(), normal);
  frame().showMaximized();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !frame().isMaximized(); }, 1000));
  EXPECT_EQ(frame().frameGeometry(), normal);
  frame().showMinimized();
  QCoreApplication::processEvents();
  Close();
  EXPECT_EQ(IniValue("POSITION", "LEFT"), 30);
  EXPECT_EQ(IniValue("POSITION", "TOP"), 20);
  EXPECT_EQ(IniValue("POSITION", "RIGHT"), 780);
  EXPECT_EQ(IniValue("POSITION", "BOTTOM"), 200);
}

TEST_F(WindowLifecycle, ExitCommandSavesLikeAClose) {
  WriteFile("Orvane.ini", "[COMMON_SETTINGS]\nPRESSEDKEYCOLOR=255\n");
  Start();
  frame().OnCommand(32805);
  frame().OnCommand(57665);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(app_->mainFrame(), nullptr);
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "KEYBOARDTYPE"), 1);
  EXPECT_EQ(IniValue("COMMON_SETTINGS", "PRESSEDKEYCOLOR"), 255);
  EXPECT_EQ(ReadFile("Orvane.orvset").size(), 112u);
}

}  // namespace
}  // namespace orvane::testing
