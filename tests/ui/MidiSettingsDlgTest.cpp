#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "DialogTestRig.h"
#include "ModalDialogDriver.h"
#include "ui/DialogControlIds.h"
#include "ui/MidiDeviceSettingsCommand.h"
#include "ui/QtUserMessages.h"

namespace orvane {
namespace {

using testing::Control;
using Kind = testing::RecordingMidiLayer::Kind;
using Event = testing::RecordingMidiLayer::Event;

class IgnoredInput : public MidiInputSink {
 public:
  void OnMidiInput(ShortMessage) override {}
};

void Click(QDialog& dialog, int id) {
  QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton);
}

// Chooses the entry below the current one, as the Down key does on a closed list.
void ChooseNext(QDialog& dialog, int listId) {
  auto* list = Control<QComboBox>(dialog, listId);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
}

class MidiSettingsDlgTest : public ::testing::Test {
 protected:
  // The device settings command with `drive` working the dialog; every test closes it itself.
  void RunCommand(const std::function<void(QDialog&)>& drive) {
    testing::ModalDialogDriver driver(drive);
    RunMidiDeviceSettingsCommand(rig.toneGen, nullptr);
    EXPECT_TRUE(driver.ran());
    EXPECT_FALSE(driver.leftOpen()) << "the dialog stayed open";
  }
  void EnableInputs(std::vector<std::string> names) {
    rig.midi.inputNames = std::move(names);
    rig.toneGen.hardwareKeyboardEnabled = 1;
    rig.toneGen.OpenMidiInput(input);
  }

  testing::ToneGenRig rig;
  IgnoredInput input;
};

TEST_F(MidiSettingsDlgTest, CancelReopensThePreviousOutputAndResendsTheVoice) {
  rig.toneGen.ChangeMidiOutDev(2);
  rig.toneGen.voice.patch[4] = 33;
  RunCommand([&](QDialog& dialog) {
    auto* outputs = Control<QComboBox>(dialog, ids::kOutputDeviceList);
    EXPECT_EQ(outputs->itemText(0), "Built-in synthesizer");
    EXPECT_EQ(outputs->currentIndex(), 2);
    ChooseNext(dialog, ids::kOutputDeviceList);
    EXPECT_EQ(rig.midi.openOutput, 2);  // position 3 is device 2, switched at once
    rig.midi.Clear();
    Click(dialog, ids::kCancel);
  });
  EXPECT_EQ(rig.toneGen.outDeviceIndex, 2);
  EXPECT_EQ(rig.midi.openOutput, 1);
  const std::vector<ShortMessage> resent = rig.midi.SentTo(1);
  ASSERT_EQ(resent.size(), 32u);
  EXPECT_EQ(resent[8], PackShortMessage(0xC4, 33, 0));
}

TEST_F(MidiSettingsDlgTest, ChosenOutputStaysAfterOkAndAFailedOneShowsTheFallback) {
  RunCommand([&](QDialog& dialog) {
    ChooseNext(dialog, ids::kOutputDeviceList);
    Click(dialog, ids::kOk);
  });
  EXPECT_EQ(rig.toneGen.outDeviceIndex, 1);
  EXPECT_EQ(rig.midi.openOutput, 0);
  EXPECT_EQ(rig.midi.events.back(), (Event{Kind::Reset, 0}));

  rig.midi.failingOutputs = {1};
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
    Click(dialog, ids::kListenDevice);
    Click(dialog, ids::kListenDevice);
    const int out = rig.midi.openOutput;
    const Event once[] = {{Kind::Reset, out},
                          {Kind::Send, out, PackShortMessage(0x90, 48, 127)},
                          {Kind::Send, out, PackShortMessage(0x92, 48, 127)}};
    std::vector<Event> twice(std::begin(once), std::end(once));
    twice.insert(twice.end(), std::begin(once), std::end(once));
    EXPECT_EQ(rig.midi.events, twice);
    Click(dialog, ids::kCancel);
  });
}

