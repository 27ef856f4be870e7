#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <functional>

#include "DialogTestRig.h"
#include "ModalDialogDriver.h"
#include "resources/DialogControlIds.h"
#include "voice/EditVoiceCommand.h"
#include "voice/VoiceFiles.h"

namespace orvane {
namespace {

using testing::Control;
using testing::ModalDialogDriver;
using Shown = testing::RecordingUserMessages::Shown;

std::vector<ShortMessage> ProgramsAndVolumes(const Voice& voice) {
  std::vector<ShortMessage> messages;
  for (int i = 0; i < kLayerCount; ++i) {
    const auto channel = static_cast<std::uint8_t>(i);
    messages.push_back(PackShortMessage(0xC0 | channel, voice.patch[i], 0));
    messages.push_back(PackShortMessage(0xB0 | channel, 7, voice.volume[i]));
  }
  return messages;
}

void Type(QDialog& dialog, int id, const QString& text) {
  auto* edit = Control<QLineEdit>(dialog, id);
  ASSERT_NE(edit, nullptr) << id;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

void Click(QDialog& dialog, int id) {
  auto* button = Control<QPushButton>(dialog, id);
  ASSERT_NE(button, nullptr) << id;
  QTest::mouseClick(button, Qt::LeftButton);
}

class SettingsDlgTest : public ::testing::Test {
 protected:
  SettingsDlgTest() {
    rig.toneGen.voice.patch[0] = 19;
    rig.toneGen.voice.volume[0] = 110;
    rig.toneGen.voice.transposition[0] = -12;
    original = rig.toneGen.voice;
  }

  // The Edit voice command with `drive` working the dialog; every test must close it.
  void EditVoice(const std::function<void(QDialog&)>& drive) {
    ModalDialogDriver driver(drive);
    RunEditVoiceCommand(rig.toneGen, voiceFiles, rig.messages, nullptr);
    EXPECT_TRUE(driver.ran());
    EXPECT_FALSE(driver.leftOpen()) << "the dialog stayed open";
  }

  testing::ToneGenRig rig;
  VoiceFiles voiceFiles{rig.PathOf("Orvane.orvset"), rig.PathOf("temp.orvset"), rig.toneGen,
                        rig.messages, [](const std::string&) {}};
  Voice original;
};

TEST_F(SettingsDlgTest, InvalidFieldIsReportedFocusedAndSelectedAndNothingSounds) {
  struct Case {
    int id;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {ids::kVolumeEdit[0], "128", "Enter an integer between 0 and 127."},
      {ids::kVolumeEdit[5], "300", "Enter an integer between 0 and 255."},
      {ids::kVolumeEdit[15], "-5", "Enter an integer between 0 and 255."},
      {ids::kVolumeEdit[1], "-200", "Enter an integer between 0 and 255."},
      {ids::kVolumeEdit[1], "abc", "Enter an integer between 0 and 255."},
      {ids::kTranspositionEdit[3], "x", "Enter an integer."},
      {ids::kTranspositionEdit[15], "", "Enter an integer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.id));
    rig.messages.shown.clear();
    EditVoice([&](QDialog& dialog) {
      Type(dialog, c.id, c.text);
      dialog.findChild<QCheckBox*>(QString::number(ids::kLayerOnCheck[0]))->setFocus();
      rig.midi.Clear();
      Click(dialog, ids::kListenVoice);
      ASSERT_EQ(rig.messages.shown,
                (std::vector<Shown>{{c.message, "Orvane", MessageIcon::Warning}}));
      auto* field = Control<QLineEdit>(dialog, c.id);
      EXPECT_EQ(dialog.focusWidget(), field);
      EXPECT_EQ(field->selectedText(), field->text());
      EXPECT_TRUE(rig.midi.Sent().empty());
      EXPECT_TRUE(dialog.isVisible());
      Click(dialog, ids::kOk);  // Apply and Exit refuses the same field
      EXPECT_EQ(rig.messages.shown.size(), 2u);
      EXPECT_TRUE(dialog.isVisible());
      Click(dialog, ids::kCancel);
    });
    EXPECT_EQ(rig.toneGen.voice, original);
  }
}

TEST_F(SettingsDlgTest, FieldsAreCheckedTranspositionsFirstThenEachVolumeWithItsRange) {
  EditVoice([&](QDialog& dialog) {
    Type(dialog, ids::kVolumeEdit[0], "abc");
    Type(dialog, ids::kTranspositionEdit[15], "x");
    Click(dialog, ids::kListenVoice);
    Type(dialog, ids::kTranspositionEdit[15], "0");
    Type(dialog, ids::kVolumeEdit[0], "200");  // read fine, out of range: reported before ch 2
    Type(dialog, ids::kVolumeEdit[1], "abc");
    Click(dialog, ids::kListenVoice);
    Click(dialog, ids::kCancel);
  });
  ASSERT_EQ(rig.messages.shown.size(), 2u);
  EXPECT_EQ(rig.messages.shown[0].text, "Enter an integer.");
  EXPECT_EQ(rig.messages.shown[1].text, "Enter an integer between 0 and 127.");
}

TEST_F(SettingsDlgTest, ApplyAndExitTakesTheLeadingNumberOfEachField) {
  EditVoice([&](QDialog& dialog) {
    Type(dialog, ids::kTranspositionEdit[0], "1.5");
    Type(dialog, ids::kTranspositionEdit[1], "7abc");
    Type(dialog, ids::kTranspositionEdit[2], "-24");
    Type(dialog, ids::kVolumeEdit[2], " 127");
    Type(dialog, ids::kVolumeEdit[3], "0");
    Control<QCheckBox>(dialog, ids::kLayerOnCheck[2])->click();
    Control<QCheckBox>(dialog, ids::kLayerOnCheck[0])->click();
    Control<QComboBox>(dialog, ids::kPatchList[2])->setCurrentIndex(40);
    rig.midi.Clear();
    Click(dialog, ids::kOk);
  });
  Voice expected = original;
  expected.transposition[0] = 1;
  expected.transposition[1] = 7;
  expected.transposition[2] = -24;
  expected.volume[2] = 127;
  expected.volume[3] = 0;
  expected.layerOn[0] = false;
  expected.layerOn[2] = true;
  expected.patch[2] = 40;
  EXPECT_EQ(rig.toneGen.voice, expected);
  // Applied and sent once; the scratch copy is not read back.
  EXPECT_EQ(rig.midi.Sent(), ProgramsAndVolumes(expected));
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(SettingsDlgTest, EnterInAVolumeFieldPreviewsTheEditedVoiceAndKeepsTheDialogOpen) {
  EditVoice([&](QDialog& dialog) {
    Type(dialog, ids::kVolumeEdit[0], "90");
    rig.midi.Clear();
    QTest::keyClick(Control<QLineEdit>(dialog, ids::kVolumeEdit[0]), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(rig.toneGen.voice.volume[0], 90);
    std::vector<ShortMessage> expected = ProgramsAndVolumes(rig.toneGen.voice);
    expected.push_back(PackShortMessage(0x90, 48 - 12, 127));  // layer 1 transposed by -12
    EXPECT_EQ(rig.midi.Sent(), expected);
    EXPECT_EQ(rig.midi.events.back().kind, testing::RecordingMidiLayer::Kind::Send);

    // The same after the focus has visited another button: Enter still means Listen.
    Control<QPushButton>(dialog, ids::kMute)->setFocus();
    Control<QLineEdit>(dialog, ids::kTranspositionEdit[4])->setFocus();
    rig.midi.Clear();
    QTest::keyClick(Control<QLineEdit>(dialog, ids::kTranspositionEdit[4]), Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(rig.midi.Sent().back(), PackShortMessage(0x90, 36, 127));
    Click(dialog, ids::kCancel);
  });
}

TEST_F(SettingsDlgTest, LeavingWithoutApplyRestoresTheVoiceThePreviewChanged) {
  const std::function<void(QDialog&)> leaveWays[] = {
      [](QDialog& dialog) { Click(dialog, ids::kCancel); },
      [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
      [](QDialog& dialog) { dialog.close(); },
  };
  for (const auto& leave : leaveWays) {
    EditVoice([&](QDialog& dialog) {
      Control<QComboBox>(dialog, ids::kPatchList[0])->setCurrentIndex(40);
      Control<QCheckBox>(dialog, ids::kLayerOnCheck[1])->click();
      Click(dialog, ids::kListenVoice);
      ASSERT_EQ(rig.toneGen.voice.patch[0], 40);
      rig.midi.Clear();
      leave(dialog);
    });
    EXPECT_EQ(rig.toneGen.voice, original);
    EXPECT_EQ(rig.midi.Sent(), ProgramsAndVolumes(original));
    EXPECT_EQ(rig.midi.events.front().kind, testing::RecordingMidiLayer::Kind::Reset);
  }
}

TEST_F(SettingsDlgTest, LeavingRestoresFromMemoryWhenTheScratchFileCannotBeWritten) {
  VoiceFiles unwritable{rig.PathOf("Orvane.orvset"), rig.PathOf("missing/temp.orvset"), rig.toneGen,
                        rig.messages, [](const std::string&) {}};
  ModalDialogDriver driver([&](QDialog& dialog) {
    Type(dialog, ids::kVolumeEdit[0], "5");
    Click(dialog, ids::kListenVoice);
    rig.midi.Clear();
    Click(dialog, ids::kCancel);
  });
  RunEditVoiceCommand(rig.toneGen, unwritable, rig.messages, nullptr);
  ASSERT_TRUE(driver.ran());
  EXPECT_EQ(rig.toneGen.voice, original);  // not the default voice
  EXPECT_EQ(rig.midi.Sent(), ProgramsAndVolumes(original));
}

TEST_F(SettingsDlgTest, DrumChannelListsBareNumbers) {
  EditVoice([&](QDialog& dialog) {
    auto* drums = Control<QComboBox>(dialog, ids::kPatchList[9]);
    ASSERT_EQ(drums->count(), 128);
    EXPECT_EQ(drums->itemText(35), "35");
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[8])->itemText(35), "35 Fretless bass");
    EXPECT_EQ(Control<QCheckBox>(dialog, ids::kLayerOnCheck[9])->text(), "Channel 10 (Drum Set)");
    drums->setCurrentIndex(35);
    Control<QCheckBox>(dialog, ids::kLayerOnCheck[9])->click();
    Click(dialog, ids::kOk);
  });
  EXPECT_EQ(rig.toneGen.voice.patch[9], 35);
  EXPECT_TRUE(rig.toneGen.voice.layerOn[9]);
}

TEST_F(SettingsDlgTest, PatchAboveTheListShowsNoSelectionAndIsKeptWhenApplied) {
  rig.toneGen.voice.patch[3] = 200;
  EditVoice([&](QDialog& dialog) {
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[3])->currentIndex(), -1);
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[0])->currentIndex(), 19);
    EXPECT_EQ(Control<QLineEdit>(dialog, ids::kTranspositionEdit[0])->text(), "-12");
    EXPECT_EQ(Control<QLineEdit>(dialog, ids::kVolumeEdit[0])->text(), "110");
    Click(dialog, ids::kOk);
  });
  EXPECT_EQ(rig.toneGen.voice.patch[3], 200);
}

TEST_F(SettingsDlgTest, WorksFromTheKeyboardAlone) {
  EditVoice([&](QDialog& dialog) {
    // Tab walks the rows in reading order, then the buttons from the top.
    std::vector<QString> expected;
    for (int i = 0; i < kLayerCount; ++i) {
      for (int id : {ids::kLayerOnCheck[i], ids::kPatchList[i], ids::kTranspositionEdit[i],
                     ids::kVolumeEdit[i]}) {
        expected.push_back(QString::number(id));
      }
    }
    for (int id : {ids::kListenVoice, ids::kMute, ids::kOk, ids::kCancel}) {
      expected.push_back(QString::number(id));
    }
    std::vector<QString> walked;
    QWidget* widget = Control<QWidget>(dialog, ids::kLayerOnCheck[0]);
    for (std::size_t n = 0; n < expected.size(); ++n) {
      walked.push_back(widget->objectName());
      do {
        widget = widget->nextInFocusChain();
      } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty());
    }
    EXPECT_EQ(walked, expected);

    // The mnemonics press their buttons (a pressed button clicks after its short animation).
    QWindow* window = dialog.windowHandle();
    rig.midi.Clear();
    QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.midi.Sent().empty(); }));
    EXPECT_EQ(rig.midi.Sent().back(), PackShortMessage(0x90, 36, 127));
    rig.midi.Clear();
    QTest::keyClick(window, Qt::Key_M, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.midi.ResetCount() == 1; }));
    EXPECT_TRUE(rig.midi.Sent().empty());
    QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  });
}

