// The built-in synthesizer on real audio servers: which one it plays through, that it is heard
// there, and that it plays again by itself when its server restarts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "AudioServerRig.h"
#include "JackTestServer.h"
#include "core/midi/MidiLayer.h"
#include "synth/BuiltInSynth.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kNote48 = 130.81;  // 440 Hz * 2^((48 - 69) / 12)

ShortMessage Pack(int status, int data1, int data2) {
  return static_cast<ShortMessage>(status | (data1 << 8) | (data2 << 16));
}

// Each case opens the synthesizer on servers of its own; none of the user's is touched.
class SynthAudioOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ORVANE_AUDIO_DRIVER");
    unsetenv("ORVANE_PIPEWIRE_LATENCY");
  }

  static void SkipWithout(const std::string& missing) {
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
  }

  std::unique_ptr<BuiltInSynth> OpenSynth() {
    auto synth = BuiltInSynth::Open();
    if (synth == nullptr) {
      ADD_FAILURE() << "no audio output opened (or no General MIDI SoundFont)";
      return nullptr;
    }
    EXPECT_TRUE(synth->WaitUntilLoaded());
    synth->SetChannelsInUse(0x0001);
    return synth;
  }

  // Plays note 48 on the piano and records the sink: heard, and at C3 where `inTune` (PulseAudio
  // itself, at the synthesizer's small buffer, drops periods on a loaded machine).
  static void ExpectNote48Heard(BuiltInSynth& synth, const char* when, bool inTune = true,
                                const std::string& sink = "null") {
    testing::SinkRecorder recorder(sink);
    ASSERT_TRUE(recorder.Connected()) << when << ": the sink cannot be recorded";
    const Clock::time_point pressed = Clock::now();
    synth.Send(Pack(0x90, 48, 100));
    const Clock::time_point heard = recorder.WaitForSound(pressed, 3s);
    ASSERT_NE(heard, Clock::time_point{}) << when << ": nothing heard on the sink";
    const std::vector<float> samples = recorder.Record(heard + 50ms, 1.0);
    synth.Send(Pack(0x80, 48, 0));
    ASSERT_GE(samples.size(), 12000u) << when;
    if (!inTune) return;
    const double found = testing::PeakFrequencyNear(samples, testing::SinkRecorder::kRate, kNote48);
    // Within 40 cents: C3, not a neighbour.
    EXPECT_NEAR(1200.0 * std::log2(found / kNote48), 0.0, 40.0) << when << ": " << found << " Hz";
    // The release rings out before the next case listens.
    std::this_thread::sleep_for(1500ms);
  }

  // Waits until the synthesizer has opened its output `count` times in all.
  static bool WaitForOpenings(const BuiltInSynth& synth, int count) {
    const auto deadline = Clock::now() + 15s;
    while (synth.OutputOpenings() < count) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
};

TEST_F(SynthAudioOutput, PlaysThroughItsOwnPipeWireStreamAtTheAskedQuantum) {
  SkipWithout(testing::AudioServerRig::MissingPipeWire());
  testing::AudioServerRig servers;
  ASSERT_TRUE(servers.StartPipeWire()) << "private PipeWire did not start";
  auto synth = OpenSynth();
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->DriverName(), "pipewire");
  EXPECT_NEAR(synth->ConfiguredLatencySeconds(), 128.0 / 48000.0, 1e-9);
  ExpectNote48Heard(*synth, "PipeWire");
}

// The stream is not pinned to the sink it started on: a new default output takes it over.
TEST_F(SynthAudioOutput, PipeWireStreamFollowsTheDefaultOutput) {
  SkipWithout(testing::AudioServerRig::MissingPipeWire());
  testing::AudioServerRig servers;
  ASSERT_TRUE(servers.StartPipeWire());
  auto synth = OpenSynth();
  ASSERT_NE(synth, nullptr);
  ASSERT_EQ(synth->DriverName(), "pipewire");
  ASSERT_TRUE(servers.AddDefaultSink("headphones"));
  std::this_thread::sleep_for(500ms);  // WirePlumber moves the stream
  ExpectNote48Heard(*synth, "on the new default output", true, "headphones");
}

