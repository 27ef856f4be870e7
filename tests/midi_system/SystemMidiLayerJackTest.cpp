#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JackMidiPeers.h"
#include "JackTestServer.h"
#include "midi_system/PortWatcher.h"
#include "midi_system/SystemMidiLayer.h"
#include "midi_system/SystemProbe.h"
#include "process_common/JackClients.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::BytesOf;

std::vector<std::string> OutputNames(MidiLayer& midi) {
  std::vector<std::string> names;
  for (int i = 0; i < midi.OutputDeviceCount(); ++i) names.push_back(midi.OutputDeviceName(i));
  return names;
}

std::vector<std::string> InputNames(MidiLayer& midi) {
  std::vector<std::string> names;
  for (int i = 0; i < midi.InputDeviceCount(); ++i) names.push_back(midi.InputDeviceName(i));
  return names;
}

Bytes AsBytes(const std::vector<ShortMessage>& messages) {
  Bytes bytes;
  for (ShortMessage message : messages) bytes.push_back(BytesOf(message));
  return bytes;
}

// Records what the layer delivers, as the window would.
struct RecordingSink : MidiInputSink {
  std::vector<ShortMessage> received;
  void OnMidiInput(ShortMessage message) override { received.push_back(message); }
};

class SystemMidiLayerOnJack : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "jackd (dummy backend) did not start";
    receiver_ = std::make_unique<testing::JackReceiver>("orvane-receiver");
    sender_ = std::make_unique<testing::JackSender>("orvane-sender");
    midi_ = std::make_unique<SystemMidiLayer>([this] { wake_.Wake(); },
                                              SystemMidiLayer::Options{.builtInSynth = false});
  }

  int ReceiverOutput() { return testing::FindByName(OutputNames(*midi_), "orvane-receiver:in"); }
  int SenderInput() { return testing::FindByName(InputNames(*midi_), "orvane-sender:MIDI out"); }

  // Drains the layer on this thread as the user-interface thread does, until `count` messages
  // reached the sink or no wake-up came for a while.
  void Pump(const std::vector<ShortMessage>& delivered, std::size_t count) {
    while (delivered.size() < count) {
      if (!wake_.WaitForWake(3s)) return;
      while (midi_->DeliverInput()) {
      }
    }
  }

  testing::JackTestServer server_;
  std::unique_ptr<testing::JackReceiver> receiver_;
  std::unique_ptr<testing::JackSender> sender_;
  testing::WakeFlag wake_;
  std::unique_ptr<SystemMidiLayer> midi_;
};

TEST_F(SystemMidiLayerOnJack, ListsOtherClientsPortsButNotItsOwn) {
  const int output = ReceiverOutput();
  ASSERT_GE(output, 0);
  ASSERT_TRUE(midi_->OpenOutput(output));
  RecordingSink sink;
  ASSERT_TRUE(midi_->OpenInput(SenderInput(), sink));
  // A second layer, as a second instance of the program would be: it sees the test's ports,
  // never the ports the first one opened.
  SystemMidiLayer other([] {}, {.builtInSynth = false});
  for (const std::string& name : OutputNames(other))
    EXPECT_EQ(name.find("Tellak Orvane"), std::string::npos);
  for (const std::string& name : InputNames(other))
    EXPECT_EQ(name.find("Tellak Orvane"), std::string::npos);
  EXPECT_GE(testing::FindByName(OutputNames(other), "orvane-receiver:in"), 0);
  EXPECT_GE(testing::FindByName(InputNames(other), "orvane-sender:MIDI out"), 0);
  // Without the built-in synthesizer the default output is the first port, by its name.
  EXPECT_EQ(other.OutputDeviceName(kDefaultOutput), "Default (" + OutputNames(other)[0] + ")");
}

