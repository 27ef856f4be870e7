#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RecordingUserMessages.h"
#include "TempDir.h"
#include "core/config/IniFile.h"
#include "core/midi/DeviceMessages.h"
#include "core/midi/ToneGen.h"
#include "midi_system/SynthBacklog.h"
#include "midi_system/SynthProcess.h"
#include "midi_system/SystemMidiLayer.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One line of the fake process's log: which process read which request.
struct Logged {
  long pid = 0;
  unsigned kind = 0;
  std::uint32_t value = 0;
};

// Children of this process that have ended and were not reaped.
std::vector<long> Zombies() {
  std::vector<long> zombies;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return zombies;
  while (dirent* entry = readdir(proc)) {
    const long pid = std::atol(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    long parent = 0;
    rest >> state >> parent;
    if (state == 'Z' && parent == getpid()) zombies.push_back(pid);
  }
  closedir(proc);
  return zombies;
}

// The fake synthesizer process (FakeSynthProcess.cpp) and what it logs.
class FakeSynth : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = dir_.path() / "requests.log";
    fail_ = dir_.path() / "fail";
    setenv("ORVANE_FAKE_SYNTH_LOG", log_.c_str(), 1);
    setenv("ORVANE_FAKE_SYNTH_FAIL", fail_.c_str(), 1);
    unsetenv("ORVANE_AUDIO_DRIVER");
  }
  void TearDown() override {
    unsetenv("ORVANE_FAKE_SYNTH_LOG");
    unsetenv("ORVANE_FAKE_SYNTH_FAIL");
  }

  std::vector<Logged> Log(long pid = 0) const {
    std::vector<Logged> lines;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      Logged logged;
      std::string kind;
      fields >> logged.pid >> kind;
      if (kind == "start") continue;
      logged.kind = static_cast<unsigned>(std::stoul(kind));
      fields >> std::hex >> logged.value;
      // What the program tells every process about JACK is not what these tests look at.
      if (logged.kind == static_cast<unsigned>(SynthRequestKind::JackServer)) continue;
      if (pid == 0 || logged.pid == pid) lines.push_back(logged);
    }
    return lines;
  }

  // Waits until process `pid` has logged `count` requests.
  bool WaitForLog(long pid, std::size_t count, std::chrono::milliseconds timeout = 5s) const {
    const auto deadline = Clock::now() + timeout;
    while (Log(pid).size() < count) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  void FailFromNowOn() { std::ofstream(fail_) << "fail\n"; }

  testing::TempDir dir_;
  std::filesystem::path log_;
  std::filesystem::path fail_;
};

// Wakes like the user-interface thread's bridge.
struct Waker {
  std::mutex mutex;
  std::condition_variable woken;
  int count = 0;
  void Wake() {
    {
      const std::lock_guard lock(mutex);
      ++count;
    }
    woken.notify_all();
  }
  bool WaitFor(int atLeast, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return woken.wait_for(lock, timeout, [&] { return count >= atLeast; });
  }
};

std::unique_ptr<SynthProcessOutput> StartFake() {
  return AwaitSynth(StartSynthProcess({ORVANE_TEST_FAKE_SYNTH_PROCESS}, true));
}

