// Measures the built-in synthesizer: how long loading the SoundFont takes and how much memory it
// costs, with and without dynamic sample loading, and which audio output it gets with what
// configured latency. With audio, "open" is the moment the synthesizer is sure to sound (the
// audio output is open) and "loaded" the moment it plays what it was sent.
//
//   synth_startup offline [--no-dynamic]   SoundFont load only, no audio device
//   synth_startup audio [--no-dynamic]     SoundFont plus the audio driver, as the program starts

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "synth/BuiltInSynth.h"
#include "synth/SynthCore.h"

namespace {

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  const bool audio = argc > 1 && std::strcmp(argv[1], "audio") == 0;
  const bool dynamic = !(argc > 2 && std::strcmp(argv[2], "--no-dynamic") == 0);
  const double before = ResidentMegabytes();
  const auto start = std::chrono::steady_clock::now();
  double rate = 0.0;
  std::string soundFont;
  std::string driver = "none";
  double latencyMs = 0.0;
  double openMs = 0.0;
  std::unique_ptr<orvane::SynthCore> core;
  std::unique_ptr<orvane::BuiltInSynth> synth;
  if (audio) {
    synth = orvane::BuiltInSynth::Open(dynamic);
    if (!synth) {
      std::puts("built-in synthesizer unavailable (no SoundFont or no audio driver)");
      return 1;
    }
    openMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // Channel 1 plays, as the program's first layer does.
    synth->SetChannelsInUse(0x0001);
    synth->Send(0x0000C0);
    if (!synth->WaitUntilLoaded()) {
      std::puts("the SoundFont did not load");
      return 1;
    }
    rate = synth->SampleRate();
    soundFont = synth->SoundFontPath();
    driver = synth->DriverName();
    latencyMs = synth->ConfiguredLatencySeconds() * 1000.0;
  } else {
    core = orvane::SynthCore::Create({.soundFont = {}, .dynamicSampleLoading = dynamic});
    if (!core) {
      std::puts("no SoundFont loads");
      return 1;
    }
    rate = core->SampleRate();
    soundFont = core->SoundFontPath();
  }
  const double startMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // A program change loads the violin's samples when loading is dynamic.
  const auto programStart = std::chrono::steady_clock::now();
  if (synth) synth->Send(0x0028C0);
  if (core) core->Send(0x0028C0);
  const double programMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - programStart)
          .count();
  std::printf("soundfont            %s\n", soundFont.c_str());
  std::printf("dynamic loading      %s\n", dynamic ? "on" : "off");
  std::printf("driver               %s\n", driver.c_str());
  std::printf("sample rate          %.0f Hz\n", rate);
  if (audio) std::printf("audio output open    %.1f ms\n", openMs);
  std::printf("start time           %.1f ms\n", startMs);
  std::printf("first program change %.1f ms\n", programMs);
  std::printf("resident memory      +%.1f MB\n", ResidentMegabytes() - before);
  if (audio) std::printf("configured latency   %.2f ms\n", latencyMs);
  return 0;
}