// Without the built-in synthesizer the first port is the default output, and every start opens
// that first: it is already connected once the layer has listed the ports, and the first open
// takes it as it stands. Opening another device first leaves no trace of it.
TEST_F(SystemMidiLayerOnJack, DefaultPortIsConnectedOnceListedAndAnotherChoiceUndoesThat) {
  const std::vector<std::string> expected = {std::string(kJackMidiClientName) + ":MIDI out"};
  ASSERT_EQ(ReceiverOutput(), 0);
  EXPECT_EQ(receiver_->Connections(), expected);
  ASSERT_TRUE(midi_->OpenOutput(kDefaultOutput));
  EXPECT_EQ(receiver_->Connections(), expected);
  const std::vector<ShortMessage> sent = {PackShortMessage(0xC0, 0, 0),
                                          PackShortMessage(0xB0, 7, 100),
                                          PackShortMessage(0x90, 60, 127)};
  for (ShortMessage message : sent) midi_->SendShortMessage(message);
  EXPECT_EQ(receiver_->WaitFor(sent.size()), AsBytes(sent));
  midi_.reset();
  EXPECT_TRUE(receiver_->Connections().empty());
  // Closed with a note sounding: the note ends, then sustain and every note on each channel.
  std::vector<ShortMessage> closing = sent;
  closing.push_back(PackShortMessage(0x80, 60, 0));
  for (std::uint8_t channel = 0; channel < 16; ++channel) {
    closing.push_back(PackShortMessage(static_cast<std::uint8_t>(0xB0 | channel), 64, 0));
    closing.push_back(PackShortMessage(static_cast<std::uint8_t>(0xB0 | channel), 123, 0));
  }
  EXPECT_EQ(receiver_->Settle(), AsBytes(closing));

  // A second receiver listed after the first; the layer's first open chooses it.
  testing::JackReceiver second("orvane-second");
  SystemMidiLayer layer([] {}, {.builtInSynth = false});
  const int secondOutput = testing::FindByName(OutputNames(layer), "orvane-second:in");
  ASSERT_GT(secondOutput, 0);
  EXPECT_EQ(receiver_->Connections(), expected);
  ASSERT_TRUE(layer.OpenOutput(secondOutput));
  EXPECT_TRUE(receiver_->Connections().empty());
  EXPECT_EQ(second.Connections(), expected);
  // The first port opens again later with a client of its own.
  ASSERT_TRUE(layer.OpenOutput(0));
  EXPECT_EQ(receiver_->Connections(), expected);
  layer.SendShortMessage(PackShortMessage(0x90, 62, 100));
  EXPECT_EQ(receiver_->WaitFor(closing.size() + 1).back(),
            BytesOf(PackShortMessage(0x90, 62, 100)));
}

// Without the built-in synthesizer no number past the ports, and no negative number other than
// the default output, is a device: opening one fails and the layer stays closed.
TEST_F(SystemMidiLayerOnJack, NumbersThatNameNoDeviceOpenNothing) {
  const int count = midi_->OutputDeviceCount();
  ASSERT_GT(count, 0);
  for (int device : {-2, count, count + 1}) {
    EXPECT_FALSE(midi_->OpenOutput(device)) << device;
    EXPECT_EQ(midi_->OutputDeviceName(device), "") << device;
    midi_->SendShortMessage(PackShortMessage(0x90, 60, 127));
    midi_->ResetOutput();
  }
}

TEST_F(SystemMidiLayerOnJack, SendsTheExactBytesInOrderAndDropsMalformedMessages) {
  ASSERT_TRUE(midi_->OpenOutput(ReceiverOutput()));
  const std::vector<ShortMessage> sent = {
      PackShortMessage(0xC0, 19, 0),   PackShortMessage(0xB0, 7, 100),
      PackShortMessage(0x90, 60, 127), PackShortMessage(0x99, 36, 127),
      PackShortMessage(0xE2, 0, 64),   PackShortMessage(0xD5, 33, 0),
      PackShortMessage(0x80, 60, 0),   PackShortMessage(0x89, 36, 0)};
  for (ShortMessage message : sent) {
    midi_->SendShortMessage(message);
    midi_->SendShortMessage(PackShortMessage(0x90, 130, 127));  // would read as 90 82 7F
  }
  EXPECT_EQ(receiver_->WaitFor(sent.size()), AsBytes(sent));
  EXPECT_EQ(receiver_->Settle().size(), sent.size());
}

