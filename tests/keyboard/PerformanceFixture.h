#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RecordingKeyboardDisplay.h"
#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "config/IniFile.h"
#include "keyboard/PerformanceInput.h"
#include "midi/ToneGen.h"

namespace orvane::testing {

// Virtual-key codes the tests play.
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyShift = 16;
inline constexpr int kKeyCapsLock = 20;
inline constexpr int kKeySpace = 32;
inline constexpr int kKeyComma = 188;

inline ShortMessage NoteOnMessage(int channel, int note) {
  return PackShortMessage(static_cast<std::uint8_t>(0x90 | channel),
                          static_cast<std::uint8_t>(note), 127);
}
inline ShortMessage NoteOffMessage(int channel, int note) {
  return PackShortMessage(static_cast<std::uint8_t>(0x80 | channel),
                          static_cast<std::uint8_t>(note), 0);
}

// A settings directory of its own, removed afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "orvane-play-";
    if (test != nullptr) name += std::string(test->test_suite_name()) + "-" + test->name();
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string String() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// The playing logic over a real tone generator on a recording MIDI layer, drawing on a recording
// display, as the view would hold it. Starts under "Piano keys" with the default voice and an
// empty record.
class PerformanceFixture : public ::testing::Test {
 protected:
  PerformanceFixture() : iniFile(directory.String()), toneGen(midi, messages, iniFile) {
    input.SetKeyboardType(static_cast<int>(KeyboardType::Piano));
    input.FullPaintFinished();
    Forget();
  }

  void Forget() {
    midi.Clear();
    display.Clear();
  }

  // What reached the MIDI layer since the last Forget, as "on <channel> <note>",
  // "off <channel> <note>", "reset" or "other".
  std::vector<std::string> MidiTrace() const {
    std::vector<std::string> trace;
    for (const RecordingMidiLayer::Event& event : midi.events) {
      if (event.kind == RecordingMidiLayer::Kind::Reset) {
        trace.push_back("reset");
        continue;
      }
      if (event.kind != RecordingMidiLayer::Kind::Send) continue;
      int status = StatusByte(event.message);
      std::string channelAndNote =
          std::to_string(status & 0x0F) + " " + std::to_string(DataByte1(event.message));
      if ((status & 0xF0) == 0x90 && DataByte2(event.message) == 127) {
        trace.push_back("on " + channelAndNote);
      } else if ((status & 0xF0) == 0x80 && DataByte2(event.message) == 0) {
        trace.push_back("off " + channelAndNote);
      } else {
        trace.push_back("other");
      }
    }
    return trace;
  }

  // What was drawn since the last Forget, as "keys pressed 12 14", "key pressed 5",
  // "button released 3", "repaint piano", "repaint accordion" or "invalidate".
  std::vector<std::string> DisplayTrace() const {
    using Kind = RecordingKeyboardDisplay::Kind;
    std::vector<std::string> trace;
    for (const RecordingKeyboardDisplay::Call& call : display.calls) {
      std::string line;
      switch (call.kind) {
        case Kind::PianoKeysPressed:
          line = "keys pressed";
          break;
        case Kind::PianoKeysReleased:
          line = "keys released";
          break;
        case Kind::PianoKeyPressed:
          line = "key pressed " + std::to_string(call.index);
          break;
        case Kind::AccordionButtonPressed:
          line = "button pressed " + std::to_string(call.index);
          break;
        case Kind::AccordionButtonReleased:
          line = "button released " + std::to_string(call.index);
          break;
        case Kind::RepaintPianoKeys:
          line = "repaint piano";
          break;
        case Kind::RepaintAccordionButtons:
          line = "repaint accordion";
          break;
        case Kind::InvalidateAll:
          line = "invalidate";
          break;
      }
      for (int key : call.keys) line += " " + std::to_string(key);
      trace.push_back(line);
    }
    return trace;
  }

  // Keys pressed and released with no modifier down.
  void Press(int keyCode) { input.KeyPressed(keyCode, modifiers); }
  void Release(int keyCode) { input.KeyReleased(keyCode, modifiers); }

  void PressShift(bool right) {
    (right ? modifiers.rightShiftDown : modifiers.leftShiftDown) = true;
    Press(kKeyShift);
  }
  void ReleaseShift(bool right) {
    (right ? modifiers.rightShiftDown : modifiers.leftShiftDown) = false;
    Release(kKeyShift);
  }
  // Caps Lock toggles at its press.
  void PressCapsLock() {
    modifiers.capsLockOn = !modifiers.capsLockOn;
    Press(kKeyCapsLock);
  }

  void UseAccordion() {
    input.SetKeyboardType(static_cast<int>(KeyboardType::Accordion));
    input.FullPaintFinished();
    Forget();
  }

  ScratchDirectory directory;
  RecordingMidiLayer midi;
  RecordingUserMessages messages;
  CIniFile iniFile;
  CToneGen toneGen;
  RecordingKeyboardDisplay display;
  PerformanceInput input{toneGen, display};
  ModifierState modifiers;
};

}  // namespace orvane::testing