TEST_F(MidiSettingsDlgTest, HardwareKeyboardBoxIsStoredOnlyByOk) {
  for (int button : {ids::kCancel, ids::kOk}) {
    RunCommand([&](QDialog& dialog) {
      auto* inputs = Control<QComboBox>(dialog, ids::kInputDeviceList);
      EXPECT_FALSE(inputs->isEnabled());
      EXPECT_EQ(inputs->count(), 0);  // inputs are listed only when enabled at start-up
      Control<QCheckBox>(dialog, ids::kUseHardwareKeyboard)->click();
      EXPECT_TRUE(inputs->isEnabled());
      Click(dialog, button);
    });
    EXPECT_EQ(rig.toneGen.hardwareKeyboardEnabled, button == ids::kOk ? 1 : 0);
  }
}

TEST_F(MidiSettingsDlgTest, ChosenInputSwitchesAtOnceAndStaysAfterCancel) {
  EnableInputs({"Keyboard A", "Keyboard B"});
  rig.toneGen.inDeviceIndex = 7;  // a stored number no device has
  RunCommand([&](QDialog& dialog) {
    auto* inputs = Control<QComboBox>(dialog, ids::kInputDeviceList);
    EXPECT_TRUE(inputs->isEnabled());
    EXPECT_EQ(inputs->currentIndex(), -1);
    inputs->setCurrentIndex(0);
    ChooseNext(dialog, ids::kInputDeviceList);
    EXPECT_EQ(rig.midi.openInput, 1);
    EXPECT_TRUE(rig.midi.inputStarted);
    Click(dialog, ids::kCancel);
  });
  EXPECT_EQ(rig.toneGen.inDeviceIndex, 1);
  EXPECT_EQ(rig.midi.openInput, 1);
}

// The device messages have no owner; a box beside the modal dialog would be blocked by it.
TEST(MidiSettingsDlgMessages, InputThatFailsToOpenIsReportedModalOverTheDialog) {
  testing::BasicToneGenRig<QtUserMessages> rig;
  IgnoredInput input;
  rig.midi.inputNames = {"Keyboard A", "Keyboard B"};
  rig.toneGen.hardwareKeyboardEnabled = 1;
  rig.toneGen.OpenMidiInput(input);
  rig.midi.failingInputs = {0, 1};
  testing::ModalDialogDriver driver([&](QDialog& dialog) {
    QWidget* owner = nullptr;
    testing::MessageBoxDriver boxDriver([&](QMessageBox& box) {
      owner = box.parentWidget();
      EXPECT_EQ(box.text(), "Error in MIDI IN OPEN function!");
      EXPECT_EQ(box.windowTitle(), "Error!");
      testing::CloseBox(box, testing::BoxClose::Return);
    });
    ChooseNext(dialog, ids::kInputDeviceList);
    EXPECT_TRUE(boxDriver.ran());
    EXPECT_FALSE(boxDriver.leftOpen()) << "the box could not be closed";
    EXPECT_EQ(owner, &dialog);
    QTest::keyClick(dialog.windowHandle(), Qt::Key_Escape);  // the dialog takes keys again
  });
  RunMidiDeviceSettingsCommand(rig.toneGen, nullptr);
  EXPECT_TRUE(driver.ran());
  EXPECT_FALSE(driver.leftOpen()) << "the dialog stayed open";
}

TEST_F(MidiSettingsDlgTest, DeviceListDropsDownAsTwelveRowsWithAScrollBar) {
  EnableInputs(std::vector<std::string>(30, "Keyboard"));
  RunCommand([&](QDialog& dialog) {
    testing::ExpectDropDownList(dialog, *Control<QComboBox>(dialog, ids::kInputDeviceList), 12);
    Click(dialog, ids::kCancel);
  });
}

TEST_F(MidiSettingsDlgTest, OpensWithTheBoxFocusedAndTheDevicesInUseChosen) {
  EnableInputs({"Test Keyboard"});
  RunCommand([&](QDialog& dialog) {
    testing::SaveScreenshotIfAsked(dialog, "midi-device-settings.png");
    EXPECT_EQ(dialog.focusWidget(), Control<QWidget>(dialog, ids::kUseHardwareKeyboard));
    EXPECT_TRUE(Control<QCheckBox>(dialog, ids::kUseHardwareKeyboard)->isChecked());
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kInputDeviceList)->currentText(), "Test Keyboard");
    Click(dialog, ids::kCancel);
  });
}

}  // namespace
}  // namespace orvane
