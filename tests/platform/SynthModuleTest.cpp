#include <jack/jack.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "JackTestServer.h"
#include "TempDir.h"
#include "platform/AudioServerProbe.h"
#include "platform/SoundFontLocator.h"
#include "platform/SynthModule.h"

namespace orvane {
namespace {

// The audio outputs of the built-in synthesizer's JACK client.
int SynthAudioPorts() {
  jack_status_t status{};
  jack_client_t* client = jack_client_open("orvane-module-test", JackNoStartServer, &status);
  if (client == nullptr) return -1;
  const char** ports =
      jack_get_ports(client, "^Tellak Orvane:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  int count = 0;
  for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) ++count;
  if (ports != nullptr) jack_free(ports);
  jack_client_close(client);
  return count;
}

class SynthModule : public ::testing::Test {
 protected:
  void SetUp() override {
    junk_ = dir_.path() / "junk" / kSynthModuleFileName;
    std::filesystem::create_directories(junk_.parent_path());
    std::ofstream(junk_) << "not a shared library\n";
    missing_ = dir_.path() / "missing" / kSynthModuleFileName;
  }

  static std::unique_ptr<SynthOutput> Open(const std::vector<std::string>& candidates) {
    return OpenSynthModule(
        candidates, true, [] { return JackServerInfo{}; }, CompleteSoundFonts());
  }

  testing::TempDir dir_;
  std::filesystem::path junk_;
  std::filesystem::path missing_;
};

// A missing, broken or stale module leaves the program without its synthesizer (its ports go on
// working), and is never half used: a stale one's entry point aborts if it is called.
TEST_F(SynthModule, NoModuleOfThisVersionMeansNoSynthesizer) {
  EXPECT_EQ(Open({}), nullptr);
  EXPECT_EQ(Open({missing_.string(), junk_.string(), ORVANE_TEST_STALE_SYNTH_MODULE}), nullptr);
}

// The search goes on past the ones that do not load, to the module of this build, which opens
// a synthesizer that plays on JACK.
TEST_F(SynthModule, TheFirstModuleThatLoadsOpensTheSynthesizer) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  setenv("ORVANE_AUDIO_DRIVER", "jack", 1);
  std::unique_ptr<SynthOutput> synth = OpenSynthModule(
      {missing_.string(), ORVANE_TEST_STALE_SYNTH_MODULE, junk_.string(), ORVANE_TEST_SYNTH_MODULE},
      true, ProbeJackServer, CompleteSoundFonts());
  unsetenv("ORVANE_AUDIO_DRIVER");
  ASSERT_NE(synth, nullptr) << "no General MIDI SoundFont (fluid-soundfont-gm), or no JACK";
  EXPECT_EQ(SynthAudioPorts(), 2);
  synth->Send(PackShortMessage(0x90, 60, 100));
  synth.reset();  // closed through the module's own destructor
  EXPECT_EQ(SynthAudioPorts(), 0);
}

// Beside the executable first (the build tree), then the installed layout.
TEST_F(SynthModule, CandidatesAreBesideTheExecutableThenInTheInstalledFolder) {
  const std::vector<std::string> candidates = SynthModuleCandidates();
  ASSERT_EQ(candidates.size(), 2u);
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(std::filesystem::path(candidates[0]), self.parent_path() / kSynthModuleFileName);
  const std::filesystem::path installed(candidates[1]);
  EXPECT_EQ(installed.filename(), kSynthModuleFileName);
  EXPECT_EQ(installed.parent_path().filename(), "orvane") << candidates[1];
  EXPECT_NE(candidates[1].find("/lib/"), std::string::npos) << candidates[1];
}

}  // namespace
}  // namespace orvane