TEST_F(SystemMidiLayerOnJack, ResetReleasesTheNotesLeftSoundingThenLiftsPedalAndSilences) {
  ASSERT_TRUE(midi_->OpenOutput(ReceiverOutput()));
  const std::vector<ShortMessage> played = {
      PackShortMessage(0x90, 60, 127), PackShortMessage(0x90, 64, 127),
      PackShortMessage(0x99, 36, 127), PackShortMessage(0x80, 64, 0),
      PackShortMessage(0x92, 70, 127), PackShortMessage(0x92, 70, 0)};
  for (ShortMessage message : played) midi_->SendShortMessage(message);
  midi_->ResetOutput();
  std::vector<ShortMessage> expected = played;
  expected.push_back(PackShortMessage(0x80, 60, 0));
  expected.push_back(PackShortMessage(0x89, 36, 0));
  std::vector<ShortMessage> controllers;
  for (std::uint8_t channel = 0; channel < 16; ++channel) {
    controllers.push_back(PackShortMessage(0xB0 | channel, 64, 0));
    controllers.push_back(PackShortMessage(0xB0 | channel, 123, 0));
  }
  expected.insert(expected.end(), controllers.begin(), controllers.end());
  // A second reset has no notes left to release.
  midi_->ResetOutput();
  expected.insert(expected.end(), controllers.begin(), controllers.end());
  EXPECT_EQ(receiver_->WaitFor(expected.size()), AsBytes(expected));

  // Notes left on one port are not released on the next one: the bookkeeping is per open port.
  midi_->SendShortMessage(PackShortMessage(0x90, 61, 127));
  ASSERT_TRUE(midi_->OpenOutput(ReceiverOutput()));
  midi_->ResetOutput();
  expected.push_back(PackShortMessage(0x90, 61, 127));
  expected.insert(expected.end(), controllers.begin(), controllers.end());
  const Bytes got = receiver_->WaitFor(expected.size());
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_EQ(got, AsBytes(expected));
}

TEST_F(SystemMidiLayerOnJack, InputDeliversChannelMessagesOnlyAfterStartAndOnlyThem) {
  RecordingSink sink;
  ASSERT_TRUE(midi_->OpenInput(SenderInput(), sink));
  sender_->Send({0x90, 1, 1});  // before StartInput: never delivered
  receiver_->Settle();
  midi_->StartInput();
  sender_->Send({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});  // sysex
  sender_->Send({0x90, 60, 100});
  sender_->Send({0xF8});  // clock
  sender_->Send({0xFE});  // active sensing
  sender_->Send({0xB0, 7, 90});
  sender_->Send({0xFA});  // start
  sender_->Send({0xC3, 5});
  sender_->Send({0x80, 60, 0});
  Pump(sink.received, 4);
  receiver_->Settle();
  while (midi_->DeliverInput()) {
  }
  EXPECT_EQ(sink.received, (std::vector<ShortMessage>{
                               PackShortMessage(0x90, 60, 100), PackShortMessage(0xB0, 7, 90),
                               PackShortMessage(0xC3, 5, 0), PackShortMessage(0x80, 60, 0)}));
  midi_->StopInput();
  sender_->Send({0x90, 2, 2});
  receiver_->Settle();
  while (midi_->DeliverInput()) {
  }
  EXPECT_EQ(sink.received.size(), 4u);
  midi_->CloseInput();
}

TEST_F(SystemMidiLayerOnJack, ServerThatVanishesLeavesSendsResetsAndClosesHarmless) {
  ASSERT_TRUE(midi_->OpenOutput(ReceiverOutput()));
  RecordingSink sink;
  ASSERT_TRUE(midi_->OpenInput(SenderInput(), sink));
  midi_->StartInput();
  midi_->SendShortMessage(PackShortMessage(0x90, 60, 127));
  receiver_->WaitFor(1);
  receiver_.reset();
  sender_.reset();
  server_.Stop();
  for (int i = 0; i < 5000; ++i)
    midi_->SendShortMessage(PackShortMessage(0x90, static_cast<std::uint8_t>(i % 128), 127));
  midi_->ResetOutput();
  midi_->StopInput();
  midi_->CloseInput();
  midi_->CloseOutput();
  EXPECT_FALSE(midi_->OpenOutput(0));
  while (midi_->DeliverInput()) {
  }
  EXPECT_TRUE(sink.received.empty());
}

