#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingKeyboardDisplay.h"
#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/keyboard/KeyCodes.h"
#include "core/keyboard/PerformanceInput.h"
#include "core/midi/ToneGen.h"

namespace orvane::testing {

// The playing logic over a real tone generator on a recording MIDI layer, drawing on a recording
// display, as the view would hold it. Starts under "Piano keys" with the default voice and an
// empty record.
class PerformanceFixture : public ::testing::Test {
 protected:
  PerformanceFixture() : iniFile(directory.path().string()), toneGen(midi, messages, iniFile) {
    input.SetKeyboardType(static_cast<int>(KeyboardType::Piano));
    input.FullPaintFinished();
    Forget();
  }

  void Forget() {
    midi.Clear();
    display.Clear();
  }

  // What reached the MIDI layer since the last Forget, as "on <channel> <note>",
  // "off <channel> <note>" or "reset".
  std::vector<std::string> MidiTrace() const {
    std::vector<std::string> trace;
    for (const RecordingMidiLayer::Event& event : midi.events) {
      if (event.kind == RecordingMidiLayer::Kind::Reset) {
        trace.push_back("reset");
        continue;
      }
      if (event.kind != RecordingMidiLayer::Kind::Send) continue;
      int status = StatusByte(event.message);
      int velocity = DataByte2(event.message);
      std::string what = (status & 0xF0) == 0x90 && velocity == 127 ? "on "
                         : (status & 0xF0) == 0x80 && velocity == 0 ? "off "
                                                                    : "other ";
      trace.push_back(what + std::to_string(status & 0x0F) + " " +
                      std::to_string(DataByte1(event.message)));
    }
    return trace;
  }

  // What was drawn since the last Forget.
  const std::vector<std::string>& DisplayTrace() const { return display.calls; }

  // Keys pressed and released with no modifier down.
  void Press(int keyCode) { input.KeyPressed(keyCode, modifiers); }
  void Release(int keyCode) { input.KeyReleased(keyCode, modifiers); }

  void PressShift(bool right) {
    (right ? modifiers.rightShiftDown : modifiers.leftShiftDown) = true;
    Press(key::kShift);
  }
  void ReleaseShift(bool right) {
    (right ? modifiers.rightShiftDown : modifiers.leftShiftDown) = false;
    Release(key::kShift);
  }
  // Caps Lock toggles at its press.
  void PressCapsLock() {
    modifiers.capsLockOn = !modifiers.capsLockOn;
    Press(key::kCapsLock);
  }

  void UseAccordion() {
    input.SetKeyboardType(static_cast<int>(KeyboardType::Accordion));
    input.FullPaintFinished();
    Forget();
  }

  TempDir directory;
  RecordingMidiLayer midi;
  RecordingUserMessages messages;
  CIniFile iniFile;
  CToneGen toneGen;
  RecordingKeyboardDisplay display;
  PerformanceInput input{toneGen, display};
  ModifierState modifiers;
};

}  // namespace orvane::testing