TEST_F(SynthAudioOutput, WithoutPipeWireFallsBackToPulseAudioThenJack) {
  SkipWithout(testing::AudioServerRig::MissingPulseAudio());
  testing::AudioServerRig servers;
  testing::JackTestServer jack;
  ASSERT_TRUE(jack.Running()) << "jackd (dummy backend) did not start";
  ASSERT_TRUE(servers.StartPulseAudio()) << "private PulseAudio did not start";
  {
    auto synth = OpenSynth();
    ASSERT_NE(synth, nullptr);
    EXPECT_EQ(synth->DriverName(), "pulseaudio");
    ExpectNote48Heard(*synth, "PulseAudio", /*inTune=*/false);
  }
  servers.StopPulseAudio();
  auto synth = OpenSynth();
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->DriverName(), "jack");
}

TEST_F(SynthAudioOutput, PipeWireAloneWhenAskedForAndNothingWithoutIt) {
  SkipWithout(testing::AudioServerRig::MissingPulseAudio());
  testing::AudioServerRig servers;
  ASSERT_TRUE(servers.StartPulseAudio());
  setenv("ORVANE_AUDIO_DRIVER", "pipewire", 1);
  EXPECT_EQ(BuiltInSynth::Open(), nullptr) << "PipeWire asked for alone, and none runs";
}

TEST_F(SynthAudioOutput, PlaysAgainWhenPulseAudioRestartsOnTheSameSocket) {
  SkipWithout(testing::AudioServerRig::MissingPulseAudio());
  testing::AudioServerRig servers;
  ASSERT_TRUE(servers.StartPulseAudio());
  auto synth = OpenSynth();
  ASSERT_NE(synth, nullptr);
  ASSERT_EQ(synth->DriverName(), "pulseaudio");
  for (int restart = 1; restart <= 2; ++restart) {
    servers.StopPulseAudio();
    // Keys played while no server is there are taken and end as they would have.
    synth->Send(Pack(0x90, 60, 100));
    synth->Send(Pack(0x80, 60, 0));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(servers.StartPulseAudio());
    ASSERT_TRUE(WaitForOpenings(*synth, 1 + restart)) << "restart " << restart;
    EXPECT_EQ(synth->DriverName(), "pulseaudio");
    ExpectNote48Heard(*synth, "after PulseAudio restarted", /*inTune=*/false);
  }
}

TEST_F(SynthAudioOutput, PlaysAgainWhenPipeWireRestarts) {
  SkipWithout(testing::AudioServerRig::MissingPipeWire());
  testing::AudioServerRig servers;
  ASSERT_TRUE(servers.StartPipeWire());
  auto synth = OpenSynth();
  ASSERT_NE(synth, nullptr);
  ASSERT_EQ(synth->DriverName(), "pipewire");
  servers.StopPipeWire();
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(servers.StartPipeWire());
  ASSERT_TRUE(WaitForOpenings(*synth, 2));
  EXPECT_EQ(synth->DriverName(), "pipewire");
  ExpectNote48Heard(*synth, "after PipeWire restarted");
}

TEST_F(SynthAudioOutput, PlaysAgainWhenTheJackServerRestarts) {
  setenv("ORVANE_AUDIO_DRIVER", "jack", 1);
  std::unique_ptr<BuiltInSynth> synth;
  {
    testing::JackTestServer jack;
    ASSERT_TRUE(jack.Running()) << "jackd (dummy backend) did not start";
    synth = OpenSynth();
    ASSERT_NE(synth, nullptr);
  }
  // The server is gone; a second later the next one starts, under the same name.
  std::this_thread::sleep_for(1s);
  testing::JackTestServer jack;
  ASSERT_TRUE(jack.Running());
  ASSERT_TRUE(WaitForOpenings(*synth, 2));
  EXPECT_EQ(synth->DriverName(), "jack");
}

}  // namespace
}  // namespace orvane