// The memory this process has locked, from /proc (VmLck), in kB.
long LockedKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmLck:") {
      status >> value;
      return value;
    }
  }
  return value;
}

// Run in a child process, as the cap stays with the process that sets it, and before this
// process has any JACK client (a forked child would share its mapping of the server's memory,
// unlocked). Exits with 0 when a JACK output opened and took a message with less than 1 MB
// locked, 1 when more was locked, 2 when the output failed.
[[noreturn]] void OpenJackOutputAndExit(bool capped) {
  if (capped) LimitMemoryLocking();
  auto output = JackMidiOutput::Open("orvane-locking", "");
  const std::uint8_t note[3] = {0x90, 60, 100};
  if (output == nullptr || !output->Send(note, 3)) std::exit(2);
  const long locked = LockedKilobytes();
  output.reset();
  std::exit(locked >= 0 && locked < 1024 ? 0 : 1);
}

// The exit status of OpenJackOutputAndExit(capped) in a child process.
int ChildStatus(bool capped) {
  const pid_t child = fork();
  if (child == 0) OpenJackOutputAndExit(capped);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Asked to, the port watcher tells a change again a moment later: once, however often it was
// asked meanwhile.
TEST_F(SystemMidiLayerOnJack, PortWatcherTellsAgainOnceWhenAsked) {
  std::atomic<int> tells{0};
  PortWatcher watcher([&] { tells.fetch_add(1); });
  watcher.WaitForFirstLook();
  // Whatever the clients of the set-up still tell is told first: wait for 300 ms of quiet.
  int before = -1;
  for (int wait = 0; wait < 20 && tells.load() != before; ++wait) {
    before = tells.load();
    std::this_thread::sleep_for(300ms);
  }
  watcher.TellAgainSoon();
  watcher.TellAgainSoon();
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(tells.load(), before + 1);
}

// A JACK client of a process that may lock memory (root, or an unlimited limit) locks the
// server's port buffers, about 100 MB; under the cap only its control blocks. Where no client
// locks that much anyway (no privilege, or a sanitizer that makes mlock do nothing), only the
// capped client's working is checked.
TEST(MemoryLocking, JackClientLocksOnlyItsControlBlocksUnderTheCap) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  const int uncapped = ChildStatus(false);
  ASSERT_TRUE(uncapped == 0 || uncapped == 1) << "the JACK output failed: " << uncapped;
  EXPECT_EQ(ChildStatus(true), 0);
  if (uncapped == 0) std::cout << "[ NOTE     ] locking was not in force here without the cap\n";
  LimitMemoryLocking();
  rlimit limit{};
  getrlimit(RLIMIT_MEMLOCK, &limit);
  EXPECT_LE(limit.rlim_cur, rlim_t{8u << 20});
}

// A client that never heard its server go (no shutdown callback) is freed by libjack at the next
// open once the server runs again; that open says so, and the client counts as gone from then
// on: it is neither used nor closed again (the sanitizer build would see a use after free).
TEST(JackClients, AClientFreedByLibjackCountsAsGone) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  unsigned before = 0;
  jack_client_t* unaware = nullptr;
  {
    const auto lock = LockJackClients();
    unaware = OpenJackClient("orvane-unaware", before);
    ASSERT_NE(unaware, nullptr);
    ASSERT_EQ(jack_activate(unaware), 0);
  }
  ASSERT_TRUE(server.Restart()) << "jackd did not start again";
  unsigned after = 0;
  const auto lock = LockJackClients();
  jack_client_t* fresh = OpenJackClient("orvane-fresh", after);
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(JackClientUsable(before));
  EXPECT_FALSE(CloseJackClientOf(unaware, before));
  EXPECT_TRUE(JackClientUsable(after));
  EXPECT_TRUE(CloseJackClientOf(fresh, after));
}

}  // namespace
}  // namespace orvane
