#include <jack/jack.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "JackTestServer.h"
#include "TempDir.h"
#include "midi_system/SynthProcess.h"
#include "process_common/JackClients.h"
#include "process_common/SynthProtocol.h"

namespace orvane {
namespace {

// The audio outputs of the built-in synthesizer's JACK client.
int SynthAudioPorts() {
  const auto lock = LockJackClients();
  unsigned epoch = 0;
  jack_client_t* client = OpenJackClient("orvane-process-test", epoch);
  if (client == nullptr) return -1;
  const char** ports =
      jack_get_ports(client, "^Tellak Orvane:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  int count = 0;
  for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i) ++count;
  if (ports != nullptr) jack_free(ports);
  CloseJackClientOf(client, epoch);
  return count;
}

// The synthesizer processes (or other programs tried as one) that this thread has started and
// that are still there, not yet reaped; the test's JACK server is not one of them.
std::vector<pid_t> ChildrenOfThisThread() {
  std::ifstream list("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/children");
  std::vector<pid_t> children;
  for (pid_t child = 0; list >> child;) {
    std::string name;
    std::ifstream("/proc/" + std::to_string(child) + "/comm") >> name;
    if (name != "jackd") children.push_back(child);
  }
  return children;
}

class SynthProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    notAProgram_ = dir_.path() / "junk" / kSynthProcessFileName;
    std::filesystem::create_directories(notAProgram_.parent_path());
    std::ofstream(notAProgram_) << "not a program\n";
    chmod(notAProgram_.c_str(), 0755);
    notExecutable_ = dir_.path() / "plain" / kSynthProcessFileName;
    std::filesystem::create_directories(notExecutable_.parent_path());
    std::filesystem::copy_file(ORVANE_TEST_SYNTH_PROCESS, notExecutable_);
    chmod(notExecutable_.c_str(), 0644);
    missing_ = dir_.path() / "missing" / kSynthProcessFileName;
  }
  void TearDown() override { unsetenv("ORVANE_AUDIO_DRIVER"); }

  // This build's process after every kind of candidate that cannot be one, on JACK.
  std::shared_ptr<SynthLink> StartOnJack() {
    setenv("ORVANE_AUDIO_DRIVER", "jack", 1);
    return StartSynthProcess({missing_.string(), notExecutable_.string(), notAProgram_.string(),
                              ORVANE_TEST_SYNTH_PROCESS},
                             true);
  }

  // The same, told about the running JACK server as the port listing tells it.
  std::unique_ptr<SynthOutput> OpenOnRunningJack() {
    std::shared_ptr<SynthLink> link = StartOnJack();
    if (link == nullptr) return nullptr;
    TellJackServer(*link, CurrentJackServer());
    return AwaitSynth(std::move(link));
  }

  testing::TempDir dir_;
  std::filesystem::path notAProgram_;
  std::filesystem::path notExecutable_;
  std::filesystem::path missing_;
};

// Nothing that runs, a program that ends without answering, or a process of another version:
// no synthesizer (the ports go on working), none left unreaped, and no long wait for it.
TEST_F(SynthProcess, NoProcessOfThisVersionMeansNoSynthesizer) {
  EXPECT_EQ(StartSynthProcess({}, true), nullptr);
  EXPECT_EQ(StartSynthProcess({missing_.string(), notExecutable_.string()}, true), nullptr);
  // A file marked executable that is no program is not even started (a script without an
  // interpreter line is not run by a shell).
  EXPECT_EQ(StartSynthProcess({notAProgram_.string()}, true), nullptr);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AwaitSynth(StartSynthProcess({"/bin/true"}, true)), nullptr);
  EXPECT_EQ(AwaitSynth(StartSynthProcess({ORVANE_TEST_STALE_SYNTH_PROCESS}, true)), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(ChildrenOfThisThread().empty());
}

// The first candidate that runs is this build's; told that JACK runs, it plays there. Ending the
// program's side ends the process, its JACK client with it, before the call returns.
TEST_F(SynthProcess, TheProcessOfThisBuildPlaysOnJackUntilTheProgramLetsGo) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  std::unique_ptr<SynthOutput> synth = OpenOnRunningJack();
  ASSERT_NE(synth, nullptr) << "no General MIDI SoundFont (fluid-soundfont-gm), or no JACK";
  EXPECT_FALSE(synth->SoundFontPath().empty());
  EXPECT_EQ(SynthAudioPorts(), 2);
  EXPECT_EQ(ChildrenOfThisThread().size(), 1u);
  synth->SetChannelsInUse(1);
  synth->Send(PackShortMessage(0x90, 60, 100));
  synth->AllNotesOff();
  synth.reset();
  EXPECT_EQ(SynthAudioPorts(), 0);
  EXPECT_TRUE(ChildrenOfThisThread().empty());
}

// The process never starts a JACK server: told none runs, it cannot sound on JACK.
TEST_F(SynthProcess, NoJackServerMeansItCannotSoundOnJack) {
  std::shared_ptr<SynthLink> link = StartOnJack();
  ASSERT_NE(link, nullptr);
  TellJackServer(*link, JackServerInfo{});
  EXPECT_EQ(AwaitSynth(std::move(link)), nullptr);
  EXPECT_TRUE(ChildrenOfThisThread().empty());
}

// A synthesizer process that dies (killed, crashed) leaves the program running: what is sent
// afterwards goes nowhere at once, without a signal that would end the program.
TEST_F(SynthProcess, AProcessThatDiesLeavesTheSenderRunning) {
  testing::JackTestServer server;
  ASSERT_TRUE(server.Running()) << "jackd (dummy backend) did not start";
  std::unique_ptr<SynthOutput> synth = OpenOnRunningJack();
  ASSERT_NE(synth, nullptr);
  const std::vector<pid_t> children = ChildrenOfThisThread();
  ASSERT_EQ(children.size(), 1u);
  ASSERT_EQ(kill(children[0], SIGKILL), 0);

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100000; ++i)
    synth->Send(PackShortMessage(0x90, static_cast<std::uint8_t>(i % 128), 100));
  synth->AllNotesOff();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  synth.reset();
  EXPECT_TRUE(ChildrenOfThisThread().empty());
}

// Beside the executable first (the build tree), then the installed layout.
TEST_F(SynthProcess, CandidatesAreBesideTheExecutableThenInTheInstalledFolder) {
  const std::vector<std::string> candidates = SynthProcessCandidates();
  ASSERT_EQ(candidates.size(), 2u);
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(std::filesystem::path(candidates[0]), self.parent_path() / kSynthProcessFileName);
  const std::filesystem::path installed(candidates[1]);
  EXPECT_EQ(installed.filename(), kSynthProcessFileName);
  EXPECT_EQ(installed.parent_path().filename(), "orvane") << candidates[1];
  EXPECT_NE(candidates[1].find("/libexec/"), std::string::npos) << candidates[1];
}

}  // namespace
}  // namespace orvane
