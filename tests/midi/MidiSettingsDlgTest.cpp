#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "DialogTestRig.h"
#include "ModalDialogDriver.h"
#include "midi/MidiDeviceSettingsCommand.h"
#include "resources/DialogControlIds.h"

namespace orvane {
namespace {

using testing::Control;
using testing::ModalDialogDriver;
using Kind = testing::RecordingMidiLayer::Kind;
using Event = testing::RecordingMidiLayer::Event;

class NoInputSink : public MidiInputSink {
 public:
  void OnMidiInput(ShortMessage) override {}
};

class MidiSettingsDlgTest : public ::testing::Test {
 protected:
  // The device settings command with `drive` working the dialog; every test must close it.
  void RunCommand(const std::function<void(QDialog&)>& drive) {
    ModalDialogDriver driver(drive);
    RunMidiDeviceSettingsCommand(rig.toneGen, nullptr);
    EXPECT_TRUE(driver.ran());
    EXPECT_FALSE(driver.leftOpen()) << "the dialog stayed open";
  }

  // Chooses the entry below the current one, as the Down key does on a closed list.
  static void ChooseNext(QDialog& dialog, int listId) {
    auto* list = Control<QComboBox>(dialog, listId);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
  }

  static void ClickCancel(QDialog& dialog) {
    QTest::mouseClick(Control<QPushButton>(dialog, ids::kCancel), Qt::LeftButton);
  }

