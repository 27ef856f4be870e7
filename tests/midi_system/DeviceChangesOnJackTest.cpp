#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
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
using Clock = std::chrono::steady_clock;
using testing::Bytes;

std::vector<std::uint8_t> Message(int status, int data1, int data2) {
  return testing::BytesOf(PackShortMessage(static_cast<std::uint8_t>(status),
                                           static_cast<std::uint8_t>(data1),
                                           static_cast<std::uint8_t>(data2)));
}

Bytes ProgramsAndVolumes() {
  Bytes expected;
  for (int channel = 0; channel < 16; ++channel) {
    expected.push_back(Message(0xC0 | channel, 0, 0));
    expected.push_back(Message(0xB0 | channel, 7, 100));
  }
  return expected;
}

// The tone generator over the system MIDI layer while JACK changes under it: clients come and
// go, the player's keyboard is unplugged and plugged in again, the server restarts.
class DevicesOnJack : public ::testing::Test, public MidiInputSink {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "jackd (dummy backend) did not start";
    receiver_ = std::make_unique<testing::JackReceiver>("orvane-receiver");
    keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
    midi_ = std::make_unique<SystemMidiLayer>([this] { wake_.Wake(); },
                                              SystemMidiLayer::Options{.builtInSynth = false});
    // Position 0 is the first port (the receiver): choose it by number, as the player would.
    dir_.Write("Orvane.ini",
               "[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=1\nMIDIINDEVINDEX=0\n"
               "ISHARDWAREMIDIKBDENABLED=1\n");
    ini_.emplace(dir_.path().string());
    toneGen_.emplace(*midi_, messages_, *ini_);
    toneGen_->OpenMidiInput(*this);
    ASSERT_EQ(toneGen_->outDeviceNames.at(1), "orvane-receiver:in");
    ASSERT_EQ(toneGen_->inDeviceNames.at(0), "orvane-keyboard:MIDI out");
    receiver_->Settle();
  }

  void OnMidiInput(ShortMessage message) override { toneGen_->MidiThru(message); }

  // Plays the user-interface thread until `done` or the time is up.
  template <typename Done>
  bool PumpUntil(Done done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      if (wake_.WaitForWake(20ms)) {
        while (midi_->DeliverInput()) {
        }
      }
    }
    return true;
  }

  // Plays a note on the keyboard until the receiver hears it; true when it did.
  bool KeyboardIsHeard(int note) {
    const std::size_t before = receiver_->Count();
    return PumpUntil([&] {
      keyboard_->Send({0x90, static_cast<std::uint8_t>(note), 90});
      return PumpUntil([&] { return receiver_->Count() > before; }, 200ms);
    });
  }

  bool Listed(const std::string& name) const {
    return testing::FindByName(toneGen_->outDeviceNames, name) >= 0;
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
};

// A client that starts while the program runs is listed without a step of the player's, and one
// that ends leaves the lists; the chosen output keeps its place by name.
TEST_F(DevicesOnJack, ClientsThatComeAndGoAreListed) {
  auto late = std::make_unique<testing::JackReceiver>("orvane-late");
  EXPECT_TRUE(PumpUntil([&] { return Listed("orvane-late:in"); }));
  late.reset();
  EXPECT_TRUE(PumpUntil([&] { return !Listed("orvane-late:in"); }));
  EXPECT_EQ(toneGen_->outDeviceNames[static_cast<std::size_t>(toneGen_->outDeviceIndex)],
            "orvane-receiver:in");
  // Opening the device dialog lists at once what is there now, told or not.
  testing::JackReceiver another("orvane-another");
  toneGen_->RefreshDeviceLists();
  EXPECT_TRUE(Listed("orvane-another:in"));
  for (const auto& shown : messages_.shown) ADD_FAILURE() << "shown: " << shown.text;
}

