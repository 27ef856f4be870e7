#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "synth/SoundFontLocator.h"

namespace orvane {
namespace {

std::string Le32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  return bytes;
}

// A LIST chunk; one of odd size is followed by a pad byte, as RIFF wants.
std::string List(const std::string& type, const std::string& body) {
  const std::string pad = body.size() % 2 == 1 ? std::string(1, '\0') : "";
  return "LIST" + Le32(static_cast<std::uint32_t>(4 + body.size())) + type + body + pad;
}

// The chunk skeleton of a SoundFont: a RIFF "sfbk" form holding the three lists.
std::string SoundFontSkeleton(bool withPresets = true, int riffSizeExtra = 0) {
  std::string body = "sfbk" + List("INFO", "INAM" + Le32(3) + "xyz") +
                     List("sdta", "smpl" + Le32(3) + "abc" + std::string(1, '\0'));
  if (withPresets) body += List("pdta", "phdr" + Le32(0));
  return "RIFF" + Le32(static_cast<std::uint32_t>(body.size() + riffSizeExtra)) + body;
}

class SoundFontFile : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    dir_.Write(name, bytes);
    return (dir_.path() / name).string();
  }
  testing::TempDir dir_;
};

TEST_F(SoundFontFile, WholeSkeletonWithOddChunkPaddingIsComplete) {
  EXPECT_TRUE(IsCompleteSoundFont(Write("whole.sf2", SoundFontSkeleton())));
}

// A download cut short still starts like a SoundFont; loading it would fail only after the
// program had already counted the synthesizer as able to sound.
TEST_F(SoundFontFile, TruncatedOrIncompleteFilesAreRefused) {
  const std::string whole = SoundFontSkeleton();
  EXPECT_FALSE(IsCompleteSoundFont(Write("cut.sf2", whole.substr(0, whole.size() - 5))));
  EXPECT_FALSE(IsCompleteSoundFont(Write("nopdta.sf2", SoundFontSkeleton(false))));
  EXPECT_FALSE(IsCompleteSoundFont(Write("claims-more.sf2", SoundFontSkeleton(true, 64))));
  EXPECT_FALSE(IsCompleteSoundFont(Write("riff-only.sf2", "RIFF but not really")));
  EXPECT_FALSE(IsCompleteSoundFont(Write("wave.wav", "RIFF" + Le32(4) + "WAVE")));
  EXPECT_FALSE(IsCompleteSoundFont((dir_.path() / "missing.sf2").string()));
}

TEST_F(SoundFontFile, TheSystemGeneralMidiSoundFontIsComplete) {
  const std::string system = FindSoundFont();
  if (system.empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  EXPECT_TRUE(IsCompleteSoundFont(system));
}

}  // namespace
}  // namespace orvane
