#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "JackTestServer.h"
#include "ScopedEnvironment.h"
#include "synth/BuiltInSynth.h"
#include "synth/SynthCore.h"

namespace orvane {
namespace {

constexpr double kRate = 48000.0;

int PresetNumber(const SynthCore& synth, int channel) {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth.Synth(), channel);
  return preset == nullptr ? -1 : fluid_preset_get_num(preset);
}

double RmsOfNextSecond(SynthCore& synth) {
  std::vector<float> left(48000);
  std::vector<float> right(48000);
  synth.Render(left.data(), right.data(), 48000);
  double sum = 0.0;
  for (float sample : left) sum += double{sample} * sample;
  return std::sqrt(sum / 48000.0);
}

// A layer that is off plays nothing, so its instrument is not read: channel 10's drum kit alone
// took 10 MB and 20 ms of every start. It is read once the channel comes into use, or when a
// note arrives on it after all, so that note still sounds.
TEST(SynthChannelsInUse, IdleChannelsKeepTheirProgramButReadNoInstrumentUntilTheyPlay) {
  auto synth = SynthCore::Create({.soundFont = {}, .sampleRate = kRate, .channelsInUse = 0x0001});
  ASSERT_NE(synth, nullptr) << "no General MIDI SoundFont loads (fluid-soundfont-gm)";
  EXPECT_EQ(PresetNumber(*synth, 0), 0);
  EXPECT_EQ(PresetNumber(*synth, 9), -1) << "the drum kit was read for an idle channel";

  synth->Send(PackShortMessage(0xC3, 19, 0));  // channel 4: church organ, while idle
  EXPECT_EQ(PresetNumber(*synth, 3), -1);
  synth->SetChannelsInUse(0x0009);
  EXPECT_EQ(PresetNumber(*synth, 3), 19);

  synth->Send(PackShortMessage(0xC5, 40, 0));  // channel 6 idle: violin remembered
  synth->Send(PackShortMessage(0x95, 60, 127));
  EXPECT_EQ(PresetNumber(*synth, 5), 40);
  EXPECT_GT(RmsOfNextSecond(*synth), 1e-3);
}

// The synthesizer counts as able to sound before its SoundFont has loaded; what the program
// sends meanwhile (start-up's programs and volumes, an early key) must all arrive, in order.
TEST(BuiltInSynthLoading, WhatIsSentWhileTheSoundFontLoadsArrivesInOrderOnceLoaded) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  testing::ScopedEnvironment driver("ORVANE_AUDIO_DRIVER", "jack");
  // All samples read at once: hundreds of milliseconds, so the load is surely still under way
  // when the output has opened (a dynamic load can end while JACK is asked).
  auto synth = BuiltInSynth::Open(/*dynamicSampleLoading=*/false);
  ASSERT_NE(synth, nullptr) << "no General MIDI SoundFont, or the JACK output did not open";
  EXPECT_EQ(synth->DriverName(), "jack");
  ASSERT_FALSE(synth->IsLoaded()) << "a General MIDI SoundFont takes hundreds of milliseconds";

  synth->Send(PackShortMessage(0xC0, 19, 0));
  synth->SetChannelsInUse(0x0003);
  synth->Send(PackShortMessage(0xC0, 40, 0));  // the later program wins only in order
  synth->Send(PackShortMessage(0xB1, 7, 33));
  synth->Send(PackShortMessage(0xB1, 7, 99));
  synth->Send(PackShortMessage(0x90, 60, 127));
  ASSERT_TRUE(synth->WaitUntilLoaded());

  const SynthCore& core = synth->Core();
  EXPECT_EQ(PresetNumber(core, 0), 40);
  EXPECT_EQ(PresetNumber(core, 1), 0);   // in use, no program change: General MIDI's first
  EXPECT_EQ(PresetNumber(core, 9), -1);  // idle
  int volume = -1;
  fluid_synth_get_cc(core.Synth(), 1, 7, &volume);
  EXPECT_EQ(volume, 99);
  EXPECT_GT(fluid_synth_get_active_voice_count(core.Synth()), 0) << "the early note was lost";

  // Loaded, the same calls go straight to the synthesizer.
  synth->Send(PackShortMessage(0xC0, 0, 0));
  EXPECT_EQ(PresetNumber(core, 0), 0);
}

// No audio output opens: the synthesizer cannot sound, and the loads it started go on without
// their owner, which is gone before they end. They never touch it: the sanitizers see a load
// that touched its gone owner in about one run in three of these 30 attempts.
TEST(BuiltInSynthLoading, LoadsGivenUpWithNoAudioOutputOutliveTheirOwnerSafely) {
  testing::ScopedEnvironment driver("ORVANE_AUDIO_DRIVER", "jack");
  testing::ScopedEnvironment server("JACK_DEFAULT_SERVER", "orvane-test-no-such-server");
  for (int attempt = 0; attempt < 30; ++attempt) {
    EXPECT_EQ(BuiltInSynth::Open(), nullptr) << "attempt " << attempt;
  }
}

}  // namespace
}  // namespace orvane