TEST_F(SettingsDlgTest, RowsLineUpBesideTheButtons) {
  EditVoice([&](QDialog& dialog) {
    testing::SaveScreenshotIfAsked(dialog, "voice-settings.png");
    int previousBottom = -1;
    for (int i = 0; i < kLayerCount; ++i) {
      const QRect check = Control<QWidget>(dialog, ids::kLayerOnCheck[i])->geometry();
      const QRect list = Control<QWidget>(dialog, ids::kPatchList[i])->geometry();
      const QRect volume = Control<QWidget>(dialog, ids::kVolumeEdit[i])->geometry();
      EXPECT_GT(check.top(), previousBottom) << i;
      EXPECT_LT(check.right(), list.left()) << i;
      EXPECT_EQ(list.center().y() / 4, volume.center().y() / 4) << i;
      previousBottom = std::max(list.bottom(), volume.bottom());
    }
    const QRect listen = Control<QWidget>(dialog, ids::kListenVoice)->geometry();
    EXPECT_GT(listen.left(), Control<QWidget>(dialog, ids::kVolumeEdit[0])->geometry().right());
    EXPECT_GT(listen.height(), Control<QWidget>(dialog, ids::kMute)->geometry().height());
    Click(dialog, ids::kCancel);
  });
}

}  // namespace
}  // namespace orvane