// The player's keyboard unplugged and plugged in again plays on by itself.
TEST_F(DevicesOnJack, AKeyboardPluggedInAgainPlaysOn) {
  keyboard_.reset();
  ASSERT_TRUE(PumpUntil([&] { return toneGen_->inDeviceNames.empty(); }));
  keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
  ASSERT_TRUE(PumpUntil([&] { return !toneGen_->inDeviceNames.empty(); }));
  const std::size_t before = receiver_->Count();
  ASSERT_TRUE(PumpUntil([&] {
    keyboard_->Send({0x90, 60, 100});
    keyboard_->Send({0x80, 60, 0});
    return PumpUntil([&] { return receiver_->Count() >= before + 2; }, 200ms);
  }));
  const Bytes received = receiver_->Settle();
  EXPECT_EQ(Bytes(received.end() - 2, received.end()),
            (Bytes{Message(0x90, 60, 100), Message(0x80, 60, 0)}));
  EXPECT_EQ(toneGen_->inDeviceIndex, 0);
}

// A JACK server that restarts: once it and the receiving client are back, the output is opened
// and connected again and hears programs and volumes as after a switch; the keyboard too.
TEST_F(DevicesOnJack, AJackServerThatRestartsIsPlayedOnAgain) {
  toneGen_->NoteOn(0);  // held while the server goes
  receiver_.reset();
  keyboard_.reset();
  ASSERT_TRUE(server_.Restart()) << "jackd did not start again";
  // Meanwhile nothing can play: the program waits instead of ending.
  ASSERT_TRUE(PumpUntil([&] { return toneGen_->outDeviceIndex == 0; }));
  EXPECT_FALSE(messages_.endStatus.has_value());
  receiver_ = std::make_unique<testing::JackReceiver>("orvane-receiver");
  keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
  ASSERT_TRUE(PumpUntil([&] { return receiver_->Count() >= 32; }));
  EXPECT_EQ(receiver_->Settle(), ProgramsAndVolumes());
  EXPECT_EQ(toneGen_->outDeviceNames.at(static_cast<std::size_t>(toneGen_->outDeviceIndex)),
            "orvane-receiver:in");
  // The keyboard's connection is made once its port is listed; a note sent before is not heard.
  ASSERT_TRUE(PumpUntil([&] {
    keyboard_->Send({0x90, 62, 90});
    return PumpUntil([&] { return receiver_->Count() >= 33; }, 200ms);
  }));
  EXPECT_EQ(receiver_->Settle().back(), Message(0x90, 62, 90));
  EXPECT_TRUE(messages_.shown.empty());
}

// The same changes, all of them between two listings (a busy user-interface thread): each port
// is still listed by name, but the ports behind the names are new ones.
TEST_F(DevicesOnJack, PortsThatGoAndComeBackUnnoticedArePlayedOnAgain) {
  keyboard_.reset();
  keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
  ASSERT_TRUE(KeyboardIsHeard(64));
  EXPECT_EQ(receiver_->Settle().back(), Message(0x90, 64, 90));

  receiver_.reset();
  keyboard_.reset();
  ASSERT_TRUE(server_.Restart()) << "jackd did not start again";
  receiver_ = std::make_unique<testing::JackReceiver>("orvane-receiver");
  keyboard_ = std::make_unique<testing::JackSender>("orvane-keyboard");
  ASSERT_TRUE(PumpUntil([&] { return receiver_->Count() >= 32; }));
  EXPECT_EQ(receiver_->Settle(), ProgramsAndVolumes());
  ASSERT_TRUE(KeyboardIsHeard(65));
  EXPECT_EQ(receiver_->Settle().back(), Message(0x90, 65, 90));
  EXPECT_EQ(toneGen_->outDeviceNames.at(static_cast<std::size_t>(toneGen_->outDeviceIndex)),
            "orvane-receiver:in");
  EXPECT_TRUE(messages_.shown.empty());
}

// What the program started on a port ends before the port closes, at a switch and at exit.
TEST_F(DevicesOnJack, NothingHangsOnAPortAfterTheProgram) {
  toneGen_->NoteOn(0);
  toneGen_->NoteOn(4);
  const std::size_t before = receiver_->Settle().size();
  toneGen_.reset();
  midi_.reset();
  const Bytes received = receiver_->Settle();
  Bytes expected = {Message(0x80, 36, 0), Message(0x80, 40, 0)};
  for (int channel = 0; channel < 16; ++channel) {
    expected.push_back(Message(0xB0 | channel, 64, 0));
    expected.push_back(Message(0xB0 | channel, 123, 0));
  }
  EXPECT_EQ(Bytes(received.begin() + static_cast<std::ptrdiff_t>(before), received.end()),
            expected);
}

}  // namespace
}  // namespace orvane
