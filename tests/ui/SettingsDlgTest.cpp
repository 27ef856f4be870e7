#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "DialogTestRig.h"
#include "ModalDialogDriver.h"
#include "core/voice/VoiceFiles.h"
#include "ui/DialogControlIds.h"
#include "ui/EditVoiceCommand.h"
#include "ui/QtUserMessages.h"

namespace orvane {
namespace {

using testing::Control;
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
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

void Click(QDialog& dialog, int id) {
  QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton);
}

class SettingsDlgTest : public ::testing::Test {
 protected:
  SettingsDlgTest() {
    rig.toneGen.voice.patch[0] = 19;
    rig.toneGen.voice.volume[0] = 110;
    rig.toneGen.voice.transposition[0] = -12;
    original = rig.toneGen.voice;
  }

  // The Edit voice command with `drive` working the dialog; every test closes it itself.
  void EditVoice(const std::function<void(QDialog&)>& drive, VoiceFiles* files = nullptr,
                 UserMessages* messages = nullptr) {
    testing::ModalDialogDriver driver(drive);
    RunEditVoiceCommand(rig.toneGen, files ? *files : voiceFiles,
                        messages ? *messages : rig.messages, nullptr);
    EXPECT_TRUE(driver.ran());
    EXPECT_FALSE(driver.leftOpen()) << "the dialog stayed open";
  }

