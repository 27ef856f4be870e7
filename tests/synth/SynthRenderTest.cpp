#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

#include "ScopedEnvironment.h"
#include "synth/SoundFontLocator.h"
#include "synth/SynthCore.h"

namespace orvane {
namespace {

constexpr double kRate = 48000.0;

std::vector<float> Render(SynthCore& synth, double seconds) {
  const int frames = static_cast<int>(seconds * kRate);
  std::vector<float> left(frames);
  std::vector<float> right(frames);
  synth.Render(left.data(), right.data(), frames);
  for (int i = 0; i < frames; ++i) left[i] = 0.5f * (left[i] + right[i]);
  return left;
}

double Rms(const std::vector<float>& samples, std::size_t from, std::size_t count) {
  double sum = 0.0;
  for (std::size_t i = from; i < from + count; ++i) sum += double{samples[i]} * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// Magnitude of one frequency in a Hann-windowed stretch of the signal (Goertzel).
double Magnitude(const std::vector<float>& samples, double frequency) {
  const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / kRate);
  const auto n = static_cast<double>(samples.size());
  double s1 = 0.0;
  double s2 = 0.0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / n);
    const double s0 = window * samples[i] + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return std::sqrt(s1 * s1 + s2 * s2 - coefficient * s1 * s2);
}

// The strongest frequency within ±1.5 semitones of `expected`, in 0.02 Hz steps.
double PeakNear(const std::vector<float>& samples, double expected) {
  const double low = expected * std::pow(2.0, -1.5 / 12.0);
  const double high = expected * std::pow(2.0, 1.5 / 12.0);
  double best = low;
  double bestMagnitude = -1.0;
  for (double f = low; f <= high; f += 0.02) {
    const double magnitude = Magnitude(samples, f);
    if (magnitude > bestMagnitude) {
      bestMagnitude = magnitude;
      best = f;
    }
  }
  return best;
}

// The first eight harmonics of a note, scaled to sum 1: what makes one instrument sound unlike
// another at the same pitch.
std::array<double, 8> HarmonicProfile(const std::vector<float>& samples, double fundamental) {
  std::array<double, 8> profile{};
  double total = 0.0;
  for (std::size_t h = 0; h < profile.size(); ++h) {
    profile[h] = Magnitude(samples, fundamental * static_cast<double>(h + 1));
    total += profile[h];
  }
  for (double& value : profile) value /= total;
  return profile;
}

std::unique_ptr<SynthCore> MakeSynth() {
  auto synth = SynthCore::Create({.soundFont = {}, .sampleRate = kRate});
  if (synth == nullptr) ADD_FAILURE() << "no General MIDI SoundFont loads (fluid-soundfont-gm)";
  return synth;
}

std::vector<float> Stretch(const std::vector<float>& samples, double fromSeconds, double seconds) {
  const auto from = static_cast<std::ptrdiff_t>(fromSeconds * kRate);
  const auto count = static_cast<std::ptrdiff_t>(seconds * kRate);
  return {samples.begin() + from, samples.begin() + from + count};
}

TEST(BuiltInSynthSound, Note48SoundsAtC3Within20Cents) {
  auto synth = MakeSynth();
  ASSERT_NE(synth, nullptr);
  synth->Send(0x0000C0);  // piano
  synth->Send(0x7F3090);  // note 48, velocity 127
  const auto sound = Render(*synth, 1.2);
  const double expected = 130.81;  // 440 Hz * 2^((48 - 69) / 12)
  const double found = PeakNear(Stretch(sound, 0.1, 1.0), expected);
  EXPECT_NEAR(1200.0 * std::log2(found / expected), 0.0, 20.0) << found << " Hz";
  // The note is really there, not the peak of some noise.
  EXPECT_GT(Rms(sound, 4800, 48000), 1e-3);
}

TEST(BuiltInSynthSound, AnotherProgramChangesTheSound) {
  const double c3 = 130.81;
  std::array<std::array<double, 8>, 2> profiles{};
  int slot = 0;
  for (int program : {0, 19}) {  // acoustic grand piano, church organ
    auto synth = MakeSynth();
    ASSERT_NE(synth, nullptr);
    synth->Send(PackShortMessage(0xC0, static_cast<std::uint8_t>(program), 0));
    synth->Send(PackShortMessage(0x90, 48, 127));
    profiles[slot++] = HarmonicProfile(Stretch(Render(*synth, 1.0), 0.2, 0.8), c3);
  }
  double distance = 0.0;
  for (std::size_t h = 0; h < 8; ++h) distance += std::abs(profiles[0][h] - profiles[1][h]);
  EXPECT_GT(distance, 0.2);
}

// An organ holds its note forever, and the pedal holds released notes: only the reset can
// silence both.
TEST(BuiltInSynthSound, ResetSilencesHeldAndSustainedNotesButKeepsPrograms) {
  auto synth = MakeSynth();
  ASSERT_NE(synth, nullptr);
  synth->Send(PackShortMessage(0xC0, 19, 0));
  synth->Send(PackShortMessage(0xC3, 19, 0));
  synth->Send(PackShortMessage(0xB3, 64, 127));  // sustain pedal down on channel 4
  synth->Send(PackShortMessage(0x90, 48, 127));
  synth->Send(PackShortMessage(0x93, 55, 127));
  synth->Send(PackShortMessage(0x83, 55, 0));  // released, but held by the pedal
  const auto before = Render(*synth, 3.0);
  ASSERT_GT(Rms(before, before.size() - 4800, 4800), 1e-3) << "the organ should still sound";

  synth->AllNotesOff();
  const auto after = Render(*synth, 4.0);
  EXPECT_LT(Rms(after, after.size() - 4800, 4800), 1e-5);

  // The program survived the reset: a new note is an organ again, holding its level.
  synth->Send(PackShortMessage(0x90, 48, 127));
  const auto again = Render(*synth, 3.0);
  EXPECT_GT(Rms(again, again.size() - 4800, 4800), 1e-3);
}

TEST(BuiltInSynthSound, MalformedMessagesAreIgnored) {
  auto synth = MakeSynth();
  ASSERT_NE(synth, nullptr);
  synth->Send(PackShortMessage(0x90, 200, 127));  // note number past 127
  synth->Send(PackShortMessage(0x90, 60, 0xFF));
  synth->Send(PackShortMessage(0xF0, 1, 2));
  synth->Send(PackShortMessage(0x40, 60, 127));  // no status byte
  const auto sound = Render(*synth, 0.5);
  EXPECT_LT(Rms(sound, 0, sound.size()), 1e-6);
}

TEST(SoundFontChoice, EnvironmentChoiceComesFirstAndABadOneFallsBackToTheSystemFont) {
  const std::string system = FindSoundFont();
  ASSERT_FALSE(system.empty());
  const auto junk = std::filesystem::temp_directory_path() / "orvane-not-a-soundfont.sf2";
  std::ofstream(junk) << "RIFF but not really";
  {
    testing::ScopedEnvironment env("ORVANE_SOUNDFONT", junk.string());
    EXPECT_EQ(SoundFontCandidates().front(), junk.string());
    auto synth = SynthCore::Create({.soundFont = {}, .sampleRate = kRate});
    ASSERT_NE(synth, nullptr);
    EXPECT_NE(synth->SoundFontPath(), junk.string());
  }
  std::filesystem::remove(junk);
  // Named explicitly, a file that is no SoundFont gives no synthesizer rather than a silent one.
  EXPECT_EQ(SynthCore::Create({.soundFont = junk.string(), .sampleRate = kRate}), nullptr);
}

}  // namespace
}  // namespace orvane
