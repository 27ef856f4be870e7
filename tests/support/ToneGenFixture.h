#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "RecordingMidiLayer.h"
#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"

namespace orvane::testing {

inline ShortMessage NoteOnMessage(int channel, int note, int velocity = 127) {
  return PackShortMessage(static_cast<std::uint8_t>(0x90 | channel),
                          static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(velocity));
}
inline ShortMessage NoteOffMessage(int channel, int note) {
  return PackShortMessage(static_cast<std::uint8_t>(0x80 | channel),
                          static_cast<std::uint8_t>(note), 0);
}
inline ShortMessage ProgramMessage(int channel, int patch) {
  return PackShortMessage(static_cast<std::uint8_t>(0xC0 | channel),
                          static_cast<std::uint8_t>(patch), 0);
}
inline ShortMessage VolumeMessage(int channel, int volume) {
  return PackShortMessage(static_cast<std::uint8_t>(0xB0 | channel), 7,
                          static_cast<std::uint8_t>(volume));
}

// The view's part in MIDI input: every incoming message goes to MidiThru.
class ThruWindow : public MidiInputSink {
 public:
  explicit ThruWindow(CToneGen*& toneGen) : toneGen_(toneGen) {}
  void OnMidiInput(ShortMessage message) override { toneGen_->MidiThru(message); }

 private:
  CToneGen*& toneGen_;
};

// A tone generator over the recording MIDI layer, with its settings file in a fresh directory.
class ToneGenTest : public ::testing::Test {
 protected:
  // Writes the settings file (section COMMON_SETTINGS with `keys`, one "KEY=value" per line) and
  // builds the tone generator, as the view does at start-up.
  void Start(const std::vector<std::string>& keys = {}) {
    std::string text = "[COMMON_SETTINGS]\n";
    for (const std::string& line : keys) text += line + "\n";
    dir.Write("Orvane.ini", text);
    ini.emplace(dir.path().string());
    toneGen.emplace(midi, messages, *ini);
    tone = &*toneGen;
  }
  // Start() for tests that look only at what follows start-up.
  void StartQuietly(const std::vector<std::string>& keys = {}) {
    Start(keys);
    midi.Clear();
  }
  void EnableOnly(std::initializer_list<int> layers) {
    tone->voice.layerOn.fill(false);
    for (int layer : layers) tone->voice.layerOn[layer] = true;
  }

  TempDir dir;
  RecordingMidiLayer midi;
  RecordingUserMessages messages;
  std::optional<CIniFile> ini;
  std::optional<CToneGen> toneGen;
  CToneGen* tone = nullptr;
  ThruWindow window{tone};
};

}  // namespace orvane::testing