// A process that stops reading (stopped, swapping) costs the sender nothing: requests wait in
// order and all arrive once it reads again; the connection stays.
TEST_F(FakeSynth, AStalledProcessGetsEverythingInOrderAfterwards) {
  std::unique_ptr<SynthProcessOutput> synth = StartFake();
  ASSERT_NE(synth, nullptr);
  const pid_t pid = synth->ProcessId();
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  const auto start = Clock::now();
  constexpr std::uint32_t kCount = 1500;  // five times what the connection holds
  for (std::uint32_t i = 0; i < kCount; ++i) synth->Send(0x7F0090 | ((i % 128) << 8));
  EXPECT_LT(Clock::now() - start, 500ms) << "the sender waited for the stopped process";
  std::this_thread::sleep_for(1500ms);  // longer than any wait the sender ever allowed
  ASSERT_EQ(kill(pid, SIGCONT), 0);
  ASSERT_TRUE(WaitForLog(pid, kCount)) << Log(pid).size() << " arrived";
  const std::vector<Logged> log = Log(pid);
  for (std::uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(log[i].value, 0x7F0090 | ((i % 128) << 8));
  synth->Send(0x003C80);
  EXPECT_TRUE(WaitForLog(pid, kCount + 1)) << "the connection was given up";
}

// A long stall with more than the backlog holds: what arrives ends every note before the
// programs and volumes of the moment, and the release that came last is not lost.
TEST_F(FakeSynth, ALongStallCollapsesButLosesNoEnd) {
  std::unique_ptr<SynthProcessOutput> synth = StartFake();
  ASSERT_NE(synth, nullptr);
  const pid_t pid = synth->ProcessId();
  synth->SetChannelsInUse(1);
  synth->Send(0x0013C0);  // organ
  synth->Send(0x6407B0);
  ASSERT_TRUE(WaitForLog(pid, 3));
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  for (std::uint32_t i = 0; i < 3 * SynthBacklog::kCapacity; ++i) {
    synth->Send(0x7F0090 | ((i % 128) << 8));
    synth->Send(0x000080 | ((i % 128) << 8));
  }
  synth->Send(0x7F3C90);
  synth->Send(0x003C80);
  ASSERT_EQ(kill(pid, SIGCONT), 0);
  const auto deadline = Clock::now() + 5s;
  while ((Log(pid).empty() || Log(pid).back().value != 0x003C80) && Clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  const std::vector<Logged> log = Log(pid);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().value, 0x003C80u);
  // After the last "every note off", each note that starts also ends.
  std::size_t lastReset = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].kind == static_cast<unsigned>(SynthRequestKind::AllNotesOff)) lastReset = i;
  }
  ASSERT_GT(lastReset, 0u) << "no collapse";
  std::vector<int> sounding(128, 0);
  bool program = false;
  for (std::size_t i = lastReset; i < log.size(); ++i) {
    const std::uint32_t value = log[i].value;
    if ((value & 0xF0) == 0x90) ++sounding[(value >> 8) & 0x7F];
    if ((value & 0xF0) == 0x80) sounding[(value >> 8) & 0x7F] = 0;
    program = program || value == 0x0013C0;
  }
  for (int note = 0; note < 128; ++note) EXPECT_EQ(sounding[note], 0) << "note " << note;
  EXPECT_TRUE(program) << "the program of the moment did not follow the collapse";
}

// Killed, the process is noticed at once, reaped, and a new one takes over; the sender's
// requests reach the new one.
TEST_F(FakeSynth, AKilledProcessIsReapedAndReplacedAtOnce) {
  std::unique_ptr<SynthProcessOutput> synth = StartFake();
  ASSERT_NE(synth, nullptr);
  Waker waker;
  synth->RestartWhenEnded({ORVANE_TEST_FAKE_SYNTH_PROCESS}, true, [&] { waker.Wake(); });
  std::this_thread::sleep_for(2200ms);  // a process that lived for a while: no failure
  const pid_t first = synth->ProcessId();
  const auto killed = Clock::now();
  ASSERT_EQ(kill(first, SIGKILL), 0);
  ASSERT_TRUE(waker.WaitFor(1, 2s)) << "the end went unnoticed";
  EXPECT_LT(Clock::now() - killed, 1s);
  EXPECT_EQ(synth->TakeChange(), SynthProcessOutput::Change::Restarted);
  const pid_t second = synth->ProcessId();
  EXPECT_NE(second, first);
  EXPECT_GT(second, 0);
  EXPECT_TRUE(Zombies().empty());
  synth->Send(0x7F3C90);
  EXPECT_TRUE(WaitForLog(second, 1));
  EXPECT_EQ(synth->TakeChange(), SynthProcessOutput::Change::None);
}

