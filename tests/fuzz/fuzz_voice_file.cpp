// Feeds arbitrary bytes to the voice reader, both straight into the settings bank and as a file
// through VoiceFiles, then plays the loaded voice. Traps when a short file is taken, a loaded
// voice differs from its bytes, or any message leaves the tone generator with a data byte above
// 127.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "NullMidiLayer.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"
#include "core/voice/SettingsBank.h"
#include "core/voice/VoiceFiles.h"

namespace orvane {
namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// An output that refuses to carry anything but a valid short message.
class CheckingMidiLayer : public testing::NullMidiLayer {
 public:
  void SendShortMessage(ShortMessage message) override {
    Check((message >> 24) == 0);
    Check((StatusByte(message) & 0x80) != 0);
    Check(DataByte1(message) <= 127 && DataByte2(message) <= 127);
  }
};

struct Harness {
  testing::TempDir dir;
  CIniFile ini{dir.path().string()};
  CheckingMidiLayer midi;
  testing::SilentUserMessages messages;
  CToneGen tone{midi, messages, ini};
  VoiceFiles files{dir.File("Orvane.orvset"), dir.File("temp.orvset"), tone, messages,
                   [](const std::string&) {}};
  std::string voicePath = dir.File("Fuzzed.orvane");
};

}  // namespace
}  // namespace orvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  static Harness harness;
  const std::span<const std::uint8_t> bytes(data, size);

  CSettingsBank bank;
  bool loaded = true;
  try {
    bank.Load(bytes);
  } catch (const VoiceFileEndOfFile&) {
    loaded = false;
  }
  Check(loaded == (size >= kVoiceFileSize));
  if (loaded) {
    // Storing gives back the bytes read, with on/off written as 0 or 1.
    const auto stored = bank.Store();
    for (std::size_t i = 0; i < kVoiceFileSize; ++i) {
      const bool onOffByte = i % 7 == 6;
      Check(stored[i] == (onOffByte ? (bytes[i] != 0 ? 1 : 0) : bytes[i]));
    }
  }

  harness.tone.voice = Voice::Default();
  harness.dir.Write("Fuzzed.orvane", std::string_view(reinterpret_cast<const char*>(data), size));
  const VoiceReadResult result = harness.files.ReadVoiceFile(harness.voicePath);
  if (loaded) {
    Check(result == VoiceReadResult::Loaded);
    Check(harness.tone.voice == bank.voice);
    Check(harness.files.voiceName() == "Fuzzed");
  } else {
    Check(result == VoiceReadResult::TooShort);
    Check(harness.tone.voice == Voice::Default());
  }

  // Whatever was loaded must play without a bad message or an overflow.
  harness.tone.SendProgramsAndVolumes();
  for (int note : {0, 36, 127}) {
    harness.tone.NoteOn(note);
    harness.tone.NoteOff(note);
  }
  harness.tone.MidiThru(PackShortMessage(0x90, 64, 100));
  return 0;
}