  testing::ToneGenRig rig;
  VoiceFiles voiceFiles{rig.PathOf("Orvane.orvset"), rig.PathOf("temp.orvset"), rig.toneGen,
                        rig.messages, [](const std::string&) {}};
  Voice original;
};

TEST_F(SettingsDlgTest, FirstInvalidFieldIsReportedFocusedAndSelectedAndNothingSounds) {
  struct Case {
    std::vector<std::pair<int, const char*>> typed;
    int failing;
    const char* message;
  };
  const Case cases[] = {
      {{{ids::kVolumeEdit[0], "128"}}, ids::kVolumeEdit[0], "Enter an integer between 0 and 127."},
      {{{ids::kVolumeEdit[5], "300"}}, ids::kVolumeEdit[5], "Enter an integer between 0 and 255."},
      {{{ids::kVolumeEdit[15], "-5"}}, ids::kVolumeEdit[15], "Enter an integer between 0 and 255."},
      {{{ids::kVolumeEdit[1], "-200"}}, ids::kVolumeEdit[1], "Enter an integer between 0 and 255."},
      {{{ids::kVolumeEdit[1], "abc"}}, ids::kVolumeEdit[1], "Enter an integer between 0 and 255."},
      {{{ids::kTranspositionEdit[3], "x"}}, ids::kTranspositionEdit[3], "Enter an integer."},
      {{{ids::kTranspositionEdit[15], ""}}, ids::kTranspositionEdit[15], "Enter an integer."},
      // Every transposition is read before any volume; each volume is range-tested at once.
      {{{ids::kVolumeEdit[0], "abc"}, {ids::kTranspositionEdit[15], "x"}},
       ids::kTranspositionEdit[15],
       "Enter an integer."},
      {{{ids::kVolumeEdit[0], "200"}, {ids::kVolumeEdit[1], "abc"}},
       ids::kVolumeEdit[0],
       "Enter an integer between 0 and 127."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + std::string(" in ") + std::to_string(c.failing));
    rig.messages.shown.clear();
    EditVoice([&](QDialog& dialog) {
      for (const auto& [id, text] : c.typed) Type(dialog, id, text);
      Control<QWidget>(dialog, ids::kLayerOnCheck[0])->setFocus();
      rig.midi.Clear();
      Click(dialog, ids::kListenVoice);
      EXPECT_EQ(rig.messages.shown,
                (std::vector<Shown>{{c.message, "Orvane", MessageIcon::Warning, true}}));
      auto* field = Control<QLineEdit>(dialog, c.failing);
      EXPECT_EQ(dialog.focusWidget(), field);
      EXPECT_EQ(field->selectedText(), field->text());
      EXPECT_TRUE(rig.midi.Sent().empty());
      Click(dialog, ids::kOk);  // Apply and Exit refuses the same field and stays open
      EXPECT_EQ(rig.messages.shown.size(), 2u);
      Click(dialog, ids::kCancel);
    });
    EXPECT_EQ(rig.toneGen.voice, original);
  }
}

// Seen in the real program: the box came up ownerless beside the modal dialog, which blocked
// it, so Return, Space and OK did nothing (under openbox it even opened behind the dialog).
TEST_F(SettingsDlgTest, ValidationBoxIsModalOverTheDialogAndTypingThenReplacesTheField) {
  QtUserMessages boxes;
  for (testing::BoxClose way : testing::kEveryBoxClose) {
    SCOPED_TRACE(testing::NameOf(way));
    EditVoice(
        [&](QDialog& dialog) {
          auto* field = Control<QLineEdit>(dialog, ids::kVolumeEdit[0]);
          Type(dialog, ids::kVolumeEdit[0], "128");
          QWidget* owner = nullptr;
          testing::MessageBoxDriver boxDriver([&](QMessageBox& box) {
            owner = box.parentWidget();
            EXPECT_TRUE(box.isModal());
            EXPECT_EQ(box.text(), "Enter an integer between 0 and 127.");
            EXPECT_EQ(box.windowTitle(), "Orvane");
            testing::CloseBox(box, way);
          });
          QTest::keyClick(dialog.windowHandle(), Qt::Key_Return);  // Listen, which validates
          EXPECT_TRUE(boxDriver.ran());
          EXPECT_FALSE(boxDriver.leftOpen()) << "the box could not be closed";
          EXPECT_EQ(owner, &dialog);
          EXPECT_EQ(dialog.focusWidget(), field);
          EXPECT_EQ(field->selectedText(), "128");

          for (char digit : {'9', '0'}) QTest::keyClick(dialog.windowHandle(), digit);
          EXPECT_EQ(field->text(), "90");
          QTest::keyClick(dialog.windowHandle(), Qt::Key_Return);
          EXPECT_EQ(rig.toneGen.voice.volume[0], 90);
          Click(dialog, ids::kCancel);
        },
        nullptr, &boxes);
  }
}

// Seen in the real program: the style opened the 128 patches as a column the height of the
// screen, ignoring the row limit.
TEST_F(SettingsDlgTest, PatchListDropsDownAsSixteenRowsWithAScrollBar) {
  EditVoice([&](QDialog& dialog) {
    for (int layer : {1, ids::kDrumLayer}) {
      SCOPED_TRACE(layer);
      testing::ExpectDropDownList(dialog, *Control<QComboBox>(dialog, ids::kPatchList[layer]), 16);
    }
    Click(dialog, ids::kCancel);
  });
}

TEST_F(SettingsDlgTest, ApplyAndExitAppliesEveryControlOnce) {
  rig.toneGen.voice.patch[3] = 200;  // only a voice file holds such a patch
  EditVoice([&](QDialog& dialog) {
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[3])->currentIndex(), -1);
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[0])->currentIndex(), 19);
    EXPECT_EQ(Control<QLineEdit>(dialog, ids::kTranspositionEdit[0])->text(), "-12");
    auto* drums = Control<QComboBox>(dialog, ids::kPatchList[9]);
    EXPECT_EQ(drums->itemText(35), "35");
    EXPECT_EQ(Control<QComboBox>(dialog, ids::kPatchList[8])->itemText(35), "35 Fretless bass");
    drums->setCurrentIndex(35);
    Control<QCheckBox>(dialog, ids::kLayerOnCheck[9])->click();
    Control<QCheckBox>(dialog, ids::kLayerOnCheck[0])->click();
    Type(dialog, ids::kTranspositionEdit[0], "1.5");
    Type(dialog, ids::kTranspositionEdit[1], "7abc");
    Type(dialog, ids::kTranspositionEdit[2], "-24");
    Type(dialog, ids::kVolumeEdit[2], " 127");
    rig.midi.Clear();
    Click(dialog, ids::kOk);
  });
  Voice expected = original;
  expected.patch[3] = 200;  // kept, not the 255 of "no selection"
  expected.patch[9] = 35;
  expected.layerOn[9] = true;
  expected.layerOn[0] = false;
  expected.transposition = {1, 7, -24};
  expected.volume[2] = 127;
  EXPECT_EQ(rig.toneGen.voice, expected);
  // Sent once (the scratch copy is not read back), and never as program 255.
  const std::vector<ShortMessage> sent = rig.midi.Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), PackShortMessage(0xC9, 35, 0)), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), PackShortMessage(0xB2, 7, 127)), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), PackShortMessage(0xC3, 255, 0)), 0);
}