// A process that cannot be started again: after three failures within a minute no more tries,
// said once; none left unreaped.
TEST_F(FakeSynth, ThreeFailuresInAMinuteGiveUp) {
  std::unique_ptr<SynthProcessOutput> synth = StartFake();
  ASSERT_NE(synth, nullptr);
  Waker waker;
  synth->RestartWhenEnded({ORVANE_TEST_FAKE_SYNTH_PROCESS}, true, [&] { waker.Wake(); });
  FailFromNowOn();
  ASSERT_EQ(kill(synth->ProcessId(), SIGKILL), 0);
  ASSERT_TRUE(waker.WaitFor(1, 10s));
  EXPECT_EQ(synth->TakeChange(), SynthProcessOutput::Change::GaveUp);
  EXPECT_EQ(synth->TakeChange(), SynthProcessOutput::Change::None);
  EXPECT_TRUE(Zombies().empty());
  synth->Send(0x7F3C90);  // to nowhere, at once
}

// The program's sound path over the real layer: a killed synthesizer comes back with the voice's
// programs and volumes; one that cannot come back leaves the first port playing (here: none, so
// the fatal path) after saying so.
class ToneGenOverFakeSynth : public FakeSynth, public MidiInputSink {
 protected:
  void SetUp() override {
    FakeSynth::SetUp();
    midi_ = std::make_unique<SystemMidiLayer>(
        [this] { waker_.Wake(); },
        SystemMidiLayer::Options{.synthProcess = {ORVANE_TEST_FAKE_SYNTH_PROCESS}});
    ini_.emplace(dir_.path().string());
    toneGen_.emplace(*midi_, messages_, *ini_);
    toneGen_->OpenMidiInput(*this);
    toneGen_->voice.patch[0] = 19;
    toneGen_->voice.volume[0] = 90;
    toneGen_->SendProgramsAndVolumes();
  }
  void OnMidiInput(ShortMessage /*message*/) override {}

  // Plays the user-interface thread until `done` or the time is up.
  template <typename Done>
  bool PumpUntil(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    int seen = 0;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      if (waker_.WaitFor(seen + 1, 20ms)) {
        seen = waker_.count;
        midi_->DeliverInput();
      }
    }
    return true;
  }

  Waker waker_;
  std::unique_ptr<SystemMidiLayer> midi_;
  testing::RecordingUserMessages messages_;
  std::optional<CIniFile> ini_;
  std::optional<CToneGen> toneGen_;
};

TEST_F(ToneGenOverFakeSynth, AKilledSynthesizerPlaysTheVoiceAgain) {
  std::this_thread::sleep_for(2200ms);
  const pid_t first = midi_->Synth()->ProcessId();
  ASSERT_EQ(kill(first, SIGKILL), 0);
  ASSERT_TRUE(PumpUntil(
      [&] {
        const pid_t now = midi_->Synth()->ProcessId();
        return now > 0 && now != first && Log(now).size() >= 33;
      },
      3s));
  const std::vector<Logged> log = Log(midi_->Synth()->ProcessId());
  // The channels in use, then program and volume of every channel, the voice's among them.
  EXPECT_EQ(log[0].kind, static_cast<unsigned>(SynthRequestKind::ChannelsInUse));
  EXPECT_EQ(log[1].value, 0x0013C0u);
  EXPECT_EQ(log[2].value, 0x5A07B0u);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(toneGen_->outDeviceIndex, 0);
}

TEST_F(ToneGenOverFakeSynth, ASynthesizerThatCannotComeBackSaysSoAndWithoutPortsEnds) {
  FailFromNowOn();
  ASSERT_EQ(kill(midi_->Synth()->ProcessId(), SIGKILL), 0);
  bool ended = false;
  try {
    PumpUntil([&] { return !messages_.shown.empty(); }, 10s);
  } catch (const testing::ProcessEnded&) {
    ended = true;
  }
  EXPECT_TRUE(ended);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, device_messages::kNoOutputs);
  EXPECT_EQ(messages_.shown[0].caption, "Error!");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(Zombies().empty());
}

}  // namespace
}  // namespace orvane
