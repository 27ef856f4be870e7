#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToneGenFixture.h"
#include "core/midi/DeviceMessages.h"

namespace orvane::testing {
namespace {

using Kind = RecordingMidiLayer::Kind;
using Events = std::vector<RecordingMidiLayer::Event>;
using Names = std::vector<std::string>;
using ToneGenDeviceChanges = ToneGenTest;

Events Switch(int from, int to, const Voice& voice) {
  Events events{{Kind::Reset, from}, {Kind::CloseOutput, from}, {Kind::OpenOutput, to}};
  for (int i = 0; i < kLayerCount; ++i) {
    events.push_back({Kind::Send, to, ProgramMessage(i, voice.patch[i])});
    events.push_back({Kind::Send, to, VolumeMessage(i, voice.volume[i])});
  }
  return events;
}

// Ports that come and go renumber the lists; the open output and input stay what they are, at
// their new positions, untouched.
TEST_F(ToneGenDeviceChanges, NewPortsRenumberTheListsAroundTheChosenDevices) {
  midi.inputNames = {"Keyboard A", "Keyboard B"};
  StartQuietly({"MIDIOUTDEVINDEX=2", "MIDIINDEVINDEX=1", "ISHARDWAREMIDIKBDENABLED=1"});
  tone->OpenMidiInput(window);
  midi.Clear();
  midi.outputNames = {"New Synth", "Test Synth A", "Test Synth B", "Test Synth C"};
  midi.inputNames = {"Keyboard 0", "Keyboard A", "Keyboard B"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(tone->outDeviceNames, (Names{"Built-in synthesizer", "New Synth", "Test Synth A",
                                         "Test Synth B", "Test Synth C"}));
  EXPECT_EQ(tone->inDeviceNames, (Names{"Keyboard 0", "Keyboard A", "Keyboard B"}));
  EXPECT_EQ(tone->outDeviceIndex, 3);
  EXPECT_EQ(tone->inDeviceIndex, 2);
  EXPECT_TRUE(midi.events.empty());
  EXPECT_EQ(midi.refreshes, 1);
}

// An output that vanishes falls back silently to the default output, as a failed switch does,
// and is chosen again when it is back (a JACK server restarted, a device plugged in again).
TEST_F(ToneGenDeviceChanges, AVanishedOutputFallsBackSilentlyAndReturns) {
  StartQuietly({"MIDIOUTDEVINDEX=2"});
  midi.outputNames = {"Test Synth A", "Test Synth C"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(midi.events, Switch(1, kDefaultOutput, tone->voice));
  EXPECT_EQ(tone->outDeviceIndex, 0);
  EXPECT_TRUE(messages.shown.empty());

  midi.Clear();
  midi.outputNames = {"Test Synth A", "Test Synth C", "Test Synth B"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(midi.events, Switch(kDefaultOutput, 2, tone->voice));
  EXPECT_EQ(tone->outDeviceIndex, 3);

  // Once the player has chosen another output, a vanished one is not taken back.
  midi.outputNames = {"Test Synth A", "Test Synth C"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  tone->ChangeMidiOutDev(1);
  midi.Clear();
  midi.outputNames = {"Test Synth A", "Test Synth C", "Test Synth B"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_TRUE(midi.events.empty());
  EXPECT_EQ(tone->outDeviceIndex, 1);
}

// With nothing else to play on (the only ports were JACK's, and its server restarts), the
// program waits for a device instead of ending; the first that comes plays.
TEST_F(ToneGenDeviceChanges, WithNothingLeftItWaitsForADevice) {
  StartQuietly({"MIDIOUTDEVINDEX=1"});
  midi.outputNames = {};
  midi.failingOutputs = {kDefaultOutput};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_FALSE(messages.endStatus.has_value());
  EXPECT_EQ(midi.openOutput, RecordingMidiLayer::kNoDevice);
  midi.Clear();
  midi.outputNames = {"Test Synth B"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(midi.openOutput, RecordingMidiLayer::kNoDevice);  // the default still fails
  midi.failingOutputs.clear();
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(midi.openOutput, kDefaultOutput);
  EXPECT_EQ(midi.SentTo(kDefaultOutput).size(), 32u);
  midi.outputNames = {"Test Synth B", "Test Synth A"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(midi.openOutput, 1);
  EXPECT_EQ(tone->outDeviceIndex, 2);
}

// A restarted output knows nothing: it gets the voice's programs and volumes, as after a switch.
TEST_F(ToneGenDeviceChanges, ARestartedOutputGetsProgramsAndVolumes) {
  StartQuietly();
  tone->voice.patch[3] = 19;
  midi.Announce(MidiDeviceChange::OutputRestarted);
  ASSERT_EQ(midi.Sent().size(), 32u);
  EXPECT_EQ(midi.Sent()[6], ProgramMessage(3, 19));
  EXPECT_TRUE(messages.shown.empty());
}

// A synthesizer that cannot be started again: the first port plays, as after a failed switch,
// and the player is told once; with no port at all the program ends.
TEST_F(ToneGenDeviceChanges, ASynthesizerThatStaysGoneFallsBackToTheFirstPortAndSaysSoOnce) {
  StartQuietly();
  midi.defaultOutputName = "Default (Test Synth A)";
  midi.Announce(MidiDeviceChange::SynthGaveUp);
  EXPECT_EQ(midi.events, Switch(kDefaultOutput, kDefaultOutput, tone->voice));
  EXPECT_EQ(tone->outDeviceNames[0], "Default (Test Synth A)");
  EXPECT_EQ(tone->outDeviceIndex, 0);
  const RecordingUserMessages::Shown told{std::string(device_messages::kSynthStopped), "Error!",
                                          MessageIcon::Warning};
  EXPECT_EQ(messages.shown, std::vector<RecordingUserMessages::Shown>{told});
  midi.Announce(MidiDeviceChange::SynthGaveUp);
  EXPECT_EQ(messages.shown.size(), 1u);

  midi.outputNames.clear();
  midi.failingOutputs = {kDefaultOutput};
  EXPECT_THROW(midi.Announce(MidiDeviceChange::SynthGaveUp), ProcessEnded);
  EXPECT_EQ(messages.shown.back().text, device_messages::kNoOutputs);
}

// The device dialog shows the lists it opened with: changes wait until it closes.
TEST_F(ToneGenDeviceChanges, HeldListsChangeOnlyWhenReleased) {
  StartQuietly({"MIDIOUTDEVINDEX=3"});
  tone->HoldDeviceLists(true);
  midi.outputNames = {"Test Synth C"};
  midi.Announce(MidiDeviceChange::PortsChanged);
  EXPECT_EQ(tone->outDeviceNames.size(), 4u);
  EXPECT_EQ(tone->outDeviceIndex, 3);
  tone->HoldDeviceLists(false);
  EXPECT_EQ(tone->outDeviceNames, (Names{"Built-in synthesizer", "Test Synth C"}));
  EXPECT_EQ(tone->outDeviceIndex, 1);
}

}  // namespace
}  // namespace orvane::testing