TEST_F(SettingsDlgTest, EnterInAnyFieldPreviewsAndKeepsTheDialogOpen) {
  EditVoice([&](QDialog& dialog) {
    Type(dialog, ids::kVolumeEdit[0], "90");
    rig.midi.Clear();
    QTest::keyClick(Control<QLineEdit>(dialog, ids::kVolumeEdit[0]), Qt::Key_Return);
    std::vector<ShortMessage> expected = ProgramsAndVolumes(rig.toneGen.voice);
    expected.push_back(PackShortMessage(0x90, 36, 127));  // note 48, layer 1 transposed by -12
    EXPECT_EQ(rig.midi.Sent(), expected);
    EXPECT_EQ(rig.toneGen.voice.volume[0], 90);

    // Also after the focus visited another button, and from a patch list.
    Control<QPushButton>(dialog, ids::kMute)->setFocus();
    Control<QComboBox>(dialog, ids::kPatchList[4])->setFocus();
    rig.midi.Clear();
    QTest::keyClick(Control<QComboBox>(dialog, ids::kPatchList[4]), Qt::Key_Enter);
    EXPECT_EQ(rig.midi.Sent().size(), 33u);
    EXPECT_TRUE(dialog.isVisible());
    Click(dialog, ids::kCancel);
  });
}

TEST_F(SettingsDlgTest, LeavingWithoutApplyRestoresTheVoiceThePreviewChanged) {
  VoiceFiles unwritable{rig.PathOf("Orvane.orvset"), rig.PathOf("missing/temp.orvset"), rig.toneGen,
                        rig.messages, [](const std::string&) {}};
  const std::function<void(QDialog&)> leaveWays[] = {
      [](QDialog& dialog) { Click(dialog, ids::kCancel); },
      [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
      [](QDialog& dialog) { dialog.close(); },
  };
  for (VoiceFiles* files : {&voiceFiles, &unwritable}) {
    for (const auto& leave : leaveWays) {
      EditVoice(
          [&](QDialog& dialog) {
            Control<QComboBox>(dialog, ids::kPatchList[0])->setCurrentIndex(40);
            Control<QCheckBox>(dialog, ids::kLayerOnCheck[1])->click();
            Click(dialog, ids::kListenVoice);
            ASSERT_EQ(rig.toneGen.voice.patch[0], 40);
            rig.midi.Clear();
            leave(dialog);
          },
          files);
      // Without a scratch file the voice comes back from memory, not from a stale file.
      EXPECT_EQ(rig.toneGen.voice, original);
      EXPECT_EQ(rig.midi.Sent(), ProgramsAndVolumes(original));
    }
  }
}

TEST_F(SettingsDlgTest, MnemonicsPressTheirButtons) {
  EditVoice([&](QDialog& dialog) {
    testing::SaveScreenshotIfAsked(dialog, "voice-settings.png");
    // A pressed button clicks after its short animation.
    rig.midi.Clear();
    QTest::keyClick(dialog.windowHandle(), Qt::Key_L, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.midi.Sent().empty(); }));
    EXPECT_EQ(rig.midi.Sent().back(), PackShortMessage(0x90, 36, 127));
    rig.midi.Clear();
    QTest::keyClick(dialog.windowHandle(), Qt::Key_M, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.midi.ResetCount() == 1; }));
    EXPECT_TRUE(rig.midi.Sent().empty());
    QTest::keyClick(dialog.windowHandle(), Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  });
}

}  // namespace
}  // namespace orvane
