// Tells when a recording turns audible and silent again, for the end-to-end tests that listen to
// the built-in synthesizer: reads 16-bit little-endian stereo at 48 kHz from standard input (parec
// of a sink's monitor) and writes "sound MS" when a 5 ms block peaks above -50 dBFS after silence,
// "silence MS" once 150 ms have stayed below; MS is the wall clock in milliseconds since the epoch
// at the end of the block that decided.
// Usage: parec ... | orvane_e2e_level_meter
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main() {
  constexpr int kRate = 48000;
  constexpr int kBlockFrames = kRate / 200;  // 5 ms
  constexpr int kThreshold = 104;            // -50 dBFS of 32767
  constexpr int kSilentBlocks = 30;          // 150 ms
  std::int16_t block[kBlockFrames * 2];
  bool sounding = false;
  int quietBlocks = 0;
  while (std::fread(block, sizeof block, 1, stdin) == 1) {
    int peak = 0;
    for (std::int16_t sample : block) peak = std::max(peak, std::abs(static_cast<int>(sample)));
    const bool loud = peak > kThreshold;
    quietBlocks = loud ? 0 : quietBlocks + 1;
    const char* change = nullptr;
    if (loud && !sounding) {
      sounding = true;
      change = "sound";
    } else if (sounding && quietBlocks >= kSilentBlocks) {
      sounding = false;
      change = "silence";
    }
    if (change != nullptr) {
      const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::system_clock::now().time_since_epoch());
      std::printf("%s %lld\n", change, static_cast<long long>(now.count()));
      std::fflush(stdout);
    }
  }
  return 0;
}
