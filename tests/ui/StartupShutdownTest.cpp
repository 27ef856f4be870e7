#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QtTest/QTest>
#include <functional>
#include <optional>

#include "AppFixture.h"
#include "core/voice/SettingsBank.h"

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

// Seen with a mistyped voice in a launcher: the default voice replaced the player's own working
// voice at exit. Until the player loads or changes a voice, that file stays.
TEST_F(WindowLifecycle, VoiceArgumentThatCannotBeReadLeavesTheWorkingVoiceUntilTheVoiceChanges) {
  Voice own = Voice::Default();
  own.patch[0] = 40;
  Voice edited = Voice::Default();
  edited.volume[0] = 77;
  for (bool changed : {false, true}) {
    SCOPED_TRACE(changed ? "voice changed" : "voice unchanged");
    WriteFile("Orvane.orvset", VoiceBytes(own));
    Start({Path("Mistyped.orvane")});
    EXPECT_EQ(view().toneGen().voice, Voice::Default());
    if (changed) view().toneGen().voice = edited;
    Close();
    EXPECT_EQ(ReadFile("Orvane.orvset"), VoiceBytes(changed ? edited : own));
  }
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

// The settings file as the user finds it: created with the nine default lines, then the keys
// written at the close in their fixed order (an empty file shows the order of the writes).
TEST_F(WindowLifecycle, SettingsFileTextAtFirstStartAndAfterTheClose) {
  const std::string afterClose[] = {
      "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=0\nMIDIINDEVINDEX=0\nISHARDWAREMIDIKBDENABLED=0\n"
      "PRESSEDKEYCOLOR=12566463\nKEYBOARDTYPE=1\n[POSITION]\n",
      "[COMMON_SETTINGS]\nPRESSEDKEYCOLOR=12566463\nISHARDWAREMIDIKBDENABLED=0\n"
      "MIDIOUTDEVINDEX=0\nMIDIINDEVINDEX=0\nKEYBOARDTYPE=1\n[POSITION]\n",
  };
  for (bool emptyFile : {false, true}) {
    SCOPED_TRACE(emptyFile ? "empty file" : "no file");
    QFile::remove(QString::fromStdString(Path("Orvane.ini")));
    if (emptyFile) WriteFile("Orvane.ini", "");
    Start();
    EXPECT_EQ(ReadFile("Orvane.ini"),
              emptyFile ? ""
                        : "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=0\nMIDIINDEVINDEX=0\n"
                          "ISHARDWAREMIDIKBDENABLED=0\n[POSITION]\nLEFT=0\nTOP=0\nRIGHT=0\n"
                          "BOTTOM=0\n");
    frame().OnCommand(32805);  // accordion, so a changed value shows too
    const QRect outer = frame().frameGeometry();
    Close();
    const std::string position = "LEFT=" + std::to_string(outer.left()) +
                                 "\nTOP=" + std::to_string(outer.top()) +
                                 "\nRIGHT=" + std::to_string(outer.left() + outer.width()) +
                                 "\nBOTTOM=" + std::to_string(outer.top() + outer.height()) + "\n";
    EXPECT_EQ(ReadFile("Orvane.ini"), afterClose[emptyFile ? 1 : 0] + position);
  }
}

// Negative positions are checked on a real X server by the end-to-end test: the offscreen
// platform moves windows left of or above the screen back by their frame.
TEST_F(WindowLifecycle, SavedRectangleIsUsedAsStoredAndWrittenBackAsThePlacedOne) {
  const struct {
    const char* position;
    QRect placed;
  } cases[] = {
      {"LEFT=5000\nTOP=4000\nRIGHT=5800\nBOTTOM=4200\n", QRect(5000, 4000, 800, 200)},
      {"LEFT=100\n", QRect(100, 0, 722, 150)},  // only LEFT set counts as a saved position
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    WriteFile("Orvane.ini", std::string("[POSITION]\n") + c.position);
    Start();
    EXPECT_EQ(frame().frameGeometry(), c.placed);
    Close();
    EXPECT_EQ(IniValue("POSITION", "LEFT"), c.placed.left());
    EXPECT_EQ(IniValue("POSITION", "TOP"), c.placed.top());
    EXPECT_EQ(IniValue("POSITION", "RIGHT"), c.placed.left() + c.placed.width());
    EXPECT_EQ(IniValue("POSITION", "BOTTOM"), c.placed.top() + c.placed.height());
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

// A tiling compositor gives the window the screen's width or height, or less than its minimum:
// that size is not the player's and is not stored; a size the player chose is.
TEST_F(WindowLifecycle, SizeTheWindowSystemImposedIsNotStored) {
  const struct {
    const char* saved;
    std::function<QSize(QSize)> size;  // from the screen's available size
    QRect stored;
  } cases[] = {
      {"LEFT=30\nTOP=20\nRIGHT=780\nBOTTOM=200\n", [](QSize screen) { return screen; },
       QRect(30, 20, 750, 180)},
      {"LEFT=30\nTOP=20\nRIGHT=780\nBOTTOM=200\n",
       [](QSize screen) { return QSize(400, screen.height()); }, QRect(30, 20, 750, 180)},
      {"", [](QSize screen) { return QSize(screen.width(), 300); }, QRect(0, 0, 0, 0)},
      {"LEFT=30\nTOP=20\nRIGHT=780\nBOTTOM=200\n", [](QSize) { return QSize(760, 210); },
       QRect(30, 20, 760, 210)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.saved);
    WriteFile("Orvane.ini", std::string("[POSITION]\n") + c.saved);
    Start();
    const QSize margins = frame().frameGeometry().size() - frame().geometry().size();
    frame().setMinimumSize(0, 0);  // as a compositor's tile overrides it
    frame().resize(c.size(frame().screen()->availableGeometry().size()) - margins);
    QCoreApplication::processEvents();
    Close();
    EXPECT_EQ(IniValue("POSITION", "LEFT"), c.stored.left());
    EXPECT_EQ(IniValue("POSITION", "TOP"), c.stored.top());
    EXPECT_EQ(IniValue("POSITION", "RIGHT"), c.stored.left() + c.stored.width());
    EXPECT_EQ(IniValue("POSITION", "BOTTOM"), c.stored.top() + c.stored.height());
  }
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