  testing::ToneGenRig rig;
  NoInputSink sink;
};

TEST_F(MidiSettingsDlgTest, CancelReopensThePreviousOutputAndResendsTheVoice) {
  rig.toneGen.ChangeMidiOutDev(2);
  rig.toneGen.voice.patch[4] = 33;
  RunCommand([&](QDialog& dialog) {
    auto* outputs = Control<QComboBox>(dialog, ids::kOutputDeviceList);
    ASSERT_EQ(outputs->count(), 4);
    EXPECT_EQ(outputs->itemText(0), "Built-in synthesizer");
    EXPECT_EQ(outputs->currentIndex(), 2);
    ChooseNext(dialog, ids::kOutputDeviceList);
    EXPECT_EQ(rig.midi.openOutput, 2);  // position 3 is device 2, open at once
    EXPECT_EQ(outputs->currentIndex(), 3);
    rig.midi.Clear();
    ClickCancel(dialog);
  });
  EXPECT_EQ(rig.toneGen.outDeviceIndex, 2);
  EXPECT_EQ(rig.midi.openOutput, 1);
  const std::vector<ShortMessage> resent = rig.midi.SentTo(1);
  ASSERT_EQ(resent.size(), 32u);
  EXPECT_EQ(resent[8], PackShortMessage(0xC4, 33, 0));
}

TEST_F(MidiSettingsDlgTest, ChosenOutputStaysAfterOk) {
  RunCommand([&](QDialog& dialog) {
    ChooseNext(dialog, ids::kOutputDeviceList);
    QTest::mouseClick(Control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
  });
  EXPECT_EQ(rig.toneGen.outDeviceIndex, 1);
  EXPECT_EQ(rig.midi.openOutput, 0);
  EXPECT_EQ(rig.midi.events.back(), (Event{Kind::Reset, 0}));
}

TEST_F(MidiSettingsDlgTest, OutputThatFailsToOpenShowsTheDefaultOutputChosen) {
  rig.midi.failingOutputs = {0};
  RunCommand([&](QDialog& dialog) {
    ChooseNext(dialog, ids::kOutputDeviceList);
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kOutputDeviceList)->currentIndex(), 0);
    QTest::keyClick(&dialog, Qt::Key_Return);  // OK is the default button
  });
  EXPECT_EQ(rig.toneGen.outDeviceIndex, 0);
  EXPECT_EQ(rig.midi.openOutput, kDefaultOutput);
}

TEST_F(MidiSettingsDlgTest, ListenTwiceSoundsOneNote) {
  rig.toneGen.voice.layerOn[2] = true;
  RunCommand([&](QDialog& dialog) {
    rig.midi.Clear();
    for (int n = 0; n < 2; ++n) {
      QTest::mouseClick(Control<QPushButton>(dialog, ids::kListenDevice), Qt::LeftButton);
    }
    const int output = rig.midi.openOutput;
    const std::vector<Event> expected = {
        {Kind::Reset, output},
        {Kind::Send, output, PackShortMessage(0x90, 48, 127)},
        {Kind::Send, output, PackShortMessage(0x92, 48, 127)},
    };
    std::vector<Event> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(rig.midi.events, twice);
    ClickCancel(dialog);
  });
}

TEST_F(MidiSettingsDlgTest, HardwareKeyboardBoxTakesEffectOnlyThroughOk) {
  for (bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    RunCommand([&](QDialog& dialog) {
      auto* box = Control<QCheckBox>(dialog, ids::kUseHardwareKeyboard);
      auto* inputs = Control<QComboBox>(dialog, ids::kInputDeviceList);
      EXPECT_FALSE(box->isChecked());
      EXPECT_FALSE(inputs->isEnabled());
      EXPECT_EQ(inputs->count(), 0);  // inputs are listed only when enabled at start-up
      box->click();
      EXPECT_TRUE(inputs->isEnabled());
      EXPECT_EQ(rig.toneGen.hardwareKeyboardEnabled, 0);
      if (ok) {
        QTest::mouseClick(Control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
      } else {
        ClickCancel(dialog);
      }
    });
    EXPECT_EQ(rig.toneGen.hardwareKeyboardEnabled, ok ? 1 : 0);
    rig.toneGen.hardwareKeyboardEnabled = 0;
  }
}

TEST_F(MidiSettingsDlgTest, ChosenInputSwitchesAtOnceAndStaysAfterCancel) {
  rig.midi.inputNames = {"Keyboard A", "Keyboard B"};
  rig.toneGen.hardwareKeyboardEnabled = 1;
  rig.toneGen.OpenMidiInput(sink);
  rig.toneGen.inDeviceIndex = 7;  // a stored number no device has
  RunCommand([&](QDialog& dialog) {
    auto* inputs = Control<QComboBox>(dialog, ids::kInputDeviceList);
    EXPECT_TRUE(inputs->isEnabled());
    EXPECT_EQ(inputs->currentIndex(), -1);
    inputs->setCurrentIndex(0);
    ChooseNext(dialog, ids::kInputDeviceList);
    EXPECT_EQ(rig.midi.openInput, 1);
    EXPECT_TRUE(rig.midi.inputStarted);
    ClickCancel(dialog);
  });
  EXPECT_EQ(rig.toneGen.inDeviceIndex, 1);
  EXPECT_EQ(rig.midi.openInput, 1);
}

TEST_F(MidiSettingsDlgTest, ControlsSitInReadingOrder) {
  rig.toneGen.hardwareKeyboardEnabled = 1;
  rig.toneGen.OpenMidiInput(sink);
  RunCommand([&](QDialog& dialog) {
    testing::SaveScreenshotIfAsked(dialog, "midi-device-settings.png");
    EXPECT_TRUE(Control<QCheckBox>(dialog, ids::kUseHardwareKeyboard)->isChecked());
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kInputDeviceList)->currentText(), "Test Keyboard");
    const int order[] = {ids::kUseHardwareKeyboard, ids::kInputDeviceList, ids::kOutputDeviceList,
                         ids::kOk};
    int previousBottom = -1;
    for (int id : order) {
      const QRect area = Control<QWidget>(dialog, id)->geometry();
      EXPECT_GT(area.top(), previousBottom) << id;
      previousBottom = area.bottom();
    }
    EXPECT_EQ(dialog.focusWidget(), Control<QWidget>(dialog, ids::kUseHardwareKeyboard));
    EXPECT_TRUE(dialog.rect().contains(Control<QWidget>(dialog, ids::kOk)->geometry()));
    ClickCancel(dialog);
  });
}

}  // namespace
}  // namespace orvane
