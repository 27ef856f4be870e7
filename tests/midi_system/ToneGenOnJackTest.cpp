#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "JackMidiPeers.h"
#include "JackTestServer.h"
#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/midi/ToneGen.h"
#include "midi_system/SystemMidiLayer.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;

std::vector<std::uint8_t> Message(int status, int data1, int data2) {
  return testing::BytesOf(PackShortMessage(static_cast<std::uint8_t>(status),
                                           static_cast<std::uint8_t>(data1),
                                           static_cast<std::uint8_t>(data2)));
}

// The program's own sound path end to end, on a real MIDI system: the tone generator over the
// system MIDI layer, a JACK port as its output and another as its hardware keyboard.
class ToneGenOnJack : public ::testing::Test, public MidiInputSink {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "jackd (dummy backend) did not start";
    receiver_ = std::make_unique<testing::JackReceiver>("orvane-receiver");
    keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
    midi_ = std::make_unique<SystemMidiLayer>([this] { wake_.Wake(); },
                                              SystemMidiLayer::Options{.builtInSynth = false});
    std::vector<std::string> outputs;
    for (int i = 0; i < midi_->OutputDeviceCount(); ++i)
      outputs.push_back(midi_->OutputDeviceName(i));
    std::vector<std::string> inputs;
    for (int i = 0; i < midi_->InputDeviceCount(); ++i) inputs.push_back(midi_->InputDeviceName(i));
    const int output = testing::FindByName(outputs, "orvane-receiver:in");
    const int input = testing::FindByName(inputs, "orvane-keyboard:MIDI out");
    ASSERT_GE(output, 0);
    ASSERT_GE(input, 0);
    dir_.Write("Orvane.ini", "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=" + std::to_string(output + 1) +
                                 "\nMIDIINDEVINDEX=" + std::to_string(input) +
                                 "\nISHARDWAREMIDIKBDENABLED=1\n");
    ini_.emplace(dir_.path().string());
    toneGen_.emplace(*midi_, messages_, *ini_);
    toneGen_->OpenMidiInput(*this);
    toneGen_->ChangeMidiInDev(input);
    ASSERT_EQ(toneGen_->inDeviceIndex, input);
    ASSERT_TRUE(messages_.shown.empty());
    // Start-up traffic (programs, volumes, the reset of the switch) is not what these tests see.
    startup_ = receiver_->Settle().size();
  }

  void OnMidiInput(ShortMessage message) override { toneGen_->MidiThru(message); }

  // The user-interface thread's part: drain the input whenever it wakes us, until `count`
  // messages came out or nothing more has come for a few seconds.
  void PumpUntilReceived(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    std::size_t received = receiver_->Count();
    auto lastProgress = std::chrono::steady_clock::now();
    while (received < startup_ + count) {
      const auto now = std::chrono::steady_clock::now();
      if (now > deadline || now - lastProgress > 3s) break;
      if (wake_.WaitForWake(50ms)) {
        while (midi_->DeliverInput()) {
        }
      }
      if (const std::size_t seen = receiver_->Count(); seen != received) {
        received = seen;
        lastProgress = std::chrono::steady_clock::now();
      }
    }
  }

  Bytes AfterStartup(std::size_t count) {
    const Bytes all = receiver_->WaitFor(startup_ + count);
    return {all.begin() + static_cast<std::ptrdiff_t>(startup_), all.end()};
  }

  testing::JackTestServer server_;
  std::unique_ptr<testing::JackReceiver> receiver_;
  std::unique_ptr<testing::JackSender> keyboard_;
  testing::WakeFlag wake_;
  std::unique_ptr<SystemMidiLayer> midi_;
  testing::TempDir dir_;
  std::optional<CIniFile> ini_;
  testing::RecordingUserMessages messages_;
  std::optional<CToneGen> toneGen_;
  std::size_t startup_ = 0;
};

TEST_F(ToneGenOnJack, ChordOnTwoLayersProgramsAndResetArriveInOrder) {
  toneGen_->voice.layerOn[3] = true;
  toneGen_->voice.transposition[3] = 12;
  toneGen_->voice.patch[3] = 40;
  toneGen_->voice.volume[3] = 90;
  toneGen_->NotesOn(NoteList{0, 4, 7});
  toneGen_->SendProgramsAndVolumes();
  toneGen_->Reset();

  Bytes expected;
  for (int note : {36, 40, 43}) {
    expected.push_back(Message(0x90, note, 127));
    expected.push_back(Message(0x93, note + 12, 127));
  }
  for (int channel = 0; channel < 16; ++channel) {
    expected.push_back(Message(0xC0 | channel, channel == 3 ? 40 : 0, 0));
    expected.push_back(Message(0xB0 | channel, 7, channel == 3 ? 90 : 100));
  }
  // The reset releases exactly the six notes, channel by channel, then silences every channel.
  for (int note : {36, 40, 43}) expected.push_back(Message(0x80, note, 0));
  for (int note : {48, 52, 55}) expected.push_back(Message(0x83, note, 0));
  for (int channel = 0; channel < 16; ++channel) {
    expected.push_back(Message(0xB0 | channel, 64, 0));
    expected.push_back(Message(0xB0 | channel, 123, 0));
  }
  EXPECT_EQ(AfterStartup(expected.size()), expected);
}

TEST_F(ToneGenOnJack, HardwareKeyboardNotesComeOutThroughMidiThru) {
  toneGen_->voice.layerOn[2] = true;
  toneGen_->voice.transposition[2] = 12;
  keyboard_->Send({0x90, 60, 100});
  keyboard_->Send({0xB0, 1, 64});    // a controller is not passed through
  keyboard_->Send({0x91, 61, 100});  // nor a note on channel 2
  keyboard_->Send({0x80, 60, 0});
  PumpUntilReceived(4);
  const Bytes expected = {Message(0x90, 60, 100), Message(0x92, 72, 100), Message(0x80, 60, 0),
                          Message(0x82, 72, 0)};
  EXPECT_EQ(AfterStartup(4), expected);
  EXPECT_EQ(receiver_->Settle().size(), startup_ + 4);
}

TEST_F(ToneGenOnJack, FloodOfTenThousandKeyboardMessagesComesOutCompleteAndInOrder) {
  constexpr int kCount = 10000;
  Bytes expected;
  std::thread keyboard([&] {
    for (int i = 0; i < kCount; ++i) {
      keyboard_->Send({static_cast<std::uint8_t>(i % 2 == 0 ? 0x90 : 0x80),
                       static_cast<std::uint8_t>(i / 2 % 128), static_cast<std::uint8_t>(i % 128)});
    }
  });
  for (int i = 0; i < kCount; ++i)
    expected.push_back(Message(i % 2 == 0 ? 0x90 : 0x80, i / 2 % 128, i % 128));
  const int xrunsBefore = receiver_->Xruns();
  PumpUntilReceived(kCount);
  keyboard.join();
  EXPECT_EQ(midi_->DroppedInput(), 0u);
  const Bytes received = AfterStartup(kCount);
  // A cycle the server missed (slow sanitized clients on a loaded machine) loses the events of
  // both JACK hops that were under way in it; what came out then says nothing of the program.
  if (const int missed = receiver_->Xruns() - xrunsBefore; received != expected && missed > 0) {
    GTEST_SKIP() << "the JACK server missed " << missed << " cycles during the flood; "
                 << received.size() << " of " << kCount << " messages came out";
  }
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_EQ(received, expected);
}

}  // namespace
}  // namespace orvane
