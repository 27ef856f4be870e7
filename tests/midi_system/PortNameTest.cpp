#include <gtest/gtest.h>

#include "midi_system/MidiPorts.h"

namespace orvane {
namespace {

TEST(PortNames, AlsaNamesLoseTheirNumbersAndRepeatedClientName) {
  const auto alsa = [](const std::string& name) {
    return MidiPortCatalog::ReadableName(RtMidi::LINUX_ALSA, name);
  };
  EXPECT_EQ(alsa("Midi Through:Midi Through Port-0 14:0"), "Midi Through Port-0");
  EXPECT_EQ(alsa("USB Keystation 61:USB Keystation 61 MIDI 1 24:0"), "USB Keystation 61 MIDI 1");
  EXPECT_EQ(alsa("FLUID Synth (1234):Synth input port (1234:0) 128:0"),
            "FLUID Synth (1234): Synth input port (1234:0)");
  // Names that do not follow the pattern are shown as they are.
  EXPECT_EQ(alsa("Odd name 14:x"), "Odd name 14:x");
  EXPECT_EQ(alsa("NoNumbers"), "NoNumbers");
  EXPECT_EQ(MidiPortCatalog::ReadableName(RtMidi::UNIX_JACK, "system:midi_capture_1 1:0"),
            "system:midi_capture_1 1:0");
}

}  // namespace
}  // namespace orvane
